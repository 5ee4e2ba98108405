#pragma once

#include <QApplication>
#include <QPointer>
#include <QStyle>

// One process-wide instance of a style that depends on nothing but the system colours and
// metrics, made on first use and owned by the application, as painting objects of that kind
// are; widgets share it with setStyle.
template <class Style>
QStyle* SharedStyle() {
    static QPointer<QStyle> style;
    if (style == nullptr) {
        style = new Style();
        style->setParent(qApp);
    }
    return style;
}
