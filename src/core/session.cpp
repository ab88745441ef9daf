#include "core/session.h"

#include "core/connection.h"
#include "core/inifile.h"

#include <QDate>
#include <QSqlQuery>

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

bool leDadosFirma(QSqlDatabase db, const QString &codigo, std::optional<DadosFirma> *lida, QString *erro)
{
    lida->reset();
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!executa(q,
            QStringLiteral("SELECT CodFirma, Designacao, Analitica, Planos_Ext, EmpCtb, Ana_Ext, Tipo_Lig, SNC "
                           "FROM ParamFirma WHERE CodFirma = ?"),
            { codigo }, erro))
        return false;
    if (!q.next())
        return true;
    DadosFirma *firma = &lida->emplace();
    firma->codigo = q.value(0).toString().trimmed();
    firma->nome = q.value(1).toString().trimmed();
    firma->analitica = q.value(2).toString().trimmed();
    firma->planosExt = q.value(3).toInt() != 0;
    firma->empCtb = q.value(4).toString().trimmed();
    firma->anaExt = q.value(5).toInt() != 0;
    firma->tipoLig = q.value(6).toString().trimmed();
    firma->snc = q.value(7).toInt() != 0;
    return true;
}

void Session::entra(const DadosFirma &firma, const QString &login, const QString &nomeUtilizador, bool admin, const QDate &data)
{
    gCodFirma = firma.codigo;
    gNomeFirma = firma.nome;
    gAnalitica = firma.analitica;
    gContasAnalitica = gAnalitica;
    gPlanosExt = firma.planosExt;
    gEmpCtb = firma.empCtb;
    gAnaExt = firma.anaExt;
    gTipoLig = firma.tipoLig;
    gSnc = firma.snc;
    gAno = static_cast<qint16>(data.year());
    gMes = static_cast<qint16>(data.month());
    gDataProc = data.toString(QLatin1String(kFormatoData));
    gLogin = login;
    gNomeUtilizador = nomeUtilizador;
    gAdmin = admin;
}
