#include "framework/NonClientArea.h"

#include <QAbstractScrollArea>
#include <QCoreApplication>
#include <QFrame>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QWidget>

namespace {

constexpr char kOverlayName[] = "nonClientOverlay";

// A transparent child on top of every other child: its paint is the control's last word.
class CNcOverlay : public QWidget {
public:
    explicit CNcOverlay(QWidget* window) : QWidget(window) {
        setObjectName(QLatin1String(kOverlayName));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        window->installEventFilter(this);
        for (QObject* sibling : window->children()) {
            WatchSibling(sibling);
        }
        Follow();
        show();
    }

protected:
    // A scroll area raises its scroll bars again when it lays them out, which would bury the
    // overlay under them; it goes back on top whenever a sibling moves up.
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == parent()) {
            if (event->type() == QEvent::ChildAdded) {
                WatchSibling(static_cast<QChildEvent*>(event)->child());
                Follow();
            } else if (event->type() == QEvent::Resize) {
                Follow();
            }
        } else if (event->type() == QEvent::ZOrderChange && IsBelowASibling()) {
            raise();
        }
        return false;
    }
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        CNcPaintEvent ncPaint(painter);
        QCoreApplication::sendEvent(parentWidget(), &ncPaint);
    }

private:
    void WatchSibling(QObject* sibling) {
        if (sibling != this && sibling != nullptr && sibling->isWidgetType()) {
            sibling->removeEventFilter(this);
            sibling->installEventFilter(this);
        }
    }
    bool IsBelowASibling() const {
        const QObjectList& siblings = parentWidget()->children();
        for (auto it = siblings.crbegin(); it != siblings.crend(); ++it) {
            if (*it == this) {
                return false;
            }
            if ((*it)->isWidgetType()) {
                return true;
            }
        }
        return false;
    }
    void Follow() {
        setGeometry(parentWidget()->rect());
        raise();
    }
};

QWidget* OverlayOf(const QWidget* window) {
    return window->findChild<QWidget*>(QLatin1String(kOverlayName), Qt::FindDirectChildrenOnly);
}

const QScrollBar* ScrollBarOf(const QWidget* window, Qt::Orientation orientation) {
    if (const auto* area = qobject_cast<const QAbstractScrollArea*>(window)) {
        return orientation == Qt::Horizontal ? area->horizontalScrollBar()
                                             : area->verticalScrollBar();
    }
    return nullptr;
}

}  // namespace

int GetSystemMetrics(int index, const QWidget* window) {
    switch (index) {
        case SM_CXVSCROLL:
        case SM_CYHSCROLL:
        case SM_CYVSCROLL:
        case SM_CXHSCROLL: {
            const QStyle* style = window != nullptr ? window->style() : nullptr;
            return style != nullptr
                       ? style->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, window)
                       : 0;
        }
        default:
            return 0;
    }
}

unsigned GetScrollStyle(const QWidget* window) {
    unsigned style = 0;
    const auto* area = qobject_cast<const QAbstractScrollArea*>(window);
    if (area == nullptr) {
        return style;
    }
    if (area->horizontalScrollBar()->isVisibleTo(area)) {
        style |= WS_HSCROLL;
    }
    if (area->verticalScrollBar()->isVisibleTo(area)) {
        style |= WS_VSCROLL;
    }
    return style;
}

CRect WindowRectOf(const QWidget* window) {
    return window != nullptr ? CRect(0, 0, window->width(), window->height()) : CRect();
}

CRect ClientRectInWindow(const QWidget* window) {
    if (window == nullptr) {
        return CRect();
    }
    if (const auto* area = qobject_cast<const QAbstractScrollArea*>(window)) {
        return CRect::FromQRect(area->viewport()->geometry());
    }
    if (const auto* frame = qobject_cast<const QFrame*>(window)) {
        return CRect::FromQRect(frame->contentsRect());
    }
    return WindowRectOf(window);
}

std::optional<SCROLLINFO> GetScrollInfo(const QWidget* window, Qt::Orientation orientation) {
    const QScrollBar* bar = ScrollBarOf(window, orientation);
    if (bar == nullptr) {
        bar = qobject_cast<const QScrollBar*>(window);
        if (bar == nullptr || bar->orientation() != orientation) {
            return std::nullopt;
        }
    }
    SCROLLINFO info;
    info.nMin = bar->minimum();
    info.nPage = static_cast<unsigned>(std::max(0, bar->pageStep()));
    // Qt's maximum is the largest position; the platform's range also covers the last page.
    info.nMax = bar->maximum() + (info.nPage > 0 ? static_cast<int>(info.nPage) - 1 : 0);
    info.nPos = bar->value();
    info.nTrackPos = bar->sliderPosition();
    return info;
}

void RedrawWindow(QWidget* window, unsigned flags) {
    if (window == nullptr) {
        return;
    }
    if (flags & RDW_UPDATENOW) {
        window->repaint();
        return;
    }
    if (flags & (RDW_INVALIDATE | RDW_FRAME)) {
        window->update();
    }
}

QEvent::Type CNcPaintEvent::EventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void EnableNonClientPaint(QWidget* window) {
    if (window != nullptr && OverlayOf(window) == nullptr) {
        new CNcOverlay(window);
    }
}

bool HasNonClientPaint(const QWidget* window) {
    return window != nullptr && OverlayOf(window) != nullptr;
}

QEvent::Type DestroyEventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

QEvent::Type NcDestroyEventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void DestroyWindow(QWidget* window) {
    if (window == nullptr) {
        return;
    }
    QEvent destroy(DestroyEventType());
    QCoreApplication::sendEvent(window, &destroy);
    window->hide();
    QEvent ncDestroy(NcDestroyEventType());
    QCoreApplication::sendEvent(window, &ncDestroy);
}
