#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;
struct Session;

// The code-and-name dialog that creates a company: a new ParamFirma row with the
// parameters off and SNC at 0. The caller refreshes its list on firmaCriada.
class MolvarInsFirma : public QDialog
{
    Q_OBJECT
public:
    explicit MolvarInsFirma(Session &s, QWidget *parent = nullptr);

    QLineEdit *Text1; // code, up to 4 characters
    QLineEdit *Text2; // name
    QPushButton *OKButton;
    QPushButton *CancelButton;

signals:
    void firmaCriada(const QString &codigo);

private:
    void insere();

    Session &m_s;
};
