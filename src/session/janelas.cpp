#include "session/janelas.h"

// Each entry maps a form name to a factory of a new, parentless window (the main window
// makes it a child, the settings dialog shows it modally); routines receive the main window.
void registaJanelas(Janelas &j)
{
    Q_UNUSED(j);
}

const Janelas &janelasRegistadas()
{
    static const Janelas j = [] {
        Janelas r;
        registaJanelas(r);
        return r;
    }();
    return j;
}
