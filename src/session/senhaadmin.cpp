#include "session/senhaadmin.h"

#include "core/avancoenter.h"
#include "core/controlos.h"
#include "core/mensagens.h"
#include "core/senha.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

SenhaAdmin::SenhaAdmin(Mensagens *msg, const QString &explicacao, QWidget *parent)
    : QDialog(parent)
    , m_msg(msg)
{
    setObjectName(QStringLiteral("SenhaAdmin"));
    setWindowTitle(QStringLiteral("Senha do Administrador"));

    Explicacao = rotulo(this, "Explicacao", explicacao);
    Explicacao->setWordWrap(true);
    Senha1 = caixaSenha(this, "Senha1");
    Senha2 = caixaSenha(this, "Senha2");
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Cancelar"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    new AvancoComEnter({ Senha1, Senha2 }, OKButton, this);

    auto *campos = new QFormLayout;
    campos->addRow(QStringLiteral("Nova senha:"), Senha1);
    campos->addRow(QStringLiteral("Repita a senha:"), Senha2);
    auto *l = new QVBoxLayout(this);
    l->addWidget(Explicacao);
    l->addLayout(campos);
    l->addLayout(linhaDeBotoes({ OKButton, CancelButton }));

    connect(OKButton, &QPushButton::clicked, this, &SenhaAdmin::confere);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

QString SenhaAdmin::senha() const
{
    return normalizaSenha(Senha1->text());
}

void SenhaAdmin::confere()
{
    const QString recusa = senhaRecusada(Senha1->text());
    if (!recusa.isEmpty()) {
        m_msg->informa(recusa);
        Senha1->setFocus();
        return;
    }
    if (normalizaSenha(Senha2->text()) != senha()) {
        m_msg->informa(QStringLiteral("As duas senhas não são iguais!"));
        Senha2->clear();
        Senha2->setFocus();
        return;
    }
    accept();
}
