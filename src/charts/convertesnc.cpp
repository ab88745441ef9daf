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

// The rows still to convert: those of companies not marked converted (rows of a company
// missing from ParamFirma included).
const QString kPorConverter = QStringLiteral("CodFirma NOT IN (SELECT CodFirma FROM ParamFirma WHERE SNC <> 0)");

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
    return true;
}

void verifica(bool ok, const QString &erro)
{
    if (!ok)
        throw Falha { erro };
}

// The conversion inside the open transaction: every value converted once in memory, the
// changed ones kept in a temporary table, the rows rewritten from it block by block of keys.
// The conversion table is read only when there are rows to convert: with none, a missing
// table is no error.
void converte(QSqlDatabase db, const QString &ligacaoTabela, Espera &espera)
{
    QString erro;
    const QVariant total = valorUnico(db, QStringLiteral("SELECT COUNT(*) FROM Molvar WHERE ") + kPorConverter, {}, &erro);
    verifica(total.isValid(), erro);
    const qint64 linhas = total.toLongLong();
    TabelaSnc tabela;
    if (linhas > 0 && !carregaTabela(ligacaoTabela, &tabela, &erro))
        throw Falha { QStringLiteral("Tabela de conversão SNC_Conv: ") + erro };

    QSqlQuery q(db);
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

    QSqlQuery le(db);
    le.setForwardOnly(true);
    verifica(le.prepare(QStringLiteral("SELECT Chave, CPocDeb, CPocCre FROM Molvar WHERE ") + kPorConverter
                 + QStringLiteral(" AND Chave > ? ORDER BY Chave LIMIT %1").arg(kBloco)),
        textoErro(le.lastError()));
    QSqlQuery mapa(db);
    verifica(
        mapa.prepare(QStringLiteral("INSERT INTO molvar_snc_mapa (velho, novo) VALUES (?, ?)")), textoErro(mapa.lastError()));
    const QString velhos = QStringLiteral("(SELECT velho FROM molvar_snc_mapa)");
    QSqlQuery grava(db);
    verifica(grava.prepare(
                 QStringLiteral("UPDATE Molvar SET "
                                "CPocDeb = COALESCE((SELECT novo FROM molvar_snc_mapa WHERE velho = Molvar.CPocDeb), CPocDeb), "
                                "CPocCre = COALESCE((SELECT novo FROM molvar_snc_mapa WHERE velho = Molvar.CPocCre), CPocCre) "
                                "WHERE Chave > ? AND Chave <= ? AND ")
                 + kPorConverter + QStringLiteral(" AND (CPocDeb IN ") + velhos + QStringLiteral(" OR CPocCre IN ") + velhos
                 + QLatin1Char(')')),
        textoErro(grava.lastError()));

    // Each distinct value is converted once; true when it changes.
    QHash<QString, bool> vistos;
    auto trata = [&](const QVariant &valor) {
        if (valor.isNull())
            return false;
        const QString v = valor.toString();
        auto i = vistos.constFind(v);
        if (i != vistos.constEnd())
            return *i;
        const ContaSnc c = converteContaSnc(v, tabela);
        if (!c.ok())
            throw Falha { c.erro };
        if (c.mudou) {
            mapa.addBindValue(v);
            mapa.addBindValue(c.valor);
            verifica(mapa.exec(), textoErro(mapa.lastError()));
        }
        vistos.insert(v, c.mudou);
        return c.mudou;
    };

    struct Linha {
        qint64 chave;
        QVariant deb, cre;
    };
    QList<Linha> bloco;
    bloco.reserve(kBloco);
    qint64 ultima = -1, feitas = 0;
    for (;;) {
        // The block is read whole before anything else runs on the connection: a pending
        // forward-only result would be cut short by the next statement on PostgreSQL.
        bloco.clear();
        le.addBindValue(ultima);
        verifica(le.exec(), textoErro(le.lastError()));
        while (le.next())
            bloco.append({ le.value(0).toLongLong(), le.value(1), le.value(2) });
        le.finish();
        if (bloco.isEmpty())
            break;
        const qint64 antes = ultima;
        bool muda = false;
        for (const Linha &l : std::as_const(bloco)) {
            // Both, so that every value is checked even when the first already changes.
            const bool d = trata(l.deb);
            const bool c = trata(l.cre);
            muda = muda || d || c;
            espera.ProgressBar1->setValue(static_cast<int>(qMin<qint64>(++feitas, INT_MAX)));
        }
        ultima = bloco.last().chave;
        if (muda) {
            grava.addBindValue(antes);
            grava.addBindValue(ultima);
            verifica(grava.exec(), textoErro(grava.lastError()));
        }
        // Paint the progress, but take no user input while the transaction is open.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        if (bloco.size() < kBloco)
            break;
    }
    le.finish();
    mapa.finish();
    grava.finish();

    verifica(executa(q, QStringLiteral("DROP TABLE molvar_snc_mapa"), {}, &erro), erro);
    verifica(executa(q, QStringLiteral("UPDATE ParamFirma SET SNC = 1"), {}, &erro), erro);
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

    try {
        converte(db, s.gLigacao2, *espera);
    } catch (const Falha &f) {
        t.anula();
        return falhou(f.texto);
    }

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
