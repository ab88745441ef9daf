#include "core/session.h"

#include "core/connection.h"
#include "core/inifile.h"

void Session::carregaConfiguracao()
{
    gLigacao1 = ligacaoDaSeccao(QStringLiteral("DATABASE1"));
    gLigacao2 = ligacaoDaSeccao(QStringLiteral("DATABASE2"));
    const QString abrir = LeIni(QStringLiteral("Configuracoes"), QStringLiteral("AbrirFolhas"), QStringLiteral("sim")).trimmed().toLower();
    abrirFolhas = abrir != QStringLiteral("não") && abrir != QStringLiteral("nao") && qEnvironmentVariableIsEmpty("MOLVAR_NO_OPEN");
}
