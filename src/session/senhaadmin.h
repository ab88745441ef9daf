#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class Mensagens;

// Asks for a new password twice: both the same, and taken by today's rules (senhaRecusada).
// Used when the database is installed and when a login uses a password those rules refuse.
class SenhaAdmin : public QDialog
{
    Q_OBJECT
public:
    SenhaAdmin(Mensagens *msg, const QString &explicacao, QWidget *parent = nullptr);

    // The accepted password, in the form it is kept in.
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
