#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>

// One cell as a workbook reader hands it over: row and column from 1, the value (numbers as
// doubles, text as strings, Booleans as bools) and the formula, when there is one.
struct CelulaLivro {
    int linha = 0;
    int coluna = 0;
    QVariant valor;
    QString formula;
};

// Returns false to stop reading the sheet.
using VisitaCelula = std::function<bool(const CelulaLivro &)>;

// A reader of .xlsx workbooks on minizip: each part is inflated a piece at a time into an XML
// reader, never held whole, and is refused when it fails to inflate, to pass its checksum or to
// parse, or when it is larger than kTamanhoMaximoParte.
class LeitorXlsx
{
public:
    // Far above the parts of any real chart (50,000 rows take about 10 MB); a part that claims
    // more is a damaged or hostile workbook.
    static constexpr qint64 kTamanhoMaximoParte = 64LL * 1024 * 1024;

    LeitorXlsx();
    ~LeitorXlsx();
    LeitorXlsx(const LeitorXlsx &) = delete;
    LeitorXlsx &operator=(const LeitorXlsx &) = delete;

    // Reads the list of sheets and the shared strings; the sheets are read by percorre().
    bool abre(const QString &caminho, QString *erro = nullptr);

    int numeroFolhas() const { return m_folhas.size(); }
    QStringList nomesFolhas() const;
    // The cells of sheet `folha` (from 1) in the order the workbook keeps them, until visita
    // returns false. The rest of the part is still inflated then, so that its checksum is checked.
    bool percorre(int folha, const VisitaCelula &visita, QString *erro = nullptr) const;

    // A whole sheet kept in memory, for small workbooks (the program's own exports).
    QVariant valor(int folha, const QString &celula) const;
    QString formula(int folha, const QString &celula) const;
    // The last row (1-based) that holds any cell of the sheet; 0 for an empty sheet.
    int ultimaLinha(int folha) const;

private:
    struct Folha {
        QString nome;
        QString parte;
    };
    struct Carregada {
        QHash<QString, QVariant> valores;
        QHash<QString, QString> formulas;
        int ultimaLinha = 0;
    };
    const Carregada *carregada(int folha) const;

    void *m_zip = nullptr;
    QList<Folha> m_folhas;
    QStringList m_textos;
    mutable QHash<int, std::shared_ptr<Carregada>> m_carregadas;
};
