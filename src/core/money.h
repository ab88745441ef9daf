#pragma once

#include <QString>
#include <QVariant>

// Amounts are handled in whole cents: sums never show a binary-floating error.
using Centimos = qint64;

// A value read from the database (number or decimal text) in cents, rounded half away from zero.
Centimos paraCentimos(const QVariant &v);
// A decimal text with "," or "." as separator ("1234,5", "-0.10"); false when it is no amount.
bool textoParaCentimos(const QString &texto, Centimos *out);
double centimosParaDouble(Centimos c);
// "1234,50": the amount with two decimals and a decimal comma.
QString formataCentimos(Centimos c);
// The same with "." as separator, for binding as a database decimal.
QString centimosParaDecimal(Centimos c);
