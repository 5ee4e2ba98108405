#include "framework/ToolBar.h"

#include <QMainWindow>
#include <QPainter>
#include <QStyleOptionToolBar>

#include "framework/Gdi.h"

void CToolBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionToolBar option;
    initStyleOption(&option);
    painter.fillRect(rect(), ColorFromRef(GetSysColor(COLOR_BTNFACE)));
    painter.setPen(ColorFromRef(GetSysColor(COLOR_BTNSHADOW)));
    const QRect r = rect();
    auto* frame = qobject_cast<QMainWindow*>(parentWidget());
    if (isWindow()) {
        style()->drawPrimitive(QStyle::PE_FrameMenu, &option, &painter, this);
    } else if (frame != nullptr) {
        switch (frame->toolBarArea(this)) {
            case Qt::TopToolBarArea:
                painter.drawLine(r.bottomLeft(), r.bottomRight());
                break;
            case Qt::BottomToolBarArea:
                painter.drawLine(r.topLeft(), r.topRight());
                break;
            case Qt::LeftToolBarArea:
                painter.drawLine(r.topRight(), r.bottomRight());
                break;
            case Qt::RightToolBarArea:
                painter.drawLine(r.topLeft(), r.bottomLeft());
                break;
            default:
                break;
        }
    }
    option.rect = style()->subElementRect(QStyle::SE_ToolBarHandle, &option, this);
    if (option.rect.isValid())
        style()->drawPrimitive(QStyle::PE_IndicatorToolBarHandle, &option, &painter, this);
}
