#include "charts/importaplanos.h"
#include "core/connection.h"
#include "core/mensagens.h"
#include "core/odbc.h"
#include "support/ambiente.h"
#include "support/fixtures.h"

#include <QDir>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QtTest>

#include <xlsxwriter.h>

// Base externa: daBaseExterna falhasDaBaseExterna

namespace {
using Folha = QList<QVariantList>; // rows from row 1; an invalid QVariant leaves the cell empty

// A workbook written with libxlsxwriter: numbers, Booleans and texts as given.
bool escreveLivro(const QString &caminho, const QList<Folha> &folhas)
{
    lxw_workbook *wb = workbook_new(caminho.toUtf8().constData());
    if (!wb)
        return false;
    bool ok = true;
    for (const Folha &f : folhas) {
        lxw_worksheet *ws = workbook_add_worksheet(wb, nullptr);
        for (int r = 0; r < f.size(); ++r)
            for (int c = 0; c < f[r].size(); ++c) {
                const QVariant &v = f[r][c];
                if (!v.isValid())
                    continue;
                lxw_error e;
                if (v.typeId() == QMetaType::Bool)
                    e = worksheet_write_boolean(ws, r, c, v.toBool(), nullptr);
                else if (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::Double)
                    e = worksheet_write_number(ws, r, c, v.toDouble(), nullptr);
                else
                    e = worksheet_write_string(ws, r, c, v.toString().toUtf8().constData(), nullptr);
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
        QVERIFY(!ImportaPlanos(s, nullptr));
        QCOMPARE(a.msgs.textos(), QStringList { "Confirma Importação" });
        QCOMPARE(a.msgs.mostradas[0].botoes, Mensagens::Botoes::OkCancelar);
        QCOMPARE(a.msgs.mostradas[0].icone, Mensagens::Icone::Nenhum);
        QCOMPARE(a.msgs.mostradas[0].titulo, tituloAplicacao());
        QCOMPARE(linhas(a.db(), "PlanoContas"), contasAntes);

        // Cost centres off: accounts only; present codes keep their rows, a repeated code is added once.
        a.msgs.limpa();
        a.msgs.responde(Mensagens::Resposta::Ok);
        QVERIFY(ImportaPlanos(s, nullptr));
        // No message closes the import.
        QCOMPARE(a.msgs.textos(), QStringList { "Confirma Importação" });
        QCOMPARE(linhas(a.db(), "PlanoContas"),
            ordenada(QStringList { "0001|2023|6222|1|Ano anterior", "0001|2024|6221a|1|Caixa", "0001|2024|6221|1|Própria",
                "0001|2024|6222|1|Nova", "0001|2024|6223|0|Não lançadora", "0001|2024|6225|1|Repetida",
                "0001|2024|62'4|1|Com aspa" }));
        QCOMPARE(linhas(a.db(), "PlanoCCusto"), QStringList { "0001|2024|CC1|1|Própria" });

        // Again, with cost centres: only what is still missing.
        s.gAnaliticaAtiva = true;
        a.msgs.limpa();
        a.msgs.responde(Mensagens::Resposta::Ok);
        QVERIFY(ImportaPlanos(s, nullptr));
        QCOMPARE(a.msgs.textos(), QStringList { "Confirma Importação" });
        QCOMPARE(linhas(a.db(), "PlanoCCusto"), (QStringList { "0001|2024|CC1|1|Própria", "0001|2024|CC2|1|Loja" }));
        a.msgs.limpa();
        a.msgs.responde(Mensagens::Resposta::Ok);
        QVERIFY(!ImportaPlanos(s, nullptr));
        QCOMPARE(a.msgs.textos(), QStringList { "Confirma Importação" });

        // All or nothing: one row too long for its column refuses the whole import, on both databases.
        QVERIFY(corre(ext, conta, { "0001", "2024", "6300", 1, "Válida" }));
        QVERIFY(corre(ext, conta, { "0001", "2024", "6301", 1, QString(31, QLatin1Char('d')) }));
        const QStringList depois = linhas(a.db(), "PlanoContas");
        a.msgs.limpa();
        a.msgs.responde(Mensagens::Resposta::Ok);
        QVERIFY(!ImportaPlanos(s, nullptr));
        QVERIFY2(a.msgs.ultimo().contains("6301") && a.msgs.ultimo().contains("mais de 30 caracteres")
                && a.msgs.ultimo().contains("Nada foi importado"),
            qPrintable(a.msgs.ultimo()));
        QCOMPARE(linhas(a.db(), "PlanoContas"), depois);

        // No source, or the workbook not allowed: nothing after the question.
        for (const auto &[tipo, excel] : { std::pair { "", true }, std::pair { "X", false }, std::pair { "s", true } }) {
            s.gTipoImp = tipo;
            s.gImportaExcel = excel;
            a.msgs.limpa();
            a.msgs.responde(Mensagens::Resposta::Ok);
            QVERIFY(!ImportaPlanos(s, nullptr));
            QCOMPARE(a.msgs.textos(), QStringList { "Confirma Importação" });
        }

        // An outside database without the tables: a clear failure, nothing written.
        a.criaBaseExterna("S");
        s.gTipoImp = "S";
        a.msgs.limpa();
        a.msgs.responde(Mensagens::Resposta::Ok);
        QVERIFY(!ImportaPlanos(s, nullptr));
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
            QVERIFY2(!ImportaPlanos(s, nullptr), caso);
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
        if (servidor) {
            // The server ends the connection while it sends the cost centres, after the
            // accounts were read.
            QVERIFY(corre(ext, "ALTER TABLE PlanoCCusto RENAME TO PlanoCCustoDados"));
            QVERIFY(corre(ext,
                "CREATE VIEW PlanoCCusto AS SELECT CodFirma, CodExercicio, CCusto, Designacao, CASE WHEN CCusto = 'C150' "
                "THEN CAST(pg_terminate_backend(pg_backend_pid()) AS integer) ELSE Lancador END AS Lancador "
                "FROM PlanoCCustoDados"));
            falha("servidor", "connection");
            // Once the server is back the next import reads again, without a restart. Natively only
            // the ODBC connections are opened again so far.
            QVERIFY(corre(a.dbExterna(), "DROP VIEW PlanoCCusto"));
            QVERIFY(corre(a.dbExterna(), "ALTER TABLE PlanoCCustoDados RENAME TO PlanoCCusto"));
            if (eOdbc(a.dbExterna())) {
                a.msgs.limpa();
                a.msgs.responde(Mensagens::Resposta::Ok);
                QVERIFY(ImportaPlanos(s, nullptr));
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
        QVERIFY(!ImportaPlanos(s, nullptr));
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM PlanoContas"), 2);

        a.msgs.limpa();
        a.msgs.responde(Mensagens::Resposta::Ok);
        QVERIFY(ImportaPlanos(s, nullptr));
        QCOMPARE(a.msgs.textos(), QStringList { "Confirma Importação" });
        const QStringList esperadas = ordenada({ "0001|2024|6221|1|Própria", "0001|2024|62211|1|Número",
            "0001|2024|6300|0|Aparada", "0001|2024|6301|0|", "0002|2024|6400|1|Da outra firma", "0002|2024|6401|1|Outra firma" });
        QCOMPARE(linhas(a.db(), "PlanoContas"), esperadas);
        QCOMPARE(linhas(a.db(), "PlanoCCusto"), (QStringList { "0001|2024|CC1|1|Loja", "0001|2024|CC2|0|Armazém" }));

        // Again: each row is looked for under its own company, so nothing is added twice.
        a.msgs.limpa();
        a.msgs.responde(Mensagens::Resposta::Ok);
        QVERIFY(!ImportaPlanos(s, nullptr));
        QCOMPARE(a.msgs.textos(), QStringList { "Confirma Importação" });
        QCOMPARE(linhas(a.db(), "PlanoContas"), esperadas);

        // An old ".xls" name reads the ".xlsx" of the same name; when neither exists, both are named.
        s.gImpXls = "planos.xls";
        QVERIFY(corre(a.db(), "DELETE FROM PlanoContas WHERE Conta = '6300'"));
        a.msgs.limpa();
        a.msgs.responde(Mensagens::Resposta::Ok);
        QVERIFY(ImportaPlanos(s, nullptr));
        QCOMPARE(a.msgs.textos(), QStringList { "Confirma Importação" });
        QCOMPARE(linhas(a.db(), "PlanoContas"), esperadas);
        const auto recusa = [&](const QString &esperado) {
            a.msgs.limpa();
            a.msgs.responde(Mensagens::Resposta::Ok);
            const bool mudou = ImportaPlanos(s, nullptr);
            return !mudou && a.msgs.textos() == QStringList { "Confirma Importação", esperado };
        };
        s.gImpXls = "outro.xls";
        QVERIFY(recusa(QStringLiteral("O ficheiro %1/outro.xls não existe (nem %1/outro.xlsx)").arg(pasta)));
        s.gImpXls = "outro.xlsx";
        QVERIFY(recusa(QStringLiteral("O ficheiro %1/outro.xlsx não existe").arg(pasta)));
        QFile velho(pasta + "/velho.xls");
        QVERIFY(velho.open(QIODevice::WriteOnly));
        velho.close();
        s.gImpXls = "velho.xls";
        QVERIFY(
            recusa(QStringLiteral("O ficheiro %1/velho.xls está no formato antigo do Excel (.xls), que não é lido: grave-o como "
                                  "%1/velho.xlsx")
                       .arg(pasta)));

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
        QVERIFY(recusa(
            QStringLiteral("O ficheiro %1/mau.xlsx não pode ser importado: folha 1, linha 3: o indicador de conta lançadora "
                           "\"talvez\" não é válido (use 1 ou 0).\nNada foi importado.")
                .arg(pasta)));
        QVERIFY(escreveLivro(
            pasta + "/mau.xlsx", { { { "x" }, { "0001", "6600", 1, "Boa" }, { "0001", QString(23, '6'), 1, "Longa" } }, {} }));
        a.msgs.limpa();
        a.msgs.responde(Mensagens::Resposta::Ok);
        QVERIFY(!ImportaPlanos(s, nullptr));
        QVERIFY2(a.msgs.ultimo().contains("folha 1, linha 3") && a.msgs.ultimo().contains("mais de 22 caracteres"),
            qPrintable(a.msgs.ultimo()));
        QVERIFY(escreveLivro(pasta + "/mau.xlsx", { { { "x" }, { "0001", "6600", 1, "Boa" } } }));
        QVERIFY(recusa(
            QStringLiteral("O ficheiro %1/mau.xlsx não tem a folha 2 (centros de custo).\nNada foi importado.").arg(pasta)));
        QCOMPARE(linhas(a.db(), "PlanoContas"), esperadas);

        // An empty A2 reads nothing from that sheet; the other sheet is still read.
        QVERIFY(escreveLivro(
            pasta + "/mau.xlsx", { { { "x" }, { nada, "6700", 1, "Sem firma" } }, { { "x" }, { "0001", "CC3", 1, "Novo" } } }));
        a.msgs.limpa();
        a.msgs.responde(Mensagens::Resposta::Ok);
        QVERIFY(ImportaPlanos(s, nullptr));
        QCOMPARE(a.msgs.textos(), QStringList { "Confirma Importação" });
        QCOMPARE(linhas(a.db(), "PlanoContas"), esperadas);
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM PlanoCCusto WHERE CCusto = 'CC3' AND CodExercicio = '2024'"), 1);
        QCOMPARE(a.msgs.semRespostas, 0);
    }
};

QTEST_MAIN(TstImportacao)
#include "tst_importacao.moc"
