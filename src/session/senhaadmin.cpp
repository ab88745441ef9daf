#include "session/senhaadmin.h"

#include "core/avancoenter.h"
#include "core/controlos.h"
#include "core/mensagens.h"
#include "core/schema.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextBoundaryFinder>
#include <QVBoxLayout>

SenhaAdmin::SenhaAdmin(Mensagens *msg, const QString &explicacao, QWidget *parent)
    : QDialog(parent)
    , m_msg(msg)
{
    setObjectName(QStringLiteral("SenhaAdmin"));
    setWindowTitle(QStringLiteral("Senha do Administrador"));

    Explicacao = rotulo(this, "Explicacao", explicacao);
    Explicacao->setWordWrap(true);
    Senha1 = caixa(this, "Senha1", 100);
    Senha1->setEchoMode(QLineEdit::Password);
    Senha2 = caixa(this, "Senha2", 100);
    Senha2->setEchoMode(QLineEdit::Password);
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
    return Senha1->text();
}

void SenhaAdmin::confere()
{
    // Counted as the user sees characters: an emoji takes two UTF-16 units, an accent may
    // take a code point of its own.
    int caracteres = 0;
    QTextBoundaryFinder f(QTextBoundaryFinder::Grapheme, Senha1->text());
    while (f.toNextBoundary() != -1)
        ++caracteres;
    if (Senha1->text().trimmed().isEmpty() && !Senha1->text().isEmpty()) {
        m_msg->informa(QStringLiteral("A senha não pode ser feita só de espaços!"));
        Senha1->setFocus();
        return;
    }
    if (caracteres < kSenhaMinima) {
        m_msg->informa(QStringLiteral("A senha tem de ter pelo menos %1 caracteres!").arg(kSenhaMinima));
        Senha1->setFocus();
        return;
    }
    if (Senha2->text() != Senha1->text()) {
        m_msg->informa(QStringLiteral("As duas senhas não são iguais!"));
        Senha2->clear();
        Senha2->setFocus();
        return;
    }
    accept();
}
