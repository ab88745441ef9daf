#include "charts/importaplanos.h"
#include "core/connection.h"
#include "core/mensagens.h"
#include "core/odbc.h"
#include "core/schema.h"
#include "support/ambiente.h"
#include "support/fixtures.h"
#include "support/postos.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QtEndian>
#include <QtTest>

#include <iconv.h>
#include <malloc.h>
#include <minizip/zip.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xlsxwriter.h>
#include <zlib.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <functional>
#include <optional>
#include <thread>

// Base externa: daBaseExterna falhasDaBaseExterna

namespace {
using Folha = QList<QVariantList>; // rows from row 1; an invalid QVariant leaves the cell empty

// A workbook written with libxlsxwriter: numbers, Booleans, dates and texts as given.
bool escreveLivro(const QString &caminho, const QList<Folha> &folhas)
{
    lxw_workbook *wb = workbook_new(caminho.toUtf8().constData());
    if (!wb)
        return false;
    lxw_format *data = workbook_add_format(wb);
    format_set_num_format(data, "dd/mm/yyyy");
    // Excel's built-in date and time, by its number.
    lxw_format *dataHora = workbook_add_format(wb);
    format_set_num_format_index(dataHora, 22);
    bool ok = true;
    for (const Folha &f : folhas) {
        lxw_worksheet *ws = workbook_add_worksheet(wb, nullptr);
        for (int r = 0; r < f.size(); ++r)
            for (int c = 0; c < f[r].size(); ++c) {
                const QVariant &v = f[r][c];
                if (!v.isValid())
                    continue;
                lxw_error e;
                if (v.typeId() == QMetaType::Bool) {
                    e = worksheet_write_boolean(ws, r, c, v.toBool(), nullptr);
                } else if (v.typeId() == QMetaType::QDate) {
                    lxw_datetime d = { v.toDate().year(), v.toDate().month(), v.toDate().day(), 0, 0, 0 };
                    e = worksheet_write_datetime(ws, r, c, &d, data);
                } else if (v.typeId() == QMetaType::QDateTime) {
                    const QDateTime t = v.toDateTime();
                    lxw_datetime d = { t.date().year(), t.date().month(), t.date().day(), t.time().hour(), t.time().minute(), 0 };
                    e = worksheet_write_datetime(ws, r, c, &d, dataHora);
                } else if (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::Double) {
                    e = worksheet_write_number(ws, r, c, v.toDouble(), nullptr);
                } else {
                    e = worksheet_write_string(ws, r, c, v.toString().toUtf8().constData(), nullptr);
                }
                ok = ok && e == LXW_NO_ERROR;
            }
    }
    return workbook_close(wb) == LXW_NO_ERROR && ok;
}

// Every row of a chart, "firma|ano|código|flag|descrição", sorted.
QStringList linhas(QSqlDatabase db, const QString &tabela)
{
    const QString codigo = tabela == QLatin1String("PlanoContas") ? QStringLiteral("Conta") : QStringLiteral("CCusto");
    const QString flag = tabela == QLatin1String("PlanoContas") ? QStringLiteral("Lancadora") : QStringLiteral("Lancador");
    QSqlQuery q(db);
    QStringList r;
    if (!executa(q, QStringLiteral("SELECT CodFirma, CodExercicio, %1, %2, Designacao FROM %3").arg(codigo, flag, tabela)))
        return { QStringLiteral("erro") };
    while (q.next())
        r << QStringLiteral("%1|%2|%3|%4|%5")
                 .arg(q.value(0).toString().trimmed(), q.value(1).toString().trimmed(), q.value(2).toString())
                 .arg(q.value(3).toInt())
                 .arg(q.value(4).toString());
    r.sort();
    return r;
}

// One entry of a zip written by hand, to build damaged workbooks: the declared checksum and
// size may differ from the data's, and some compressed bytes may be scrambled.
struct ParteZip {
    QByteArray nome;
    QByteArray dados;
    bool comprime = true;
    std::optional<quint32> crc;
    quint64 tamanho = 0;
    bool baralha = false;
};

QByteArray deflateCru(const QByteArray &d)
{
    z_stream z {};
    deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&z, uLong(d.size()))), 0);
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(d.constData()));
    z.avail_in = uInt(d.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(int(z.total_out));
    deflateEnd(&z);
    return out;
}

bool escreveZip(const QString &caminho, const QList<ParteZip> &partes)
{
    zipFile z = zipOpen64(QFile::encodeName(caminho).constData(), APPEND_STATUS_CREATE);
    if (!z)
        return false;
    bool ok = true;
    for (const ParteZip &p : partes) {
        QByteArray cru = p.comprime ? deflateCru(p.dados) : p.dados;
        if (p.baralha)
            for (int i = 0; i < 8; ++i)
                cru[cru.size() / 2 + i] = char(cru[cru.size() / 2 + i] ^ 0x5a);
        const uLong crc = crc32(0, reinterpret_cast<const Bytef *>(p.dados.constData()), uInt(p.dados.size()));
        zip_fileinfo info {};
        ok = ok
            && zipOpenNewFileInZip2(z, p.nome.constData(), &info, nullptr, 0, nullptr, 0, nullptr, p.comprime ? Z_DEFLATED : 0,
                   Z_BEST_COMPRESSION, 1)
                == ZIP_OK
            && zipWriteInFileInZip(z, cru.constData(), unsigned(cru.size())) == ZIP_OK
            && zipCloseFileInZipRaw64(z, p.tamanho ? p.tamanho : quint64(p.dados.size()), p.crc.value_or(crc)) == ZIP_OK;
    }
    return zipClose(z, nullptr) == ZIP_OK && ok;
}

// Replaces the end record of a zip written by escreveZip by a ZIP64 end record, its locator
// and an end record that sends readers to them.
bool passaAZip64(const QString &caminho)
{
    QFile f(caminho);
    if (!f.open(QIODevice::ReadWrite))
        return false;
    QByteArray b = f.readAll();
    const qsizetype fim = b.size() - 22;
    if (fim < 0 || qFromLittleEndian<quint32>(b.constData() + fim) != 0x06054b50)
        return false;
    const quint64 entradas = qFromLittleEndian<quint16>(b.constData() + fim + 10);
    const quint64 tamanhoDir = qFromLittleEndian<quint32>(b.constData() + fim + 12);
    const quint64 inicioDir = qFromLittleEndian<quint32>(b.constData() + fim + 16);
    QByteArray novo;
    auto poe = [&](auto v) {
        char buf[sizeof v];
        qToLittleEndian(v, buf);
        novo.append(buf, sizeof v);
    };
    poe(quint32(0x06064b50));
    poe(quint64(44));
    poe(quint16(45));
    poe(quint16(45));
    poe(quint32(0));
    poe(quint32(0));
    poe(entradas);
    poe(entradas);
    poe(tamanhoDir);
    poe(inicioDir);
    poe(quint32(0x07064b50));
    poe(quint32(0));
    poe(quint64(fim));
    poe(quint32(1));
    poe(quint32(0x06054b50));
    for (int i = 0; i < 4; ++i)
        poe(quint16(0xffff));
    poe(quint32(0xffffffff));
    poe(quint32(0xffffffff));
    poe(quint16(0));
    b.truncate(fim);
    b += novo;
    return f.seek(0) && f.write(b) == b.size() && f.resize(b.size());
}

// The parts of a small workbook with two sheets; `folhas` are the <sheetData> of each.
QList<ParteZip> partesLivro(const QByteArray &folha1, const QByteArray &folha2, const QByteArray &textos)
{
    const QByteArray ns = "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"";
    const QByteArray rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    QList<ParteZip> p;
    const auto junta = [&](const QByteArray &nome, const QByteArray &dados) {
        ParteZip z;
        z.nome = nome;
        z.dados = dados;
        p.append(z);
    };
    junta("xl/workbook.xml",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><workbook " + ns + " xmlns:r=\"" + rel
            + "\"><sheets><sheet name=\"Contas\" sheetId=\"1\" r:id=\"rId1\"/><sheet name=\"Centros\" sheetId=\"2\" "
              "r:id=\"rId2\"/></sheets></workbook>");
    junta("xl/_rels/workbook.xml.rels",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
        "relationships\"><Relationship Id=\"rId1\" Type=\""
            + rel + "/worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" Type=\"" + rel
            + "/worksheet\" Target=\"/xl/worksheets/sheet2.xml\"/></Relationships>");
    junta("xl/sharedStrings.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><sst " + ns + ">" + textos + "</sst>");
    for (const auto &[n, folha] : { std::pair { 1, folha1 }, std::pair { 2, folha2 } })
        junta("xl/worksheets/sheet" + QByteArray::number(n) + ".xml",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><worksheet " + ns + "><sheetData>" + folha + "</sheetData></worksheet>");
    return p;
}

// A field of /proc/self/status ("VmRSS:") in bytes.
qint64 estado(const char *campo)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &l : f.readAll().split('\n'))
        if (l.startsWith(campo))
            return l.mid(int(qstrlen(campo))).trimmed().split(' ').value(0).toLongLong() * 1024;
    return 0;
}

// What f returns, run in a child process whose address space may grow by 512 MB at most (a
// workbook that would take more fails there, not on the machine), and as the user nobody when
// semPrivilegios and the test runs as root. Followed by the memory f took at its peak,
// "\npico N MB"; or how the child ended, when it was killed.
QString noFilho(const std::function<QString()> &f, bool semPrivilegios = false)
{
    int tubo[2];
    if (pipe(tubo) != 0)
        return QStringLiteral("sem pipe");
    const pid_t filho = fork();
    if (filho == 0) {
        ::close(tubo[0]);
        // The parent's freed memory would serve the child's allocations without its resident
        // size growing: given back first, so that the peak is what f takes.
        malloc_trim(0);
        rlimit limite {};
        getrlimit(RLIMIT_AS, &limite);
        limite.rlim_cur = rlim_t(estado("VmSize:") + (qint64(512) << 20));
        QFile pico(QStringLiteral("/proc/self/clear_refs"));
        if (setrlimit(RLIMIT_AS, &limite) != 0 || !pico.open(QIODevice::WriteOnly) || pico.write("5") != 1)
            _exit(2);
        pico.close();
        if (semPrivilegios && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(3);
        const qint64 antes = estado("VmRSS:");
        QByteArray r;
        // An exception must end the child here, not go on through the parent's tests.
        try {
            // f first: the operands of + are evaluated in no set order.
            const QString texto = f();
            r = (texto + QStringLiteral("\npico %1 MB").arg((estado("VmHWM:") - antes) >> 20)).toUtf8();
        } catch (const std::bad_alloc &) {
            r = "sem memória";
        } catch (...) {
            r = "excepção";
        }
        const bool escrito = write(tubo[1], r.constData(), size_t(r.size())) == r.size();
        // Nothing of the parent's (its database connections) is closed or flushed here.
        _exit(escrito ? 0 : 4);
    }
    ::close(tubo[1]);
    QByteArray saida;
    char buf[4096];
    // A child that hangs (a lock held by another thread at the fork) is ended, not waited for.
    const QDeadlineTimer prazo(120000);
    bool passou = false;
    for (ssize_t n = 1; n > 0;) {
        pollfd p { tubo[0], POLLIN, 0 };
        if (::poll(&p, 1, int(prazo.remainingTime())) == 0 || prazo.hasExpired()) {
            passou = true;
            ::kill(filho, SIGKILL);
            break;
        }
        if ((n = read(tubo[0], buf, sizeof buf)) > 0)
            saida.append(buf, n);
        else if (n < 0 && errno == EINTR)
            n = 1;
    }
    ::close(tubo[0]);
    int fim = 0;
    waitpid(filho, &fim, 0);
    if (passou)
        return QStringLiteral("o processo filho passou o prazo de 120 s");
    if (WIFSIGNALED(fim))
        return QStringLiteral("o processo filho morreu com o sinal %1").arg(WTERMSIG(fim));
    return WEXITSTATUS(fim) == 0 ? QString::fromUtf8(saida)
                                 : QStringLiteral("o processo filho saiu com %1").arg(WEXITSTATUS(fim));
}

// Threads that open and close iconv converters without pause for as long as it lives, and a watch
// that ends the test if it lives longer than `segundos`: a process forked without exec, then
// calling iconv, would wait for ever on the lock one of them held at the fork.
class IconvOcupado
{
public:
    IconvOcupado(int fios, int segundos)
    {
        // Character sets taken in turn make iconv load and unload its modules, holding its lock longer.
        static const char *const conjuntos[] = { "CP1252", "IBM037", "EUC-JP", "GB18030", "KOI8-R" };
        for (int i = 0; i < fios; ++i)
            m_fios.emplace_back([this, i] {
                for (size_t k = size_t(i); !m_fim; ++k)
                    if (const iconv_t c = iconv_open("UTF-16LE", conjuntos[k % std::size(conjuntos)]); c != iconv_t(-1))
                        iconv_close(c);
            });
        m_vigia = std::thread([this, segundos] {
            std::unique_lock l(m_m);
            if (!m_cv.wait_for(l, std::chrono::seconds(segundos), [this] { return m_fim.load(); }))
                qFatal("a importação de um .xls não acabou em %d s com outros fios no iconv", segundos);
        });
    }
    ~IconvOcupado()
    {
        {
            std::lock_guard l(m_m);
            m_fim = true;
        }
        m_cv.notify_all();
        m_vigia.join();
        for (std::thread &t : m_fios)
            t.join();
    }

private:
    std::atomic<bool> m_fim = false;
    std::mutex m_m;
    std::condition_variable m_cv;
    std::thread m_vigia;
    std::vector<std::thread> m_fios;
};

QStringList ordenada(QStringList l)
{
    l.sort();
    return l;
}

void preparaFirmas(Ambiente &a)
{
    QVERIFY(criaFirma(a.db(), "0001", "Firma Um"));
    QVERIFY(criaFirma(a.db(), "0002", "Firma Dois"));
    QVERIFY(a.entra("0001", 2024, 6));
}

// The firms, and the import set to read workbooks from the test's folder.
void preparaLivros(Ambiente &a)
{
    preparaFirmas(a);
    a.sessao.gTipoImp = "X";
    a.sessao.gImportaExcel = true;
    a.sessao.gIxlsPath = a.pasta() + "/";
}
} // namespace

class TstImportacao : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { MOLVAR_REQUER_BASE(); }

    void celulasEIndicador()
    {
        QCOMPARE(textoCelulaPlano(QVariant(62211.0)), QStringLiteral("62211"));
        QCOMPARE(textoCelulaPlano(QVariant(221100000001.0)), QStringLiteral("221100000001"));
        QCOMPARE(textoCelulaPlano(QVariant(1.5)), QStringLiteral("1.5"));
        QCOMPARE(textoCelulaPlano(QVariant(0.000001)), QStringLiteral("0.000001"));
        // Long codes keep every digit, up to where a double still tells whole numbers apart.
        bool ok = false;
        QCOMPARE(textoCelulaPlano(QVariant(2211000000000000.0), &ok), QStringLiteral("2211000000000000"));
        QVERIFY(ok);
        QCOMPARE(textoCelulaPlano(QVariant(-9007199254740991.0), &ok), QStringLiteral("-9007199254740991"));
        QVERIFY(ok);
        textoCelulaPlano(QVariant(9007199254740992.0), &ok);
        QVERIFY(!ok);
        QCOMPARE(textoCelulaPlano(QVariant(true)), QStringLiteral("1"));
        QCOMPARE(textoCelulaPlano(QVariant(QStringLiteral("  62 1 "))), QStringLiteral("62 1"));
        QCOMPARE(textoCelulaPlano(QVariant()), QString());
        int v = -1;
        for (const char *sim : { "1", "-1", "2", " 1 ", "TRUE", "Sim", "verdadeiro" }) {
            v = -1;
            QVERIFY2(indicadorLancamento(QString::fromUtf8(sim), &v) && v == 1, sim);
        }
        for (const char *nao : { "0", "0.0", "False", "Não", "nao", "FALSO" }) {
            v = -1;
            QVERIFY2(indicadorLancamento(QString::fromUtf8(nao), &v) && v == 0, nao);
        }
        for (const char *mau : { "", "  ", "talvez", "S", "1a" })
            QVERIFY2(!indicadorLancamento(QString::fromUtf8(mau), &v), mau);
    }

    // The outside database's charts, in the own layout, of the session's company and year.
    void daBaseExterna()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        preparaFirmas(a);
        QVERIFY(criaConta(a.db(), "0001", 2024, "6221", "Própria"));
        QVERIFY(criaConta(a.db(), "0001", 2023, "6222", "Ano anterior"));
        QVERIFY(criaCCusto(a.db(), "0001", 2024, "CC1", "Própria"));
        QVERIFY(criaConta(a.db(), "0001", 2024, "6227 ", "Com brancos"));
        a.criaBaseExterna("A");
        QSqlDatabase ext = a.dbExterna();
        const QString conta
            = "INSERT INTO PlanoContas (CodFirma, CodExercicio, Conta, Lancadora, Designacao) VALUES (?, ?, ?, ?, ?)";
        const QVariantList externas[] = {
            { "0001", "2024", "6221", 0, "Externa" },
            { "0001", "2024", "6222", 1, "Nova" },
            { "0001", "2024", "6223", 0, "Não lançadora" },
            { "0001", "2024", "62'4", 1, "Com aspa" },
            { "0001", "2024", "6225", 1, "Repetida" },
            { "0001", "2024", "6225", 0, "Repetida 2" },
            { "0001", "2024", "6221a", 1, "Caixa" },
            { "0001", "2024", "6222  ", 1, "Com brancos" },
            { "0001", "2024", " 6226 ", 1, " Aparada " },
            { "0001", "2024", "6227", 1, "Já existe com brancos" },
            { "0001", "2024", "6228", QVariant(QMetaType::fromType<int>()), "Sem indicador" },
            { "0001", "2023", "6229", 1, "Ano anterior" },
            { "0002", "2024", "6230", 1, "Outra firma" },
        };
        for (const QVariantList &l : externas)
            QVERIFY(corre(ext, conta, l));
        QVERIFY(
            corre(ext, "INSERT INTO PlanoCCusto (CodFirma, CodExercicio, CCusto, Lancador, Designacao) VALUES (?, ?, ?, ?, ?)",
                { "0001", "2024", "CC1", 0, "Externo" }));
        QVERIFY(
            corre(ext, "INSERT INTO PlanoCCusto (CodFirma, CodExercicio, CCusto, Lancador, Designacao) VALUES (?, ?, ?, ?, ?)",
                { "0001", "2024", "CC2", 1, "Loja" }));
        const QStringList contasAntes = linhas(a.db(), "PlanoContas");
        Session &s = a.sessao;
        s.gTipoImp = "S";

        // Cancel: nothing.
        a.msgs.responde(Mensagens::Resposta::Cancelar);
        QVERIFY(!ImportaPlanos(s));
        QCOMPARE(a.msgs.textos(), QStringList { "Confirma Importação" });
        QCOMPARE(a.msgs.mostradas[0].botoes, Mensagens::Botoes::OkCancelar);
        QCOMPARE(a.msgs.mostradas[0].icone, Mensagens::Icone::Nenhum);
        QCOMPARE(a.msgs.mostradas[0].titulo, tituloAplicacao());
        QCOMPARE(linhas(a.db(), "PlanoContas"), contasAntes);

        // Cost centres off: accounts only; present codes keep their rows, a repeated code is added once.
        // Codes are trimmed and compared trimmed, as the workbook's cells are.
        a.msgs.limpa();
        a.msgs.responde(Mensagens::Resposta::Ok);
        QVERIFY(ImportaPlanos(s));
        // No message closes the import.
        QCOMPARE(a.msgs.textos(), QStringList { "Confirma Importação" });
        QCOMPARE(linhas(a.db(), "PlanoContas"),
            ordenada(QStringList { "0001|2023|6222|1|Ano anterior", "0001|2024|6221a|1|Caixa", "0001|2024|6221|1|Própria",
                "0001|2024|6222|1|Nova", "0001|2024|6223|0|Não lançadora", "0001|2024|6225|1|Repetida",
                "0001|2024|62'4|1|Com aspa", "0001|2024|6226|1|Aparada", "0001|2024|6227 |1|Com brancos",
                "0001|2024|6228|0|Sem indicador" }));
        QCOMPARE(linhas(a.db(), "PlanoCCusto"), QStringList { "0001|2024|CC1|1|Própria" });

        // Again, with cost centres: only what is still missing.
        s.gAnaliticaAtiva = true;
        a.msgs.limpa();
        a.msgs.responde(Mensagens::Resposta::Ok);
        QVERIFY(ImportaPlanos(s));
        QCOMPARE(a.msgs.textos(), QStringList { "Confirma Importação" });
        QCOMPARE(linhas(a.db(), "PlanoCCusto"), (QStringList { "0001|2024|CC1|1|Própria", "0001|2024|CC2|1|Loja" }));
        a.msgs.limpa();
        a.msgs.responde(Mensagens::Resposta::Ok);
        QVERIFY(!ImportaPlanos(s));
        QCOMPARE(a.msgs.textos(), QStringList { "Confirma Importação" });

        // All or nothing: one row too long for its column refuses the whole import, on both databases.
        QVERIFY(corre(ext, conta, { "0001", "2024", "6300", 1, QString(30, QLatin1Char('v')) }));
        QVERIFY(corre(ext, conta, { "0001", "2024", "6301", 1, QString(31, QLatin1Char('d')) }));
        const QStringList depois = linhas(a.db(), "PlanoContas");
        a.msgs.limpa();
        a.msgs.responde(Mensagens::Resposta::Ok);
        QVERIFY(!ImportaPlanos(s));
        QVERIFY2(a.msgs.ultimo().contains("6301") && a.msgs.ultimo().contains("mais de 30 caracteres")
                && a.msgs.ultimo().contains("Nada foi importado"),
            qPrintable(a.msgs.ultimo()));
        QCOMPARE(linhas(a.db(), "PlanoContas"), depois);
        // A NUL in a SQLite outside database's text is refused by its row, not stored cut.
        if (!Ambiente::usaPostgres() && Ambiente::modoExterno() == QLatin1String("native")) {
            QVERIFY(corre(ext, "UPDATE PlanoContas SET Designacao = 'd' || char(0) || 'd' WHERE Conta = '6301'"));
            a.msgs.limpa();
            a.msgs.responde(Mensagens::Resposta::Ok);
            QVERIFY(!ImportaPlanos(s));
            QVERIFY2(
                a.msgs.ultimo().contains("\"6301\": o código ou a descrição tem o carácter nulo"), qPrintable(a.msgs.ultimo()));
            QCOMPARE(linhas(a.db(), "PlanoContas"), depois);
        }
        // The cost centres refused once the accounts are written: the accounts are undone too.
        QVERIFY(corre(ext, "UPDATE PlanoContas SET Designacao = 'Curta' WHERE Conta = '6301'"));
        QVERIFY(corre(ext,
            "INSERT INTO PlanoCCusto (CodFirma, CodExercicio, CCusto, Lancador, Designacao) VALUES "
            "('0001', '2024', 'CC3', 1, 'Nova')"));
        QVERIFY(corre(a.db(), "ALTER TABLE PlanoCCusto RENAME TO PlanoCCustoDados"));
        QVERIFY(corre(a.db(), "CREATE VIEW PlanoCCusto AS SELECT DISTINCT * FROM PlanoCCustoDados"));
        a.msgs.limpa();
        a.msgs.responde(Mensagens::Resposta::Ok);
        QVERIFY(!ImportaPlanos(s));
        QVERIFY2(a.msgs.ultimo().startsWith("Erro na importação dos planos. Nada foi importado."), qPrintable(a.msgs.ultimo()));
        QCOMPARE(linhas(a.db(), "PlanoContas"), depois);
        QVERIFY(corre(a.db(), "DROP VIEW PlanoCCusto") && corre(a.db(), "ALTER TABLE PlanoCCustoDados RENAME TO PlanoCCusto"));

        // A COMMIT whose answer never came may have saved the import: the message does not
        // say that nothing was. The trigger ends the connection as the COMMIT runs.
        if (Ambiente::usaPostgres()) {
            QVERIFY(corre(ext, "DELETE FROM PlanoContas WHERE Conta = '6301'"));
            QVERIFY(corre(a.db(),
                "CREATE FUNCTION molvar_corta() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                "PERFORM pg_terminate_backend(pg_backend_pid()); PERFORM pg_sleep(5); RETURN NULL; END $$"));
            QVERIFY(corre(a.db(),
                "CREATE CONSTRAINT TRIGGER molvar_corta AFTER INSERT ON PlanoContas DEFERRABLE INITIALLY DEFERRED "
                "FOR EACH ROW EXECUTE FUNCTION molvar_corta()"));
            a.msgs.limpa();
            a.msgs.responde(Mensagens::Resposta::Ok);
            QVERIFY(!ImportaPlanos(s));
            QVERIFY2(a.msgs.ultimo().startsWith("Erro na importação dos planos.\n\nA ligação à base de dados perdeu-se antes "
                                                "de chegar a resposta"),
                qPrintable(a.msgs.ultimo()));
            QVERIFY(corre(a.db(), "DROP TRIGGER molvar_corta ON PlanoContas"));
        }

        // No source, or the workbook not allowed: nothing after the question.
        for (const auto &[tipo, excel] : { std::pair { "", true }, std::pair { "X", false }, std::pair { "s", true } }) {
            s.gTipoImp = tipo;
            s.gImportaExcel = excel;
            a.msgs.limpa();
            a.msgs.responde(Mensagens::Resposta::Ok);
            QVERIFY(!ImportaPlanos(s));
            QCOMPARE(a.msgs.textos(), QStringList { "Confirma Importação" });
        }

        // An outside database without the tables: a clear failure, nothing written.
        a.criaBaseExterna("S");
        s.gTipoImp = "S";
        a.msgs.limpa();
        a.msgs.responde(Mensagens::Resposta::Ok);
        QVERIFY(!ImportaPlanos(s));
        QVERIFY2(
            a.msgs.ultimo().startsWith("Não foi possível ler os planos da base de dados externa"), qPrintable(a.msgs.ultimo()));
        QCOMPARE(linhas(a.db(), "PlanoContas"), depois);
        QCOMPARE(a.msgs.semRespostas, 0);
    }

    // Each way the outside database can fail gives one clear message, without the password,
    // and leaves the own charts as they were.
    void falhasDaBaseExterna()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        preparaFirmas(a);
        QVERIFY(criaConta(a.db(), "0001", 2024, "6221", "Própria"));
        const QString ligacao = a.criaBaseExterna("A");
        QCOMPARE(eOdbc(a.dbExterna()), Ambiente::modoExterno() != QLatin1String("native"));
        QSqlDatabase ext = a.dbExterna();
        for (int i = 0; i < 300; ++i)
            QVERIFY(corre(ext,
                "INSERT INTO PlanoCCusto (CodFirma, CodExercicio, CCusto, Lancador, Designacao) VALUES (?, ?, ?, ?, ?)",
                { "0001", "2024", QStringLiteral("C%1").arg(i), 1, "Centro" }));
        QVERIFY(
            corre(ext, "INSERT INTO PlanoContas (CodFirma, CodExercicio, Conta, Lancadora, Designacao) VALUES (?, ?, ?, ?, ?)",
                { "0001", "2024", "6222", 1, "Nova" }));
        Session &s = a.sessao;
        s.gTipoImp = "S";
        s.gAnaliticaAtiva = true;
        const QStringList contas = linhas(a.db(), "PlanoContas");
        const QStringList centros = linhas(a.db(), "PlanoCCusto");
        const DadosLigacao dados = DadosLigacao::interpreta(ligacao);
        const bool servidor = dados.tipo == DadosLigacao::Tipo::PostgreSQL || ligacao.startsWith("DSN=");
        auto falha = [&](const char *caso, const QString &texto) {
            a.msgs.limpa();
            a.msgs.responde(Mensagens::Resposta::Ok);
            QVERIFY2(!ImportaPlanos(s), caso);
            QCOMPARE(a.msgs.mostradas.size(), 2);
            const QString m = a.msgs.ultimo();
            QVERIFY2(m.startsWith("Não foi possível ler os planos da base de dados externa. Nada foi importado.\n\n")
                    && m.contains(texto, Qt::CaseInsensitive),
                qPrintable(QStringLiteral("%1: %2").arg(caso, m)));
            QVERIFY2(dados.senha.isEmpty() || !m.contains(dados.senha), caso);
            QVERIFY2(!m.contains("Errada123"), caso);
            QCOMPARE(linhas(a.db(), "PlanoContas"), contas);
            QCOMPARE(linhas(a.db(), "PlanoCCusto"), centros);
        };

        s.gLigacao2 = "Driver={Controlador Ausente};Server=127.0.0.1;Database=contab;Uid=u;Pwd=Errada123;";
        falha("controlador", "O controlador ODBC \"Controlador Ausente\" não está instalado");
        if (servidor) {
            s.gLigacao2 = QString(ligacao).replace(QRegularExpression("Pwd=[^;]*;"), "Pwd=Errada123;");
            falha("senha", "password");
        }
        s.gLigacao2 = ligacao;
        QVERIFY(corre(ext, "ALTER TABLE PlanoContas RENAME TO PlanoContasAntes"));
        falha("tabela", "planocontas");
        QVERIFY(corre(ext, "ALTER TABLE PlanoContasAntes RENAME TO PlanoContas"));
        if (!servidor) {
            // The reading fails part-way through the cost centres: none of them is imported.
            QVERIFY(corre(ext, "ALTER TABLE PlanoCCusto RENAME TO PlanoCCustoDados"));
            QVERIFY(corre(ext,
                "CREATE VIEW PlanoCCusto AS SELECT CodFirma, CodExercicio, CCusto, Designacao, CASE WHEN CCusto = 'C150' "
                "THEN abs(-9223372036854775807 - 1) ELSE Lancador END AS Lancador FROM PlanoCCustoDados"));
            falha("leitura interrompida", "overflow");
            QVERIFY(corre(ext, "DROP VIEW PlanoCCusto"));
            QVERIFY(corre(ext, "ALTER TABLE PlanoCCustoDados RENAME TO PlanoCCusto"));
        }
        if (servidor) {
            // The server ends the connection while it sends the cost centres, after the
            // accounts were read.
            QVERIFY(corre(ext, "ALTER TABLE PlanoCCusto RENAME TO PlanoCCustoDados"));
            QVERIFY(corre(ext,
                "CREATE VIEW PlanoCCusto AS SELECT CodFirma, CodExercicio, CCusto, Designacao, CASE WHEN CCusto = 'C150' "
                "THEN CAST(pg_terminate_backend(pg_backend_pid()) AS integer) ELSE Lancador END AS Lancador "
                "FROM PlanoCCustoDados"));
            falha("servidor", "connection");
            // Through ODBC the rows may come in blocks as they are read, as SQL Server sends
            // them: the connection ends after the first blocks have arrived.
            if (eOdbc(a.dbExterna())) {
                s.gLigacao2 = ligacao + "UseDeclareFetch=1;Fetch=100;";
                falha("servidor, em blocos", "connection");
                fechaLigacao(s.gLigacao2);
                s.gLigacao2 = ligacao;
            }
            // Once the server is back the next import reads again, without a restart. Natively only
            // the ODBC connections are opened again so far.
            QVERIFY(corre(a.dbExterna(), "DROP VIEW PlanoCCusto"));
            QVERIFY(corre(a.dbExterna(), "ALTER TABLE PlanoCCustoDados RENAME TO PlanoCCusto"));
            if (eOdbc(a.dbExterna())) {
                a.msgs.limpa();
                a.msgs.responde(Mensagens::Resposta::Ok);
                QVERIFY(ImportaPlanos(s));
                QCOMPARE(a.msgs.textos(), QStringList { "Confirma Importação" });
                QCOMPARE(linhas(a.db(), "PlanoCCusto").size(), centros.size() + 300);
            }
        }
    }

    // The workbook: sheet 1 accounts, sheet 2 cost centres, from row 2 to the first empty column A.
    void doLivro()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        preparaFirmas(a);
        QVERIFY(criaConta(a.db(), "0001", 2024, "6221", "Própria"));
        QVERIFY(criaConta(a.db(), "0002", 2024, "6400", "Da outra firma"));
        const QString pasta = QDir(a.pasta()).filePath("livros");
        QVERIFY(QDir().mkpath(pasta));
        const QVariant nada;
        const Folha contas = {
            { "Firma", "Conta", "Lançadora", "Descrição" },
            { "0001", "6221", 0, "Já existe" },
            { "0001", 62211, 1, "Número" },
            { " 0001 ", " 6300 ", "Não", "  Aparada  " },
            { "0002", "6400", 1, "Outra firma, já existe" },
            { "0002", "6401", true, "Outra firma" },
            { "0001", "62211", 0, "Repetida" },
            { "0001", "6301", "0", nada },
            // A date and a small number, as LibreOffice shows them and as the .xls reader gives them.
            { "0001", "6302", 1, QDate(2024, 1, 15) },
            { "0001", "6304", 1, QDateTime(QDate(2024, 1, 15), QTime(10, 30), Qt::UTC) },
            { "0001", "6303", 1, 0.000001 },
            // A day before Excel's false 29 February 1900, and a time whose serial is not exact in binary.
            { "0001", "6305", 1, QDate(1900, 2, 28) },
            { "0001", "6306", 1, QDateTime(QDate(2024, 1, 15), QTime(16, 48), Qt::UTC) },
            { "  ", "6999", 1, "Depois do fim" },
            { "0001", "7000", 1, "Não lida" },
        };
        const Folha centros
            = { { "Firma", "Centro", "Lançador", "Descrição" }, { "0001", "CC1", 1, "Loja" }, { "0001", "CC2", "0", "Armazém" } };
        QVERIFY(escreveLivro(pasta + "/planos.xlsx", { contas, centros }));
        Session &s = a.sessao;
        s.gTipoImp = "X";
        s.gImportaExcel = true;
        s.gIxlsPath = pasta + "/";
        s.gImpXls = "planos.xlsx";
        s.gAnaliticaAtiva = false; // the second sheet is read all the same

        a.msgs.responde(Mensagens::Resposta::Cancelar);
        QVERIFY(!ImportaPlanos(s));
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM PlanoContas"), 2);

        a.msgs.limpa();
        a.msgs.responde(Mensagens::Resposta::Ok);
        QVERIFY(ImportaPlanos(s));
        QCOMPARE(a.msgs.textos(), QStringList { "Confirma Importação" });
        const QStringList esperadas = ordenada({ "0001|2024|6221|1|Própria", "0001|2024|62211|1|Número",
            "0001|2024|6300|0|Aparada", "0001|2024|6301|0|", "0001|2024|6302|1|2024-01-15 00:00:00", "0001|2024|6303|1|0.000001",
            "0001|2024|6304|1|2024-01-15 10:30:00", "0001|2024|6305|1|1900-02-28 00:00:00",
            "0001|2024|6306|1|2024-01-15 16:48:00", "0002|2024|6400|1|Da outra firma", "0002|2024|6401|1|Outra firma" });
        QCOMPARE(linhas(a.db(), "PlanoContas"), esperadas);
        QCOMPARE(linhas(a.db(), "PlanoCCusto"), (QStringList { "0001|2024|CC1|1|Loja", "0001|2024|CC2|0|Armazém" }));

        // Again: each row is looked for under its own company, so nothing is added twice.
        a.msgs.limpa();
        a.msgs.responde(Mensagens::Resposta::Ok);
        QVERIFY(!ImportaPlanos(s));
        QCOMPARE(a.msgs.textos(), QStringList { "Confirma Importação" });
        QCOMPARE(linhas(a.db(), "PlanoContas"), esperadas);

        const auto recusa = [&](const QString &esperado) {
            a.msgs.limpa();
            a.msgs.responde(Mensagens::Resposta::Ok);
            const bool mudou = ImportaPlanos(s);
            return !mudou && a.msgs.textos() == QStringList { "Confirma Importação", esperado };
        };
        // Each workbook is read as it is named: a ".xls" name never reads the ".xlsx" beside it.
        s.gImpXls = "planos.xls";
        QVERIFY(recusa(QStringLiteral("O ficheiro %1/planos.xls não existe").arg(pasta)));
        s.gImpXls = "outro.xlsx";
        QVERIFY(recusa(QStringLiteral("O ficheiro %1/outro.xlsx não existe").arg(pasta)));
        QVERIFY(QFile::copy(pasta + "/planos.xlsx", pasta + "/planos.ods"));
        s.gImpXls = "planos.ods";
        QVERIFY(recusa(
            QStringLiteral("O ficheiro %1/planos.ods não é um livro do Excel (.xlsx ou .xls).\nNada foi importado.").arg(pasta)));

        // A blank in the folder refuses the workbook even though it exists.
        const QString comEspaco = QDir(a.pasta()).filePath("com espaço");
        QVERIFY(QDir().mkpath(comEspaco));
        const Folha nova = { { "x" }, { "0001", "6500", 1, "Nova" } };
        QVERIFY(escreveLivro(comEspaco + "/planos.xlsx", { nova, {} }));
        s.gIxlsPath = comEspaco + "/";
        s.gImpXls = "planos.xlsx";
        QVERIFY(recusa(QStringLiteral("O caminho e nome do ficheiro de origem não podem conter espaços")));

        // A flag that is not one: nothing of the workbook is written, not even the rows before it.
        s.gIxlsPath = pasta + "/";
        s.gImpXls = "mau.xlsx";
        QVERIFY(escreveLivro(
            pasta + "/mau.xlsx", { { { "x" }, { "0001", "6600", 1, "Boa" }, { "0001", "6601", "talvez", "Má" } }, {} }));
        QVERIFY(recusa(QStringLiteral(
            "O ficheiro %1/mau.xlsx não pode ser importado: folha 1 (\"Sheet1\"), linha 3: o indicador de conta lançadora "
            "\"talvez\" não é válido (use 1 ou 0).\nNada foi importado.")
                           .arg(pasta)));
        // A message quotes at most 80 characters of a cell.
        QVERIFY(escreveLivro(
            pasta + "/mau.xlsx", { { { "x" }, { "0001", "6600", 1, "Boa" }, { "0001", QString(32767, '6'), 1, "Longa" } }, {} }));
        a.msgs.limpa();
        a.msgs.responde(Mensagens::Resposta::Ok);
        QVERIFY(!ImportaPlanos(s));
        QVERIFY2(a.msgs.ultimo().contains("folha 1 (\"Sheet1\"), linha 3: o código \"" + QString(80, '6') + "…\" tem mais de 22")
                && a.msgs.ultimo().size() < 300,
            qPrintable(a.msgs.ultimo().left(300)));
        // A whole number past 2^53 may already be altered in its cell: refused, with sheet and row;
        // below the row whose column A is empty, where the sheet ends, it is not read.
        QVERIFY(escreveLivro(pasta + "/mau.xlsx",
            { { { "x" }, { "0001", "6600", 1, "Boa" }, { nada, 1e20, 1, "Total" } },
                { { "x" }, { "0001", 22110000000000000000.0, 1, "Longo" } } }));
        QVERIFY(recusa(QStringLiteral("O ficheiro %1/mau.xlsx não pode ser importado: folha 2 (\"Sheet2\"), célula B2: o número "
                                      "22110000000000000000 tem mais algarismos do que a célula guarda sem os alterar.\nNada "
                                      "foi importado.")
                           .arg(pasta)));
        QVERIFY(escreveLivro(pasta + "/mau.xlsx", { { { "x" }, { "0001", "6600", 1, "Boa" } } }));
        QVERIFY(recusa(
            QStringLiteral("O ficheiro %1/mau.xlsx não tem a folha 2 (centros de custo).\nNada foi importado.").arg(pasta)));
        QCOMPARE(linhas(a.db(), "PlanoContas"), esperadas);

        // An empty A2 reads nothing from that sheet; the other sheet is still read.
        QVERIFY(escreveLivro(
            pasta + "/mau.xlsx", { { { "x" }, { nada, "6700", 1, "Sem firma" } }, { { "x" }, { "0001", "CC3", 1, "Novo" } } }));
        a.msgs.limpa();
        a.msgs.responde(Mensagens::Resposta::Ok);
        QVERIFY(ImportaPlanos(s));
        QCOMPARE(a.msgs.textos(), QStringList { "Confirma Importação" });
        QCOMPARE(linhas(a.db(), "PlanoContas"), esperadas);
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM PlanoCCusto WHERE CCusto = 'CC3' AND CodExercicio = '2024'"), 1);
        QCOMPARE(a.msgs.semRespostas, 0);
    }

    // Workbooks saved by LibreOffice Calc (.xlsx and .xls) and by xlwt (.xls): shared strings,
    // number-typed codes, a 16-digit code, empty styled cells, a formula, data descriptors.
    void livrosDeOutrosProgramas()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        preparaLivros(a);
        Session &s = a.sessao;
        const IconvOcupado iconv(4, 60);
        for (const char *nome : { "planos-libreoffice.xlsx", "planos-libreoffice.xls", "planos-xlwt.xls" }) {
            const QString origem = QFINDTESTDATA(QStringLiteral("livros/") + nome);
            QVERIFY2(!origem.isEmpty(), nome);
            QFile::remove(a.pasta() + "/" + nome);
            QVERIFY(QFile::copy(origem, a.pasta() + "/" + nome));
            s.gImpXls = nome;
            a.msgs.limpa();
            a.msgs.responde(Mensagens::Resposta::Ok);
            QVERIFY2(ImportaPlanos(s), qPrintable(a.msgs.ultimo()));
            QCOMPARE(a.msgs.textos(), QStringList { "Confirma Importação" });
            // Row 7's column A is an empty styled cell: the rows below it are not read.
            QCOMPARE(linhas(a.db(), "PlanoContas"),
                ordenada({ "0001|2024|2111|1|Clientes", "0001|2024|2112|0|", "0001|2024|2211000000000000|1|Código longo",
                    "0001|2024|2121|1|Fórmula", "0001|2024|6221|1|Aparada" }));
            QCOMPARE(linhas(a.db(), "PlanoCCusto"), (QStringList { "0001|2024|101|0|Armazém", "0001|2024|CC1|1|Loja" }));
            QVERIFY(corre(a.db(), "DELETE FROM PlanoContas"));
            QVERIFY(corre(a.db(), "DELETE FROM PlanoCCusto"));
        }
        // Dates of the 1904 system below its day 1, which FreeXL reads as that day.
        QVERIFY(QFile::copy(QFINDTESTDATA("livros/datas-1904.xls"), a.pasta() + "/datas-1904.xls"));
        s.gImpXls = "datas-1904.xls";
        a.msgs.responde(Mensagens::Resposta::Ok);
        QVERIFY2(ImportaPlanos(s), qPrintable(a.msgs.ultimo()));
        QCOMPARE(linhas(a.db(), "PlanoContas"),
            (QStringList {
                "0001|2024|1|1|1904-01-01 00:00:00", "0001|2024|2|1|1903-12-31 00:00:00", "0001|2024|3|1|2024-01-15 00:00:00" }));
    }

    // Damaged and hostile workbooks are refused with a message naming the file; nothing is written.
    void livrosDanificados()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        preparaLivros(a);
        Session &s = a.sessao;
        const QByteArray textos = "<si><t>2111</t></si><si><r><t>Cli</t></r><r><t>entes</t></r></si><si><t>Loja</t></si>";
        const QByteArray contas
            = "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>Firma</t></is></c></row>"
              "<row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t> 0001 </t></is></c><c r=\"B2\" t=\"s\"><v>0</v></c>"
              "<c r=\"C2\"><v>1</v></c><c r=\"D2\" t=\"s\"><v>1</v></c></row>";
        const QByteArray centros = "<row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t>0001</t></is></c><c r=\"B2\" "
                                   "t=\"inlineStr\"><is><t>CC7</t></is></c><c r=\"C2\" t=\"b\"><v>1</v></c><c r=\"D2\" "
                                   "t=\"s\"><v>2</v></c></row>";
        const auto importa = [&](const QString &nome) {
            s.gImpXls = nome;
            a.msgs.limpa();
            a.msgs.responde(Mensagens::Resposta::Ok);
            return ImportaPlanos(s);
        };
        const auto recusado = [&](const QString &nome, const QString &motivo) {
            const bool mudou = importa(nome);
            const QString m = a.msgs.ultimo();
            const bool ok = !mudou && a.msgs.mostradas.size() == 2
                && (m.startsWith(QStringLiteral("Não foi possível ler o ficheiro %1/%2: ").arg(a.pasta(), nome))
                    || m.startsWith(QStringLiteral("O ficheiro %1/%2 não pode ser importado: ").arg(a.pasta(), nome)))
                && m.contains(motivo) && m.endsWith(QStringLiteral("Nada foi importado."))
                && conta(a.db(), "SELECT COUNT(*) FROM PlanoContas") == 0
                && conta(a.db(), "SELECT COUNT(*) FROM PlanoCCusto") == 0;
            if (!ok)
                qWarning().noquote() << nome << "->" << m;
            return ok;
        };

        // planos-xlwt.xls as `nome` in the test's folder, with the bytes that altera changes.
        const auto xlwtAlterado = [&](const QString &nome, const std::function<bool(QByteArray &)> &altera) {
            QFile f(QFINDTESTDATA("livros/planos-xlwt.xls")), g(a.pasta() + "/" + nome);
            QByteArray b = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
            return altera(b) && g.open(QIODevice::WriteOnly) && g.write(b) == b.size();
        };
        // Inline and rich shared strings, in a zip that ends with a ZIP64 end record; the shared
        // strings are where the relationships say, and a target may climb out of its folder.
        // A false Boolean flag; an ISO date cell (t="d"); a code whose format a conditional format's
        // reuses for a date; a 1904 workbook's date before 1904.
        QList<ParteZip> p = partesLivro(contas,
            centros
                + "<row r=\"3\"><c r=\"A3\" t=\"inlineStr\"><is><t>0001</t></is></c><c r=\"B3\" t=\"inlineStr\"><is><t>CC8</t>"
                  "</is></c><c r=\"C3\" t=\"b\"><v>0</v></c><c r=\"D3\" t=\"d\"><v>2024-01-15T10:30:00</v></c></row>"
                  "<row r=\"4\"><c r=\"A4\" t=\"inlineStr\"><is><t>0001</t></is></c><c r=\"B4\" s=\"1\"><v>2111</v></c><c "
                  "r=\"C4\"><v>1</v></c>"
                  "<c r=\"D4\" s=\"2\"><v>-1401.75</v></c></row>",
            textos);
        p[0].dados.replace("<sheets>", "<workbookPr date1904=\"1\"/><sheets>");
        ParteZip estilos;
        estilos.nome = "xl/styles.xml";
        estilos.dados = "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><numFmts count=\"1\">"
                        "<numFmt numFmtId=\"164\" formatCode=\"0\"/></numFmts><cellXfs count=\"3\"><xf numFmtId=\"0\"/><xf "
                        "numFmtId=\"164\"/><xf numFmtId=\"14\"/></cellXfs><dxfs count=\"1\"><dxf><numFmt numFmtId=\"164\" "
                        "formatCode=\"yyyy\\-mm\\-dd\"/></dxf></dxfs></styleSheet>";
        p.append(estilos);
        p[2].nome = "xl/SharedStrings.xml";
        p[1].dados.replace("</Relationships>",
            "<Relationship Id=\"rId3\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
            "sharedStrings\" Target=\"SharedStrings.xml\"/></Relationships>");
        p[1].dados.replace("Target=\"worksheets/sheet1.xml\"", "Target=\"../xl/worksheets/sheet1.xml\"");
        QVERIFY(escreveZip(a.pasta() + "/zip64.xlsx", p));
        QVERIFY(passaAZip64(a.pasta() + "/zip64.xlsx"));
        QVERIFY(importa("zip64.xlsx"));
        QCOMPARE(a.msgs.textos(), QStringList { "Confirma Importação" });
        QCOMPARE(linhas(a.db(), "PlanoContas"), QStringList { "0001|2024|2111|1|Clientes" });
        QCOMPARE(linhas(a.db(), "PlanoCCusto"),
            (QStringList {
                "0001|2024|2111|1|1900-02-28 06:00:00", "0001|2024|CC7|1|Loja", "0001|2024|CC8|0|2024-01-15 10:30:00" }));
        QVERIFY(corre(a.db(), "DELETE FROM PlanoContas"));
        QVERIFY(corre(a.db(), "DELETE FROM PlanoCCusto"));

        // Eight scrambled bytes in the shared strings.
        p = partesLivro(contas, centros, textos + QByteArray(200, ' '));
        p[2].baralha = true;
        QVERIFY(escreveZip(a.pasta() + "/baralhado.xlsx", p));
        QVERIFY(recusado("baralhado.xlsx", "a parte \"xl/sharedStrings.xml\""));

        // A stored sheet whose "2111" became "2119" after its checksum was taken.
        p = partesLivro(contas, centros, textos);
        p[2].comprime = false;
        p[2].crc = crc32(0, reinterpret_cast<const Bytef *>(p[2].dados.constData()), uInt(p[2].dados.size()));
        p[2].dados.replace("2111", "2119");
        QVERIFY(escreveZip(a.pasta() + "/crc.xlsx", p));
        QVERIFY(recusado("crc.xlsx", "soma de verificação"));
        // The rest of a sheet below its last row is still checked: a stored sheet of more than one
        // piece, changed far below the row whose column A is empty.
        p = partesLivro(
            contas + "<row r=\"3\"><c r=\"B3\"><v>1</v></c></row>" + QByteArray("<row><c><v>7</v></c></row>").repeated(4000),
            centros, textos);
        p[3].comprime = false;
        p[3].crc = crc32(0, reinterpret_cast<const Bytef *>(p[3].dados.constData()), uInt(p[3].dados.size()));
        p[3].dados[p[3].dados.lastIndexOf("7")] = '8';
        QVERIFY(escreveZip(a.pasta() + "/crcabaixo.xlsx", p));
        QVERIFY(recusado("crcabaixo.xlsx", "soma de verificação"));
        // A text index one past the last shared string.
        QVERIFY(escreveZip(a.pasta() + "/indice.xlsx",
            partesLivro(QByteArray(contas).replace("<v>1</v></c></row>", "<v>3</v></c></row>"), centros, textos)));
        QVERIFY(recusado("indice.xlsx", "a célula D2 da folha \"Contas\" refere um texto que não existe"));
        // Cells that hold no value to import, in a row that is read: an error, a formula whose result
        // the file does not keep; and a reference past the sheet's last column.
        QVERIFY(escreveZip(a.pasta() + "/erro.xlsx",
            partesLivro(QByteArray(contas).replace("t=\"s\"><v>0</v>", "t=\"e\"><v>#N/A</v>"), centros, textos)));
        QVERIFY(recusado("erro.xlsx", "folha 1 (\"Contas\"), célula B2: tem o erro #N/A em vez de um valor"));
        QVERIFY(escreveZip(a.pasta() + "/erroa.xlsx",
            partesLivro(
                QByteArray(contas).replace("t=\"inlineStr\"><is><t> 0001 </t></is>", "t=\"e\"><v>#REF!</v>"), centros, textos)));
        QVERIFY(recusado("erroa.xlsx", "folha 1 (\"Contas\"), célula A2: tem o erro #REF! em vez de um valor"));
        // Column A filled down by formulas, as openpyxl saves them: an empty <v>, no result.
        QVERIFY(escreveZip(a.pasta() + "/openpyxl.xlsx",
            partesLivro(contas
                    + "<row r=\"3\"><c r=\"A3\"><f>A2</f><v></v></c><c r=\"B3\"><v>2112</v></c><c r=\"C3\"><v>1</v></c>"
                      "<c r=\"D3\" t=\"s\"><v>1</v></c></row>",
                centros, textos)));
        QVERIFY(
            recusado("openpyxl.xlsx", "folha 1 (\"Contas\"), célula A3: tem uma fórmula cujo resultado o ficheiro não guarda"));
        // Column A merged down: A3 shows the code of A2, but the file keeps it in A2 alone.
        p = partesLivro(contas + "<row r=\"3\"><c r=\"B3\"><v>2112</v></c><c r=\"C3\"><v>1</v></c></row>", centros, textos);
        p[3].dados.replace("</sheetData>", "</sheetData><mergeCells count=\"1\"><mergeCell ref=\"A2:A3\"/></mergeCells>");
        QVERIFY(escreveZip(a.pasta() + "/unidas.xlsx", p));
        QVERIFY(recusado("unidas.xlsx", "folha 1 (\"Contas\"), célula A3: faz parte das células unidas A2:A3"));
        QVERIFY(escreveZip(a.pasta() + "/formula.xlsx",
            partesLivro(QByteArray(contas).replace("<c r=\"C2\"><v>1</v></c>", "<c r=\"C2\" t=\"b\"><f>TRUE()</f></c>"), centros,
                textos)));
        QVERIFY(
            recusado("formula.xlsx", "folha 1 (\"Contas\"), célula C2: tem uma fórmula cujo resultado o ficheiro não guarda"));
        // A sheet name and a code that hold "%1" are quoted as they are.
        p = partesLivro(
            QByteArray(contas).replace("t=\"s\"><v>0</v>", "t=\"inlineStr\"><is><t>62%1" + QByteArray(30, 'x') + "</t></is>"),
            centros, textos);
        p[0].dados.replace("name=\"Contas\"", "name=\"Contas %1\"");
        QVERIFY(escreveZip(a.pasta() + "/percentagem.xlsx", p));
        QVERIFY(recusado("percentagem.xlsx",
            "folha 1 (\"Contas %1\"), linha 2: o código \"62%1" + QByteArray(30, 'x') + "\" tem mais de 22 caracteres"));
        QVERIFY(escreveZip(a.pasta() + "/coluna.xlsx",
            partesLivro(contas, centros + "<row r=\"3\"><c r=\"AAAAAAAB3\"><v>1</v></c></row>", textos)));
        QVERIFY(recusado("coluna.xlsx", "a referência \"AAAAAAAB3\" da folha \"Centros\" passa a última coluna (XFD)"));

        // The second sheet is not XML to its end: the first, already read, is not written either.
        QVERIFY(escreveZip(a.pasta() + "/xml.xlsx", partesLivro(contas, centros + "<row><c>", textos)));
        QVERIFY(recusado("xml.xlsx", "a parte \"xl/worksheets/sheet2.xml\" está danificada"));
        // The XML reader's own words are English: the part is said to be damaged, in Portuguese.
        QVERIFY(escreveZip(a.pasta() + "/xml.xlsx", partesLivro(contas, centros + "<row></c>", textos)));
        QVERIFY(recusado("xml.xlsx", "a parte \"xl/worksheets/sheet2.xml\" está danificada: o seu XML não é válido (linha 1,"));

        // A truncated central directory, an empty file, an OLE file named .xlsx and a zip named .xls.
        QVERIFY(escreveZip(a.pasta() + "/cortado.xlsx", partesLivro(contas, centros, textos)));
        QFile cortado(a.pasta() + "/cortado.xlsx");
        QVERIFY(cortado.resize(cortado.size() - 40));
        QVERIFY(recusado("cortado.xlsx", "não é um livro .xlsx legível"));
        for (const char *vazio : { "vazio.xlsx", "vazio.xls" }) {
            QFile f(a.pasta() + "/" + vazio);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QVERIFY(recusado("vazio.xlsx", "não é um livro .xlsx legível"));
        QVERIFY(recusado("vazio.xls", "não é um livro .xls: está vazio"));
        QVERIFY(QFile::copy(QFINDTESTDATA("livros/planos-libreoffice.xls"), a.pasta() + "/ole.xlsx"));
        QVERIFY(
            recusado("ole.xlsx", "não é um livro .xlsx, mas um ficheiro OLE, como os livros .xls: se o for, dê-lhe o nome .xls"));
        QVERIFY(QFile::copy(QFINDTESTDATA("livros/planos-libreoffice.xlsx"), a.pasta() + "/zip.xls"));
        QVERIFY(
            recusado("zip.xls", "não é um livro .xls, mas um arquivo zip, como os livros .xlsx: se o for, dê-lhe o nome .xlsx"));
        // A file the user may not read says so (the test's root reads it as nobody).
        QVERIFY(QFile::setPermissions(a.pasta(), QFile::permissions(a.pasta()) | QFile::ExeOther));
        QVERIFY(QFile::setPermissions(a.pasta() + "/zip.xls", {}));
        s.gImpXls = "zip.xls";
        a.msgs.responde(Mensagens::Resposta::Ok);
        const QString semLeitura = noFilho(
            [&] {
                ImportaPlanos(s);
                return a.msgs.ultimo();
            },
            true);
        QVERIFY2(semLeitura.contains(a.pasta() + "/zip.xls: sem permissão de leitura."), qPrintable(semLeitura));
        a.msgs.limpa();
        // A flag that LibreOffice wrote as a formula (TRUE()), or a description built by one, reads as
        // empty from an .xls: the record of a C3 or D3 made one that FreeXL passes over, as it passes over formulas.
        for (const auto &[celula, registo] : { std::pair { "1 (\"Contas\"), célula C3", "7e020a0002000200" },
                 std::pair { "2 (\"Centros\"), célula D3", "fd000a0002000300" } }) {
            QVERIFY(xlwtAlterado("formula.xls", [registo](QByteArray &b) {
                const qsizetype c = b.indexOf(QByteArray::fromHex(registo));
                if (c <= 0)
                    return false;
                qToLittleEndian<quint16>(0x0006, b.data() + c);
                return true;
            }));
            QVERIFY(recusado("formula.xls",
                QStringLiteral("folha %1: tem uma fórmula, cujo resultado não se lê num livro .xls: grave "
                               "o livro como .xlsx")
                    .arg(QString::fromUtf8(celula))));
        }
        // An error cell (#N/A), which FreeXL reads as a number.
        QVERIFY(xlwtAlterado("erro.xls", [](QByteArray &b) {
            const qsizetype c3 = b.indexOf(QByteArray::fromHex("7e020a0002000200"));
            if (c3 <= 0)
                return false;
            qToLittleEndian<quint16>(0x0205, b.data() + c3);
            b[c3 + 10] = 0x2A;
            b[c3 + 11] = 1;
            return true;
        }));
        QVERIFY(recusado("erro.xls", "folha 1 (\"Contas\"), célula C3: tem o erro #N/A em vez de um valor"));
        // So does column A filled down by formulas, and a row of formulas alone, which read as empty.
        QVERIFY(QFile::copy(QFINDTESTDATA("livros/planos-formulas-libreoffice.xls"), a.pasta() + "/formulas.xls"));
        QVERIFY(recusado("formulas.xls", "folha 1 (\"Contas\"), célula A3: tem uma fórmula, cujo resultado não se lê"));
        QVERIFY(xlwtAlterado("so-formulas.xls", [](QByteArray &b) {
            for (const char *registo : { "fd000a0001000000", "bd00120001000100", "fd000a0001000300" }) {
                const qsizetype i = b.indexOf(QByteArray::fromHex(registo));
                if (i <= 0)
                    return false;
                qToLittleEndian<quint16>(0x0006, b.data() + i);
            }
            return true;
        }));
        QVERIFY(recusado("so-formulas.xls", "folha 1 (\"Contas\"), célula A2: tem uma fórmula, cujo resultado não se lê"));

        // A bomb: a sheet that declares 1 GiB is refused before it is inflated; one that hides
        // more than it declares stops at its declared size and fails its checksum.
        p = partesLivro(contas, centros, textos);
        p[3].tamanho = quint64(1) << 30;
        QVERIFY(escreveZip(a.pasta() + "/bomba.xlsx", p));
        QVERIFY(recusado("bomba.xlsx", "tem 1024 MB por extrair, mais do que os 64 MB aceites"));
        p = partesLivro(contas, centros, textos);
        p[3].dados += QByteArray(4 << 20, ' ');
        p[3].tamanho = 1000;
        QVERIFY(escreveZip(a.pasta() + "/escondida.xlsx", p));
        QVERIFY(recusado("escondida.xlsx", "a parte \"xl/worksheets/sheet1.xml\""));
        // A text longer than any cell would be held whole by the XML reader: refused as it arrives.
        QVERIFY(escreveZip(a.pasta() + "/texto.xlsx",
            partesLivro(contas,
                "<row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t>" + QByteArray(2 << 20, 'x') + "</t></is></c></row>", textos)));
        QVERIFY(recusado("texto.xlsx", "de seguida num só texto, marca ou comentário XML"));
        // So is a comment, which may hold "<" anywhere.
        QVERIFY(escreveZip(a.pasta() + "/comentario.xlsx",
            partesLivro(contas, "<!--" + (QByteArray(999, 'x') + '<').repeated(2100) + "-->", textos)));
        QVERIFY(recusado("comentario.xlsx", "de seguida num só texto, marca ou comentário XML"));
        // Elements nested without end, and a list of sheets without end, would hold memory out of
        // all proportion to the workbook.
        QVERIFY(escreveZip(a.pasta() + "/encaixada.xlsx",
            partesLivro(contas, QByteArray("<a>").repeated(300) + QByteArray("</a>").repeated(300), textos)));
        QVERIFY(recusado("encaixada.xlsx", "a parte \"xl/worksheets/sheet2.xml\" está danificada: elementos encaixados"));
        p = partesLivro(contas, centros, textos);
        p[0].dados.replace("</sheets>", QByteArray("<sheet/>").repeated(10000) + "</sheets>");
        QVERIFY(escreveZip(a.pasta() + "/folhas.xlsx", p));
        QVERIFY(recusado("folhas.xlsx", "a parte \"xl/workbook.xml\" tem mais de 10000 entradas"));
        p = partesLivro(contas, centros, textos);
        p[0].dados.replace("name=\"Centros\"", "name=\"" + QByteArray(32, 'c') + "\"");
        QVERIFY(escreveZip(a.pasta() + "/nome.xlsx", p));
        QVERIFY(
            recusado("nome.xlsx", "o nome da folha \"" + QByteArray(32, 'c') + "\" passa os 31 caracteres que o Excel aceita"));
        p = partesLivro(contas, centros, textos);
        p[1].dados.replace("worksheets/sheet1.xml", "worksheets/" + QByteArray(200, 'x'));
        QVERIFY(escreveZip(a.pasta() + "/alvo.xlsx", p));
        QVERIFY(recusado("alvo.xlsx", "falta a parte \"xl/worksheets/" + QByteArray(66, 'x') + "…\"."));
        // Shared strings that would take gigabytes, or hundreds of MB, from a few KB: entities that a
        // DOCTYPE declares, expanded thousands of times, and 12.6 million empty entries. Each is read
        // in a child whose memory is bounded; the workbook has one sheet, so that nothing gets written.
        const auto bomba = [&](const QByteArray &sst) {
            QList<ParteZip> b = partesLivro(contas, centros, "");
            b[0].dados.replace("<sheet name=\"Centros\" sheetId=\"2\" r:id=\"rId2\"/>", "");
            b[2].dados = sst;
            QVERIFY(escreveZip(a.pasta() + "/bomba.xlsx", b));
        };
        const auto importaNoFilho = [&](const QString &nome) {
            s.gImpXls = nome;
            a.msgs.limpa();
            a.msgs.responde(Mensagens::Resposta::Ok);
            return noFilho([&] {
                ImportaPlanos(s);
                return a.msgs.ultimo();
            });
        };
        const auto pico = [](const QString &saida) {
            const QRegularExpressionMatch m = QRegularExpression("\npico (\\d+) MB$").match(saida);
            return m.hasMatch() ? m.captured(1).toInt() : 1 << 30;
        };
        bomba("<?xml version=\"1.0\"?><!DOCTYPE sst [<!ENTITY e \"" + QByteArray(4000, 'x') + "\">]><sst><si><t>"
            + QByteArray("&e;").repeated(100000) + "</t></si></sst>");
        QString saida = importaNoFilho("bomba.xlsx");
        QVERIFY2(saida.contains("bomba.xlsx: a parte \"xl/sharedStrings.xml\" declara um DOCTYPE") && pico(saida) < 20,
            qPrintable(saida));
        bomba("<sst>" + QByteArray("<si/>").repeated(12600000) + "</sst>");
        saida = importaNoFilho("bomba.xlsx");
        QVERIFY2(saida.contains("bomba.xlsx: a parte \"xl/sharedStrings.xml\" tem mais textos do que os 48 MB aceites")
                && pico(saida) < 100,
            qPrintable(saida));
        // 60 sheet names and 60 relationship targets of 1 MB each, from 126 KB: refused at the first
        // name, which the message quotes up to 80 characters.
        p = partesLivro(contas, centros, textos);
        QByteArray folhas, alvos;
        for (int i = 3; i < 63; ++i) {
            const QByteArray n = QByteArray::number(i);
            folhas += "<sheet name=\"" + QByteArray(1000000, 'n') + "\" r:id=\"rId" + n + "\"/>";
            alvos += "<Relationship Id=\"rId" + n + "\" Target=\"" + QByteArray(1000000, 'a') + "\"/>";
        }
        p[0].dados.replace("</sheets>", folhas + "</sheets>");
        p[1].dados.replace("</Relationships>", alvos + "</Relationships>");
        QVERIFY(escreveZip(a.pasta() + "/nomes.xlsx", p));
        p.clear();
        folhas.clear();
        alvos.clear();
        saida = importaNoFilho("nomes.xlsx");
        QVERIFY2(saida.contains("refere a parte \"" + QString(80, 'a') + "…\", cujo nome passa os 255 caracteres aceites")
                && saida.size() < 400 && pico(saida) < 100,
            qPrintable(saida.left(400)));
        // A million tiny rows from 60 MB that inflate from little: what the rows take once held is
        // bounded, not the bytes they came in.
        QVERIFY(escreveZip(a.pasta() + "/linhas.xlsx",
            partesLivro(
                QByteArray("<row><c><v>1</v></c><c><v>2</v></c><c><v>1</v></c></row>").repeated(1000000), centros, textos)));
        saida = importaNoFilho("linhas.xlsx");
        QVERIFY2(saida.contains("as folhas têm mais linhas do que os 64 MB aceites") && pico(saida) < 100, qPrintable(saida));
        a.msgs.limpa();
        // An .xls whose two sheets declare 65,536 x 256 cells each, for which FreeXL would set
        // 256 MB aside apiece before reading any.
        const QByteArray dimensoes("\x00\x02\x0e\x00", 4);
        QVERIFY(xlwtAlterado("grande.xls", [&](QByteArray &b) {
            int n = 0;
            for (qsizetype i = b.indexOf(dimensoes); i >= 0; i = b.indexOf(dimensoes, i + 4), ++n) {
                qToLittleEndian<quint32>(65536, b.data() + i + 8);
                qToLittleEndian<quint16>(256, b.data() + i + 14);
            }
            return n == 2;
        }));
        QVERIFY(recusado("grande.xls", "as suas folhas passam os 128 MB aceites"));
        // The record after sheet 2's dimensions claims 64 KB: FreeXL would end the sheet there, empty.
        QVERIFY(xlwtAlterado("cortada.xls", [&](QByteArray &b) {
            const qsizetype i = b.lastIndexOf(dimensoes);
            return i > 0 && (qToLittleEndian<quint16>(0xFFFF, b.data() + i + 20), true);
        }));
        QVERIFY(recusado("cortada.xls", "os registos da folha 2 estão danificados"));
        // One stray cell far out (row 65,536, column 120) makes FreeXL set 120 MB aside for the
        // first sheet: in its helper, not in the program, which reads the workbook.
        QVERIFY(xlwtAlterado("perdida.xls", [&](QByteArray &b) {
            const qsizetype e2 = b.indexOf(QByteArray::fromHex("0102060001000400")), i = b.indexOf(dimensoes);
            if (e2 < 0 || i < 0)
                return false;
            qToLittleEndian<quint16>(65535, b.data() + e2 + 4);
            qToLittleEndian<quint16>(119, b.data() + e2 + 6);
            qToLittleEndian<quint32>(65536, b.data() + i + 8);
            qToLittleEndian<quint16>(120, b.data() + i + 14);
            return true;
        }));
        malloc_trim(0);
        QFile zera(QStringLiteral("/proc/self/clear_refs"));
        QVERIFY(zera.open(QIODevice::WriteOnly) && zera.write("5") == 1);
        zera.close();
        const qint64 antes = estado("VmRSS:");
        QVERIFY2(importa("perdida.xls"), qPrintable(a.msgs.ultimo()));
        QVERIFY2(estado("VmHWM:") - antes < (qint64(100) << 20), qPrintable(QString::number(estado("VmHWM:") - antes)));
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM PlanoContas"), 5);
        QVERIFY(corre(a.db(), "DELETE FROM PlanoContas"));
        QVERIFY(corre(a.db(), "DELETE FROM PlanoCCusto"));

        // A helper killed, one that overruns its deadline, and one that writes what makes no sense:
        // a good workbook is not called damaged, the wait ends, and nothing is written.
        const auto repoe = qScopeGuard([auxiliar = qgetenv("MOLVAR_LEITORXLS")] {
            qputenv("MOLVAR_LEITORXLS", auxiliar);
            qunsetenv("MOLVAR_PRAZO_LEITORXLS");
        });
        QVERIFY(QFile::copy(QFINDTESTDATA("livros/planos-xlwt.xls"), a.pasta() + "/bom.xls"));
        qputenv("MOLVAR_PRAZO_LEITORXLS", "1");
        const auto auxiliar = [&](const QByteArray &script) {
            QFile f(a.pasta() + "/auxiliar.sh");
            qputenv("MOLVAR_LEITORXLS", QFile::encodeName(f.fileName()));
            return f.open(QIODevice::WriteOnly) && f.write("#!/bin/sh\n" + script + "\n") > 0
                && f.setPermissions(f.permissions() | QFile::ExeOwner);
        };
        QVERIFY(auxiliar("kill -9 $$"));
        QVERIFY(recusado("bom.xls", "o leitor de livros .xls (molvar_leitorxls) foi terminado pelo sinal 9 (SIGKILL)"));
        QVERIFY(auxiliar("exec sleep 60"));
        QElapsedTimer relogio;
        relogio.start();
        QVERIFY(
            recusado("bom.xls", "a leitura passou o prazo de 1 s, e o leitor de livros .xls (molvar_leitorxls) foi terminado"));
        QVERIFY(relogio.elapsed() < 10000);
        QVERIFY(auxiliar("printf 'MXLS\\001L\\377\\377\\377\\377\\377\\377'"));
        QVERIFY(recusado("bom.xls", "enviou dados que não se entendem"));
        QCOMPARE(a.msgs.semRespostas, 0);
    }

    // One chart code per company and year, and one model per name, even with several
    // workstations at once: the set-up adds the guarantee (or names what stands in its way,
    // even one written meanwhile), two imports together add each code once, and a creation
    // (New_Poc, New_Modelo, MolvarInsFirma) that loses the race says so.
    void unicidadeEntrePostos()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QSqlDatabase db = a.db();
        preparaFirmas(a);
        auto contagem = [&](const char *sql) { return conta(db, QString::fromLatin1(sql)); };

        // A database from before the guarantees, with repeated rows: named, nothing changed.
        for (const char *indice : { "ux_planocontas", "ux_planoccusto", "ux_modexptxt" })
            QVERIFY(corre(db, QStringLiteral("DROP INDEX %1").arg(QLatin1String(indice))));
        QVERIFY(criaConta(db, "0001", 2024, "6211", "Uma") && criaConta(db, "0001", 2024, "6211", "Outra"));
        QVERIFY(corre(db, "INSERT INTO Modexptxt (Modelo) VALUES ('%1M'), (' %1M  ')"));
        QString erro;
        QVERIFY(!criaBaseDados(a.sessao.gLigacao1, &erro));
        QVERIFY2(erro.contains("PlanoContas: firma 0001, exercício 2024, conta 6211 (2 linhas)")
                && erro.contains("Modexptxt: modelo %1M (2 linhas)"),
            qPrintable(erro));
        // The start-up brings such a database up to date the same way.
        erro.clear();
        QVERIFY(!actualizaBaseDados(db, &erro));
        QVERIFY2(erro.contains("PlanoContas: firma 0001, exercício 2024, conta 6211 (2 linhas)"), qPrintable(erro));
        QVERIFY(criaConta(db, "0001", 2024, "6211", "Terceira"));
        QVERIFY(corre(db, "DELETE FROM PlanoContas"));
        QVERIFY(corre(db, "DELETE FROM Modexptxt"));
        // A key repeated by another workstation while the start-up reads the keys: held back
        // until the reading, then named.
        {
            Barreira b(db, QString());
            QVERIFY(criaConta(db, "0001", 2024, "6211", "Uma") && criaConta(db, "0001", 2024, "6211", "Outra"));
            Posto p({ "actualiza", ligacaoParaOutroProcesso(a), "0001" });
            QVERIFY2(p.pronto(), qPrintable(p.saida()));
            QVERIFY(b.esperaBloqueados(1));
            QVERIFY(b.liberta());
            QVERIFY2(p.termina() && p.saida().contains("mensagem: A base de dados tem linhas repetidas"), qPrintable(p.saida()));
        }
        QVERIFY(corre(db, "DELETE FROM PlanoContas"));
        QVERIFY2(actualizaBaseDados(db, &erro), qPrintable(erro));
        QVERIFY(corre(db, "INSERT INTO Modexptxt (Modelo) VALUES ('M1')"));
        // A key taken is told in the program's words, on either database.
        QSqlQuery repetida(db);
        QVERIFY(!executa(repetida, "INSERT INTO Modexptxt (Modelo) VALUES (' M1')", {}, &erro));
        QVERIFY2(erro.startsWith("Outro posto de trabalho gravou entretanto um registo com a mesma chave."), qPrintable(erro));

        // Two imports of the same chart held at the same point, then run together.
        a.criaBaseExterna("A");
        QSqlDatabase ext = a.dbExterna();
        QVERIFY(ext.transaction());
        for (int i = 0; i < 300; ++i)
            QVERIFY(corre(ext,
                "INSERT INTO PlanoContas (CodFirma, CodExercicio, Conta, Lancadora, Designacao) VALUES ('0001', '2024', ?, 1, "
                "'x')",
                { QString::number(620000 + i) }));
        QVERIFY(corre(ext,
            "INSERT INTO PlanoCCusto (CodFirma, CodExercicio, CCusto, Lancador, Designacao) VALUES ('0001', '2024', 'CC1', 1, "
            "'x')"));
        QVERIFY(ext.commit());
        const QString ligacao = ligacaoParaOutroProcesso(a);
        {
            Barreira b(db, QStringLiteral("PlanoContas"));
            QVERIFY(b.activa());
            Posto p1({ "importa", ligacao, a.sessao.gLigacao2, "0001" });
            Posto p2({ "importa", ligacao, a.sessao.gLigacao2, "0001" });
            QVERIFY2(p1.pronto() && p2.pronto(), qPrintable(p1.saida() + p2.saida()));
            QVERIFY(b.esperaBloqueados(2));
            QVERIFY(b.liberta());
            QVERIFY2(p1.termina(), qPrintable(p1.saida()));
            QVERIFY2(p2.termina(), qPrintable(p2.saida()));
        }
        QCOMPARE(contagem("SELECT COUNT(*) FROM PlanoContas"), 300);
        QCOMPARE(contagem("SELECT COUNT(*) FROM PlanoCCusto"), 1);

        // A creation on another workstation while this one inserts the same key, not yet
        // committed: once it is, the other is told. New_Poc, then New_Modelo against a header
        // stored without the editor's padding, then MolvarInsFirma.
        auto perdeACorrida = [&](const char *insercao, const QStringList &tarefa, const char *mensagem) {
            Barreira b(db, QString());
            QVERIFY(b.activa());
            QVERIFY(corre(db, QString::fromUtf8(insercao)));
            Posto p(QStringList { tarefa.first(), ligacao, "0001" } + tarefa.mid(1));
            QVERIFY2(p.pronto(), qPrintable(p.saida()));
            QVERIFY(b.esperaBloqueados(1));
            QVERIFY(b.liberta());
            QVERIFY2(p.termina(), qPrintable(p.saida()));
            QVERIFY2(p.saida().contains(QStringLiteral("mensagem: ") + QString::fromUtf8(mensagem)), qPrintable(p.saida()));
        };
        perdeACorrida("INSERT INTO PlanoContas (CodFirma, CodExercicio, Conta, Designacao) VALUES ('0001', '2024', '6999', 'x')",
            { "novaconta", "6999" }, "A conta já foi aberta");
        QCOMPARE(contagem("SELECT COUNT(*) FROM PlanoContas WHERE Conta = '6999'"), 1);
        perdeACorrida("INSERT INTO Modexptxt (Modelo) VALUES ('Zeca')", { "novomodelo", "Zeca" }, "O modelo já foi definido");
        QCOMPARE(contagem("SELECT COUNT(*) FROM Modexptxt WHERE TRIM(Modelo) = 'Zeca'"), 1);
        perdeACorrida("INSERT INTO ParamFirma (CodFirma, Designacao) VALUES ('0009', 'x')", { "novafirma", "0009" },
            "A firma \"0009\" já existe!");
    }
};

QTEST_MAIN(TstImportacao)
#include "tst_importacao.moc"
