#pragma once

#include <QList>
#include <QString>

// The settings file molvar.ini in the program's folder, read and written key by key.
// Section and key names compare without regard to case, as INI files always have.
QString iniPath();

// Reads one key; a missing file, section or key reads as the default. At most 2048 characters.
QString LeIni(const QString &seccao, const QString &chave, const QString &omissao = QString());

// Writes one key, keeping every other line of the file as it was. False (with the reason) on failure.
bool GravaIni(const QString &seccao, const QString &chave, const QString &valor, QString *erro = nullptr);

// Writes several keys in one go: either all of them reach the file or none does.
struct ChaveIni {
    QString seccao, chave, valor;
};
bool GravaIni(const QList<ChaveIni> &chaves, QString *erro = nullptr);

enum class EstadoIni { Ok, Criado, Danificado, Erro };

// Makes sure the settings file exists: a missing one is created with the defaults
// (own database: a SQLite file in the program's folder). A file that cannot be read as
// text, or lacks the own database's section, is reported as damaged and left untouched.
EstadoIni garanteIni(QString *mensagem);
