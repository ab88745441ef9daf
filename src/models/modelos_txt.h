#pragma once

#include <QDialog>

class QAction;
class QMenu;
class QMenuBar;
struct Session;

// The way into the export-model editor ("Modelos"): a menu that opens, each modally, the
// creation, alteration and deletion of model headers and the simulation.
class Modelos_Txt : public QDialog
{
    Q_OBJECT
public:
    explicit Modelos_Txt(Session &s, QWidget *parent = nullptr);

    QMenuBar *barra;
    QMenu *menu_mod;
    QAction *novo_mod;
    QAction *alt_mod;
    QAction *apaga_mod;
    QAction *simula_mod;
    QAction *sai_mod;

private:
    // Shows a window of the editor modally; it deletes itself when it closes.
    void mostra(QDialog *d);

    Session &m_s;
};
