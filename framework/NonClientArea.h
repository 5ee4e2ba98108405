#pragma once

// What Qt lacks of a window's non-client area: the frame and scroll bars around the client
// part, the style bits that say which bars show, the system metrics of bars and arrows, the
// scroll information in the platform's terms, the redraw flags, and a paint pass that runs
// after the control and all its children have painted, so a control can draw its own frame
// over what the style drew.

#include <QEvent>
#include <optional>

#include "framework/Gdi.h"

class QPainter;
class QWidget;

constexpr unsigned WS_HSCROLL = 0x00100000;
constexpr unsigned WS_VSCROLL = 0x00200000;

constexpr int SM_CXVSCROLL = 2;
constexpr int SM_CYHSCROLL = 3;
constexpr int SM_CYVSCROLL = 20;
constexpr int SM_CXHSCROLL = 21;

// The style's scroll bar extent for the bar sizes and the arrow lengths alike.
int GetSystemMetrics(int index, const QWidget* window = nullptr);

// WS_HSCROLL and WS_VSCROLL for the scroll bars that show; other bits are not kept here.
unsigned GetScrollStyle(const QWidget* window);

// The whole window with its top-left corner as origin, and the client part in the same
// coordinates: a scroll area's viewport, a frame's contents, else the whole window.
CRect WindowRectOf(const QWidget* window);
CRect ClientRectInWindow(const QWidget* window);

// Scroll information as the platform gives it: the range runs from nMin to nMax including
// the last page, so the largest position is nMax - nPage + 1.
struct SCROLLINFO {
    int nMin = 0;
    int nMax = 0;
    unsigned nPage = 0;
    int nPos = 0;
    int nTrackPos = 0;
};
// From the window's own scroll bar along `orientation`, or from the window itself when it is
// a scroll bar of that orientation; nullopt when neither gives it.
std::optional<SCROLLINFO> GetScrollInfo(const QWidget* window, Qt::Orientation orientation);

constexpr unsigned RDW_INVALIDATE = 0x0001;
constexpr unsigned RDW_ERASE = 0x0004;
constexpr unsigned RDW_UPDATENOW = 0x0100;
constexpr unsigned RDW_FRAME = 0x0400;
// Invalidates the window, its frame included; with RDW_UPDATENOW it paints before returning.
void RedrawWindow(QWidget* window, unsigned flags);

// The non-client paint message: delivered through the control's event() after the control
// and its children have painted, with a painter over the whole window.
class CNcPaintEvent : public QEvent {
public:
    explicit CNcPaintEvent(QPainter& painter) : QEvent(EventType()), m_painter(painter) {}
    static QEvent::Type EventType();
    QPainter& Painter() const { return m_painter; }

private:
    QPainter& m_painter;
};
// Starts delivering CNcPaintEvent to `window` (idempotent).
void EnableNonClientPaint(QWidget* window);
bool HasNonClientPaint(const QWidget* window);

// The two messages of a window's end while its control object lives on: the window is being
// destroyed, then its last (non-client) message. DestroyWindow sends both and hides it.
QEvent::Type DestroyEventType();
QEvent::Type NcDestroyEventType();
void DestroyWindow(QWidget* window);
