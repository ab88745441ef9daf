#pragma once

#include <QString>

// The program's folder: where molvar.ini and the written workbooks live.
// MOLVAR_HOME overrides it, so tests and several installs stay apart.
QString appFolder();

// Creates the folder when missing and checks that it can be written.
bool ensureAppFolder(QString *erro);
