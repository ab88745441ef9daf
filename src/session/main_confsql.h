#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;
struct Session;

// The settings dialog: the two connection strings, the cost-centre module, the import
// source and workbook, and the way into the export-model editor. Accepting writes the
// settings file and the session's import settings.
class MainConfSql : public QDialog
{
    Q_OBJECT
public:
    // At start-up the connection strings are taken at once; during a session the
    // connections it started with stay in force and a change waits for the next start.
    enum class Momento { Arranque, Sessao };
    explicit MainConfSql(Session &s, Momento momento = Momento::Arranque, QWidget *parent = nullptr);

    QLineEdit *Ligacao1; // DATABASE1
    QLineEdit *Ligacao2; // DATABASE2
    QComboBox *Analitica; // "sim" / "não"
    QComboBox *TipoImp; // "S" outside database, "X" workbook (item data)
    QLineEdit *IxlsPath; // folder of the import workbook
    QLineEdit *ImpXls; // file name of the import workbook
    QPushButton *Procurar;
    QPushButton *Command11; // "Formato": the export-model editor
    QPushButton *OKButton;
    QPushButton *CancelButton;

signals:
    void gravado();

private:
    void procuraFolha();
    void abreModelos();
    void grava();

    Session &m_s;
    Momento m_momento;
};
