#include "core/transacao.h"

#include "core/connection.h"

#include <QSqlQuery>

Transacao::Transacao(QSqlDatabase db)
    : m_db(db)
{
    m_activa = m_db.isValid() && m_db.transaction();
    if (!m_activa)
        m_erro = m_db.isValid() ? textoErro(m_db.lastError()) : QStringLiteral("sem ligação à base de dados");
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
    if (!m_db.commit()) {
        if (erro)
            *erro = textoErro(m_db.lastError());
        m_db.rollback();
        return false;
    }
    return true;
}

void Transacao::anula()
{
    if (m_activa) {
        m_db.rollback();
        m_activa = false;
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
