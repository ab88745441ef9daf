#pragma once

#include <QString>

// The file a workbook is written to before it takes its name, beside that name (so that
// giving it the name is a rename on one file system): "<base>.xlsx.<16 hex digits>.tmp".
// Each export has one of its own, locked for as long as it exists, so that another export of
// the same name (another copy of the program, a folder shared by several workstations)
// neither writes into it nor removes it.
class FolhaEmEscrita
{
public:
    FolhaEmEscrita() = default;
    ~FolhaEmEscrita();
    FolhaEmEscrita(const FolhaEmEscrita &) = delete;
    FolhaEmEscrita &operator=(const FolhaEmEscrita &) = delete;

    // Creates and locks a new file for `base` (a path without ".xlsx"). False with the reason.
    bool cria(const QString &base, QString *erro);
    QString nome() const { return m_nome; }
    // Gives the written file the name `base`.xlsx, or the first free "`base` (n).xlsx": a
    // workbook already there (perhaps just written by another export, perhaps edited by the
    // user) is never replaced. The name taken, or empty with the reason.
    QString daNome(const QString &base, QString *erro);

private:
    int m_fd = -1;
    QString m_nome;
    bool m_entregue = false;
};

// Removes the files of FolhaEmEscrita for `base` that were left behind by an export that
// ended before its workbook took its name, and that no export is writing now.
void removeSobras(const QString &base);
