#include "app/CloseOnSignal.h"

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>

#include "framework/CommandIds.h"
#include "framework/MessageBox.h"

namespace {

// Enough for every dialog the program stacks; a window that refuses to close ends the loop.
constexpr int kMaxModalWindows = 16;

void CancelModalWindows() {
    for (int i = 0; i < kMaxModalWindows; ++i) {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr)
            return;
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
    }
}

}  // namespace

CCloseOnSignal::CCloseOnSignal(QWidget* window)
    : m_pipe({SIGTERM, SIGHUP, SIGINT}), m_window(window) {
    if (m_pipe.ReadFd() < 0)
        return;
    m_pNotifier = new QSocketNotifier(m_pipe.ReadFd(), QSocketNotifier::Read, this);
    connect(m_pNotifier, &QSocketNotifier::activated, this, [this] { OnSignal(); });
}

CCloseOnSignal::~CCloseOnSignal() {
    delete m_pNotifier;  // before the pipe it watches closes
    if (m_bClosing)
        SetMessageBoxHook(std::move(m_previousHook));
}

void CCloseOnSignal::OnSignal() {
    if (m_pipe.Take() == 0 || m_bClosing)
        return;
    m_bClosing = true;
    m_previousHook = SetMessageBoxHook([](const MessageBoxRecord& box) -> std::optional<int> {
        const QString line =
            box.detail.isEmpty() ? box.text : box.text + QStringLiteral(" ") + box.detail;
        std::fprintf(stderr, "vornak: %s\n", line.toLocal8Bit().constData());
        return IDOK;
    });
    CancelModalWindows();
    // Once the cancelled dialogs' loops have returned, the window closes from the main loop.
    QTimer::singleShot(0, this, [this] {
        CancelModalWindows();
        if (m_window)
            m_window->close();
        QCoreApplication::quit();
    });
}
