#pragma once

#include "charts/chartsource.h"

#include <QDialog>

class DataGrid;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
struct Session;

// What receives the code chosen in Procuras: the totals window writes it into its account
// list (mode 4) or its cost-centre list (mode 5).
class ProcurasDestino
{
public:
    virtual ~ProcurasDestino() = default;
    virtual void recebeCodigo(int modo, const QString &codigo) = 0;
};

// Search of an account (gModoProcura 4) or a cost centre (5) of the session's company and
// year, by the beginning of its code or of its description. Shown modally; on acceptance
// hands the chosen code to its destination and closes. Create it with new: it deletes
// itself when closed.
class Procuras : public QDialog
{
    Q_OBJECT
public:
    Procuras(Session &s, ProcurasDestino *destino, QWidget *parent = nullptr);

    int modo() const { return m_modo; }
    // Lists the chart filtered by the two boxes and makes the first row current; a failure
    // is always said.
    void procura();
    // Hands the code of the current row to the destination and closes; without a row says so.
    void aceita();

private:
    // The search after a pause in typing: a failure already said is not said again.
    void procuraAoEscrever();
    void lista(bool pedida);

    Session &m_s;
    ProcurasDestino *m_destino;
    int m_modo;
    TipoPlano m_tipo;
    FontePlano m_fonte;

    QLabel *m_label;
    QLineEdit *m_codigo;
    QLineEdit *m_desc;
    QPushButton *m_procurar;
    DataGrid *m_grelha;
    QPushButton *m_ok;
    QPushButton *m_cancelar;
    QTimer *m_espera;
    bool m_falhaDita = false; // a failure was said and no search has succeeded since
};
