#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

// The outside package's server is reached through ODBC, with the string written as ODBC
// users write it:
//   Driver={FreeTDS};Server=host;Port=1433;Database=contab;Uid=u;Pwd=p;TDS_Version=7.4;
//   DSN=contab;Uid=u;Pwd=p;
// A string is ODBC when it names a data source (DSN=, FILEDSN=) or a driver other than the
// program's own "Driver=SQLite" and "Driver=PostgreSQL"; a driver written in braces is always
// an ODBC driver ("Driver={SQLite3}", "Driver={PostgreSQL Unicode}").
bool eLigacaoOdbc(const QString &ligacao);

// The "key=value" pairs of a connection string; a value may be enclosed in braces, which
// may hold ";" and, doubled, "}" (the braces are removed, "}}" read as "}").
struct ParLigacao {
    QString chave; // lower case
    QString valor;
    bool chavetas = false;
};
QList<ParLigacao> paresLigacao(const QString &ligacao);

// The connection of the string through Qt's ODBC driver, named nome: reused while its server
// answers, opened (again) otherwise. An invalid QSqlDatabase, with a message in Portuguese that
// names a missing driver (and its Debian package) or data source.
QSqlDatabase abreOdbc(const QString &nome, const QString &ligacao, QString *erro);

bool eOdbc(const QSqlDatabase &db);

// Rows for a view that scrolls both ways. Through ODBC a scrollable cursor would cost the
// server a round trip per row: there the statement runs forward-only (set it before running
// the statement) and leVista reads its rows once into memory, where the view can go back.
// False, with the driver's text, when the rows cannot all be read.
bool leVista(QSqlQuery &q, QString *erro);
