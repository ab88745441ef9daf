#include "core/mensagens.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("molvar"));
    QApplication::setApplicationDisplayName(tituloAplicacao());
    return 0;
}
