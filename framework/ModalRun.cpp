#include "framework/ModalRun.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QWidget>

#include "framework/TabStops.h"

int DoModal(QDialog& dialog) {
    QPointer<QWidget> focus = QApplication::focusWidget();
    QPointer<QWidget> opener = focus != nullptr ? focus->window() : QApplication::activeWindow();
    if (opener == nullptr && dialog.parentWidget() != nullptr) {
        opener = dialog.parentWidget()->window();
    }
    const int result = dialog.exec();
    if (opener != nullptr && opener->isVisible()) {
        opener->activateWindow();
        if (focus == nullptr || focus == opener || !focus->isVisible() || !focus->isEnabled()) {
            // The control is gone: the window's first tab stop, never the bare window.
            focus = FirstTabStop(opener);
        }
        if (focus != nullptr) {
            focus->setFocus(Qt::ActiveWindowFocusReason);
        } else {
            opener->setFocus(Qt::ActiveWindowFocusReason);
        }
    }
    return result;
}
