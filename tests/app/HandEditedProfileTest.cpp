#include <gtest/gtest.h>

#include <QFile>

#include "app/MainFrame.h"
#include "app/VornakApp.h"
#include "controls/OXStatusBar.h"
#include "framework/CommandIds.h"
#include "framework/CommandRouter.h"
#include "framework/MessageBoxRecorder.h"
#include "scan/VornakView.h"
#include "tests/support/TempConfigHome.h"

// A settings file as a person left it: out-of-range values show in the panes' formats, the
// port they name is refused rather than another one opened, and closing saves without a
// false complaint while every line the person wrote stays as it was.
TEST(HandEditedProfile, ClosingKeepsEveryLineAndComplainsOfNothing) {
    CTempConfigHome home;
    const QByteArray before =
        "\xEF\xBB\xBF# bench\r\n[main env]\r\nCOM Port=255\r\nScan Time=-1\r\nnot a setting\r\n"
        "[Port Map\r\nCOM1=/dev/null\r\n; end\r\n";
    ASSERT_TRUE(home.WriteIni(before));
    CMessageBoxRecorder boxes;
    {
        CVornakApp app;
        ASSERT_TRUE(app.InitInstance());
        COXStatusBar* bar = app.MainFrame()->StatusBar();
        EXPECT_EQ(bar->GetPaneText(bar->CommandToIndex(ID_INDICATOR_PORT)), "COM256");
        EXPECT_EQ(bar->GetPaneText(bar->CommandToIndex(ID_INDICATOR_SCAN_TIME)),
                  "Scan Time : -1ms");
        app.View()->OnScanStart();
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].text, QString::fromUtf8("통신 포트를 여는데 실패했읍니다."));
        EXPECT_TRUE(boxes.Boxes()[0].detail.startsWith("COM256"))
            << boxes.Boxes()[0].detail.toStdString();
        app.Router()->Execute(ID_APP_EXIT);
    }
    EXPECT_EQ(boxes.Boxes().size(), 1u);
    QFile ini(home.IniPath());
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QByteArray after = ini.readAll();
    // The person's lines in their order; new values after the section's last entry.
    EXPECT_TRUE(after.startsWith(
        "\xEF\xBB\xBF# bench\r\n[main env]\r\nCOM Port=255\r\nScan Time=-1\r\nCOM%20Bps=3\r\n"))
        << after.constData();
    EXPECT_TRUE(
        after.contains("Silent%20Time=100\r\nnot a setting\r\n[Port Map\r\nCOM1=/dev/null\r\n; "
                       "end\r\n\r\n[ModBus%20Env]\r\nSalve%20ID=1\r\n"))
        << after.constData();
}
