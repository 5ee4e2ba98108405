#include "framework/ReadOnlyEditLook.h"

#include <QEvent>
#include <QLineEdit>
#include <QPalette>

namespace {

class CReadOnlyEditLook : public QObject {
public:
    explicit CReadOnlyEditLook(QLineEdit* edit)
        : QObject(edit), m_pEdit(edit), m_ownPalette(edit->palette()) {
        setObjectName(QStringLiteral("readOnlyEditLook"));
        edit->installEventFilter(this);
        Apply();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_pEdit && event->type() == QEvent::ReadOnlyChange) {
            Apply();
        }
        return false;
    }

private:
    void Apply() {
        if (!m_pEdit->isReadOnly()) {
            m_pEdit->setPalette(m_ownPalette);
            return;
        }
        QPalette face = m_ownPalette;
        for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            face.setBrush(g, QPalette::Base, m_pEdit->palette().brush(g, QPalette::Button));
        }
        m_pEdit->setPalette(face);
    }

    QLineEdit* m_pEdit;
    // The palette the edit had of its own (what it inherits stays inherited).
    QPalette m_ownPalette;
};

}  // namespace

void InstallReadOnlyEditLook(QLineEdit* edit) {
    if (edit != nullptr && edit->findChild<QObject*>(QStringLiteral("readOnlyEditLook"),
                                                     Qt::FindDirectChildrenOnly) == nullptr) {
        new CReadOnlyEditLook(edit);
    }
}
