#pragma once

#include <QFont>
#include <QRect>

// The two base units of a dialog, in pixels, measured on the dialog's font.
struct DialogBaseUnits {
    int width = 0;   // average width of the 52 Latin letters, rounded
    int height = 0;  // the font's line height
};

DialogBaseUnits MeasureDialogBaseUnits(const QFont& font);

// The one conversion every template goes through: x and widths are dialog units * base
// width / 4, y and heights dialog units * base height / 8, each rounded to the nearest pixel.
QRect DluToPixels(const QRect& dlu, const DialogBaseUnits& base);
int DluToPixelsX(int dluX, const DialogBaseUnits& base);
int DluToPixelsY(int dluY, const DialogBaseUnits& base);
