#pragma once

#include <QAbstractScrollArea>
#include <QApplication>
#include <QEvent>
#include <QScrollBar>
#include <QWidget>
#include <optional>
#include <type_traits>

#include "framework/Gdi.h"
#include "framework/NonClientArea.h"
#include "framework/ScrollBarGeometry.h"
#include "framework/WindowAncestry.h"
#include "framework/WindowTimer.h"

// Gives a framework control a flat look that turns sunken while the control is active: while
// the mouse is over it or the keyboard focus lies within it. No message tells a window that
// the mouse has gone, so a 150 ms timer re-checks while the mouse is inside; Qt's leave event
// is taken as an extra, earlier notice.
//
// The object is made in place of the control's standard class (the template's control
// factory) and bound to it with Attach(), as the owner's data exchange does.
template <class Base>
class COXHotCtrl : public Base {
public:
    static constexpr unsigned HOVER_TIMER_ID = 210;
    static constexpr unsigned HOVER_PERIOD_MS = 150;

    explicit COXHotCtrl(QWidget* parent = nullptr) : Base(parent) {}
    ~COXHotCtrl() override {
        if (m_nHoverTimer != 0) {
            KillWindowTimer(this, m_nHoverTimer);
        }
    }

    // The pre-subclass step: runs Initialize once per window. A control with a frame and
    // scroll bars of its own gets its non-client paint pass here.
    bool Attach() {
        TrackFocusChanges();
        this->setMouseTracking(true);
        if constexpr (std::is_base_of_v<QAbstractScrollArea, Base>) {
            WatchChild(this->viewport());
            WatchChild(this->horizontalScrollBar());
            WatchChild(this->verticalScrollBar());
            EnableNonClientPaint(this);
        }
        if (m_bInitialized) {
            return false;
        }
        m_bInitialized = true;
        Initialize();
        return true;
    }
    bool IsAttached() const { return m_bInitialized; }
    bool IsActive() const { return m_bActive; }
    bool IsMouseInside() const { return m_bMouseInside; }
    unsigned HoverTimer() const { return m_nHoverTimer; }

    virtual void CheckHover() {
        const bool inside = IsWindowWithin(WindowFromPoint(CursorPos()), this);
        if (inside == m_bMouseInside) {
            return;
        }
        m_bMouseInside = inside;
        if (inside) {
            OnMouseEnter();
        } else {
            OnMouseLeave();
        }
        if (inside && m_nHoverTimer == 0) {
            m_nHoverTimer = SetWindowTimer(this, HOVER_TIMER_ID, HOVER_PERIOD_MS);
        } else if (!inside && m_nHoverTimer != 0) {
            KillWindowTimer(this, m_nHoverTimer);
            m_nHoverTimer = 0;
        }
    }

    virtual void Initialize() { SetActive(IsFocusWithin()); }

    virtual void SetActive(bool active) {
        if (!active && IsFocusWithin()) {
            return;
        }
        if (active == m_bActive) {
            return;
        }
        m_bActive = active;
        RedrawWindow(this, RDW_FRAME | RDW_INVALIDATE);
    }

    virtual void OnFocusChange(QWidget* gaining, QWidget* losing) {
        const bool gains = gaining == this && !m_bActive;
        const bool loses = losing == this && m_bActive;
        if (!gains && !loses) {
            return;
        }
        // A move from a window into one of its own descendants changes nothing while both lie
        // within the control; focus that arrives from the window around the control counts.
        if (gaining != nullptr && losing != nullptr && IsWindowWithin(gaining, losing) &&
            IsWindowWithin(losing, this)) {
            return;
        }
        SetActive(!m_bActive);
    }

    virtual void OnMouseEnter() {
        if (!m_bActive) {
            SetActive(true);
        }
    }

    virtual void OnMouseLeave() {
        if (m_bActive) {
            SetActive(false);
        }
    }

    bool IsFocusWithin() const { return IsWindowWithin(GetFocusWindow(), this); }

protected:
    // The control's window procedure; a window not yet bound gets the base class's alone.
    bool event(QEvent* event) override {
        if (!m_bInitialized) {
            return Base::event(event);
        }
        const QEvent::Type type = event->type();
        switch (type) {
            case QEvent::FocusIn:
                // Qt hands an open drop-down list the keyboard focus; the platform leaves it
                // with the combo box, so the list gains nothing.
                OnFocusChange(GetFocusWindow() == this ? this : nullptr, PreviousFocusWindow());
                return Base::event(event);
            case QEvent::FocusOut:
                OnFocusChange(QApplication::focusWidget(), this);
                return Base::event(event);
            case QEvent::Enter:
            case QEvent::MouseMove:
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
                if (!m_bMouseInside) {
                    CheckHover();
                }
                return Base::event(event);
            case QEvent::Leave: {
                const bool handled = Base::event(event);
                CheckHover();
                return handled;
            }
            case QEvent::EnabledChange: {
                const bool handled = Base::event(event);
                RedrawWindow(this, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
                return handled;
            }
            default:
                break;
        }
        if (type == CTimerEvent::EventType()) {
            if (static_cast<CTimerEvent*>(event)->TimerId() == HOVER_TIMER_ID) {
                CheckHover();
                return true;
            }
            return Base::event(event);
        }
        if (type == CNcPaintEvent::EventType()) {
            const bool handled = Base::event(event);
            DrawFlatBorder(static_cast<CNcPaintEvent*>(event)->Painter());
            return handled;
        }
        if (type == DestroyEventType()) {
            if (m_nHoverTimer != 0) {
                KillWindowTimer(this, m_nHoverTimer);
                m_nHoverTimer = 0;
            }
            return Base::event(event);
        }
        if (type == NcDestroyEventType()) {
            const bool handled = Base::event(event);
            m_nHoverTimer = 0;
            m_bMouseInside = false;
            m_bInitialized = false;
            return handled;
        }
        return Base::event(event);
    }

    // Mouse messages of the control's own children (a list's viewport and scroll bars).
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::Enter:
            case QEvent::MouseMove:
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
                if (m_bInitialized && watched != this && !m_bMouseInside) {
                    CheckHover();
                }
                break;
            default:
                break;
        }
        return Base::eventFilter(watched, event);
    }

    // Paints over the frame the platform drew: a two-pixel sunken edge when active, two flat
    // lines otherwise, and thin outlines over an inactive control's scroll bars.
    void DrawFlatBorder(QPainter& painter) {
        const CRect client = ClientRectInWindow(this);
        const CRect window = WindowRectOf(this);
        if (client == window) {
            return;
        }
        const bool enabled = this->isEnabled();
        const bool sunken = enabled && m_bActive;
        MakePens();

        CDC dc(painter);
        const unsigned style = GetScrollStyle(this);
        CRect hBar;
        CRect vBar;
        if (style & WS_HSCROLL) {
            hBar = CRect(client.left, client.bottom, client.right,
                         client.bottom + GetSystemMetrics(SM_CYHSCROLL, this));
            DrawFlatScrollBar(dc, hBar, Qt::Horizontal);
        }
        if (style & WS_VSCROLL) {
            vBar = CRect(client.right, client.top,
                         client.right + GetSystemMetrics(SM_CXVSCROLL, this), client.bottom);
            DrawFlatScrollBar(dc, vBar, Qt::Vertical);
        }

        dc.SelectClipRgn(nullptr);
        dc.ExcludeClipRect(client);
        dc.ExcludeClipRect(hBar);
        dc.ExcludeClipRect(vBar);
        CRect edge = window;
        if (sunken) {
            dc.Draw3dRect(edge, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT));
            edge.DeflateRect(1, 1);
            dc.Draw3dRect(edge, GetSysColor(COLOR_3DDKSHADOW), GetSysColor(COLOR_BTNFACE));
        } else {
            dc.SelectPen(enabled ? *s_penHighlight : *s_penShadow);
            dc.SelectBrush(CBrush::Hollow());
            dc.Rectangle(edge);
            edge.DeflateRect(1, 1);
            dc.Rectangle(edge);
        }

        dc.SelectClipRgn(nullptr);
        if (!enabled) {
            dc.SelectBrush(CBrush::Hollow());
            dc.SelectPen(*s_penHighlight);
            dc.Rectangle(window);
        }
    }

    void DrawFlatScrollBar(CDC& dc, const CRect& bar, Qt::Orientation orientation) {
        if (m_bActive) {
            return;
        }
        const bool horizontal = orientation == Qt::Horizontal;
        const int arrow = GetSystemMetrics(horizontal ? SM_CXHSCROLL : SM_CYVSCROLL, this);
        // Without scroll information (page 0) the arrows still get their outlines, the thumb none.
        const CScrollBarParts parts = ScrollBarParts(
            bar, orientation, arrow, GetScrollInfo(this, orientation).value_or(SCROLLINFO{}));
        DrawFlatRaised(dc, parts.firstArrow);
        DrawFlatRaised(dc, parts.secondArrow);
        if (parts.thumb) {
            DrawFlatRaised(dc, *parts.thumb);
        }
    }

    unsigned m_nHoverTimer = 0;
    bool m_bMouseInside = false;
    bool m_bActive = false;
    bool m_bInitialized = false;

private:
    static void DrawFlatRaised(CDC& dc, CRect rect) {
        dc.Draw3dRect(rect, GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(COLOR_BTNSHADOW));
        rect.DeflateRect(1, 1);
        const COLORREF face = GetSysColor(COLOR_BTNFACE);
        dc.Draw3dRect(rect, face, face);
    }

    void WatchChild(QWidget* child) {
        if (child != nullptr) {
            child->setMouseTracking(true);
            child->removeEventFilter(this);
            child->installEventFilter(this);
        }
    }

    // Made once, from the system colours of the first paint, and kept for the process.
    static void MakePens() {
        if (s_penHighlight) {
            return;
        }
        s_penHighlight = CPen::FromSysColor(COLOR_BTNHIGHLIGHT);
        s_penShadow = CPen::FromSysColor(COLOR_BTNSHADOW);
        s_penFace = CPen::FromSysColor(COLOR_BTNFACE);
        s_penDarkShadow = CPen::FromSysColor(COLOR_3DDKSHADOW);
    }

    static inline std::optional<CPen> s_penHighlight;
    static inline std::optional<CPen> s_penShadow;
    static inline std::optional<CPen> s_penFace;
    static inline std::optional<CPen> s_penDarkShadow;
};
