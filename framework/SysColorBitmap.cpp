#include "framework/SysColorBitmap.h"

#include "framework/Gdi.h"

QImage MapSysColorBitmap(const QImage& image) {
    struct Map {
        QRgb from;
        int sysColor;
    };
    const Map maps[] = {{qRgb(0, 0, 0), COLOR_BTNTEXT},
                        {qRgb(128, 128, 128), COLOR_BTNSHADOW},
                        {qRgb(192, 192, 192), COLOR_BTNFACE},
                        {qRgb(255, 255, 255), COLOR_BTNHIGHLIGHT}};
    QRgb to[std::size(maps)];
    for (std::size_t i = 0; i < std::size(maps); ++i)
        to[i] = ColorFromRef(GetSysColor(maps[i].sysColor)).rgb();
    QImage mapped = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < mapped.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(mapped.scanLine(y));
        for (int x = 0; x < mapped.width(); ++x) {
            for (std::size_t i = 0; i < std::size(maps); ++i) {
                if (line[x] == maps[i].from) {
                    line[x] = to[i];
                    break;
                }
            }
        }
    }
    return mapped;
}
