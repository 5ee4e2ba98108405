// Read-only edits show on the button face, as the platform draws them, and follow a change of
// the state at once (checked on what the window really painted).
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>

#include "app/CommSettingsDlg.h"
#include "app/WriteValueDlg.h"
#include "app/resources/ControlIds.h"
#include "framework/ControlLookup.h"
#include "tests/support/WindowGrab.h"

namespace {

// The colour inside the edit's frame, right of any text.
QColor Inside(QWidget* dlg, int id) {
    auto* edit = FindControl<QLineEdit>(dlg, id);
    return GrabPainted(*edit).pixelColor(edit->width() - 5, edit->height() / 2);
}

TEST(ReadOnlyLook, EditsShowTheButtonFaceWhileReadOnly) {
    CWriteValueDlg write;
    write.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&write));
    const QColor face = write.palette().color(QPalette::Button);
    const QColor base = write.palette().color(QPalette::Base);
    ASSERT_NE(face, base);
    EXPECT_EQ(Inside(&write, IDC_WRITE_FUNCTION), face);
    EXPECT_EQ(Inside(&write, IDC_WRITE_ADDRESS), face);
    EXPECT_EQ(Inside(&write, IDC_WRITE_VALUE), base);

    CCommSettingsDlg settings;
    settings.m_nMode = 0;
    settings.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&settings));
    EXPECT_EQ(Inside(&settings, IDC_CHAR_INTERVAL), face);
    EXPECT_EQ(Inside(&settings, IDC_TIMEOUT), base);
    QTest::mouseClick(FindControl<QWidget>(&settings, IDC_MODE_ASCII), Qt::LeftButton);
    EXPECT_EQ(Inside(&settings, IDC_CHAR_INTERVAL), base);
    QTest::mouseClick(FindControl<QWidget>(&settings, IDC_MODE_RTU), Qt::LeftButton);
    EXPECT_EQ(Inside(&settings, IDC_CHAR_INTERVAL), face);
}

}  // namespace
