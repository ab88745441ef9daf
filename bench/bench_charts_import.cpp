#include "bench.h"

#include "charts/convertesnc.h"
#include "charts/importaplanos.h"
#include "core/appfolder.h"
#include "core/connection.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <cstdio>
#include <functional>

#include <xlsxwriter.h>

namespace {
const int kContas = 50000;
const int kCentros = 1000;

QString codigo(QChar classe, int i)
{
    return classe + QStringLiteral("%1").arg(i, 7, 10, QLatin1Char('0'));
}

bool falha(const QString &onde, const QString &erro)
{
    std::fprintf(stderr, "erro (%s): %s\n", qPrintable(onde), qPrintable(erro));
    return false;
}

bool corre(QSqlDatabase db, const QString &sql, const QVariantList &v = {})
{
    QSqlQuery q(db);
    QString erro;
    return executa(q, sql, v, &erro) || falha(sql.left(60), erro);
}

// n rows of `colunas` values each, 500 per statement.
bool insere(QSqlDatabase db, const QString &cabeca, int colunas, int n, const std::function<void(int, QVariantList &)> &linha)
{
    const QString tuplo = QLatin1Char('(') + QStringList(colunas, QStringLiteral("?")).join(QLatin1Char(',')) + QLatin1Char(')');
    for (int inicio = 0; inicio < n; inicio += 500) {
        const int fim = qMin(n, inicio + 500);
        QVariantList v;
        for (int i = inicio; i < fim; ++i)
            linha(i, v);
        if (!corre(db, cabeca + QStringList(fim - inicio, tuplo).join(QLatin1Char(',')), v))
            return false;
    }
    return true;
}

// A SQLite stand-in of the outside database in the program's folder, with the charts in the
// own layout and the SNC conversion table.
QString criaExterna(const QString &nome)
{
    const QString ficheiro = QDir(appFolder()).filePath(nome);
    QFile::remove(ficheiro);
    QFile f(ficheiro);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    f.close();
    const QString ligacao = QStringLiteral("Driver=SQLite;Database=%1;").arg(ficheiro);
    QSqlDatabase db = abreLigacao(ligacao);
    const bool ok
        = corre(db,
              QStringLiteral("CREATE TABLE PlanoContas (Id INTEGER PRIMARY KEY, CodFirma char(4), CodExercicio char(4), "
                             "Conta varchar(22), Lancadora smallint, Designacao varchar(30))"))
        && corre(db,
            QStringLiteral("CREATE TABLE PlanoCCusto (Id INTEGER PRIMARY KEY, CodFirma char(4), CodExercicio char(4), "
                           "CCusto varchar(16), Lancador smallint, Designacao varchar(30))"))
        && corre(db, QStringLiteral("CREATE TABLE SNC_Conv (contapoc varchar(22), contasnc varchar(22))"));
    return ok ? ligacao : QString();
}

} // namespace

bool escreveLivro(const QString &caminho, const Session &s)
{
    lxw_workbook_options o = {};
    o.constant_memory = LXW_TRUE;
    lxw_workbook *wb = workbook_new_opt(caminho.toUtf8().constData(), &o);
    if (!wb)
        return falha(caminho, QStringLiteral("workbook_new"));
    lxw_error e = LXW_NO_ERROR;
    auto escreve = [&](lxw_worksheet *ws, int linha, int col, const QString &t) {
        if (e == LXW_NO_ERROR)
            e = worksheet_write_string(ws, linha, col, t.toUtf8().constData(), nullptr);
    };
    for (int folha = 1; folha <= 2; ++folha) {
        lxw_worksheet *ws = workbook_add_worksheet(wb, nullptr);
        escreve(ws, 0, 0, QStringLiteral("Firma"));
        const int n = folha == 1 ? kContas : kCentros;
        for (int i = 0; i < n; ++i) {
            escreve(ws, i + 1, 0, s.gCodFirma);
            escreve(ws, i + 1, 1, folha == 1 ? codigo(u'8', i) : QStringLiteral("L%1").arg(i));
            if (e == LXW_NO_ERROR)
                e = worksheet_write_number(ws, i + 1, 2, i % 7 ? 1 : 0, nullptr);
            escreve(ws, i + 1, 3, QStringLiteral("Conta do livro n.º %1").arg(i));
        }
    }
    const lxw_error fecho = workbook_close(wb);
    if (e != LXW_NO_ERROR || fecho != LXW_NO_ERROR)
        return falha(caminho, QString::fromUtf8(lxw_strerror(e != LXW_NO_ERROR ? e : fecho)));
    return true;
}

namespace {
// The chart of escreveLivro as an .xls, written by python3-xlwt; false, after a message, without it.
bool escreveXls(const QString &caminho, const Session &s)
{
    const QString script
        = QStringLiteral("import sys, xlwt\n"
                         "caminho, firma, contas, centros = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])\n"
                         "wb = xlwt.Workbook(encoding='utf-8')\n"
                         "for nome, n in (('Contas', contas), ('Centros', centros)):\n"
                         "    ws = wb.add_sheet(nome)\n"
                         "    ws.write(0, 0, 'Firma')\n"
                         "    for i in range(n):\n"
                         "        ws.write(i + 1, 0, firma)\n"
                         "        ws.write(i + 1, 1, '8%07d' % i if nome == 'Contas' else 'L%d' % i)\n"
                         "        ws.write(i + 1, 2, 1 if i % 7 else 0)\n"
                         "        ws.write(i + 1, 3, 'Conta do livro n.º %d' % i)\n"
                         "wb.save(caminho)\n");
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    p.start(QStringLiteral("/usr/bin/python3"),
        { QStringLiteral("-c"), script, caminho, s.gCodFirma, QString::number(kContas), QString::number(kCentros) });
    if (!p.waitForFinished(300000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return falha(caminho, QStringLiteral("o python3-xlwt não escreveu o livro .xls"));
    return true;
}

qint64 maiorId(QSqlDatabase db, const QString &tabela)
{
    return valorUnico(db, QStringLiteral("SELECT COALESCE(MAX(Id), 0) FROM ") + tabela).toLongLong();
}
} // namespace

// The chart import of 50,000 accounts and 1,000 cost centres, from the outside database and
// from a workbook; the rows added are removed afterwards.
static BenchCaminho importacao("importação de planos (50 000 contas)", [](BenchContexto &ctx) {
    Session &s = ctx.sessao;
    QSqlDatabase db = abreLigacao(s.gLigacao1);
    const QString ligacao2Antes = s.gLigacao2;
    const QString ext = criaExterna(QStringLiteral("bench_externa_planos.db"));
    if (ext.isEmpty())
        return;
    QSqlDatabase dbExt = abreLigacao(ext);
    const QString ano = QString::number(s.gAno);
    dbExt.transaction();
    const bool ok
        = insere(dbExt, QStringLiteral("INSERT INTO PlanoContas (CodFirma, CodExercicio, Conta, Lancadora, Designacao) VALUES "),
              5, kContas,
              [&](int i, QVariantList &v) {
                  v << s.gCodFirma << ano << codigo(u'7', i) << (i % 7 ? 1 : 0) << QStringLiteral("Conta externa n.º %1").arg(i);
              })
        && insere(dbExt, QStringLiteral("INSERT INTO PlanoCCusto (CodFirma, CodExercicio, CCusto, Lancador, Designacao) VALUES "),
            5, kCentros, [&](int i, QVariantList &v) {
                v << s.gCodFirma << ano << QStringLiteral("E%1").arg(i) << 1 << QStringLiteral("Centro %1").arg(i);
            });
    dbExt.commit();
    if (!ok)
        return;
    const qint64 contasAntes = maiorId(db, QStringLiteral("PlanoContas"));
    const qint64 centrosAntes = maiorId(db, QStringLiteral("PlanoCCusto"));
    auto importadas = [&] {
        return valorUnico(db, QStringLiteral("SELECT COUNT(*) FROM PlanoContas WHERE Id > ?"), { contasAntes }).toLongLong()
            + valorUnico(db, QStringLiteral("SELECT COUNT(*) FROM PlanoCCusto WHERE Id > ?"), { centrosAntes }).toLongLong();
    };

    s.gTipoImp = QStringLiteral("S");
    s.gLigacao2 = ext;
    s.gAnaliticaAtiva = true;
    QElapsedTimer t;
    t.start();
    ImportaPlanos(s);
    const double seg = t.nsecsElapsed() / 1e9;
    const qint64 daExterna = importadas();
    relata(QStringLiteral("ImportaPlanos: base externa"), daExterna, seg);
    t.restart();
    ImportaPlanos(s);
    relata(QStringLiteral("ImportaPlanos: base externa, de novo (nada)"), kContas + kCentros, t.nsecsElapsed() / 1e9);

    const QString livro = QDir(appFolder()).filePath(QStringLiteral("planos_bench.xlsx"));
    if (escreveLivro(livro, s)) {
        s.gTipoImp = QStringLiteral("X");
        s.gImportaExcel = true;
        s.gIxlsPath = appFolder() + QLatin1Char('/');
        s.gImpXls = QStringLiteral("planos_bench.xlsx");
        t.restart();
        ImportaPlanos(s);
        const double segLivro = t.nsecsElapsed() / 1e9;
        relata(QStringLiteral("ImportaPlanos: livro .xlsx"), importadas() - daExterna, segLivro);
    }
    // The same rows again, from an .xls that xlwt writes (FreeXL reads it in the program's helper).
    const QString xls = QDir(appFolder()).filePath(QStringLiteral("planos_bench.xls"));
    if (escreveXls(xls, s)) {
        corre(db, QStringLiteral("DELETE FROM PlanoContas WHERE Id > ? AND Conta LIKE '8%'"), { contasAntes });
        corre(db, QStringLiteral("DELETE FROM PlanoCCusto WHERE Id > ? AND CCusto LIKE 'L%'"), { centrosAntes });
        s.gTipoImp = QStringLiteral("X");
        s.gImportaExcel = true;
        s.gIxlsPath = appFolder() + QLatin1Char('/');
        s.gImpXls = QStringLiteral("planos_bench.xls");
        const qint64 antes = importadas();
        t.restart();
        ImportaPlanos(s);
        const double segXls = t.nsecsElapsed() / 1e9;
        relata(QStringLiteral("ImportaPlanos: livro .xls"), importadas() - antes, segXls);
    }
    corre(db, QStringLiteral("DELETE FROM PlanoContas WHERE Id > ?"), { contasAntes });
    corre(db, QStringLiteral("DELETE FROM PlanoCCusto WHERE Id > ?"), { centrosAntes });
    s.gTipoImp.clear();
    s.gLigacao2 = ligacao2Antes;
    dbExt = QSqlDatabase();
    fechaLigacao(ext);
});

// The SNC conversion of every accrual row with 600 prefixes; the accounts and flags are put
// back afterwards for the paths that follow.
static BenchCaminho snc("conversão SNC (todas as linhas)", [](BenchContexto &ctx) {
    Session &s = ctx.sessao;
    QSqlDatabase db = abreLigacao(s.gLigacao1);
    const QString ligacao2Antes = s.gLigacao2;
    const QString ext = criaExterna(QStringLiteral("bench_externa_snc.db"));
    if (ext.isEmpty())
        return;
    // "6" and "2" followed by four digits: five-character prefixes of the six-character codes.
    if (!insere(abreLigacao(ext), QStringLiteral("INSERT INTO SNC_Conv (contapoc, contasnc) VALUES "), 2, 600,
            [](int i, QVariantList &v) {
                const bool gasto = i < 300;
                const int k = i % 300;
                v << (gasto ? QStringLiteral("6") : QStringLiteral("2")) + QStringLiteral("%1").arg(k, 4, 10, QLatin1Char('0'))
                  << (gasto ? QStringLiteral("62") : QStringLiteral("27")) + QStringLiteral("%1").arg(k, 3, 10, QLatin1Char('0'));
            }))
        return;
    if (!corre(db,
            QStringLiteral("CREATE TABLE bench_snc_copia (Chave integer PRIMARY KEY, CPocDeb varchar(22), CPocCre varchar(22))"))
        || !corre(db, QStringLiteral("INSERT INTO bench_snc_copia SELECT Chave, CPocDeb, CPocCre FROM Molvar")))
        return;
    const qint64 linhas = valorUnico(db, QStringLiteral("SELECT COUNT(*) FROM Molvar")).toLongLong();
    // Each timed write starts from a table whose old row versions are cleared, as routine
    // maintenance leaves it.
    const auto arruma = [&] {
        if (ePostgres(db))
            corre(db, QStringLiteral("VACUUM ANALYZE Molvar"));
    };
    const QString repoe = QStringLiteral(
        "UPDATE Molvar SET CPocDeb = c.CPocDeb, CPocCre = c.CPocCre FROM bench_snc_copia c WHERE c.Chave = Molvar.Chave "
        "AND (Molvar.CPocDeb <> c.CPocDeb OR Molvar.CPocCre <> c.CPocCre)");
    arruma();
    s.gLigacao2 = ext;
    QElapsedTimer t;
    t.start();
    const bool feita = ConverteSnc(s, nullptr);
    const double conversao = t.nsecsElapsed() / 1e9;
    relata(QStringLiteral("ConverteSnc"), feita ? linhas : 0, conversao);
    const qint64 mudadas = valorUnico(db,
        QStringLiteral("SELECT COUNT(*) FROM Molvar m JOIN bench_snc_copia c ON c.Chave = m.Chave "
                       "WHERE m.CPocDeb <> c.CPocDeb AND m.CPocCre <> c.CPocCre"))
                               .toLongLong();
    std::printf("  (linhas com débito e crédito convertidos: %lld)\n", static_cast<long long>(mudadas));

    // The yardstick: one plain UPDATE that writes the same new values to the same rows.
    if (corre(db,
            QStringLiteral("CREATE TABLE bench_snc_nova (Chave integer PRIMARY KEY, CPocDeb varchar(22), CPocCre varchar(22))"))
        && corre(db,
            QStringLiteral("INSERT INTO bench_snc_nova SELECT m.Chave, m.CPocDeb, m.CPocCre FROM Molvar m "
                           "JOIN bench_snc_copia c ON c.Chave = m.Chave WHERE m.CPocDeb <> c.CPocDeb OR m.CPocCre <> c.CPocCre"))
        && corre(db, repoe)) {
        arruma();
        t.restart();
        const bool simples = corre(db,
            QStringLiteral("UPDATE Molvar SET CPocDeb = n.CPocDeb, CPocCre = n.CPocCre FROM bench_snc_nova n "
                           "WHERE n.Chave = Molvar.Chave"));
        const double plana = t.nsecsElapsed() / 1e9;
        relata(QStringLiteral("UPDATE simples dos mesmos valores"), simples ? linhas : 0, plana);
        if (feita && simples && plana > 0)
            std::printf("  (conversão / UPDATE simples: %.2f)\n", conversao / plana);
    }
    corre(db, QStringLiteral("DROP TABLE bench_snc_nova"));

    corre(db, repoe);
    corre(db, QStringLiteral("DROP TABLE bench_snc_copia"));
    corre(db, QStringLiteral("UPDATE ParamFirma SET SNC = 0"));
    s.gSnc = false;
    s.gLigacao2 = ligacao2Antes;
    fechaLigacao(ext);
});
