#include "framework/WindowAncestry.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QHash>
#include <QPointer>
#include <QWidget>

namespace {

QHash<const QWidget*, QPointer<QWidget>>& Owners() {
    static QHash<const QWidget*, QPointer<QWidget>> owners;
    return owners;
}

QPointer<QWidget>& AnnouncedFocus() {
    static QPointer<QWidget> focus;
    return focus;
}

}  // namespace

void SetOwnerWindow(QWidget* control, QWidget* owner) {
    if (control == nullptr) {
        return;
    }
    if (owner == nullptr) {
        Owners().remove(control);
        return;
    }
    if (!Owners().contains(control)) {
        QObject::connect(control, &QObject::destroyed, [control] { Owners().remove(control); });
    }
    Owners().insert(control, owner);
}

QWidget* OwnerWindow(const QWidget* control) {
    const auto it = Owners().constFind(control);
    return it == Owners().cend() ? nullptr : it->data();
}

QWidget* AncestorOf(const QWidget* window) {
    if (window == nullptr) {
        return nullptr;
    }
    if (QWidget* owner = OwnerWindow(window)) {
        return owner;
    }
    return window->parentWidget();
}

bool IsWindowWithin(const QWidget* window, const QWidget* control) {
    if (control == nullptr) {
        return false;
    }
    // A chain longer than any real nesting means an owner loop; it contains nothing.
    int steps = 0;
    for (const QWidget* w = window; w != nullptr && steps < 256; w = AncestorOf(w), ++steps) {
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
