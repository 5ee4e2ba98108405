#include "framework/DisabledBitmap.h"

#include "framework/Gdi.h"

QImage DisabledBitmap(const QImage& image) {
    const QRgb face = ColorFromRef(GetSysColor(COLOR_BTNFACE)).rgb();
    const QRgb light = ColorFromRef(GetSysColor(COLOR_BTNHIGHLIGHT)).rgb();
    const QRgb shadow = ColorFromRef(GetSysColor(COLOR_BTNSHADOW)).rgb();
    const QImage source = image.convertToFormat(QImage::Format_ARGB32);
    auto inShape = [&](int x, int y) {
        const QRgb p = source.pixel(x, y);
        return qAlpha(p) != 0 && p != face && p != light;
    };
    QImage out(source.size(), QImage::Format_ARGB32);
    out.fill(face);
    for (int y = 0; y < source.height(); ++y) {
        for (int x = 0; x < source.width(); ++x) {
            if (inShape(x, y) && x + 1 < out.width() && y + 1 < out.height())
                out.setPixel(x + 1, y + 1, light);
        }
    }
    for (int y = 0; y < source.height(); ++y) {
        for (int x = 0; x < source.width(); ++x) {
            if (inShape(x, y))
                out.setPixel(x, y, shadow);
        }
    }
    return out;
}
