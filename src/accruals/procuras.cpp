#include "accruals/procuras.h"

#include "core/controlos.h"
#include "core/datagrid.h"
#include "core/mensagens.h"
#include "core/session.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

Procuras::Procuras(Session &s, ProcurasDestino *destino, QWidget *parent)
    : QDialog(parent)
    , m_s(s)
    , m_destino(destino)
    , m_modo(s.gModoProcura)
    , m_tipo(s.gModoProcura == 5 ? TipoPlano::CentrosCusto : TipoPlano::Contas)
{
    const bool contas = m_tipo == TipoPlano::Contas;
    setObjectName(QStringLiteral("Procuras"));
    setModal(true);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(contas ? QStringLiteral("Procura de Contas") : QStringLiteral("Procura de Centros de Custo"));

    m_label = new QLabel(contas ? QStringLiteral("Conta") : QStringLiteral("Ct.Custo"), this);
    m_label->setObjectName(QStringLiteral("Label1"));
    m_codigo = new QLineEdit(this);
    m_codigo->setObjectName(QStringLiteral("Codigo"));
    m_codigo->setMaxLength(contas ? 22 : 16);
    auto *lDesc = new QLabel(QStringLiteral("Descrição"), this);
    lDesc->setObjectName(QStringLiteral("Label2"));
    m_desc = new QLineEdit(this);
    m_desc->setObjectName(QStringLiteral("Descricao"));
    m_desc->setMaxLength(30);
    m_procurar = new QPushButton(QStringLiteral("Procurar"), this);
    m_procurar->setObjectName(QStringLiteral("PesqButton"));
    m_grelha = new DataGrid(this);
    m_grelha->setObjectName(QStringLiteral("DataGrid1"));
    m_ok = new QPushButton(QStringLiteral("Ok"), this);
    m_ok->setObjectName(QStringLiteral("OkButton"));
    m_cancelar = new QPushButton(QStringLiteral("Cancelar"), this);
    m_cancelar->setObjectName(QStringLiteral("CancelButton"));
    // Enter in a box searches; it must not accept the dialog.
    for (QPushButton *b : { m_procurar, m_ok, m_cancelar }) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }

    auto *g = new QGridLayout;
    g->addWidget(m_label, 0, 0);
    g->addWidget(m_codigo, 0, 1);
    g->addWidget(lDesc, 1, 0);
    g->addWidget(m_desc, 1, 1);
    g->addWidget(m_procurar, 0, 2, 2, 1);
    g->setColumnStretch(1, 1);
    auto *l = new QVBoxLayout(this);
    l->addLayout(g);
    l->addWidget(m_grelha, 1);
    l->addLayout(linhaDeBotoes({ m_ok, m_cancelar }));

    // Typing narrows the list after a short pause, so a long chart is not re-read per key.
    m_espera = new QTimer(this);
    m_espera->setObjectName(QStringLiteral("espera"));
    m_espera->setSingleShot(true);
    m_espera->setInterval(250);
    connect(m_espera, &QTimer::timeout, this, &Procuras::procuraAoEscrever);
    connect(m_codigo, &QLineEdit::textEdited, m_espera, qOverload<>(&QTimer::start));
    connect(m_desc, &QLineEdit::textEdited, m_espera, qOverload<>(&QTimer::start));
    connect(m_codigo, &QLineEdit::returnPressed, this, &Procuras::procura);
    connect(m_desc, &QLineEdit::returnPressed, this, &Procuras::procura);
    connect(m_procurar, &QPushButton::clicked, this, &Procuras::procura);
    connect(m_grelha, &QAbstractItemView::doubleClicked, this, &Procuras::aceita);
    connect(m_ok, &QPushButton::clicked, this, &Procuras::aceita);
    connect(m_cancelar, &QPushButton::clicked, this, &QDialog::reject);

    procura();
    // Wide enough for the columns the search laid out, as far as the screen allows.
    QSize tamanho = QSize(620, 420).expandedTo(sizeHint());
    if (const QScreen *ecra = (parent ? parent->screen() : screen()))
        tamanho = tamanho.boundedTo(ecra->availableGeometry().size());
    resize(tamanho);
}

void Procuras::procura()
{
    lista(true);
}

void Procuras::procuraAoEscrever()
{
    lista(false);
}

void Procuras::lista(bool pedida)
{
    m_espera->stop();
    m_fonte = fontePlano(m_s, m_tipo);
    // The totals window has no list for Primavera: nothing is read for it either.
    if (m_fonte.origem == OrigemPlano::Primavera)
        m_fonte = FontePlano();
    if (!m_fonte.existe()) {
        m_grelha->limpa();
        m_falhaDita = false;
        return;
    }
    QStringList colunas = { m_fonte.colunaCodigo, m_fonte.colunaDescricao };
    QList<ColunaGrelha> layout = { { m_fonte.layout.value(m_fonte.origem == OrigemPlano::Sage ? 0 : 2).titulo, 2000 },
        { QStringLiteral("Descrição"), 5000 } };
    if (m_fonte.temLancadora()) {
        colunas << m_fonte.colunaLancadora;
        layout << ColunaGrelha { m_fonte.layout.value(3).titulo, 1000 };
    } else if (m_fonte.colunasGrelha.size() > 2) {
        colunas << m_fonte.colunasGrelha.at(2);
        layout << m_fonte.layout.value(2);
    }
    // Said once while typing, as a failing search is.
    if (!semCaracteresDeControlo(pedida || !m_falhaDita ? m_s.msg : nullptr,
            { { m_label->text(), m_codigo->text(), m_codigo }, { QStringLiteral("Descrição"), m_desc->text(), m_desc } })) {
        m_grelha->limpa();
        m_falhaDita = true;
        return;
    }
    QStringList condicoes;
    QVariantList valores;
    if (!m_codigo->text().isEmpty()) {
        condicoes << condicaoLike(m_fonte.colunaCodigo);
        valores << padraoLike(m_codigo->text(), false);
    }
    if (!m_desc->text().isEmpty()) {
        condicoes << condicaoLike(m_fonte.colunaDescricao);
        valores << padraoLike(m_desc->text(), false);
    }
    QString erro;
    QSqlDatabase db = m_fonte.abre(&erro);
    if (!db.isValid()
        || !m_grelha->setQuery(
            db, m_fonte.select(colunas, condicoes.join(QStringLiteral(" AND "))), m_fonte.valores(valores), &erro)) {
        m_grelha->limpa();
        // A failing database fails at every pause in typing: one box until a search succeeds
        // or the user asks again. Not by its text: PostgreSQL's names another prepared
        // statement at each attempt.
        if (pedida || !m_falhaDita)
            m_s.msg->erroBaseDados(QStringLiteral("Não foi possível ler o %1.").arg(nomePlano(m_tipo)), erro);
        m_falhaDita = true;
        return;
    }
    m_falhaDita = false;
    m_grelha->aplicaLayout(layout);
    m_grelha->setFormato(2, m_fonte.temLancadora() ? FormatoColuna::Booleana : FormatoColuna::Texto);
    // "Ok" takes the first row unless the user picks another.
    if (m_grelha->temLinhas())
        m_grelha->setCurrentIndex(m_grelha->model()->index(0, 0));
}

void Procuras::aceita()
{
    const int linha = m_grelha->linhaActual();
    const QString codigo = linha >= 0 ? m_grelha->valor(linha, 0).toString() : QString();
    if (codigo.isEmpty()) {
        m_s.msg->informa(QStringLiteral("Escolha uma Conta!"));
        return;
    }
    if (m_destino)
        m_destino->recebeCodigo(m_modo, codigo);
    accept();
}
