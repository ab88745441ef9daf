#pragma once

#include <QHash>
#include <QMainWindow>
#include <QPointer>

#include <functional>

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
    void closeEvent(QCloseEvent *e) override;

private:
    void criaMenus();
    void carrega();
    void gravaUltimaSessao();
    // Shows w as a child window.
    QMdiSubWindow *abreFilha(QWidget *w);
    // Brings the single instance of formName forward, or makes it with cria and shows it.
    void abreUnica(const QString &formName, const std::function<QWidget *()> &cria);

    Session &m_s;
    QHash<QString, QPointer<QMdiSubWindow>> m_unicas;
};
