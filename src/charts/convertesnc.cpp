#include "charts/convertesnc.h"

#include "charts/contasnc.h"
#include "core/connection.h"
#include "core/espera.h"
#include "core/mensagens.h"
#include "core/session.h"
#include "core/transacao.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QScopedPointer>
#include <QSet>
#include <QSqlQuery>

#include <optional>

namespace {

const int kBloco = 20000;

// The rows to convert: those of the companies this run found not converted yet, listed in a
// work table when it began. A company without a ParamFirma row cannot be marked converted,
// so its rows are left alone (and counted for the user): otherwise every run would convert
// them again.
const QString kPorConverter = QStringLiteral("CodFirma IN (SELECT CodFirma FROM molvar_snc_firmas)");
const QString kDeixadas
    = QStringLiteral("NOT EXISTS (SELECT 1 FROM molvar_snc_firmas f WHERE f.CodFirma = Molvar.CodFirma) AND NOT EXISTS "
                     "(SELECT 1 FROM ParamFirma p WHERE p.CodFirma = Molvar.CodFirma AND p.SNC <> 0)");

struct Falha {
    QString texto;
};

// The conversion and its transaction run on a connection of their own, as a clone of the
// program's one: rolling back the work table on the shared connection would abort the
// pending reads of the windows that share it (SQLite aborts them when a rollback undoes a
// schema change), and nothing else written through it joins the transaction.
class LigacaoPropria
{
public:
    LigacaoPropria()
        : m_nome(QStringLiteral("molvar-snc-%1").arg(++s_contador))
    {
    }
    ~LigacaoPropria()
    {
        if (!m_aberta)
            return;
        QSqlDatabase::database(m_nome, false).close();
        QSqlDatabase::removeDatabase(m_nome);
    }
    LigacaoPropria(const LigacaoPropria &) = delete;
    LigacaoPropria &operator=(const LigacaoPropria &) = delete;

    QSqlDatabase abre(const QString &ligacao, QString *erro)
    {
        // The shared connection checks the string (and that a SQLite file exists).
        const QSqlDatabase base = abreLigacao(ligacao, erro);
        if (!base.isValid())
            return {};
        QSqlDatabase db = QSqlDatabase::cloneDatabase(base, m_nome);
        m_aberta = true;
        if (!db.open()) {
            *erro = QStringLiteral("Não foi possível abrir a base de dados: %1").arg(textoErro(db.lastError()));
            return {};
        }
        return db;
    }

private:
    static inline int s_contador = 0;
    QString m_nome;
    bool m_aberta = false;
};

bool carregaTabela(const QString &ligacao, TabelaSnc *tabela, QString *erro)
{
    QSqlDatabase db = abreLigacao(ligacao, erro);
    if (!db.isValid())
        return false;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!executa(q, QStringLiteral("SELECT contapoc, contasnc FROM SNC_Conv"), {}, erro))
        return false;
    while (q.next()) {
        const QString poc = tiraBrancos(q.value(0).toString());
        if (!poc.isEmpty() && !tabela->contains(poc))
            tabela->insert(poc, tiraBrancos(q.value(1).toString()));
    }
    // A read cut short would convert by part of the rules, and mark the companies converted.
    if (q.lastError().isValid()) {
        *erro = textoErro(q.lastError());
        return false;
    }
    return true;
}

void verifica(bool ok, const QString &erro)
{
    if (!ok)
        throw Falha { erro };
}

// Prepares a statement, then reads its error.
void prepara(QSqlQuery &q, const QString &sql)
{
    const bool ok = q.prepare(sql);
    verifica(ok, textoErro(q.lastError()));
}

// Runs a prepared statement, then reads its error: never both as arguments of one call,
// where the error could be read before the statement runs.
void executaPreparada(QSqlQuery &q)
{
    const bool ok = q.exec();
    verifica(ok, textoErro(q.lastError()));
}

// What one pass over the rows to convert gives: how many there are, every distinct account
// value on either side, and whether a side is empty (NULL) anywhere.
struct Contas {
    qint64 linhas = 0;
    QSet<QString> valores;
    bool nulos = false;
};

Contas leContas(QSqlDatabase db)
{
    QSqlQuery le(db);
    le.setForwardOnly(true);
    QString erro;
    // Grouped by the pair of accounts: one pass over the table, and a few thousand pairs, not
    // two million values, to read.
    verifica(executa(le,
                 QStringLiteral("SELECT CPocDeb, CPocCre, COUNT(*) FROM Molvar WHERE ") + kPorConverter
                     + QStringLiteral(" GROUP BY CPocDeb, CPocCre"),
                 {}, &erro),
        erro);
    Contas c;
    while (le.next()) {
        for (int i = 0; i < 2; ++i) {
            if (le.value(i).isNull())
                c.nulos = true;
            else
                c.valores.insert(le.value(i).toString());
        }
        c.linhas += le.value(2).toLongLong();
    }
    verifica(!le.lastError().isValid(), textoErro(le.lastError()));
    return c;
}

// The rows left alone because their company is neither converted nor to convert (it has no
// parameters). The companies are found through the index on CodFirma, one step each, so that
// the whole table is counted only when there are such rows.
qint64 contaDeixadas(QSqlDatabase db)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    QString erro;
    verifica(executa(q,
                 QStringLiteral("WITH RECURSIVE f(c) AS (SELECT MIN(CodFirma) FROM Molvar UNION ALL "
                                "SELECT (SELECT MIN(CodFirma) FROM Molvar WHERE CodFirma > f.c) FROM f WHERE f.c IS NOT NULL) "
                                "SELECT COUNT(*) FROM f WHERE f.c IS NOT NULL "
                                "AND NOT EXISTS (SELECT 1 FROM molvar_snc_firmas x WHERE x.CodFirma = f.c) "
                                "AND NOT EXISTS (SELECT 1 FROM ParamFirma p WHERE p.CodFirma = f.c AND p.SNC <> 0)"),
                 {}, &erro),
        erro);
    const bool lida = q.next();
    verifica(lida, textoErro(q.lastError()));
    if (q.value(0).toLongLong() == 0)
        return 0;
    q.finish();
    const QVariant n = valorUnico(db, QStringLiteral("SELECT COUNT(*) FROM Molvar WHERE ") + kDeixadas, {}, &erro);
    verifica(n.isValid(), erro);
    return n.toLongLong();
}

// Each distinct account value converted once in memory, and stored in the mapping table with
// its new value (the same when it does not change), so that each block is rewritten by
// joining the mapping on either side. False when no value changes.
bool preencheMapa(QSqlDatabase db, const QSet<QString> &valores, const TabelaSnc &tabela)
{
    QVariantList pares;
    bool mudam = false;
    for (const QString &v : valores) {
        const ContaSnc c = converteContaSnc(v, tabela);
        if (!c.ok())
            throw Falha { c.erro };
        mudam = mudam || c.mudou;
        pares << v << c.valor;
    }
    if (!mudam)
        return false;
    // Several pairs per statement: one round trip per few hundred accounts.
    const int porInstrucao = 250;
    auto instrucao = [](int n) {
        return QStringLiteral("INSERT INTO molvar_snc_mapa (velho, novo) VALUES ")
            + QStringList(n, QStringLiteral("(?, ?)")).join(QLatin1Char(','));
    };
    QSqlQuery cheia(db);
    const int total = static_cast<int>(pares.size() / 2);
    if (total >= porInstrucao)
        prepara(cheia, instrucao(porInstrucao));
    for (int i = 0; i < total; i += porInstrucao) {
        const int n = qMin(porInstrucao, total - i);
        QSqlQuery resto(db);
        QSqlQuery &q = n == porInstrucao ? cheia : resto;
        if (n < porInstrucao)
            prepara(q, instrucao(n));
        for (int k = 2 * i; k < 2 * (i + n); ++k)
            q.addBindValue(pares.at(k));
        executaPreparada(q);
    }
    return true;
}

// A key, or none when no row answers: every value the column holds is a key, negatives too.
std::optional<qint64> chave(QSqlDatabase db, const QString &sql)
{
    QString erro;
    const QVariant v = valorUnico(db, sql, {}, &erro);
    verifica(erro.isEmpty(), erro);
    if (v.isNull())
        return std::nullopt;
    return v.toLongLong();
}

// The conversion inside the open transaction: the mapping of old to new values built once,
// then the rows rewritten from it with one statement per block of keys. The conversion table
// is read only when there are rows to convert: with none, a missing table is no error.
// Gives the number of rows left alone because their company has no parameters.
qint64 converte(QSqlDatabase db, const QString &ligacaoTabela, Espera &espera)
{
    QString erro;
    QSqlQuery q(db);
    // Many short statements: compiling each to machine code would cost more than it saves.
    if (ePostgres(db))
        verifica(executa(q, QStringLiteral("SET LOCAL jit = off"), {}, &erro), erro);
    verifica(
        executa(q, QStringLiteral("CREATE TEMPORARY TABLE molvar_snc_firmas (CodFirma char(4) PRIMARY KEY)"), {}, &erro), erro);
    // The companies to convert, their parameter rows locked before anything is read: a second
    // conversion at the same moment waits here until this one ends, then finds them converted
    // (on SQLite the write transaction already keeps it out). A company given its parameters
    // meanwhile is neither converted nor marked by this run.
    QVariantList firmas;
    {
        QSqlQuery le(db);
        le.setForwardOnly(true);
        verifica(executa(le,
                     QStringLiteral("SELECT CodFirma FROM ParamFirma WHERE SNC = 0")
                         + (ePostgres(db) ? QStringLiteral(" FOR UPDATE") : QString()),
                     {}, &erro),
            erro);
        while (le.next())
            firmas << le.value(0);
        verifica(!le.lastError().isValid(), textoErro(le.lastError()));
    }
    if (!firmas.isEmpty()) {
        prepara(q, QStringLiteral("INSERT INTO molvar_snc_firmas (CodFirma) VALUES (?)"));
        q.addBindValue(firmas);
        const bool ok = q.execBatch();
        verifica(ok, textoErro(q.lastError()));
        q.finish();
    }

    const Contas contas = leContas(db);
    const qint64 linhas = contas.linhas;
    const qint64 semParametros = contaDeixadas(db);
    TabelaSnc tabela;
    if (linhas > 0 && !carregaTabela(ligacaoTabela, &tabela, &erro))
        throw Falha { QStringLiteral("Tabela de conversão SNC_Conv: ") + erro };

    verifica(
        executa(q, QStringLiteral("CREATE TEMPORARY TABLE molvar_snc_mapa (velho varchar(22) PRIMARY KEY, novo varchar(22))"), {},
            &erro),
        erro);
    if (linhas > 0) {
        espera.setWindowTitle(QStringLiteral("Conversão SNC"));
        espera.Label1->setText(QStringLiteral("Tabela Molvar"));
        espera.ProgressBar1->setRange(0, static_cast<int>(qMin<qint64>(linhas, INT_MAX)));
        espera.ProgressBar1->setValue(0);
        espera.Label1->repaint();
    }

    if (linhas > 0 && preencheMapa(db, contas.valores, tabela)) {
        // Blocks of keys over the table; each UPDATE joins the mapping on both sides (no join
        // of Molvar to itself) and writes only rows where a side changes. Rows with one side
        // empty cannot join on it: where there are any, they take a statement of their own.
        const QString bloco = QStringLiteral(" AND Molvar.Chave >= ? AND Molvar.Chave <= ? AND Molvar.") + kPorConverter;
        QSqlQuery ambos(db), soCredito(db), soDebito(db);
        prepara(ambos,
            QStringLiteral(
                "UPDATE Molvar SET CPocDeb = d.novo, CPocCre = c.novo FROM molvar_snc_mapa d, molvar_snc_mapa c "
                "WHERE d.velho = Molvar.CPocDeb AND c.velho = Molvar.CPocCre AND (d.novo <> d.velho OR c.novo <> c.velho)")
                + bloco);
        QList<QSqlQuery *> porBloco { &ambos };
        if (contas.nulos) {
            prepara(soCredito,
                QStringLiteral("UPDATE Molvar SET CPocCre = c.novo FROM molvar_snc_mapa c WHERE Molvar.CPocDeb IS NULL "
                               "AND c.velho = Molvar.CPocCre AND c.novo <> c.velho")
                    + bloco);
            prepara(soDebito,
                QStringLiteral("UPDATE Molvar SET CPocDeb = d.novo FROM molvar_snc_mapa d WHERE Molvar.CPocCre IS NULL "
                               "AND d.velho = Molvar.CPocDeb AND d.novo <> d.velho")
                    + bloco);
            porBloco << &soCredito << &soDebito;
        }
        // Separate queries: SQLite reads a lone MIN or MAX straight from the index.
        const std::optional<qint64> primeira = chave(db, QStringLiteral("SELECT MIN(Chave) FROM Molvar"));
        const std::optional<qint64> ultima = chave(db, QStringLiteral("SELECT MAX(Chave) FROM Molvar"));
        QSqlQuery seguinte(db);
        prepara(seguinte, QStringLiteral("SELECT MIN(Chave) FROM Molvar WHERE Chave > ?"));
        // Inclusive bounds, so that no block's end has to be computed past the largest key.
        for (std::optional<qint64> inicio = primeira; inicio && ultima;) {
            const qint64 fim = quint64(*ultima) - quint64(*inicio) < quint64(kBloco) ? *ultima : *inicio + (kBloco - 1);
            for (QSqlQuery *g : std::as_const(porBloco)) {
                g->addBindValue(*inicio);
                g->addBindValue(fim);
                executaPreparada(*g);
            }
            // The progress as the share of keys done; the blocks skip keys no row has.
            const double feito = (double(fim) - double(*primeira) + 1) / (double(*ultima) - double(*primeira) + 1);
            espera.ProgressBar1->setValue(static_cast<int>(qMin<qint64>(qint64(feito * linhas), INT_MAX)));
            // Paint the progress, but take no user input while the transaction is open.
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            if (fim == *ultima)
                break;
            seguinte.addBindValue(fim);
            executaPreparada(seguinte);
            inicio = seguinte.next() && !seguinte.value(0).isNull() ? std::optional<qint64>(seguinte.value(0).toLongLong())
                                                                    : std::nullopt;
            seguinte.finish();
        }
    }
    espera.ProgressBar1->setValue(static_cast<int>(qMin<qint64>(linhas, INT_MAX)));

    verifica(executa(q, QStringLiteral("DROP TABLE molvar_snc_mapa"), {}, &erro), erro);
    verifica(
        executa(q, QStringLiteral("UPDATE ParamFirma SET SNC = 1 WHERE CodFirma IN (SELECT CodFirma FROM molvar_snc_firmas)"), {},
            &erro),
        erro);
    verifica(executa(q, QStringLiteral("DROP TABLE molvar_snc_firmas"), {}, &erro), erro);
    return semParametros;
}

} // namespace

bool ConverteSnc(const Session &s, QWidget *pai)
{
    // Every failure but a COMMIT without its answer leaves nothing of the conversion.
    auto falhou = [&](const QString &detalhe, bool incerta = false) {
        s.msg->informa(QStringLiteral("Erro na Conversão SNC!") + QStringLiteral("\n\n") + detalhe
            + (incerta ? QString() : QStringLiteral("\n\nNada foi convertido.")));
        return false;
    };

    QString erro;
    LigacaoPropria ligacao;
    QSqlDatabase db = ligacao.abre(s.gLigacao1, &erro);
    if (!db.isValid())
        return falhou(erro);
    Transacao t(db);
    if (!t.iniciada(&erro))
        return falhou(erro);

    QScopedPointer<Espera> espera(new Espera(pai));
    espera->show();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    qint64 semParametros = 0;
    try {
        semParametros = converte(db, s.gLigacao2, *espera);
    } catch (const Falha &f) {
        t.anula();
        return falhou(f.texto);
    }
    if (semParametros > 0)
        s.msg->informa(
            (semParametros == 1
                    ? QStringLiteral("1 linha de molvaralizações não foi convertida: a firma dela")
                    : QStringLiteral("%1 linhas de molvaralizações não foram convertidas: a firma delas").arg(semParametros))
            + QStringLiteral(" não tem parâmetros (ParamFirma). Crie os parâmetros da firma e repita a conversão."));

    if (!s.msg->perguntaSimNao(
            QStringLiteral("Deseja Concluir a Conversão SNC?"), QStringLiteral("TarvikGest"), Mensagens::Icone::Pergunta)) {
        t.anula();
        return false;
    }
    if (!t.confirma(&erro))
        return falhou(erro, t.incerta());
    espera.reset();
    s.msg->informa(QStringLiteral("Conversão SNC Concluida!"));
    return true;
}
