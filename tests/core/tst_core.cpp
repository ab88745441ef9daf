#include "core/appfolder.h"
#include "core/connection.h"
#include "core/datacombo.h"
#include "core/datagrid.h"
#include "core/exportaexcel.h"
#include "core/folhaemescrita.h"
#include "core/guard.h"
#include "core/inifile.h"
#include "core/leitorxlsx.h"
#include "core/money.h"
#include "core/schema.h"
#include "core/senha.h"
#include "support/ambiente.h"
#include "support/fixtures.h"

#include <QCryptographicHash>
#include <QDialog>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QtTest>

#include <xlsxwriter.h>

#include <cerrno>
#include <cstddef>
#include <functional>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace {

using Falhas = QList<std::pair<int, int>>;

// Runs `f` on a thread of its own on which each system call of `falhas` fails with its error
// (0: succeeds doing nothing), as on a file system that lacks it.
bool semChamadas(const Falhas &falhas, const std::function<void()> &f)
{
    std::vector<sock_filter> p { BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)) };
    for (const auto &[nr, e] : falhas) {
        p.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<__u32>(nr), 0, 1));
        p.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | static_cast<__u32>(e)));
    }
    p.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    bool ok = false;
    std::thread t([&] {
        const sock_fprog prog { static_cast<unsigned short>(p.size()), p.data() };
        ok = ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &prog) == 0;
        if (ok)
            f();
    });
    t.join();
    return ok;
}

QByteArray conteudo(const QString &caminho)
{
    QFile f(caminho);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool escreve(const QString &caminho, const QByteArray &bytes)
{
    QFile f(caminho);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

struct Escrita {
    bool trancada = true;
    QString caminho;
};

// What an export does with its files, written by name as the workbook writer does.
Escrita escreveLivro(const QString &base, const Falhas &falhas = {})
{
    Escrita r;
    semChamadas(falhas, [&] {
        FolhaEmEscrita f;
        if (!f.cria(base, nullptr))
            return;
        r.trancada = f.trancada();
        f.removeSobras(base);
        if (escreve(f.nome(), "livro"))
            r.caminho = f.daNome(base, nullptr);
    });
    return r;
}

} // namespace

class TstCore : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { MOLVAR_REQUER_BASE(); }

    void criacaoDaBaseEIdempotencia()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        const QStringList tabelas = { "ContadorExport", "Copiamlv", "Diarios", "Molvar", "MolvarLastUse", "MenusMod", "Modexptxt",
            "ParamFirma", "PlanoCCusto", "PlanoContas", "RestAnal", "TotaisCpoc", "EUsers", "modexptxtdet" };
        for (const QString &t : tabelas)
            QVERIFY2(conta(a.db(), QStringLiteral("SELECT COUNT(*) FROM ") + t) >= 0, qPrintable(t));
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM EUsers WHERE Login = 'admin' AND Admin = 1"), 1);
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM ContadorExport"), 1);
        const int opcoes = conta(a.db(), "SELECT COUNT(*) FROM MenusMod");
        QVERIFY(opcoes > 14);
        for (int lista = 1; lista <= 14; ++lista)
            QVERIFY(conta(a.db(), "SELECT COUNT(*) FROM MenusMod WHERE TipoMenu = ?", { lista }) >= 2);
        // Codes the model editor relies on.
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM MenusMod WHERE TipoMenu = 4 AND Codigo = 0 AND Designacao = 'Fixo'"), 1);
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM MenusMod WHERE TipoMenu = 5 AND Codigo = 0 AND Designacao = 'Fixo'"), 1);
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM MenusMod WHERE TipoMenu IN (2, 3) AND Codigo IN (0, 1, 2)"), 6);
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM MenusMod WHERE TipoMenu IN (8, 14) AND Codigo = 2"), 2);

        // The stored password is a hash that the typed one matches.
        const QString guardado = valorUnico(a.db(), "SELECT passw FROM EUsers WHERE Login = 'admin'").toString();
        QVERIFY(guardado != QLatin1String(kSenhaAdminTeste));
        QVERIFY(confereSenha(QString::fromLatin1(kSenhaAdminTeste), guardado));
        QVERIFY(!confereSenha(QString::fromLatin1(kSenhaAdminAntiga), guardado));

        // Qt prints connection names in its warnings: none may be a digest of a string that
        // holds a password, which could be tested against guesses offline.
        for (const auto algoritmo : { QCryptographicHash::Md5, QCryptographicHash::Sha1, QCryptographicHash::Sha256 })
            QVERIFY(!a.db().connectionName().contains(
                QCryptographicHash::hash(a.sessao.gLigacao1.toUtf8(), algoritmo).toHex().left(8)));

        // Running it again changes nothing and fails in nothing; the administrator keeps his password.
        QString erro;
        QVERIFY2(criaBaseDados(a.sessao.gLigacao1, &erro, QStringLiteral("Outra-senha-1")), qPrintable(erro));
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM EUsers"), 1);
        QCOMPARE(valorUnico(a.db(), "SELECT passw FROM EUsers WHERE Login = 'admin'").toString(), guardado);
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM ContadorExport"), 1);
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM MenusMod"), opcoes);

        // Defaults: a new company never holds a Null flag; Moeda defaults to EUR; Chave is an identity.
        SQL_OK(a.db(), "INSERT INTO ParamFirma (CodFirma, Designacao) VALUES ('0001', 'Nova')");
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM ParamFirma WHERE Planos_Ext = 0 AND Ana_Ext = 0 AND SNC = 0"), 1);
        SQL_OK(a.db(), "INSERT INTO Molvar (Ref, CodFirma, Mes, Ano, Valor) VALUES (1, '0001', 1, 2024, 10)");
        SQL_OK(a.db(), "INSERT INTO Molvar (Ref, CodFirma, Mes, Ano, Valor) VALUES (1, '0001', 2, 2024, 10)");
        QCOMPARE(valorUnico(a.db(), "SELECT MIN(Moeda) FROM Molvar").toString(), QStringLiteral("EUR"));
        QCOMPARE(conta(a.db(), "SELECT COUNT(DISTINCT Chave) FROM Molvar"), 2);

        // Any user name (EUsers.Nome, 50 characters) fits the totals export's work table, also
        // on a database made when that column held 25: the set-up widens it.
        const QString nome(50, QLatin1Char('N'));
        if (Ambiente::usaPostgres())
            SQL_OK(a.db(), "ALTER TABLE RestAnal ALTER COLUMN Utilizador TYPE varchar(25)");
        QVERIFY2(criaBaseDados(a.sessao.gLigacao1, &erro), qPrintable(erro));
        SQL_OK(a.db(), "INSERT INTO EUsers (Login, passw, Nome) VALUES ('longo', 'x', ?)", nome);
        SQL_OK(a.db(), "INSERT INTO RestAnal (CodFirma, RestContas, Utilizador) VALUES ('0001', ?, ?)", QString(22, '6'), nome);
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM RestAnal WHERE Utilizador = ?", { nome }), 1);
    }

    void textoIntactoEComparacoesExactas()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QVERIFY(criaFirma(a.db(), "0001", "Firma"));
        const QString estranho = QStringLiteral("O'Neil 50% ação_\"x\"");
        QVERIFY(criaMolvaralizacao(a.db(), { "0001", 7, estranho, "D'1%", 1000, 1, 2024, 3, "6221", "2721", "", "0" }));
        QCOMPARE(valorUnico(a.db(), "SELECT Descr FROM Molvar WHERE Ref = ?", { 7 }).toString(), estranho);
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM Molvar WHERE Descr = ?", { estranho }), 1);

        // The fiscal year is a char(4) code compared as text on both databases.
        QVERIFY(criaConta(a.db(), "0001", 2024, "6221", "Trabalhos"));
        QVERIFY(criaConta(a.db(), "0001", 2023, "6222", "Antigo"));
        QCOMPARE(
            conta(a.db(), "SELECT COUNT(*) FROM PlanoContas WHERE CodFirma = ? AND CodExercicio = ?", { "0001", "2024" }), 1);

        // LIKE tells upper from lower case on both databases.
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM PlanoContas WHERE Designacao LIKE ?", { "trab%" }), 0);
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM PlanoContas WHERE Designacao LIKE ?", { "Trab%" }), 1);
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM Molvar WHERE Descr LIKE ?", { "%ação%" }), 1);
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM Molvar WHERE Descr LIKE ?", { "%AÇÃO%" }), 0);
        // A text holding NUL is never sent: PostgreSQL would get it cut short, SQLite's LIKE match all.
        QString erro;
        QVERIFY(
            !valorUnico(a.db(), "SELECT COUNT(*) FROM Molvar WHERE Descr LIKE ?", { QStringLiteral("x") + QChar(0) + "%" }, &erro)
                 .isValid());
        QVERIFY2(erro.contains(QStringLiteral("carácter nulo")), qPrintable(erro));
    }

    void ficheiroDeConfiguracoes()
    {
        Ambiente a(false);
        QCOMPARE(LeIni("Nada", "Chave", "omissão"), QStringLiteral("omissão"));
        QVERIFY(GravaIni("Configuracoes", "analitica", "sim"));
        QVERIFY(GravaIni("Configuracoes", "TipoImp", "X"));
        QVERIFY(GravaIni("configuracoes", "ANALITICA", "não"));
        QCOMPARE(LeIni("Configuracoes", "analitica"), QStringLiteral("não"));
        QCOMPARE(LeIni("Configuracoes", "TipoImp"), QStringLiteral("X"));
        QCOMPARE(ligacaoDaSeccao("DATABASE1"), a.sessao.gLigacao1);
        // Several keys in one write, every other key kept.
        QVERIFY(GravaIni({ { "DATABASE2", "Connect_sql", "Driver=SQLite;" }, { "DATABASE2", "Connect_sql1", "Database=ext.db;" },
            { "Configuracoes", "ImpXls", "planos.xlsx" } }));
        QCOMPARE(ligacaoDaSeccao("DATABASE2"), QStringLiteral("Driver=SQLite;Database=ext.db;"));
        QCOMPARE(LeIni("Configuracoes", "ImpXls"), QStringLiteral("planos.xlsx"));
        QCOMPARE(LeIni("Configuracoes", "analitica"), QStringLiteral("não"));
        QCOMPARE(ligacaoDaSeccao("DATABASE1"), a.sessao.gLigacao1);
        // A key is its section's only: one of the same name in a later section is neither read nor
        // overwritten for it.
        QVERIFY(GravaIni("Configuracoes", "Marca", "outra"));
        QVERIFY(LeIni("DATABASE1", "Marca", "nada") == QStringLiteral("nada"));
        QVERIFY(GravaIni("DATABASE1", "Marca", "minha"));
        QCOMPARE(LeIni("Configuracoes", "Marca"), QStringLiteral("outra"));
        // A folder written by hand without its slash gets one.
        QVERIFY(GravaIni("Configuracoes", "IxlsPath", "/dados/folhas"));
        a.sessao.carregaConfiguracao();
        QCOMPARE(a.sessao.gIxlsPath, QStringLiteral("/dados/folhas/"));
        // "não" keeps workbooks closed, written with its accent or without.
        QVERIFY(GravaIni("Configuracoes", "AbrirFolhas", "Nao"));
        const QByteArray semAbrir = qgetenv("MOLVAR_NO_OPEN");
        qunsetenv("MOLVAR_NO_OPEN");
        a.sessao.carregaConfiguracao();
        qputenv("MOLVAR_NO_OPEN", semAbrir);
        QVERIFY(!a.sessao.abrirFolhas);

        // A section that holds no key yet gets the key under its own heading.
        {
            QFile f(iniPath());
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write("[Vazia]\n[Outra]\nChave=outra\n");
        }
        QVERIFY(GravaIni("Vazia", "Chave", "minha"));
        QCOMPARE(LeIni("Vazia", "Chave"), QStringLiteral("minha"));

        // A fresh settings file points the own database at a SQLite file in the program's folder.
        QFile::remove(iniPath());
        QString msg;
        QCOMPARE(garanteIni(&msg), EstadoIni::Criado);
        QCOMPARE(ligacaoDaSeccao("DATABASE1"), QStringLiteral("Driver=SQLite;Database=molvar.db;"));
        QCOMPARE(DadosLigacao::interpreta(ligacaoDaSeccao("DATABASE1")).ficheiroSqlite(), appFolder() + "/molvar.db");
        QCOMPARE(garanteIni(&msg), EstadoIni::Ok);

        // A damaged file is reported and left as it was.
        {
            QFile f(iniPath());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray("\x00\x01garbage", 9));
        }
        QCOMPARE(garanteIni(&msg), EstadoIni::Danificado);
        QVERIFY(msg.contains(QStringLiteral("danificado")));
        QFile f(iniPath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll().size(), 9);
    }

    void pastaSemEscritaEBaseInacessivel()
    {
        Ambiente a(false);
        // A folder under a plain file can be neither created nor written, even by root.
        QFile bloqueio(a.pasta() + "/ficheiro");
        QVERIFY(bloqueio.open(QIODevice::WriteOnly));
        bloqueio.close();
        qputenv("MOLVAR_HOME", (a.pasta() + "/ficheiro/sub").toUtf8());
        QString erro;
        QVERIFY(!ensureAppFolder(&erro));
        QVERIFY(erro.contains(QStringLiteral("pasta da aplicação")));
        QVERIFY(!GravaIni("S", "k", "v", &erro));
        QVERIFY(!erro.isEmpty());
        erro.clear();
        QVERIFY(!GravaIni({ { "S", "k", "v" }, { "S", "k2", "v" } }, &erro));
        QVERIFY(!erro.isEmpty());
        QCOMPARE(garanteIni(&erro), EstadoIni::Erro);
        // A folder the program makes is its owner's only; one the user made keeps its mode.
        const auto aberta = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup
            | QFile::ReadOther | QFile::ExeOther;
        QVERIFY(QDir(a.pasta()).mkdir("dele") && QFile::setPermissions(a.pasta() + "/dele", aberta));
        qputenv("MOLVAR_HOME", (a.pasta() + "/dele/nova/molvar").toUtf8());
        QVERIFY2(ensureAppFolder(&erro), qPrintable(erro));
        const auto modo = [](const QString &p) { return QFileInfo(p).permissions() & ~QFile::Permissions(0x0700); };
        QCOMPARE(modo(a.pasta() + "/dele/nova/molvar"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(modo(a.pasta() + "/dele/nova"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(modo(a.pasta() + "/dele"), aberta);
        qputenv("MOLVAR_HOME", a.pasta().toUtf8());

        // Missing SQLite file, unknown driver, unreachable server: clear messages, no database made.
        // A full disk is said in the program's words; SQLite's page limit stands for it.
        {
            QSqlDatabase cheia = QSqlDatabase::addDatabase("QSQLITE", "cheia");
            cheia.setDatabaseName(a.pasta() + "/cheia.db");
            QVERIFY(cheia.open());
            QSqlQuery q(cheia);
            QVERIFY(q.exec("CREATE TABLE t (x)") && q.exec("PRAGMA max_page_count = 3"));
            QVERIFY(!q.exec("INSERT INTO t VALUES (randomblob(100000))"));
            QVERIFY2(textoErro(q.lastError()).startsWith("O disco onde está a base de dados não tem espaço livre."),
                qPrintable(textoErro(q.lastError())));
        }
        QSqlDatabase::removeDatabase("cheia");
        QVERIFY(!abreLigacao("Driver=SQLite;Database=naoexiste.db;", &erro).isValid());
        QVERIFY(erro.contains(QStringLiteral("não existe")));
        QVERIFY(!QFile::exists(a.pasta() + "/naoexiste.db"));
        QVERIFY(!abreLigacao("Driver=Access;Database=x;", &erro).isValid());
        QVERIFY(erro.contains(QStringLiteral("controlador")));
        QVERIFY(!abreLigacao("", &erro).isValid());
        QVERIFY(erro.contains(QStringLiteral("não está configurada")));
        QVERIFY(!abreLigacao("Driver=PostgreSQL;Server=127.0.0.1;Port=1;Database=x;Uid=u;", &erro).isValid());
        QVERIFY(erro.startsWith(QStringLiteral("Não foi possível abrir a base de dados")));
        QVERIFY(!criaBaseDados("Driver=PostgreSQL;Server=127.0.0.1;Port=1;Database=x;Uid=u;", &erro));
        QVERIFY(erro.contains(QStringLiteral("Não foi possível")));
    }

    void guardaDosMenus()
    {
        Ambiente a(false);
        Session &s = a.sessao;
        QVERIFY(!VerificaDadosInic(s));
        QCOMPARE(a.msgs.mostradas.size(), 1);
        QCOMPARE(a.msgs.ultimo(), QStringLiteral("Dados iniciais não inicializados!"));
        QCOMPARE(a.msgs.mostradas.last().titulo, QStringLiteral("Aviso"));
        QVERIFY(a.msgs.mostradas.last().icone == Mensagens::Icone::Exclamacao);
        s.gCodFirma = "0001";
        s.gAno = 2024;
        QVERIFY(!VerificaDadosInic(s)); // month still 0
        s.gMes = 5;
        QVERIFY(VerificaDadosInic(s));
        s.gAno = 0;
        QVERIFY(!VerificaDadosInic(s));
        QCOMPARE(a.msgs.mostradas.size(), 3);
    }

    void listaDeDados()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QVERIFY(criaFirma(a.db(), "0001", "Firma"));
        QVERIFY(criaConta(a.db(), "0001", 2024, "62", "Fornecimentos"));
        QVERIFY(criaConta(a.db(), "0001", 2024, "6221", "Trabalhos"));
        QDialog d;
        auto *c = new DataCombo(&d);
        QString erro;
        QVERIFY2(c->setRowSource(a.db(), "SELECT Conta, Designacao FROM PlanoContas WHERE CodFirma = ? ORDER BY Conta",
                     { "0001" }, "conta", "designacao", &erro),
            qPrintable(erro));
        QCOMPARE(c->rowCount(), 2);
        // Setting the text selects the row that shows it exactly; another text selects none.
        c->setText("6221");
        QCOMPARE(c->currentIndex(), 1);
        QCOMPARE(c->boundText().toString(), QStringLiteral("Trabalhos"));
        c->setText("622");
        QCOMPARE(c->text(), QStringLiteral("622"));
        QVERIFY(!c->boundText().isValid());
        // Typed over a chosen row, the text names its own row.
        c->setText("6221");
        c->lineEdit()->setText("62");
        QCOMPARE(c->boundText().toString(), QStringLiteral("Fornecimentos"));
        // Esc closes the dialog unless the window handles it in the list.
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        c->setFocus();
        QTest::keyClick(c, Qt::Key_Escape);
        QVERIFY(!d.isVisible());
        QCOMPARE(d.result(), int(QDialog::Rejected));
        d.show();
        QSignalSpy esc(c, &DataCombo::escapePressed);
        QTest::keyClick(c, Qt::Key_Escape);
        QCOMPARE(esc.count(), 1);
        QVERIFY(d.isVisible());

        // A grid that never had a query counts no rows, as does one that was cleared.
        DataGrid g;
        QCOMPARE(g.totalLinhas(), 0);
        QVERIFY(g.setQuery(a.db(), "SELECT Conta FROM PlanoContas", {}, &erro));
        QCOMPARE(g.totalLinhas(), 2);
        g.limpa();
        QCOMPARE(g.totalLinhas(), 0);
    }

    void dinheiroAoCentimo()
    {
        Centimos c = 0;
        QVERIFY(textoParaCentimos("1234,5", &c));
        QCOMPARE(c, 123450);
        QVERIFY(textoParaCentimos("-0.17", &c));
        QCOMPARE(c, -17);
        QVERIFY(textoParaCentimos("2,005", &c));
        QCOMPARE(c, 201);
        QVERIFY(!textoParaCentimos("12a", &c));
        QVERIFY(!textoParaCentimos("", &c));
        QVERIFY(!textoParaCentimos("1,2,3", &c));
        QCOMPARE(paraCentimos(QVariant(0.1)) + paraCentimos(QVariant(0.2)), 30);
        // Amounts just under their cent as doubles (0,29 is 28,999... cents), of either sign: rounded to it, never cut.
        const std::pair<double, Centimos> abaixo[]
            = { { 0.29, 29 }, { 0.57, 57 }, { 1.15, 115 }, { 4.35, 435 }, { -0.29, -29 }, { -1.15, -115 },
                  // Half a cent as written (2,675 is 267,4999... cents as a double): away from zero.
                  { 2.675, 268 }, { 1.005, 101 }, { -2.675, -268 } };
        for (const auto &[v, c] : abaixo)
            QCOMPARE(paraCentimos(QVariant(v)), c);
        QCOMPARE(formataCentimos(-123456), QStringLiteral("-1234,56"));
        QCOMPARE(centimosParaDecimal(5), QStringLiteral("0.05"));
    }

    void exportacaoParaFolhaDeCalculo()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QVERIFY(criaFirma(a.db(), "0001", "Firma Um, Lda"));
        QVERIFY(criaMolvaralizacao(a.db(), { "0001", 1, "Seguro", "F1", 10, 1, 2024, 1, "6261", "2721", "", "0" }));
        QVERIFY(criaMolvaralizacao(a.db(), { "0001", 2, "Renda", "F2", 20, 1, 2024, 2, "6262", "2721", "CC1", "0" }));
        QVERIFY(criaMolvaralizacao(a.db(), { "0001", 3, "Avença", "F3", 100, 3, 2024, 5, "6263", "2721", "", "1" }));
        Session &s = a.sessao;
        s.gNomeFirma = "Firma Um, Lda";
        s.gExpTipo = 2;
        s.gTipoExp = "X";
        s.gExpFicheiro = "0001ExportApagContab.xls";
        s.gExpSql = "SELECT ref, codFirma, descr AS \"Descrição\", valor, mes, ano, analitica FROM Molvar WHERE CodFirma = ? "
                    "ORDER BY ref, ano, mes";
        s.gExpParams = { "0001" };
        QVERIFY(ExportaExcel(s));
        QCOMPARE(s.gExpRegistos, 5);
        QCOMPARE(s.gExpCaminho, appFolder() + "/0001ExportApagContab.xlsx");
        QCOMPARE(a.msgs.textos(), QStringList { "A folha de cálculo foi gravada em " + QDir::toNativeSeparators(s.gExpCaminho) });

        // A desktop with no program for workbooks: the workbook is not handed to the opener
        // (which would start and show nothing), so it is announced as not opened.
        {
            QTemporaryDir bin;
            const QByteArray caminhoAntes = qgetenv("PATH");
            auto xdgMime = [&](const char *resposta) {
                QFile f(bin.filePath("xdg-mime"));
                QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
                f.write(QByteArray("#!/bin/sh\necho '") + resposta + "'\n");
                f.close();
                QVERIFY(f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
            };
            qputenv("PATH", bin.path().toLocal8Bit() + ':' + caminhoAntes);
            xdgMime("");
            const bool semPrograma = haProgramaParaFolhas();
            xdgMime("libreoffice-calc.desktop");
            const bool comPrograma = haProgramaParaFolhas();
            qputenv("PATH", caminhoAntes);
            QVERIFY(!semPrograma);
            QVERIFY(comPrograma);
        }

        LeitorXlsx x;
        QString erro;
        QVERIFY2(x.abre(s.gExpCaminho, &erro), qPrintable(erro));
        QCOMPARE(x.valor(1, "A1").toString(), QStringLiteral("Firma: Firma Um, Lda"));
        QCOMPARE(x.valor(1, "A2").toString(), QStringLiteral("Linhas por Integrar na Contabilidade em Formato Excel"));
        QVERIFY(!x.valor(1, "A3").isValid());
        QCOMPARE(x.valor(1, "A4").toString().toLower(), QStringLiteral("ref"));
        QCOMPARE(x.valor(1, "C4").toString(), QStringLiteral("Descrição"));
        QCOMPARE(x.valor(1, "D4").toString().toLower(), QStringLiteral("valor"));
        QCOMPARE(x.valor(1, "C5").toString(), QStringLiteral("Seguro"));
        QCOMPARE(x.valor(1, "D5").toDouble(), 0.1);
        QCOMPARE(x.valor(1, "G6").toString(), QStringLiteral("CC1"));
        QCOMPARE(x.valor(1, "D9").toDouble(), 0.34); // 1,00 over 3 months: 0,33 0,33 0,34
        // The total row covers the amounts, labelled in the column before them.
        QCOMPARE(x.valor(1, "C10").toString(), QStringLiteral("Soma:"));
        QCOMPARE(x.formula(1, "D10"), QStringLiteral("SUM(D5:D9)"));
        QCOMPARE(qRound(x.valor(1, "D10").toDouble() * 100), 130);
        QCOMPARE(x.valor(1, "D10").toString(), QStringLiteral("1.3"));
        QCOMPARE(x.ultimaLinha(1), 10);

        // 0,10 + 0,20 is exactly 0,30.
        s.gExpSql = "SELECT ref, valor FROM Molvar WHERE CodFirma = ? AND Ref IN (1, 2) ORDER BY ref";
        QVERIFY(ExportaExcel(s));
        QVERIFY(x.abre(s.gExpCaminho));
        QCOMPARE(x.valor(1, "A7").toString(), QStringLiteral("Soma:"));
        QCOMPARE(x.valor(1, "B7").toString(), QStringLiteral("0.3"));

        // An empty result: headings and a total of nothing.
        s.gExpSql = "SELECT ref, codFirma, valor FROM Molvar WHERE CodFirma = ?";
        s.gExpParams = { "9999" };
        QVERIFY(ExportaExcel(s));
        QCOMPARE(s.gExpRegistos, 0);
        QVERIFY(x.abre(s.gExpCaminho));
        QCOMPARE(x.valor(1, "C4").toString().toLower(), QStringLiteral("valor"));
        QCOMPARE(x.valor(1, "B5").toString(), QStringLiteral("Soma:"));
        QCOMPARE(x.valor(1, "C5").toDouble(), 0.0);

        // Kinds 1 and 3 carry their own titles and no total; "C" writes a plain sheet.
        s.gExpParams = { "0001" };
        s.gExpTipo = 3;
        s.gExpFicheiro = "totais.xls";
        QVERIFY(ExportaExcel(s));
        QVERIFY(x.abre(s.gExpCaminho));
        QCOMPARE(x.valor(1, "A2").toString(), QStringLiteral("Exportação de Totais por Conta em Formato Excel"));
        QCOMPARE(x.ultimaLinha(1), 4 + 5);
        s.gExpTipo = 1;
        s.gTipoExp = "C";
        s.gExpFicheiro = "simples";
        QVERIFY(ExportaExcel(s));
        QVERIFY(s.gExpCaminho.endsWith("/simples.xlsx"));
        QVERIFY(x.abre(s.gExpCaminho));
        QCOMPARE(x.valor(1, "A1").toString().toLower(), QStringLiteral("ref"));
        QCOMPARE(x.valor(1, "A2").toDouble(), 1.0);
        QCOMPARE(x.ultimaLinha(1), 6);

        // Another letter writes nothing; a failing query shows the database's text.
        s.gTipoExp = "D";
        s.gExpFicheiro = "nada";
        QVERIFY(!ExportaExcel(s));
        QVERIFY(!QFile::exists(appFolder() + "/nada.xlsx"));
        s.gTipoExp = "X";
        s.gExpSql = "SELECT semcoluna FROM Molvar";
        a.msgs.limpa();
        QVERIFY(!ExportaExcel(s));
        QCOMPARE(a.msgs.mostradas.size(), 1);
        QVERIFY(a.msgs.ultimo().startsWith(QStringLiteral("Não foi possível ler os dados")));
        QVERIFY(!QFile::exists(appFolder() + "/nada.xlsx"));
        // A failure of the writer is told in Portuguese, its own text after, and leaves no workbook.
        s.gExpSql = "SELECT CAST(? AS text) AS \"Texto\"";
        s.gExpParams = { QString(40000, QLatin1Char('x')) };
        a.msgs.limpa();
        QVERIFY(!ExportaExcel(s));
        QVERIFY2(a.msgs.ultimo().startsWith(QStringLiteral("Error: %1\n\nA folha de cálculo não foi gravada: um texto tem mais "
                                                           "de 32767 caracteres")
                                                .arg(LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED)),
            qPrintable(a.msgs.ultimo()));
        QVERIFY(!QFile::exists(appFolder() + "/nada.xlsx"));
        s.gExpParams = { "0001" };

        // Another user of a shared folder plants a link to a file of the user at each name the
        // export opens: the file stays whole.
        s.gExpSql = "SELECT ref FROM Molvar WHERE CodFirma = ?";
        s.gExpFicheiro = "ligada";
        const QString ligada = appFolder() + "/ligada";
        const QString vitima = a.pasta() + "/vitima";
        QVERIFY(escreve(vitima, "intacta") && QFile::link(vitima, ligada + ".xlsx"));
        QVERIFY(ExportaExcel(s));
        QCOMPARE(s.gExpCaminho, ligada + " (2).xlsx");
        QString movida;
        {
            FolhaEmEscrita f;
            QVERIFY(f.cria(ligada, nullptr));
            struct stat st {
            };
            QVERIFY(::stat(QFile::encodeName(f.pasta()).constData(), &st) == 0);
            QCOMPARE(st.st_mode & 0777, 0700u);
            // In a folder without the sticky bit he may rename the directory and put one of his
            // own at its name: the workbook is still written in the directory made.
            movida = f.pasta() + "-movida";
            QVERIFY(QDir().rename(f.pasta(), movida) && QDir().mkdir(f.pasta()));
            QVERIFY(QFile::link(vitima, f.pasta() + "/folha.xlsx"));
            QVERIFY(escreve(f.nome(), "livro"));
            QCOMPARE(f.daNome(ligada, nullptr), ligada + " (3).xlsx");
            QVERIFY(QDir(f.pasta()).removeRecursively());
        }
        QVERIFY(QDir().rmdir(movida));
        QCOMPARE(conteudo(ligada + " (3).xlsx"), QByteArray("livro"));
        // Without the no-replace rename (NFS, FUSE), a hard link takes the name, so that no rename
        // over an empty file there is needed; without hard links either, that is the last way.
        const Falhas semRenameat2 { { __NR_renameat2, EINVAL }, { __NR_rename, EPERM }, { __NR_renameat, EPERM } };
        QCOMPARE(escreveLivro(ligada, semRenameat2).caminho, ligada + " (4).xlsx");
        QCOMPARE(escreveLivro(ligada, { { __NR_renameat2, EINVAL }, { __NR_linkat, EPERM }, { __NR_link, EPERM } }).caminho,
            ligada + " (5).xlsx");
        QCOMPARE(conteudo(ligada + " (5).xlsx"), QByteArray("livro"));
        QCOMPARE(conteudo(vitima), QByteArray("intacta"));
        QCOMPARE(QFileInfo(ligada + ".xlsx").symLinkTarget(), vitima);
        QCOMPARE(QDir(appFolder()).entryList({ "ligada.xlsx.tmp.*" }, QDir::AllEntries | QDir::Hidden), QStringList());

        // Where locks fail (NFS without its lock service) or do nothing, an export goes on
        // without one, and takes no directory of another export for abandoned.
        const QString sobra = ligada + ".xlsx.tmp.Ab12cd";
        QVERIFY(QDir().mkdir(sobra) && escreve(sobra + "/tranca", ""));
        for (const int e : { ENOLCK, 0 }) {
            const Escrita r = escreveLivro(ligada, { { __NR_flock, e } });
            QVERIFY(!r.trancada);
            QCOMPARE(r.caminho, ligada + (e ? " (6).xlsx" : " (7).xlsx"));
        }
        QVERIFY(QFile::exists(sobra + "/tranca"));
        QVERIFY(escreveLivro(ligada).trancada);
        QVERIFY(!QFileInfo::exists(sobra));

        // A folder whose path holds "%1": the next free name is made in it, not from its path.
        const QString pasta = a.pasta() + "/a%1b";
        qputenv("MOLVAR_HOME", pasta.toUtf8());
        s.gExpFicheiro = "outra";
        QVERIFY(ExportaExcel(s) && ExportaExcel(s));
        qputenv("MOLVAR_HOME", a.pasta().toUtf8());
        QCOMPARE(s.gExpCaminho, pasta + "/outra (2).xlsx");
    }
};

QTEST_MAIN(TstCore)
#include "tst_core.moc"
