#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QVariantList>

#include <optional>

class Mensagens;

// Every date the program shows or reads from the user: dd-mm-aaaa.
inline constexpr const char *kFormatoData = "dd-MM-yyyy";
class QDate;

// A company's row of ParamFirma, as a login reads it.
struct DadosFirma {
    QString codigo;
    QString nome;
    QString analitica;
    bool planosExt = false;
    QString empCtb;
    bool anaExt = false;
    QString tipoLig;
    bool snc = false;
};

// Reads the company's row of ParamFirma into *firma, which stays empty when there is no such
// company. False (erro says why) only when it cannot be read.
bool leDadosFirma(QSqlDatabase db, const QString &codigo, std::optional<DadosFirma> *firma, QString *erro);

// The state of one running program: the company and processing date, the company's
// parameters, the user, the connection strings and the inputs of the shared routines.
// Each window receives it; nothing else is global.
struct Session {
    // Company and processing date.
    QString gCodFirma;
    QString gNomeFirma;
    qint16 gAno = 0;
    qint16 gMes = 0;
    QString gDataProc; // "dd-mm-yyyy"

    // Company parameters (ParamFirma).
    QString gEmpCtb;
    bool gPlanosExt = false;
    bool gAnaExt = false;
    QString gTipoLig;
    bool gSnc = false;
    QString gAnalitica; // account prefixes that carry a cost centre, "*"-separated
    QString gContasAnalitica; // the same classes, as the entry and exports read them

    // User.
    QString gNomeUtilizador;
    QString gLogin;
    bool gAdmin = false;

    // Connection strings: own database, outside accounting database.
    QString gLigacao1;
    QString gLigacao2;

    // Settings dialog.
    bool gAnaliticaAtiva = false;
    QString gTipoImp; // "S" outside database, "X" workbook
    bool gImportaExcel = false;
    QString gIxlsPath; // folder of the import workbook, with a trailing separator
    QString gImpXls; // file name of the import workbook

    // Search dialog mode (4 account, 5 cost centre).
    int gModoProcura = 0;

    // Inputs and results of ExportaExcel.
    int gExpTipo = 0; // 1 integration, 2 accrual list, 3 account totals
    QString gExpSql; // the query whose rows the workbook receives ...
    QVariantList gExpParams; // ... and its bound values
    QString gExpFicheiro; // workbook name, no folder
    QString gTipoExp; // "X" titled sheet, "C" plain sheet
    int gExpRegistos = 0;
    QString gExpCaminho; // full path of the last workbook written
    bool abrirFolhas = true; // open written workbooks in the spreadsheet program

    // The export-model editor's windows talk through these.
    QString gModelo; // the model being coded, trimmed
    QString gItemNome; // trimmed designation of the chosen model item
    qint16 gItemCodigo = 0; // code of the chosen model item (0: the file name)
    bool gAlteraModelo = false; // entered through "Alterar" (true) or "Novo" (false)

    Mensagens *msg = nullptr;

    // Builds gLigacao1 and gLigacao2 from the settings file, and reads the settings
    // that the settings dialog keeps (import source, cost-centre module, workbook opening).
    void carregaConfiguracao();

    // Opens the session on a company, for a user and a processing date.
    void entra(const DadosFirma &firma, const QString &login, const QString &nomeUtilizador, bool admin, const QDate &data);
};
