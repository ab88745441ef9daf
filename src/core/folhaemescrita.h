#pragma once

#include <QString>

// Where a workbook is written before it takes its name: a directory of the export's own,
// "<base>.xlsx.tmp.XXXXXX", made with mode 0700 beside the final name (so that giving the
// name is a rename on one file system). No other user can put a link in it, so the writer,
// which opens its files by name, never writes through one. The directory holds a lock file,
// locked for as long as the export lives, so that another export clearing leftovers (another
// copy of the program, a folder shared by several workstations) leaves it alone.
class FolhaEmEscrita
{
public:
    FolhaEmEscrita() = default;
    ~FolhaEmEscrita();
    FolhaEmEscrita(const FolhaEmEscrita &) = delete;
    FolhaEmEscrita &operator=(const FolhaEmEscrita &) = delete;

    // Makes the directory for `base` (a path without ".xlsx"). False with the reason.
    bool cria(const QString &base, QString *erro);
    // The directory's name in the folder.
    QString pasta() const { return m_pasta; }
    // The workbook to write, and the folder for the writer's own temporary files: both reached
    // through the open directory, not by its name, which another user of a folder without the
    // sticky bit could give to a directory of his own.
    QString nome() const;
    QString pastaTemporaria() const;
    // False where the folder's locks fail or do nothing: the export goes on without a lock, and
    // no leftover can be proved abandoned there.
    bool trancada() const { return m_trancada; }
    // Removes the directories of exports of `base` that ended before their workbook took its
    // name: only where locks work, and only those whose lock no export holds.
    void removeSobras(const QString &base) const;
    // Gives the written workbook the name `base`.xlsx, or the first free "`base` (n).xlsx": a
    // file already there (perhaps just written by another export, perhaps edited by the user)
    // is never replaced. The name taken, or empty with the reason.
    QString daNome(const QString &base, QString *erro);

private:
    int m_dir = -1;
    int m_tranca = -1;
    QString m_pasta;
    bool m_trancada = false;
};
