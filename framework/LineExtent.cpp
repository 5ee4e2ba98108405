#include "framework/LineExtent.h"

#include <QFontMetrics>
#include <QHash>
#include <QRect>
#include <algorithm>

namespace {

CLineExtent Widened(CLineExtent extent, const QRect& ink) {
    if (ink.isEmpty()) {
        return extent;
    }
    extent.ascent = std::max(extent.ascent, -ink.top());
    extent.descent = std::max(extent.descent, ink.bottom() + 1);
    return extent;
}

// Fonts are measured on the UI thread only; a handful of them are in use at a time.
CLineExtent FaceExtent(const QFont& font) {
    static QHash<QString, CLineExtent> cache;
    const QString key = font.key();
    if (const auto it = cache.constFind(key); it != cache.constEnd()) {
        return *it;
    }
    const QFontMetrics fm(font);
    QString ascii;
    for (char16_t c = 0x21; c < 0x7F; ++c) {
        ascii.append(QChar(c));
    }
    const CLineExtent extent =
        Widened(CLineExtent{fm.ascent(), fm.descent()}, fm.tightBoundingRect(ascii));
    if (cache.size() >= 64) {
        cache.clear();
    }
    cache.insert(key, extent);
    return extent;
}

}  // namespace

CLineExtent LineExtentOf(const QFont& font, const QString& text) {
    const CLineExtent face = FaceExtent(font);
    if (text.isEmpty()) {
        return face;
    }
    return Widened(face, QFontMetrics(font).tightBoundingRect(text));
}
