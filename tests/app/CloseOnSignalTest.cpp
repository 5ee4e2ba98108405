// The built program ended by the desktop's logout (SIGTERM) or by its terminal (SIGHUP).

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDialog>
#include <QFile>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <fstream>
#include <thread>

#include "SlaveProcess.h"
#include "app/CloseOnSignal.h"
#include "tests/support/TempConfigHome.h"

using namespace std::chrono_literals;

// Closed as the user would close it: the settings saved, or what keeps them from being saved
// said on standard error instead of in a box nobody is there to answer; the exit status is 0.
TEST(CloseOnSignal, SavesTheSettingsAndEndsTheProgram) {
    const QByteArray seed = "# mine\n[Main Env]\nScan Time=250\n";
    for (const auto& [sig, mode] : {std::pair(SIGTERM, 0644), std::pair(SIGHUP, 0444)}) {
        SCOPED_TRACE(sig);
        CTempConfigHome home;
        ASSERT_TRUE(home.WriteIni(seed));
        ::chmod(home.IniPath().toLocal8Bit().constData(), mode);
        const SlaveRun run = RunProgramToEnd(VORNAK_PATH, {}, 20s, [sig = sig](pid_t pid) {
            // Sent once the handler is in place, as /proc shows the signal caught.
            for (int i = 0; i < 750; ++i, std::this_thread::sleep_for(20ms)) {
                std::ifstream in("/proc/" + std::to_string(pid) + "/status");
                std::string line;
                while (std::getline(in, line) && line.rfind("SigCgt:", 0) != 0) {
                }
                if (!line.empty() && (std::stoull(line.substr(7), nullptr, 16) >> (sig - 1) & 1))
                    break;
            }
            ::kill(pid, sig);
        });
        EXPECT_EQ(run.status, 0) << run.err;
        QFile ini(home.IniPath());
        ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
        const QByteArray after = ini.readAll();
        const std::string told = "vornak: 설정을 저장하지 못했습니다. " +
                                 home.IniPath().toStdString() +
                                 ": read-only (mode 0444), so it is left as it was\n";
        EXPECT_EQ(after.startsWith(seed) && after.contains("Salve%20ID=1"), mode == 0644)
            << after.data();
        EXPECT_EQ(after == seed && run.err.find(told) != std::string::npos, mode == 0444)
            << run.err;
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
