#pragma once

#include <QApplication>
#include <QImage>
#include <QScreen>
#include <QWidget>

// What Qt last painted into a shown top-level window's backing store, after the pending paint
// events have run: partial repaints show as they are, unlike QWidget::grab, which paints anew.
inline QImage GrabPainted(QWidget& widget) {
    QApplication::processEvents();
    QWidget* window = widget.window();
    QImage whole = window->screen()->grabWindow(window->winId()).toImage();
    whole = whole.convertToFormat(QImage::Format_RGB32);
    if (&widget == window)
        return whole;
    const QPoint origin = widget.mapTo(window, QPoint(0, 0));
    return whole.copy(QRect(origin, widget.size()));
}
