#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariantList>

// A transaction that rolls back unless confirmed: several writes stand or fall together.
class Transacao
{
public:
    explicit Transacao(QSqlDatabase db);
    ~Transacao();
    Transacao(const Transacao &) = delete;
    Transacao &operator=(const Transacao &) = delete;

    bool iniciada(QString *erro = nullptr) const;
    bool confirma(QString *erro = nullptr);
    // The COMMIT failed without its answer: the work may have been saved.
    bool incerta() const { return m_incerta; }
    void anula();

private:
    QSqlDatabase m_db;
    bool m_activa = false;
    bool m_incerta = false;
    QString m_erro;
};

// One statement with its values, for executaTudoOuNada.
struct Instrucao {
    QString sql;
    QVariantList valores;
};

// Runs the statements in order, in one transaction on the connection of a connection
// string: all of them stand, or none does. False with the reason on failure.
bool executaTudoOuNada(const QString &ligacao, const QList<Instrucao> &instrucoes, QString *erro);
