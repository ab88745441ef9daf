#pragma once

#include <QSqlDatabase>
#include <QString>

// Login of the administrator that the set-up creates.
inline constexpr const char *kAdminLogin = "admin";
// The password that earlier versions gave every administrator: a login with it must
// choose a new one first.
inline constexpr const char *kSenhaAdminAntiga = "admin";
// Shortest password the administrator may choose.
inline constexpr int kSenhaMinima = 8;

// Creates the database of a connection string (the SQLite file, or the PostgreSQL
// database when the server lacks it), every table and index the program uses, the
// administrator (with senhaAdmin, kept as a hash; none is created when senhaAdmin is
// empty), the export counter and the option lists of the model editor.
// Running it on a database that already has them changes nothing (an existing
// administrator keeps his password); on one that holds repeated rows where the program
// now keeps them unique (chart codes, model names) it names them and changes nothing.
// A database that holds tables but not EUsers is another program's: it is refused, named,
// and left as it was.
// All or nothing: on failure nothing is left
// half-made and erro says why, in Portuguese.
bool criaBaseDados(const QString &ligacao, QString *erro, const QString &senhaAdmin = QString());

// Brings a database installed by an earlier version to what this one needs, where that keeps
// every stored value (installing is offered only on a database that cannot be read): the
// unique guarantees, with the same refusals as criaBaseDados where repeated rows stand in
// their way or the database is another program's. Reads only, and writes nothing, when there is nothing to change.
bool actualizaBaseDados(QSqlDatabase db, QString *erro);

// Only a database that holds EUsers is this program's (perhaps from an earlier version); one
// that holds other tables or views is another program's, and nothing in it may change. On
// PostgreSQL the schemas of the search path count, where the program's unquoted names are
// looked up (folded to lower case); SQLite's own tables do not count. *alheia tells which;
// when it is, erro (if given) names the database. False, with erro, when it cannot be read.
// Run inside the caller's transaction, so that what was seen is what is changed.
bool eDeOutroPrograma(QSqlDatabase db, bool *alheia, QString *erro);
