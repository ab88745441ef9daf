#include "core/datagrid.h"

#include "core/connection.h"
#include "core/money.h"
#include "core/odbc.h"
#include "core/session.h"

#include <QHeaderView>
#include <QLocale>
#include <QScrollBar>
#include <QSqlError>
#include <QSqlQuery>

void ModeloGrelha::setFormato(int coluna, FormatoColuna formato)
{
    if (formato == FormatoColuna::Texto)
        m_formatos.remove(coluna);
    else
        m_formatos.insert(coluna, formato);
}

QVariant ModeloGrelha::data(const QModelIndex &item, int role) const
{
    const QVariant v = QSqlQueryModel::data(item, role == Qt::TextAlignmentRole ? Qt::DisplayRole : role);
    const FormatoColuna formato = m_formatos.value(item.column(), FormatoColuna::Texto);
    if (role == Qt::TextAlignmentRole) {
        const auto t = v.typeId();
        if (formato != FormatoColuna::Booleana
            && (t == QMetaType::Double || t == QMetaType::Int || t == QMetaType::LongLong || t == QMetaType::Short))
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    }
    if (role != Qt::DisplayRole)
        return v;
    // Some drivers give a NULL the column's type, which a view shows as "0": blank on all.
    if (v.isNull())
        return QVariant();
    switch (formato) {
    case FormatoColuna::Booleana: {
        const QString s = v.toString().trimmed().toLower();
        const bool verdade = !(s.isEmpty() || s == QLatin1String("0") || s == QLatin1String("false") || s == QLatin1String("f"));
        return verdade ? QStringLiteral("Sim") : QStringLiteral("Não");
    }
    case FormatoColuna::Monetaria:
        return formataCentimos(paraCentimos(v));
    case FormatoColuna::Data: {
        const QDate d = dataDaBase(v);
        return d.isValid() ? d.toString(QLatin1String(kFormatoData)) : v;
    }
    case FormatoColuna::Texto:
        break;
    }
    if (v.typeId() == QMetaType::Double)
        return QLocale(QLocale::Portuguese, QLocale::Portugal).toString(v.toDouble(), 'f', 2);
    return v;
}

DataGrid::DataGrid(QWidget *parent)
    : QTableView(parent)
    , m_modelo(new ModeloGrelha(this))
{
    static int grelhas = 0;
    m_leitor = QStringLiteral("grelha%1").arg(++grelhas);
    setModel(m_modelo);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(true);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
}

DataGrid::~DataGrid()
{
    m_modelo->clear();
    fechaLeitura(m_leitor);
}

bool DataGrid::setQuery(QSqlDatabase db, const QString &sql, const QVariantList &params, QString *erro)
{
    QString e;
    // Rows are read as the view scrolls: through a connection of this grid's own that never
    // writes. Its previous statement goes first, or the new one would see the same old rows.
    m_modelo->clear();
    const QSqlDatabase leitor = ligacaoDeLeitura(db, m_leitor, &e);
    QSqlQuery q(leitor);
    q.setForwardOnly(eOdbc(db));
    if (!leitor.isValid() || !executa(q, sql, params, &e) || !leVista(q, &e)) {
        limpa();
        if (erro)
            *erro = e;
        return false;
    }
    m_modelo->setQuery(std::move(q));
    return true;
}

void DataGrid::limpa()
{
    m_modelo->clear();
}

void DataGrid::aplicaLayout(const QList<ColunaGrelha> &colunas)
{
    const int n = qMin(colunas.size(), m_modelo->columnCount());
    const QHeaderView *cabecalho = horizontalHeader();
    for (int c = 0; c < n; ++c) {
        m_modelo->setHeaderData(c, Qt::Horizontal, colunas[c].titulo);
        setColumnWidth(c, qMax(twipsParaPixels(colunas[c].larguraTwips, this), cabecalho->sectionSizeHint(c)));
    }
    updateGeometry();
}

QSize DataGrid::sizeHint() const
{
    QSize s = QTableView::sizeHint();
    int largura = 2 * frameWidth() + horizontalHeader()->length() + verticalScrollBar()->sizeHint().width();
    if (!verticalHeader()->isHidden())
        largura += verticalHeader()->sizeHint().width();
    s.setWidth(qMax(s.width(), largura));
    return s;
}

void DataGrid::setFormato(int coluna, FormatoColuna formato)
{
    m_modelo->setFormato(coluna, formato);
    viewport()->update();
}

int DataGrid::linhasLidas() const
{
    return m_modelo->rowCount();
}

int DataGrid::totalLinhas()
{
    // A model that never had a query says it can fetch more yet never does: stop when a
    // fetch brings nothing.
    while (m_modelo->canFetchMore()) {
        const int antes = m_modelo->rowCount();
        m_modelo->fetchMore();
        if (m_modelo->rowCount() == antes)
            break;
    }
    return m_modelo->rowCount();
}

bool DataGrid::temLinhas() const
{
    return m_modelo->rowCount() > 0;
}

void DataGrid::vaiParaUltima()
{
    const int n = totalLinhas();
    if (n == 0)
        return;
    const QModelIndex ultima = m_modelo->index(n - 1, 0);
    setCurrentIndex(ultima);
    scrollTo(ultima);
}

QVariant DataGrid::valor(int linha, int coluna) const
{
    return m_modelo->QSqlQueryModel::data(m_modelo->index(linha, coluna), Qt::DisplayRole);
}

QString DataGrid::texto(int linha, int coluna) const
{
    return m_modelo->data(m_modelo->index(linha, coluna), Qt::DisplayRole).toString();
}

int DataGrid::linhaActual() const
{
    return currentIndex().isValid() ? currentIndex().row() : -1;
}
