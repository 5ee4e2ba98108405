#pragma once

#include <QToolBar>

// The frame's toolbar as the platform draws it: one flat button face behind the buttons (their
// images' backgrounds are mapped to the same colour) and a shadow line along the edge that
// faces the window's contents, instead of the style's shaded panel.
class CToolBar : public QToolBar {
    Q_OBJECT
public:
    explicit CToolBar(QWidget* parent = nullptr) : QToolBar(parent) {}

protected:
    void paintEvent(QPaintEvent* event) override;
};
