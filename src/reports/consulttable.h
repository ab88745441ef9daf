#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QWidget>

#include "core/datagrid.h"

struct Session;
class DataCombo;
class DataGrid;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The accrual rows of the current company, narrowed by one of five filters, with the
// deletion of an accrual's open lines and the export of the listed query. Each menu click
// opens a new instance; its filters, chosen reference and last query are its own.
class ConsultTable : public QWidget
{
    Q_OBJECT
public:
    explicit ConsultTable(Session &s, QWidget *parent = nullptr);

    // The reference of the grid row last clicked; an empty text until then.
    QVariant refEscolhida() const { return m_refEscolhida; }
    // The last list query that was opened, and its bound values.
    QString sqlGrelha() const { return m_sqlGrelha; }
    QVariantList paramsGrelha() const { return m_paramsGrelha; }

    // The grid's column layouts: after "Ok", and after a resize or a deletion.
    static QList<ColunaGrelha> layoutOk();
    static QList<ColunaGrelha> layoutRedimensionado();

    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *e) override;
    bool eventFilter(QObject *obj, QEvent *e) override;

private:
    void carrega();
    bool carregaReferencias();
    bool mostraLista(const QString &sql, const QVariantList &params);
    void procura();
    void apaga();
    void exporta();
    void sair();
    void focoEmFiltro(QWidget *filtro);

    Session &m_s;
    QVariant m_refEscolhida;
    QString m_sqlGrelha;
    QVariantList m_paramsGrelha;

    QGroupBox *Frame1;
    DataCombo *DataCombo1;
    QLineEdit *anoInic1;
    QLineEdit *mesInic1;
    QLineEdit *Text1;
    QLineEdit *Text2;
    QPushButton *Command5;
    QLabel *tituloGrelha;
    DataGrid *DataGrid1;
    QPushButton *Command2;
    QPushButton *Command3;
    QPushButton *Command1;
    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label3;
    QLabel *Label4;
    QLabel *Label5;
};
