#pragma once

#include <QProcess>
#include <QSqlDatabase>
#include <QStringList>

class Ambiente;

// The test's database as another process reaches it: a SQLite file by its absolute path.
QString ligacaoParaOutroProcesso(const Ambiente &a);

// Another workstation: the worker program (tests/support/trabalhador) on one task.
class Posto
{
public:
    explicit Posto(const QStringList &args);
    // Until it says it is about to start its database work.
    bool pronto(int ms = 30000);
    // Lets a task that waits for it go on.
    void avanca();
    // Until it has ended; true when it ended well. Its output stays in saida().
    bool termina(int ms = 60000);
    QString saida() const { return m_saida; }

private:
    QProcess m_p;
    QString m_saida;
};

// Holds other workstations back until liberta(): a transaction that has the write lock on
// SQLite; on PostgreSQL one with an exclusive lock on `tabela` (which still lets them read
// it), or with no lock for an empty name (the rows it writes then hold back theirs).
class Barreira
{
public:
    Barreira(QSqlDatabase db, const QString &tabela);
    ~Barreira();
    bool activa() const { return m_activa; }
    // PostgreSQL: until `n` other sessions wait for a lock; SQLite cannot tell, and returns true.
    bool esperaBloqueados(int n, int ms = 30000);
    bool liberta();

private:
    QSqlDatabase m_db;
    bool m_activa = false;
};
