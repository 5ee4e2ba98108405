#include "framework/WindowAncestry.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QPointer>
#include <QWidget>

namespace {

QPointer<QWidget>& AnnouncedFocus() {
    static QPointer<QWidget> focus;
    return focus;
}

}  // namespace

QWidget* AncestorOf(const QWidget* window) {
    return window != nullptr ? window->parentWidget() : nullptr;
}

bool IsWindowWithin(const QWidget* window, const QWidget* control) {
    if (control == nullptr) {
        return false;
    }
    for (const QWidget* w = window; w != nullptr; w = AncestorOf(w)) {
        if (w == control) {
            return true;
        }
    }
    return false;
}

QPoint CursorPos() {
    return QCursor::pos();
}

QWidget* WindowFromPoint(const QPoint& global) {
    return QApplication::widgetAt(global);
}

QWidget* GetFocusWindow() {
    QWidget* focus = QApplication::focusWidget();
    if (focus != nullptr && focus->window()->windowType() == Qt::Popup) {
        if (auto* combo = qobject_cast<QComboBox*>(focus->window()->parentWidget())) {
            return combo;
        }
    }
    return focus;
}

void TrackFocusChanges() {
    static bool tracking = false;
    if (tracking || qApp == nullptr) {
        return;
    }
    tracking = true;
    AnnouncedFocus() = QApplication::focusWidget();
    // Focus-in and focus-out events are sent before this signal, so during them the announced
    // window is still the one that is losing the focus.
    QObject::connect(qApp, &QApplication::focusChanged, qApp,
                     [](QWidget*, QWidget* now) { AnnouncedFocus() = now; });
}

QWidget* PreviousFocusWindow() {
    TrackFocusChanges();
    return AnnouncedFocus().data();
}
