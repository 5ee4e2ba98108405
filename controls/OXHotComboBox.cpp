#include "controls/OXHotComboBox.h"

#include <QFontMetrics>
#include <QFrame>
#include <QPaintEvent>
#include <QPainter>
#include <optional>

#include "controls/OXComboListDelegate.h"
#include "framework/ControlLookup.h"
#include "framework/LineExtent.h"
#include "framework/TemplateBuilder.h"

namespace {

// The combo's own pens, made at its first paint from the colours of that moment.
struct ComboPens {
    CPen highlight;
    CPen shadow;
    CPen face;
    CPen darkShadow;
};

const ComboPens& Pens() {
    static const ComboPens pens{
        CPen::FromSysColor(COLOR_BTNHIGHLIGHT), CPen::FromSysColor(COLOR_BTNSHADOW),
        CPen::FromSysColor(COLOR_BTNFACE), CPen::FromSysColor(COLOR_3DDKSHADOW)};
    return pens;
}

// The list shows a two-pixel frame for the flat border to be drawn on.
constexpr int kListFrame = 2;

// DrawItem gives the text a rectangle one pixel in on every side, so an item holds the rows
// the text covers and two more.
constexpr int kItemEdges = 2;

}  // namespace

COXHotComboBox::COXHotComboBox(QWidget* parent) : COXHotCtrl<CComboBox>(parent) {
    auto* list = new COXHotCtrl<CListBox>();
    setView(list);
    m_listBox = list;
    setItemDelegate(new COXComboListDelegate(this));
    MeasureFont();
}

CRect COXHotComboBox::GetButtonRect() const {
    const CRect rc = WindowRectOf(this);
    const int w = GetSystemMetrics(SM_CXVSCROLL, this);
    return CRect(std::max(0, rc.right - w - 2), rc.top + 2, rc.right - 2, rc.bottom - 2);
}

void COXHotComboBox::MeasureFont() {
    const QFontMetrics fm(font());
    const QString sample = QString::fromLatin1(SAMPLE_TEXT);
    m_nTextHeight = std::max(fm.height(), LineExtentOf(font()).Height());
    m_nSampleHeight = std::max(fm.size(Qt::TextSingleLine, sample).height(),
                               LineExtentOf(font(), sample).Height());
}

void COXHotComboBox::Initialize() {
    SetActive(IsFocusWithin());
    MeasureFont();
}

void COXHotComboBox::SetActive(bool active) {
    if (!(!active && IsFocusWithin()) && active != m_bActive) {
        m_bActive = active;
        RedrawWindow(this, RDW_FRAME | RDW_INVALIDATE);
    }
    if (!GetDroppedState()) {
        RedrawWindow(this, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }
}

void COXHotComboBox::OnFontChange() {
    MeasureFont();
    if (GetItemHeight(-1) != m_nTextHeight + kItemEdges) {
        SetItemHeight(-1, m_nTextHeight + kItemEdges);
    }
}

void COXHotComboBox::showPopup() {
    // The pop-up resets its list's frame; the list keeps a two-pixel one for the flat border
    // to be drawn on, and the pop-up's own frame would sit outside it.
    if (m_listBox != nullptr) {
        m_listBox->setFrameStyle(QFrame::Panel | QFrame::Plain);
        m_listBox->setLineWidth(kListFrame);
        if (auto* popup = qobject_cast<QFrame*>(m_listBox->parentWidget())) {
            popup->setFrameStyle(QFrame::NoFrame);
        }
    }
    CComboBox::showPopup();
    OnListColorRequest();
}

void COXHotComboBox::OnListColorRequest() {
    const unsigned style = property(kTemplateStyleProperty).toUInt();
    if (style & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE)) {
        return;
    }
    if (m_listBox == nullptr || m_listBox->IsAttached() || m_listBox != view()) {
        return;
    }
    if (m_listBox->Attach()) {
        RedrawWindow(m_listBox, RDW_FRAME | RDW_INVALIDATE);
    }
}

bool COXHotComboBox::OnCloseUp() {
    CheckHover();
    RedrawWindow(this, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    return true;
}

bool COXHotComboBox::event(QEvent* event) {
    if (event->type() == CNcPaintEvent::EventType()) {
        return CComboBox::event(event);
    }
    if (event->type() == QEvent::FontChange) {
        CComboBox::event(event);
        OnFontChange();
        return true;
    }
    return COXHotCtrl<CComboBox>::event(event);
}

void COXHotComboBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    CDC dc(painter);
    const ComboPens& pens = Pens();
    const CRect rc = WindowRectOf(this);
    const CRect btn = GetButtonRect();
    const bool enabled = isEnabled();
    const bool sunken = enabled && m_bActive;
    const bool dropped = GetDroppedState();

    CRect inner = rc;
    inner.DeflateRect(2, 2);
    CRect field = inner;
    field.right = btn.left;
    dc.FillRect(field, CBrush::FromSysColor(enabled ? COLOR_WINDOW : COLOR_BTNFACE));

    DRAWITEMSTRUCT item;
    item.CtlType = ODT_COMBOBOX;
    item.CtlID = ControlId(this);
    item.itemID = GetCurSel();
    item.itemAction = ODA_DRAWENTIRE;
    item.itemState = GetFocusWindow() == this && !dropped ? ODS_FOCUS : 0;
    item.hwndItem = this;
    item.pDC = &dc;
    item.rcItem = CRect(3, 3, btn.left - 1, rc.bottom - 3);
    item.itemData = GetItemData(item.itemID);
    DrawItem(item);

    dc.SelectClipRgn(nullptr);
    dc.ExcludeClipRect(inner);
    if (sunken) {
        dc.FillRect(CRect(rc.left + 1, rc.top + 1, rc.right - 1, rc.bottom - 1),
                    CBrush::FromSysColor(COLOR_BTNFACE));
        dc.SelectPen(pens.shadow);
        dc.MoveTo(0, 0);
        dc.LineTo(rc.right, 0);
        dc.MoveTo(0, 0);
        dc.LineTo(0, rc.bottom - 1);
        dc.SelectPen(pens.highlight);
        dc.MoveTo(0, rc.bottom - 1);
        dc.LineTo(rc.right - 1, rc.bottom - 1);
        dc.LineTo(rc.right - 1, rc.top);
    } else {
        dc.FillRect(rc, CBrush::FromSysColor(COLOR_BTNFACE));
        dc.FillRect(CRect(rc.left + 1, rc.top + 2, rc.left + 2, rc.bottom - 2),
                    CBrush::FromSysColor(enabled ? COLOR_WINDOW : COLOR_BTNFACE));
    }

    dc.SelectClipRgn(nullptr);
    if (!enabled) {
        dc.SelectBrush(CBrush::Hollow());
        dc.SelectPen(pens.highlight);
        dc.Rectangle(CRect(inner.left - 1, inner.top - 1, inner.right + 1, inner.bottom + 1));
    }

    if (sunken) {
        dc.FillRect(CRect(btn.left, btn.top, btn.right + 1, btn.bottom - 1),
                    CBrush::FromSysColor(COLOR_BTNFACE));
    } else if (!dropped && enabled) {
        dc.SelectPen(pens.highlight);
        dc.SelectBrush(CBrush::FromSysColor(COLOR_BTNFACE));
        dc.Rectangle(btn);
    } else {
        dc.FillRect(btn, CBrush::FromSysColor(COLOR_BTNFACE));
    }

    if (dropped) {
        dc.SelectPen(pens.shadow);
        dc.MoveTo(btn.left, btn.top);
        dc.LineTo(btn.right, btn.top);
        dc.MoveTo(btn.left, btn.top);
        dc.LineTo(btn.left, btn.bottom);
    } else if (sunken) {
        dc.SelectPen(pens.highlight);
        dc.MoveTo(btn.right, btn.top);
        dc.LineTo(btn.left + 1, btn.top);
        dc.LineTo(btn.left + 1, btn.bottom);
        dc.SelectPen(pens.face);
        dc.MoveTo(btn.left, btn.top);
        dc.LineTo(btn.left, btn.bottom);
        dc.SelectPen(pens.shadow);
        dc.MoveTo(btn.left, btn.bottom - 1);
        dc.LineTo(btn.right - 1, btn.bottom - 1);
        dc.LineTo(btn.right - 1, btn.top);
    }
    dc.SelectPen(CPen());

    // The arrow: integer arithmetic, divisions truncating toward zero.
    const int w = btn.right - btn.left;
    const int x1 = btn.left + w / 3;
    int x2 = btn.left + 2 * w / 3 + 1;
    const int mid = (x1 + x2) / 2;
    if ((x2 - x1) % 2 != 0) {
        --x2;
    }
    const int s = x2 - x1;
    const int y0 = btn.top + btn.bottom / 2 - s / 4 - 1;
    const int shift = dropped ? 1 : 0;
    const QPoint corners[3] = {QPoint(x1 + shift, y0 + shift), QPoint(x2 + shift, y0 + shift),
                               QPoint(mid + shift, y0 + s / 2 + shift)};
    dc.SelectPen(pens.darkShadow);
    dc.SelectBrush(CBrush::FromSysColor(COLOR_3DDKSHADOW));
    dc.Polygon(corners, 3);
    dc.SelectPen(CPen());
}

void COXHotComboBox::DrawItem(const DRAWITEMSTRUCT& item) {
    if (item.pDC == nullptr) {
        return;
    }
    CDC& dc = *item.pDC;
    const int index = item.itemID == -1 ? GetCurSel() : item.itemID;
    const QString text = GetLBText(index);
    const bool enabled = isEnabled();
    const bool marked = item.itemState & (ODS_SELECTED | ODS_FOCUS);
    int fill = COLOR_WINDOW;
    if (!enabled) {
        fill = COLOR_BTNFACE;
    } else if (marked) {
        fill = COLOR_HIGHLIGHT;
    }
    dc.FillRect(item.rcItem, CBrush::FromSysColor(fill));
    if (text.isEmpty()) {
        return;
    }
    if (item.itemState & ODS_FOCUS) {
        dc.DrawFocusRect(item.rcItem);
    }
    dc.SelectFont(font());
    dc.SetBkMode(TRANSPARENT);
    int colour = enabled ? COLOR_WINDOWTEXT : COLOR_BTNSHADOW;
    if (marked) {
        colour = COLOR_HIGHLIGHTTEXT;
    }
    dc.SetTextColor(GetSysColor(colour));
    CRect rect = item.rcItem;
    rect.DeflateRect(1, 1);
    dc.DrawText(text, rect, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
}

void COXHotComboBox::MeasureItem(MEASUREITEMSTRUCT& item) {
    item.itemHeight = m_nSampleHeight + kItemEdges;
}

int COXHotComboBox::CompareItem(const COMPAREITEMSTRUCT& item) {
    return QString::compare(GetLBText(item.itemID1), GetLBText(item.itemID2), Qt::CaseInsensitive);
}
