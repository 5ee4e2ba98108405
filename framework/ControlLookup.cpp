#include "framework/ControlLookup.h"

#include <QVariant>

#include "framework/CommandIds.h"

void SetControlId(QWidget* control, int id) {
    if (control == nullptr) {
        return;
    }
    control->setProperty(kControlIdProperty, id);
    control->setObjectName(QStringLiteral("control_%1").arg(id));
}

int ControlId(const QWidget* control) {
    if (control == nullptr) {
        return IDC_STATIC;
    }
    bool ok = false;
    const int id = control->property(kControlIdProperty).toInt(&ok);
    return ok ? id : IDC_STATIC;
}

QWidget* FindControl(const QWidget* root, int id) {
    if (root == nullptr) {
        return nullptr;
    }
    const QList<QWidget*> all = root->findChildren<QWidget*>();
    for (QWidget* w : all) {
        const QVariant v = w->property(kControlIdProperty);
        if (v.isValid() && v.toInt() == id) {
            return w;
        }
    }
    return nullptr;
}
