#pragma once

#include "core/leitorxlsx.h"

// A reader of the old .xls workbooks (BIFF5/BIFF8) on FreeXL, with the same calls as LeitorXlsx.
// FreeXL reads the whole file when it opens it: files larger than LeitorXlsx::kTamanhoMaximoParte
// are refused before that.
class LeitorXls
{
public:
    LeitorXls() = default;
    ~LeitorXls();
    LeitorXls(const LeitorXls &) = delete;
    LeitorXls &operator=(const LeitorXls &) = delete;

    bool abre(const QString &caminho, QString *erro = nullptr);
    int numeroFolhas() const { return m_folhas; }
    QString nomeFolha(int folha) const;
    // The cells of sheet `folha` (from 1), row by row, until visita returns false.
    bool percorre(int folha, const VisitaCelula &visita, QString *erro = nullptr) const;

private:
    const void *m_xls = nullptr;
    int m_folhas = 0;
};
