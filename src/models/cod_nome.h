#pragma once

#include "models/registoitem.h"
#include "models/regrasnome.h"

#include <QDialog>

struct Session;
class DataCombo;
class QLabel;
class QLineEdit;
class QPushButton;

// Coding of the output file's name and extension of a model (the item of code 0): edits the
// model's name row of modexptxtdet. Reads gModelo, gItemCodigo and gItemNome of the session.
class Cod_nome : public QDialog
{
    Q_OBJECT
public:
    explicit Cod_nome(Session &s, QWidget *parent = nullptr);
    ~Cod_nome() override;

protected:
    void showEvent(QShowEvent *e) override;

private:
    void constroi();
    void carrega();
    void escolheParteNome();
    void escolheParteExtensao();
    void confirmaParteNome();
    void confirmaParteExtensao();
    void grava();
    void anula();
    void avisa(const FalhaCampo &f);
    NomeExtensao estado();
    void mostraParte(QLineEdit *ordem, int maximo, ParteFicheiro *partes, const ListaOpcoes &tipos, DataCombo *tipo,
        QLineEdit *comprimento, QLineEdit *texto);
    void leParte(int n, ParteFicheiro &p, const char *sufixo, const ListaOpcoes &tipos);

    Session &m_s;
    RegistoItem m_linha;
    std::array<ParteFicheiro, 5> m_partesNome;
    std::array<ParteFicheiro, 4> m_partesExtensao;
    qint16 m_numPartesNome = 0;
    qint16 m_numPartesExtensao = 0;
    bool m_activoNome = false;
    bool m_activoExtensao = false;

    DataCombo *m_Fnome = nullptr, *m_Fpnome1 = nullptr, *m_Fext = nullptr, *m_Fpext1 = nullptr;
    QLineEdit *m_Fpnome = nullptr, *m_Ffnome = nullptr, *m_Pnome = nullptr, *m_Ftnome1 = nullptr, *m_Ffnome1 = nullptr;
    QLineEdit *m_Fpext = nullptr, *m_Ffext = nullptr, *m_Pext = nullptr, *m_Ftext1 = nullptr, *m_Ffext1 = nullptr;
    QPushButton *m_ConfpnCommand = nullptr, *m_ConfpeCommand = nullptr;
    QPushButton *m_InsertButton = nullptr, *m_AnulaButton = nullptr, *m_CancelButton = nullptr;
};
