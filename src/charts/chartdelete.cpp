#include "charts/chartdelete.h"

#include "core/connection.h"
#include "core/controlos.h"
#include "core/datacombo.h"
#include "core/mensagens.h"
#include "core/session.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QSqlRecord>

ChartDelete::ChartDelete(Session &s, TipoPlano tipo, QWidget *parent)
    : QWidget(parent)
    , m_s(s)
    , m_tipo(tipo)
{
    const bool contas = tipo == TipoPlano::Contas;
    setObjectName(contas ? QStringLiteral("Del_cPoc") : QStringLiteral("Del_Analit"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(contas ? QStringLiteral("Apagar Conta POC") : QStringLiteral("Apagar Ct Custo"));

    m_label = new QLabel(contas ? QStringLiteral("Ct Poc") : QStringLiteral("Ct.custo"), this);
    m_label->setObjectName(QStringLiteral("Label1"));
    m_combo = new DataCombo(this);
    m_combo->setObjectName(QStringLiteral("DataCombo1"));
    m_desc = new QLineEdit(this);
    m_desc->setObjectName(contas ? QStringLiteral("Desccpoc") : QStringLiteral("Descanalit"));
    m_desc->setMaxLength(30);
    m_procurar = new QPushButton(QStringLiteral("Procurar"), this);
    m_procurar->setObjectName(QStringLiteral("PesqButton"));
    m_apagar = new QPushButton(QStringLiteral("Apagar"), this);
    m_apagar->setObjectName(QStringLiteral("DelButton"));
    m_cancelar = new QPushButton(QStringLiteral("Cancelar"), this);
    m_cancelar->setObjectName(QStringLiteral("CancelButton"));
    // Nothing can be deleted from a chart that was not read.
    m_apagar->setEnabled(false);

    auto *g = new QGridLayout(this);
    g->addWidget(m_label, 0, 0);
    g->addWidget(m_combo, 0, 1);
    g->addWidget(m_desc, 1, 0, 1, 2);
    auto *botoes = new QHBoxLayout;
    botoes->addWidget(m_procurar);
    botoes->addStretch();
    botoes->addWidget(m_apagar);
    botoes->addWidget(m_cancelar);
    g->addLayout(botoes, 2, 0, 1, 2);
    g->setColumnStretch(1, 1);
    resize(420, 130);

    connect(m_combo, &DataCombo::textChanged, this, &ChartDelete::mostraDescricao);
    connect(m_combo, &DataCombo::enterPressed, this, &ChartDelete::apaga);
    connect(m_combo, &DataCombo::escapePressed, this, &QWidget::close);
    connect(m_procurar, &QPushButton::clicked, this, &ChartDelete::procura);
    connect(m_apagar, &QPushButton::clicked, this, &ChartDelete::apaga);
    connect(m_cancelar, &QPushButton::clicked, this, &QWidget::close);

    carrega();
}

void ChartDelete::carrega()
{
    m_activado = false;
    m_combo->setEditText(QString());
    m_desc->clear();
    const FontePlano f = fontePropria(m_s, m_tipo);
    QString erro;
    QSqlDatabase db = f.abre(&erro);
    if (!db.isValid()
        || !m_combo->setRowSource(
            db, f.select({ f.colunaCodigo, f.colunaDescricao }), f.valores(), f.colunaCodigo, f.colunaDescricao, &erro)) {
        m_s.msg->erroBaseDados(QStringLiteral("Não foi possível ler o %1.").arg(nomePlano(m_tipo)), erro);
        return;
    }
    m_carregado = true;
    m_apagar->setEnabled(true);
    const int n = m_combo->rowCount();
    m_linhaDoCodigo.reserve(n);
    for (int i = n - 1; i >= 0; --i)
        m_linhaDoCodigo.insert(codigoDa(i), i);
    if (n > 0)
        escolhe(0);
}

void ChartDelete::showEvent(QShowEvent *e)
{
    QWidget::showEvent(e);
    // From here on a change of the combo shows the description of its code.
    m_activado = true;
}

QString ChartDelete::codigoDa(int linha) const
{
    return m_combo->itemText(linha);
}

QString ChartDelete::descricaoDa(int linha) const
{
    return m_combo->row(linha).value(1).toString();
}

void ChartDelete::escolhe(int linha)
{
    m_combo->setText(codigoDa(linha));
    m_desc->setText(descricaoDa(linha));
}

void ChartDelete::mostraDescricao()
{
    if (!m_activado || m_combo->rowCount() == 0)
        return;
    // A code that is not in the list shows the first row's description; the combo keeps its text.
    m_desc->setText(descricaoDa(m_linhaDoCodigo.value(m_combo->text(), 0)));
}

void ChartDelete::procura()
{
    const QString codigo = m_combo->text();
    const QString texto = m_desc->text().trimmed();
    const bool porCodigo = !codigo.isEmpty();
    const int n = porCodigo ? codigo.size() : texto.size();
    const int linhas = m_combo->rowCount();
    if (linhas > 0 && n > 0) {
        int achada = -1;
        if (porCodigo) {
            achada = m_linhaDoCodigo.value(codigo, -1);
        } else {
            for (int i = 0; i < linhas && achada < 0; ++i)
                if (descricaoDa(i).left(n) == texto)
                    achada = i;
        }
        // Nothing found selects the first code of the chart.
        escolhe(achada < 0 ? 0 : achada);
    }
    m_desc->setFocus();
}

void ChartDelete::apaga()
{
    const bool contas = m_tipo == TipoPlano::Contas;
    if (!m_carregado) {
        m_s.msg->informa(QStringLiteral("O %1 não foi lido: não há nada a apagar.").arg(nomePlano(m_tipo)));
        return;
    }
    if (!semCaracteresDeControlo(m_s.msg, { { m_label->text(), m_combo->text(), m_combo } }))
        return;
    if (!m_s.msg->perguntaSimNao(contas ? QStringLiteral("Deseja apagar conta?") : QStringLiteral("Deseja apagar ct.custo?"),
            QStringLiteral("Apagar"), Mensagens::Icone::Exclamacao))
        return;
    const FontePlano f = fontePropria(m_s, m_tipo);
    QString erro;
    QSqlDatabase db = f.abre(&erro);
    QSqlQuery q(db);
    if (!db.isValid()
        || !executa(q,
            QStringLiteral("DELETE FROM %1 WHERE CodFirma = ? AND CodExercicio = ? AND %2 = ?").arg(f.tabela, f.colunaCodigo),
            f.valores({ m_combo->text() }), &erro)) {
        m_s.msg->erroBaseDados(contas ? QStringLiteral("Não foi possível apagar a conta.")
                                      : QStringLiteral("Não foi possível apagar o centro de custo."),
            erro);
        return;
    }
    close();
}
