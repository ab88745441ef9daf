#pragma once

#include "core/leitorxlsx.h"

#include <memory>

// A reader of the old .xls workbooks (BIFF5/BIFF8), with the same calls as LeitorXlsx. FreeXL
// reads them in a helper of our own (molvar_leitorxls), started for each workbook, bounded in
// memory and processor time, and waited for until a deadline; this process never runs FreeXL,
// and reads the cells of sheets 1 and 2 from the helper as they come.
class LeitorXls
{
public:
    // How long the program waits for the helper, unless MOLVAR_PRAZO_LEITORXLS gives other seconds.
    static constexpr int kPrazoSegundos = 30;

    LeitorXls();
    ~LeitorXls();
    LeitorXls(const LeitorXls &) = delete;
    LeitorXls &operator=(const LeitorXls &) = delete;

    bool abre(const QString &caminho, QString *erro = nullptr);
    int numeroFolhas() const { return m_folhas; }
    // Sheets 1 and 2 only: the others are not read.
    QString nomeFolha(int folha) const;
    // The cells of sheet `folha` (1 or 2) that hold a value, row by row, until visita returns false.
    bool percorre(int folha, const VisitaCelula &visita, QString *erro = nullptr) const;

    // Where the helper is: the file MOLVAR_LEITORXLS names, or molvar_leitorxls beside the program.
    static QString auxiliar();

private:
    class Ajudante;
    struct Cabecalho;
    bool inicia(Cabecalho *c, QString *erro) const;

    QString m_caminho;
    int m_folhas = 0;
    QStringList m_nomes;
    mutable std::unique_ptr<Ajudante> m_ajudante;
};
