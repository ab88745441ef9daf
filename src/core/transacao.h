#pragma once

#include <QSqlDatabase>
#include <QString>

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
    void anula();

private:
    QSqlDatabase m_db;
    bool m_activa = false;
    QString m_erro;
};
