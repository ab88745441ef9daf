#pragma once

#include <QDialog>

#include <optional>

class DataCombo;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
struct Session;

// The model simulation: shows the integration date and the company's next journal number,
// and makes "D" the export target letter. It writes nothing; "Simular" has no effect.
class Sim_Modelo : public QDialog
{
    Q_OBJECT
public:
    explicit Sim_Modelo(Session &s, QWidget *parent = nullptr);

    QLabel *Label1;
    DataCombo *Modelo;
    QLabel *Label2;
    QDateEdit *DTPicker1;
    QLabel *Label3;
    QLineEdit *Text1;
    QLabel *Label4;
    QLineEdit *Text2;
    QPushButton *SimButton;
    QPushButton *CancelButton;

    // The journal number after the highest of the company's accrual rows, whatever their
    // journal (1 when there is none); none when it cannot be read.
    std::optional<qint64> proximoNumDiario();

private:
    Session &m_s;
    std::optional<qint64> m_proximo = 1;
};
