#include "core/exportaexcel.h"

#include "core/appfolder.h"
#include "core/connection.h"
#include "core/folhaemescrita.h"
#include "core/leitorxlsx.h"
#include "core/mensagens.h"
#include "core/money.h"
#include "core/session.h"

#include <QApplication>
#include <QDate>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>

#include <xlsxwriter.h>

#include <cerrno>
#include <cstring>

namespace {

// The writer's error in the user's words, its own English text after them. `sistema` is the
// errno the failure left, 0 when none.
QString descricaoErroExcel(lxw_error erro, int sistema)
{
    QString motivo;
    switch (erro) {
    case LXW_ERROR_MEMORY_MALLOC_FAILED:
        motivo = QStringLiteral("falta memória");
        break;
    case LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED:
        motivo = QStringLiteral("um texto tem mais de 32767 caracteres, o limite de uma célula");
        break;
    case LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE:
        motivo = QStringLiteral("os dados passam das 1048576 linhas ou 16384 colunas de uma folha");
        break;
    default:
        if (sistema == ENOSPC || sistema == EDQUOT)
            motivo = QStringLiteral("não há espaço livre no disco");
        else if (sistema != 0)
            motivo = QStringLiteral("o disco recusou a escrita (%1)").arg(QString::fromLocal8Bit(std::strerror(sistema)));
        else
            motivo = QStringLiteral("a escrita do ficheiro falhou");
    }
    return QStringLiteral("A folha de cálculo não foi gravada: %1.\n(%2)").arg(motivo, QString::fromUtf8(lxw_strerror(erro)));
}

void mostraErroExcel(Session &s, lxw_error erro, int sistema)
{
    if (s.msg)
        s.msg->mostra(QStringLiteral("Error: %1\n\n%2").arg(QString::number(erro), descricaoErroExcel(erro, sistema)),
            tituloAplicacao() + QStringLiteral("  -  Advisory"), Mensagens::Botoes::Ok, Mensagens::Icone::Critico);
}

class CursorEspera
{
public:
    CursorEspera()
    {
        if (qobject_cast<QApplication *>(QCoreApplication::instance()))
            QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~CursorEspera()
    {
        if (qobject_cast<QApplication *>(QCoreApplication::instance()))
            QApplication::restoreOverrideCursor();
    }
};

// Writes the workbook; returns 0 or the libxlsxwriter error.
struct Escritor {
    lxw_workbook *wb = nullptr;
    lxw_worksheet *ws = nullptr;
    lxw_format *fmtValor = nullptr;
    lxw_format *fmtData = nullptr;
    lxw_format *fmtTitulo = nullptr;
    lxw_format *fmtCabecalho = nullptr;
    lxw_error erro = LXW_NO_ERROR;

    bool ok() const { return erro == LXW_NO_ERROR; }
    void verifica(lxw_error e)
    {
        if (erro == LXW_NO_ERROR && e != LXW_NO_ERROR)
            erro = e;
    }
    void texto(int l, int c, const QString &t, lxw_format *f = nullptr)
    {
        if (ok())
            verifica(worksheet_write_string(ws, l, c, t.toUtf8().constData(), f));
    }
    void data(int l, int c, const QDate &d)
    {
        lxw_datetime dt = { d.year(), d.month(), d.day(), 0, 0, 0 };
        verifica(worksheet_write_datetime(ws, l, c, &dt, fmtData));
    }
    // An amount column shows two decimals even for a whole value, which SQLite hands back as an integer.
    // A date column holds dates, which SQLite hands back as text.
    void valor(int l, int c, const QVariant &v, bool montante, bool emData)
    {
        if (!ok() || v.isNull())
            return;
        if (emData && v.typeId() == QMetaType::QString) {
            if (const QDate d = dataDaBase(v); d.isValid())
                return data(l, c, d);
        }
        switch (v.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
            verifica(worksheet_write_number(ws, l, c, v.toDouble(), montante ? fmtValor : nullptr));
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            verifica(worksheet_write_number(ws, l, c, v.toDouble(), fmtValor));
            break;
        case QMetaType::Bool:
            verifica(worksheet_write_number(ws, l, c, v.toBool() ? 1 : 0, nullptr));
            break;
        case QMetaType::QDate:
        case QMetaType::QDateTime:
            data(l, c, v.toDate());
            break;
        default:
            texto(l, c, v.toString());
        }
    }
};

} // namespace

const char *tituloExportacao(int tipo)
{
    switch (tipo) {
    case 1:
        return "Exportação de Molvaralizações em Formato Excel";
    case 2:
        return "Linhas por Integrar na Contabilidade em Formato Excel";
    case 3:
        return "Exportação de Totais por Conta em Formato Excel";
    default:
        return "";
    }
}

bool ExportaExcel(Session &s)
{
    CursorEspera cursor;
    s.gExpRegistos = 0;
    const bool titulada = s.gTipoExp == QLatin1String("X");
    if (!titulada && s.gTipoExp != QLatin1String("C"))
        return false;

    QString e;
    if (!ensureAppFolder(&e)) {
        if (s.msg)
            s.msg->informa(
                QStringLiteral("Não foi possível escrever a folha de cálculo.\n\n") + e, QString(), Mensagens::Icone::Critico);
        return false;
    }
    QSqlDatabase db = abreLigacao(s.gLigacao1, &e);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!db.isValid() || !executa(q, s.gExpSql, s.gExpParams, &e)) {
        if (s.msg)
            s.msg->erroBaseDados(QStringLiteral("Não foi possível ler os dados para a folha de cálculo."), e);
        return false;
    }

    const QString nome = QFileInfo(s.gExpFicheiro.trimmed()).completeBaseName();
    const QString base = QDir(appFolder()).filePath(nome.isEmpty() ? QStringLiteral("Exportacao") : nome);
    // Written in a directory of its own beside the workbook, then given its name; those left
    // by interrupted exports of this name go now, unless another export is writing them.
    FolhaEmEscrita emEscrita;
    if (!emEscrita.cria(base, &e)) {
        if (s.msg)
            s.msg->informa(
                QStringLiteral("Não foi possível escrever a folha de cálculo.\n\n") + e, QString(), Mensagens::Icone::Critico);
        return false;
    }
    emEscrita.removeSobras(base);

    // The writer's own temporary files go into that directory too.
    QByteArray pastaTemporaria = QFile::encodeName(emEscrita.pastaTemporaria());
    lxw_workbook_options opcoes = {};
    opcoes.constant_memory = LXW_TRUE;
    opcoes.tmpdir = pastaTemporaria.data();
    Escritor w;
    errno = 0;
    w.wb = workbook_new_opt(QFile::encodeName(emEscrita.nome()).constData(), &opcoes);
    if (!w.wb) {
        mostraErroExcel(s, LXW_ERROR_CREATING_XLSX_FILE, errno);
        return false;
    }
    w.ws = workbook_add_worksheet(w.wb, nullptr);
    w.fmtValor = workbook_add_format(w.wb);
    format_set_num_format(w.fmtValor, "#,##0.00");
    w.fmtData = workbook_add_format(w.wb);
    format_set_num_format(w.fmtData, "dd-mm-yyyy");
    w.fmtTitulo = workbook_add_format(w.wb);
    format_set_bold(w.fmtTitulo);
    w.fmtCabecalho = workbook_add_format(w.wb);
    format_set_bold(w.fmtCabecalho);
    format_set_bottom(w.fmtCabecalho, LXW_BORDER_THIN);

    const QSqlRecord rec = q.record();
    const int colunas = rec.count();
    const int colValor = rec.indexOf(QStringLiteral("valor"));
    QList<bool> montante(colunas, false), emData(colunas, false);
    for (int c = 0; c < colunas; ++c) {
        montante[c] = rec.fieldName(c).compare(QLatin1String("valor"), Qt::CaseInsensitive) == 0
            || rec.fieldName(c).compare(QLatin1String("valor_ori"), Qt::CaseInsensitive) == 0;
        // DataCtb is the tables' one date column; SQLite does not say so in the record.
        emData[c] = rec.field(c).metaType().id() == QMetaType::QDate || rec.field(c).metaType().id() == QMetaType::QDateTime
            || rec.fieldName(c).compare(QLatin1String("DataCtb"), Qt::CaseInsensitive) == 0;
    }
    int linha = 0;
    if (titulada) {
        w.texto(0, 0, QStringLiteral("Firma: ") + s.gNomeFirma, w.fmtTitulo);
        w.texto(1, 0, QString::fromUtf8(tituloExportacao(s.gExpTipo)), w.fmtTitulo);
        linha = 3;
    }
    for (int c = 0; c < colunas; ++c)
        w.texto(linha, c, rec.fieldName(c), w.fmtCabecalho);
    const int primeira = linha + 1;
    linha = primeira;

    Centimos soma = 0;
    while (w.ok() && q.next()) {
        for (int c = 0; c < colunas; ++c)
            w.valor(linha, c, q.value(c), montante[c], emData[c]);
        if (colValor >= 0)
            soma += paraCentimos(q.value(colValor));
        ++linha;
    }
    if (q.lastError().isValid()) {
        workbook_close(w.wb);
        if (s.msg)
            s.msg->erroBaseDados(
                QStringLiteral("Não foi possível ler os dados para a folha de cálculo."), textoErro(q.lastError()));
        return false;
    }
    s.gExpRegistos = linha - primeira;

    if (titulada && s.gExpTipo == 2 && w.ok()) {
        // The total covers the amount column; its label stands in the column before it.
        const int colSoma = colValor >= 0 ? colValor : 6;
        if (colSoma > 0)
            w.texto(linha, colSoma - 1, QStringLiteral("Soma:"), w.fmtTitulo);
        if (s.gExpRegistos == 0) {
            w.verifica(worksheet_write_number(w.ws, linha, colSoma, 0, w.fmtValor));
        } else {
            const QString l = nomeColuna(colSoma + 1);
            const QString formula = QStringLiteral("=SUM(%1%2:%1%3)").arg(l).arg(primeira + 1).arg(linha);
            w.verifica(worksheet_write_formula_num(
                w.ws, linha, colSoma, formula.toUtf8().constData(), w.fmtValor, centimosParaDouble(soma)));
        }
    }
    if (w.ok())
        worksheet_set_column(w.ws, 0, qMax(0, colunas - 1), 14, nullptr);

    errno = 0;
    const lxw_error fecho = workbook_close(w.wb);
    if (!w.ok() || fecho != LXW_NO_ERROR) {
        mostraErroExcel(s, w.ok() ? fecho : w.erro, w.ok() ? errno : 0);
        return false;
    }
    QString motivo;
    const QString destino = emEscrita.daNome(base, &motivo);
    if (destino.isEmpty()) {
        if (s.msg)
            s.msg->informa(QStringLiteral("Não foi possível gravar a folha de cálculo \"%1.xlsx\": %2").arg(base, motivo),
                QString(), Mensagens::Icone::Critico);
        return false;
    }
    s.gExpCaminho = destino;
    const bool aberta = s.abrirFolhas && QGuiApplication::platformName() != QLatin1String("offscreen") && haProgramaParaFolhas()
        && QDesktopServices::openUrl(QUrl::fromLocalFile(destino));
    if (!aberta && s.msg)
        s.msg->informa(QStringLiteral("A folha de cálculo foi gravada em %1").arg(QDir::toNativeSeparators(destino)));
    return true;
}

bool haProgramaParaFolhas()
{
    // The desktop's opener starts, and so reports success, even when no program takes the
    // file: it then shows nothing. Ask the desktop first which program opens a workbook.
    QProcess p;
    p.start(QStringLiteral("xdg-mime"),
        { QStringLiteral("query"), QStringLiteral("default"),
            QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet") });
    if (!p.waitForStarted(3000))
        return true; // not a desktop that says: let the opener answer for itself
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished(1000);
        return true;
    }
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0 && !p.readAllStandardOutput().trimmed().isEmpty();
}
