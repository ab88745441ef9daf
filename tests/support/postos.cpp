#include "support/postos.h"

#include "core/connection.h"
#include "support/ambiente.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QSqlQuery>
#include <QTest>

QString ligacaoParaOutroProcesso(const Ambiente &a)
{
    if (Ambiente::usaPostgres())
        return a.sessao.gLigacao1;
    return QStringLiteral("Driver=SQLite;Database=%1;").arg(QDir(a.pasta()).filePath(QStringLiteral("molvar.db")));
}

Posto::Posto(const QStringList &args)
{
    m_p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_p.start(QStringLiteral(MOLVAR_TRABALHADOR), args);
}

bool Posto::pronto(int ms)
{
    const QDeadlineTimer prazo(ms);
    while (!m_saida.contains(QLatin1String("pronto\n"))) {
        if (prazo.hasExpired() || m_p.state() == QProcess::NotRunning)
            return false;
        m_p.waitForReadyRead(100);
        m_saida += QString::fromUtf8(m_p.readAllStandardOutput());
    }
    return true;
}

void Posto::avanca()
{
    m_p.write("vai\n");
    m_p.waitForBytesWritten(5000);
}

bool Posto::termina(int ms)
{
    const bool fim = m_p.waitForFinished(ms);
    m_saida += QString::fromUtf8(m_p.readAllStandardOutput());
    if (!fim) {
        m_p.kill();
        m_p.waitForFinished();
        return false;
    }
    return m_p.exitStatus() == QProcess::NormalExit && m_p.exitCode() == 0;
}

Barreira::Barreira(QSqlDatabase db, const QString &tabela)
    : m_db(db)
{
    QSqlQuery q(m_db);
    if (ePostgres(m_db))
        m_activa = q.exec(QStringLiteral("BEGIN"))
            && (tabela.isEmpty() || q.exec(QStringLiteral("LOCK TABLE %1 IN EXCLUSIVE MODE").arg(tabela)));
    else
        m_activa = q.exec(QStringLiteral("BEGIN IMMEDIATE"));
}

Barreira::~Barreira()
{
    liberta();
}

bool Barreira::esperaBloqueados(int n, int ms)
{
    if (!ePostgres(m_db))
        return true;
    const QDeadlineTimer prazo(ms);
    for (;;) {
        // The activity view keeps one picture per transaction unless told to take a new one.
        QSqlQuery q(m_db);
        if (q.exec(QStringLiteral("SELECT pg_stat_clear_snapshot()"))
            && q.exec(QStringLiteral("SELECT COUNT(*) FROM pg_stat_activity WHERE datname = current_database() "
                                     "AND wait_event_type = 'Lock'"))
            && q.next() && q.value(0).toInt() >= n)
            return true;
        if (prazo.hasExpired())
            return false;
        QTest::qWait(20);
    }
}

bool Barreira::liberta()
{
    if (!m_activa)
        return true;
    m_activa = false;
    QSqlQuery q(m_db);
    return q.exec(QStringLiteral("COMMIT"));
}
