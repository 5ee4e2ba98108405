#include "framework/ComboBox.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QProxyStyle>
#include <QScrollBar>
#include <algorithm>

#include "framework/ScrollBarGeometry.h"
#include "framework/SharedStyle.h"

namespace {

// The list drops below the box, whatever the desktop style would do with it, and leaves the
// box's edge lines uncovered: Qt lays it from the last row of the rectangle given here, so the
// rectangle reaches one row beyond the box at both ends.
class CDropBelowStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == QStyle::SH_ComboBox_Popup) {
            return 0;
        }
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                         const QWidget* widget) const override {
        const QRect rect = QProxyStyle::subControlRect(control, option, sub, widget);
        if (control == CC_ComboBox && sub == SC_ComboBoxListBoxPopup) {
            return rect.adjusted(0, -1, 0, 1);
        }
        return rect;
    }
};

// While a list is open the keys that close it belong to the list, before any filter of the
// dialog around it can take them.
class CListKeys : public QObject {
public:
    explicit CListKeys(CComboBox* combo) : QObject(combo), m_pCombo(combo) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride &&
            type != QEvent::KeyRelease) {
            return false;
        }
        const auto* popup = m_pCombo->view() != nullptr ? m_pCombo->view()->window() : nullptr;
        const auto* target = qobject_cast<QWidget*>(watched);
        if (popup == nullptr || target == nullptr || target->window() != popup) {
            return false;
        }
        auto* key = static_cast<QKeyEvent*>(event);
        if (!CComboBox::IsCloseUpKey(*key)) {
            return false;
        }
        key->accept();
        if (type == QEvent::KeyPress) {
            m_pCombo->CloseUp(key->key() != Qt::Key_Escape);
        }
        return true;
    }

private:
    CComboBox* m_pCombo;
};

}  // namespace

CListBox::CListBox(QWidget* parent) : QListView(parent) {
    UsePlatformScrollBarGeometry(horizontalScrollBar());
    UsePlatformScrollBarGeometry(verticalScrollBar());
}

CComboBox::CComboBox(QWidget* parent) : QComboBox(parent) {
    setStyle(SharedStyle<CDropBelowStyle>());
}

QString CComboBox::GetLBText(int index) const {
    return index >= 0 && index < count() ? itemText(index) : QString();
}

std::uintptr_t CComboBox::GetItemData(int index) const {
    if (index < 0 || index >= count()) {
        return 0;
    }
    bool ok = false;
    const qulonglong data = itemData(index).toULongLong(&ok);
    return ok ? static_cast<std::uintptr_t>(data) : 0;
}

QWidget* CComboBox::PopupWindow() const {
    const QAbstractItemView* list = view();
    QWidget* popup = list != nullptr ? list->window() : nullptr;
    return popup != nullptr && popup != window() ? popup : nullptr;
}

bool CComboBox::GetDroppedState() const {
    const QWidget* popup = PopupWindow();
    return popup != nullptr && popup->isVisible();
}

int CComboBox::GetItemHeight(int index) const {
    if (index == -1) {
        return std::max(0, height() - 2 * kFieldEdge);
    }
    const QAbstractItemView* list = view();
    const int rows = list != nullptr ? list->sizeHintForRow(std::max(0, index)) : -1;
    return rows > 0 ? rows : fontMetrics().height();
}

bool CComboBox::SetItemHeight(int index, int height) {
    if (height <= 0 || height > 255) {
        return false;
    }
    if (index == -1) {
        resize(width(), height + 2 * kFieldEdge);
        return true;
    }
    return false;
}

void CComboBox::showPopup() {
    QComboBox::showPopup();
    // However the list closes (a choice, Escape, a click elsewhere) its pop-up hides.
    if (QWidget* popup = PopupWindow()) {
        popup->removeEventFilter(this);
        popup->installEventFilter(this);
        if (m_pListKeys == nullptr) {
            m_pListKeys = new CListKeys(this);
        }
        qApp->installEventFilter(m_pListKeys);
    }
}

bool CComboBox::IsCloseUpKey(const QKeyEvent& key) {
    const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
    switch (key.key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_F4:
        case Qt::Key_Escape:
            return modifiers == Qt::NoModifier;
        case Qt::Key_Up:
        case Qt::Key_Down:
            return modifiers == Qt::AltModifier;
        default:
            return false;
    }
}

void CComboBox::CloseUp(bool takeHighlighted) {
    const QModelIndex highlighted = view() != nullptr ? view()->currentIndex() : QModelIndex();
    hidePopup();
    if (!takeHighlighted || !highlighted.isValid() || !(highlighted.flags() & Qt::ItemIsEnabled)) {
        return;
    }
    const int row = highlighted.row();
    setCurrentIndex(row);
    emit activated(row);
    emit textActivated(itemText(row));
}

void CComboBox::keyPressEvent(QKeyEvent* event) {
    // Alt+Up opens the list as Alt+Down does; Qt would move the selection instead.
    if (event->key() == Qt::Key_Up && event->modifiers() == Qt::AltModifier) {
        showPopup();
        return;
    }
    QComboBox::keyPressEvent(event);
}

bool CComboBox::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Hide && watched == PopupWindow()) {
        if (m_pListKeys != nullptr) {
            qApp->removeEventFilter(m_pListKeys);
        }
        OnCloseUp();
    }
    return QComboBox::eventFilter(watched, event);
}
