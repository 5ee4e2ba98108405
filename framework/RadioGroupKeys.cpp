#include "framework/RadioGroupKeys.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QEvent>
#include <QKeyEvent>

namespace {

class CRadioGroupKeys : public QObject {
public:
    explicit CRadioGroupKeys(QButtonGroup* group) : QObject(group), m_pGroup(group) {
        setObjectName(QStringLiteral("radioGroupKeys"));
        for (QAbstractButton* b : group->buttons()) {
            b->installEventFilter(this);
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) {
            return false;
        }
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
        if (mods != Qt::NoModifier) {
            return false;
        }
        int step = 0;
        switch (key->key()) {
            case Qt::Key_Up:
            case Qt::Key_Left:
                step = -1;
                break;
            case Qt::Key_Down:
            case Qt::Key_Right:
                step = 1;
                break;
            default:
                return false;
        }
        const QList<QAbstractButton*> buttons = m_pGroup->buttons();
        const auto here = buttons.indexOf(static_cast<QAbstractButton*>(watched));
        if (here < 0) {
            return false;
        }
        const auto n = buttons.size();
        for (qsizetype i = 1; i < n; ++i) {
            QAbstractButton* next = buttons[((here + step * i) % n + n) % n];
            if (next->isEnabled() && next->isVisibleTo(next->window())) {
                next->setFocus(Qt::TabFocusReason);
                if (!next->isChecked()) {
                    next->click();
                }
                break;
            }
        }
        return true;
    }

private:
    QButtonGroup* m_pGroup;
};

}  // namespace

void InstallRadioGroupKeys(QButtonGroup* group) {
    if (group == nullptr) {
        return;
    }
    if (group->findChild<QObject*>(QStringLiteral("radioGroupKeys")) == nullptr) {
        new CRadioGroupKeys(group);
    }
}
