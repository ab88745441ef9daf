#pragma once

#include <QDialog>

class DataCombo;
class QPushButton;
struct Session;

// Deletes a model, its header and every coded item, after confirmation; closes itself after
// a deletion.
class Del_Modelo : public QDialog
{
    Q_OBJECT
public:
    explicit Del_Modelo(Session &s, QWidget *parent = nullptr);

    DataCombo *Modelo;
    QPushButton *ApagaButton;
    QPushButton *CancelButton;

    // "Eliminar".
    void apaga();

protected:
    void showEvent(QShowEvent *e) override;

private:
    void modeloMudou();

    Session &m_s;
    bool m_activado = false;
};
