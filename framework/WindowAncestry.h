#pragma once

#include <QPoint>

class QWidget;

// Which window lies within which: a control's window "contains" every window whose chain of
// ancestors reaches it. The next window up is the parent; for a pop-up, such as a drop-down
// list, that is the window it belongs to.
QWidget* AncestorOf(const QWidget* window);
// True when `window` is `control` or has it on its ancestor chain; false for null windows.
bool IsWindowWithin(const QWidget* window, const QWidget* control);

// The screen position of the mouse and the window under it (nullptr over no window of ours).
QPoint CursorPos();
QWidget* WindowFromPoint(const QPoint& global);

// The focus window as the platform names it: Qt gives an open drop-down list the keyboard
// focus, the platform leaves it with the combo box.
QWidget* GetFocusWindow();

// The window that held the keyboard focus before the current owner: during a focus-in event
// that is the window that just lost it. Tracking starts with the first call.
QWidget* PreviousFocusWindow();
void TrackFocusChanges();
