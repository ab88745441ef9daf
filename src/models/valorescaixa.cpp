#include "models/valorescaixa.h"

#include <cmath>
#include <limits>

double valorDaCaixa(const QString &texto)
{
    int i = 0;
    const int n = texto.size();
    auto digitos = [&](QString &destino) {
        const int inicio = i;
        while (i < n && texto.at(i) >= QLatin1Char('0') && texto.at(i) <= QLatin1Char('9'))
            destino += texto.at(i++);
        return i - inicio;
    };
    while (i < n && (texto.at(i) == QLatin1Char(' ') || texto.at(i) == QLatin1Char('\t')))
        ++i;
    QString numero;
    if (i < n && (texto.at(i) == QLatin1Char('+') || texto.at(i) == QLatin1Char('-')))
        numero += texto.at(i++);
    int algarismos = digitos(numero);
    if (i < n && texto.at(i) == QLatin1Char('.')) {
        numero += texto.at(i++);
        algarismos += digitos(numero);
    }
    if (algarismos == 0)
        return 0;
    // An exponent ("e", or "d" as older programs wrote it) counts only when digits follow it ("2e" is 2).
    if (i < n && QStringLiteral("eEdD").contains(texto.at(i))) {
        const int antes = i;
        QString expoente = QStringLiteral("e");
        ++i;
        if (i < n && (texto.at(i) == QLatin1Char('+') || texto.at(i) == QLatin1Char('-')))
            expoente += texto.at(i++);
        if (digitos(expoente) > 0)
            numero += expoente;
        else
            i = antes;
    }
    bool lido = false;
    double valor = numero.toDouble(&lido);
    // Every text built above is a valid number: a refusal is a magnitude beyond a double,
    // too small (a negative exponent: 0) or too large.
    if (!lido)
        valor = numero.contains(QLatin1String("e-")) ? 0.0 : std::numeric_limits<double>::infinity();
    return std::nearbyint(valor); // the default rounding: halves to even
}

qint16 numeroDaCaixa(const QString &texto, bool *cabe)
{
    if (cabe)
        *cabe = true;
    const double valor = valorDaCaixa(texto);
    if (!std::isfinite(valor) || valor < std::numeric_limits<qint16>::min() || valor > std::numeric_limits<qint16>::max()) {
        if (cabe)
            *cabe = false;
        return 0;
    }
    return static_cast<qint16>(valor);
}

QString nomeModeloGuardado(const QString &nome)
{
    // Trailing blanks never count in a char(n) comparison.
    qsizetype n = nome.size();
    while (n > 0 && nome.at(n - 1) == QLatin1Char(' '))
        --n;
    return nome.left(n).leftJustified(kTamanhoNomeModelo, QLatin1Char(' '));
}

QString condicaoNomeModelo()
{
    return QStringLiteral("TRIM(modelo) = ?");
}

QString nomeModeloComparado(const QString &nome)
{
    // SQL's TRIM takes blanks only.
    qsizetype inicio = 0;
    qsizetype fim = nome.size();
    while (inicio < fim && nome.at(inicio) == QLatin1Char(' '))
        ++inicio;
    while (fim > inicio && nome.at(fim - 1) == QLatin1Char(' '))
        --fim;
    return nome.mid(inicio, fim - inicio);
}

bool contagemDeLinhasValida(const QString &texto)
{
    const QString t = texto.trimmed();
    if (t.isEmpty() || t.size() > 2)
        return false;
    for (const QChar c : t)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}
