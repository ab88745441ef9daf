#pragma once

#include "core/inifile.h"

#include <QDate>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QVariantList>

class QSqlQuery;

// A connection string names a driver and its settings, "key=value" pairs separated by ";":
//   Driver=SQLite;Database=molvar.db;                      (a relative file lies in the program's folder)
//   Driver=PostgreSQL;Server=127.0.0.1;Port=5432;Database=molvar;Uid=molvar;Pwd=...;
// Keys compare without regard to case; Host, User and Password are accepted as synonyms.
// Any other driver, or a data source (DSN=), is reached through ODBC with the string as
// written (see core/odbc.h): only the outside package's database may be one.
struct DadosLigacao {
    enum class Tipo { Nenhum, SQLite, PostgreSQL, Odbc };
    Tipo tipo = Tipo::Nenhum;
    QString baseDados, servidor, utilizador, senha;
    int porta = 0;
    QString erro; // why the string could not be understood

    static DadosLigacao interpreta(const QString &ligacao);
    // The same for the program's own database (DATABASE1), whose set-up is written for SQLite
    // and PostgreSQL only: an ODBC string is refused.
    static DadosLigacao interpretaPropria(const QString &ligacao);
    QString ficheiroSqlite() const; // absolute path of a SQLite database
};

// The concatenation of Connect_sql, Connect_sql1, Connect_sql2 and Connect_sql3 of a section.
QString ligacaoDaSeccao(const QString &seccao);
// The keys that keep a connection string in its section: whole in Connect_sql, the other three
// (which the file may split it into) emptied, so that ligacaoDaSeccao reads exactly that string.
QList<ChaveIni> chavesDaLigacao(const QString &seccao, const QString &ligacao);

// One reusable connection per distinct string, opened on first use. An invalid
// QSqlDatabase (and the reason in erro) when it cannot be opened.
QSqlDatabase abreLigacao(const QString &ligacao, QString *erro = nullptr);

// Transacao tells which connections are inside a transaction: a statement that fails there
// is never run again on a reopened connection.
void marcaTransacao(const QSqlDatabase &db, bool aberta);
// A connection whose session holds what later reads need (a temporary table): once the
// connection has been opened again, on a new session that lacks it, a read there is not run
// and its message says that the connection was lost.
void marcaDadosDaSessao(const QSqlDatabase &db, bool guarda);
// Whether a PostgreSQL connection outside a transaction still reaches its server: a cheap
// statement tells; a connection the server dropped is opened again (Reaberta), or cannot be
// (Perdida, with the reason in erro). Elsewhere, and inside a transaction: Viva.
enum class EstadoLigacao { Viva, Reaberta, Perdida };
EstadoLigacao verificaLigacao(QSqlDatabase db, QString *erro = nullptr);
// The message for a write whose connection was lost before its answer came: it may have run.
QString resultadoIncerto(const QString &erro);

// How long a write waits for rows another connection holds, in milliseconds: 10 s, or
// MOLVAR_ESPERA_BLOQUEIO_MS when set (tests shorten it).
int esperaBloqueioMs();

// The connection a grid reads from as it scrolls. On SQLite a statement left open pins its
// connection to an old snapshot, so a later write there would be refused once another
// connection has written, and a later read there would not see the changes: each grid
// (named by `dono`) reads through a connection of its own to the same database.
// Elsewhere the connection itself.
QSqlDatabase ligacaoDeLeitura(QSqlDatabase db, const QString &dono, QString *erro = nullptr);
// Closes the reading connections that ligacaoDeLeitura opened for `dono`.
void fechaLeitura(const QString &dono);

// Closes and forgets the connection of one string (with its reading connection), or of all.
void fechaLigacao(const QString &ligacao);
void fechaTodasLigacoes();

bool ePostgres(const QSqlDatabase &db);

// True when a statement gave up waiting for rows another connection holds.
bool esperaEsgotada(const QSqlError &e);

// True when a statement found its unique key taken (PostgreSQL and SQLite).
bool chaveRepetida(const QSqlError &e);
// True when the server ended the session because a transaction stayed idle past its limit:
// the transaction was undone, and the statement that met the failure never ran.
bool transacaoTerminadaPeloServidor(const QSqlError &e);
// The message for a statement whose transaction went with a lost connection: nothing of it
// was saved.
QString ligacaoPerdidaNaTransacao(const QString &erro);

// The database's own error text, for messages shown to the user; a wait that ran out says
// that another workstation is using the rows.
QString textoErro(const QSqlError &e);

// Prepares, binds every value in order and runs a statement. Outside a transaction on
// PostgreSQL, a read runs once more after reopening a connection the server had dropped (on
// a query set up like the caller's); a write runs only once, after making sure the
// connection is alive, and a write whose connection is lost before its answer says that it
// may have run. Inside a transaction nothing runs twice, and a lost connection says that
// nothing was saved. False with the message on failure.
bool executa(QSqlQuery &q, const QString &sql, const QVariantList &params = {}, QString *erro = nullptr);

// The first column of the first row of a query (invalid when there is none or on failure).
QVariant valorUnico(QSqlDatabase db, const QString &sql, const QVariantList &params = {}, QString *erro = nullptr);

// The value of a date column as a date: PostgreSQL hands back a date, SQLite the text it holds
// ("2024-01-28", possibly with a time). Invalid for anything else.
QDate dataDaBase(const QVariant &v);

// A LIKE condition on a column whose pattern is built by padraoLike: the ESCAPE clause reads
// the same on SQLite, PostgreSQL and SQL Server.
QString condicaoLike(const QString &coluna);
// The pattern that matches texts beginning with (or containing) texto, with "%", "_", "[" and
// the escape character itself taken literally.
QString padraoLike(const QString &texto, bool contem);
