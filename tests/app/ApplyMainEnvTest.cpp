#include "ScanFixture.h"
#include "controls/OXStatusBar.h"
#include "framework/CommandIds.h"
#include "framework/MessageBoxRecorder.h"

namespace {

const QByteArray kFastScan = "[Main Env]\nScan Time=100\nTime Outs=300\n";

QString Pane(CVornakApp& app, unsigned id) {
    COXStatusBar* bar = app.MainFrame()->StatusBar();
    return bar->GetPaneText(bar->CommandToIndex(id));
}

// Answers the settings dialog with `edit` applied to the record it was opened on.
CVornakView::SettingsPrompt Confirm(std::function<void(MainEnv&)> edit) {
    return [edit](MainEnv& env) {
        edit(env);
        return true;
    };
}

}  // namespace

TEST_F(ScanFixture, ConfirmingWhileScanningReopensAndGoesOn) {
    // The simulator answers only a master at its own bit rate: both start at 19200.
    ASSERT_TRUE(Start({"--baud", "19200"}, kFastScan + "COM Bps=4\n"));
    View()->OnScanStart();
    ASSERT_TRUE(WaitForCycles(2));
    View()->SetSettingsPrompt(Confirm([](MainEnv& env) {
        env.byBaudRate = 4;  // 19200
        env.dwScanTime = 150;
    }));
    View()->OnCommSettings();
    EXPECT_TRUE(View()->IsScanning());
    EXPECT_EQ(View()->Master()->GetBaudRate(), 19200u);
    EXPECT_EQ(Pane(*app, ID_INDICATOR_BAUD), "BPS : 19200");
    EXPECT_EQ(Pane(*app, ID_INDICATOR_SCAN_TIME), "Scan Time : 150ms");
    const int seen = View()->ScanCount();
    ASSERT_TRUE(WaitForCycles(seen + 2));
    View()->OnScanStop();
    EXPECT_EQ(View()->ErrorCount(), 0);
}

TEST_F(ScanFixture, SwitchingToAnAsciiSlaveOnCom2KeepsPolling) {
    CSlaveProcess ascii;
    ASSERT_TRUE(ascii.Start({"--mode", "ascii"}));
    qputenv("VORNAK_COM2", QByteArray::fromStdString(ascii.Path()));
    ASSERT_TRUE(Start({}, kFastScan));
    View()->OnScanStart();
    ASSERT_TRUE(WaitForCycles(3));
    View()->SetSettingsPrompt(Confirm([](MainEnv& env) {
        env.byPort = 1;
        env.byTransMode = 1;
        env.dwSilentTime = 60;
    }));
    View()->OnCommSettings();
    const std::size_t rtuRequests = Requests().size();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Frames(ascii, "rx").size() >= 3; }, 5000));
    QTest::qWait(150);
    View()->OnScanStop();
    EXPECT_EQ(View()->ErrorCount(), 0) << "a cycle failed across the switch";
    EXPECT_EQ(Requests().size(), rtuRequests);
    EXPECT_GE(Frames(ascii, "rx").size(), 3u);
    EXPECT_EQ(Pane(*app, ID_INDICATOR_PORT), "COM2");
    EXPECT_EQ(Pane(*app, ID_INDICATOR_MODE), "Mode : ASCII");
    EXPECT_EQ(View()->Env().dwSilentTime, 60u);
    EXPECT_EQ(View()->Master()->GetCharInterval(), 60u);
}

TEST_F(ScanFixture, FailedReopenClearsTheLampAndStartRecovers) {
    ASSERT_TRUE(Start({}, kFastScan));
    View()->OnScanStart();
    ASSERT_TRUE(WaitForCycles(2));
    CMessageBoxRecorder boxes;
    View()->SetSettingsPrompt(Confirm([](MainEnv& env) { env.byPort = 5; }));  // COM6: none
    qputenv("VORNAK_COM6", "/nonexistent/vornak-com6");
    View()->OnCommSettings();
    EXPECT_FALSE(View()->IsScanning());
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, QString::fromUtf8("통신 포트를 여는데 실패했읍니다."));
    const std::size_t paused = Requests().size();
    QTest::qWait(400);
    EXPECT_EQ(Requests().size(), paused) << "the thread must stay paused";

    View()->SetSettingsPrompt(Confirm([](MainEnv& env) { env.byPort = 0; }));
    View()->OnCommSettings();  // the port stays closed: only the values are handed over
    EXPECT_FALSE(View()->Master()->IsPortOpen());
    View()->OnScanStart();
    EXPECT_TRUE(View()->IsScanning());
    ASSERT_TRUE(WaitForCycles(2));
    View()->OnScanStop();
    EXPECT_GT(Requests().size(), paused);
    qunsetenv("VORNAK_COM6");
}

TEST_F(ScanFixture, RtuConfirmationKeepsTheOldCharacterInterval) {
    ASSERT_TRUE(Start({}, "[Main Env]\nScan Time=100\nSilent Time=100\n"));
    View()->SetSettingsPrompt(Confirm([](MainEnv& env) { env.dwSilentTime = 70; }));
    View()->OnCommSettings();
    EXPECT_EQ(View()->Env().dwSilentTime, 100u);
    EXPECT_EQ(View()->Master()->GetCharInterval(), 100u);
    // Cancelling changes nothing.
    View()->SetSettingsPrompt([](MainEnv& env) {
        env.byPort = 9;
        return false;
    });
    View()->OnCommSettings();
    EXPECT_EQ(View()->Env().byPort, 0);
}

TEST_F(ScanFixture, ModbusTcpMappedBeforeTheOpenNamesThePaneAndScans) {
    ASSERT_TRUE(Start({"--tcp", "0"}, kFastScan));
    // "127.0.0.1:PORT" alone is a path: a serial line as far as the pane knows.
    EXPECT_EQ(Pane(*app, ID_INDICATOR_MODE), "Mode : RTU");
    qputenv("VORNAK_COM1", QByteArray::fromStdString("tcp://" + slave.Path()));
    View()->OnScanStart();
    EXPECT_EQ(Pane(*app, ID_INDICATOR_MODE), "Mode : TCP");
    ASSERT_TRUE(WaitForCycles(3));
    View()->OnScanStop();
    EXPECT_EQ(View()->ErrorCount(), 0);
}
