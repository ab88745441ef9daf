#pragma once

#include <QSqlDatabase>
#include <QString>

class DataCombo;

// The option lists of the model editor: fourteen lists of MenusMod, each shown by its
// Designacao and stored by its Codigo.

// Fills a combo with list tipoMenu (1 to 14) in the order the database returns it, shows
// "designacao", binds "codigo", and shows the first option; an empty list leaves it empty.
bool preencheOpcoes(DataCombo *combo, QSqlDatabase db, int tipoMenu, QString *erro = nullptr);

// The code of the first option whose Designacao equals the combo's text exactly (its row in
// *linha); false when the text names no option.
bool codigoDaOpcao(const DataCombo *combo, int *codigo, int *linha = nullptr);

struct Session;

// Fills a combo with the stored models (Modexptxt), shown by name and bound to "activo";
// on failure says so and returns false.
bool preencheModelos(DataCombo *combo, Session &s);
