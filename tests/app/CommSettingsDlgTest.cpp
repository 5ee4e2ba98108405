#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <optional>
#include <string>

#include "app/CommSettingsDlg.h"
#include "app/resources/ControlIds.h"
#include "app/resources/Templates.h"
#include "framework/CommandIds.h"
#include "framework/ControlLookup.h"
#include "framework/DataExchange.h"
#include "framework/MessageBoxRecorder.h"
#include "framework/TemplateBuilder.h"
#include "lines/PortResolver.h"

namespace {

// The ten fields as the settings record hands them over.
struct Fields {
    std::uint8_t port = 0, baud = 3, stop = 0, parity = 0, data = 1, flow = 0, mode = 0;
    std::uint32_t timeout = 1000, interval = 100, scan = 1000;
};

class CommSettingsDlgTest : public ::testing::Test {
protected:
    void Open(const Fields& f) {
        dlg.m_nPortIndex = f.port;
        dlg.m_nBaudIndex = f.baud;
        dlg.m_nStopBitsIndex = f.stop;
        dlg.m_nParityIndex = f.parity;
        dlg.m_nDataBitsIndex = f.data;
        dlg.m_nFlowControl = f.flow;
        dlg.m_nMode = f.mode;
        dlg.m_nTimeout = f.timeout;
        dlg.m_nCharInterval = f.interval;
        dlg.m_nScanTime = f.scan;
        dlg.open();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    }
    QComboBox* List(int id) { return FindControl<QComboBox>(&dlg, id); }
    QLineEdit* Edit(int id) { return FindControl<QLineEdit>(&dlg, id); }
    QCheckBox* Check(int id) { return FindControl<QCheckBox>(&dlg, id); }
    QRadioButton* Radio(int id) { return FindControl<QRadioButton>(&dlg, id); }
    QPushButton* Button(int id) { return FindControl<QPushButton>(&dlg, id); }
    // Clicks where a person would: on the indicator at the left of the box.
    void ClickRadio(int id) {
        QRadioButton* r = Radio(id);
        QTest::mouseClick(r, Qt::LeftButton, {}, QPoint(4, r->height() / 2));
    }
    void Type(int id, const QString& text) {
        QLineEdit* edit = Edit(id);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
    }
    void ClickOk() { QTest::mouseClick(Button(IDOK), Qt::LeftButton); }
    bool Confirmed() const { return !dlg.isVisible() && dlg.result() == IDOK; }

    CMessageBoxRecorder boxes;
    CCommSettingsDlg dlg;
};

TEST_F(CommSettingsDlgTest, OpensWithCaptionListsAndFocusOnThePortList) {
    Open({});
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("통신 설정 환경"));
    EXPECT_EQ(dlg.size(), TemplateClientSize(CommSettingsTemplate()));
    ASSERT_NE(List(IDC_PORT), nullptr);
    EXPECT_EQ(List(IDC_PORT)->count(), 16);
    EXPECT_EQ(List(IDC_PORT)->itemText(15), QStringLiteral("COM16"));
    EXPECT_EQ(List(IDC_BAUD_RATE)->count(), 8);
    EXPECT_EQ(List(IDC_BAUD_RATE)->currentText(), QStringLiteral("9600"));
    EXPECT_FALSE(List(IDC_PORT)->isEditable());
    EXPECT_EQ(QApplication::focusWidget(), List(IDC_PORT));
}

TEST_F(CommSettingsDlgTest, SelectionsFollowTheIndexesAndOkGivesThemBack) {
    Fields f;
    f.port = 4;
    f.baud = 6;
    f.stop = 1;
    f.parity = 2;
    f.data = 0;
    Open(f);
    EXPECT_EQ(List(IDC_PORT)->currentText(), QStringLiteral("COM5"));
    EXPECT_EQ(List(IDC_BAUD_RATE)->currentText(), QStringLiteral("57600"));
    EXPECT_EQ(List(IDC_STOP_BITS)->currentText(), QStringLiteral("2"));
    EXPECT_EQ(List(IDC_PARITY)->currentText(), QStringLiteral("Odd"));
    EXPECT_EQ(List(IDC_DATA_SIZE)->currentText(), QStringLiteral("7"));
    ClickOk();
    ASSERT_TRUE(Confirmed());
    EXPECT_EQ(dlg.m_nPortIndex, 4);
    EXPECT_EQ(dlg.m_nBaudIndex, 6);
    EXPECT_EQ(dlg.m_nStopBitsIndex, 1);
    EXPECT_EQ(dlg.m_nParityIndex, 2);
    EXPECT_EQ(dlg.m_nDataBitsIndex, 0);
    EXPECT_EQ(dlg.m_nTimeout, 1000u);
    EXPECT_EQ(dlg.m_nCharInterval, 100u);
    EXPECT_EQ(dlg.m_nScanTime, 1000u);
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(CommSettingsDlgTest, OutOfRangeIndexesAreCorrectedAtOpening) {
    Fields f;
    f.port = 16;
    f.baud = 9;
    f.parity = 3;
    f.data = 2;
    f.stop = 2;
    Open(f);
    EXPECT_EQ(List(IDC_PORT)->currentText(), QStringLiteral("COM1"));
    EXPECT_EQ(List(IDC_BAUD_RATE)->currentText(), QStringLiteral("115200"));
    EXPECT_EQ(List(IDC_PARITY)->currentText(), QStringLiteral("No"));
    EXPECT_EQ(List(IDC_DATA_SIZE)->currentText(), QStringLiteral("8"));
    EXPECT_EQ(List(IDC_STOP_BITS)->currentText(), QStringLiteral("1"));
    EXPECT_EQ(dlg.m_nPortIndex, 0);
    EXPECT_EQ(dlg.m_nBaudIndex, 7);
    EXPECT_EQ(dlg.m_nParityIndex, 0);
    EXPECT_EQ(dlg.m_nDataBitsIndex, 1);
    EXPECT_EQ(dlg.m_nStopBitsIndex, 0);
    ClickOk();
    ASSERT_TRUE(Confirmed());
    EXPECT_EQ(dlg.m_nPortIndex, 0);
    EXPECT_EQ(dlg.m_nBaudIndex, 7);
}

TEST_F(CommSettingsDlgTest, ChangedSelectionsReachTheFields) {
    Open({});
    List(IDC_PORT)->setCurrentIndex(15);
    List(IDC_BAUD_RATE)->setFocus();
    QTest::keyClick(List(IDC_BAUD_RATE), Qt::Key_Down);  // 9600 -> 19200
    List(IDC_PARITY)->setCurrentIndex(1);
    ClickOk();
    ASSERT_TRUE(Confirmed());
    EXPECT_EQ(dlg.m_nPortIndex, 15);
    EXPECT_EQ(dlg.m_nBaudIndex, 4);
    EXPECT_EQ(dlg.m_nParityIndex, 1);
}

TEST_F(CommSettingsDlgTest, FlowControlBitsAndBoxes) {
    Fields f;
    f.flow = 0xFF;
    Open(f);
    EXPECT_TRUE(Check(IDC_DTR_DSR)->isChecked());
    EXPECT_TRUE(Check(IDC_RTS_CTS)->isChecked());
    EXPECT_TRUE(Check(IDC_XON_XOFF)->isChecked());
    EXPECT_EQ(dlg.m_nFlowControl, 7);
    ClickOk();
    ASSERT_TRUE(Confirmed());
    EXPECT_EQ(dlg.m_nFlowControl, 7);

    struct Case {
        std::uint8_t flow;
        bool dtr, rts, xon;
    };
    for (const Case c :
         {Case{0, false, false, false}, Case{1, true, false, false}, Case{2, false, true, false},
          Case{4, false, false, true}, Case{0xF8, false, false, false}}) {
        SCOPED_TRACE(c.flow);
        CCommSettingsDlg one;
        one.m_nFlowControl = c.flow;
        one.open();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&one));
        EXPECT_EQ(FindControl<QCheckBox>(&one, IDC_DTR_DSR)->isChecked(), c.dtr);
        EXPECT_EQ(FindControl<QCheckBox>(&one, IDC_RTS_CTS)->isChecked(), c.rts);
        EXPECT_EQ(FindControl<QCheckBox>(&one, IDC_XON_XOFF)->isChecked(), c.xon);
        one.reject();
    }
}

TEST_F(CommSettingsDlgTest, ClickedBoxesMakeTheFlowBits) {
    Fields f;
    f.flow = 1;
    Open(f);
    QTest::mouseClick(Check(IDC_DTR_DSR), Qt::LeftButton, {}, QPoint(4, 4));
    QTest::mouseClick(Check(IDC_XON_XOFF), Qt::LeftButton, {}, QPoint(4, 4));
    EXPECT_FALSE(Check(IDC_DTR_DSR)->isChecked());
    EXPECT_TRUE(Check(IDC_XON_XOFF)->isChecked());
    ClickOk();
    ASSERT_TRUE(Confirmed());
    EXPECT_EQ(dlg.m_nFlowControl, 4);
}

TEST_F(CommSettingsDlgTest, UnknownModeOpensAsRtuWithTheIntervalReadOnly) {
    Fields f;
    f.mode = 5;
    Open(f);
    EXPECT_TRUE(Radio(IDC_MODE_RTU)->isChecked());
    EXPECT_FALSE(Radio(IDC_MODE_ASCII)->isChecked());
    EXPECT_TRUE(Edit(IDC_CHAR_INTERVAL)->isReadOnly());
    EXPECT_EQ(dlg.m_nMode, 5);  // only OK changes the field
    ClickOk();
    ASSERT_TRUE(Confirmed());
    EXPECT_EQ(dlg.m_nMode, 0);
}

TEST_F(CommSettingsDlgTest, AsciiOpensEditableAndModeClicksToggleTheInterval) {
    Fields f;
    f.mode = 1;
    Open(f);
    EXPECT_TRUE(Radio(IDC_MODE_ASCII)->isChecked());
    EXPECT_FALSE(Edit(IDC_CHAR_INTERVAL)->isReadOnly());
    ClickRadio(IDC_MODE_RTU);
    EXPECT_TRUE(Radio(IDC_MODE_RTU)->isChecked());
    EXPECT_FALSE(Radio(IDC_MODE_ASCII)->isChecked());
    EXPECT_TRUE(Edit(IDC_CHAR_INTERVAL)->isReadOnly());
    ClickRadio(IDC_MODE_ASCII);
    EXPECT_TRUE(Radio(IDC_MODE_ASCII)->isChecked());
    EXPECT_FALSE(Edit(IDC_CHAR_INTERVAL)->isReadOnly());
    ClickRadio(IDC_MODE_RTU);
    EXPECT_TRUE(Edit(IDC_CHAR_INTERVAL)->isReadOnly());
    // From the keyboard: an arrow moves to the other button and picks it.
    Radio(IDC_MODE_RTU)->setFocus();
    QTest::keyClick(Radio(IDC_MODE_RTU), Qt::Key_Right);
    EXPECT_TRUE(Radio(IDC_MODE_ASCII)->isChecked());
    EXPECT_FALSE(Edit(IDC_CHAR_INTERVAL)->isReadOnly());
    QTest::keyClick(Radio(IDC_MODE_ASCII), Qt::Key_Left);
    EXPECT_TRUE(Radio(IDC_MODE_RTU)->isChecked());
    EXPECT_TRUE(Edit(IDC_CHAR_INTERVAL)->isReadOnly());
    ClickOk();
    ASSERT_TRUE(Confirmed());
    EXPECT_EQ(dlg.m_nMode, 0);
}

// As the platform's dialog manager does: every arrow moves through the group in template
// order, wrapping, and checks the button it reaches.
TEST_F(CommSettingsDlgTest, EveryArrowMovesThroughTheModeGroupAndChecks) {
    Open({});
    struct Step {
        Qt::Key key;
        int checked;
    } steps[] = {{Qt::Key_Down, IDC_MODE_ASCII},  {Qt::Key_Up, IDC_MODE_RTU},
                 {Qt::Key_Right, IDC_MODE_ASCII}, {Qt::Key_Left, IDC_MODE_RTU},
                 {Qt::Key_Up, IDC_MODE_ASCII},  // wraps from the first to the last
                 {Qt::Key_Down, IDC_MODE_RTU}};
    Radio(IDC_MODE_RTU)->setFocus();
    for (const Step& s : steps) {
        QTest::keyClick(QApplication::focusWidget(), s.key);
        EXPECT_TRUE(Radio(s.checked)->isChecked()) << s.key;
        EXPECT_EQ(QApplication::focusWidget(), Radio(s.checked)) << s.key;
        EXPECT_EQ(Edit(IDC_CHAR_INTERVAL)->isReadOnly(), s.checked == IDC_MODE_RTU) << s.key;
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    ClickOk();
    ASSERT_TRUE(Confirmed());
    EXPECT_EQ(dlg.m_nMode, 1);
}

TEST_F(CommSettingsDlgTest, RtuKeepsTheOpeningIntervalWhateverTheEditShows) {
    Fields f;
    f.interval = 1500;
    Open(f);
    EXPECT_EQ(Edit(IDC_CHAR_INTERVAL)->text(), QStringLiteral("100"));
    EXPECT_EQ(dlg.m_nCharInterval, 100u);
    Edit(IDC_CHAR_INTERVAL)->setText(QStringLiteral("20"));
    ClickOk();
    ASSERT_TRUE(Confirmed());
    EXPECT_EQ(dlg.m_nMode, 0);
    EXPECT_EQ(dlg.m_nCharInterval, 100u);
}

TEST_F(CommSettingsDlgTest, LongTimesAreCorrectedOrShownAsTheyAre) {
    Fields f;
    f.timeout = 20000;
    f.scan = 10001;
    Open(f);
    EXPECT_EQ(Edit(IDC_TIMEOUT)->text(), QStringLiteral("1000"));
    EXPECT_EQ(Edit(IDC_SCAN_TIME)->text(), QStringLiteral("1000"));
    EXPECT_EQ(dlg.m_nTimeout, 1000u);
    EXPECT_EQ(dlg.m_nScanTime, 1000u);
    EXPECT_EQ(dlg.m_strTimeout, QStringLiteral("1000"));
}

TEST_F(CommSettingsDlgTest, OverlongTimeoutIsReportedUntilShortened) {
    Fields f;
    f.timeout = 10000;
    Open(f);
    EXPECT_EQ(Edit(IDC_TIMEOUT)->text(), QStringLiteral("10000"));
    for (int attempt = 0; attempt < 2; ++attempt) {
        boxes.Clear();
        List(IDC_PORT)->setFocus();
        ClickOk();
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].text, QStringLiteral("4 이하의 문자를 입력하십시오."));
        EXPECT_EQ(boxes.Boxes()[0].icon, MessageIcon::Exclamation);
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(dlg.result(), 0);
        EXPECT_EQ(QApplication::focusWidget(), Edit(IDC_TIMEOUT));
        EXPECT_EQ(Edit(IDC_TIMEOUT)->selectedText(), QStringLiteral("10000"));
        EXPECT_EQ(dlg.m_nTimeout, 10000u);
    }
    // The selection is replaced by what the user types next.
    boxes.Clear();
    QTest::keyClicks(Edit(IDC_TIMEOUT), QStringLiteral("5000"));
    EXPECT_EQ(Edit(IDC_TIMEOUT)->text(), QStringLiteral("5000"));
    ClickOk();
    ASSERT_TRUE(Confirmed());
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(dlg.m_nTimeout, 5000u);
}

TEST_F(CommSettingsDlgTest, OverlongIntervalIsReportedAndAsciiLetsItBeShortened) {
    Fields f;
    f.interval = 1000;
    Open(f);
    EXPECT_EQ(Edit(IDC_CHAR_INTERVAL)->text(), QStringLiteral("1000"));
    ClickOk();
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, TooLongMessage(3));
    EXPECT_EQ(boxes.Boxes()[0].text, QStringLiteral("3 이하의 문자를 입력하십시오."));
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(QApplication::focusWidget(), Edit(IDC_CHAR_INTERVAL));
    // Read-only in RTU: typing changes nothing.
    QTest::keyClicks(Edit(IDC_CHAR_INTERVAL), QStringLiteral("75"));
    EXPECT_EQ(Edit(IDC_CHAR_INTERVAL)->text(), QStringLiteral("1000"));
    ClickRadio(IDC_MODE_ASCII);
    Type(IDC_CHAR_INTERVAL, QStringLiteral("75"));
    ClickOk();
    ASSERT_TRUE(Confirmed());
    EXPECT_EQ(dlg.m_nMode, 1);
    EXPECT_EQ(dlg.m_nCharInterval, 75u);
}

TEST_F(CommSettingsDlgTest, KeyboardKeepsTheCapsAndDigits) {
    Fields f;
    f.mode = 1;
    Open(f);
    Type(IDC_TIMEOUT, QStringLiteral("123456"));
    Type(IDC_CHAR_INTERVAL, QStringLiteral("98765"));
    Type(IDC_SCAN_TIME, QStringLiteral("2x5-0 07"));
    EXPECT_EQ(Edit(IDC_TIMEOUT)->text(), QStringLiteral("1234"));
    EXPECT_EQ(Edit(IDC_CHAR_INTERVAL)->text(), QStringLiteral("987"));
    EXPECT_EQ(Edit(IDC_SCAN_TIME)->text(), QStringLiteral("2500"));
    ClickOk();
    ASSERT_TRUE(Confirmed());
    EXPECT_EQ(dlg.m_nTimeout, 1234u);
    EXPECT_EQ(dlg.m_nCharInterval, 987u);
    EXPECT_EQ(dlg.m_nScanTime, 2500u);
}

struct MinimumCase {
    const char* timeout;
    const char* interval;
    const char* scan;
    std::uint8_t mode;
    std::uint32_t wantTimeout, wantInterval, wantScan;
};

TEST_F(CommSettingsDlgTest, TextsBelowTheirMinimumsAreRaisedInTheFieldsOnly) {
    // The opening interval is 300, which RTU keeps.
    const MinimumCase cases[] = {
        {"", "", "", 1, 100, 50, 10},
        {"", "", "", 0, 100, 300, 10},
        {"99", "49", "9", 1, 100, 50, 10},
        {"100", "50", "10", 1, 100, 50, 10},
        {"0", "0", "0", 1, 100, 50, 10},
        {"101", "51", "11", 1, 101, 51, 11},
        {"20", "20", "20", 0, 100, 300, 20},
        {"9999", "999", "9999", 1, 9999, 999, 9999},
        {"0099", "020", "0009", 1, 100, 50, 10},
        {"0150", "070", "0015", 1, 150, 70, 15},
    };
    for (const MinimumCase& c : cases) {
        SCOPED_TRACE(std::string(c.timeout) + "/" + c.interval + "/" + c.scan + " mode " +
                     std::to_string(c.mode));
        CCommSettingsDlg one;
        one.m_nMode = c.mode;
        one.m_nTimeout = 500;
        one.m_nCharInterval = 300;
        one.m_nScanTime = 500;
        one.open();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&one));
        FindControl<QLineEdit>(&one, IDC_TIMEOUT)->setText(QString::fromUtf8(c.timeout));
        FindControl<QLineEdit>(&one, IDC_CHAR_INTERVAL)->setText(QString::fromUtf8(c.interval));
        FindControl<QLineEdit>(&one, IDC_SCAN_TIME)->setText(QString::fromUtf8(c.scan));
        QTest::mouseClick(FindControl<QPushButton>(&one, IDOK), Qt::LeftButton);
        ASSERT_EQ(one.result(), IDOK);
        EXPECT_EQ(one.m_nTimeout, c.wantTimeout);
        EXPECT_EQ(one.m_nCharInterval, c.wantInterval);
        EXPECT_EQ(one.m_nScanTime, c.wantScan);
        // The edits keep what was typed.
        EXPECT_EQ(FindControl<QLineEdit>(&one, IDC_TIMEOUT)->text(), QString::fromUtf8(c.timeout));
    }
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(CommSettingsDlgTest, EnterDoesNothingAnywhere) {
    Fields f;
    f.mode = 1;
    Open(f);
    Type(IDC_TIMEOUT, QStringLiteral("250"));
    QSignalSpy okClicks(Button(IDOK), &QPushButton::clicked);
    QList<QWidget*> targets = {&dlg};
    for (QWidget* w : dlg.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (w->focusPolicy() != Qt::NoFocus) {
            targets << w;
        }
    }
    ASSERT_EQ(targets.size(), 16);  // 5 lists, 3 boxes, 2 radios, 3 edits, 2 buttons + dialog
    for (QWidget* target : targets) {
        SCOPED_TRACE(target->objectName().toStdString());
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Return);
        QTest::keyClick(target, Qt::Key_Enter, Qt::KeypadModifier);
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(dlg.result(), 0);
    }
    EXPECT_EQ(okClicks.count(), 0);
    EXPECT_EQ(dlg.m_nTimeout, 1000u);
    EXPECT_EQ(Edit(IDC_TIMEOUT)->text(), QStringLiteral("250"));
    EXPECT_TRUE(boxes.Boxes().empty());
}

// The open list takes Enter (the highlighted item, list closed); the dialog never sees it.
TEST_F(CommSettingsDlgTest, EnterInAnOpenListPicksAndClosesOnlyTheList) {
    Open({});
    QComboBox* port = List(IDC_PORT);
    port->setFocus();
    port->showPopup();
    QAbstractItemView* view = port->view();
    ASSERT_TRUE(view->isVisible());
    QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_Down);
    EXPECT_EQ(view->currentIndex().row(), 2);
    QTest::keyClick(view, Qt::Key_Return);
    EXPECT_FALSE(view->isVisible());
    EXPECT_EQ(port->currentIndex(), 2);
    QTest::keyClick(port, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), 0);
}

TEST_F(CommSettingsDlgTest, EscapeCancelsAndModalRunReturnsTheResult) {
    Open({});
    QTest::keyClick(Edit(IDC_SCAN_TIME), Qt::Key_Escape);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), IDCANCEL);

    CCommSettingsDlg ok;
    ok.m_nPortIndex = 2;
    ok.m_nTimeout = 700;
    QTimer::singleShot(0, &ok, [&ok] {
        FindControl<QComboBox>(&ok, IDC_PORT)->setCurrentIndex(9);
        QTest::mouseClick(FindControl<QPushButton>(&ok, IDOK), Qt::LeftButton);
    });
    EXPECT_EQ(ok.exec(), IDOK);
    EXPECT_EQ(ok.m_nPortIndex, 9);
    EXPECT_EQ(ok.m_nTimeout, 700u);

    CCommSettingsDlg cancel;
    QTimer::singleShot(0, &cancel, [&cancel] {
        QTest::mouseClick(FindControl<QPushButton>(&cancel, IDCANCEL), Qt::LeftButton);
    });
    EXPECT_EQ(cancel.exec(), IDCANCEL);
}

// Sets or clears one environment variable for a test and puts it back afterwards.
class CScopedEnv {
public:
    CScopedEnv(const char* name, const char* value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name)) {
        if (value != nullptr) {
            qputenv(name, value);
        } else {
            qunsetenv(name);
        }
    }
    ~CScopedEnv() {
        if (m_had) {
            qputenv(m_name, m_old);
        } else {
            qunsetenv(m_name);
        }
    }

private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

TEST_F(CommSettingsDlgTest, PortTooltipsNameTheDeviceAndWhetherItIsThere) {
    CScopedEnv com1("VORNAK_COM1", "/dev/null");
    CScopedEnv com2("VORNAK_COM2", "/nonexistent/vornak-port");
    CScopedEnv com3("VORNAK_COM3", nullptr);
    CScopedEnv com4("VORNAK_COM4", nullptr);
    CScopedEnv com5("VORNAK_COM5", "socket://127.0.0.1:4001?echo");
    CScopedEnv com6("VORNAK_COM6", "/dev/null?rs485");
    CScopedEnv com7("VORNAK_COM7", "tcp://127.0.0.1:5020");
    CScopedEnv com8("VORNAK_COM8", "udp://127.0.0.1");
    RescanSerialDevices("/nonexistent-vornak-root");
    InstallPortResolver([](int port) -> std::optional<std::string> {
        if (port == 4) {
            return std::string("/dev/vornak-mapped-nowhere");
        }
        return std::nullopt;
    });
    Open({});
    InstallPortResolver({});
    RescanSerialDevices();
    QComboBox* port = List(IDC_PORT);
    auto tip = [port](int index) { return port->itemData(index, Qt::ToolTipRole).toString(); };
    EXPECT_EQ(tip(0), QStringLiteral("COM1 → /dev/null (VORNAK_COM1, present)"));
    EXPECT_EQ(tip(1), QStringLiteral("COM2 → /nonexistent/vornak-port (VORNAK_COM2, not present)"));
    EXPECT_TRUE(tip(2).startsWith(QStringLiteral("COM3 → /dev/ttyS2 (default, ")))
        << tip(2).toStdString();
    EXPECT_EQ(tip(3), QStringLiteral("COM4 → /dev/vornak-mapped-nowhere (Port Map, not present)"));
    EXPECT_EQ(tip(4), QStringLiteral("COM5 → socket://127.0.0.1:4001?echo (VORNAK_COM5, line "
                                     "settings set on the server)"));
    EXPECT_EQ(tip(5), QStringLiteral("COM6 → /dev/null?rs485 (VORNAK_COM6, present, RS-485: "
                                     "direction control known after the first open)"));
    const QString unused = QStringLiteral(
        ", line settings do not apply: bit rate, parity, data "
        "size, stop bits, flow control, mode, character interval)");
    EXPECT_EQ(tip(6), "COM7 → tcp://127.0.0.1:5020 (VORNAK_COM7, Modbus TCP" + unused);
    EXPECT_EQ(tip(7), "COM8 → udp://127.0.0.1 (VORNAK_COM8, Modbus UDP" + unused);
    for (int i = 0; i < port->count(); ++i) {
        EXPECT_TRUE(tip(i).startsWith(QStringLiteral("COM%1 → ").arg(i + 1)));
    }
}

}  // namespace
