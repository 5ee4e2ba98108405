#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include "framework/MessageBox.h"
#include "platform/SignalPipe.h"

class QSocketNotifier;

// SIGTERM (the desktop's logout), SIGHUP (the terminal going away) and SIGINT (Ctrl+C) close the
// window as the user would, on the window's own thread, so the settings are saved as at any
// close. No box may then wait for a person who is gone: what a box would say goes to standard
// error, and open dialogs are cancelled first.
class CCloseOnSignal : public QObject {
public:
    explicit CCloseOnSignal(QWidget* window);
    ~CCloseOnSignal() override;

private:
    void OnSignal();

    CSignalPipe m_pipe;
    QPointer<QWidget> m_window;
    QSocketNotifier* m_pNotifier = nullptr;
    bool m_bClosing = false;
    MessageBoxHook m_previousHook;  // back in place when this ends
};
