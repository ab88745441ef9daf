#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class Mensagens;

// Asks for a new password twice: both the same and at least kSenhaMinima characters long.
// Used when the database is installed and when a login still uses the old default password.
class SenhaAdmin : public QDialog
{
    Q_OBJECT
public:
    SenhaAdmin(Mensagens *msg, const QString &explicacao, QWidget *parent = nullptr);

    // The accepted password.
    QString senha() const;

    QLabel *Explicacao;
    QLineEdit *Senha1;
    QLineEdit *Senha2;
    QPushButton *OKButton;
    QPushButton *CancelButton;

private:
    void confere();

    Mensagens *m_msg;
};
