#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>

// One cell as a workbook reader hands it over: row and column from 1, the value (numbers as
// doubles, text as strings, Booleans as bools, dates as QDateTime in UTC, times of day as QTime)
// and the formula, when there is one.
struct CelulaLivro {
    int linha = 0;
    int coluna = 0;
    QVariant valor;
    QString formula;
    // The error the cell shows ("#N/A", "#DIV/0!") in place of a value.
    QString erro;
    // A formula whose result the file does not keep: its value is unknown, not empty.
    bool semResultado = false;
};

// "C" for column 3 (counted from 1), "AA" for 27; "C3" for row 3, column 3.
QString nomeColuna(int coluna);
QString referenciaCelula(int linha, int coluna);

// What a text read from a workbook takes once held: its own slot and, unless it is empty, its
// block (header, characters and terminator, and what the allocator keeps beside it). Guards
// count this, not the bytes the text came in.
qint64 custoTexto(const QString &t);

// A cell's text as a message quotes it: at most 80 characters, "…" marking the cut.
QString citacao(const QString &texto);

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
    // What the shared strings may take once held, each entry's own cost included: a real chart's
    // take a few MB, and a part under kTamanhoMaximoParte of tiny entries would take hundreds.
    static constexpr qint64 kTextosMaximos = 48LL * 1024 * 1024;
    // The longest sheet name that Excel accepts (LibreOffice cuts longer ones to it when it saves
    // a .xlsx), and a path to a part far longer than any workbook's; both are held for each entry.
    static constexpr int kNomeFolhaMaximo = 31;
    static constexpr int kCaminhoMaximo = 255;
    // No cell holds more characters; a longer text is cut one character past it, so that it is
    // still seen to be too long without being held whole.
    static constexpr int kCaracteresMaximos = 32767;
    // The sheet's last column (XFD) and row.
    static constexpr int kUltimaColuna = 16384;
    static constexpr int kUltimaLinha = 1048576;

    LeitorXlsx();
    ~LeitorXlsx();
    LeitorXlsx(const LeitorXlsx &) = delete;
    LeitorXlsx &operator=(const LeitorXlsx &) = delete;

    // Reads the list of sheets and the shared strings; the sheets are read by percorre().
    bool abre(const QString &caminho, QString *erro = nullptr);

    int numeroFolhas() const { return m_folhas.size(); }
    QString nomeFolha(int folha) const { return m_folhas.value(folha - 1).nome; }
    // The cells of sheet `folha` (from 1) in the order the workbook keeps them, until visita
    // returns false. The rest of the part is still inflated then, so that its checksum is checked.
    bool percorre(int folha, const VisitaCelula &visita, QString *erro = nullptr) const;
    // The merged range ("A2:A7") that covers the cell without starting at it, or an empty text:
    // such a cell is empty in the file, though the sheet shows the range's value in it. Reads the
    // sheet's part again, for its merges follow its cells; false, with erro, when it cannot.
    bool uniao(int folha, int linha, int coluna, QString *intervalo, QString *erro = nullptr) const;

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
    // The shared strings as UTF-8, one after another; entry i runs from m_inicios[i] to m_inicios[i + 1].
    QByteArray m_textos;
    QList<quint32> m_inicios;
    // Per cell style (the s attribute): 0 a number, 1 a date, 2 a time of day.
    QByteArray m_formatosData;
    bool m_data1904 = false;
    mutable QHash<int, std::shared_ptr<Carregada>> m_carregadas;
};
