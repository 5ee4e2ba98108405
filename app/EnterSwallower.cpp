#include "app/EnterSwallower.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QWidget>

namespace {

bool IsEnter(const QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride: {
            const int key = static_cast<const QKeyEvent*>(event)->key();
            return key == Qt::Key_Return || key == Qt::Key_Enter;
        }
        default:
            return false;
    }
}

}  // namespace

// The dialog and its controls, drop-down pop-ups included; not a window of its own that the
// dialog opened (a message box is its child, and Enter must close it).
bool CEnterSwallower::AddressedToDialog(QObject* watched) const {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr)
        return true;
    const QWidget* window = widget->window();
    return window == parent() || window->windowType() == Qt::Popup;
}

CEnterSwallower* CEnterSwallower::Install(QWidget* dialog) {
    auto* swallower = new CEnterSwallower(dialog);
    swallower->Watch(dialog);
    for (QWidget* child : dialog->findChildren<QWidget*>()) {
        swallower->Watch(child);
    }
    return swallower;
}

void CEnterSwallower::Watch(QObject* object) {
    object->installEventFilter(this);
    if (auto* combo = qobject_cast<QComboBox*>(object)) {
        combo->view()->installEventFilter(this);
        combo->view()->viewport()->installEventFilter(this);
    }
}

bool CEnterSwallower::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ChildAdded) {
        // Widgets created later (a list's pop-up is made on first use) are watched as well.
        if (auto* child = static_cast<QChildEvent*>(event)->child();
            child && child->isWidgetType()) {
            Watch(child);
        }
    }
    if (IsEnter(event) && AddressedToDialog(watched)) {
        event->accept();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
