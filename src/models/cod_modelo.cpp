#include "models/cod_modelo.h"

#include "core/connection.h"
#include "core/datacombo.h"
#include "core/mensagens.h"
#include "core/session.h"
#include "models/cod_det.h"
#include "models/cod_nome.h"
#include "models/listaopcoes.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

Cod_Modelo::Cod_Modelo(Session &s, QWidget *parent)
    : QDialog(parent)
    , m_s(s)
{
    setObjectName(QStringLiteral("Cod_Modelo"));
    setWindowTitle(QStringLiteral("Codificação do modelo ") + m_s.gModelo);
    auto *label = new QLabel(QStringLiteral("Item a codificar"), this);
    label->setObjectName(QStringLiteral("Label2"));
    tipocod = new DataCombo(this);
    tipocod->setObjectName(QStringLiteral("tipocod"));
    CodButton = new QPushButton(QStringLiteral("Codificar"), this);
    CodButton->setObjectName(QStringLiteral("CodButton"));
    CodButton->setAutoDefault(false);
    CancelButton = new QPushButton(QStringLiteral("Terminar"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setAutoDefault(false);

    auto *g = new QGridLayout(this);
    g->addWidget(label, 0, 0);
    g->addWidget(tipocod, 1, 0);
    auto *botoes = new QHBoxLayout;
    botoes->addStretch();
    botoes->addWidget(CodButton);
    botoes->addWidget(CancelButton);
    g->addLayout(botoes, 2, 0);
    resize(340, 120);

    connect(CodButton, &QPushButton::clicked, this, &Cod_Modelo::codifica);
    connect(CancelButton, &QPushButton::clicked, this, &QWidget::close);

    leLista();
}

bool Cod_Modelo::leLista()
{
    QString erro;
    QSqlDatabase db = abreLigacao(m_s.gLigacao1, &erro);
    if (!db.isValid() || !preencheOpcoes(tipocod, db, 1, &erro)) {
        m_s.msg->erroBaseDados(QStringLiteral("Não foi possível ler os itens dos modelos."), erro);
        return false;
    }
    return true;
}

void Cod_Modelo::codifica()
{
    if (tipocod->text().isEmpty()) {
        tipocod->setFocus();
        return;
    }
    if (tipocod->rowCount() == 0)
        return;
    int codigo = 0;
    if (!codigoDaOpcao(tipocod, &codigo)) {
        tipocod->setFocus();
        return;
    }
    m_s.gItemCodigo = static_cast<qint16>(codigo);
    m_s.gItemNome = tipocod->text().trimmed();
    QPointer<QDialog> janela;
    if (m_s.gItemCodigo == 0)
        janela = new Cod_nome(m_s, this);
    else
        janela = new Cod_det(m_s, this);
    janela->setAttribute(Qt::WA_DeleteOnClose);
    janela->exec();
    // The list starts again from its first item.
    leLista();
    tipocod->setFocus();
}
