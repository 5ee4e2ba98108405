#include "framework/LineExtent.h"

#include <QColor>
#include <QFontMetrics>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <algorithm>
#include <optional>

namespace {

// The rows `text` inks around its baseline, drawn for real: a glyph's outline box may claim a
// row more than the rasteriser fills. Empty for text without ink.
std::optional<CLineExtent> InkOf(const QFont& font, const QString& text) {
    const QFontMetrics fm(font);
    const QRect box = fm.tightBoundingRect(text);
    if (box.isEmpty()) {
        return std::nullopt;
    }
    constexpr int kMargin = 4;
    QImage image(box.width() + 2 * kMargin, box.height() + 2 * kMargin, QImage::Format_RGB32);
    image.fill(Qt::white);
    const int baseline = kMargin - box.top();
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QPoint(kMargin - box.left(), baseline), text);
    painter.end();
    int first = -1;
    int last = -1;
    const QRgb white = QColor(Qt::white).rgb();
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        if (std::any_of(row, row + image.width(), [&](QRgb p) { return p != white; })) {
            first = first < 0 ? y : first;
            last = y;
        }
    }
    if (first < 0) {
        return std::nullopt;
    }
    return CLineExtent{baseline - first, last + 1 - baseline};
}

CLineExtent Widened(CLineExtent extent, const std::optional<CLineExtent>& ink) {
    if (ink) {
        extent.ascent = std::max(extent.ascent, ink->ascent);
        extent.descent = std::max(extent.descent, ink->descent);
    }
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
    const CLineExtent extent = Widened(CLineExtent{fm.ascent(), fm.descent()}, InkOf(font, ascii));
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
    // Drawn only when its outline boxes reach beyond the face's rows, which is rare.
    const QRect box = QFontMetrics(font).tightBoundingRect(text);
    if (box.isEmpty() || (-box.top() <= face.ascent && box.bottom() + 1 <= face.descent)) {
        return face;
    }
    return Widened(face, InkOf(font, text));
}
