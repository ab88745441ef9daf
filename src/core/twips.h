#pragma once

#include <QRect>

class QFont;
class QWidget;

// Widths and positions in twips were measured on forms drawn in MS Sans Serif 8 pt at
// 96 dpi: 15 twips to a pixel, in a font whose average letter is 6 pixels wide (the
// alphabet's width / 52, as Windows measures a dialog's font). The desktop's font is most
// often larger: a twip is scaled by the ratio of the font's average letter to those 6
// pixels, in both directions, so each measure keeps its share and its text fits as it
// did in the design. Every conversion of twips goes through here.
double pixelsPorTwip(const QFont &fonte);
// The average letter of a font in pixels, as above: the measure for a box or label that
// must show n characters of a field whole.
double letraMedia(const QFont &fonte);
// In w's font; without a widget, in the application's.
int twipsParaPixels(int twips, const QWidget *w = nullptr);
// Left, top, width and height in twips; neighbours that touched in twips still touch.
QRect twipsParaPixels(const QRect &twips, const QWidget *w = nullptr);
