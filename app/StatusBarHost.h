#pragma once

#include <QStatusBar>

class COXStatusBar;

// The main window's status-bar slot holds a QStatusBar; this one carries the pane bar over its
// whole area and nothing else (no size grip, no items of its own).
class CStatusBarHost : public QStatusBar {
    Q_OBJECT
public:
    explicit CStatusBarHost(COXStatusBar* bar, QWidget* parent = nullptr);

    COXStatusBar* Bar() const { return m_pBar; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    COXStatusBar* m_pBar;
};
