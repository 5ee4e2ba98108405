#pragma once

#include <QFont>

// The platform's small GUI font, the one its native bars draw with: an 8-point sans of the
// metrics of MS Sans Serif and Tahoma. Liberation Sans has them for Latin text; Hangul comes
// from NanumGothic, which stays legible at this size where the bitmap-style faces do not.
QFont DefaultGuiFont();
