// The built program ended by the desktop's logout (SIGTERM) or by its terminal (SIGHUP).

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDialog>
#include <QFile>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <csignal>
#include <fstream>
#include <thread>
#include <tuple>

#include "SlaveProcess.h"
#include "app/CloseOnSignal.h"
#include "tests/support/TempConfigHome.h"

using namespace std::chrono_literals;

namespace {

// Until the process catches `signal` (its handler is in place) or the time is up.
void WaitUntilCaught(pid_t pid, int signal, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("SigCgt:", 0) == 0 &&
                (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1) & 1) != 0)
                return;
        }
        std::this_thread::sleep_for(20ms);
    }
}

}  // namespace

// Closed as the user would close it: the settings saved, or what keeps them from being saved
// said on standard error instead of in a box nobody is there to answer; the exit status is 0.
TEST(CloseOnSignal, SavesTheSettingsAndEndsTheProgram) {
    const QByteArray seed = "# mine\n[Main Env]\nScan Time=250\n";
    const std::tuple<int, mode_t, bool> cases[] = {{SIGTERM, 0644, true}, {SIGHUP, 0444, false}};
    for (const auto& [sig, mode, saved] : cases) {
        SCOPED_TRACE(sig);
        CTempConfigHome home;
        ASSERT_TRUE(home.WriteIni(seed));
        ::chmod(home.IniPath().toLocal8Bit().constData(), mode);
        const SlaveRun run = RunProgramToEnd(VORNAK_PATH, {}, 20s, [sig = sig](pid_t pid) {
            WaitUntilCaught(pid, sig, 15s);
            ::kill(pid, sig);
        });
        EXPECT_EQ(run.status, 0) << run.err;
        QFile ini(home.IniPath());
        ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
        const QByteArray after = ini.readAll();
        const std::string refusal = "vornak: 설정을 저장하지 못했습니다. " +
                                    home.IniPath().toStdString() +
                                    ": read-only (mode 0444), so it is left as it was\n";
        if (saved) {
            EXPECT_TRUE(after.startsWith(seed) && after.contains("Salve%20ID=1")) << after.data();
        } else {
            EXPECT_EQ(after, seed);
            EXPECT_NE(run.err.find(refusal), std::string::npos) << run.err;
        }
    }
}

// A dialog open when the signal comes is cancelled first, so nothing waits for an answer.
TEST(CloseOnSignal, CancelsAnOpenDialogThenClosesTheWindow) {
    QWidget window;
    window.show();
    const CCloseOnSignal closer(&window);
    QDialog dialog(&window);
    QTimer::singleShot(50, [] { ::raise(SIGTERM); });
    QTimer::singleShot(10000, &dialog, &QDialog::accept);  // so a failure ends too
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_TRUE(QTest::qWaitFor([&window] { return window.isHidden(); }, 5000));
}
