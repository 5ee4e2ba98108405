#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRegularExpression>
#include <algorithm>
#include <chrono>

#include "ScanFixture.h"
#include "app/resources/ControlIds.h"
#include "controls/OXStatic.h"
#include "controls/OXStatusBar.h"
#include "framework/CommandIds.h"
#include "framework/CommandRouter.h"
#include "framework/ControlLookup.h"
#include "framework/Gdi.h"
#include "framework/MessageBoxRecorder.h"
#include "modbus/LocalModbus.h"
#include "scan/ResponseListCtrl.h"
#include "tests/support/WindowGrab.h"

namespace {

const QByteArray kFastScan = "[Main Env]\nScan Time=100\nTime Outs=300\n";

using Clock = std::chrono::steady_clock;
long long MsSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

// "Scan 횟수: %d ,  에러 응답 횟수: %d , 응답 메시지: %s" taken apart.
struct StatusLine {
    int scans = -1;
    int errors = -1;
    QString message;
};
StatusLine ParseStatus(const QString& text) {
    static const QRegularExpression re(
        QString::fromUtf8("^Scan 횟수: (\\d+) ,  에러 응답 횟수: (\\d+) , 응답 메시지: (.*)$"));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return {};
    return {m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3)};
}

unsigned LampBitmap(CVornakApp& app) {
    COXStatusBar* bar = app.MainFrame()->StatusBar();
    const PaneBitmap* b = bar->GetPaneBitmap(bar->CommandToIndex(ID_INDICATOR_LAMP));
    return b ? b->nResourceId : 0;
}

}  // namespace

TEST_F(ScanFixture, PollsCountsAndShowsTheLines) {
    ASSERT_TRUE(Start({}, kFastScan));
    EXPECT_EQ(ParseStatus(View()->StatusLine()->text()).scans, 0);
    View()->OnScanStart();
    EXPECT_TRUE(View()->IsScanning());
    EXPECT_EQ(LampBitmap(*app), IDB_LAMP_LIT);
    ASSERT_TRUE(WaitForLines(8));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Requests().size() >= 3; }, 5000));
    View()->OnScanStop();
    EXPECT_EQ(LampBitmap(*app), IDB_LAMP_UNLIT);
    QTest::qWait(50);

    const StatusLine status = ParseStatus(View()->StatusLine()->text());
    EXPECT_GE(status.scans, 3);
    EXPECT_EQ(status.errors, 0);
    EXPECT_EQ(status.message, "OK");
    ASSERT_EQ(View()->List()->Count(), 8);
    EXPECT_EQ(View()->List()->ItemText(0), "[Address : 0x0000 / 40001 ] = 0x0000, 0");
    EXPECT_EQ(View()->List()->ItemText(7), "[Address : 0x0007 / 40008 ] = 0x0000, 0");
    // The list as the form made it shows its grid: each line ends in a button-face rule, and
    // the rules go on below the last line.
    CResponseListCtrl* list = View()->List();
    const QImage shown = GrabPainted(*list->viewport());
    const QColor grid = ColorFromRef(GetSysColor(COLOR_BTNFACE));
    const int x = std::min(list->viewport()->width(), list->columnWidth(0)) - 4;
    const int rule = list->rowViewportPosition(0) + list->rowHeight(0) - 1;
    EXPECT_EQ(shown.pixelColor(x, rule), grid);
    EXPECT_EQ(shown.pixelColor(x, rule - 2), list->palette().color(QPalette::Base));
    EXPECT_EQ(shown.pixelColor(x, rule + 9 * list->rowHeight(0)), grid);
    const auto requests = Requests();
    ASSERT_GE(requests.size(), 3u);
    EXPECT_EQ(Head(requests[0], 8), "01 03 00 00 00 08 44 0C");
}

TEST_F(ScanFixture, SilentSlaveCountsEveryCycleAsAnError) {
    ASSERT_TRUE(Start({"--silent"}, "[Main Env]\nScan Time=50\nTime Outs=150\n"));
    View()->OnScanStart();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Requests().size() >= 3; }, 8000));
    View()->OnScanStop();
    QTest::qWait(50);
    const StatusLine status = ParseStatus(View()->StatusLine()->text());
    EXPECT_GE(status.scans, 3);
    EXPECT_EQ(status.errors, status.scans);
    EXPECT_EQ(status.message, "Time-out Error");
    // The lines show what the master left: zeros.
    ASSERT_EQ(View()->List()->Count(), 8);
    EXPECT_EQ(View()->List()->ItemText(3), "[Address : 0x0003 / 40004 ] = 0x0000, 0");
}

TEST_F(ScanFixture, StopThenStartGoesOnWithTheSameThreadAndFreshCounters) {
    ASSERT_TRUE(Start({}, kFastScan));
    View()->OnScanStart();
    ASSERT_TRUE(WaitForCycles(2));
    View()->OnScanStop();
    QTest::qWait(300);
    const std::size_t stoppedAt = Requests().size();
    QTest::qWait(400);
    EXPECT_EQ(Requests().size(), stoppedAt) << "a request went out after the stop";
    ASSERT_TRUE(View()->HasScanThread());

    View()->OnScanStart();
    EXPECT_TRUE(View()->HasScanThread());
    // Counters restart; the next cycle comes within about one scan period.
    EXPECT_LE(View()->ScanCount(), 1);
    ASSERT_TRUE(WaitForCycles(2, 3000));
    View()->OnScanStop();
    EXPECT_GT(Requests().size(), stoppedAt);
}

TEST_F(ScanFixture, StopDuringALongExchangeWaitsForItsEnd) {
    ASSERT_TRUE(Start({"--delay", "600"}, "[Main Env]\nScan Time=50\nTime Outs=2000\n"));
    View()->OnScanStart();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Requests().size() >= 1; }, 3000));
    const auto t = Clock::now();
    View()->OnScanStop();
    // The exchange was waited for (its answer came), then 10 ms and 200 ms.
    EXPECT_GE(MsSince(t), 300);
    EXPECT_GE(Frames(slave, "tx").size(), 1u);
    const std::size_t after = Requests().size();
    QTest::qWait(800);
    EXPECT_EQ(Requests().size(), after);
}

TEST_F(ScanFixture, ClosingDuringAnExchangeReturnsPromptly) {
    ASSERT_TRUE(Start({"--silent"}, "[Main Env]\nScan Time=20\nTime Outs=5000\n"));
    View()->OnScanStart();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Requests().size() >= 1; }, 3000));
    QTest::qWait(50);
    const auto t = Clock::now();
    app->MainFrame()->close();
    app.reset();
    // Well inside the 5 s response time-out that was running.
    EXPECT_LT(MsSince(t), 2500);
}

TEST_F(ScanFixture, EditsChangeTheRequestFromTheNextCycle) {
    ASSERT_TRUE(Start({}, kFastScan));
    auto* hex = FindControl<QLineEdit>(View(), IDC_ADDR_HEX);
    auto* dec = FindControl<QLineEdit>(View(), IDC_ADDR_DEC);
    auto* quantity = FindControl<QLineEdit>(View(), IDC_QUANTITY);
    auto* function = FindControl<QComboBox>(View(), IDC_FUNCTION);
    EXPECT_EQ(hex->text(), "0x0000");
    EXPECT_EQ(dec->text(), "40001");
    hex->selectAll();
    QTest::keyClicks(hex, "20h");
    quantity->selectAll();
    QTest::keyClicks(quantity, "200");
    View()->OnScanStart();
    ASSERT_TRUE(WaitForRequest("01 03 00 20 00 7D"));
    ASSERT_TRUE(WaitForLines(125));
    EXPECT_EQ(dec->text(), "40033");
    EXPECT_EQ(quantity->text(), "200");
    // 200 is used as 125.
    EXPECT_EQ(View()->List()->ItemText(0), "[Address : 0x0020 / 40033 ] = 0x0000, 0");

    dec->selectAll();
    QTest::keyClicks(dec, "30011");
    ASSERT_TRUE(WaitForRequest("01 04 00 0A 00 7D"));
    const int seen = View()->ScanCount();
    ASSERT_TRUE(WaitForCycles(seen + 1));
    View()->OnScanStop();
    EXPECT_EQ(function->currentIndex(), 1);
    EXPECT_EQ(hex->text(), "0x000A");
    EXPECT_TRUE(View()->List()->ItemText(0).startsWith("[Address : 0x000a / 30011 ]"));
}

TEST_F(ScanFixture, DoubleClickWritesTheRegisterThatTheNextReadShows) {
    ASSERT_TRUE(Start({}, kFastScan));
    std::uint16_t shownAddress = 0, shownValue = 1;
    View()->SetWriteValuePrompt(
        [&](std::uint8_t kind, std::uint16_t address, std::uint16_t& value) {
            EXPECT_EQ(kind, 0);
            shownAddress = address;
            shownValue = value;
            value = 0x1234;
            return true;
        });
    View()->OnScanStart();
    ASSERT_TRUE(WaitForLines(8));
    View()->OnDblclkList(3);
    EXPECT_EQ(shownAddress, 3);
    EXPECT_EQ(shownValue, 0);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return View()->List()->ItemText(3).endsWith("0x1234, 4660"); }, 5000));
    View()->OnScanStop();
    bool written = false;
    for (const auto& r : Requests())
        written |= Head(r) == "01 06 00 03 12 34";
    EXPECT_TRUE(written);
    EXPECT_EQ(View()->List()->ItemText(3), "[Address : 0x0003 / 40004 ] = 0x1234, 4660");
    // Below the last line nothing happens.
    const std::size_t before = Requests().size();
    View()->OnDblclkList(-1);
    View()->OnDblclkList(8);
    EXPECT_EQ(Requests().size(), before);
}

TEST_F(ScanFixture, FailedWriteShowsTheMastersText) {
    ASSERT_TRUE(Start({"--size", "2"}, kFastScan));
    View()->OnScanStart();
    ASSERT_TRUE(WaitForLines(8));
    ASSERT_TRUE(WaitForCycles(2));
    View()->OnScanStop();
    // Reading 8 registers of a table of 2 fails, but the lines still stand.
    ASSERT_EQ(View()->List()->Count(), 8);
    EXPECT_TRUE(ParseStatus(View()->StatusLine()->text())
                    .message.startsWith("Slave Device Return an Exception Code 2"));
    CMessageBoxRecorder boxes;
    View()->SetWriteValuePrompt([](std::uint8_t, std::uint16_t, std::uint16_t& v) {
        v = 7;
        return true;
    });
    View()->OnDblclkList(5);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, "Slave Device Return an Exception Code 2");
    EXPECT_EQ(boxes.Boxes()[0].icon, MessageIcon::Information);
}

TEST_F(ScanFixture, TestModeRampsTwoRegistersBetweenReads) {
    ASSERT_TRUE(Start({}, "[Main Env]\nScan Time=30\nTime Outs=300\n"));
    CVornakView::ProcessTestRamp() = CTestRamp{};
    auto* box = FindControl<QCheckBox>(View(), IDC_TEST_MODE);
    auto* ch1 = FindControl<QLineEdit>(View(), IDC_INC_CH1);
    auto* ch2 = FindControl<QLineEdit>(View(), IDC_INC_CH2);
    EXPECT_EQ(ch1->text(), "1");
    ch1->setText("3999");
    ch2->setText("0");
    box->setChecked(true);
    View()->OnScanStart();
    auto writes = [&](const std::string& reg) {
        std::vector<std::string> w;
        for (const auto& r : Requests()) {
            const std::string h = Head(r);
            if (h.rfind("01 06 00 " + reg, 0) == 0)
                w.push_back(h.substr(12));
        }
        return w;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return writes("00").size() >= 1; }, 4000));
    ch1->setText("5");
    ASSERT_TRUE(QTest::qWaitFor([&] { return writes("00").size() >= 3; }, 4000));
    box->setChecked(false);
    const int seen = View()->ScanCount();
    ASSERT_TRUE(WaitForCycles(seen + 3));
    View()->OnScanStop();

    const auto ch1Writes = writes("00");
    EXPECT_EQ(ch1Writes[0], "0F 9F");  // 3999
    EXPECT_EQ(ch1Writes[1], "0F A0");  // 3999 + 5 stops at 4000 and turns
    EXPECT_EQ(ch1Writes[2], "0F 9B");  // 3995
    const auto ch2Writes = writes("01");
    ASSERT_GE(ch2Writes.size(), 2u);
    EXPECT_EQ(ch2Writes[0], "00 00");  // an increment of 0 repeats its value
    EXPECT_EQ(ch2Writes[1], "00 00");
    // Every write pair follows a read; with the box unchecked only reads go out.
    const auto all = Requests();
    for (std::size_t i = all.size() - 2; i < all.size(); ++i) {
        EXPECT_EQ(all[i].bytes.at(1), 0x03);
    }
}

// A stop that comes while a ramp write waits for the line: that write never went out, so the
// next start writes the same value instead of skipping it.
TEST_F(ScanFixture, StopBeforeARampWriteGoesOutSkipsNoValue) {
    ASSERT_TRUE(Start({}, "[Main Env]\nScan Time=300\nTime Outs=300\n"));
    CVornakView::ProcessTestRamp() = CTestRamp{};
    FindControl<QLineEdit>(View(), IDC_INC_CH1)->setText("7");
    FindControl<QCheckBox>(View(), IDC_TEST_MODE)->setChecked(true);
    auto channel1 = [&] {
        std::vector<std::string> w;
        for (const auto& r : Requests()) {
            if (Head(r).rfind("01 06 00 00", 0) == 0)
                w.push_back(Head(r).substr(12));
        }
        return w;
    };
    View()->OnScanStart();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Requests().empty(); }, 3000));  // the read
    CLocalModbus* line = View()->Master();
    line->Lock();  // the next cycle, channel 1's write, waits for the line
    ASSERT_TRUE(WaitForCycles(2));
    View()->OnScanStop();
    line->Unlock();
    QTest::qWait(100);
    EXPECT_TRUE(channel1().empty());
    View()->OnScanStart();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !channel1().empty(); }, 3000));
    View()->OnScanStop();
    EXPECT_EQ(channel1().front(), "00 07");
}

TEST_F(ScanFixture, PortThatCannotOpenStopsTheStart) {
    ASSERT_TRUE(Start({}, kFastScan));
    qputenv("VORNAK_COM1", "/nonexistent/vornak-port");
    CMessageBoxRecorder boxes;
    View()->OnScanStart();
    EXPECT_FALSE(View()->IsScanning());
    EXPECT_FALSE(View()->HasScanThread());
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, QString::fromUtf8("통신 포트를 여는데 실패했읍니다."));
    EXPECT_TRUE(boxes.Boxes()[0].detail.contains("/nonexistent/vornak-port"));
    app->Router()->UpdateAll();
    EXPECT_TRUE(app->Router()->Actions(ID_SCAN_START).first()->isEnabled());
    EXPECT_FALSE(app->Router()->Actions(ID_SCAN_STOP).first()->isEnabled());
}

TEST_F(ScanFixture, RebuildKeepsTheMarkButNoSelection) {
    ASSERT_TRUE(Start({}, kFastScan));
    View()->OnScanStart();
    ASSERT_TRUE(WaitForLines(8));
    CResponseListCtrl* list = View()->List();
    list->selectRow(3);
    const int seen = View()->ScanCount();
    ASSERT_TRUE(WaitForCycles(seen + 2));
    View()->OnScanStop();
    EXPECT_EQ(list->SelectionMark(), 3);
    EXPECT_TRUE(list->selectionModel()->selectedRows().isEmpty());
    EXPECT_EQ(list->Count(), 8);
}

TEST_F(ScanFixture, StoredValuesReachTheEditsAndTheLine) {
    ASSERT_TRUE(Start({},
                      "[Main Env]\nCOM Parity=1\nCOM Bps=9\n"
                      "[ModBus Env]\nRead Quan=500\nRead Func=0\nSalve ID=300\n"));
    EXPECT_EQ(FindControl<QLineEdit>(View(), IDC_QUANTITY)->text(), "125");
    EXPECT_EQ(FindControl<QLineEdit>(View(), IDC_SLAVE_ID)->text(), "255");
    View()->OnScanStart();
    ASSERT_TRUE(View()->Master()->IsPortOpen());
    EXPECT_EQ(View()->Master()->GetParity(), 2);  // "Even" in the dialog: even on the line
    EXPECT_EQ(View()->Master()->GetBaudRate(), 9600u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Requests().empty(); }, 3000));
    View()->OnScanStop();
    // Slave 255 is not the simulator's address: nothing answers, but the request is exact.
    EXPECT_EQ(Head(Requests().front()), "FF 03 00 00 00 7D");
}
