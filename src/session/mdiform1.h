#pragma once

#include <QHash>
#include <QMainWindow>
#include <QPointer>

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
struct Session;

// The main window: the menus that reach every window of the program, a status bar with
// the company and processing date, and the child windows in its MDI area.
class MDIForm1 : public QMainWindow
{
    Q_OBJECT
public:
    explicit MDIForm1(Session &s, QWidget *parent = nullptr);

    QMdiArea *mdiArea;
    QLabel *StatusFirma; // company code
    QLabel *StatusNome; // company name
    QLabel *StatusData; // processing date

    // One per menu item: the guard and messages, then the window or routine it serves.
    void novaPoc();
    void apagaPoc();
    void consPoc();
    void novoAnalit();
    void apagaAnalit();
    void consAnalit();
    void mnuImport();
    void convSnc();
    void mnuManutList();
    void totCpoc();
    void configSqlConnect();
    void sair();

    // Rewrites the status bar from the session.
    void actualizaEstado();

protected:
    // Opens a registered window as a child; a single-instance window that is already open
    // is brought forward. Null when no window of that name is registered.
    virtual QWidget *abreJanela(const QString &formName, bool unica = true);
    // Runs a registered routine; false when none is registered or it changed nothing.
    virtual bool correRotina(const QString &nome);

    void closeEvent(QCloseEvent *e) override;

private:
    void criaMenus();
    void carrega();
    void gravaUltimaSessao();

    Session &m_s;
    QHash<QString, QPointer<QMdiSubWindow>> m_unicas;
};
