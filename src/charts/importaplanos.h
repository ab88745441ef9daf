#pragma once

#include <QString>
#include <QVariant>

struct Session;

// Adds to the own PlanoContas and PlanoCCusto, for the processing year, the accounts and
// cost centres missing there (per company, year and code), from the outside database
// (gTipoImp "S") or from the import workbook (gTipoImp "X": sheet 1 accounts, sheet 2 cost
// centres, columns A company, B code, C posting flag, D description, from row 2 down to the
// first empty column A). All rows or none, in one transaction. True when rows were added.
bool ImportaPlanos(Session &s);

// A workbook cell as text, blanks trimmed: whole numbers with all their digits, no exponent.
// ok is false for a whole number from 2^53 on, which a cell's double may already have altered.
QString textoCelulaPlano(const QVariant &v, bool *ok = nullptr);

// The posting flag of a workbook row as 0 or 1: a number (any non-zero is 1), true/false,
// sim/não. False when the text is none of these (an empty cell included).
bool indicadorLancamento(const QString &texto, int *valor);
