#pragma once

#include <QImage>

// A disabled toolbar image as the platform draws it: on the button face, the image's shape
// (every pixel that is neither button face nor highlight) in the button shadow colour, with a
// highlight copy one pixel down and to the right. Expects an image already in system colours.
QImage DisabledBitmap(const QImage& image);
