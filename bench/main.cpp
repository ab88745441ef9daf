// Builds a database of accruals of a given size and times the heavy paths.
//   molvar_bench [--linhas N] [--firmas F] [--contas C] [--pg "Driver=PostgreSQL;Server=...;Port=...;Uid=...;"]
//                [--caminhos TEXTO]   (only the paths whose name contains TEXTO)
#include "bench.h"

#include "core/connection.h"
#include "core/inifile.h"
#include "core/mensagens.h"
#include "core/money.h"
#include "core/schema.h"

#include <QApplication>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>

namespace {
std::vector<BenchCaminho *> &registo()
{
    static std::vector<BenchCaminho *> r;
    return r;
}

class MensagensConsola : public Mensagens
{
public:
    Resposta mostra(const QString &texto, const QString &, Botoes b, Icone) override
    {
        std::fprintf(stderr, "[mensagem] %s\n", qPrintable(texto));
        return b == Botoes::Ok ? Resposta::Ok : b == Botoes::SimNao ? Resposta::Sim : Resposta::Ok;
    }
};

bool insereEmLotes(QSqlDatabase db, const QString &cabeca, int colunas, const std::function<bool(QVariantList &)> &proxima)
{
    // Multi-row inserts through one prepared statement, reused for every full batch.
    const int porLote = 100;
    const QString tuplo = QLatin1Char('(') + QStringList(colunas, QStringLiteral("?")).join(QLatin1Char(',')) + QLatin1Char(')');
    auto texto = [&](int linhas) { return cabeca + QStringList(linhas, tuplo).join(QLatin1Char(',')); };
    QSqlQuery cheio(db);
    if (!cheio.prepare(texto(porLote))) {
        std::fprintf(stderr, "erro: %s\n", qPrintable(textoErro(cheio.lastError())));
        return false;
    }
    QVariantList lote;
    int n = 0;
    while (proxima(lote)) {
        if (++n == porLote) {
            for (int i = 0; i < lote.size(); ++i)
                cheio.bindValue(i, lote[i]);
            if (!cheio.exec()) {
                std::fprintf(stderr, "erro: %s\n", qPrintable(textoErro(cheio.lastError())));
                return false;
            }
            lote.clear();
            n = 0;
        }
    }
    if (n == 0)
        return true;
    QSqlQuery resto(db);
    QString erro;
    if (!executa(resto, texto(n), lote, &erro)) {
        std::fprintf(stderr, "erro: %s\n", qPrintable(erro));
        return false;
    }
    return true;
}
} // namespace

BenchCaminho::BenchCaminho(const char *n, std::function<void(BenchContexto &)> f)
    : nome(n)
    , corre(std::move(f))
{
    registo().push_back(this);
}

void relata(const QString &caminho, qint64 linhas, double segundos)
{
    // Below a millisecond a rate says nothing.
    if (segundos < 0.001)
        std::printf(
            "%-44s %10lld linhas %9.3f s %12s linhas/s\n", qPrintable(caminho), static_cast<long long>(linhas), segundos, "-");
    else
        std::printf("%-44s %10lld linhas %9.3f s %12.0f linhas/s\n", qPrintable(caminho), static_cast<long long>(linhas),
            segundos, linhas / segundos);
    std::fflush(stdout);
}

int main(int argc, char *argv[])
{
    qputenv("MOLVAR_NO_OPEN", "1");
    // The .xls reader's helper is built beside the program, not beside the benchmarks.
    if (!qEnvironmentVariableIsSet("MOLVAR_LEITORXLS"))
        qputenv("MOLVAR_LEITORXLS", MOLVAR_LEITORXLS);
    // Windows are timed without a display.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    BenchContexto ctx;
    BenchOpcoes &o = ctx.opcoes;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--linhas"))
            o.linhas = args[i + 1].toLongLong();
        else if (args[i] == QLatin1String("--firmas"))
            o.firmas = qMax(1, args[i + 1].toInt());
        else if (args[i] == QLatin1String("--contas"))
            o.contasPorFirma = qMax(1, args[i + 1].toInt());
        else if (args[i] == QLatin1String("--caminhos"))
            o.caminhos = args[i + 1];
        else if (args[i] == QLatin1String("--pg")) {
            o.backend = QStringLiteral("pg");
            o.servidorPg = args[i + 1];
        }
    }
    // A child of the memory path, in the parent's folder and database.
    if (args.size() == 3 && args[1] == QLatin1String("--memoria-importacao"))
        return memoriaImportacao(args[2]);
    // A workstation of the two-workstation path, on the parent's database.
    if (args.value(1) == QLatin1String("--posto"))
        return postoBench(args.mid(1));
    QTemporaryDir dir;
    qputenv("MOLVAR_HOME", dir.path().toUtf8());
    garanteIni(nullptr);
    QString ligacao = QStringLiteral("Driver=SQLite;Database=molvar.db;");
    if (o.backend == QLatin1String("pg")) {
        QString s = o.servidorPg;
        if (!s.endsWith(QLatin1Char(';')))
            s += QLatin1Char(';');
        ligacao = s + QStringLiteral("Database=molvar_bench_%1;").arg(QCoreApplication::applicationPid());
    }
    GravaIni(QStringLiteral("DATABASE1"), QStringLiteral("Connect_sql"), ligacao);
    GravaIni(QStringLiteral("DATABASE1"), QStringLiteral("Connect_sql1"), QString());
    MensagensConsola msgs;
    ctx.sessao.carregaConfiguracao();
    ctx.sessao.msg = &msgs;
    ctx.sessao.abrirFolhas = false;

    std::printf("molvar_bench: %lld linhas, %d firmas, %d contas por firma, %s\n", static_cast<long long>(o.linhas), o.firmas,
        o.contasPorFirma, qPrintable(o.backend));
    QElapsedTimer t;
    t.start();
    QString erro;
    if (!criaBaseDados(ctx.sessao.gLigacao1, &erro)) {
        std::fprintf(stderr, "%s\n", qPrintable(erro));
        return 1;
    }
    relata(QStringLiteral("criação da base (tabelas)"), 0, t.elapsed() / 1000.0);
    QSqlDatabase db = abreLigacao(ctx.sessao.gLigacao1);

    // Companies and their charts: accounts of classes 2 and 6 over two years, some cost centres.
    t.restart();
    db.transaction();
    int f = 0, c = 0;
    const int anos[] = { 2023, 2024 };
    insereEmLotes(db,
        QStringLiteral("INSERT INTO ParamFirma (CodFirma, Designacao, Analitica, Planos_Ext, Ana_Ext, SNC) VALUES "), 6,
        [&](QVariantList &l) {
            if (f >= o.firmas)
                return false;
            l << QStringLiteral("%1").arg(f + 1, 4, 10, QLatin1Char('0')) << QStringLiteral("Firma %1, Lda").arg(f + 1)
              << QStringLiteral("6*7") << 0 << 1 << 0;
            ++f;
            return true;
        });
    qint64 contas = 0;
    f = 0;
    int a = 0;
    insereEmLotes(db, QStringLiteral("INSERT INTO PlanoContas (CodFirma, CodExercicio, Conta, Lancadora, Designacao) VALUES "), 5,
        [&](QVariantList &l) {
            if (c >= o.contasPorFirma) {
                c = 0;
                if (++a == 2) {
                    a = 0;
                    ++f;
                }
            }
            if (f >= o.firmas)
                return false;
            const QString conta = QStringLiteral("%1%2").arg(c % 2 ? 6 : 2).arg(221 + c, 5, 10, QLatin1Char('0'));
            l << QStringLiteral("%1").arg(f + 1, 4, 10, QLatin1Char('0')) << QString::number(anos[a]) << conta << (c % 10 ? 1 : 0)
              << QStringLiteral("Conta %1 da firma %2").arg(conta).arg(f + 1);
            ++c;
            ++contas;
            return true;
        });
    db.commit();
    relata(QStringLiteral("criação dos planos de contas"), contas, t.elapsed() / 1000.0);

    // Accruals of 12 months; company i holds a share proportional to (i + 1), so the last
    // company is the biggest.
    t.restart();
    db.transaction();
    const qint64 peso = static_cast<qint64>(o.firmas) * (o.firmas + 1) / 2;
    qint64 feitas = 0, ref = 0, mesNaRef = 12, firma = 0, daFirma = 0;
    qint64 quotaFirma = o.linhas * 1 / peso;
    const QString descricoes[]
        = { QStringLiteral("Seguro automóvel"), QStringLiteral("Renda do armazém"), QStringLiteral("Avença contabilidade"),
              QStringLiteral("Licenças de software"), QStringLiteral("Manutenção 50% O'Brien") };
    insereEmLotes(db,
        QStringLiteral("INSERT INTO Molvar (Ref, CodFirma, Descr, Ndoc, Mes, Ano, Valor, Valor_Ori, Moeda, CPocDeb, CPocCre, "
                       "Analitica, TTCTB) VALUES "),
        13, [&](QVariantList &l) {
            if (feitas >= o.linhas)
                return false;
            if (daFirma >= quotaFirma && firma + 1 < o.firmas) {
                ++firma;
                daFirma = 0;
                quotaFirma = o.linhas * (firma + 1) / peso;
                mesNaRef = 12;
            }
            if (mesNaRef == 12) {
                ++ref;
                mesNaRef = 0;
            }
            const int mes = static_cast<int>(mesNaRef) + 1;
            const Centimos total = 120000 + (ref % 977) * 100 + ref % 7;
            const Centimos mensal = total / 12;
            const Centimos valor = mes == 12 ? total - mensal * 11 : mensal;
            l << ref << QStringLiteral("%1").arg(firma + 1, 4, 10, QLatin1Char('0')) << descricoes[ref % 5]
              << QStringLiteral("FT%1").arg(ref % 100000) << mes << 2024 << centimosParaDecimal(valor)
              << centimosParaDecimal(total) << QStringLiteral("EUR")
              << QStringLiteral("6%1").arg(221 + ref % 200, 5, 10, QLatin1Char('0'))
              << QStringLiteral("2%1").arg(221 + ref % 200, 5, 10, QLatin1Char('0'))
              << (ref % 3 ? QStringLiteral("CC%1").arg(ref % 20) : QString())
              << (mes <= 6 ? QStringLiteral("1") : QStringLiteral("0"));
            ++mesNaRef;
            ++feitas;
            ++daFirma;
            return true;
        });
    db.commit();
    const double s = t.elapsed() / 1000.0;
    relata(QStringLiteral("criação das linhas de Molvar"), feitas, s);
    {
        QSqlQuery q(db);
        q.exec(QStringLiteral("ANALYZE"));
    }
    ctx.maiorFirma = QStringLiteral("%1").arg(o.firmas, 4, 10, QLatin1Char('0'));
    ctx.linhasMaiorFirma = daFirma;
    ctx.sessao.gCodFirma = ctx.maiorFirma;
    ctx.sessao.gNomeFirma = QStringLiteral("Firma %1, Lda").arg(o.firmas);
    ctx.sessao.gAno = 2024;
    ctx.sessao.gMes = 12;
    ctx.sessao.gDataProc = QStringLiteral("31-12-2024");
    ctx.sessao.gAnaExt = true;
    ctx.sessao.gAnaliticaAtiva = true;
    ctx.sessao.gLogin = QStringLiteral("admin");
    ctx.sessao.gNomeUtilizador = QStringLiteral("Administrador");
    std::printf("maior firma: %s com %lld linhas\n", qPrintable(ctx.maiorFirma), static_cast<long long>(ctx.linhasMaiorFirma));

    for (BenchCaminho *c : registo())
        if (QString::fromUtf8(c->nome).contains(o.caminhos))
            c->corre(ctx);

    db = QSqlDatabase(); // the last handle, so the connection can be closed
    fechaTodasLigacoes();
    if (o.backend == QLatin1String("pg")) {
        QString adm = o.servidorPg;
        if (!adm.endsWith(QLatin1Char(';')))
            adm += QLatin1Char(';');
        adm += QStringLiteral("Database=postgres;");
        {
            QSqlQuery q(abreLigacao(adm));
            q.exec(
                QStringLiteral("DROP DATABASE IF EXISTS molvar_bench_%1 WITH (FORCE)").arg(QCoreApplication::applicationPid()));
        }
        fechaTodasLigacoes();
    }
    return 0;
}
