#pragma once

#include <QString>

// Passwords of connection strings never reach a message: the values of Pwd= and Password=
// are masked, and so is any password the program has read from a connection string, in
// case a driver echoes it in its error text.
void registaSenha(const QString &senha);
QString ocultaSenhas(const QString &texto);
