#pragma once

#include <QDate>
#include <QMainWindow>

class DataCombo;
class QAction;
class QLabel;
class QLineEdit;
class QPushButton;
struct DadosFirma;
struct Session;

// The start-up window: checks the database, offers its installation and the creation of
// companies, and logs a user in to a company and processing date.
class Molvarentrada : public QMainWindow
{
    Q_OBJECT
public:
    explicit Molvarentrada(Session &s, QWidget *parent = nullptr);

    // Rereads the settings, checks the database and fills the lists.
    void carrega();
    // Refills the company list, keeping the company shown (after one is created or changed).
    void FirmaRefresca();

    bool baseDisponivel() const { return m_baseOk; }

    QLineEdit *Utilizador;
    QLineEdit *Senha;
    DataCombo *DataCombo1; // company code
    QLabel *NomeFirma;
    QLineEdit *DTPicker1; // processing date, dd-mm-yyyy
    QPushButton *Validar;
    QPushButton *Sair;

    QAction *config_sql;
    QAction *instalar_bd;
    QAction *criar_firma;
    QAction *param_firma;
    QAction *sair;

signals:
    // The session is set for the chosen company and date; the window closes itself next.
    void entrou();

private:
    // The user whose password has just been checked, and the processing date typed.
    struct Entrada {
        QString login, nome;
        bool admin = false;
        QString passw; // the stored hash that was checked
        QDate data;
    };
    void mostraNome();
    void configura();
    void instala();
    void criaFirma();
    void abreParametros(const QString &codigo);
    void valida();
    bool trocaSenha(const Entrada &entrada, const QString &nova);
    // Sets the session from the user and the company's ParamFirma row, and hands over.
    void entra(const Entrada &entrada, const DadosFirma &firma);

    Session &m_s;
    bool m_baseOk = false;
};
