#pragma once

#include "charts/chartsource.h"

#include <QWidget>

class DataCombo;
class DataGrid;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
struct Session;

// Consultation of the chart of accounts (ConsultPoc) or of cost centres (ConsultAnalit) of
// the session's company and year, from whichever source the company's parameters name.
// Nothing is written.
class ChartConsult : public QWidget
{
    Q_OBJECT
public:
    ChartConsult(Session &s, TipoPlano tipo, QWidget *parent = nullptr);

    TipoPlano tipo() const { return m_tipo; }
    // Runs the search: the code in the combo, else the description text, else the whole chart.
    void procura();

protected:
    void resizeEvent(QResizeEvent *e) override;
    bool eventFilter(QObject *o, QEvent *e) override;

private:
    void carrega();
    void aplicaLayout();

    Session &m_s;
    TipoPlano m_tipo;
    FontePlano m_fonte; // the source of the load, for the resize layout

    QGroupBox *m_frame;
    QLabel *m_label;
    DataCombo *m_combo;
    QLineEdit *m_desc;
    QPushButton *m_ok;
    DataGrid *m_grelha;
    QPushButton *m_sair;
};
