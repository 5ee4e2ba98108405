#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "app/CommSettingsDlg.h"
#include "app/resources/ControlIds.h"
#include "framework/CommandIds.h"
#include "framework/ControlLookup.h"
#include "framework/MessageBoxRecorder.h"

namespace {

struct Fields {
    std::uint8_t port = 0, baud = 3, stop = 0, parity = 0, data = 1, flow = 0, mode = 0;
    std::uint32_t timeout = 1000, interval = 100, scan = 1000;
};

// A dialog opened (shown, so its opening steps ran) over the given fields.
class Opened {
public:
    explicit Opened(const Fields& f) {
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
        dlg.show();
        QApplication::processEvents();
    }
    template <class T>
    T* Get(int id) {
        return FindControl<T>(&dlg, id);
    }
    QString Selected(int id) { return Get<QComboBox>(id)->currentText(); }
    QLineEdit* Edit(int id) { return Get<QLineEdit>(id); }
    void SetText(int id, const QString& text) { Edit(id)->setText(text); }

    CCommSettingsDlg dlg;
};

}  // namespace

TEST(CommSettingsDlg, OpensOnTheFieldsAndReturnsThem) {
    Opened o({.stop = 1, .parity = 2, .data = 0});
    EXPECT_EQ(o.dlg.windowTitle(), QString::fromUtf8("통신 설정 환경"));
    EXPECT_EQ(o.Selected(IDC_STOP_BITS), "2");
    EXPECT_EQ(o.Selected(IDC_PARITY), "Odd");
    EXPECT_EQ(o.Selected(IDC_DATA_SIZE), "7");
    EXPECT_EQ(QApplication::focusWidget(), o.Get<QComboBox>(IDC_PORT));
    o.dlg.OnOK();
    EXPECT_EQ(o.dlg.result(), IDOK);
    EXPECT_EQ(o.dlg.m_nStopBitsIndex, 1);
    EXPECT_EQ(o.dlg.m_nParityIndex, 2);
    EXPECT_EQ(o.dlg.m_nDataBitsIndex, 0);
    EXPECT_EQ(o.dlg.m_nBaudIndex, 3);
    EXPECT_EQ(o.dlg.m_nTimeout, 1000u);
    EXPECT_EQ(o.dlg.m_nScanTime, 1000u);
}

TEST(CommSettingsDlg, OutOfRangeIndexesAreCorrectedSilently) {
    Opened o({.port = 16, .baud = 9, .stop = 2, .parity = 3, .data = 2, .flow = 0xFF});
    EXPECT_EQ(o.Selected(IDC_PORT), "COM1");
    EXPECT_EQ(o.Selected(IDC_BAUD_RATE), "115200");
    EXPECT_EQ(o.Selected(IDC_PARITY), "No");
    EXPECT_EQ(o.Selected(IDC_DATA_SIZE), "8");
    EXPECT_EQ(o.Selected(IDC_STOP_BITS), "1");
    EXPECT_TRUE(o.Get<QCheckBox>(IDC_DTR_DSR)->isChecked());
    EXPECT_TRUE(o.Get<QCheckBox>(IDC_RTS_CTS)->isChecked());
    EXPECT_TRUE(o.Get<QCheckBox>(IDC_XON_XOFF)->isChecked());
    EXPECT_EQ(o.dlg.m_nFlowControl, 7);
    o.Get<QCheckBox>(IDC_RTS_CTS)->setChecked(false);
    o.dlg.OnOK();
    EXPECT_EQ(o.dlg.m_nFlowControl, 5);
    EXPECT_EQ(o.dlg.m_nPortIndex, 0);
    EXPECT_EQ(o.dlg.m_nBaudIndex, 7);
}

TEST(CommSettingsDlg, RtuKeepsTheIntervalAndItsEditReadOnly) {
    Opened o({.mode = 5, .interval = 1500});
    EXPECT_TRUE(o.Get<QRadioButton>(IDC_MODE_RTU)->isChecked());
    EXPECT_TRUE(o.Edit(IDC_CHAR_INTERVAL)->isReadOnly());
    EXPECT_EQ(o.Edit(IDC_CHAR_INTERVAL)->text(), "100");
    o.SetText(IDC_CHAR_INTERVAL, "20");
    o.dlg.OnOK();
    EXPECT_EQ(o.dlg.m_nMode, 0);
    EXPECT_EQ(o.dlg.m_nCharInterval, 100u);
}

TEST(CommSettingsDlg, ModeButtonsToggleTheIntervalEdit) {
    Opened o({});
    QTest::mouseClick(o.Get<QRadioButton>(IDC_MODE_ASCII), Qt::LeftButton);
    EXPECT_FALSE(o.Edit(IDC_CHAR_INTERVAL)->isReadOnly());
    QTest::mouseClick(o.Get<QRadioButton>(IDC_MODE_RTU), Qt::LeftButton);
    EXPECT_TRUE(o.Edit(IDC_CHAR_INTERVAL)->isReadOnly());
    // From the keyboard: the arrow moves to ASCII and selects it.
    o.Get<QRadioButton>(IDC_MODE_RTU)->setFocus();
    QTest::keyClick(o.Get<QRadioButton>(IDC_MODE_RTU), Qt::Key_Right);
    EXPECT_TRUE(o.Get<QRadioButton>(IDC_MODE_ASCII)->isChecked());
    EXPECT_FALSE(o.Edit(IDC_CHAR_INTERVAL)->isReadOnly());
}

TEST(CommSettingsDlg, TooLongOpeningTextsKeepTheDialogOpen) {
    {
        Opened o({.timeout = 20000});
        EXPECT_EQ(o.Edit(IDC_TIMEOUT)->text(), "1000");
    }
    CMessageBoxRecorder boxes;
    Opened o({.mode = 1, .timeout = 10000, .interval = 1000});
    EXPECT_EQ(o.Edit(IDC_TIMEOUT)->text(), "10000");
    o.dlg.OnOK();
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, QString::fromUtf8("4 이하의 문자를 입력하십시오."));
    EXPECT_EQ(boxes.Boxes()[0].icon, MessageIcon::Exclamation);
    EXPECT_TRUE(o.dlg.isVisible());
    EXPECT_EQ(QApplication::focusWidget(), o.Edit(IDC_TIMEOUT));
    EXPECT_EQ(o.Edit(IDC_TIMEOUT)->selectedText(), "10000");

    o.SetText(IDC_TIMEOUT, "500");
    boxes.Clear();
    o.dlg.OnOK();
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, QString::fromUtf8("3 이하의 문자를 입력하십시오."));
    o.SetText(IDC_CHAR_INTERVAL, "250");
    o.dlg.OnOK();
    EXPECT_EQ(o.dlg.result(), IDOK);
    EXPECT_EQ(o.dlg.m_nTimeout, 500u);
    EXPECT_EQ(o.dlg.m_nCharInterval, 250u);
}

TEST(CommSettingsDlg, TextsBelowTheirMinimumsAreRaised) {
    Opened ascii({.mode = 1});
    ascii.SetText(IDC_TIMEOUT, "");
    ascii.SetText(IDC_SCAN_TIME, "");
    ascii.SetText(IDC_CHAR_INTERVAL, "");
    ascii.dlg.OnOK();
    EXPECT_EQ(ascii.dlg.m_nTimeout, 100u);
    EXPECT_EQ(ascii.dlg.m_nScanTime, 10u);
    EXPECT_EQ(ascii.dlg.m_nCharInterval, 50u);
    EXPECT_EQ(ascii.dlg.m_nMode, 1);

    Opened o({.mode = 1});
    o.SetText(IDC_TIMEOUT, "99");
    o.SetText(IDC_CHAR_INTERVAL, "20");
    o.dlg.OnOK();
    EXPECT_EQ(o.dlg.m_nTimeout, 100u);
    EXPECT_EQ(o.dlg.m_nCharInterval, 50u);
    Opened hundred({});
    hundred.SetText(IDC_TIMEOUT, "100");
    hundred.dlg.OnOK();
    EXPECT_EQ(hundred.dlg.m_nTimeout, 100u);
}

TEST(CommSettingsDlg, EnterDoesNothingAnywhereAndEscapeCancels) {
    Opened o({});
    for (int id : {IDC_PORT, IDC_TIMEOUT, IDC_DTR_DSR, IDOK}) {
        QWidget* w = FindControl(&o.dlg, id);
        w->setFocus();
        QTest::keyClick(w, Qt::Key_Return);
        QTest::keyClick(w, Qt::Key_Enter);
        EXPECT_TRUE(o.dlg.isVisible()) << id;
        EXPECT_EQ(o.dlg.result(), 0) << id;
    }
    QTest::keyClick(o.Edit(IDC_TIMEOUT), Qt::Key_Escape);
    EXPECT_FALSE(o.dlg.isVisible());
    EXPECT_EQ(o.dlg.result(), IDCANCEL);
}

TEST(CommSettingsDlg, PortTooltipsNameTheDevice) {
    qputenv("VORNAK_COM2", "/tmp/vornak-test-no-such-port");
    Opened o({});
    const QString tip = o.Get<QComboBox>(IDC_PORT)->itemData(1, Qt::ToolTipRole).toString();
    EXPECT_TRUE(tip.contains("/tmp/vornak-test-no-such-port")) << tip.toStdString();
    EXPECT_TRUE(tip.contains("VORNAK_COM2"));
    EXPECT_TRUE(tip.contains("not present"));
    qunsetenv("VORNAK_COM2");
    EXPECT_EQ(o.Get<QComboBox>(IDC_PORT)->itemText(15), "COM16");
}
