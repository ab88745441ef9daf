#include "bench.h"

#include "charts/importaplanos.h"
#include "core/connection.h"
#include "core/datacombo.h"
#include "core/leitorxlsx.h"
#include "core/mensagens.h"
#include "reports/totconta.h"

#include <QApplication>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QPushButton>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

namespace {

// Answers every box with its first choice and counts the boxes.
class MensagensContadas : public Mensagens
{
public:
    Resposta mostra(const QString &texto, const QString &, Botoes b, Icone) override
    {
        ++vezes;
        std::fprintf(stderr, "[posto %lld] %s\n", QCoreApplication::applicationPid(), qPrintable(texto));
        return b == Botoes::SimNao ? Resposta::Sim : Resposta::Ok;
    }
    int vezes = 0;
};

QString ligacaoParaPostos(const Session &s)
{
    const DadosLigacao d = DadosLigacao::interpreta(s.gLigacao1);
    if (d.tipo != DadosLigacao::Tipo::SQLite)
        return s.gLigacao1;
    return QStringLiteral("Driver=SQLite;Database=%1;").arg(d.ficheiroSqlite());
}

// Starts one worker per argument list and waits for all; false when one failed.
bool correPostos(const QList<QStringList> &tarefas)
{
    std::vector<std::unique_ptr<QProcess>> ps;
    for (const QStringList &t : tarefas) {
        ps.push_back(std::make_unique<QProcess>());
        ps.back()->setProcessChannelMode(QProcess::ForwardedChannels);
        ps.back()->start(QCoreApplication::applicationFilePath(), QStringList { QStringLiteral("--posto") } + t);
    }
    bool ok = true;
    for (auto &p : ps)
        ok = p->waitForFinished(-1) && p->exitStatus() == QProcess::NormalExit && p->exitCode() == 0 && ok;
    return ok;
}

int numero(QSqlDatabase db, const QString &sql, const QVariantList &params = {})
{
    QString erro;
    const QVariant v = valorUnico(db, sql, params, &erro);
    if (!erro.isEmpty())
        std::fprintf(stderr, "erro: %s\n", qPrintable(erro));
    return v.toInt();
}

} // namespace

int postoBench(const QStringList &args)
{
    // --posto totais <ligacao> <firma> <conta> <destino> | importa <ligacao> <externa> <firma> <ano>
    if (args.size() < 6)
        return 64;
    QTemporaryDir pasta;
    qputenv("MOLVAR_HOME", pasta.path().toUtf8());
    MensagensContadas msgs;
    Session s;
    s.msg = &msgs;
    s.abrirFolhas = false;
    s.gLigacao1 = args.at(2);
    s.gLogin = QStringLiteral("admin");
    s.gNomeUtilizador = QStringLiteral("Administrador");
    if (args.at(1) == QLatin1String("totais")) {
        s.gCodFirma = args.at(3);
        TotConta w(s);
        w.findChild<DataCombo *>(QStringLiteral("DataCombo1"))->setText(args.at(4));
        w.findChild<QDateEdit *>(QStringLiteral("DTPicker1"))->setDate(QDate(2024, 3, 1));
        w.findChild<QPushButton *>(QStringLiteral("ExportButton"))->click();
        QFile::remove(args.at(5));
        return !s.gExpCaminho.isEmpty() && QFile::copy(s.gExpCaminho, args.at(5)) ? 0 : 1;
    }
    if (args.at(1) == QLatin1String("importa") && args.size() == 6) {
        s.gLigacao2 = args.at(3);
        s.gCodFirma = args.at(4);
        s.gAno = static_cast<qint16>(args.at(5).toInt());
        s.gTipoImp = QStringLiteral("S");
        s.gAnaliticaAtiva = true;
        ImportaPlanos(s);
        return msgs.vezes == 1 ? 0 : 1; // only "Confirma Importação"
    }
    return 64;
}

// Two workstations at once, as two processes: two totals exports of the same user (each
// workbook must hold only its own account), and two imports of the same chart (each code
// must be added once).
static BenchCaminho postos("dois postos", [](BenchContexto &ctx) {
    Session &s = ctx.sessao;
    QSqlDatabase db = abreLigacao(s.gLigacao1);
    const QString ligacao = ligacaoParaPostos(s);
    QTemporaryDir pasta;
    QString erro;

    // Two accounts of 50 000 movements each, copied from the company's rows.
    const QString contas[] = { QStringLiteral("699998"), QStringLiteral("699997") };
    for (const QString &c : contas) {
        QSqlQuery q(db);
        if (!executa(q,
                QStringLiteral(
                    "INSERT INTO Molvar (Ref, CodFirma, Descr, Ndoc, Mes, Ano, Valor, Valor_Ori, Moeda, CPocDeb, "
                    "CPocCre, Analitica, TTCTB) SELECT Ref, CodFirma, Descr, Ndoc, Mes, Ano, Valor, Valor_Ori, Moeda, "
                    "?, CPocCre, Analitica, TTCTB FROM Molvar WHERE CodFirma = ? AND Ano = 2024 AND Mes > 3 LIMIT 50000"),
                { c, s.gCodFirma }, &erro)) {
            std::fprintf(stderr, "erro: %s\n", qPrintable(erro));
            return;
        }
    }
    // A small company has fewer rows than that to copy: each account's own count is expected.
    QHash<QString, int> esperadas;
    for (const QString &c : contas)
        esperadas[c] = numero(db,
            QStringLiteral(
                "SELECT COUNT(*) FROM Molvar WHERE CodFirma = ? AND CPocDeb = ? AND ((Ano = 2024 AND Mes > 3) OR Ano > 2024)"),
            { s.gCodFirma, c });
    const int rondas = 3;
    int alheias = 0, faltas = 0, falhas = 0, prefixosRepetidos = 0;
    QElapsedTimer t;
    t.start();
    for (int r = 0; r < rondas; ++r) {
        QList<QStringList> tarefas;
        for (const QString &c : contas)
            tarefas << QStringList { QStringLiteral("totais"), ligacao, s.gCodFirma, c,
                QDir(pasta.path()).filePath(c + ".xlsx") };
        if (!correPostos(tarefas))
            ++falhas;
        for (const QString &c : contas) {
            LeitorXlsx x;
            if (!x.abre(QDir(pasta.path()).filePath(c + ".xlsx"), &erro)) {
                ++falhas;
                continue;
            }
            int proprias = 0;
            for (int l = 5; l <= x.ultimaLinha(1); ++l)
                x.valor(1, QStringLiteral("D%1").arg(l)).toString() == c ? ++proprias : ++alheias;
            faltas += qAbs(esperadas.value(c) - proprias);
        }
        prefixosRepetidos += numero(db,
            QStringLiteral("SELECT COUNT(*) - COUNT(DISTINCT RestContas) FROM RestAnal WHERE CodFirma = ? AND Utilizador = ?"),
            { s.gCodFirma, s.gNomeUtilizador });
    }
    relata(QStringLiteral("dois postos: Tot_conta exportar (%1 rondas)").arg(rondas),
        qint64(rondas) * (esperadas.value(contas[0]) + esperadas.value(contas[1])), t.elapsed() / 1000.0);
    std::printf("    misturado: %s (linhas alheias %d, em falta %d, prefixos repetidos %d, falhas %d)\n",
        alheias + faltas + prefixosRepetidos + falhas ? "SIM" : "não", alheias, faltas, prefixosRepetidos, falhas);

    // The same outside chart of 20 000 accounts imported by both at once, for a new year.
    const QString externa = QDir(pasta.path()).filePath(QStringLiteral("externa.db"));
    {
        QFile f(externa);
        f.open(QIODevice::WriteOnly);
    }
    const QString ligExterna = QStringLiteral("Driver=SQLite;Database=%1;").arg(externa);
    {
        QSqlDatabase ext = abreLigacao(ligExterna);
        QSqlQuery q(ext);
        ext.transaction();
        bool ok = executa(q,
                      QStringLiteral(
                          "CREATE TABLE PlanoContas (Id INTEGER PRIMARY KEY, CodFirma char(4), CodExercicio char(4), Conta "
                          "varchar(22), Lancadora smallint, Designacao varchar(30))"))
            && executa(q,
                QStringLiteral("CREATE TABLE PlanoCCusto (Id INTEGER PRIMARY KEY, CodFirma char(4), CodExercicio char(4), CCusto "
                               "varchar(16), Lancador smallint, Designacao varchar(30))"));
        for (int i = 0; ok && i < 20000; ++i)
            ok = executa(q,
                QStringLiteral("INSERT INTO PlanoContas (CodFirma, CodExercicio, Conta, Lancadora, Designacao) "
                               "VALUES (?, '2030', ?, 1, 'Importada')"),
                { s.gCodFirma, QStringLiteral("7%1").arg(i, 6, 10, QLatin1Char('0')) }, &erro);
        ext.commit();
        if (!ok) {
            std::fprintf(stderr, "erro: %s\n", qPrintable(erro));
            return;
        }
    }
    fechaLigacao(ligExterna);
    t.restart();
    const QStringList importa { QStringLiteral("importa"), ligacao, ligExterna, s.gCodFirma, QStringLiteral("2030") };
    const bool ok = correPostos({ importa, importa });
    const double segundos = t.elapsed() / 1000.0;
    const int linhas = numero(db, QStringLiteral("SELECT COUNT(*) FROM PlanoContas WHERE CodExercicio = '2030'"));
    const int distintas = numero(db,
        QStringLiteral("SELECT COUNT(*) FROM (SELECT DISTINCT CodFirma, Conta FROM PlanoContas WHERE CodExercicio = '2030') d"));
    relata(QStringLiteral("dois postos: ImportaPlanos (20 000 contas)"), linhas, segundos);
    std::printf("    duplicado: %s (%d linhas, %d distintas, %s)\n", linhas != distintas || distintas != 20000 ? "SIM" : "não",
        linhas, distintas, ok ? "ambos sem erro" : "um posto falhou");

    // The paths timed after this one find the database as it was.
    QSqlQuery q(db);
    if (!executa(q, QStringLiteral("DELETE FROM Molvar WHERE CodFirma = ? AND CPocDeb IN (?, ?)"),
            { s.gCodFirma, contas[0], contas[1] }, &erro)
        || !executa(q, QStringLiteral("DELETE FROM PlanoContas WHERE CodExercicio = '2030'"), {}, &erro))
        std::fprintf(stderr, "erro: %s\n", qPrintable(erro));
});
