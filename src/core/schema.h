#pragma once

#include <QString>

// Login and password of the administrator that the set-up creates.
inline constexpr const char *kAdminLogin = "admin";
inline constexpr const char *kAdminSenha = "admin";

// Creates the database of a connection string (the SQLite file, or the PostgreSQL
// database when the server lacks it), every table and index the program uses, the
// default administrator, the export counter and the option lists of the model editor.
// Running it on a database that already has them changes nothing. All or nothing:
// on failure nothing is left half-made and erro says why, in Portuguese.
bool criaBaseDados(const QString &ligacao, QString *erro);
