#include "framework/ScrollBarGeometry.h"

#include <QApplication>
#include <QProxyStyle>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <algorithm>

#include "framework/SharedStyle.h"

namespace {

constexpr int kMinThumb = 8;

// The desktop style keeps its look; its own thumb minimum and rounding give way to the layout
// above, so the thumb it paints and hit-tests is the one the flat outlines are drawn on.
class CPlatformScrollBarStyle : public QProxyStyle {
public:
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                         const QWidget* widget) const override {
        const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option);
        if (control != CC_ScrollBar || slider == nullptr) {
            return QProxyStyle::subControlRect(control, option, sub, widget);
        }
        const bool horizontal = slider->orientation == Qt::Horizontal;
        const int arrow = pixelMetric(PM_ScrollBarExtent, option, widget);
        SCROLLINFO info;
        info.nMin = slider->minimum;
        info.nPage = static_cast<unsigned>(std::max(0, slider->pageStep));
        info.nMax = slider->maximum + std::max(0, slider->pageStep - 1);
        info.nPos = slider->sliderPosition;
        const CScrollBarParts parts =
            ScrollBarParts(CRect::FromQRect(slider->rect), slider->orientation, arrow, info);
        const CRect thumb = parts.thumb.value_or(
            CRect(parts.track.left, parts.track.top, parts.track.left, parts.track.top));
        CRect rect;
        switch (sub) {
            case SC_ScrollBarSubLine:
                rect = parts.firstArrow;
                break;
            case SC_ScrollBarAddLine:
                rect = parts.secondArrow;
                break;
            case SC_ScrollBarGroove:
                rect = parts.track;
                break;
            case SC_ScrollBarSlider:
                rect = parts.thumb.value_or(CRect());
                break;
            case SC_ScrollBarSubPage:
                rect = parts.track;
                (horizontal ? rect.right : rect.bottom) = horizontal ? thumb.left : thumb.top;
                break;
            case SC_ScrollBarAddPage:
                rect = parts.track;
                (horizontal ? rect.left : rect.top) = horizontal ? thumb.right : thumb.bottom;
                break;
            default:
                return QProxyStyle::subControlRect(control, option, sub, widget);
        }
        return QRect(rect.left, rect.top, rect.Width(), rect.Height());
    }
};

}  // namespace

CScrollBarParts ScrollBarParts(const CRect& bar, Qt::Orientation orientation, int arrow,
                               const SCROLLINFO& info) {
    const bool horizontal = orientation == Qt::Horizontal;
    const int length = horizontal ? bar.Width() : bar.Height();
    if (length < 2 * arrow) {
        arrow = length / 2;
    }
    const int start = horizontal ? bar.left : bar.top;
    const int track = length - 2 * arrow;
    const auto along = [&](int from, int size) {
        return horizontal ? CRect(from, bar.top, from + size, bar.bottom)
                          : CRect(bar.left, from, bar.right, from + size);
    };
    CScrollBarParts parts{along(start, arrow), along(start + length - arrow, arrow),
                          along(start + arrow, track), std::nullopt};
    const int page = static_cast<int>(info.nPage);
    if (page > info.nMax || page == 0 || track < kMinThumb) {
        return parts;
    }
    // Both quotients in floating point, rounded to the nearest pixel.
    int thumb = static_cast<int>(static_cast<double>(track) * page / (info.nMax + 1) + 0.5);
    thumb = std::max(thumb, kMinThumb);
    const int offset = static_cast<int>(
        static_cast<double>(track - thumb) * info.nPos / (info.nMax - page + 1) + 0.5);
    int thumbStart = start + arrow + offset;
    const int trackEnd = start + arrow + track;
    if (thumbStart + thumb > trackEnd) {
        thumbStart = trackEnd - thumb;
    }
    parts.thumb = along(thumbStart, thumb);
    return parts;
}

void UsePlatformScrollBarGeometry(QScrollBar* bar) {
    if (bar != nullptr) {
        bar->setStyle(SharedStyle<CPlatformScrollBarStyle>());
    }
}
