#include "session/molvarinsfirma.h"

#include "core/avancoenter.h"
#include "core/connection.h"
#include "core/controlos.h"
#include "core/mensagens.h"
#include "core/session.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QVBoxLayout>

MolvarInsFirma::MolvarInsFirma(Session &s, QWidget *parent)
    : QDialog(parent)
    , m_s(s)
{
    setObjectName(QStringLiteral("MolvarInsFirma"));
    setWindowTitle(QStringLiteral("Criar Firma"));

    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text2 = new QLineEdit(this);
    Text2->setObjectName(QStringLiteral("Text2"));
    Text2->setMaxLength(50);
    mostraCampoInteiro(Text2);
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Cancelar"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    new AvancoComEnter({ Text1, Text2 }, OKButton, this);

    auto *campos = new QFormLayout;
    campos->addRow(QStringLiteral("Código:"), Text1);
    campos->addRow(QStringLiteral("Nome:"), Text2);
    auto *l = new QVBoxLayout(this);
    l->addLayout(campos);
    l->addLayout(linhaDeBotoes({ OKButton, CancelButton }));

    connect(OKButton, &QPushButton::clicked, this, &MolvarInsFirma::insere);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void MolvarInsFirma::insere()
{
    const QString codigo = Text1->text().trimmed();
    const QString nome = Text2->text().trimmed();
    if (codigo.isEmpty()) {
        m_s.msg->informa(QStringLiteral("Indique o código da firma!"));
        Text1->setFocus();
        return;
    }
    if (codigo.size() > 4) {
        m_s.msg->informa(QStringLiteral("O código da firma tem no máximo 4 caracteres!"));
        Text1->setFocus();
        return;
    }
    // The code names the company's workbooks: it must be able to stand in a file name.
    const bool cabeEmFicheiro
        = !codigo.contains(QLatin1Char('/')) && !codigo.contains(QLatin1Char('\\')) && caracterDeControlo(codigo) < 0;
    if (!cabeEmFicheiro) {
        m_s.msg->informa(QStringLiteral("O código da firma não pode ter \"/\", \"\\\" nem caracteres de controlo!"));
        Text1->setFocus();
        return;
    }
    if (nome.isEmpty()) {
        m_s.msg->informa(QStringLiteral("Indique o nome da firma!"));
        Text2->setFocus();
        return;
    }
    if (!semCaracteresDeControlo(m_s.msg, { { QStringLiteral("Nome"), nome, Text2 } }))
        return;
    QString erro;
    QSqlDatabase db = abreLigacao(m_s.gLigacao1, &erro);
    if (!db.isValid()) {
        m_s.msg->erroBaseDados(QStringLiteral("Não foi possível criar a firma."), erro);
        return;
    }
    // The key skips a company that exists, even one another workstation has just created;
    // nothing written means it is there already.
    QSqlQuery q(db);
    if (!executa(q,
            QStringLiteral("INSERT INTO ParamFirma (CodFirma, Designacao, Analitica, Planos_Ext, EmpCtb, Ana_Ext, Tipo_Lig, SNC) "
                           "VALUES (?, ?, ?, 0, ?, 0, ?, 0) ON CONFLICT DO NOTHING"),
            { codigo, nome, QString(), QString(), QString() }, &erro)) {
        m_s.msg->erroBaseDados(QStringLiteral("Não foi possível criar a firma."), erro);
        return;
    }
    if (q.numRowsAffected() == 0) {
        m_s.msg->informa(QStringLiteral("A firma \"%1\" já existe!").arg(codigo));
        Text1->setFocus();
        return;
    }
    accept();
    emit firmaCriada(codigo);
}
