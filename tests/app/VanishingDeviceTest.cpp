// The device vanishing under a running scan (an unplugged USB adapter: the simulator's
// pseudo-terminal closes), and a port that another program holds.

#include <QTemporaryDir>
#include <cerrno>
#include <csignal>

#include "ScanFixture.h"
#include "controls/OXStatic.h"
#include "framework/MessageBoxRecorder.h"
#include "lines/PosixSerialPort.h"
#include "tests/support/ProcessCpu.h"

namespace {

QString StatusMessage(CVornakView* view) {
    const QString text = view->StatusLine()->text();
    return text.mid(text.lastIndexOf(QString::fromUtf8("응답 메시지: ")) + 8);
}

}  // namespace

TEST_F(ScanFixture, DeviceVanishingMidScanFailsEachCycleAndScansAgainAfterARestart) {
    QTemporaryDir dir;
    const std::string link = (dir.path() + "/COM1").toStdString();
    ASSERT_TRUE(Start({"--link", link}, "[Main Env]\nScan Time=50\nTime Outs=200\n"));
    qputenv("VORNAK_COM1", QByteArray::fromStdString(link));
    View()->OnScanStart();
    ASSERT_TRUE(WaitForCycles(3));
    EXPECT_EQ(View()->ErrorCount(), 0);

    ASSERT_EQ(slave.Stop(SIGTERM), 0);  // the far end closes: the line hangs up
    const int scans = View()->ScanCount();
    const int errors = View()->ErrorCount();
    const long long cpu = ProcessCpuMs();
    Stopwatch wall;
    QTest::qWait(2000);
    const long long cpuMs = ProcessCpuMs() - cpu;
    const long long wallMs = wall.Ms();
    const int failedScans = View()->ScanCount() - scans;
    const int failedErrors = View()->ErrorCount() - errors;
    EXPECT_GE(failedScans, 10) << "the scan goes on at its period";
    EXPECT_GE(failedErrors, failedScans) << "every cycle fails";
    EXPECT_LE(failedErrors, failedScans + 1);
    EXPECT_EQ(StatusMessage(View()), "Comm Port Not Opened");
    EXPECT_LT(cpuMs * 100, wallMs * 15) << cpuMs << " ms of processor in " << wallMs << " ms";
    std::printf("vanished device: %d failed cycles, %lld ms of processor in %lld ms\n", failedScans,
                cpuMs, wallMs);

    CSlaveProcess back;  // the adapter is plugged in again
    ASSERT_TRUE(back.Start({"--link", link}));
    View()->OnScanStop();
    View()->OnScanStart();
    EXPECT_TRUE(View()->IsScanning());
    // A cycle that failed just before the stop may still be counted after the start; the
    // ones after it must all succeed.
    ASSERT_TRUE(WaitForCycles(3));
    const int errorsAfterRestart = View()->ErrorCount();
    EXPECT_LE(errorsAfterRestart, 1);
    const int scansAfterRestart = View()->ScanCount();
    ASSERT_TRUE(WaitForCycles(scansAfterRestart + 3));
    View()->OnScanStop();
    EXPECT_EQ(View()->ErrorCount(), errorsAfterRestart);
    EXPECT_EQ(StatusMessage(View()), "OK");
    EXPECT_EQ(back.Stop(SIGTERM), 0);
}

TEST_F(ScanFixture, PortHeldByAnotherProgramIsRefusedWithTheBusyReason) {
    ASSERT_TRUE(Start({}, "[Main Env]\nScan Time=100\n"));
    CPosixSerialPort holder;  // what a first instance of the program holds
    ASSERT_TRUE(holder.Open(slave.Path()));
    CMessageBoxRecorder boxes;
    View()->OnScanStart();
    EXPECT_FALSE(View()->IsScanning());
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, QString::fromUtf8("통신 포트를 여는데 실패했읍니다."));
    const QString detail = boxes.Boxes()[0].detail;
    EXPECT_TRUE(detail.contains(QString::fromStdString(slave.Path()))) << detail.toStdString();
    EXPECT_TRUE(detail.contains("Device or resource busy")) << detail.toStdString();
    EXPECT_TRUE(detail.contains(QStringLiteral("errno %1").arg(EBUSY))) << detail.toStdString();

    ASSERT_TRUE(holder.Close());
    boxes.Clear();
    View()->OnScanStart();
    EXPECT_TRUE(View()->IsScanning());
    EXPECT_TRUE(boxes.Boxes().empty());
    ASSERT_TRUE(WaitForCycles(2));
    View()->OnScanStop();
}
