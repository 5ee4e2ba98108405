#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

class QEvent;

// The framework's idle time: after an event that may have changed what the commands can do,
// calls back once the interval has passed, then stays silent until the next such event. A
// program that only waits for the user is never woken by it. Events that only paint, that
// the update itself causes, and the timers behind them (the caret blink among them) do not
// count, so neither a blinking caret nor an idle update starts another round.
class CIdleUpdates : public QObject {
public:
    explicit CIdleUpdates(std::function<void()> onIdle, QObject* parent = nullptr);
    ~CIdleUpdates() override;

    void Start(int intervalMs);
    void Stop();
    bool Running() const { return m_bRunning; }

    // Whether `event` delivered to `receiver` can change a command's state.
    static bool CountsAsActivity(const QObject* receiver, const QEvent* event);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> m_onIdle;
    QTimer m_timer;
    bool m_bRunning = false;
};
