#include "framework/TabStops.h"

#include <QWidget>

QWidget* FirstTabStop(QWidget* container) {
    if (container == nullptr)
        return nullptr;
    for (QWidget* w = container->nextInFocusChain(); w != container; w = w->nextInFocusChain()) {
        if (container->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) &&
            w->isVisibleTo(container) && w->isEnabled() && !w->focusProxy()) {
            return w;
        }
    }
    return nullptr;
}
