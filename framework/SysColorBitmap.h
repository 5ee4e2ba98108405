#pragma once

#include <QImage>

// A toolbar strip as the platform loads it: its four standard greys follow the system colours,
// black to button text, RGB(128,128,128) to button shadow, RGB(192,192,192) to button face and
// white to button highlight. Every other colour stays.
QImage MapSysColorBitmap(const QImage& image);
