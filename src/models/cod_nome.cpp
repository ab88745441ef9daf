#include "models/cod_nome.h"

#include "core/session.h"

Cod_nome::Cod_nome(Session &s, QWidget *parent)
    : QDialog(parent)
    , m_s(s)
{
    setObjectName(QStringLiteral("Cod_nome"));
    setWindowTitle(QStringLiteral("Codificação de ") + s.gItemNome + QStringLiteral(" no modelo ") + s.gModelo);
}

Cod_nome::~Cod_nome() = default;
