#include "models/cod_det.h"

#include "core/session.h"

Cod_det::Cod_det(Session &s, QWidget *parent)
    : QDialog(parent)
    , m_s(s)
{
    setObjectName(QStringLiteral("Cod_det"));
    setWindowTitle(QStringLiteral("Codificação do detalhe no modelo ") + s.gModelo);
}

Cod_det::~Cod_det() = default;
