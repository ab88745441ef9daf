#pragma once

#include "accruals/procuras.h"
#include "core/money.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QWidget>

struct Session;
class DataCombo;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;

// The account prefixes that carry a cost centre, as a company's "*"-separated list gives
// them: "6*7*62" gives 6, 7 and 62; a trailing "*" adds nothing; blanks only give one
// empty prefix (which matches every account).
QStringList prefixosAnalitica(const QString &lista);
// Whether an account begins with a prefix, "?" standing for any character, "#" for any
// digit and "[...]" for one character of a set ("[!...]" outside it); case-sensitive.
bool contaComPrefixo(const QString &conta, const QString &prefixo);

// What is still to defer on one account after a chosen month, on the debit and on the
// credit side, optionally for one cost centre; "Exportar" writes the same rows, one
// movement per side, to a workbook. One instance; it deletes itself when closed.
class TotConta : public QWidget, public ProcurasDestino
{
    Q_OBJECT
public:
    explicit TotConta(Session &s, QWidget *parent = nullptr);

    void recebeCodigo(int modo, const QString &codigo) override;

    // The year and month of the last "Visualizar" or export (0 before the first).
    int anoEscolhido() const { return m_ano; }
    int mesEscolhido() const { return m_mes; }

protected:
    bool eventFilter(QObject *obj, QEvent *e) override;

private:
    void carregaListas();
    void visualizar();
    void exportar();
    void cancelar();
    void procura(int modo);
    void mostraDescricao(DataCombo *combo, QLineEdit *caixa);
    bool contaEscolhida();
    void leMesEscolhido();
    // The debit and credit totals in cents; false with the database's text on failure.
    bool calculaTotais(Centimos *deb, Centimos *cre, QString *erro);
    // Waits until no other export of the same user is under way (until COMMIT).
    bool reservaUtilizador(QSqlDatabase db, QString *erro);
    // The user's prefixes of the company, rebuilt from its ParamFirma list.
    bool RefazRestAnal(QSqlDatabase db, QStringList *prefixos, QString *erro);
    // The user's movements of the chosen account, rebuilt.
    bool PreencheCopiamlv(QSqlDatabase db, const QStringList &prefixos, QString *erro);
    // The user's movements of the company, copied to this connection's temporary table
    // FolhaCopiamlv, which the workbook reads.
    bool copiaParaFolha(QSqlDatabase db, QString *erro);
    // The conditions shared by the totals and the export: the account on one of the given
    // columns, the cost centre when one is chosen, the company and the months after the
    // chosen one.
    QString filtroMolvar(const QStringList &colunasConta, QVariantList *params) const;

    Session &m_s;
    int m_ano = 0;
    int m_mes = 0;

    DataCombo *DataCombo1;
    QLineEdit *Desccpoc;
    DataCombo *DataCombo2;
    QLineEdit *Descccusto;
    QDateEdit *DTPicker1;
    QLineEdit *vtotdeb;
    QLineEdit *vtotcre;
    QLineEdit *Text1;
    QLineEdit *Text2;
    QPushButton *VisuButton;
    QPushButton *ExportButton;
    QPushButton *CancelButton;
};
