#include "session/mdiform1.h"

#include "core/connection.h"
#include "core/guard.h"
#include "core/mensagens.h"
#include "core/session.h"
#include "core/transacao.h"
#include "session/janelas.h"
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
    const Janelas &j = janelasRegistadas();
    // An item is offered only when what it opens exists; a menu left empty is hidden.
    auto item = [this](QMenu *menu, const char *nome, const QString &texto, bool existe, void (MDIForm1::*metodo)()) {
        if (!existe)
            return;
        QAction *a = menu->addAction(texto);
        a->setObjectName(QString::fromLatin1(nome));
        connect(a, &QAction::triggered, this, metodo);
    };
    auto janela = [&j](const char *nome) { return j.fabricas.contains(QString::fromLatin1(nome)); };
    auto rotina = [&j](const char *nome) { return j.rotinas.contains(QString::fromLatin1(nome)); };

    QMenu *iniciar = menuBar()->addMenu(QStringLiteral("&Iniciar"));
    iniciar->setObjectName(QStringLiteral("mnu_iniciar"));
    item(iniciar, "conv_snc", QStringLiteral("Converter para SNC"), rotina("ConverteSnc"), &MDIForm1::convSnc);
    item(iniciar, "config_sql_connect", QStringLiteral("&Configurações "), true, &MDIForm1::configSqlConnect);
    iniciar->addSeparator();
    item(iniciar, "mnu_sair", QStringLiteral("&Sair"), true, &MDIForm1::sair);

    QMenu *manutencao = menuBar()->addMenu(QStringLiteral("&Manutenção"));
    manutencao->setObjectName(QStringLiteral("mnu_manutencao"));
    item(manutencao, "mnu_manut_list", QStringLiteral("&Consultar"), janela("ConsultTable"), &MDIForm1::mnuManutList);

    QMenu *exportacao = menuBar()->addMenu(QStringLiteral("&Exportação"));
    exportacao->setObjectName(QStringLiteral("mnu_exportacao"));

    QMenu *planos = menuBar()->addMenu(QStringLiteral("&Planos"));
    planos->setObjectName(QStringLiteral("mnu_planos"));
    QMenu *contas = planos->addMenu(QStringLiteral("Contas"));
    contas->setObjectName(QStringLiteral("mnu_contas"));
    item(contas, "nova_poc", QStringLiteral("Nova"), janela("New_Poc"), &MDIForm1::novaPoc);
    item(contas, "apaga_poc", QStringLiteral("Apaga"), janela("Del_cPoc"), &MDIForm1::apagaPoc);
    item(contas, "cons_poc", QStringLiteral("Consulta"), janela("ConsultPoc"), &MDIForm1::consPoc);
    QMenu *analitica = planos->addMenu(QStringLiteral("&Analitica"));
    analitica->setObjectName(QStringLiteral("mnu_analitica"));
    item(analitica, "novo_analit", QStringLiteral("Novo"), janela("New_Analit"), &MDIForm1::novoAnalit);
    item(analitica, "apaga_analit", QStringLiteral("Apaga"), janela("Del_Analit"), &MDIForm1::apagaAnalit);
    item(analitica, "cons_analit", QStringLiteral("Consulta"), janela("ConsultAnalit"), &MDIForm1::consAnalit);
    item(planos, "mnu_import", QStringLiteral("Importação"), rotina("ImportaPlanos"), &MDIForm1::mnuImport);

    QMenu *diversos = menuBar()->addMenu(QStringLiteral("&Diversos"));
    diversos->setObjectName(QStringLiteral("mnu_diversos"));
    item(diversos, "tot_cpoc", QStringLiteral("&Totais por conta"), janela("Tot_conta"), &MDIForm1::totCpoc);

    QMenu *acerca = menuBar()->addMenu(QStringLiteral("&Acerca"));
    acerca->setObjectName(QStringLiteral("mnu_acerca"));

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

QWidget *MDIForm1::abreJanela(const QString &formName, bool unica)
{
    if (unica) {
        if (QMdiSubWindow *aberta = m_unicas.value(formName)) {
            mdiArea->setActiveSubWindow(aberta);
            return aberta->widget();
        }
    }
    const FabricaJanela fabrica = janelasRegistadas().fabricas.value(formName);
    if (!fabrica)
        return nullptr;
    QWidget *w = fabrica(m_s);
    if (!w)
        return nullptr;
    QMdiSubWindow *sub = mdiArea->addSubWindow(w);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    // A window that unloads itself must not leave its empty frame behind. Queued, so
    // that a frame already being destroyed (which deletes the window) is left alone.
    connect(w, &QObject::destroyed, sub, &QMdiSubWindow::close, Qt::QueuedConnection);
    sub->show();
    if (unica)
        m_unicas.insert(formName, sub);
    return w;
}

bool MDIForm1::correRotina(const QString &nome)
{
    const Rotina r = janelasRegistadas().rotinas.value(nome);
    return r && r(m_s, this);
}

void MDIForm1::novaPoc()
{
    if (!VerificaDadosInic(m_s))
        return;
    if (m_s.gPlanosExt)
        m_s.msg->informa(QStringLiteral("Abra Planos Na Aplicação Externa!"));
    else
        abreJanela(QStringLiteral("New_Poc"));
}

void MDIForm1::apagaPoc()
{
    if (!VerificaDadosInic(m_s))
        return;
    if (m_s.gPlanosExt)
        m_s.msg->informa(QStringLiteral("Apague Planos Na Aplicação Externa!"));
    else
        abreJanela(QStringLiteral("Del_cPoc"));
}

void MDIForm1::consPoc()
{
    if (!VerificaDadosInic(m_s))
        return;
    abreJanela(QStringLiteral("ConsultPoc"));
}

void MDIForm1::novoAnalit()
{
    if (!VerificaDadosInic(m_s) || !m_s.gAnaliticaAtiva)
        return;
    if (m_s.gPlanosExt)
        m_s.msg->informa(QStringLiteral("Abra Analitica Na Aplicação Externa!"));
    else
        abreJanela(QStringLiteral("New_Analit"));
}

void MDIForm1::apagaAnalit()
{
    if (!VerificaDadosInic(m_s) || !m_s.gAnaliticaAtiva)
        return;
    if (m_s.gPlanosExt)
        m_s.msg->informa(QStringLiteral("Apague Analitica Na Aplicação Externa!"));
    else
        abreJanela(QStringLiteral("Del_Analit"));
}

void MDIForm1::consAnalit()
{
    if (!VerificaDadosInic(m_s))
        return;
    if (m_s.gAnaExt)
        abreJanela(QStringLiteral("ConsultAnalit"));
}

void MDIForm1::mnuImport()
{
    if (!VerificaDadosInic(m_s))
        return;
    correRotina(QStringLiteral("ImportaPlanos"));
}

void MDIForm1::convSnc()
{
    // A committed conversion is not offered again.
    if (correRotina(QStringLiteral("ConverteSnc")))
        if (QAction *snc = findChild<QAction *>(QStringLiteral("conv_snc")))
            snc->setEnabled(false);
}

void MDIForm1::mnuManutList()
{
    if (!VerificaDadosInic(m_s))
        return;
    abreJanela(QStringLiteral("ConsultTable"), false);
}

void MDIForm1::totCpoc()
{
    if (!VerificaDadosInic(m_s))
        return;
    abreJanela(QStringLiteral("Tot_conta"));
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
