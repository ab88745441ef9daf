#include "bench.h"

#include "charts/importaplanos.h"
#include "core/connection.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <cstdio>

namespace {
const int kContas = 50000;
const int kCentros = 1000;

bool corre(QSqlDatabase db, const QString &sql, const QVariantList &v = {})
{
    QSqlQuery q(db);
    QString erro;
    if (executa(q, sql, v, &erro))
        return true;
    std::fprintf(stderr, "erro (%s): %s\n", qPrintable(sql.left(60)), qPrintable(erro));
    return false;
}

// Every row of both charts, read forward-only as the import reads them.
qint64 leTudo(const QString &ligacao, const QString &firma, const QString &ano)
{
    QString erro;
    QSqlDatabase db = abreLigacao(ligacao, &erro);
    qint64 n = 0;
    for (const char *tabela : { "PlanoContas", "PlanoCCusto" }) {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        const QString codigo = QLatin1String(tabela) == QLatin1String("PlanoContas") ? QStringLiteral("Conta, Lancadora")
                                                                                     : QStringLiteral("CCusto, Lancador");
        if (!executa(q,
                QStringLiteral("SELECT CodFirma, %1, Designacao FROM %2 WHERE CodFirma = ? AND CodExercicio = ?")
                    .arg(codigo, QLatin1String(tabela)),
                { firma, ano }, &erro)) {
            std::fprintf(stderr, "erro: %s\n", qPrintable(erro));
            return -1;
        }
        while (q.next())
            n += q.value(1).toString().isEmpty() ? 0 : 1;
    }
    return n;
}
} // namespace

// The chart import of 51,000 rows from an outside database on the PostgreSQL server, read
// natively and through the PostgreSQL ODBC driver ("PostgreSQL Unicode"), in the same run.
// Only with --pg; the rows added are removed after each import.
static BenchCaminho importacaoOdbc("importação da base externa: PostgreSQL nativo e ODBC", [](BenchContexto &ctx) {
    if (ctx.opcoes.backend != QLatin1String("pg"))
        return;
    Session &s = ctx.sessao;
    QString servidor = ctx.opcoes.servidorPg;
    if (!servidor.endsWith(QLatin1Char(';')))
        servidor += QLatin1Char(';');
    const QString base = QStringLiteral("molvar_bench_ext_%1").arg(QCoreApplication::applicationPid());
    const QString adm = servidor + QStringLiteral("Database=postgres;");
    if (!corre(abreLigacao(adm), QStringLiteral("CREATE DATABASE %1").arg(base)))
        return;
    const QString nativa = servidor + QStringLiteral("Database=%1;").arg(base);
    const DadosLigacao d = DadosLigacao::interpreta(nativa);
    const QString odbc = QStringLiteral("Driver={PostgreSQL Unicode};Server=%1;Port=%2;Database=%3;Uid=%4;Pwd=%5;")
                             .arg(d.servidor.isEmpty() ? QStringLiteral("127.0.0.1") : d.servidor)
                             .arg(d.porta > 0 ? d.porta : 5432)
                             .arg(base, d.utilizador, d.senha);
    const QString ano = QString::number(s.gAno);
    {
        QSqlDatabase ext = abreLigacao(nativa);
        const bool ok = corre(ext,
                            QStringLiteral("CREATE TABLE PlanoContas (CodFirma char(4), CodExercicio char(4), Conta varchar(22), "
                                           "Lancadora smallint, Designacao varchar(30))"))
            && corre(ext,
                QStringLiteral("CREATE TABLE PlanoCCusto (CodFirma char(4), CodExercicio char(4), CCusto varchar(16), "
                               "Lancador smallint, Designacao varchar(30))"))
            && corre(ext,
                QStringLiteral("INSERT INTO PlanoContas SELECT ?, ?, '7' || lpad(i::text, 7, '0'), (i % 7 <> 0)::int, "
                               "'Conta externa n.º ' || i FROM generate_series(0, %1) i")
                    .arg(kContas - 1),
                { s.gCodFirma, ano })
            && corre(ext,
                QStringLiteral("INSERT INTO PlanoCCusto SELECT ?, ?, 'E' || i, 1, 'Centro ' || i FROM generate_series(0, %1) i")
                    .arg(kCentros - 1),
                { s.gCodFirma, ano });
        if (!ok)
            return;
    }
    QSqlDatabase db = abreLigacao(s.gLigacao1);
    const QString ligacao2Antes = s.gLigacao2;
    const QString tipoAntes = s.gTipoImp;
    s.gTipoImp = QStringLiteral("S");
    s.gAnaliticaAtiva = true;
    for (const auto &[nome, ligacao] : { std::pair { "nativo", nativa }, std::pair { "ODBC", odbc } }) {
        const qint64 contasAntes = valorUnico(db, QStringLiteral("SELECT COALESCE(MAX(Id), 0) FROM PlanoContas")).toLongLong();
        const qint64 centrosAntes = valorUnico(db, QStringLiteral("SELECT COALESCE(MAX(Id), 0) FROM PlanoCCusto")).toLongLong();
        QElapsedTimer t;
        t.start();
        const qint64 lidas = leTudo(ligacao, s.gCodFirma, ano);
        relata(QStringLiteral("leitura da base externa, PostgreSQL %1").arg(QLatin1String(nome)), lidas, t.nsecsElapsed() / 1e9);
        s.gLigacao2 = ligacao;
        t.restart();
        ImportaPlanos(s);
        const double seg = t.nsecsElapsed() / 1e9;
        const qint64 importadas
            = valorUnico(db, QStringLiteral("SELECT COUNT(*) FROM PlanoContas WHERE Id > ?"), { contasAntes }).toLongLong()
            + valorUnico(db, QStringLiteral("SELECT COUNT(*) FROM PlanoCCusto WHERE Id > ?"), { centrosAntes }).toLongLong();
        relata(QStringLiteral("ImportaPlanos: PostgreSQL %1").arg(QLatin1String(nome)), importadas, seg);
        corre(db, QStringLiteral("DELETE FROM PlanoContas WHERE Id > ?"), { contasAntes });
        corre(db, QStringLiteral("DELETE FROM PlanoCCusto WHERE Id > ?"), { centrosAntes });
        fechaLigacao(ligacao);
    }
    s.gLigacao2 = ligacao2Antes;
    s.gTipoImp = tipoAntes;
    corre(abreLigacao(adm), QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(base));
});
