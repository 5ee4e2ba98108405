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
    const QByteArray before = "# bench\n[main env]\nCOM Port=255\nScan Time=-1\nnot a setting\n";
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
    // The person's lines and values as they were; new ones after the section's last entry.
    const QByteArray after = ini.readAll();
    EXPECT_TRUE(after.startsWith("# bench\n[main env]\nCOM Port=255\nScan Time=-1\nCOM%20Bps=3\n"))
        << after.constData();
    EXPECT_TRUE(after.contains("=100\nnot a setting\n\n[ModBus%20Env]\n")) << after.constData();
}

// A settings file that cannot be read opens no port, and it is not saved over at close even
// when it can be read by then, since the values shown were defaults.
TEST(HandEditedProfile, UnreadableFileOpensNoPortAndIsNotSavedOver) {
    CTempConfigHome home;
    ASSERT_TRUE(home.WriteIni(QByteArray(2 * 1024 * 1024, '#')));
    const QString why = "larger than 1 MB (1048576 bytes), the most a settings file may hold";
    const QByteArray kept = "[Main Env]\nScan Time=250\n";
    CMessageBoxRecorder boxes;
    {
        CVornakApp app;
        ASSERT_TRUE(app.InitInstance());
        app.View()->OnScanStart();
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].detail, "COM1: the settings file " + home.IniPath() +
                                               " cannot be read: " + why +
                                               "; without its Port Map no device is chosen");
        ASSERT_TRUE(home.WriteIni(kept));
        app.Router()->Execute(ID_APP_EXIT);
    }
    ASSERT_EQ(boxes.Boxes().size(), 2u);
    EXPECT_EQ(boxes.Boxes()[1].text, QString::fromUtf8("설정을 저장하지 못했습니다."));
    EXPECT_EQ(boxes.Boxes()[1].detail,
              home.IniPath() + ": could not be read at start, so it is left as it was: " + why);
    QFile ini(home.IniPath());
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_EQ(ini.readAll(), kept);
}
