#include "core/session.h"

#include "core/connection.h"
#include "core/inifile.h"

void Session::carregaConfiguracao()
{
    const QString config = QStringLiteral("Configuracoes");
    gLigacao1 = ligacaoDaSeccao(QStringLiteral("DATABASE1"));
    gLigacao2 = ligacaoDaSeccao(QStringLiteral("DATABASE2"));
    const QString abrir = LeIni(config, QStringLiteral("AbrirFolhas"), QStringLiteral("sim")).trimmed().toLower();
    abrirFolhas
        = abrir != QStringLiteral("não") && abrir != QStringLiteral("nao") && qEnvironmentVariableIsEmpty("MOLVAR_NO_OPEN");

    // What the settings dialog saved holds from one run to the next.
    gAnaliticaAtiva = LeIni(config, QStringLiteral("analitica")).trimmed().toLower() == QLatin1String("sim");
    gTipoImp = LeIni(config, QStringLiteral("TipoImp")).trimmed().toUpper();
    gImportaExcel = !gTipoImp.isEmpty();
    gIxlsPath = LeIni(config, QStringLiteral("IxlsPath")).trimmed();
    if (!gIxlsPath.isEmpty() && !gIxlsPath.endsWith(QLatin1Char('/')))
        gIxlsPath += QLatin1Char('/');
    gImpXls = LeIni(config, QStringLiteral("ImpXls")).trimmed();
}
