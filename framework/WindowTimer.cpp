#include "framework/WindowTimer.h"

#include <QBasicTimer>
#include <QCoreApplication>
#include <QTimerEvent>
#include <QWidget>
#include <map>

namespace {

constexpr char kHostName[] = "windowTimerHost";

// Lives as a child of the window, so its timers end with it.
class CTimerHost : public QObject {
public:
    explicit CTimerHost(QWidget* window) : QObject(window), m_pWindow(window) {
        setObjectName(QLatin1String(kHostName));
    }

    void Start(unsigned id, unsigned periodMs) {
        m_timers[id].start(static_cast<int>(periodMs), this);
    }
    bool Stop(unsigned id) {
        const auto it = m_timers.find(id);
        if (it == m_timers.end()) {
            return false;
        }
        it->second.stop();
        m_timers.erase(it);
        return true;
    }
    bool IsRunning(unsigned id) const { return m_timers.count(id) != 0; }

protected:
    void timerEvent(QTimerEvent* event) override {
        for (const auto& [id, timer] : m_timers) {
            if (timer.timerId() == event->timerId()) {
                CTimerEvent tick(id);
                QCoreApplication::sendEvent(m_pWindow, &tick);
                return;
            }
        }
    }

private:
    QWidget* m_pWindow;
    std::map<unsigned, QBasicTimer> m_timers;
};

CTimerHost* HostOf(const QWidget* window, bool create) {
    auto* host = dynamic_cast<CTimerHost*>(
        window->findChild<QObject*>(QLatin1String(kHostName), Qt::FindDirectChildrenOnly));
    if (host == nullptr && create) {
        host = new CTimerHost(const_cast<QWidget*>(window));
    }
    return host;
}

}  // namespace

QEvent::Type CTimerEvent::EventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

unsigned SetWindowTimer(QWidget* window, unsigned id, unsigned periodMs) {
    if (window == nullptr || id == 0 || periodMs == 0) {
        return 0;
    }
    HostOf(window, true)->Start(id, periodMs);
    return id;
}

bool KillWindowTimer(QWidget* window, unsigned id) {
    CTimerHost* host = window != nullptr ? HostOf(window, false) : nullptr;
    return host != nullptr && host->Stop(id);
}

bool IsWindowTimerRunning(const QWidget* window, unsigned id) {
    const CTimerHost* host = window != nullptr ? HostOf(window, false) : nullptr;
    return host != nullptr && host->IsRunning(id);
}
