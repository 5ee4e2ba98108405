#pragma once

// Drawing with the platform's device-context rules on top of QPainter: colours as 0x00BBGGRR
// values, rectangles whose right and bottom edges lie outside, lines that leave out their end
// point, clip exclusion, text with a background mode, and the masked transparent copy the
// status bar uses for its bitmaps. Everything is drawn without antialiasing so that pixels can
// be checked one by one.

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <optional>

// A colour as the platform stores it: red in the low byte, then green, then blue.
using COLORREF = std::uint32_t;

constexpr COLORREF RGB(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) |
           (static_cast<COLORREF>(b) << 16);
}
constexpr std::uint8_t GetRValue(COLORREF c) {
    return static_cast<std::uint8_t>(c & 0xFF);
}
constexpr std::uint8_t GetGValue(COLORREF c) {
    return static_cast<std::uint8_t>((c >> 8) & 0xFF);
}
constexpr std::uint8_t GetBValue(COLORREF c) {
    return static_cast<std::uint8_t>((c >> 16) & 0xFF);
}

// "No colour": controls use it to mean that nothing is painted.
constexpr COLORREF CLR_NONE = 0xFFFFFFFF;

QColor ColorFromRef(COLORREF colour);
COLORREF RefFromColor(const QColor& colour);

// System colour indexes, with the platform's numbers.
constexpr int COLOR_WINDOW = 5;
constexpr int COLOR_WINDOWFRAME = 6;
constexpr int COLOR_WINDOWTEXT = 8;
constexpr int COLOR_HIGHLIGHT = 13;
constexpr int COLOR_HIGHLIGHTTEXT = 14;
constexpr int COLOR_BTNFACE = 15;
constexpr int COLOR_BTNSHADOW = 16;
constexpr int COLOR_BTNTEXT = 18;
constexpr int COLOR_BTNHIGHLIGHT = 20;
constexpr int COLOR_3DDKSHADOW = 21;
constexpr int COLOR_3DLIGHT = 22;
constexpr int COLOR_3DFACE = COLOR_BTNFACE;
constexpr int COLOR_3DSHADOW = COLOR_BTNSHADOW;
constexpr int COLOR_3DHILIGHT = COLOR_BTNHIGHLIGHT;
constexpr int COLOR_3DHIGHLIGHT = COLOR_BTNHIGHLIGHT;

// The palette role a system colour is read from; nullopt for an index the table lacks.
std::optional<QPalette::ColorRole> SysColorRole(int index);
// The current colour for `index`, from the pinned palette if one is pinned, else from the
// application palette. An unknown index gives 0 (black), as the platform does.
COLORREF GetSysColor(int index);

// Pins the palette that GetSysColor reads, so that pictures do not depend on the desktop theme.
void PinSysColorPalette(const QPalette& palette);
void UnpinSysColorPalette();
// The classic grey 3-D scheme: face 192,192,192, highlight white, shadow 128,128,128, dark
// shadow and texts black, window white, selection 0,0,128 with white text.
QPalette ClassicSysColorPalette();

// Pins a palette for the lifetime of the object and restores the previous state after it.
class CSysColorPaletteScope {
public:
    explicit CSysColorPaletteScope(const QPalette& palette);
    ~CSysColorPaletteScope();
    CSysColorPaletteScope(const CSysColorPaletteScope&) = delete;
    CSysColorPaletteScope& operator=(const CSysColorPaletteScope&) = delete;

private:
    std::optional<QPalette> m_previous;
};

// A rectangle as the platform keeps it: `right` and `bottom` are the first column and row
// outside.
struct CRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    constexpr CRect() = default;
    constexpr CRect(int l, int t, int r, int b) : left(l), top(t), right(r), bottom(b) {}
    static CRect FromQRect(const QRect& r) {
        return CRect(r.left(), r.top(), r.left() + r.width(), r.top() + r.height());
    }

    constexpr int Width() const { return right - left; }
    constexpr int Height() const { return bottom - top; }
    constexpr bool IsRectEmpty() const { return right <= left || bottom <= top; }
    constexpr bool PtInRect(QPoint p) const {
        return p.x() >= left && p.x() < right && p.y() >= top && p.y() < bottom;
    }
    void DeflateRect(int l, int t, int r, int b) {
        left += l;
        top += t;
        right -= r;
        bottom -= b;
    }
    void DeflateRect(int x, int y) { DeflateRect(x, y, x, y); }
    void OffsetRect(int dx, int dy) {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
    }
    // An empty rectangle maps to an empty QRect.
    QRect ToQRect() const { return QRect(left, top, Width(), Height()); }

    friend constexpr bool operator==(const CRect&, const CRect&) = default;
};

// Pen styles, region kinds, background modes and text formats with the platform's numbers.
constexpr int PS_SOLID = 0;
constexpr int PS_NULL = 5;
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;
constexpr int COMPLEXREGION = 3;
constexpr unsigned DT_LEFT = 0x0000;
constexpr unsigned DT_CENTER = 0x0001;
constexpr unsigned DT_RIGHT = 0x0002;
constexpr unsigned DT_VCENTER = 0x0004;
constexpr unsigned DT_BOTTOM = 0x0008;
constexpr unsigned DT_WORDBREAK = 0x0010;
constexpr unsigned DT_SINGLELINE = 0x0020;
constexpr unsigned DT_EXPANDTABS = 0x0040;
constexpr unsigned DT_NOCLIP = 0x0100;
constexpr unsigned DT_NOPREFIX = 0x0800;

class CPen {
public:
    CPen() = default;  // the stock black pen
    CPen(int style, int width, COLORREF colour) : m_nStyle(style), m_nWidth(width), m_clr(colour) {}
    static CPen FromSysColor(int index) { return CPen(PS_SOLID, 1, GetSysColor(index)); }

    int Style() const { return m_nStyle; }
    int Width() const { return m_nWidth; }
    COLORREF Color() const { return m_clr; }

private:
    int m_nStyle = PS_SOLID;
    int m_nWidth = 1;
    COLORREF m_clr = RGB(0, 0, 0);
};

class CBrush {
public:
    CBrush() = default;  // the hollow (null) brush: fills nothing
    explicit CBrush(COLORREF colour) : m_clr(colour), m_bHollow(false) {}
    static CBrush FromSysColor(int index) { return CBrush(GetSysColor(index)); }
    static CBrush Hollow() { return CBrush(); }

    bool IsHollow() const { return m_bHollow; }
    COLORREF Color() const { return m_clr; }

private:
    COLORREF m_clr = RGB(255, 255, 255);
    bool m_bHollow = true;
};

// A device context over a QPainter. It either opens its own painter on a device or borrows one
// that is already active; either way the painter's state is restored when the context goes.
class CDC {
public:
    explicit CDC(QPaintDevice* device);
    explicit CDC(QPainter& painter);
    ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    bool IsValid() const { return m_pPainter != nullptr && m_pPainter->isActive(); }
    QPainter& Painter() { return *m_pPainter; }
    // The image being painted, when the device is one and the painter only translates, so its
    // pixels can be read back; nullptr otherwise.
    const QImage* SourceImage() const;
    // Device pixel under logical point `p`, when SourceImage() is available and `p` lies on it.
    std::optional<COLORREF> GetPixel(int x, int y) const;
    void SetPixel(int x, int y, COLORREF colour);

    CPen SelectPen(const CPen& pen);
    CBrush SelectBrush(const CBrush& brush);
    QFont SelectFont(const QFont& font);
    QFont GetFont() const { return m_font; }
    COLORREF SetTextColor(COLORREF colour);
    COLORREF GetTextColor() const { return m_clrText; }
    COLORREF SetBkColor(COLORREF colour);
    COLORREF GetBkColor() const { return m_clrBk; }
    int SetBkMode(int mode);
    int GetBkMode() const { return m_nBkMode; }

    QPoint MoveTo(int x, int y);
    QPoint GetCurrentPosition() const { return m_ptCurrent; }
    // Draws from the current position towards (x, y), leaving out (x, y) itself, and makes
    // (x, y) the current position.
    bool LineTo(int x, int y);

    // Fills with the colour and, as the platform does, leaves it as the background colour.
    void FillSolidRect(const CRect& rect, COLORREF colour);
    void FillSolidRect(int x, int y, int cx, int cy, COLORREF colour);
    void FillRect(const CRect& rect, const CBrush& brush);
    // One-pixel outline in the brush's colour.
    void FrameRect(const CRect& rect, const CBrush& brush);
    // Top and left edges in the first colour, right and bottom in the second.
    void Draw3dRect(const CRect& rect, COLORREF topLeft, COLORREF bottomRight);
    void Draw3dRect(int x, int y, int cx, int cy, COLORREF topLeft, COLORREF bottomRight);
    // Outline with the current pen inside the rectangle, the inside with the current brush.
    void Rectangle(const CRect& rect);
    // A convex polygon: outline with the current pen through every corner (end points
    // included), the rows between the outline's ends with the current brush.
    bool Polygon(const QPoint* points, int count);
    // The dotted focus outline: every other pixel of the rectangle's edge is inverted, so a
    // second call takes it off again.
    void DrawFocusRect(const CRect& rect);

    // Clip regions; the results are region kinds (NULLREGION, SIMPLEREGION, COMPLEXREGION).
    int ExcludeClipRect(const CRect& rect);
    int IntersectClipRect(const CRect& rect);
    int SelectClipRgn(std::nullptr_t);
    int SelectClipRgn(const QRegion& region);
    bool HasClip() const;
    QRegion GetClipRegion() const;

    // Text with its top left corner at (x, y), in the text colour; with OPAQUE the text's cell
    // is first filled with the background colour.
    bool TextOut(int x, int y, const QString& text);
    QSize GetTextExtent(const QString& text) const;
    int GetTextHeight() const;
    // Text in a rectangle with DT_ flags: alignment, vertical centring for single lines, word
    // breaks, '&' prefixes unless DT_NOPREFIX; returns the text's height.
    int DrawText(const QString& text, const CRect& rect, unsigned format);

    // Copies `source` (from (xSrc, ySrc)) to (x, y), size cx by cy, unscaled.
    bool BitBlt(int x, int y, int cx, int cy, const QImage& source, int xSrc, int ySrc);

private:
    void FillQRect(const QRect& r, COLORREF colour);
    void PlotLinePixel(int x, int y);
    QRegion CurrentClipOrDevice() const;

    QPainter m_ownPainter;
    QPainter* m_pPainter = nullptr;
    bool m_bOwnPainter = false;
    CPen m_pen;
    CBrush m_brush{RGB(255, 255, 255)};
    QFont m_font;
    COLORREF m_clrText = RGB(0, 0, 0);
    COLORREF m_clrBk = RGB(255, 255, 255);
    int m_nBkMode = OPAQUE;
    QPoint m_ptCurrent{0, 0};
};

// Masked transparent copy: the `sourceSize` area at the origin of `bitmap` goes into `dest`,
// and every bitmap pixel of `keyColour` leaves what `dc` held there visible. The steps follow
// the platform's mask technique: the destination area is first stretched into a work image of
// the bitmap's size, the bitmap is combined into it through the key mask, and the work image's
// `sourceSize` area is stretched back into `dest`. Stretches sample the nearest pixel (the
// centre of each target pixel mapped into the source). When the device cannot be read back
// (a widget painted directly, a scaled painter), the key pixels are made transparent instead,
// which gives the same picture whenever no stretching takes place.
// Returns false and draws nothing for an empty bitmap, destination or source size.
bool DrawTransparent(CDC& dc, const QImage& bitmap, const CRect& dest, const QSize& sourceSize,
                     COLORREF keyColour);
