#include "framework/ModalRun.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QWidget>

int DoModal(QDialog& dialog) {
    QPointer<QWidget> focus = QApplication::focusWidget();
    QPointer<QWidget> opener = focus != nullptr ? focus->window() : QApplication::activeWindow();
    if (opener == nullptr && dialog.parentWidget() != nullptr) {
        opener = dialog.parentWidget()->window();
    }
    const int result = dialog.exec();
    if (opener != nullptr && opener->isVisible()) {
        opener->activateWindow();
        if (focus != nullptr && focus->isVisible() && focus->isEnabled()) {
            focus->setFocus(Qt::ActiveWindowFocusReason);
        } else {
            opener->setFocus(Qt::ActiveWindowFocusReason);
        }
    }
    return result;
}
