#pragma once

#include <QString>
#include <QtGlobal>

// Values typed into the boxes of the model editor.

// The leading numeric part of a text (as below), rounded to the nearest integer with halves to
// even, unbounded: infinite when it exceeds a double.
double valorDaCaixa(const QString &texto);

// The leading numeric part of a text (blanks before it, a sign, digits, a decimal point and an
// exponent are taken; an empty or non-numeric text gives 0), rounded to the nearest integer
// with halves to even. A value beyond a 16-bit integer gives 0 and *cabe = false.
qint16 numeroDaCaixa(const QString &texto, bool *cabe = nullptr);

// Model names are char(10): PostgreSQL pads them with blanks, SQLite keeps what it is given.
// The editor stores and looks names up in this padded form on both databases, so a name read
// back is the same text everywhere. Trailing blanks do not count; a name longer than 10
// characters is left as it is (it then names no stored model).
inline constexpr int kTamanhoNomeModelo = 10;
QString nomeModeloGuardado(const QString &nome);

// Every lookup of a model by name, in the headers and in the items, compares it without the
// blanks around it: a header padded by PostgreSQL or by this editor and one stored bare by
// another program name the same model. Bind nomeModeloComparado(name) to the condition.
QString condicaoNomeModelo();
QString nomeModeloComparado(const QString &nome);

// A line count of a model header: a whole number from 0 to 99 (blanks around it ignored).
bool contagemDeLinhasValida(const QString &texto);
