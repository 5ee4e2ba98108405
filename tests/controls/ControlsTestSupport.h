#pragma once

#include <QFont>
#include <QImage>
#include <QWidget>

#include "framework/Gdi.h"

// Pixel helpers shared by the control tests.
namespace controls_test {

// The classic palette's colours (ClassicSysColorPalette).
namespace classic {
constexpr COLORREF kFace = RGB(192, 192, 192);
constexpr COLORREF kHighlight = RGB(255, 255, 255);
constexpr COLORREF kShadow = RGB(128, 128, 128);
constexpr COLORREF kDark = RGB(0, 0, 0);
constexpr COLORREF kWindow = RGB(255, 255, 255);
constexpr COLORREF kSelection = RGB(0, 0, 128);
}  // namespace classic

inline COLORREF PixelAt(const QImage& image, int x, int y) {
    return RefFromColor(QColor(image.pixel(x, y)));
}

inline QImage Filled(int w, int h, COLORREF colour) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(ColorFromRef(colour));
    return image;
}

// The widget's own painting over `under`, without the window background Qt would add.
inline QImage Render(QWidget& widget, COLORREF under) {
    QImage image = Filled(widget.width(), widget.height(), under);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

// A font whose glyphs are drawn in solid pixels, so text colours can be compared exactly.
inline QFont SolidFont(int pointSize = 10) {
    QFont font(QStringLiteral("DejaVu Sans"), pointSize);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

inline int CountColour(const QImage& image, const QRect& area, COLORREF colour) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            n += PixelAt(image, x, y) == colour ? 1 : 0;
        }
    }
    return n;
}

}  // namespace controls_test
