#include "bench.h"

#include "charts/importaplanos.h"
#include "core/appfolder.h"
#include "core/connection.h"
#include "core/mensagens.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSqlQuery>
#include <cstdio>

#include <minizip/zip.h>
#include <xlsxwriter.h>

namespace {

// A line of /proc/self/status ("VmRSS", "VmHWM") in MB.
double memoriaMb(const char *campo)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &l : f.readAll().split('\n'))
        if (l.startsWith(campo))
            return l.mid(int(qstrlen(campo)) + 1).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}

// Starts the peak over from the present memory, so that it measures what follows alone.
void recomecaPico()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

// Answers every question with OK and prints what the import says.
class MensagensAoLado : public Mensagens
{
public:
    Resposta mostra(const QString &texto, const QString &, Botoes, Icone) override
    {
        std::fprintf(stderr, "  [mensagem] %s\n", qPrintable(texto.left(300)));
        return Resposta::Ok;
    }
};

bool entrada(zipFile z, const char *nome, const QByteArray &dados)
{
    zip_fileinfo info {};
    return zipOpenNewFileInZip64(z, nome, &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 9, 1) == ZIP_OK
        && zipWriteInFileInZip(z, dados.constData(), unsigned(dados.size())) == ZIP_OK && zipCloseFileInZip(z) == ZIP_OK;
}

const QByteArray kNs = "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"";

// `antes`, `enchimento` and `depois` wrapped as a sheet's data.
QByteArray folha(const QByteArray &conteudo)
{
    return "<worksheet " + kNs + "><sheetData>" + conteudo + "</sheetData></worksheet>";
}

// A workbook whose part `parte` (its first sheet, or its shared strings) inflates to about
// `tamanho` bytes of `enchimento` repeated between `antes` and `depois`: a small file that claims
// much memory.
bool escreveBomba(const QString &caminho, const char *parte, qint64 tamanho, const QByteArray &antes,
    const QByteArray &enchimento, const QByteArray &depois)
{
    const QByteArray rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    zipFile z = zipOpen64(QFile::encodeName(caminho).constData(), APPEND_STATUS_CREATE);
    if (!z)
        return false;
    bool ok = entrada(z, "xl/workbook.xml",
                  "<workbook " + kNs + " xmlns:r=\"" + rel
                      + "\"><sheets><sheet name=\"A\" sheetId=\"1\" r:id=\"rId1\"/><sheet name=\"B\" sheetId=\"2\" "
                        "r:id=\"rId2\"/></sheets></workbook>")
        && entrada(z, "xl/_rels/workbook.xml.rels",
            "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship Id=\"rId1\" "
            "Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" Target=\"worksheets/sheet2.xml\"/></Relationships>")
        && entrada(z, "xl/worksheets/sheet2.xml", folha({}));
    if (qstrcmp(parte, "xl/worksheets/sheet1.xml") != 0)
        ok = ok && entrada(z, "xl/worksheets/sheet1.xml", folha({}));
    zip_fileinfo info {};
    ok = ok && zipOpenNewFileInZip64(z, parte, &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 9, 1) == ZIP_OK;
    ok = ok && zipWriteInFileInZip(z, antes.constData(), unsigned(antes.size())) == ZIP_OK;
    const QByteArray bloco = enchimento.repeated(qMax<qint64>(1, qMin<qint64>(1 << 20, tamanho) / enchimento.size()));
    for (qint64 escrito = 0; ok && escrito < tamanho; escrito += bloco.size())
        ok = zipWriteInFileInZip(z, bloco.constData(), unsigned(bloco.size())) == ZIP_OK;
    ok = ok && zipWriteInFileInZip(z, depois.constData(), unsigned(depois.size())) == ZIP_OK && zipCloseFileInZip(z) == ZIP_OK;
    return zipClose(z, nullptr) == ZIP_OK && ok;
}

// A chart as Excel writes it, its texts in the shared strings: `contas` accounts of 8-character
// codes and 30-character descriptions, and 1,000 cost centres.
bool escreveGrande(const QString &caminho, int contas)
{
    lxw_workbook *wb = workbook_new(QFile::encodeName(caminho).constData());
    if (!wb)
        return false;
    lxw_error e = LXW_NO_ERROR;
    const auto texto = [&](lxw_worksheet *ws, int l, int c, const QString &t) {
        if (e == LXW_NO_ERROR)
            e = worksheet_write_string(ws, lxw_row_t(l), lxw_col_t(c), t.toUtf8().constData(), nullptr);
    };
    for (int folha = 1; folha <= 2; ++folha) {
        lxw_worksheet *ws = workbook_add_worksheet(wb, nullptr);
        texto(ws, 0, 0, QStringLiteral("Firma"));
        for (int i = 0, n = folha == 1 ? contas : 1000; i < n; ++i) {
            texto(ws, i + 1, 0, QStringLiteral("0001"));
            texto(ws, i + 1, 1, QStringLiteral("%1").arg(i + (folha == 1 ? 60000000 : 0), 8, 10, QLatin1Char('0')));
            if (e == LXW_NO_ERROR)
                e = worksheet_write_number(ws, lxw_row_t(i + 1), 2, i % 7 ? 1 : 0, nullptr);
            texto(ws, i + 1, 3, QStringLiteral("Conta de um plano grande %1").arg(i, 6, 10, QLatin1Char('0')).left(30));
        }
    }
    return workbook_close(wb) == LXW_NO_ERROR && e == LXW_NO_ERROR;
}

// A small workbook whose 60 sheet names and 60 relationship targets hold about 1 MB each.
bool escreveNomes(const QString &caminho)
{
    const QByteArray rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    QByteArray folhas, alvos;
    for (int i = 1; i <= 60; ++i) {
        const QByteArray n = QByteArray::number(i);
        folhas += "<sheet name=\"" + QByteArray(1000000, 'n') + n + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
        alvos += "<Relationship Id=\"rId" + n + "\" Type=\"" + rel + "/worksheet\" Target=\"" + QByteArray(1000000, 'a') + n
            + "\"/>";
    }
    zipFile z = zipOpen64(QFile::encodeName(caminho).constData(), APPEND_STATUS_CREATE);
    if (!z)
        return false;
    const bool ok = entrada(z, "xl/workbook.xml",
                        "<workbook " + kNs + " xmlns:r=\"" + rel + "\"><sheets>" + folhas + "</sheets></workbook>")
        && entrada(z, "xl/_rels/workbook.xml.rels",
            "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">" + alvos
                + "</Relationships>");
    return zipClose(z, nullptr) == ZIP_OK && ok;
}

} // namespace

int memoriaImportacao(const QString &livro)
{
    MensagensAoLado msgs;
    Session s;
    s.carregaConfiguracao();
    s.msg = &msgs;
    s.abrirFolhas = false;
    s.gCodFirma = QStringLiteral("0001");
    s.gAno = 2024;
    s.gTipoImp = QStringLiteral("X");
    s.gImportaExcel = true;
    s.gIxlsPath = QFileInfo(livro).absolutePath() + QLatin1Char('/');
    s.gImpXls = QFileInfo(livro).fileName();
    // Connected before the measure starts, so that the figure is the import's own.
    if (!abreLigacao(s.gLigacao1).isValid())
        return 1;
    recomecaPico();
    const double antes = memoriaMb("VmRSS:");
    QElapsedTimer t;
    t.start();
    ImportaPlanos(s);
    std::printf("%.3f %.1f %.1f\n", t.nsecsElapsed() / 1e9, antes, memoriaMb("VmHWM:"));
    return 0;
}

// The peak memory of the workbook import, each workbook in a process of its own so that the
// figures do not mix: a workbook of 50,000 accounts, one of 200,000 with shared strings, one
// whose sheet names and relationship targets hold 1 MB each, a bomb that declares a 1 GiB sheet, a
// 60 MB sheet whose rows end at row 3, a sheet whose one cell holds 60 MB of text, a cell of
// entities that a DOCTYPE declares, and 63 MB of empty shared strings.
static BenchCaminho memoria("memória da importação de livros", [](BenchContexto &ctx) {
    Session &s = ctx.sessao;
    QSqlDatabase db = abreLigacao(s.gLigacao1);
    const QString pasta = appFolder();
    struct Caso {
        QString nome;
        QString titulo;
        std::function<bool(const QString &)> escreve;
    };
    const Caso casos[] = {
        { QStringLiteral("memoria_50000.xlsx"), QStringLiteral("livro de 50 000 contas"),
            [&](const QString &c) { return escreveLivro(c, s); } },
        { QStringLiteral("memoria_200000.xlsx"), QStringLiteral("livro de 200 000 contas, descrições de 30 caracteres"),
            [](const QString &c) { return escreveGrande(c, 200000); } },
        { QStringLiteral("memoria_nomes.xlsx"), QStringLiteral("60 nomes de folha e 60 alvos de 1 MB"),
            [](const QString &c) { return escreveNomes(c); } },
        { QStringLiteral("memoria_bomba.xlsx"), QStringLiteral("bomba: folha de 1 GiB declarada"),
            [](const QString &c) {
                return escreveBomba(c, "xl/worksheets/sheet1.xml", qint64(1) << 30,
                    "<worksheet " + kNs + "><sheetData><row r=\"2\">", " ", "</row></sheetData></worksheet>");
            } },
        { QStringLiteral("memoria_vazia.xlsx"), QStringLiteral("folha de 60 MB cuja coluna A acaba na linha 3"),
            [](const QString &c) {
                return escreveBomba(c, "xl/worksheets/sheet1.xml", qint64(60) << 20,
                    "<worksheet " + kNs
                        + "><sheetData><row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t>0001</t></is></c><c r=\"B2\">"
                          "<v>2111</v></c><c r=\"C2\"><v>1</v></c></row>",
                    "<row><c/><c><v>1</v></c></row>", "</sheetData></worksheet>");
            } },
        { QStringLiteral("memoria_linhas.xlsx"), QStringLiteral("folha de 60 MB de linhas iguais"),
            [](const QString &c) {
                return escreveBomba(c, "xl/worksheets/sheet1.xml", qint64(60) << 20, "<worksheet " + kNs + "><sheetData>",
                    "<row><c><v>1</v></c><c><v>2</v></c><c><v>1</v></c></row>", "</sheetData></worksheet>");
            } },
        { QStringLiteral("memoria_celula.xlsx"), QStringLiteral("bomba: célula de 60 MB (abaixo do limite)"),
            [](const QString &c) {
                return escreveBomba(c, "xl/worksheets/sheet1.xml", qint64(60) << 20,
                    "<worksheet " + kNs + "><sheetData><row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t>", "x",
                    "</t></is></c></row></sheetData></worksheet>");
            } },
        { QStringLiteral("memoria_entidades.xlsx"), QStringLiteral("bomba: entidades de um DOCTYPE numa célula"),
            [](const QString &c) {
                return escreveBomba(c, "xl/worksheets/sheet1.xml", 300 << 10,
                    "<!DOCTYPE worksheet [<!ENTITY e \"" + QByteArray(4000, 'x') + "\">]><worksheet " + kNs
                        + "><sheetData><row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t>",
                    "&e;", "</t></is></c></row></sheetData></worksheet>");
            } },
        { QStringLiteral("memoria_curtos.xlsx"), QStringLiteral("bomba: 60 MB de textos partilhados curtos"),
            [](const QString &c) {
                return escreveBomba(c, "xl/sharedStrings.xml", 60 << 20, "<sst " + kNs + ">", "<si><t>a</t></si>", "</sst>");
            } },
        { QStringLiteral("memoria_textos.xlsx"), QStringLiteral("bomba: 12,6 milhões de textos partilhados vazios"),
            [](const QString &c) {
                return escreveBomba(c, "xl/sharedStrings.xml", 63000000, "<sst " + kNs + ">", "<si/>", "</sst>");
            } },
    };
    for (const Caso &c : casos) {
        const QString caminho = QDir(pasta).filePath(c.nome);
        if (!c.escreve(caminho)) {
            std::fprintf(stderr, "erro: não foi possível escrever %s\n", qPrintable(caminho));
            continue;
        }
        const qint64 contasAntes = valorUnico(db, QStringLiteral("SELECT COALESCE(MAX(Id), 0) FROM PlanoContas")).toLongLong();
        const qint64 centrosAntes = valorUnico(db, QStringLiteral("SELECT COALESCE(MAX(Id), 0) FROM PlanoCCusto")).toLongLong();
        QProcess filho;
        filho.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        filho.start(QCoreApplication::applicationFilePath(), { QStringLiteral("--memoria-importacao"), caminho });
        filho.waitForFinished(-1);
        const QStringList r = QString::fromUtf8(filho.readAllStandardOutput()).simplified().split(QLatin1Char(' '));
        const qint64 linhas
            = valorUnico(db, QStringLiteral("SELECT COUNT(*) FROM PlanoContas WHERE Id > ?"), { contasAntes }).toLongLong()
            + valorUnico(db, QStringLiteral("SELECT COUNT(*) FROM PlanoCCusto WHERE Id > ?"), { centrosAntes }).toLongLong();
        if (filho.exitCode() != 0 || r.size() != 3) {
            std::fprintf(stderr, "erro: a medida de %s falhou\n", qPrintable(c.titulo));
            continue;
        }
        relata(QStringLiteral("ImportaPlanos: ") + c.titulo, linhas, r[0].toDouble());
        std::printf("    ficheiro de %.1f MB; memória: %.1f MB antes, pico de %.1f MB durante a importação\n",
            QFileInfo(caminho).size() / 1048576.0, r[1].toDouble(), r[2].toDouble());
        std::fflush(stdout);
        QSqlQuery q(db);
        executa(q, QStringLiteral("DELETE FROM PlanoContas WHERE Id > ?"), { contasAntes });
        executa(q, QStringLiteral("DELETE FROM PlanoCCusto WHERE Id > ?"), { centrosAntes });
        QFile::remove(caminho);
    }
});
