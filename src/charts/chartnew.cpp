#include "charts/chartnew.h"

#include "core/connection.h"
#include "core/controlos.h"
#include "core/mensagens.h"
#include "core/session.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlQuery>

ChartNew::ChartNew(Session &s, TipoPlano tipo, QWidget *parent)
    : QWidget(parent)
    , m_s(s)
    , m_tipo(tipo)
{
    const bool contas = tipo == TipoPlano::Contas;
    setObjectName(contas ? QStringLiteral("New_Poc") : QStringLiteral("New_Analit"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(contas ? QStringLiteral("Nova Conta POC") : QStringLiteral("Novo Ct Custo"));

    auto *lFirma = new QLabel(QStringLiteral("Cod. Firma"), this);
    lFirma->setObjectName(contas ? QStringLiteral("Label9") : QStringLiteral("Label1"));
    m_firma = new QLineEdit(this);
    m_firma->setObjectName(QStringLiteral("codFirma"));
    m_firma->setEnabled(false);
    auto *lAno = new QLabel(QStringLiteral("Exercicio"), this);
    lAno->setObjectName(QStringLiteral("LabelExercicio"));
    m_ano = new QLineEdit(this);
    m_ano->setObjectName(QStringLiteral("anoExerc1"));
    m_ano->setMaxLength(4);
    m_ano->setEnabled(false);
    auto *lCodigo = new QLabel(contas ? QStringLiteral("Ct. POC") : QStringLiteral("Ct. Custo"), this);
    lCodigo->setObjectName(QStringLiteral("LabelCodigo"));
    m_codigo = new QLineEdit(this);
    m_codigo->setObjectName(contas ? QStringLiteral("ctpoc") : QStringLiteral("Ccusto"));
    // The widths of the code and description columns.
    m_codigo->setMaxLength(contas ? 22 : 16);
    m_desc = new QLineEdit(this);
    m_desc->setObjectName(contas ? QStringLiteral("Desccpoc") : QStringLiteral("Descanalit"));
    m_desc->setMaxLength(30);
    auto *lFlag = new QLabel(contas ? QStringLiteral("Lançadora") : QStringLiteral("Lançador"), this);
    lFlag->setObjectName(QStringLiteral("LabelLancadora"));
    m_sim = new QRadioButton(QStringLiteral("Sim"), this);
    m_sim->setObjectName(QStringLiteral("Option1"));
    m_nao = new QRadioButton(QStringLiteral("Não"), this);
    m_nao->setObjectName(QStringLiteral("Option2"));
    auto *grupo = new QButtonGroup(this);
    grupo->addButton(m_sim);
    grupo->addButton(m_nao);
    m_sim->setChecked(true);
    m_inserir = new QPushButton(QStringLiteral("Inserir"), this);
    m_inserir->setObjectName(QStringLiteral("InsertButton"));
    m_cancelar = new QPushButton(QStringLiteral("Cancelar"), this);
    m_cancelar->setObjectName(QStringLiteral("CancelButton"));
    // Enter and Esc do nothing here: neither button is a default or cancel button.
    m_inserir->setAutoDefault(false);
    m_cancelar->setAutoDefault(false);

    auto *g = new QGridLayout(this);
    g->addWidget(lFirma, 0, 0);
    g->addWidget(m_firma, 0, 1);
    g->addWidget(lAno, 0, 2);
    g->addWidget(m_ano, 0, 3);
    g->addWidget(lCodigo, 1, 0);
    g->addWidget(m_codigo, 1, 1, 1, 3);
    g->addWidget(m_desc, 2, 0, 1, 4);
    // The two option buttons sit under the label of the posting flag.
    g->addWidget(lFlag, 3, 0, 1, 4);
    auto *opcoes = new QHBoxLayout;
    opcoes->addWidget(m_sim);
    opcoes->addWidget(m_nao);
    opcoes->addStretch();
    g->addLayout(opcoes, 4, 0, 1, 4);
    auto *botoes = new QHBoxLayout;
    botoes->addStretch();
    botoes->addWidget(m_inserir);
    botoes->addWidget(m_cancelar);
    g->addLayout(botoes, 5, 0, 1, 4);
    // A fixed single border: the window keeps the size of its controls.
    g->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(m_firma, m_ano);
    setTabOrder(m_ano, m_codigo);
    setTabOrder(m_codigo, m_desc);
    setTabOrder(m_desc, m_sim);
    setTabOrder(m_sim, m_nao);
    setTabOrder(m_nao, m_inserir);
    setTabOrder(m_inserir, m_cancelar);

    m_ano->setText(QString::number(s.gAno));
    m_firma->setText(s.gCodFirma);

    connect(m_inserir, &QPushButton::clicked, this, &ChartNew::insere);
    connect(m_cancelar, &QPushButton::clicked, this, &QWidget::close);
}

void ChartNew::insere()
{
    const bool contas = m_tipo == TipoPlano::Contas;
    // A code or a description of blanks only counts as empty.
    const QString codigo = m_codigo->text().trimmed();
    const QString descricao = m_desc->text().trimmed();
    if (codigo.isEmpty() || descricao.isEmpty()) {
        m_codigo->setFocus();
        return;
    }
    if (!semCaracteresDeControlo(m_s.msg,
            { { contas ? QStringLiteral("Ct. POC") : QStringLiteral("Ct. Custo"), codigo, m_codigo },
                { QStringLiteral("Descrição"), descricao, m_desc } }))
        return;
    const int lancadora = m_sim->isChecked() ? 1 : 0;
    m_codigo->setText(codigo);
    m_desc->setText(descricao);

    const FontePlano f = fontePropria(m_s, m_tipo);
    const QString coisa = contas ? QStringLiteral("a conta") : QStringLiteral("o centro de custo");
    QString erro;
    QSqlDatabase db = f.abre(&erro);
    if (!db.isValid()) {
        m_s.msg->erroBaseDados(QStringLiteral("Não foi possível gravar %1.").arg(coisa), erro);
        return;
    }
    // Company and year as the form shows them. The database skips a code that exists, even
    // one another workstation has just inserted; nothing written means it is there already.
    const QVariantList chave = { m_firma->text(), m_ano->text(), codigo };
    QSqlQuery ins(db);
    if (!executa(ins,
            QStringLiteral("INSERT INTO %1 (%2, Designacao, %3, CodFirma, CodExercicio) SELECT ?, ?, ?, ?, ? WHERE NOT EXISTS "
                           "(SELECT 1 FROM %1 WHERE CodFirma = ? AND CodExercicio = ? AND %2 = ?) ON CONFLICT DO NOTHING")
                .arg(f.tabela, f.colunaCodigo, f.colunaLancadora),
            QVariantList { codigo, descricao, lancadora, m_firma->text(), m_ano->text() } + chave, &erro)) {
        m_s.msg->erroBaseDados(QStringLiteral("Não foi possível gravar %1.").arg(coisa), erro);
        return;
    }
    if (ins.numRowsAffected() == 0) {
        m_s.msg->informa(contas ? QStringLiteral("A conta já foi aberta") : QStringLiteral("O Ct. Custo já foi aberto"));
        m_codigo->setFocus();
        return;
    }
    close();
}
