#include "app/StatusBarHost.h"

#include <QResizeEvent>

#include "controls/OXStatusBar.h"

CStatusBarHost::CStatusBarHost(COXStatusBar* bar, QWidget* parent)
    : QStatusBar(parent), m_pBar(bar) {
    setSizeGripEnabled(false);
    setContentsMargins(0, 0, 0, 0);
    m_pBar->setParent(this);
    m_pBar->move(0, 0);
    setFixedHeight(m_pBar->sizeHint().height());
}

QSize CStatusBarHost::sizeHint() const {
    return m_pBar->sizeHint();
}

QSize CStatusBarHost::minimumSizeHint() const {
    return m_pBar->minimumSizeHint();
}

void CStatusBarHost::resizeEvent(QResizeEvent* event) {
    m_pBar->setGeometry(rect());
    QStatusBar::resizeEvent(event);
}

// The pane bar paints everything; the base would draw item separators over it.
void CStatusBarHost::paintEvent(QPaintEvent*) {}
