#include "core/money.h"

#include <QLocale>

#include <cmath>

Centimos paraCentimos(const QVariant &v)
{
    if (v.isNull())
        return 0;
    if (v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QByteArray) {
        Centimos c = 0;
        return textoParaCentimos(v.toString(), &c) ? c : 0;
    }
    // Rounded as the amount reads in decimal: 2,675 is stored as 2,67499999..., yet it is the
    // half cent the user wrote, and the database's ROUND(Valor, 2) takes it up too.
    const double d = v.toDouble();
    Centimos c = 0;
    if (std::isfinite(d) && textoParaCentimos(QString::number(d, 'f', QLocale::FloatingPointShortest), &c))
        return c;
    return static_cast<Centimos>(std::llround(d * 100.0));
}

bool textoParaCentimos(const QString &texto, Centimos *out)
{
    QString t = texto.trimmed();
    if (t.isEmpty())
        return false;
    bool negativo = false;
    if (t.startsWith(QLatin1Char('-')) || t.startsWith(QLatin1Char('+'))) {
        negativo = t.startsWith(QLatin1Char('-'));
        t = t.mid(1);
    }
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    const int ponto = t.indexOf(QLatin1Char('.'));
    const QString inteira = ponto < 0 ? t : t.left(ponto);
    const QString decimal = ponto < 0 ? QString() : t.mid(ponto + 1);
    if ((inteira.isEmpty() && decimal.isEmpty()) || inteira.size() > 15)
        return false;
    for (QChar ch : inteira + decimal)
        if (!ch.isDigit())
            return false;
    Centimos c = inteira.isEmpty() ? 0 : inteira.toLongLong() * 100;
    const QString d = (decimal + QStringLiteral("000")).left(3);
    c += d.left(2).toInt();
    if (d[2] >= QLatin1Char('5'))
        c += 1; // half away from zero on the third decimal
    *out = negativo ? -c : c;
    return true;
}

double centimosParaDouble(Centimos c)
{
    return static_cast<double>(c) / 100.0;
}

QString formataCentimos(Centimos c)
{
    return centimosParaDecimal(c).replace(QLatin1Char('.'), QLatin1Char(','));
}

QString centimosParaDecimal(Centimos c)
{
    const bool negativo = c < 0;
    const qint64 a = negativo ? -c : c;
    return QStringLiteral("%1%2.%3")
        .arg(negativo ? QStringLiteral("-") : QString())
        .arg(a / 100)
        .arg(a % 100, 2, 10, QLatin1Char('0'));
}
