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
#include <QSqlQuery>

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

// The distinct account values of the rows to convert, each converted once in memory; those
// that change go to the mapping table. False when none changes.
bool preencheMapa(QSqlDatabase db, const TabelaSnc &tabela)
{
    QSqlQuery le(db);
    le.setForwardOnly(true);
    QString erro;
    verifica(executa(le,
                 // Grouped on each side first: a few thousand accounts, not two million values, to merge.
                 QStringLiteral("SELECT CPocDeb FROM Molvar WHERE ") + kPorConverter
                     + QStringLiteral(" GROUP BY CPocDeb UNION SELECT CPocCre FROM Molvar WHERE ") + kPorConverter
                     + QStringLiteral(" GROUP BY CPocCre"),
                 {}, &erro),
        erro);
    QList<std::pair<QString, QString>> mudam;
    while (le.next()) {
        if (le.value(0).isNull())
            continue;
        const QString v = le.value(0).toString();
        const ContaSnc c = converteContaSnc(v, tabela);
        if (!c.ok())
            throw Falha { c.erro };
        if (c.mudou)
            mudam.append({ v, c.valor });
    }
    verifica(!le.lastError().isValid(), textoErro(le.lastError()));
    le.finish();

    QSqlQuery mapa(db);
    prepara(mapa, QStringLiteral("INSERT INTO molvar_snc_mapa (velho, novo) VALUES (?, ?)"));
    for (const auto &[velho, novo] : std::as_const(mudam)) {
        mapa.addBindValue(velho);
        mapa.addBindValue(novo);
        executaPreparada(mapa);
    }
    return !mudam.isEmpty();
}

// The conversion inside the open transaction: the mapping of old to new values built once,
// then the rows rewritten from it with one statement per block of keys. The conversion table
// is read only when there are rows to convert: with none, a missing table is no error.
// Gives the number of rows left alone because their company has no parameters.
qint64 converte(QSqlDatabase db, const QString &ligacaoTabela, Espera &espera)
{
    QString erro;
    QSqlQuery q(db);
    verifica(
        executa(q, QStringLiteral("CREATE TEMPORARY TABLE molvar_snc_firmas (CodFirma char(4) PRIMARY KEY)"), {}, &erro), erro);
    // The companies to convert, their parameter rows locked before anything is read: a second
    // conversion at the same moment waits here until this one ends, then finds them converted
    // (on SQLite the write transaction already keeps it out). A company given its parameters
    // meanwhile is neither converted nor marked by this run.
    QStringList firmas;
    {
        QSqlQuery le(db);
        le.setForwardOnly(true);
        verifica(executa(le,
                     QStringLiteral("SELECT CodFirma FROM ParamFirma WHERE SNC = 0")
                         + (ePostgres(db) ? QStringLiteral(" FOR UPDATE") : QString()),
                     {}, &erro),
            erro);
        while (le.next())
            firmas << le.value(0).toString();
        verifica(!le.lastError().isValid(), textoErro(le.lastError()));
    }
    if (!firmas.isEmpty()) {
        prepara(q, QStringLiteral("INSERT INTO molvar_snc_firmas (CodFirma) VALUES (?)"));
        for (const QString &f : std::as_const(firmas)) {
            q.addBindValue(f);
            executaPreparada(q);
        }
        q.finish();
    }

    // How many rows to convert, and the last key of them, in one pass.
    QSqlQuery conta(db);
    conta.setForwardOnly(true);
    verifica(executa(conta, QStringLiteral("SELECT COUNT(*), MAX(Chave) FROM Molvar WHERE ") + kPorConverter, {}, &erro), erro);
    const bool contada = conta.next();
    verifica(contada, textoErro(conta.lastError()));
    const qint64 linhas = conta.value(0).toLongLong();
    const qint64 maxima = conta.value(1).toLongLong();
    conta.finish();
    const QVariant semParametros = valorUnico(db, QStringLiteral("SELECT COUNT(*) FROM Molvar WHERE ") + kDeixadas, {}, &erro);
    verifica(semParametros.isValid(), erro);
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

    if (linhas > 0 && preencheMapa(db, tabela)) {
        // The last key of each block of rows to convert, then one UPDATE for the block that
        // looks each account up in the mapping (no join of Molvar to itself).
        QSqlQuery fim(db);
        prepara(fim,
            QStringLiteral("SELECT Chave FROM Molvar WHERE ") + kPorConverter
                + QStringLiteral(" AND Chave > ? ORDER BY Chave LIMIT 1 OFFSET %1").arg(kBloco - 1));
        QSqlQuery grava(db);
        prepara(grava,
            QStringLiteral("UPDATE Molvar SET "
                           "CPocDeb = COALESCE((SELECT novo FROM molvar_snc_mapa WHERE velho = Molvar.CPocDeb), CPocDeb), "
                           "CPocCre = COALESCE((SELECT novo FROM molvar_snc_mapa WHERE velho = Molvar.CPocCre), CPocCre) "
                           "WHERE Chave > ? AND Chave <= ? AND (CPocDeb IN (SELECT velho FROM molvar_snc_mapa) "
                           "OR CPocCre IN (SELECT velho FROM molvar_snc_mapa)) AND ")
                + kPorConverter);
        qint64 antes = -1, feitas = 0;
        while (antes < maxima) {
            fim.addBindValue(antes);
            executaPreparada(fim);
            const bool cheio = fim.next();
            const qint64 ultima = cheio ? fim.value(0).toLongLong() : maxima;
            fim.finish();
            grava.addBindValue(antes);
            grava.addBindValue(ultima);
            executaPreparada(grava);
            feitas = cheio ? feitas + kBloco : linhas;
            espera.ProgressBar1->setValue(static_cast<int>(qMin<qint64>(feitas, INT_MAX)));
            // Paint the progress, but take no user input while the transaction is open.
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            antes = ultima;
        }
        grava.finish();
    }
    espera.ProgressBar1->setValue(static_cast<int>(qMin<qint64>(linhas, INT_MAX)));

    verifica(executa(q, QStringLiteral("DROP TABLE molvar_snc_mapa"), {}, &erro), erro);
    verifica(
        executa(q, QStringLiteral("UPDATE ParamFirma SET SNC = 1 WHERE CodFirma IN (SELECT CodFirma FROM molvar_snc_firmas)"), {},
            &erro),
        erro);
    verifica(executa(q, QStringLiteral("DROP TABLE molvar_snc_firmas"), {}, &erro), erro);
    return semParametros.toLongLong();
}

} // namespace

bool ConverteSnc(Session &s, QWidget *pai)
{
    auto falhou = [&](const QString &detalhe) {
        s.msg->informa(QStringLiteral("Erro na Conversão SNC!") + QStringLiteral("\n\n") + detalhe);
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
        s.msg->informa(QStringLiteral("%1 linhas de molvaralizações não foram convertidas: a firma delas não tem "
                                      "parâmetros (ParamFirma). Crie os parâmetros da firma e repita a conversão.")
                           .arg(semParametros));

    if (!s.msg->perguntaSimNao(
            QStringLiteral("Deseja Concluir a Conversão SNC?"), QStringLiteral("TarvikGest"), Mensagens::Icone::Pergunta)) {
        t.anula();
        return false;
    }
    if (!t.confirma(&erro))
        return falhou(erro);
    espera.reset();
    s.msg->informa(QStringLiteral("Conversão SNC Concluida!"));
    s.gSnc = true;
    return true;
}
