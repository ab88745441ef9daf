#pragma once

#include <QDialog>

class DataCombo;
class QPushButton;
struct Session;

// The item choice of a model: picks the next item to code (list 1 of MenusMod) and shows its
// coding window, the file name's (Cod_nome) for code 0 and a line's (Cod_det) for any other.
class Cod_Modelo : public QDialog
{
    Q_OBJECT
public:
    explicit Cod_Modelo(Session &s, QWidget *parent = nullptr);

    DataCombo *tipocod;
    QPushButton *CodButton;
    QPushButton *CancelButton;

    // "Codificar".
    void codifica();

private:
    bool leLista();

    Session &m_s;
};
