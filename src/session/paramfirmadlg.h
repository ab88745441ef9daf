#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
struct Session;

// The parameters of one company in ParamFirma: where its charts live, the outside
// package and the company's code in it, and its cost centres. SNC is left as it is.
class ParamFirmaDlg : public QDialog
{
    Q_OBJECT
public:
    ParamFirmaDlg(Session &s, const QString &codFirma, QWidget *parent = nullptr);

    // False (after its message) when the company could not be read.
    bool carregado() const { return m_carregado; }
    QString codFirma() const { return m_codFirma; }

    QLabel *CodFirma;
    QLineEdit *Designacao;
    QCheckBox *PlanosExt; // Planos_Ext
    QComboBox *TipoLig; // Tipo_Lig, the letter as item data
    QLineEdit *EmpCtb;
    QCheckBox *AnaExt; // Ana_Ext
    QLineEdit *Analitica; // account prefixes separated by "*"
    QPushButton *OKButton;
    QPushButton *CancelButton;

signals:
    void gravado(const QString &codigo);

private:
    void carrega();
    void grava();

    Session &m_s;
    QString m_codFirma;
    bool m_carregado = false;
};
