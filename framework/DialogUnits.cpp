#include "framework/DialogUnits.h"

#include <QFontMetrics>
#include <QString>
#include <cstdint>

namespace {

// a * b / c rounded half away from zero, in 64 bits so no template value can overflow.
int MulDivRounded(int a, int b, int c) {
    if (c == 0) {
        return 0;
    }
    const std::int64_t product = static_cast<std::int64_t>(a) * b;
    const std::int64_t half = c / 2;
    const std::int64_t q = product >= 0 ? (product + half) / c : (product - half) / c;
    return static_cast<int>(q);
}

}  // namespace

DialogBaseUnits MeasureDialogBaseUnits(const QFont& font) {
    static const QString kAlphabet =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const QFontMetrics fm(font);
    const int total = fm.horizontalAdvance(kAlphabet);
    // (total / 26 + 1) / 2 is total / 52 rounded, the way the base width is defined.
    return DialogBaseUnits{(total / 26 + 1) / 2, fm.height()};
}

int DluToPixelsX(int dluX, const DialogBaseUnits& base) {
    return MulDivRounded(dluX, base.width, 4);
}

int DluToPixelsY(int dluY, const DialogBaseUnits& base) {
    return MulDivRounded(dluY, base.height, 8);
}

QRect DluToPixels(const QRect& dlu, const DialogBaseUnits& base) {
    return QRect(DluToPixelsX(dlu.x(), base), DluToPixelsY(dlu.y(), base),
                 DluToPixelsX(dlu.width(), base), DluToPixelsY(dlu.height(), base));
}
