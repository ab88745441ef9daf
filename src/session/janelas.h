#pragma once

#include <QHash>
#include <QString>

#include <functional>

class QWidget;
struct Session;

// The windows and routines that the menus of the main window and the settings dialog reach,
// by form name. A menu item is offered only when what it opens is registered here.
//   Windows:  New_Poc, Del_cPoc, ConsultPoc, New_Analit, Del_Analit, ConsultAnalit,
//             ConsultTable, Tot_conta (children of the main window), Modelos_Txt (modal,
//             from the settings dialog).
//   Routines: ImportaPlanos, ConverteSnc; they return true when they changed the data
//             (a committed SNC conversion turns its menu item off).
using FabricaJanela = std::function<QWidget *(Session &)>;
using Rotina = std::function<bool(Session &, QWidget *pai)>;

struct Janelas {
    QHash<QString, FabricaJanela> fabricas;
    QHash<QString, Rotina> rotinas;
};

// Filled once, on first use, by registaJanelas() in janelas.cpp.
const Janelas &janelasRegistadas();

// The one place where each window of the other folders is made known to the menus.
void registaJanelas(Janelas &j);
