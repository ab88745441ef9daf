#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

// A small reader of .xlsx workbooks: the sheets in their order, and each sheet's cells
// by address ("A1"). Numbers come back as doubles, text as strings, Booleans as bools.
class LeitorXlsx
{
public:
    bool abre(const QString &caminho, QString *erro = nullptr);

    int numeroFolhas() const { return m_folhas.size(); }
    QStringList nomesFolhas() const;
    // Sheets are numbered from 1, as the workbook shows them.
    QVariant valor(int folha, const QString &celula) const;
    QString formula(int folha, const QString &celula) const;
    // The last row (1-based) that holds any cell of the sheet; 0 for an empty sheet.
    int ultimaLinha(int folha) const;

private:
    struct Folha {
        QString nome;
        QHash<QString, QVariant> valores;
        QHash<QString, QString> formulas;
        int ultimaLinha = 0;
    };
    QList<Folha> m_folhas;
};
