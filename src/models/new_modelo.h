#pragma once

#include <QDialog>
#include <QVariantList>

class DataCombo;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QSqlDatabase;
struct Session;

// The header of a model: detail type and four line counts, saved by "Codificar", which then
// shows the item choice (Cod_Modelo) and closes when it has closed. The two forms differ only
// in the name control and in what "Codificar" writes:
//   New_Modelo  "Novo modelo"           name box `modelo`      inserts a new header
//   Alt_Modelo  "Alteração de modelos"  model combo `Modelo`   updates the stored header
class CabecalhoModelo : public QDialog
{
    Q_OBJECT
public:
    DataCombo *tipodet;
    QLineEdit *nlincab;
    QLineEdit *nlinini;
    QLineEdit *nlinsep;
    QLineEdit *nlinfim;
    QPushButton *CodButton;
    QPushButton *CancelButton;

    // "Codificar".
    void codifica();

protected:
    CabecalhoModelo(Session &s, QWidget *parent);
    // Puts the form's name control beside "Modelo".
    void colocaNome(QWidget *nome);

    virtual QString nomeMostrado() const = 0;
    virtual void focaNome() = 0;
    // Before saving: true to go on, with the stored header's Id in *id when there is one.
    virtual bool verificaNome(QSqlDatabase db, QVariant *id) = 0;
    // Writes the header as one statement; false (message shown) when nothing was written.
    virtual bool escreve(QSqlDatabase db, const QVariant &id, int tipoDetalhe) = 0;
    // The four counts, in the order NlinCab, NlinIni, NlinSep, NlinFim.
    QVariantList contagens() const;
    // Selects in `tipodet` the first option of that code; an unknown code leaves it unchanged.
    void mostraTipoDetalhe(int codigo);

    Session &m_s;
    bool m_listaLida = false;

private:
    QGridLayout *m_grelha;
};

class New_Modelo : public CabecalhoModelo
{
    Q_OBJECT
public:
    explicit New_Modelo(Session &s, QWidget *parent = nullptr);

    QLineEdit *modelo;

protected:
    QString nomeMostrado() const override;
    void focaNome() override;
    bool verificaNome(QSqlDatabase db, QVariant *id) override;
    bool escreve(QSqlDatabase db, const QVariant &id, int tipoDetalhe) override;
};

class Alt_Modelo : public CabecalhoModelo
{
    Q_OBJECT
public:
    explicit Alt_Modelo(Session &s, QWidget *parent = nullptr);

    DataCombo *Modelo;

protected:
    QString nomeMostrado() const override;
    void focaNome() override;
    bool verificaNome(QSqlDatabase db, QVariant *id) override;
    bool escreve(QSqlDatabase db, const QVariant &id, int tipoDetalhe) override;
    void showEvent(QShowEvent *e) override;

private:
    void mostraModelo(int linha);
    void modeloMudou();

    qint16 m_tipoDet = 0;
    bool m_activado = false;
};
