#include "framework/ComboBox.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QProxyStyle>
#include <algorithm>

namespace {

// The list drops below the box, whatever the desktop style would do with it.
class CDropBelowStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == QStyle::SH_ComboBox_Popup) {
            return 0;
        }
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

QStyle* DropBelowStyle() {
    static QPointer<QStyle> style;
    if (style == nullptr) {
        style = new CDropBelowStyle();
        style->setParent(qApp);
    }
    return style;
}

}  // namespace

CComboBox::CComboBox(QWidget* parent) : QComboBox(parent) {
    setStyle(DropBelowStyle());
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
    }
}

bool CComboBox::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Hide && watched == PopupWindow()) {
        OnCloseUp();
    }
    return QComboBox::eventFilter(watched, event);
}
