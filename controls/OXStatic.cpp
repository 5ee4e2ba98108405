#include "controls/OXStatic.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QVariant>

#include "framework/TemplateBuilder.h"

namespace {

// The label's alignment and frame as static style bits, for a label made without a template.
unsigned StyleFromLabel(const QLabel& label) {
    unsigned style = SS_LEFT;
    const Qt::Alignment a = label.alignment();
    if (a & Qt::AlignHCenter) {
        style = SS_CENTER;
    } else if (a & Qt::AlignRight) {
        style = SS_RIGHT;
    }
    if (a & Qt::AlignVCenter) {
        style |= SS_CENTERIMAGE;
    }
    switch (label.frameShape()) {
        case QFrame::Box:
            style |= WS_BORDER;
            break;
        case QFrame::Panel:
        case QFrame::StyledPanel:
        case QFrame::WinPanel:
            style |= SS_SUNKEN;
            break;
        default:
            break;
    }
    return style;
}

// Drawing flags of the text kinds; nullopt for a kind that shows no text.
std::optional<unsigned> TextFormat(unsigned style) {
    unsigned format = 0;
    switch (style & 0x7F) {
        case SS_LEFT:
            format = DT_LEFT | DT_WORDBREAK | DT_EXPANDTABS;
            break;
        case SS_CENTER:
            format = DT_CENTER | DT_WORDBREAK | DT_EXPANDTABS;
            break;
        case SS_RIGHT:
            format = DT_RIGHT | DT_WORDBREAK | DT_EXPANDTABS;
            break;
        case SS_SIMPLE:
            format = DT_LEFT | DT_SINGLELINE;
            break;
        case SS_LEFTNOWORDWRAP:
            format = DT_LEFT | DT_EXPANDTABS;
            break;
        default:
            return std::nullopt;
    }
    if (style & SS_NOPREFIX) {
        format |= DT_NOPREFIX;
    }
    if (style & SS_CENTERIMAGE) {
        format = (format & ~DT_WORDBREAK) | DT_SINGLELINE | DT_VCENTER;
    }
    return format;
}

}  // namespace

COXStatic::COXStatic(QWidget* parent)
    : QLabel(parent),
      m_clrBackground(GetSysColor(COLOR_BTNFACE)),
      m_clrText(GetSysColor(COLOR_WINDOWTEXT)) {}

COXStatic::~COXStatic() = default;

bool COXStatic::Attach() {
    if (m_bAttached) {
        return false;
    }
    const QVariant templateStyle = property(kTemplateStyleProperty);
    m_dwStyle = templateStyle.isValid() ? templateStyle.toUInt() : StyleFromLabel(*this);
    m_bAttached = true;
    Initialize();
    return true;
}

bool COXStatic::IsTextStyle(unsigned style) {
    switch (style & 0xFF) {
        case SS_LEFT:
        case SS_CENTER:
        case SS_RIGHT:
        case SS_SIMPLE:
        case SS_LEFTNOWORDWRAP:
            return true;
        default:
            return false;
    }
}

bool COXStatic::PaintsEveryPixel() const {
    if (m_clrBackground == CLR_NONE)
        return false;
    // The erase fills the contents; a border of one pixel, drawn solid, covers the rest.
    switch (frameShape()) {
        case QFrame::NoFrame:
        case QFrame::Box:
        case QFrame::Panel:
        case QFrame::StyledPanel:
        case QFrame::WinPanel:
            break;
        default:
            return false;  // a line shape leaves the rest of its frame unpainted
    }
    const int border = frameShape() == QFrame::NoFrame ? 0 : frameWidth();
    return border <= 1 && contentsRect() == rect().adjusted(border, border, -border, -border);
}

// An opaque control spares the repaint manager painting the form and its siblings behind it
// first, which the status line's repaint at every scan cycle would otherwise do.
void COXStatic::UpdateOpaquePaint() {
    setAttribute(Qt::WA_OpaquePaintEvent, PaintsEveryPixel());
}

void COXStatic::SetBackgroundColor(COLORREF colour, bool redraw) {
    m_clrBackground = colour;
    UpdateOpaquePaint();
    if (redraw) {
        update();
    }
}

void COXStatic::SetTextColor(COLORREF colour, bool redraw) {
    m_clrText = colour;
    if (redraw) {
        update();
    }
}

bool COXStatic::SetWindowText(const QString& text) {
    setText(text);
    UpdateOpaquePaint();
    // The text is drawn without a background of its own, so the whole control is painted
    // again now rather than at the next idle moment.
    repaint();
    return true;
}

bool COXStatic::RefreshFont() {
    if (!IsTextStyle()) {
        return true;
    }
    // A widget always has a font, so the copy cannot fail here.
    m_font = std::make_unique<QFont>(font());
    return true;
}

void COXStatic::Initialize() {
    if (!m_bFontCopied && RefreshFont()) {
        m_bFontCopied = true;
    }
}

std::optional<CBrush> COXStatic::CtlColor(CDC& dc, int /*ctlType*/) {
    if (!(m_dwStyle & SS_NOTIFY)) {
        m_dwStyle |= SS_NOTIFY;
    }
    if (!IsTextStyle()) {
        return std::nullopt;
    }
    if (m_font) {
        dc.SelectFont(*m_font);
    }
    dc.SetTextColor(m_clrText);
    dc.SetBkMode(TRANSPARENT);
    return CBrush::Hollow();
}

bool COXStatic::OnEraseBkgnd(CDC& dc, const CRect& client) {
    if (m_clrBackground != CLR_NONE) {
        dc.Painter().save();
        dc.IntersectClipRect(client);
        dc.FillSolidRect(client, m_clrBackground);
        dc.Painter().restore();
    }
    return true;
}

void COXStatic::PaintBorder(CDC& dc) {
    const CRect all(0, 0, width(), height());
    switch (frameShape()) {
        case QFrame::Box:
            dc.FrameRect(all, CBrush(GetSysColor(COLOR_WINDOWFRAME)));
            break;
        case QFrame::Panel:
        case QFrame::StyledPanel:
        case QFrame::WinPanel:
            if (frameShadow() == QFrame::Raised) {
                dc.Draw3dRect(all, GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(COLOR_BTNSHADOW));
            } else {
                dc.Draw3dRect(all, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT));
            }
            break;
        default:
            break;
    }
}

void COXStatic::PaintStaticText(CDC& dc, const CRect& client) {
    const std::optional<CBrush> brush = CtlColor(dc, CTLCOLOR_STATIC);
    if (!brush) {
        // Declined: the default text colour and the window's current font.
        dc.SelectFont(font());
        dc.SetTextColor(GetSysColor(COLOR_WINDOWTEXT));
        dc.SetBkMode(TRANSPARENT);
    } else {
        dc.FillRect(client, *brush);
    }
    const std::optional<unsigned> format = TextFormat(m_dwStyle);
    if (format && !text().isEmpty()) {
        dc.DrawText(text(), client, *format);
    }
}

void COXStatic::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    CDC dc(painter);
    dc.SelectFont(font());
    PaintBorder(dc);
    const CRect client = CRect::FromQRect(contentsRect());
    OnEraseBkgnd(dc, client);
    PaintStaticText(dc, client);
}

void COXStatic::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    UpdateOpaquePaint();
    repaint();
}

bool COXStatic::event(QEvent* event) {
    if (event->type() == QEvent::Polish && !m_bAttached) {
        Attach();
    }
    return QLabel::event(event);
}
