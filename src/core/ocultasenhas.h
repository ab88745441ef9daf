#pragma once

#include <QString>

// Passwords of connection strings never reach a message: the values of Pwd= and Password=
// are masked, and so is any password the program has read from a connection string, in
// case a driver echoes it in its error text.
void registaSenha(const QString &senha);
// For what a database or driver says, and for connection strings: both kinds of masking.
QString ocultaSenhas(const QString &texto);
// For every message: the values of Pwd= and Password= only. A known password is not looked
// for in the program's own words, where "2024" is a year and "molvar" a file name.
QString ocultaChavesDeSenha(const QString &texto);
