#include "core/datacombo.h"

#include "core/connection.h"
#include "core/odbc.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMetaMethod>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QStandardItemModel>

DataCombo::DataCombo(QWidget *parent)
    : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    // Typed codes must stay as typed: no completion that would change the text or its case.
    setCompleter(nullptr);
    setMaxVisibleItems(20);
    // Long charts: never measure every item to size the box or its list.
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(12);
    auto *vista = new QListView(this);
    vista->setUniformItemSizes(true);
    setView(vista);
    connect(this, &QComboBox::currentTextChanged, this, &DataCombo::textChanged);
}

bool DataCombo::setRowSource(QSqlDatabase db, const QString &sql, const QVariantList &params, const QString &listField,
    const QString &boundColumn, QString *erro)
{
    clearRowSource();
    QSqlQuery q(db);
    q.setForwardOnly(eOdbc(db));
    QString e;
    if (!executa(q, sql, params, &e) || !leVista(q, &e)) {
        if (erro)
            *erro = e;
        return false;
    }
    auto *model = new QSqlQueryModel(this);
    model->setQuery(std::move(q));
    // The whole list is read once: the lookups of the windows walk every row.
    while (model->canFetchMore())
        model->fetchMore();
    const QSqlRecord rec = model->record();
    m_listField = listField;
    m_boundColumn = boundColumn;
    m_listCol = rec.indexOf(listField);
    m_boundCol = boundColumn.isEmpty() ? -1 : rec.indexOf(boundColumn);
    if (m_listCol < 0) {
        delete model;
        if (erro)
            *erro = QStringLiteral("A coluna \"%1\" não existe na lista.").arg(listField);
        return false;
    }
    const QString texto = currentText();
    blockSignals(true);
    m_model = model;
    setModel(model);
    setModelColumn(m_listCol);
    setCurrentIndex(-1);
    setEditText(texto);
    blockSignals(false);
    return true;
}

void DataCombo::clearRowSource()
{
    if (!m_model)
        return;
    const QString texto = currentText();
    blockSignals(true);
    m_model = nullptr;
    // QComboBox deletes the previous model, which it owns.
    setModel(new QStandardItemModel(this));
    setEditText(texto);
    blockSignals(false);
    m_listCol = m_boundCol = -1;
}

void DataCombo::setText(const QString &texto)
{
    const int r = findRow(texto);
    if (r >= 0 && r == currentIndex() && currentText() == texto)
        return;
    if (r >= 0) {
        setCurrentIndex(r);
        if (currentText() != texto)
            setEditText(texto);
    } else {
        blockSignals(true);
        setCurrentIndex(-1);
        blockSignals(false);
        setEditText(texto);
    }
}

QVariant DataCombo::boundText() const
{
    if (m_boundCol < 0 || !m_model)
        return {};
    int r = currentIndex();
    if (r < 0 || itemText(r) != currentText())
        r = findRow(currentText());
    if (r < 0)
        return {};
    return m_model->record(r).value(m_boundCol);
}

int DataCombo::rowCount() const
{
    return m_model ? m_model->rowCount() : 0;
}

QSqlRecord DataCombo::row(int i) const
{
    return m_model ? m_model->record(i) : QSqlRecord();
}

int DataCombo::findRow(const QString &texto) const
{
    if (!m_model)
        return -1;
    const int n = m_model->rowCount();
    for (int i = 0; i < n; ++i)
        if (m_model->data(m_model->index(i, m_listCol)).toString() == texto)
            return i;
    return -1;
}

void DataCombo::focusInEvent(QFocusEvent *e)
{
    QComboBox::focusInEvent(e);
    emit focusEntered();
}

void DataCombo::keyPressEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        e->accept();
        emit enterPressed();
        return;
    }
    // Esc belongs to the window (a dialog closes) unless the window handles it here.
    if (e->key() == Qt::Key_Escape && isSignalConnected(QMetaMethod::fromSignal(&DataCombo::escapePressed))) {
        e->accept();
        emit escapePressed();
        return;
    }
    QComboBox::keyPressEvent(e);
}
