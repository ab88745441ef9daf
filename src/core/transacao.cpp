#include "core/transacao.h"

#include "core/connection.h"

#include <QSqlQuery>

Transacao::Transacao(QSqlDatabase db)
    : m_db(db)
{
    if (!m_db.isValid()) {
        m_erro = QStringLiteral("sem ligação à base de dados");
        return;
    }
    if (m_db.driverName() != QLatin1String("QSQLITE")) {
        QString semLigacao;
        m_activa = m_db.transaction() || (verificaLigacao(m_db, &semLigacao) == EstadoLigacao::Reaberta && m_db.transaction());
        if (m_activa)
            marcaTransacao(m_db, true);
        else
            m_erro = semLigacao.isEmpty() ? textoErro(m_db.lastError()) : semLigacao;
        return;
    }
    // SQLite: a transaction that begins as a reader is refused at once, without waiting,
    // when it later writes while another connection holds the lock. Taking the write lock
    // at the start waits for the busy timeout like any other write.
    QSqlQuery q(m_db);
    m_activa = q.exec(QStringLiteral("BEGIN IMMEDIATE"));
    if (!m_activa)
        m_erro = textoErro(q.lastError());
}

Transacao::~Transacao()
{
    anula();
}

bool Transacao::iniciada(QString *erro) const
{
    if (!m_activa && erro)
        *erro = m_erro;
    return m_activa;
}

bool Transacao::confirma(QString *erro)
{
    if (!m_activa) {
        if (erro)
            *erro = m_erro;
        return false;
    }
    m_activa = false;
    marcaTransacao(m_db, false);
    if (!m_db.isOpen()) {
        // Lost before the COMMIT was sent: the server undid the transaction.
        if (erro)
            *erro = ligacaoPerdidaNaTransacao(QString());
        return false;
    }
    if (ePostgres(m_db)) {
        // A session that ended while the work waited (a server restarted, a question left open)
        // is found before the COMMIT is sent: nothing was saved, which a failed COMMIT could
        // not tell.
        QSqlQuery q(m_db);
        if (!q.exec(QStringLiteral("SELECT 1"))) {
            const QSqlError e = q.lastError();
            if (erro)
                *erro = transacaoTerminadaPeloServidor(e) ? textoErro(e) : ligacaoPerdidaNaTransacao(textoErro(e));
            q = QSqlQuery();
            if (m_db.isOpen())
                m_db.rollback();
            return false;
        }
    }
    if (!m_db.commit()) {
        const QSqlError e = m_db.lastError();
        const QString motivo = textoErro(e);
        // A COMMIT whose answer never came may have been carried out, unless the server had
        // already ended the session before it came.
        m_incerta = !transacaoTerminadaPeloServidor(e) && verificaLigacao(m_db) != EstadoLigacao::Viva;
        if (erro)
            *erro = m_incerta ? resultadoIncerto(motivo) : motivo;
        if (m_db.isOpen())
            m_db.rollback();
        return false;
    }
    return true;
}

void Transacao::anula()
{
    if (m_activa) {
        if (m_db.isOpen())
            m_db.rollback();
        m_activa = false;
        marcaTransacao(m_db, false);
    }
}

bool executaTudoOuNada(const QString &ligacao, const QList<Instrucao> &instrucoes, QString *erro)
{
    QSqlDatabase db = abreLigacao(ligacao, erro);
    if (!db.isValid())
        return false;
    Transacao t(db);
    if (!t.iniciada(erro))
        return false;
    QSqlQuery q(db);
    for (const Instrucao &i : instrucoes)
        if (!executa(q, i.sql, i.valores, erro))
            return false;
    return t.confirma(erro);
}
