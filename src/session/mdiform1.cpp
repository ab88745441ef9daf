#include "session/mdiform1.h"

#include "charts/chartconsult.h"
#include "charts/chartdelete.h"
#include "charts/chartnew.h"
#include "charts/convertesnc.h"
#include "charts/importaplanos.h"
#include "core/connection.h"
#include "core/guard.h"
#include "core/mensagens.h"
#include "core/session.h"
#include "core/transacao.h"
#include "reports/consulttable.h"
#include "reports/totconta.h"
#include "session/main_confsql.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSqlQuery>
#include <QStatusBar>

MDIForm1::MDIForm1(Session &s, QWidget *parent)
    : QMainWindow(parent)
    , m_s(s)
{
    setObjectName(QStringLiteral("MDIForm1"));
    setWindowTitle(QStringLiteral("Molvaralizações Contabilisticas"));
    resize(1000, 700);

    mdiArea = new QMdiArea(this);
    mdiArea->setObjectName(QStringLiteral("mdiArea"));
    setCentralWidget(mdiArea);

    auto *barra = new QStatusBar(this);
    barra->setObjectName(QStringLiteral("StatusBar1"));
    setStatusBar(barra);
    StatusFirma = new QLabel(barra);
    StatusFirma->setObjectName(QStringLiteral("StatusFirma"));
    StatusNome = new QLabel(barra);
    StatusNome->setObjectName(QStringLiteral("StatusNome"));
    StatusData = new QLabel(barra);
    StatusData->setObjectName(QStringLiteral("StatusData"));
    for (QLabel *painel : { StatusFirma, StatusNome, StatusData }) {
        painel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        painel->setMinimumWidth(80);
    }
    barra->addWidget(StatusFirma);
    barra->addWidget(StatusNome, 1);
    barra->addPermanentWidget(StatusData);

    criaMenus();
    actualizaEstado();
    carrega();
}

void MDIForm1::criaMenus()
{
    auto item = [this](QMenu *menu, const char *nome, const QString &texto, void (MDIForm1::*metodo)()) {
        QAction *a = menu->addAction(texto);
        a->setObjectName(QString::fromLatin1(nome));
        connect(a, &QAction::triggered, this, metodo);
    };

    QMenu *iniciar = menuBar()->addMenu(QStringLiteral("&Iniciar"));
    iniciar->setObjectName(QStringLiteral("mnu_iniciar"));
    item(iniciar, "conv_snc", QStringLiteral("Converter para SNC"), &MDIForm1::convSnc);
    item(iniciar, "config_sql_connect", QStringLiteral("&Configurações "), &MDIForm1::configSqlConnect);
    iniciar->addSeparator();
    item(iniciar, "mnu_sair", QStringLiteral("&Sair"), &MDIForm1::sair);

    QMenu *manutencao = menuBar()->addMenu(QStringLiteral("&Manutenção"));
    manutencao->setObjectName(QStringLiteral("mnu_manutencao"));
    item(manutencao, "mnu_manut_list", QStringLiteral("&Consultar"), &MDIForm1::mnuManutList);

    QMenu *exportacao = menuBar()->addMenu(QStringLiteral("&Exportação"));
    exportacao->setObjectName(QStringLiteral("mnu_exportacao"));

    QMenu *planos = menuBar()->addMenu(QStringLiteral("&Planos"));
    planos->setObjectName(QStringLiteral("mnu_planos"));
    QMenu *contas = planos->addMenu(QStringLiteral("Contas"));
    contas->setObjectName(QStringLiteral("mnu_contas"));
    item(contas, "nova_poc", QStringLiteral("Nova"), &MDIForm1::novaPoc);
    item(contas, "apaga_poc", QStringLiteral("Apaga"), &MDIForm1::apagaPoc);
    item(contas, "cons_poc", QStringLiteral("Consulta"), &MDIForm1::consPoc);
    QMenu *analitica = planos->addMenu(QStringLiteral("&Analitica"));
    analitica->setObjectName(QStringLiteral("mnu_analitica"));
    item(analitica, "novo_analit", QStringLiteral("Novo"), &MDIForm1::novoAnalit);
    item(analitica, "apaga_analit", QStringLiteral("Apaga"), &MDIForm1::apagaAnalit);
    item(analitica, "cons_analit", QStringLiteral("Consulta"), &MDIForm1::consAnalit);
    item(planos, "mnu_import", QStringLiteral("Importação"), &MDIForm1::mnuImport);

    QMenu *diversos = menuBar()->addMenu(QStringLiteral("&Diversos"));
    diversos->setObjectName(QStringLiteral("mnu_diversos"));
    item(diversos, "tot_cpoc", QStringLiteral("&Totais por conta"), &MDIForm1::totCpoc);

    QMenu *acerca = menuBar()->addMenu(QStringLiteral("&Acerca"));
    acerca->setObjectName(QStringLiteral("mnu_acerca"));

    // A menu without items is hidden.
    for (QMenu *m : { contas, analitica, iniciar, manutencao, exportacao, planos, diversos, acerca }) {
        bool temItens = false;
        for (QAction *a : m->actions())
            temItens = temItens || (!a->isSeparator() && a->isVisible());
        m->menuAction()->setVisible(temItens);
    }
}

void MDIForm1::carrega()
{
    QString erro;
    if (!abreLigacao(m_s.gLigacao1, &erro).isValid())
        m_s.msg->erroBaseDados(QStringLiteral("Não foi possível abrir a base de dados do programa."), erro);
    // No outside connection string means no outside database: nothing to open, nothing to say.
    // The windows that read it say so when they are used.
    if (m_s.gTipoImp == QLatin1String("S") && !m_s.gLigacao2.trimmed().isEmpty() && !abreLigacao(m_s.gLigacao2, &erro).isValid())
        m_s.msg->erroBaseDados(QStringLiteral("Não foi possível abrir a base de dados da aplicação externa."), erro);
    if (QAction *snc = findChild<QAction *>(QStringLiteral("conv_snc")))
        snc->setEnabled(!m_s.gSnc);
}

void MDIForm1::actualizaEstado()
{
    StatusFirma->setText(m_s.gCodFirma);
    StatusNome->setText(m_s.gNomeFirma);
    StatusData->setText(m_s.gDataProc);
}

QMdiSubWindow *MDIForm1::abreFilha(QWidget *w)
{
    auto *sub = new QMdiSubWindow(mdiArea->viewport());
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWidget(w);
    // The area would size the frame to the window's size hint alone, and its layout would
    // then shrink the window below the size it set for itself. Sized before it is added, the
    // frame is also placed by that size.
    if (w->testAttribute(Qt::WA_Resized)) {
        sub->ensurePolished();
        QSize pedido = w->size().expandedTo(w->sizeHint()).grownBy(sub->contentsMargins());
        if (mdiArea->isVisible())
            pedido = pedido.boundedTo(mdiArea->viewport()->size());
        sub->resize(pedido);
    }
    mdiArea->addSubWindow(sub);
    // A window that unloads itself must not leave its empty frame behind. Queued, so
    // that a frame already being destroyed (which deletes the window) is left alone.
    connect(w, &QObject::destroyed, sub, &QMdiSubWindow::close, Qt::QueuedConnection);
    sub->show();
    return sub;
}

void MDIForm1::abreUnica(const QString &formName, const std::function<QWidget *()> &cria)
{
    if (QMdiSubWindow *aberta = m_unicas.value(formName)) {
        mdiArea->setActiveSubWindow(aberta);
        return;
    }
    m_unicas.insert(formName, abreFilha(cria()));
}

void MDIForm1::novaPoc()
{
    if (!VerificaDadosInic(m_s))
        return;
    if (m_s.gPlanosExt)
        m_s.msg->informa(QStringLiteral("Abra Planos Na Aplicação Externa!"));
    else
        abreUnica(QStringLiteral("New_Poc"), [this] { return new ChartNew(m_s, TipoPlano::Contas); });
}

void MDIForm1::apagaPoc()
{
    if (!VerificaDadosInic(m_s))
        return;
    if (m_s.gPlanosExt)
        m_s.msg->informa(QStringLiteral("Apague Planos Na Aplicação Externa!"));
    else
        abreUnica(QStringLiteral("Del_cPoc"), [this] { return new ChartDelete(m_s, TipoPlano::Contas); });
}

void MDIForm1::consPoc()
{
    if (!VerificaDadosInic(m_s))
        return;
    abreUnica(QStringLiteral("ConsultPoc"), [this] { return new ChartConsult(m_s, TipoPlano::Contas); });
}

void MDIForm1::novoAnalit()
{
    if (!VerificaDadosInic(m_s) || !m_s.gAnaliticaAtiva)
        return;
    if (m_s.gPlanosExt)
        m_s.msg->informa(QStringLiteral("Abra Analitica Na Aplicação Externa!"));
    else
        abreUnica(QStringLiteral("New_Analit"), [this] { return new ChartNew(m_s, TipoPlano::CentrosCusto); });
}

void MDIForm1::apagaAnalit()
{
    if (!VerificaDadosInic(m_s) || !m_s.gAnaliticaAtiva)
        return;
    if (m_s.gPlanosExt)
        m_s.msg->informa(QStringLiteral("Apague Analitica Na Aplicação Externa!"));
    else
        abreUnica(QStringLiteral("Del_Analit"), [this] { return new ChartDelete(m_s, TipoPlano::CentrosCusto); });
}

void MDIForm1::consAnalit()
{
    if (!VerificaDadosInic(m_s))
        return;
    if (m_s.gAnaExt)
        abreUnica(QStringLiteral("ConsultAnalit"), [this] { return new ChartConsult(m_s, TipoPlano::CentrosCusto); });
}

void MDIForm1::mnuImport()
{
    if (!VerificaDadosInic(m_s))
        return;
    ImportaPlanos(m_s);
}

void MDIForm1::convSnc()
{
    // A committed conversion is not offered again.
    if (ConverteSnc(m_s, this))
        if (QAction *snc = findChild<QAction *>(QStringLiteral("conv_snc")))
            snc->setEnabled(false);
}

void MDIForm1::mnuManutList()
{
    if (!VerificaDadosInic(m_s))
        return;
    abreFilha(new ConsultTable(m_s));
}

void MDIForm1::totCpoc()
{
    if (!VerificaDadosInic(m_s))
        return;
    abreUnica(QStringLiteral("Tot_conta"), [this] { return new TotConta(m_s); });
}

void MDIForm1::configSqlConnect()
{
    auto *d = new MainConfSql(m_s, MainConfSql::Momento::Sessao, this);
    d->setAttribute(Qt::WA_DeleteOnClose);
    d->open();
}

void MDIForm1::sair()
{
    close();
}

void MDIForm1::closeEvent(QCloseEvent *e)
{
    mdiArea->closeAllSubWindows();
    bool aberta = false;
    for (QMdiSubWindow *sub : mdiArea->subWindowList())
        aberta = aberta || sub->isVisible();
    if (aberta) {
        // A child window that is still busy keeps the program open.
        e->ignore();
        return;
    }
    gravaUltimaSessao();
    e->accept();
}

void MDIForm1::gravaUltimaSessao()
{
    if (m_s.gCodFirma.isEmpty())
        return;
    QString erro;
    // One row only: the company and date that the next start-up offers.
    const bool ok = executaTudoOuNada(m_s.gLigacao1,
        { { QStringLiteral("DELETE FROM MolvarLastUse"), {} },
            { QStringLiteral("INSERT INTO MolvarLastUse (CodFirma, LastUse) VALUES (?, ?)"), { m_s.gCodFirma, m_s.gDataProc } } },
        &erro);
    if (!ok)
        m_s.msg->erroBaseDados(QStringLiteral("Não foi possível guardar a última firma e data usadas."), erro);
}
