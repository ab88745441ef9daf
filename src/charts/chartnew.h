#pragma once

#include "charts/chartsource.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
struct Session;

// Adds one account (New_Poc) or one cost centre (New_Analit) to the own chart of the
// session's company and year. Closes itself after a row is written or on "Cancelar".
class ChartNew : public QWidget
{
    Q_OBJECT
public:
    ChartNew(Session &s, TipoPlano tipo, QWidget *parent = nullptr);

    TipoPlano tipo() const { return m_tipo; }
    void insere();

private:
    Session &m_s;
    TipoPlano m_tipo;

    QLineEdit *m_firma;
    QLineEdit *m_ano;
    QLineEdit *m_codigo;
    QLineEdit *m_desc;
    QRadioButton *m_sim;
    QRadioButton *m_nao;
    QPushButton *m_inserir;
    QPushButton *m_cancelar;
};
