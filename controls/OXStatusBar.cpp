#include "controls/OXStatusBar.h"

#include <QEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>

#include "framework/GuiFont.h"
#include "framework/Resources.h"

namespace {

// Shown when the string table has no idle text.
const char kIdleText[] = "준비";

}  // namespace

StatusBarResources StatusBarResources::Program() {
    StatusBarResources r;
    r.findString = [](unsigned id) { return FindStringResource(id); };
    r.loadBitmap = [](unsigned id) { return LoadBitmapResource(id); };
    return r;
}

COXStatusBar::COXStatusBar(QWidget* parent)
    : QWidget(parent), m_resources(StatusBarResources::Program()) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The native bar draws with the platform's GUI font, not with its window's.
    setFont(DefaultGuiFont());
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

COXStatusBar::~COXStatusBar() = default;

void COXStatusBar::SetResources(StatusBarResources resources) {
    m_resources = std::move(resources);
}

bool COXStatusBar::IsValidIndex(int index) const {
    return index >= 0 && index < GetCount();
}

int COXStatusBar::IndicatorTextWidth(const QString& text) const {
    return QFontMetrics(font()).horizontalAdvance(text);
}

bool COXStatusBar::SetIndicators(const unsigned* ids, int count) {
    if (count < 0 || (count > 0 && ids == nullptr)) {
        return false;
    }
    m_arrTextColor.assign(static_cast<std::size_t>(count), GetSysColor(COLOR_BTNTEXT));
    m_arrBitmap.clear();
    m_arrBitmap.resize(static_cast<std::size_t>(count));
    m_arrPanes.assign(static_cast<std::size_t>(count), StatusPaneInfo{});
    m_arrNative.assign(static_cast<std::size_t>(count), NativePart{});
    m_arrRightEdges.assign(static_cast<std::size_t>(count), 0);

    bool ok = true;
    for (int i = 0; i < count; ++i) {
        StatusPaneInfo& pane = m_arrPanes[static_cast<std::size_t>(i)];
        pane.nID = ids[i];
        pane.nFlags |= SBPF_UPDATE;
        if (pane.nID != 0) {
            const std::optional<QString> text =
                m_resources.findString ? m_resources.findString(pane.nID) : std::nullopt;
            if (!text) {
                ok = false;
                break;
            }
            pane.strText = *text;
            pane.cxText = IndicatorTextWidth(pane.strText);
        } else {
            const QScreen* scr = screen();
            pane.cxText = scr != nullptr ? scr->geometry().width() / 4 : 0;
            if (i == 0) {
                pane.nStyle |= SBPS_NOBORDERS | SBPS_STRETCH;
            }
        }
    }
    UpdateAllPanes(true, true);
    updateGeometry();
    return ok;
}

void COXStatusBar::UpdateAllPanes(bool updateRects, bool updateText) {
    if (updateRects) {
        // The bar has no insets of its own: its rectangle at the origin is the inside.
        const int insideWidth = width();
        int extra = insideWidth + kPaneGap;
        int stretching = 0;
        for (const StatusPaneInfo& pane : m_arrPanes) {
            extra -= pane.cxText + kPaneBorder + kPaneGap;
            if (pane.nStyle & SBPS_STRETCH) {
                ++stretching;
            }
        }
        int right = kHorzBorder;
        for (std::size_t i = 0; i < m_arrPanes.size(); ++i) {
            const StatusPaneInfo& pane = m_arrPanes[i];
            right += pane.cxText + kPaneBorder;
            if ((pane.nStyle & SBPS_STRETCH) && extra > 0) {
                const int add = extra / stretching;
                right += add;
                extra -= add;
            }
            if (pane.nStyle & SBPS_STRETCH) {
                --stretching;
            }
            m_arrRightEdges[i] = right;
            right += kPaneGap;
        }
        update();
    }
    if (updateText) {
        for (int i = 0; i < GetCount(); ++i) {
            if (m_arrPanes[static_cast<std::size_t>(i)].nFlags & SBPF_UPDATE) {
                SendPaneText(i, true);
            }
        }
    }
}

void COXStatusBar::SendPaneText(int index, bool invalidate) {
    StatusPaneInfo& pane = m_arrPanes[static_cast<std::size_t>(index)];
    NativePart& part = m_arrNative[static_cast<std::size_t>(index)];
    part.disabled = (pane.nStyle & SBPS_DISABLED) != 0;
    part.text = part.disabled ? QString() : pane.strText;
    part.style = pane.nStyle & 0xFFFF;
    pane.nFlags &= ~SBPF_UPDATE;
    if (invalidate) {
        InvalidatePane(index);
    }
}

void COXStatusBar::InvalidatePane(int index) {
    const CRect r = GetItemRect(index);
    if (!r.IsRectEmpty()) {
        update(r.ToQRect());
    }
}

void COXStatusBar::SetPaneInfo(int index, unsigned id, unsigned style, int width) {
    if (!IsValidIndex(index)) {
        return;
    }
    StatusPaneInfo& pane = m_arrPanes[static_cast<std::size_t>(index)];
    bool recompute = false;
    pane.nID = id;
    if (pane.nStyle != style) {
        const unsigned changed = pane.nStyle ^ style;
        pane.nStyle = style;
        if (changed & SBPS_STRETCH) {
            recompute = true;
        }
        // The pane drawing takes a new border or owner-draw flag only with a text, so any
        // change beside the stretch flag sends the text again, even when the edges move too.
        if (changed & ~SBPS_STRETCH) {
            SendPaneText(index, true);
        }
    }
    if (pane.cxText != width) {
        pane.cxText = width;
        recompute = true;
    }
    if (recompute) {
        UpdateAllPanes(true, false);
    }
}

bool COXStatusBar::GetPaneInfo(int index, unsigned& id, unsigned& style, int& width) const {
    if (!IsValidIndex(index)) {
        return false;
    }
    const StatusPaneInfo& pane = m_arrPanes[static_cast<std::size_t>(index)];
    id = pane.nID;
    style = pane.nStyle;
    width = pane.cxText;
    return true;
}

unsigned COXStatusBar::GetPaneStyle(int index) const {
    return IsValidIndex(index) ? m_arrPanes[static_cast<std::size_t>(index)].nStyle : 0;
}

void COXStatusBar::SetPaneStyle(int index, unsigned style) {
    if (IsValidIndex(index)) {
        const StatusPaneInfo& pane = m_arrPanes[static_cast<std::size_t>(index)];
        SetPaneInfo(index, pane.nID, style, pane.cxText);
    }
}

bool COXStatusBar::SetPaneText(int index, const QString& text, bool updateNow) {
    if (!IsValidIndex(index)) {
        return false;
    }
    StatusPaneInfo& pane = m_arrPanes[static_cast<std::size_t>(index)];
    pane.strText = text;
    if (updateNow) {
        SendPaneText(index, true);
    } else {
        pane.nFlags |= SBPF_UPDATE;
    }
    return true;
}

QString COXStatusBar::GetPaneText(int index) const {
    return IsValidIndex(index) ? m_arrPanes[static_cast<std::size_t>(index)].strText : QString();
}

CRect COXStatusBar::GetItemRect(int index) const {
    if (!IsValidIndex(index)) {
        return CRect();
    }
    const std::size_t i = static_cast<std::size_t>(index);
    const int left = index == 0 ? kHorzBorder : m_arrRightEdges[i - 1] + kPaneGap;
    const int right = std::max(left, m_arrRightEdges[i]);
    return CRect(left, kVertBorder, right, std::max(kVertBorder, height() - kVertBorder));
}

int COXStatusBar::CommandToIndex(unsigned id) const {
    for (int i = 0; i < GetCount(); ++i) {
        if (m_arrPanes[static_cast<std::size_t>(i)].nID == id) {
            return i;
        }
    }
    return -1;
}

unsigned COXStatusBar::GetItemID(int index) const {
    return IsValidIndex(index) ? m_arrPanes[static_cast<std::size_t>(index)].nID : 0;
}

bool COXStatusBar::SetPaneTextAndColor(int index, const QString& text, COLORREF colour,
                                       bool updateNow) {
    if (!SetPaneText(index, text, updateNow)) {
        return false;
    }
    COLORREF& stored = m_arrTextColor[static_cast<std::size_t>(index)];
    if (colour == stored) {
        return true;
    }
    unsigned id = 0;
    unsigned style = 0;
    int width = 0;
    GetPaneInfo(index, id, style, width);
    if (colour == GetSysColor(COLOR_BTNTEXT)) {
        style &= ~SBT_OWNERDRAW;
    } else {
        style |= SBT_OWNERDRAW;
    }
    stored = colour;
    SetPaneInfo(index, id, style, width);
    return true;
}

COLORREF COXStatusBar::GetPaneTextColor(int index) const {
    return IsValidIndex(index) ? m_arrTextColor[static_cast<std::size_t>(index)] : 0;
}

bool COXStatusBar::SetPaneBitmap(int index, unsigned bitmapId, int placement, COLORREF keyColour,
                                 bool updateNow) {
    if (!IsValidIndex(index)) {
        return false;
    }
    std::unique_ptr<PaneBitmap>& record = m_arrBitmap[static_cast<std::size_t>(index)];
    if (bitmapId == 0) {
        record.reset();
    } else {
        const auto load = [this, bitmapId]() {
            return m_resources.loadBitmap ? m_resources.loadBitmap(bitmapId & 0xFFFF) : QImage();
        };
        if (!record) {
            auto fresh = std::make_unique<PaneBitmap>();
            fresh->bitmap = load();
            if (fresh->bitmap.isNull()) {
                return false;
            }
            record = std::move(fresh);
        } else if (record->nResourceId != bitmapId) {
            record->bitmap = load();
            if (record->bitmap.isNull()) {
                record.reset();
                InvalidatePane(index);
                return false;
            }
        }
        SetPaneText(index, QString(), true);
        record->nResourceId = bitmapId;
        record->nPlacement = placement;
        record->clrKey = keyColour;
        record->nWidth = record->bitmap.width();
        record->nHeight = record->bitmap.height();
    }
    UpdateAllPanes(true, false);
    if (updateNow) {
        InvalidatePane(index);
    }
    return true;
}

const PaneBitmap* COXStatusBar::GetPaneBitmap(int index) const {
    return IsValidIndex(index) ? m_arrBitmap[static_cast<std::size_t>(index)].get() : nullptr;
}

void COXStatusBar::GetBorders(int& horz, int& vert, int& gap) const {
    horz = kHorzBorder;
    vert = kVertBorder;
    gap = kPaneGap;
}

std::optional<CRect> COXStatusBar::GetPaneInnerRect(int index) const {
    CRect r = GetItemRect(index);
    if (r.IsRectEmpty()) {
        return std::nullopt;
    }
    r.DeflateRect(kPaneGap, kHorzBorder + 1);
    return r;
}

void COXStatusBar::SetMessageText(const QString& text) {
    SetPaneText(0, text, true);
}

void COXStatusBar::SetIdleMessage() {
    const std::optional<QString> text =
        m_resources.findString ? m_resources.findString(AFX_IDS_IDLEMESSAGE) : std::nullopt;
    SetMessageText(text.value_or(QString::fromUtf8(kIdleText)));
}

void COXStatusBar::ShowCommandPrompt(unsigned commandId) {
    const std::optional<QString> text =
        m_resources.findString ? m_resources.findString(commandId) : std::nullopt;
    const QString prompt = text ? text->section(QLatin1Char('\n'), 0, 0) : QString();
    if (prompt.isEmpty()) {
        SetIdleMessage();
    } else {
        SetMessageText(prompt);
    }
}

QSize COXStatusBar::sizeHint() const {
    int w = kHorzBorder;
    for (const StatusPaneInfo& pane : m_arrPanes) {
        w += pane.cxText + kPaneBorder + kPaneGap;
    }
    return QSize(w, minimumSizeHint().height());
}

QSize COXStatusBar::minimumSizeHint() const {
    // Font height, the pane borders with a pixel of margin each, and the bar's vertical borders.
    return QSize(0, QFontMetrics(font()).height() + 4 + 2 * kVertBorder);
}

void COXStatusBar::DrawItem(CDC& dc, int index, const CRect& itemRect) {
    const COLORREF oldColour = dc.SetTextColor(GetPaneTextColor(index));
    const int oldMode = dc.SetBkMode(TRANSPARENT);
    const int textHeight = dc.GetTextHeight();
    dc.TextOut(itemRect.left + 2, itemRect.top + (itemRect.Height() - textHeight) / 2,
               GetPaneText(index));
    dc.SetTextColor(oldColour);
    dc.SetBkMode(oldMode);
}

void COXStatusBar::PaintNative(CDC& dc) {
    dc.FillSolidRect(CRect(0, 0, width(), height()), GetSysColor(COLOR_BTNFACE));
    dc.SelectFont(font());
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT);
    for (int i = 0; i < GetCount(); ++i) {
        const CRect r = GetItemRect(i);
        if (r.IsRectEmpty()) {
            continue;
        }
        const NativePart& part = m_arrNative[static_cast<std::size_t>(i)];
        if (!(part.style & SBPS_NOBORDERS)) {
            if (part.style & SBPS_POPOUT) {
                dc.Draw3dRect(r, light, shadow);
            } else {
                dc.Draw3dRect(r, shadow, light);
            }
        }
        CRect item = r;
        item.DeflateRect(1, 1);
        if (item.IsRectEmpty() || part.disabled) {
            continue;
        }
        dc.Painter().save();
        dc.IntersectClipRect(item);
        if (part.style & SBT_OWNERDRAW) {
            DrawItem(dc, i, item);
        } else if (!part.text.isEmpty()) {
            dc.SetTextColor(GetSysColor(COLOR_BTNTEXT));
            dc.SetBkMode(TRANSPARENT);
            dc.TextOut(r.left + kTextIndent, r.top + (r.Height() - dc.GetTextHeight()) / 2,
                       part.text);
        }
        dc.Painter().restore();
    }
}

void COXStatusBar::DrawPaneBitmap(CDC& dc, int index) {
    const PaneBitmap* bmp = GetPaneBitmap(index);
    const std::optional<CRect> inner = GetPaneInnerRect(index);
    if (bmp == nullptr || !inner) {
        return;
    }
    const int L = inner->left;
    const int T = inner->top;
    const int R = inner->right;
    const int B = inner->bottom;
    const int w = bmp->nWidth;
    const int h = bmp->nHeight;
    const int vSpare = B - T - h;
    const int hSpare = R - L - w;
    const int dh = vSpare > 0 ? h : B - T;
    const int dw = hSpare > 0 ? w : R - L;
    const int y = vSpare > 0 ? T + vSpare / 2 : T;
    CRect dest(L, y, L + dw, y + dh);
    QSize source(w, h);
    switch (bmp->nPlacement) {
        case 1:
            dest = *inner;
            break;
        case 3:
            if (hSpare > 0) {
                dest.OffsetRect(hSpare / 2, 0);
            }
            break;
        case 4:
            if (hSpare > 0) {
                dest.OffsetRect(hSpare, 0);
            }
            break;
        case 5:
            source = QSize(dw, dh);
            break;
        case 6:
            if (hSpare > 0) {
                dest.OffsetRect(hSpare / 2, 0);
            }
            source = QSize(dw, dh);
            break;
        case 7:
            if (hSpare > 0) {
                dest.OffsetRect(hSpare, 0);
            }
            source = QSize(dw, dh);
            break;
        default:  // 2 and anything outside 1 to 7
            break;
    }
    DrawTransparent(dc, *bmp, dest, source);
}

void COXStatusBar::DrawTransparent(CDC& dc, const PaneBitmap& bitmap, const CRect& dest,
                                   const QSize& sourceSize) {
    ::DrawTransparent(dc, bitmap.bitmap, dest, sourceSize, bitmap.clrKey);
}

void COXStatusBar::PaintBar(CDC& dc) {
    if (!dc.IsValid()) {
        return;
    }
    for (int i = 0; i < GetCount(); ++i) {
        if (m_arrPanes[static_cast<std::size_t>(i)].nFlags & SBPF_UPDATE) {
            SendPaneText(i, false);
        }
    }
    PaintNative(dc);
    for (int i = 0; i < GetCount(); ++i) {
        if (m_arrBitmap[static_cast<std::size_t>(i)] &&
            !(m_arrPanes[static_cast<std::size_t>(i)].nStyle & SBPS_DISABLED)) {
            DrawPaneBitmap(dc, i);
        }
    }
}

void COXStatusBar::paintEvent(QPaintEvent* event) {
    // Painted into an image first so that the transparent copy can read what lies below.
    QImage buffer(size(), QImage::Format_RGB32);
    {
        CDC dc(&buffer);
        PaintBar(dc);
    }
    QPainter painter(this);
    painter.setClipRegion(event->region());
    painter.drawImage(0, 0, buffer);
}

void COXStatusBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (GetCount() > 0) {
        UpdateAllPanes(true, true);
    }
    for (int i = 0; i < GetCount(); ++i) {
        if (m_arrBitmap[static_cast<std::size_t>(i)]) {
            InvalidatePane(i);
        }
    }
}

void COXStatusBar::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const QPoint pos = event->position().toPoint();
    for (int i = 0; i < GetCount(); ++i) {
        if (GetItemRect(i).PtInRect(pos)) {
            emit statusBarDoubleClicked(GetItemID(i));
            return;
        }
    }
}

void COXStatusBar::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    switch (event->type()) {
        case QEvent::FontChange:
            // Pane widths stay as they were set; only the bar's height follows the font.
            updateGeometry();
            update();
            break;
        case QEvent::PaletteChange:
        case QEvent::ApplicationPaletteChange:
        case QEvent::StyleChange:
            update();
            break;
        default:
            break;
    }
}
