#include "charts/chartconsult.h"

#include "core/controlos.h"
#include "core/datacombo.h"
#include "core/datagrid.h"
#include "core/mensagens.h"
#include "core/session.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QVBoxLayout>

ChartConsult::ChartConsult(Session &s, TipoPlano tipo, QWidget *parent)
    : QWidget(parent)
    , m_s(s)
    , m_tipo(tipo)
{
    const bool contas = tipo == TipoPlano::Contas;
    setObjectName(contas ? QStringLiteral("ConsultPoc") : QStringLiteral("ConsultAnalit"));
    setAttribute(Qt::WA_DeleteOnClose);
    colocaNoCantoAoMostrar(this);
    setWindowTitle(QStringLiteral("Consulta"));

    m_frame = new QGroupBox(QStringLiteral("Procura"), this);
    m_frame->setObjectName(QStringLiteral("Frame1"));
    m_label = new QLabel(contas ? QStringLiteral("Conta") : QStringLiteral("Ct.Custo"), m_frame);
    m_label->setObjectName(QStringLiteral("Label1"));
    m_combo = new DataCombo(m_frame);
    m_combo->setObjectName(QStringLiteral("DataCombo1"));
    m_desc = new QLineEdit(m_frame);
    m_desc->setObjectName(contas ? QStringLiteral("Desccpoc") : QStringLiteral("Descanalit"));
    m_desc->setMaxLength(30);
    m_ok = new QPushButton(QStringLiteral("Ok"), m_frame);
    m_ok->setObjectName(QStringLiteral("Command5"));
    m_grelha = new DataGrid(this);
    m_grelha->setObjectName(QStringLiteral("DataGrid1"));
    m_sair = new QPushButton(QStringLiteral("Sair"), this);
    m_sair->setObjectName(QStringLiteral("Command1"));

    auto *lf = new QGridLayout(m_frame);
    lf->addWidget(m_label, 0, 0);
    lf->addWidget(m_combo, 0, 1);
    lf->addWidget(m_desc, 0, 2);
    lf->addWidget(m_ok, 0, 3);
    lf->setColumnStretch(2, 1);
    auto *baixo = new QHBoxLayout;
    baixo->addStretch();
    baixo->addWidget(m_sair);
    auto *l = new QVBoxLayout(this);
    l->addWidget(m_frame);
    l->addWidget(m_grelha, 1);
    l->addLayout(baixo);
    resize(760, 480);

    // Entering one search box empties the other: the search runs on the box used last.
    connect(m_combo, &DataCombo::focusEntered, m_desc, &QLineEdit::clear);
    m_desc->installEventFilter(this);
    connect(m_combo, &DataCombo::enterPressed, this, &ChartConsult::procura);
    connect(m_ok, &QPushButton::clicked, this, &ChartConsult::procura);
    connect(m_sair, &QPushButton::clicked, this, &QWidget::close);

    carrega();
}

bool ChartConsult::eventFilter(QObject *o, QEvent *e)
{
    if (o == m_desc && e->type() == QEvent::FocusIn)
        m_combo->setEditText(QString());
    return QWidget::eventFilter(o, e);
}

void ChartConsult::carrega()
{
    move(0, 0);
    m_fonte = fontePlano(m_s, m_tipo);
    if (!m_fonte.existe())
        return;
    if (!m_fonte.tituloConsulta.isEmpty())
        setWindowTitle(m_fonte.tituloConsulta);

    QString erro;
    QSqlDatabase db = m_fonte.abre(&erro);
    if (!db.isValid()) {
        m_s.msg->erroBaseDados(QStringLiteral("Não foi possível ligar à base de dados do %1.").arg(nomePlano(m_tipo)), erro);
        return;
    }
    // The list needs the codes only; the grid shows the source's columns.
    if (!m_combo->setRowSource(
            db, m_fonte.select({ m_fonte.colunaCodigo }), m_fonte.valores(), m_fonte.colunaCodigo, QString(), &erro)
        || !m_grelha->setQuery(db, m_fonte.select(m_fonte.colunasGrelha), m_fonte.valores(), &erro)) {
        m_s.msg->erroBaseDados(QStringLiteral("Não foi possível ler o %1.").arg(nomePlano(m_tipo)), erro);
        return;
    }
    m_combo->setEditText(QString());
    aplicaLayout();
}

void ChartConsult::procura()
{
    if (!semCaracteresDeControlo(
            m_s.msg, { { m_label->text(), m_combo->text(), m_combo }, { QStringLiteral("Descrição"), m_desc->text(), m_desc } }))
        return;
    // The session is read afresh; the list and the caption stay those of the load.
    const FontePlano f = fontePlano(m_s, m_tipo);
    if (!f.existe())
        return;
    QString erro;
    QSqlDatabase db = f.abre(&erro);
    if (!db.isValid()) {
        m_grelha->limpa();
        m_s.msg->erroBaseDados(QStringLiteral("Não foi possível ligar à base de dados do %1.").arg(nomePlano(m_tipo)), erro);
        return;
    }
    // The exact searches on the own layout keep the database's order, except SENDYS accounts.
    const bool ordenaExacta
        = !(f.origem == OrigemPlano::Propria || (f.origem == OrigemPlano::Sendys && m_tipo == TipoPlano::CentrosCusto));
    const QString codigo = m_combo->text();
    const QString texto = m_desc->text();
    bool ok;
    if (!codigo.isEmpty())
        ok = m_grelha->setQuery(
            db, f.select(f.colunasGrelha, f.colunaCodigo + QStringLiteral(" = ?"), ordenaExacta), f.valores({ codigo }), &erro);
    else if (!texto.isEmpty())
        ok = m_grelha->setQuery(db, f.select(f.colunasGrelha, condicaoLike(f.colunaDescricao), ordenaExacta),
            f.valores({ padraoLike(texto, true) }), &erro);
    else
        ok = m_grelha->setQuery(db, f.select(f.colunasGrelha), f.valores(), &erro);
    if (!ok) {
        m_s.msg->erroBaseDados(QStringLiteral("A procura no %1 falhou.").arg(nomePlano(m_tipo)), erro);
        return;
    }
    m_fonte = f;
    aplicaLayout();
}

void ChartConsult::aplicaLayout()
{
    if (!m_fonte.existe())
        return;
    m_grelha->aplicaLayout(m_fonte.layout);
    // A search may have changed the source: only its own flag column reads "Sim"/"Não".
    for (int c = 0; c < m_fonte.layout.size(); ++c)
        m_grelha->setFormato(c, c == m_fonte.colunaFlag ? FormatoColuna::Booleana : FormatoColuna::Texto);
}

void ChartConsult::resizeEvent(QResizeEvent *e)
{
    QWidget::resizeEvent(e);
    aplicaLayout();
}
