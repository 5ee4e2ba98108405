#include "app/ViewHost.h"

#include <QEvent>

CViewHost::CViewHost(QWidget* view, QWidget* parent) : QWidget(parent), m_pView(view) {
    m_pView->setParent(this);
    m_pView->move(0, 0);
    m_pView->show();
}

QSize CViewHost::sizeHint() const {
    return m_pView->minimumSize().expandedTo(m_pView->sizeHint());
}

QSize CViewHost::minimumSizeHint() const {
    return QSize(0, 0);
}

bool CViewHost::event(QEvent* event) {
    // The form changed its size: the frame has to fit again.
    if (event->type() == QEvent::LayoutRequest)
        updateGeometry();
    return QWidget::event(event);
}
