#pragma once

#include <QComboBox>
#include <QSqlDatabase>
#include <QSqlRecord>
#include <QVariantList>

class QSqlQueryModel;

// An editable list over a query. ListField is the column shown; BoundColumn, when set,
// is the column whose value for the chosen row boundText() gives. text() is what is
// shown or typed; setText() selects the row whose shown value equals the text exactly.
class DataCombo : public QComboBox
{
    Q_OBJECT
public:
    explicit DataCombo(QWidget *parent = nullptr);

    // Runs the query and makes its rows the list. False (with the database's text) on failure,
    // leaving the list empty.
    bool setRowSource(QSqlDatabase db, const QString &sql, const QVariantList &params, const QString &listField,
        const QString &boundColumn = QString(), QString *erro = nullptr);
    void clearRowSource();

    QString text() const { return currentText(); }
    void setText(const QString &texto);
    QVariant boundText() const;

    int rowCount() const;
    QSqlRecord row(int i) const;
    // First row whose shown value equals text exactly, or -1.
    int findRow(const QString &texto) const;
    QString listField() const { return m_listField; }
    QString boundColumn() const { return m_boundColumn; }

signals:
    void focusEntered();
    void enterPressed();
    void escapePressed();
    void textChanged(const QString &texto);

protected:
    void focusInEvent(QFocusEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    QSqlQueryModel *m_model = nullptr;
    QString m_listField;
    QString m_boundColumn;
    int m_listCol = -1;
    int m_boundCol = -1;
};
