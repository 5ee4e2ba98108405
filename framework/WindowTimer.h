#pragma once

#include <QEvent>

class QWidget;

// Window timers that carry the caller's own id: SetWindowTimer(w, 210, 150) delivers a
// CTimerEvent with id 210 to `w`, through its event(), every 150 ms until it is killed or the
// window goes. Starting an id that runs already restarts it with the new period.
class CTimerEvent : public QEvent {
public:
    explicit CTimerEvent(unsigned id) : QEvent(EventType()), m_nId(id) {}
    static QEvent::Type EventType();
    unsigned TimerId() const { return m_nId; }

private:
    unsigned m_nId;
};

// Returns the id, or 0 when the window is null, the id is 0 or the period is 0.
unsigned SetWindowTimer(QWidget* window, unsigned id, unsigned periodMs);
// False when no timer of that id runs on the window.
bool KillWindowTimer(QWidget* window, unsigned id);
bool IsWindowTimerRunning(const QWidget* window, unsigned id);
