#include "core/twips.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QWidget>

namespace {
// The design's font, MS Sans Serif 8 pt at 96 dpi: its average letter in pixels, and the
// twips in one of its pixels.
constexpr double kLetraDesenho = 6.0;
constexpr double kTwipsPorPixelDesenho = 15.0;

double fator(const QWidget *w)
{
    return pixelsPorTwip(w ? w->font() : QApplication::font());
}
} // namespace

double letraMedia(const QFont &fonte)
{
    static const QString alfabeto = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const double letra = QFontMetricsF(fonte).horizontalAdvance(alfabeto) / alfabeto.size();
    return letra > 0 ? letra : kLetraDesenho;
}

double pixelsPorTwip(const QFont &fonte)
{
    return letraMedia(fonte) / (kLetraDesenho * kTwipsPorPixelDesenho);
}

int twipsParaPixels(int twips, const QWidget *w)
{
    return qRound(twips * fator(w));
}

QRect twipsParaPixels(const QRect &twips, const QWidget *w)
{
    const double k = fator(w);
    const int esquerda = qRound(twips.x() * k);
    const int topo = qRound(twips.y() * k);
    return QRect(
        esquerda, topo, qRound((twips.x() + twips.width()) * k) - esquerda, qRound((twips.y() + twips.height()) * k) - topo);
}
