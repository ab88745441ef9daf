#pragma once

#include "charts/chartsource.h"

#include <QHash>
#include <QWidget>

class DataCombo;
class QLabel;
class QLineEdit;
class QPushButton;
struct Session;

// Deletes one account (Del_cPoc) or cost centre (Del_Analit) from the own chart of the
// session's company and year, after confirmation. Closes itself after a deletion or on
// "Cancelar".
class ChartDelete : public QWidget
{
    Q_OBJECT
public:
    ChartDelete(Session &s, TipoPlano tipo, QWidget *parent = nullptr);

    TipoPlano tipo() const { return m_tipo; }
    void procura();
    void apaga();

protected:
    void showEvent(QShowEvent *e) override;

private:
    void carrega();
    void mostraDescricao();
    QString codigoDa(int linha) const;
    QString descricaoDa(int linha) const;
    void escolhe(int linha);

    Session &m_s;
    TipoPlano m_tipo;
    bool m_activado = false;
    bool m_carregado = false;
    QHash<QString, int> m_linhaDoCodigo; // first row of each code, for the lookups

    QLabel *m_label;
    DataCombo *m_combo;
    QLineEdit *m_desc;
    QPushButton *m_procurar;
    QPushButton *m_apagar;
    QPushButton *m_cancelar;
};
