#include "charts/contasnc.h"
#include "charts/convertesnc.h"
#include "core/connection.h"
#include "core/espera.h"
#include "core/mensagens.h"
#include "support/ambiente.h"
#include "support/fixtures.h"
#include "support/postos.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QSemaphore>
#include <QSqlQuery>
#include <QThread>
#include <QtTest>

#include <functional>

// Base externa: conversao erros

namespace {
QString b(int n)
{
    return QString(n, QLatin1Char(' '));
}

// Records what the wait window shows when the closing question comes.
class MensagensEspia : public MensagensFalsas
{
public:
    std::function<void()> aoMostrar;
    Resposta mostra(const QString &texto, const QString &titulo, Botoes botoes, Icone icone) override
    {
        if (aoMostrar)
            aoMostrar();
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *e = qobject_cast<Espera *>(w); e && e->isVisible())
                espera = QStringLiteral("%1|%2|%3/%4")
                             .arg(e->windowTitle(), e->Label1->text())
                             .arg(e->ProgressBar1->value())
                             .arg(e->ProgressBar1->maximum());
        return MensagensFalsas::mostra(texto, titulo, botoes, icone);
    }
    QString espera;
};

// "Chave-ignored" view of the accounts: "firma|deb|cre" per row, in key order.
QStringList contas(QSqlDatabase db)
{
    QSqlQuery q(db);
    QStringList r;
    if (!executa(q, QStringLiteral("SELECT CodFirma, CPocDeb, CPocCre FROM Molvar ORDER BY Chave")))
        return { QStringLiteral("erro") };
    while (q.next())
        r << QStringLiteral("%1|%2|%3")
                 .arg(q.value(0).toString().trimmed(), q.value(1).isNull() ? QStringLiteral("NULL") : q.value(1).toString(),
                     q.value(2).isNull() ? QStringLiteral("NULL") : q.value(2).toString());
    return r;
}

bool linha(QSqlDatabase db, const QString &firma, const QVariant &deb, const QVariant &cre)
{
    return corre(db,
        "INSERT INTO Molvar (Ref, CodFirma, Descr, Mes, Ano, Valor, CPocDeb, CPocCre) VALUES (1, ?, 'x', 1, 2024, 10, ?, ?)",
        { firma, deb, cre });
}

int marcadas(QSqlDatabase db)
{
    return conta(db, "SELECT COUNT(*) FROM ParamFirma WHERE SNC = 1");
}

// Company 0001 logged in, the conversion rules given (literal rows of SNC_Conv) and one row
// of 0001 to convert: "22111" / "41000".
bool umaLinhaPorConverter(Ambiente &a, const char *regras)
{
    QSqlDatabase db = a.db();
    if (!criaFirma(db, "0001", "Um") || !a.entra("0001", 2024, 6))
        return false;
    a.criaBaseExterna("A");
    return corre(a.dbExterna(), QStringLiteral("INSERT INTO SNC_Conv (contapoc, contasnc) VALUES ") + QLatin1String(regras))
        && linha(db, "0001", "22111", "41000");
}

// Another workstation: a connection in a thread of its own that takes the write lock of a
// company's parameters, tells so, and commits shortly after being told the other side has
// begun. Whether that side is already waiting by then or not, it must succeed.
class PostoQueEscreve : public QThread
{
public:
    PostoQueEscreve(const QString &ligacao, bool sqlite)
        : m_ligacao(ligacao)
        , m_sqlite(sqlite)
    {
    }
    QSemaphore bloqueou, comecou;
    QString erro;

protected:
    void run() override
    {
        {
            QSqlDatabase d = QSqlDatabase::cloneDatabase(m_ligacao, QStringLiteral("posto-que-escreve"));
            QSqlQuery q(d);
            if (!d.open() || !q.exec(m_sqlite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"))
                || !q.exec(QStringLiteral("UPDATE ParamFirma SET Designacao = Designacao"))) {
                erro = textoErro(d.isOpen() ? q.lastError() : d.lastError());
                bloqueou.release();
                return;
            }
            bloqueou.release();
            comecou.tryAcquire(1, 30000);
            QThread::msleep(200);
            if (!q.exec(QStringLiteral("COMMIT")))
                erro = textoErro(q.lastError());
            q = QSqlQuery();
            d.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("posto-que-escreve"));
    }

private:
    QString m_ligacao;
    bool m_sqlite;
};
} // namespace

class TstSnc : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { MOLVAR_REQUER_BASE(); }

    // The rewrite of one stored value.
    void regraDaConta()
    {
        const TabelaSnc t { { "221", "2711" }, { "22", "2311" }, { "6a", "7" }, { "2218", "27" }, { "9", QString(23, '1') },
            { "8", "8 123456789012345678901" } };
        auto conv = [&](const QString &v) { return converteContaSnc(v, t); };
        // The longest prefix wins; the suffix stays in characters 18 to 22.
        QCOMPARE(conv("22111" + b(12) + "00001").valor, "271111" + b(11) + "00001");
        QCOMPARE(conv("22111" + b(17)).valor, QStringLiteral("271111"));
        QCOMPARE(conv("22999" + b(17)).valor, QStringLiteral("231199"));
        QVERIFY(conv("22999").mudou);
        // A value shorter than 22 characters has no suffix: its end is not repeated.
        QCOMPARE(conv("22111").valor, QStringLiteral("271111"));
        // An SNC code shorter than the prefix: the suffix stays in place, nothing of it in the account.
        QCOMPARE(conv("22189" + b(12) + "00002").valor, "279" + b(14) + "00002");
        // No prefix, an empty value, letter case, a leading blank of the table's codes.
        for (const QString &v : { "41000" + b(17), QString(), b(22), QStringLiteral("6A1"), QStringLiteral("   ") }) {
            const ContaSnc c = conv(v);
            QVERIFY2(c.ok() && !c.mudou && c.valor == v, qPrintable(v));
        }
        QCOMPARE(conv("6a1").valor, QStringLiteral("71"));
        // A new code that cannot be stored is an error, never cut.
        QVERIFY(!conv("91").ok());
        // Too long by one, with a blank: that one blank goes.
        QCOMPARE(conv("8").valor, QStringLiteral("8123456789012345678901"));
        // A "%1" in the value is not filled in with the limit.
        QVERIFY(conv("9%1").erro.endsWith("\"9%1\" passa a \"" + QString(23, '1') + "\", com mais de 22 caracteres"));
        QVERIFY(!conv("22111111111111111"
                      "00001")
                     .ok());
        // A new account of exactly 17 characters keeps its suffix.
        QCOMPARE(conv("22" + QString(14, '1') + b(1) + "00001").valor, "2711" + QString(13, '1') + "00001");
        QCOMPARE(tiraBrancos("\t 22 \t "), QStringLiteral("\t 22 \t"));
    }

    void conversao()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        MensagensEspia espia;
        a.sessao.msg = &espia;
        QSqlDatabase db = a.db();
        QVERIFY(criaFirma(db, "0001", "Um"));
        QVERIFY(criaFirma(db, "0002", "Dois"));
        QVERIFY(a.entra("0001", 2024, 6));
        a.criaBaseExterna("A");
        for (const auto &[poc, snc] : { std::pair { "221", " 2711 " }, std::pair { "22", "2311" }, std::pair { "27", "28" },
                 std::pair { "6a", "7" }, std::pair { "22", "9999" } })
            QVERIFY(corre(a.dbExterna(), "INSERT INTO SNC_Conv (contapoc, contasnc) VALUES (?, ?)", { poc, snc }));
        QVERIFY(linha(db, "0001", "22111" + b(12) + "00001", "22999" + b(17)));
        QVERIFY(linha(db, "0001", "22111", "41000"));
        QVERIFY(linha(db, "0002", "6a1", QVariant()));
        QVERIFY(linha(db, "0002", "6A1", "27"));
        QVERIFY(linha(db, "0002", QVariant(), "221"));
        const QStringList antes = contas(db);
        const QStringList depois { "0001|271111" + b(11) + "00001|231199", "0001|271111|41000", "0002|71|NULL", "0002|6A1|28",
            "0002|NULL|2711" };
        Session &s = a.sessao;

        // No: nothing changes, no closing message. A read left pending on the program's
        // connection (a window's list) is not disturbed by the conversion's rollback.
        QSqlQuery pendente(db);
        pendente.setForwardOnly(true);
        QVERIFY(executa(pendente, "SELECT CPocDeb FROM Molvar ORDER BY Chave"));
        QVERIFY(pendente.next());
        espia.responde(Mensagens::Resposta::Nao);
        QVERIFY(!ConverteSnc(s, nullptr));
        int lidas = 1;
        while (pendente.next())
            ++lidas;
        QVERIFY2(!pendente.lastError().isValid(), qPrintable(pendente.lastError().text()));
        QCOMPARE(lidas, 5);
        pendente.finish();
        QCOMPARE(espia.textos(), QStringList { "Deseja Concluir a Conversão SNC?" });
        QCOMPARE(espia.mostradas[0].titulo, QStringLiteral("TarvikGest"));
        QCOMPARE(espia.mostradas[0].botoes, Mensagens::Botoes::SimNao);
        QCOMPARE(espia.mostradas[0].icone, Mensagens::Icone::Pergunta);
        QCOMPARE(espia.espera, QStringLiteral("Conversão SNC|Tabela Molvar|5/5"));
        QCOMPARE(contas(db), antes);
        QCOMPARE(marcadas(db), 0);
        QVERIFY(!s.gSnc);

        // Yes: every row of every company, every company marked.
        espia.limpa();
        espia.responde(Mensagens::Resposta::Sim);
        QVERIFY(ConverteSnc(s, nullptr));
        QCOMPARE(espia.textos(), (QStringList { "Deseja Concluir a Conversão SNC?", "Conversão SNC Concluida!" }));
        QCOMPARE(espia.mostradas[1].icone, Mensagens::Icone::Nenhum);
        QCOMPARE(contas(db), depois);
        QCOMPARE(marcadas(db), 2);
        // The session's flag is what its login read: the next login reads the new one.
        QVERIFY(!s.gSnc);
        QTRY_VERIFY(![] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (qobject_cast<Espera *>(w))
                    return true;
            return false;
        }());

        // Again, after a company created since: converted rows are not converted twice
        // ("271111" would become "281111"), the new company's rows are.
        QVERIFY(criaFirma(db, "0003", "Três"));
        QVERIFY(linha(db, "0003", "2711", "22111"));
        espia.limpa();
        espia.responde(Mensagens::Resposta::Sim);
        QVERIFY(ConverteSnc(s, nullptr));
        QCOMPARE(espia.espera, QStringLiteral("Conversão SNC|Tabela Molvar|1/1"));
        QCOMPARE(contas(db), depois + QStringList { "0003|2811|271111" });
        QCOMPARE(marcadas(db), 3);
        // Nothing left to convert: the question still comes, the flags stay.
        espia.limpa();
        espia.responde(Mensagens::Resposta::Sim);
        QVERIFY(ConverteSnc(s, nullptr));
        QCOMPARE(contas(db), depois + QStringList { "0003|2811|271111" });
        QCOMPARE(espia.semRespostas, 0);
    }

    // Any error rolls everything back, before or after rows were rewritten.
    void erros()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QSqlDatabase db = a.db();
        QVERIFY(criaFirma(db, "0001", "Um"));
        QVERIFY(criaFirma(db, "0002", "Dois"));
        QVERIFY(a.entra("0001", 2024, 6));
        a.criaBaseExterna("A");
        QVERIFY(corre(
            a.dbExterna(), "INSERT INTO SNC_Conv (contapoc, contasnc) VALUES ('221', '2711'), ('9', ?)", { QString(23, '1') }));
        // Many rows, so that the failing one comes after blocks already rewritten.
        QVERIFY(corre(db,
            "INSERT INTO Molvar (Ref, CodFirma, Descr, Mes, Ano, Valor, CPocDeb, CPocCre) "
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 45000) "
            "SELECT i, CASE WHEN i % 2 = 0 THEN '0001' ELSE '0002' END, 'x', 1, 2024, 1, '221' || (i % 7), '41000' FROM n"));
        QVERIFY(linha(db, "0002", "2210", "91"));
        const QString convertidas = "SELECT COUNT(*) FROM Molvar WHERE CPocDeb LIKE '2711%'";

        a.msgs.responde(Mensagens::Resposta::Sim);
        QVERIFY(!ConverteSnc(a.sessao, nullptr));
        QCOMPARE(a.msgs.mostradas.size(), 1);
        QVERIFY2(a.msgs.ultimo().startsWith("Erro na Conversão SNC!\n\n") && a.msgs.ultimo().contains("\"91\"")
                && a.msgs.ultimo().endsWith("\n\nNada foi convertido."),
            qPrintable(a.msgs.ultimo()));
        QCOMPARE(conta(db, convertidas), 0);
        QCOMPARE(marcadas(db), 0);
        QVERIFY(!a.sessao.gSnc);

        // Without the offending rule every row is converted, across the blocks.
        QVERIFY(corre(a.dbExterna(), "DELETE FROM SNC_Conv WHERE contapoc = '9'"));
        a.msgs.limpa();
        a.msgs.responde(Mensagens::Resposta::Sim);
        QVERIFY(ConverteSnc(a.sessao, nullptr));
        QCOMPARE(conta(db, convertidas), 45001);
        QCOMPARE(conta(db, "SELECT COUNT(*) FROM Molvar WHERE CPocDeb LIKE '221%' OR CPocCre <> '41000' AND CPocCre <> '91'"), 0);
        QCOMPARE(conta(db, "SELECT COUNT(*) FROM Molvar WHERE CPocDeb = '27114' AND CodFirma = '0001'"), 45000 / 7 / 2 + 1);
        QCOMPARE(marcadas(db), 2);

        // A missing conversion table: nothing written, the database's text shown.
        QVERIFY(corre(db, "UPDATE ParamFirma SET SNC = 0"));
        QVERIFY(corre(db, "UPDATE Molvar SET CPocDeb = '2210'"));
        QVERIFY(corre(a.dbExterna(), "DROP TABLE SNC_Conv"));
        a.msgs.limpa();
        QVERIFY(!ConverteSnc(a.sessao, nullptr));
        QCOMPARE(a.msgs.mostradas.size(), 1);
        QVERIFY2(a.msgs.ultimo().startsWith("Erro na Conversão SNC!\n\n") && a.msgs.ultimo().contains("SNC_Conv"),
            qPrintable(a.msgs.ultimo()));
        QCOMPARE(conta(db, convertidas), 0);
        QCOMPARE(marcadas(db), 0);

        // A conversion table whose reading fails after its first rules: nothing converted by
        // part of them, the database's text shown.
        QVERIFY(corre(a.dbExterna(), "CREATE TABLE SNC_Regras (contapoc varchar(22), contasnc varchar(22))"));
        QVERIFY(corre(a.dbExterna(), "INSERT INTO SNC_Regras VALUES ('221', '2711'), ('2210', '2799'), ('2211', '2798')"));
        QVERIFY(corre(a.dbExterna(),
            Ambiente::usaPostgres() || Ambiente::modoExterno() == QLatin1String("odbc-pg")
                ? "CREATE VIEW SNC_Conv AS SELECT contapoc, CASE WHEN contapoc = '2210' THEN CAST(1 / 0 AS varchar) "
                  "ELSE contasnc END AS contasnc FROM SNC_Regras"
                : "CREATE VIEW SNC_Conv AS SELECT contapoc, CASE WHEN contapoc = '2210' THEN abs(-9223372036854775807 - 1) "
                  "ELSE contasnc END AS contasnc FROM SNC_Regras"));
        a.msgs.limpa();
        a.msgs.responde(Mensagens::Resposta::Sim);
        QVERIFY(!ConverteSnc(a.sessao, nullptr));
        QCOMPARE(a.msgs.mostradas.size(), 1);
        QVERIFY2(
            a.msgs.ultimo().startsWith("Erro na Conversão SNC!\n\nTabela de conversão SNC_Conv: ") && a.msgs.ultimo().size() > 60,
            qPrintable(a.msgs.ultimo()));
        QCOMPARE(conta(db, convertidas), 0);
        QCOMPARE(marcadas(db), 0);
        QVERIFY(corre(a.dbExterna(), "DROP VIEW SNC_Conv"));

        // The server ends the connection after the first blocks of the table have arrived,
        // as SQL Server sends them: half a table converts nothing either.
        if (Ambiente::modoExterno() == QLatin1String("odbc-pg")) {
            QVERIFY(corre(a.dbExterna(),
                "CREATE TABLE SNC_ConvDados AS SELECT '221'::varchar AS contapoc, '2711'::varchar AS contasnc, 0 AS n "
                "UNION ALL SELECT 'x' || n, 'y', n FROM generate_series(1, 300) n"));
            QVERIFY(corre(a.dbExterna(),
                "CREATE VIEW SNC_Conv AS SELECT contapoc, CASE WHEN n = 250 THEN "
                "CAST(pg_terminate_backend(pg_backend_pid()) AS text) ELSE contasnc END AS contasnc FROM SNC_ConvDados"));
            const QString ligacao = a.sessao.gLigacao2;
            a.sessao.gLigacao2 = ligacao + "UseDeclareFetch=1;Fetch=100;";
            a.msgs.limpa();
            QVERIFY(!ConverteSnc(a.sessao, nullptr));
            fechaLigacao(a.sessao.gLigacao2);
            a.sessao.gLigacao2 = ligacao;
            QCOMPARE(a.msgs.mostradas.size(), 1);
            QVERIFY2(
                a.msgs.ultimo().startsWith(
                    "Erro na Conversão SNC!\n\nTabela de conversão SNC_Conv: A ligação ao servidor de base de dados perdeu-se."),
                qPrintable(a.msgs.ultimo()));
            QCOMPARE(conta(db, convertidas), 0);
            QCOMPARE(marcadas(db), 0);
            QVERIFY(corre(a.dbExterna(), "DROP VIEW SNC_Conv"));
        }

        // An empty Molvar is no error, even without the conversion table, which no row needs:
        // the question comes and every company is marked.
        QVERIFY(corre(db, "DELETE FROM Molvar"));
        a.msgs.limpa();
        a.msgs.responde(Mensagens::Resposta::Nao);
        QVERIFY(!ConverteSnc(a.sessao, nullptr));
        QCOMPARE(a.msgs.textos(), QStringList { "Deseja Concluir a Conversão SNC?" });
        QCOMPARE(marcadas(db), 0);
        QVERIFY(corre(a.dbExterna(), "CREATE TABLE SNC_Conv (contapoc varchar(22), contasnc varchar(22))"));
        a.msgs.limpa();
        a.msgs.responde(Mensagens::Resposta::Sim);
        QVERIFY(ConverteSnc(a.sessao, nullptr));
        QCOMPARE(a.msgs.textos(), (QStringList { "Deseja Concluir a Conversão SNC?", "Conversão SNC Concluida!" }));
        QCOMPARE(marcadas(db), 2);

        // The server ends the session while the question is open (a restart): the COMMIT
        // that follows cannot have saved anything, and the message says so.
        if (Ambiente::usaPostgres()) {
            QVERIFY(corre(db, "UPDATE ParamFirma SET SNC = 0"));
            MensagensEspia espia;
            espia.aoMostrar = [&] {
                if (espia.mostradas.isEmpty())
                    corre(db,
                        "SELECT pg_terminate_backend(pid, 10000) FROM pg_stat_activity WHERE datname = current_database() "
                        "AND state = 'idle in transaction'");
            };
            espia.responde(Mensagens::Resposta::Sim);
            a.sessao.msg = &espia;
            QVERIFY(!ConverteSnc(a.sessao, nullptr));
            a.sessao.msg = &a.msgs;
            QVERIFY2(espia.ultimo().startsWith("Erro na Conversão SNC!\n\nA ligação ao servidor de base de dados perdeu-se a "
                                               "meio do trabalho: nada foi gravado."),
                qPrintable(espia.ultimo()));
            QCOMPARE(marcadas(db), 0);
        }
    }

    // While another workstation writes, the conversion (which reads before it writes) waits
    // for the lock instead of being refused at once.
    void escritaEsperaPeloBloqueio()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QSqlDatabase db = a.db();
        QVERIFY(umaLinhaPorConverter(a, "('221', '2711')"));

        PostoQueEscreve posto(db.connectionName(), !Ambiente::usaPostgres());
        posto.start();
        QVERIFY(posto.bloqueou.tryAcquire(1, 30000));
        QVERIFY2(posto.erro.isEmpty(), qPrintable(posto.erro));
        posto.comecou.release();
        a.msgs.responde(Mensagens::Resposta::Sim);
        const bool feita = ConverteSnc(a.sessao, nullptr);
        QVERIFY(posto.wait(30000));
        QVERIFY2(posto.erro.isEmpty(), qPrintable(posto.erro));
        QVERIFY2(feita, qPrintable(a.msgs.textos().join(" | ")));
        QCOMPARE(a.msgs.textos(), (QStringList { "Deseja Concluir a Conversão SNC?", "Conversão SNC Concluida!" }));
        QCOMPARE(contas(db), QStringList { "0001|271111|41000" });

        // Two workstations converting at once, held at their first write: the second waits
        // for the first, then finds nothing left to convert. Converted twice, 271111 would
        // become 69911, as 61111 does once. The keys span several blocks of 20 000, a negative
        // one and 0 among them, with a row on each side of the first boundary and the last key
        // just past a block's end: a block that overlaps the next, or a second run let in between
        // the first one's blocks, converts some rows twice; a loop that takes a key for "no rows",
        // or stops a block early, converts none or too few.
        QVERIFY(corre(db, "UPDATE ParamFirma SET SNC = 0"));
        QVERIFY(linha(db, "0001", "61111", "41000"));
        for (const auto &[chave, conta] : { std::pair { -7, "271111" }, std::pair { 0, "61111" }, std::pair { 19992, "271111" },
                 std::pair { 19993, "271111" }, std::pair { 39993, "271111" } })
            QVERIFY(corre(db,
                "INSERT INTO Molvar (Chave, Ref, CodFirma, Descr, Mes, Ano, Valor, CPocDeb, CPocCre) "
                "VALUES (?, 1, '0001', 'x', 1, 2024, 10, ?, '41000')",
                { chave, conta }));
        QVERIFY(corre(a.dbExterna(), "INSERT INTO SNC_Conv (contapoc, contasnc) VALUES ('2711', '611'), ('611', '699')"));
        {
            Barreira barreira(db, QStringLiteral("Molvar"));
            QVERIFY(barreira.activa());
            const QStringList tarefa { "snc", ligacaoParaOutroProcesso(a), a.sessao.gLigacao2, "0001" };
            Posto p1(tarefa), p2(tarefa);
            QVERIFY2(p1.pronto() && p2.pronto(), qPrintable(p1.saida() + p2.saida()));
            QVERIFY(barreira.esperaBloqueados(2));
            QVERIFY(barreira.liberta());
            QVERIFY2(p1.termina(), qPrintable(p1.saida()));
            QVERIFY2(p2.termina(), qPrintable(p2.saida()));
        }
        const QStringList convertidas { "0001|61111|41000", "0001|69911|41000", "0001|61111|41000", "0001|69911|41000",
            "0001|61111|41000", "0001|61111|41000", "0001|61111|41000" };
        QCOMPARE(contas(db), convertidas);
        QCOMPARE(marcadas(db), 1);

        if (Ambiente::usaPostgres()) {
            // Another workstation holds the rows the conversion will write, then asks for the
            // parameters the conversion holds: the server undoes the conversion, which says
            // another workstation is using the rows, and leaves everything as it was.
            QVERIFY(corre(db, "UPDATE ParamFirma SET SNC = 0"));
            QString erroPosto;
            QSemaphore bloqueou;
            std::unique_ptr<QThread> posto(QThread::create([&] {
                {
                    QSqlDatabase d = QSqlDatabase::cloneDatabase(db.connectionName(), QStringLiteral("posto-cruzado"));
                    QSqlQuery q(d);
                    auto corre = [&](const QString &sql) {
                        if (q.exec(sql))
                            return true;
                        erroPosto = textoErro(q.lastError());
                        return false;
                    };
                    bool ok = d.open() && corre("BEGIN") && corre("SET LOCAL deadlock_timeout = '60s'")
                        && corre("UPDATE Molvar SET Descr = Descr");
                    bloqueou.release();
                    for (int i = 0; ok && i < 1500; ++i) {
                        ok = corre("SELECT pg_stat_clear_snapshot()")
                            && corre("SELECT COUNT(*) FROM pg_stat_activity WHERE wait_event_type = 'Lock'") && q.next();
                        if (ok && q.value(0).toInt() > 0)
                            break;
                        QThread::msleep(20);
                    }
                    ok = ok && corre("UPDATE ParamFirma SET Designacao = Designacao") && corre("COMMIT");
                    q = QSqlQuery();
                    d.close();
                }
                QSqlDatabase::removeDatabase(QStringLiteral("posto-cruzado"));
            }));
            posto->start();
            QVERIFY(bloqueou.tryAcquire(1, 30000));
            a.msgs.limpa();
            a.msgs.responde(Mensagens::Resposta::Sim);
            QVERIFY(!ConverteSnc(a.sessao, nullptr));
            QVERIFY(posto->wait(30000));
            QVERIFY2(erroPosto.isEmpty(), qPrintable(erroPosto));
            QCOMPARE(a.msgs.mostradas.size(), 1);
            QVERIFY2(a.msgs.ultimo().startsWith(
                         "Erro na Conversão SNC!\n\nOutro posto de trabalho está a usar estes registos. Tente novamente"),
                qPrintable(a.msgs.ultimo()));
            QCOMPARE(contas(db), convertidas);
            QCOMPARE(marcadas(db), 0);
        }
    }

    // A statement of a block that the database refuses: its own reason reaches the message,
    // and nothing is written.
    void erroNoBlocoTemMotivo()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QSqlDatabase db = a.db();
        QVERIFY(umaLinhaPorConverter(a, "('221', '2711')"));
        if (Ambiente::usaPostgres()) {
            QVERIFY(corre(db,
                "CREATE FUNCTION molvar_recusa() RETURNS trigger LANGUAGE plpgsql AS "
                "$$ BEGIN RAISE EXCEPTION 'linha recusada pelo teste'; END $$"));
            QVERIFY(
                corre(db, "CREATE TRIGGER molvar_recusa BEFORE UPDATE ON Molvar FOR EACH ROW EXECUTE FUNCTION molvar_recusa()"));
        } else {
            QVERIFY(corre(db,
                "CREATE TRIGGER molvar_recusa BEFORE UPDATE ON Molvar BEGIN SELECT RAISE(ABORT, 'linha recusada pelo teste'); "
                "END"));
        }
        a.msgs.responde(Mensagens::Resposta::Sim);
        QVERIFY(!ConverteSnc(a.sessao, nullptr));
        QCOMPARE(a.msgs.mostradas.size(), 1);
        QVERIFY2(
            a.msgs.ultimo().startsWith("Erro na Conversão SNC!\n\n") && a.msgs.ultimo().contains("linha recusada pelo teste"),
            qPrintable(a.msgs.ultimo()));
        QCOMPARE(contas(db), QStringList { "0001|22111|41000" });
        QCOMPARE(marcadas(db), 0);
    }

    // Rows of a company without parameters cannot be marked converted: they are left alone at
    // every run and counted for the user before the closing question.
    void firmaSemParametros()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QSqlDatabase db = a.db();
        QVERIFY(umaLinhaPorConverter(a, "('221', '2711'), ('27', '28')"));
        QVERIFY(linha(db, "0009", "22111", "27"));
        const QString avisos[]
            = { QStringLiteral("1 linha de molvaralizações não foi convertida: a firma dela não tem parâmetros "
                               "(ParamFirma). Crie os parâmetros da firma e repita a conversão."),
                  QStringLiteral("2 linhas de molvaralizações não foram convertidas: a firma delas não tem parâmetros "
                                 "(ParamFirma). Crie os parâmetros da firma e repita a conversão.") };
        QStringList esperadas = { "0001|271111|41000", "0009|22111|27" };
        for (int vez = 0; vez < 2; ++vez) {
            if (vez == 1) {
                QVERIFY(linha(db, "0009", "41000", "41000"));
                esperadas << "0009|41000|41000";
            }
            a.msgs.limpa();
            a.msgs.responde(Mensagens::Resposta::Ok);
            a.msgs.responde(Mensagens::Resposta::Sim);
            QVERIFY(ConverteSnc(a.sessao, nullptr));
            QCOMPARE(
                a.msgs.textos(), (QStringList { avisos[vez], "Deseja Concluir a Conversão SNC?", "Conversão SNC Concluida!" }));
            QCOMPARE(contas(db), esperadas);
            QCOMPARE(marcadas(db), 1);
        }
        // Once the company has its parameters, its rows are converted, once.
        QVERIFY(criaFirma(db, "0009", "Nove"));
        for (int vez = 0; vez < 2; ++vez) {
            a.msgs.limpa();
            a.msgs.responde(Mensagens::Resposta::Sim);
            QVERIFY(ConverteSnc(a.sessao, nullptr));
            QCOMPARE(a.msgs.textos(), (QStringList { "Deseja Concluir a Conversão SNC?", "Conversão SNC Concluida!" }));
            QCOMPARE(contas(db), (QStringList { "0001|271111|41000", "0009|271111|28", "0009|41000|41000" }));
        }

        // Another workstation gives company 0005 its parameters while a conversion waits at its
        // first write: that run did not find 0005 unconverted, so it neither converts nor marks it.
        QVERIFY(corre(db, "UPDATE ParamFirma SET SNC = 0 WHERE CodFirma = '0001'"));
        QVERIFY(linha(db, "0005", "22111", "41000"));
        {
            Barreira barreira(db, QStringLiteral("Molvar"));
            QVERIFY(barreira.activa());
            Posto p({ "snc", ligacaoParaOutroProcesso(a), a.sessao.gLigacao2, "0001" });
            QVERIFY2(p.pronto(), qPrintable(p.saida()));
            QVERIFY(barreira.esperaBloqueados(1));
            QVERIFY(criaFirma(db, "0005", "Cinco"));
            QVERIFY(barreira.liberta());
            QVERIFY2(p.termina(), qPrintable(p.saida()));
        }
        // On SQLite the parameters came before the conversion could begin.
        const bool convertida = contas(db).contains("0005|271111|41000");
        QCOMPARE(convertida, !Ambiente::usaPostgres());
        QCOMPARE(conta(db, "SELECT COUNT(*) FROM ParamFirma WHERE CodFirma = '0005' AND SNC = 1"), convertida ? 1 : 0);
        a.msgs.limpa();
        a.msgs.responde(Mensagens::Resposta::Sim);
        QVERIFY(ConverteSnc(a.sessao, nullptr));
        QVERIFY(contas(db).contains("0005|271111|41000"));
        QCOMPARE(marcadas(db), 3);
    }
};

QTEST_MAIN(TstSnc)
#include "tst_snc.moc"
