#include "framework/IdleUpdates.h"

#include <QCoreApplication>
#include <QEvent>
#include <algorithm>

CIdleUpdates::CIdleUpdates(std::function<void()> onIdle, QObject* parent)
    : QObject(parent), m_onIdle(std::move(onIdle)) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (m_bRunning && m_onIdle)
            m_onIdle();
    });
}

CIdleUpdates::~CIdleUpdates() {
    Stop();
}

void CIdleUpdates::Start(int intervalMs) {
    m_timer.setInterval(std::max(0, intervalMs));
    if (!m_bRunning && QCoreApplication::instance())
        QCoreApplication::instance()->installEventFilter(this);
    m_bRunning = true;
    // Whatever happened before the start counts as one event.
    m_timer.start();
}

void CIdleUpdates::Stop() {
    if (m_bRunning && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
    m_bRunning = false;
    m_timer.stop();
}

bool CIdleUpdates::CountsAsActivity(const QObject* receiver, const QEvent* event) {
    switch (event->type()) {
        case QEvent::Timer:
            // A QTimer's slot may change anything; the widgets' own timers only animate.
            return qobject_cast<const QTimer*>(receiver) != nullptr;
        case QEvent::DeferredDelete:
        case QEvent::ChildAdded:
        case QEvent::ChildRemoved:
        case QEvent::ChildPolished:
        case QEvent::Paint:
        case QEvent::UpdateRequest:
        case QEvent::UpdateLater:
        case QEvent::LayoutRequest:
        case QEvent::Polish:
        case QEvent::PolishRequest:
        case QEvent::ActionChanged:
        case QEvent::EnabledChange:
        case QEvent::StyleChange:
        case QEvent::PaletteChange:
        case QEvent::ToolTipChange:
            return false;
        default:
            return true;
    }
}

bool CIdleUpdates::eventFilter(QObject* watched, QEvent* event) {
    if (m_bRunning && watched != &m_timer && !m_timer.isActive() &&
        CountsAsActivity(watched, event)) {
        m_timer.start();
    }
    return false;
}
