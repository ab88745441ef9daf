#pragma once

#include "models/campolinha.h"
#include "models/registoitem.h"
#include "models/regraslinha.h"

#include <QDialog>

struct Session;
class DataCombo;
class QLabel;
class QLineEdit;
class QPushButton;

// Coding of the line layout of one model item (an item of code other than 0): up to 24
// fields, edited one at a time and written into the item's row of modexptxtdet.
class Cod_det : public QDialog
{
    Q_OBJECT
public:
    explicit Cod_det(Session &s, QWidget *parent = nullptr);
    ~Cod_det() override;

protected:
    void showEvent(QShowEvent *e) override;

private:
    void constroi();
    void carrega();
    void escolheCampo();
    void confirma();
    void grava();
    void anula();
    void cancela();
    void foca(const QString &nome);
    OpcoesLinha opcoes() const;

    Session &m_s;
    RegistoItem m_linha;
    CamposLinha m_campos;
    qint16 m_numCampo = 0;
    qint16 m_numCampos = 0;
    bool m_formActivo = false;
    bool m_linhaGravada = false; // the row held a saved line when this window opened

    QLabel *m_Label1 = nullptr;
    QLineEdit *m_Lcampos = nullptr, *m_Pcampo = nullptr, *m_Ltcampo1 = nullptr, *m_Ltccampo1 = nullptr, *m_Lndcampo1 = nullptr,
              *m_Lfcampo1 = nullptr;
    std::array<DataCombo *, kListasCampo> m_combos {};
    QPushButton *m_InsertButton = nullptr, *m_AnulaButton = nullptr, *m_CancelButton = nullptr, *m_ConfpnCommand = nullptr;
};
