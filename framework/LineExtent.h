#pragma once

#include <QFont>
#include <QString>

// The rows a line of text covers around its baseline. Some faces draw brackets, bars and
// descenders beyond the ascent and descent they declare (Baekmuk Gulim at 9 points puts the
// top of "[" one row above its ascent), so room given by the declared height alone cuts them.
struct CLineExtent {
    int ascent = 0;
    int descent = 0;

    int Height() const { return ascent + descent; }
};

// The font's declared ascent and descent, widened to the ink of every printable ASCII glyph
// (one baseline for all Latin strings of the font) and to the ink of `text`.
CLineExtent LineExtentOf(const QFont& font, const QString& text = QString());
