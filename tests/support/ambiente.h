#pragma once

#include "core/session.h"
#include "support/mensagensfalsas.h"

#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QtTest>

// The administrator's password in every database a test installs.
inline constexpr const char *kSenhaAdminTeste = "Teste-2024!";

// One fresh world for a test: a temporary program folder (MOLVAR_HOME), a settings file and
// an own database made by the real set-up, on SQLite or, when MOLVAR_TEST_DB=pg, on the
// PostgreSQL server named by MOLVAR_TEST_PG (a connection string without Database=).
class Ambiente
{
public:
    explicit Ambiente(bool criaBase = true);
    ~Ambiente();
    Ambiente(const Ambiente &) = delete;
    Ambiente &operator=(const Ambiente &) = delete;

    static bool usaPostgres();
    // How the outside stand-ins are reached (MOLVAR_TEST_EXT): "native" (the default: on the
    // own database's engine, natively), "odbc-pg" (PostgreSQL through its ODBC driver, by a
    // DSN of the test's own) or "odbc-sqlite" (a SQLite file through its ODBC driver).
    static QString modoExterno();
    // The connection string of the test server's PostgreSQL database (native, without ODBC).
    static QString ligacaoPg(const QString &base);
    // False (with the reason) when the chosen database cannot be used in this run.
    static bool baseDisponivel(QString *motivo);

    bool ok() const { return m_erro.isEmpty(); }
    QString erro() const { return m_erro; }
    QString pasta() const { return m_dir.path(); }
    QSqlDatabase db() const;

    // A stand-in for the outside accounting database of package "A" (SENDYS), "S" (SAGE)
    // or "T" (Primavera), with the tables and columns that package keeps, plus SNC_Conv, made
    // natively and reached as modoExterno() says. Points DATABASE2 and sessao.gLigacao2 at it;
    // dbExterna() is the program's connection to it.
    QString criaBaseExterna(const QString &pacote);
    QSqlDatabase dbExterna() const;

    // The session as the login of the administrator to the company, on the first of the
    // month, leaves it (the program's own reading of ParamFirma and filling of the session).
    bool entra(const QString &firma, qint16 ano, qint16 mes);

    Session sessao;
    MensagensFalsas msgs;

private:
    QTemporaryDir m_dir;
    QString m_erro;
    QString m_basePg;
    QStringList m_externasPg;
    QByteArray m_homeAnterior;
};

// initTestCase: skip the whole run when PostgreSQL was asked for but no server is named,
// unless MOLVAR_REQUIRE_PG is set (CI), where that is a failure.
#define MOLVAR_REQUER_BASE()                                                                                                     \
    do {                                                                                                                         \
        QString motivo_;                                                                                                         \
        if (!Ambiente::baseDisponivel(&motivo_)) {                                                                               \
            if (qEnvironmentVariableIsSet("MOLVAR_REQUIRE_PG"))                                                                  \
                QFAIL(qPrintable(motivo_));                                                                                      \
            QSKIP(qPrintable(QStringLiteral("sem servidor PostgreSQL: ") + motivo_));                                            \
        }                                                                                                                        \
    } while (0)

// Runs one statement with bound values; fails the test with the database's text.
#define SQL_OK(db, sql, ...)                                                                                                     \
    do {                                                                                                                         \
        QString erro_;                                                                                                           \
        QSqlQuery q_(db);                                                                                                        \
        QVERIFY2(executa(q_, QStringLiteral(sql), QVariantList { __VA_ARGS__ }, &erro_), qPrintable(erro_));                     \
    } while (0)
