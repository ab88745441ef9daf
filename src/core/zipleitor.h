#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

// Reads the entries of a zip container (an .xlsx workbook is one). Only what a workbook
// needs: stored and deflated entries, no encryption, no zip64.
//
// Written on zlib rather than on a zip library: the Debian zip wrappers export the same
// symbols as the minizip that the workbook writer uses, and one process cannot hold both.
class ZipLeitor
{
public:
    bool abre(const QString &caminho, QString *erro = nullptr);
    bool contem(const QString &nome) const { return m_entradas.contains(nome); }
    // The uncompressed bytes of an entry; false when it is missing or damaged.
    bool le(const QString &nome, QByteArray *out) const;

private:
    struct Entrada {
        quint16 metodo = 0;
        quint32 comprimido = 0;
        quint32 tamanho = 0;
        quint32 offsetLocal = 0;
    };
    QByteArray m_dados;
    QHash<QString, Entrada> m_entradas;
};
