#pragma once

#include <QString>

// The program's folder: where molvar.ini and the written workbooks live.
// MOLVAR_HOME overrides it, so tests and several installs stay apart.
QString appFolder();

// Creates the folder when missing and checks that it can be written.
bool ensureAppFolder(QString *erro);

// Creates a folder and its missing parents for the owner only (0700): they hold the books
// and the settings with their passwords. A folder that already exists is left as it is.
bool criaPastaPrivada(const QString &pasta);
