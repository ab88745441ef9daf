#include "session/arranque.h"

#include "session/mdiform1.h"
#include "session/molvarentrada.h"

Molvarentrada *iniciaPrograma(Session &s)
{
    auto *entrada = new Molvarentrada(s);
    entrada->setAttribute(Qt::WA_DeleteOnClose);
    // The main window is shown before the start-up window closes, so the program never
    // finds itself without a window in between.
    QObject::connect(entrada, &Molvarentrada::entrou, [&s] {
        auto *principal = new MDIForm1(s);
        principal->setAttribute(Qt::WA_DeleteOnClose);
        // The whole screen is the work area of the windows it holds.
        principal->showMaximized();
    });
    entrada->show();
    return entrada;
}
