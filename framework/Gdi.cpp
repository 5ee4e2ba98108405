#include "framework/Gdi.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPaintDevice>
#include <QRegion>
#include <QTransform>
#include <algorithm>
#include <cstdlib>
#include <map>
#include <utility>
#include <vector>

#include "framework/LineExtent.h"

namespace {

std::optional<QPalette>& PinnedPalette() {
    static std::optional<QPalette> palette;
    return palette;
}

QPalette CurrentPalette() {
    if (PinnedPalette()) {
        return *PinnedPalette();
    }
    if (qGuiApp != nullptr) {
        return QGuiApplication::palette();
    }
    return QPalette();
}

// Bresenham from `a` towards `b`; the end point is left out unless `withEnd`.
template <class Plot>
void WalkLine(QPoint a, QPoint b, bool withEnd, Plot plot) {
    int x0 = a.x();
    int y0 = a.y();
    const int dx = std::abs(b.x() - x0);
    const int dy = -std::abs(b.y() - y0);
    const int sx = x0 < b.x() ? 1 : -1;
    const int sy = y0 < b.y() ? 1 : -1;
    int err = dx + dy;
    while (x0 != b.x() || y0 != b.y()) {
        plot(x0, y0);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
    if (withEnd) {
        plot(x0, y0);
    }
}

int RegionKind(const QRegion& region) {
    if (region.isEmpty()) {
        return NULLREGION;
    }
    return region.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

// Nearest-pixel sampling: the centre of target pixel `i` of `targetLen` mapped into a source of
// `sourceLen` pixels.
int Sample(int i, int targetLen, int sourceLen) {
    return static_cast<int>((2LL * i + 1) * sourceLen / (2LL * targetLen));
}

QRgb Opaque(COLORREF c) {
    return qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
}

}  // namespace

QColor ColorFromRef(COLORREF colour) {
    return QColor(GetRValue(colour), GetGValue(colour), GetBValue(colour));
}

COLORREF RefFromColor(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return RGB(static_cast<std::uint8_t>(rgb.red()), static_cast<std::uint8_t>(rgb.green()),
               static_cast<std::uint8_t>(rgb.blue()));
}

std::optional<QPalette::ColorRole> SysColorRole(int index) {
    switch (index) {
        case COLOR_BTNFACE:
            return QPalette::Button;
        case COLOR_BTNTEXT:
            return QPalette::ButtonText;
        case COLOR_BTNHIGHLIGHT:
            return QPalette::Light;
        case COLOR_BTNSHADOW:
            return QPalette::Mid;
        case COLOR_3DDKSHADOW:
            return QPalette::Shadow;
        case COLOR_3DLIGHT:
            return QPalette::Midlight;
        case COLOR_WINDOW:
            return QPalette::Base;
        case COLOR_WINDOWTEXT:
            return QPalette::Text;
        case COLOR_WINDOWFRAME:
            return QPalette::Shadow;
        case COLOR_HIGHLIGHT:
            return QPalette::Highlight;
        case COLOR_HIGHLIGHTTEXT:
            return QPalette::HighlightedText;
        default:
            return std::nullopt;
    }
}

COLORREF GetSysColor(int index) {
    const std::optional<QPalette::ColorRole> role = SysColorRole(index);
    if (!role) {
        return 0;
    }
    return RefFromColor(CurrentPalette().color(QPalette::Active, *role));
}

void PinSysColorPalette(const QPalette& palette) {
    PinnedPalette() = palette;
}

void UnpinSysColorPalette() {
    PinnedPalette().reset();
}

QPalette ClassicSysColorPalette() {
    QPalette p;
    const auto set = [&p](QPalette::ColorRole role, COLORREF c) {
        for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            p.setColor(g, role, ColorFromRef(c));
        }
    };
    set(QPalette::Button, RGB(192, 192, 192));
    set(QPalette::Window, RGB(192, 192, 192));
    set(QPalette::ButtonText, RGB(0, 0, 0));
    set(QPalette::WindowText, RGB(0, 0, 0));
    set(QPalette::Light, RGB(255, 255, 255));
    set(QPalette::Midlight, RGB(223, 223, 223));
    set(QPalette::Mid, RGB(128, 128, 128));
    set(QPalette::Dark, RGB(128, 128, 128));
    set(QPalette::Shadow, RGB(0, 0, 0));
    set(QPalette::Base, RGB(255, 255, 255));
    set(QPalette::Text, RGB(0, 0, 0));
    set(QPalette::Highlight, RGB(0, 0, 128));
    set(QPalette::HighlightedText, RGB(255, 255, 255));
    return p;
}

CSysColorPaletteScope::CSysColorPaletteScope(const QPalette& palette)
    : m_previous(PinnedPalette()) {
    PinSysColorPalette(palette);
}

CSysColorPaletteScope::~CSysColorPaletteScope() {
    PinnedPalette() = m_previous;
}

// ---------------------------------------------------------------------------------------------

CDC::CDC(QPaintDevice* device) {
    if (device != nullptr && m_ownPainter.begin(device)) {
        m_pPainter = &m_ownPainter;
        m_bOwnPainter = true;
        m_font = m_ownPainter.font();
    }
    if (m_pPainter != nullptr) {
        m_pPainter->setRenderHint(QPainter::Antialiasing, false);
        m_pPainter->setRenderHint(QPainter::SmoothPixmapTransform, false);
    }
}

CDC::CDC(QPainter& painter) : m_pPainter(&painter), m_font(painter.font()) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
}

CDC::~CDC() {
    if (m_bOwnPainter) {
        m_ownPainter.end();
    } else if (m_pPainter != nullptr) {
        m_pPainter->restore();
    }
}

const QImage* CDC::SourceImage() const {
    if (!IsValid()) {
        return nullptr;
    }
    QPaintDevice* device = m_pPainter->device();
    if (device == nullptr || device->devType() != QInternal::Image) {
        return nullptr;
    }
    if (m_pPainter->deviceTransform().type() > QTransform::TxTranslate) {
        return nullptr;
    }
    return static_cast<const QImage*>(device);
}

std::optional<COLORREF> CDC::GetPixel(int x, int y) const {
    const QImage* image = SourceImage();
    if (image == nullptr) {
        return std::nullopt;
    }
    const QPoint p = m_pPainter->deviceTransform().map(QPoint(x, y));
    if (!image->rect().contains(p)) {
        return std::nullopt;
    }
    return RefFromColor(QColor(image->pixel(p)));
}

void CDC::SetPixel(int x, int y, COLORREF colour) {
    FillQRect(QRect(x, y, 1, 1), colour);
}

CPen CDC::SelectPen(const CPen& pen) {
    return std::exchange(m_pen, pen);
}

CBrush CDC::SelectBrush(const CBrush& brush) {
    return std::exchange(m_brush, brush);
}

QFont CDC::SelectFont(const QFont& font) {
    QFont old = std::exchange(m_font, font);
    if (IsValid()) {
        m_pPainter->setFont(font);
    }
    return old;
}

COLORREF CDC::SetTextColor(COLORREF colour) {
    return std::exchange(m_clrText, colour);
}

COLORREF CDC::SetBkColor(COLORREF colour) {
    return std::exchange(m_clrBk, colour);
}

int CDC::SetBkMode(int mode) {
    if (mode != TRANSPARENT && mode != OPAQUE) {
        return 0;
    }
    return std::exchange(m_nBkMode, mode);
}

QPoint CDC::MoveTo(int x, int y) {
    return std::exchange(m_ptCurrent, QPoint(x, y));
}

void CDC::PlotLinePixel(int x, int y) {
    const int w = std::max(1, m_pen.Width());
    FillQRect(QRect(x - (w - 1) / 2, y - (w - 1) / 2, w, w), m_pen.Color());
}

bool CDC::LineTo(int x, int y) {
    const QPoint from = m_ptCurrent;
    m_ptCurrent = QPoint(x, y);
    if (!IsValid()) {
        return false;
    }
    if (m_pen.Style() == PS_NULL) {
        return true;
    }
    WalkLine(from, QPoint(x, y), false, [this](int px, int py) { PlotLinePixel(px, py); });
    return true;
}

void CDC::FillQRect(const QRect& r, COLORREF colour) {
    if (IsValid() && r.isValid()) {
        m_pPainter->fillRect(r, ColorFromRef(colour));
    }
}

void CDC::FillSolidRect(const CRect& rect, COLORREF colour) {
    m_clrBk = colour;
    if (!rect.IsRectEmpty()) {
        FillQRect(rect.ToQRect(), colour);
    }
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF colour) {
    // Negative sizes count back from (x, y), as the platform's rectangle normalisation does.
    const int l = std::min(x, x + cx);
    const int t = std::min(y, y + cy);
    FillSolidRect(CRect(l, t, l + std::abs(cx), t + std::abs(cy)), colour);
}

void CDC::FillRect(const CRect& rect, const CBrush& brush) {
    if (!brush.IsHollow() && !rect.IsRectEmpty()) {
        FillQRect(rect.ToQRect(), brush.Color());
    }
}

void CDC::FrameRect(const CRect& rect, const CBrush& brush) {
    if (brush.IsHollow() || rect.IsRectEmpty()) {
        return;
    }
    const COLORREF c = brush.Color();
    FillQRect(QRect(rect.left, rect.top, rect.Width(), 1), c);
    FillQRect(QRect(rect.left, rect.bottom - 1, rect.Width(), 1), c);
    FillQRect(QRect(rect.left, rect.top, 1, rect.Height()), c);
    FillQRect(QRect(rect.right - 1, rect.top, 1, rect.Height()), c);
}

void CDC::Draw3dRect(const CRect& rect, COLORREF topLeft, COLORREF bottomRight) {
    Draw3dRect(rect.left, rect.top, rect.Width(), rect.Height(), topLeft, bottomRight);
}

void CDC::Draw3dRect(int x, int y, int cx, int cy, COLORREF topLeft, COLORREF bottomRight) {
    // The top and left edges stop one short of the far corners, which belong to the right
    // and bottom edges.
    FillSolidRect(x, y, cx - 1, 1, topLeft);
    FillSolidRect(x, y, 1, cy - 1, topLeft);
    FillSolidRect(x + cx, y, -1, cy, bottomRight);
    FillSolidRect(x, y + cy, cx, -1, bottomRight);
}

void CDC::Rectangle(const CRect& rect) {
    if (rect.IsRectEmpty()) {
        return;
    }
    const int w = m_pen.Style() == PS_NULL ? 0 : std::max(1, m_pen.Width());
    CRect inside = rect;
    inside.DeflateRect(w, w);
    FillRect(inside, m_brush);
    if (w > 0) {
        const COLORREF c = m_pen.Color();
        FillQRect(QRect(rect.left, rect.top, rect.Width(), w), c);
        FillQRect(QRect(rect.left, rect.bottom - w, rect.Width(), w), c);
        FillQRect(QRect(rect.left, rect.top, w, rect.Height()), c);
        FillQRect(QRect(rect.right - w, rect.top, w, rect.Height()), c);
    }
}

bool CDC::Polygon(const QPoint* points, int count) {
    if (!IsValid() || points == nullptr || count < 2) {
        return false;
    }
    // Each row's outline pixels, so the brush fills exactly between them.
    std::vector<QPoint> outline;
    const auto plot = [&](int x, int y) { outline.emplace_back(x, y); };
    for (int i = 0; i < count; ++i) {
        WalkLine(points[i], points[(i + 1) % count], true, plot);
    }
    if (!m_brush.IsHollow()) {
        std::map<int, std::pair<int, int>> rows;
        for (const QPoint& p : outline) {
            auto [it, added] = rows.try_emplace(p.y(), p.x(), p.x());
            if (!added) {
                it->second.first = std::min(it->second.first, p.x());
                it->second.second = std::max(it->second.second, p.x());
            }
        }
        for (const auto& [y, span] : rows) {
            FillQRect(QRect(span.first, y, span.second - span.first + 1, 1), m_brush.Color());
        }
    }
    if (m_pen.Style() != PS_NULL) {
        for (const QPoint& p : outline) {
            PlotLinePixel(p.x(), p.y());
        }
    }
    return true;
}

void CDC::DrawFocusRect(const CRect& rect) {
    if (!IsValid() || rect.IsRectEmpty()) {
        return;
    }
    m_pPainter->save();
    m_pPainter->setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    const QColor white(255, 255, 255);
    const auto dot = [&](int x, int y) {
        if (((x + y) & 1) == 0) {
            m_pPainter->fillRect(QRect(x, y, 1, 1), white);
        }
    };
    for (int x = rect.left; x < rect.right; ++x) {
        dot(x, rect.top);
        if (rect.bottom - 1 > rect.top) {
            dot(x, rect.bottom - 1);
        }
    }
    for (int y = rect.top + 1; y < rect.bottom - 1; ++y) {
        dot(rect.left, y);
        if (rect.right - 1 > rect.left) {
            dot(rect.right - 1, y);
        }
    }
    m_pPainter->restore();
}

QRegion CDC::CurrentClipOrDevice() const {
    if (m_pPainter->hasClipping()) {
        return m_pPainter->clipRegion();
    }
    const QPaintDevice* device = m_pPainter->device();
    const QRect deviceRect(0, 0, device->width(), device->height());
    // The device rectangle in the painter's own coordinates. The combined transform leaves
    // out the offset of a widget painted into its window's backing store: the device of such a
    // painter is the widget itself.
    return QRegion(m_pPainter->combinedTransform().inverted().mapRect(deviceRect));
}

int CDC::ExcludeClipRect(const CRect& rect) {
    if (!IsValid()) {
        return 0;
    }
    QRegion clip = CurrentClipOrDevice();
    if (!rect.IsRectEmpty()) {
        clip = clip.subtracted(QRegion(rect.ToQRect()));
    }
    m_pPainter->setClipRegion(clip);
    return RegionKind(clip);
}

int CDC::IntersectClipRect(const CRect& rect) {
    if (!IsValid()) {
        return 0;
    }
    QRegion clip =
        CurrentClipOrDevice().intersected(rect.IsRectEmpty() ? QRegion() : QRegion(rect.ToQRect()));
    m_pPainter->setClipRegion(clip);
    return RegionKind(clip);
}

int CDC::SelectClipRgn(std::nullptr_t) {
    if (!IsValid()) {
        return 0;
    }
    m_pPainter->setClipping(false);
    return SIMPLEREGION;
}

int CDC::SelectClipRgn(const QRegion& region) {
    if (!IsValid()) {
        return 0;
    }
    m_pPainter->setClipRegion(region);
    return RegionKind(region);
}

bool CDC::HasClip() const {
    return IsValid() && m_pPainter->hasClipping();
}

QRegion CDC::GetClipRegion() const {
    return IsValid() ? CurrentClipOrDevice() : QRegion();
}

QSize CDC::GetTextExtent(const QString& text) const {
    const QFontMetrics fm(m_font);
    return QSize(fm.horizontalAdvance(text), fm.height());
}

int CDC::GetTextHeight() const {
    return QFontMetrics(m_font).height();
}

bool CDC::TextOut(int x, int y, const QString& text) {
    if (!IsValid()) {
        return false;
    }
    const QFontMetrics fm(m_font);
    if (m_nBkMode == OPAQUE) {
        FillQRect(QRect(x, y, fm.horizontalAdvance(text), fm.height()), m_clrBk);
    }
    m_pPainter->setFont(m_font);
    m_pPainter->setPen(ColorFromRef(m_clrText));
    m_pPainter->drawText(QPoint(x, y + fm.ascent()), text);
    return true;
}

int CDC::DrawText(const QString& text, const CRect& rect, unsigned format) {
    if (!IsValid()) {
        return 0;
    }
    int flags = 0;
    if (format & DT_CENTER) {
        flags |= Qt::AlignHCenter;
    } else if (format & DT_RIGHT) {
        flags |= Qt::AlignRight;
    } else {
        flags |= Qt::AlignLeft;
    }
    // Only the rectangle clips, as on the platform: Qt would also clip to the line's cell,
    // cutting glyphs that reach beyond the ascent or descent the face declares.
    flags |= Qt::AlignTop | Qt::TextDontClip;
    QRect r = rect.ToQRect();
    const QFontMetrics fm(m_font);
    if (format & DT_SINGLELINE) {
        flags |= Qt::TextSingleLine;
        // The line's cell is placed in whole pixels, as the platform does: centred with
        // integer division, or against the bottom. Its rows are those the glyphs really cover.
        const CLineExtent line = LineExtentOf(m_font, text);
        int baseline = rect.top + line.ascent;
        if (format & DT_VCENTER) {
            baseline += (rect.Height() - line.Height()) / 2;
        } else if (format & DT_BOTTOM) {
            baseline = rect.bottom - line.descent;
        }
        r.moveTop(baseline - fm.ascent());
        r.setHeight(fm.height());
    } else if (format & DT_WORDBREAK) {
        flags |= Qt::TextWordWrap;
    }
    if (format & DT_EXPANDTABS) {
        flags |= Qt::TextExpandTabs;
    }
    if (!(format & DT_NOPREFIX)) {
        flags |= Qt::TextShowMnemonic;
    }
    m_pPainter->save();
    if (!(format & DT_NOCLIP)) {
        m_pPainter->setClipRect(rect.ToQRect(), Qt::IntersectClip);
    }
    m_pPainter->setFont(m_font);
    const QRect bounds = m_pPainter->boundingRect(r, flags, text);
    if (m_nBkMode == OPAQUE) {
        m_pPainter->fillRect(bounds, ColorFromRef(m_clrBk));
    }
    m_pPainter->setPen(ColorFromRef(m_clrText));
    m_pPainter->drawText(r, flags, text);
    m_pPainter->restore();
    return bounds.height();
}

bool CDC::BitBlt(int x, int y, int cx, int cy, const QImage& source, int xSrc, int ySrc) {
    if (!IsValid() || source.isNull() || cx <= 0 || cy <= 0) {
        return false;
    }
    m_pPainter->save();
    m_pPainter->setCompositionMode(QPainter::CompositionMode_Source);
    m_pPainter->drawImage(QPoint(x, y), source, QRect(xSrc, ySrc, cx, cy));
    m_pPainter->restore();
    return true;
}

// ---------------------------------------------------------------------------------------------

namespace {

// The key-pixel alpha variant, for devices that cannot be read back.
bool DrawTransparentByAlpha(CDC& dc, const QImage& bitmap, const CRect& dest, const QSize& src,
                            QRgb key) {
    QImage masked = bitmap.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < masked.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(masked.scanLine(y));
        for (int x = 0; x < masked.width(); ++x) {
            if ((line[x] & 0x00FFFFFF) == (key & 0x00FFFFFF)) {
                line[x] = 0;
            }
        }
    }
    QImage out(dest.Width(), dest.Height(), QImage::Format_ARGB32);
    for (int j = 0; j < out.height(); ++j) {
        const int sy = Sample(j, dest.Height(), src.height());
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(j));
        for (int i = 0; i < out.width(); ++i) {
            const int sx = Sample(i, dest.Width(), src.width());
            line[i] = masked.valid(sx, sy) ? masked.pixel(sx, sy) : qRgb(0, 0, 0);
        }
    }
    QPainter& p = dc.Painter();
    p.save();
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.drawImage(QPoint(dest.left, dest.top), out);
    p.restore();
    return true;
}

}  // namespace

bool DrawTransparent(CDC& dc, const QImage& bitmap, const CRect& dest, const QSize& sourceSize,
                     COLORREF keyColour) {
    if (!dc.IsValid() || bitmap.isNull() || dest.IsRectEmpty() || sourceSize.width() <= 0 ||
        sourceSize.height() <= 0) {
        return false;
    }
    const QImage colour = bitmap.convertToFormat(QImage::Format_RGB32);
    const QRgb key = Opaque(keyColour);
    const int w = colour.width();
    const int h = colour.height();

    const QImage* device = dc.SourceImage();
    if (device == nullptr) {
        return DrawTransparentByAlpha(dc, colour, dest, sourceSize, key);
    }

    // Background: the destination area of the device, stretched to the bitmap's size. Pixels
    // off the device read as black, as a copy from outside a surface gives.
    std::vector<QRgb> work(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        const int dy = dest.top + Sample(y, h, dest.Height());
        for (int x = 0; x < w; ++x) {
            const int dx = dest.left + Sample(x, w, dest.Width());
            const std::optional<COLORREF> under = dc.GetPixel(dx, dy);
            work[static_cast<std::size_t>(y) * w + x] = under ? Opaque(*under) : qRgb(0, 0, 0);
        }
    }
    // Work AND mask, bitmap AND inverse mask, OR: key pixels keep the background, the others
    // take the bitmap.
    for (int y = 0; y < h; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(colour.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const QRgb px = line[x] | 0xFF000000;
            if (px != key) {
                work[static_cast<std::size_t>(y) * w + x] = px;
            }
        }
    }
    // The source-size area at the work image's origin, stretched into the destination.
    QImage out(dest.Width(), dest.Height(), QImage::Format_RGB32);
    for (int j = 0; j < out.height(); ++j) {
        const int sy = Sample(j, dest.Height(), sourceSize.height());
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(j));
        for (int i = 0; i < out.width(); ++i) {
            const int sx = Sample(i, dest.Width(), sourceSize.width());
            line[i] =
                (sx < w && sy < h) ? work[static_cast<std::size_t>(sy) * w + sx] : qRgb(0, 0, 0);
        }
    }
    return dc.BitBlt(dest.left, dest.top, dest.Width(), dest.Height(), out, 0, 0);
}
