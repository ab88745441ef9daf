#include "models/del_modelo.h"

#include "models/listaopcoes.h"

#include "core/connection.h"
#include "core/datacombo.h"
#include "core/mensagens.h"
#include "core/session.h"
#include "core/transacao.h"
#include "models/valorescaixa.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSqlQuery>
#include <QSqlRecord>

Del_Modelo::Del_Modelo(Session &s, QWidget *parent)
    : QDialog(parent)
    , m_s(s)
{
    setObjectName(QStringLiteral("Del_Modelo"));
    setWindowTitle(QStringLiteral("Eliminação de modelos"));
    auto *label = new QLabel(QStringLiteral("Modelo"), this);
    label->setObjectName(QStringLiteral("Label1"));
    Modelo = new DataCombo(this);
    Modelo->setObjectName(QStringLiteral("Modelo"));
    ApagaButton = new QPushButton(QStringLiteral("Eliminar"), this);
    ApagaButton->setObjectName(QStringLiteral("ApagaButton"));
    ApagaButton->setAutoDefault(false);
    CancelButton = new QPushButton(QStringLiteral("Cancelar"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setAutoDefault(false);

    auto *g = new QGridLayout(this);
    g->addWidget(label, 0, 0);
    g->addWidget(Modelo, 1, 0);
    auto *botoes = new QHBoxLayout;
    botoes->addStretch();
    botoes->addWidget(ApagaButton);
    botoes->addWidget(CancelButton);
    g->addLayout(botoes, 2, 0);
    resize(300, 120);

    connect(Modelo, &DataCombo::textChanged, this, &Del_Modelo::modeloMudou);
    connect(ApagaButton, &QPushButton::clicked, this, &Del_Modelo::apaga);
    connect(CancelButton, &QPushButton::clicked, this, &QWidget::close);

    if (!preencheModelos(Modelo, m_s))
        return;
    if (Modelo->rowCount() > 0)
        Modelo->setText(Modelo->row(0).value(QStringLiteral("Modelo")).toString());
}

void Del_Modelo::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    m_activado = true;
}

void Del_Modelo::modeloMudou()
{
    if (!m_activado || Modelo->rowCount() == 0 || Modelo->text().isEmpty())
        return;
    // Only a stored name (exactly, with its padding) can stand: any other text brings back
    // the first model's name.
    if (Modelo->findRow(Modelo->text()) < 0)
        Modelo->setText(Modelo->row(0).value(QStringLiteral("Modelo")).toString());
}

void Del_Modelo::apaga()
{
    const QString nome = Modelo->text();
    if (nome.isEmpty())
        return;
    if (!m_s.msg->perguntaSimNao(
            QStringLiteral("Deseja apagar o modelo?"), QStringLiteral("Apagar"), Mensagens::Icone::Exclamacao))
        return;
    QString erro;
    QSqlDatabase db = abreLigacao(m_s.gLigacao1, &erro);
    // The header and its coded items go together or not at all; without a header (deleted
    // meanwhile elsewhere) nothing is deleted and nothing reported as done.
    Transacao t(db);
    QSqlQuery q(db);
    const QVariantList nomeComparado { nomeModeloComparado(nome) };
    if (!db.isValid() || !t.iniciada(&erro)
        || !executa(q, QStringLiteral("delete FROM modexptxt where ") + condicaoNomeModelo(), nomeComparado, &erro)) {
        m_s.msg->erroBaseDados(QStringLiteral("Não foi possível apagar o modelo."), erro);
        return;
    }
    if (q.numRowsAffected() == 0) {
        t.anula();
        m_s.msg->informa(QStringLiteral("O modelo não está definido"));
        return;
    }
    if (!executa(q, QStringLiteral("delete FROM modexptxtdet where ") + condicaoNomeModelo(), nomeComparado, &erro)
        || !t.confirma(&erro)) {
        m_s.msg->erroBaseDados(QStringLiteral("Não foi possível apagar o modelo."), erro);
        return;
    }
    close();
}
