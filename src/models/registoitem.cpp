#include "models/registoitem.h"

#include "models/valorescaixa.h"

#include "core/connection.h"
#include "core/mensagens.h"
#include "core/session.h"
#include "core/transacao.h"

#include <QSqlQuery>
#include <QSqlRecord>

#include <cmath>

namespace {
QString condicaoItem()
{
    return condicaoNomeModelo() + QStringLiteral(" and tipocod = ?");
}
}

bool RegistoItem::le(QSqlDatabase db, const QString &modelo, qint16 tipocod, QString *erro)
{
    m_modelo = modelo;
    m_tipocod = tipocod;
    m_existe = false;
    m_valores.clear();
    m_atribuidas.clear();
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!executa(q, QStringLiteral("SELECT * FROM modexptxtdet where ") + condicaoItem(),
            { nomeModeloComparado(modelo), int(tipocod) }, erro))
        return false;
    if (!q.next())
        return true;
    const QSqlRecord r = q.record();
    for (int i = 0; i < r.count(); ++i)
        m_valores.insert(r.fieldName(i).toLower(), r.value(i));
    m_existe = true;
    return true;
}

bool RegistoItem::modeloDefinido(QSqlDatabase db, QString *erro)
{
    QSqlQuery q(db);
    QString sql = QStringLiteral("SELECT 1 FROM modexptxt WHERE ") + condicaoNomeModelo();
    if (ePostgres(db))
        sql += QStringLiteral(" FOR SHARE");
    if (!executa(q, sql, { nomeModeloComparado(m_modelo) }, erro))
        return false;
    if (q.next())
        return true;
    m_semModelo = true;
    if (erro)
        *erro = QStringLiteral("O modelo não está definido");
    return false;
}

void RegistoItem::dizFalha(Session &s, const QString &falha, const QString &erro) const
{
    if (m_semModelo)
        s.msg->informa(QStringLiteral("O modelo não está definido"));
    else
        s.msg->erroBaseDados(falha, erro);
}

bool RegistoItem::cria(QSqlDatabase db, QString *erro)
{
    m_semModelo = false;
    Transacao t(db);
    if (!t.iniciada(erro) || !modeloDefinido(db, erro))
        return false;
    // Another workstation may have created it since it was read: its row is then the one
    // read back, and nothing fails.
    QSqlQuery q(db);
    return executa(q, QStringLiteral("INSERT INTO modexptxtdet (modelo, tipocod) VALUES (?, ?) ON CONFLICT DO NOTHING"),
               { m_modelo, int(m_tipocod) }, erro)
        && le(db, m_modelo, m_tipocod, erro) && t.confirma(erro);
}

QVariant RegistoItem::valor(const QString &coluna) const
{
    return m_valores.value(coluna.toLower());
}

void RegistoItem::atribui(const QString &coluna, const QVariant &v)
{
    const QString chave = coluna.toLower();
    if (!m_valores.contains(chave) || !m_atribuidas.contains(coluna, Qt::CaseInsensitive))
        m_atribuidas.append(coluna);
    m_valores.insert(chave, v);
}

bool RegistoItem::grava(QSqlDatabase db, QString *erro)
{
    QStringList sets;
    QVariantList valores;
    for (const QString &c : m_atribuidas) {
        sets << c + QStringLiteral(" = ?");
        valores << valor(c);
    }
    if (sets.isEmpty()) {
        sets << QStringLiteral("tipocod = ?");
        valores << int(m_tipocod);
    }
    m_semModelo = false;
    Transacao t(db);
    if (!t.iniciada(erro) || !modeloDefinido(db, erro))
        return false;
    const QString actualiza = QStringLiteral("UPDATE modexptxtdet SET ") + sets.join(QStringLiteral(", "))
        + QStringLiteral(" WHERE ") + condicaoItem();
    valores << nomeModeloComparado(m_modelo) << int(m_tipocod);
    QSqlQuery q(db);
    if (!executa(q, actualiza, valores, erro))
        return false;
    if (q.numRowsAffected() == 0) {
        // Deleted meanwhile (another window or user): write it again rather than lose the work.
        QStringList colunas { QStringLiteral("modelo"), QStringLiteral("tipocod") };
        QVariantList v { m_modelo, int(m_tipocod) };
        for (const QString &c : m_atribuidas) {
            colunas << c;
            v << valor(c);
        }
        QStringList marcas;
        for (int i = 0; i < colunas.size(); ++i)
            marcas << QStringLiteral("?");
        QSqlQuery ins(db);
        if (!executa(ins,
                QStringLiteral("INSERT INTO modexptxtdet (") + colunas.join(QStringLiteral(", ")) + QStringLiteral(") VALUES (")
                    + marcas.join(QStringLiteral(", ")) + QStringLiteral(") ON CONFLICT DO NOTHING"),
                v, erro))
            return false;
        // Another save wrote it again first: this one's values go over it, as they would
        // have had the row never gone.
        if (ins.numRowsAffected() == 0 && !executa(q, actualiza, valores, erro))
            return false;
    }
    if (!t.confirma(erro))
        return false;
    m_existe = true;
    m_atribuidas.clear();
    return true;
}

bool RegistoItem::apaga(QSqlDatabase db, const QString &modelo, qint16 tipocod, QString *erro)
{
    QSqlQuery q(db);
    return executa(q, QStringLiteral("delete FROM modexptxtdet where ") + condicaoItem(),
        { nomeModeloComparado(modelo), int(tipocod) }, erro);
}

bool RegistoItem::anula(Session &s, const QString &oQue)
{
    QString erro;
    QSqlDatabase db = abreLigacao(s.gLigacao1, &erro);
    if (!db.isValid() || !apaga(db, s.gModelo, s.gItemCodigo, &erro)) {
        s.msg->erroBaseDados(QStringLiteral("Não foi possível anular a codificação %1.").arg(oQue), erro);
        return false;
    }
    return true;
}

QVariant textoGravavel(const QString &t)
{
    return t.isNull() ? QVariant(QStringLiteral("")) : QVariant(t);
}

qint16 inteiro16(const QVariant &v)
{
    if (v.isNull())
        return 0;
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok || std::isnan(d))
        return 0;
    const double r = std::nearbyint(d);
    if (r > 32767)
        return 32767;
    if (r < -32768)
        return -32768;
    return qint16(r);
}

qint16 numeroDigitado(const QString &texto)
{
    // Out of range comes back as the nearest limit, which every range rule then refuses.
    return inteiro16(valorDaCaixa(texto));
}
