#pragma once

#include "core/twips.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQueryModel>
#include <QTableView>
#include <QVariantList>

// Caption and width (in twips) of one grid column.
struct ColunaGrelha {
    QString titulo;
    int larguraTwips = 0;
};

// How a grid column shows its values.
enum class FormatoColuna {
    Texto, // as the database gives it
    Booleana, // "Sim"/"Não"
    Monetaria, // always two decimals with a decimal comma, whatever type the database returns
    Data, // dd-mm-aaaa like every date of the program
};

// The rows of a query for a grid, each column in its format. Rows are fetched as the view
// needs them.
class ModeloGrelha : public QSqlQueryModel
{
    Q_OBJECT
public:
    using QSqlQueryModel::QSqlQueryModel;
    void setFormato(int coluna, FormatoColuna formato);
    QVariant data(const QModelIndex &item, int role = Qt::DisplayRole) const override;

private:
    QHash<int, FormatoColuna> m_formatos;
};

class DataGrid : public QTableView
{
    Q_OBJECT
public:
    explicit DataGrid(QWidget *parent = nullptr);
    ~DataGrid() override;

    // Runs the query and shows its rows. False (with the database's text) on failure; the
    // grid is then left empty.
    bool setQuery(QSqlDatabase db, const QString &sql, const QVariantList &params = {}, QString *erro = nullptr);
    void limpa();

    // Captions and widths of the first columns, in order; missing columns are ignored. A width
    // in twips becomes pixels of the grid's font (see twipsParaPixels: the measures were
    // drawn for a smaller font, so fixed 15 twips to a pixel would cut the captions);
    // a column whose caption needs more is widened to the caption, so none is cut.
    void aplicaLayout(const QList<ColunaGrelha> &colunas);
    void setFormato(int coluna, FormatoColuna formato);

    // Wide enough for every column beside the row numbers and the vertical scroll bar, so
    // that a window sized by its hint shows the whole grid where there is room.
    QSize sizeHint() const override;

    // Rows read so far (the view reads more as it scrolls); totalLinhas() reads them all.
    int linhasLidas() const;
    int totalLinhas();
    bool temLinhas() const;
    // Reads the remaining rows and makes the last one current.
    void vaiParaUltima();
    QVariant valor(int linha, int coluna) const;
    // The shown text of a cell, as the user sees it.
    QString texto(int linha, int coluna) const;
    int linhaActual() const;
    ModeloGrelha *modelo() const { return m_modelo; }

private:
    ModeloGrelha *m_modelo;
    // Names this grid's own reading connection (see ligacaoDeLeitura).
    QString m_leitor;
};
