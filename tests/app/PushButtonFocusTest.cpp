// The keyboard cues of push buttons as the shown dialogs paint them: the dark default frame
// and the dotted focus rectangle, at opening and as Tab moves the focus.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTest>

#include "app/AboutDlg.h"
#include "app/CommSettingsDlg.h"
#include "app/WriteValueDlg.h"
#include "app/resources/ControlIds.h"
#include "framework/CommandIds.h"
#include "framework/ControlLookup.h"
#include "framework/Gdi.h"
#include "framework/PushButtonStyle.h"
#include "tests/support/WindowGrab.h"

namespace {

// "frame": the outer ring is wholly 3-D dark shadow; "dots": every other pixel of the ring
// three pixels in carries the button text colour, the others not.
std::string MarksOf(QDialog& dlg, int id) {
    QPushButton* button = FindControl<QPushButton>(&dlg, id);
    const QImage img = GrabPainted(*button);
    const auto ringCount = [&](int inset, COLORREF colour, int parity) {
        const QRect ring = img.rect().adjusted(inset, inset, -inset, -inset);
        int n = 0;
        for (int y = ring.top(); y <= ring.bottom(); ++y) {
            for (int x = ring.left(); x <= ring.right(); ++x) {
                const bool edge =
                    x == ring.left() || x == ring.right() || y == ring.top() || y == ring.bottom();
                const bool even = ((x - ring.left() + y - ring.top()) & 1) == 0;
                const bool counted = parity < 0 || even == (parity == 0);
                n += edge && counted && RefFromColor(img.pixelColor(x, y)) == colour ? 1 : 0;
            }
        }
        return n;
    };
    const int outer = 2 * (img.width() + img.height()) - 4;
    const int inset = 1 + CPushButtonStyle::kFocusInset;
    const int ring = 2 * (img.width() + img.height() - 4 * inset) - 4;
    std::string marks;
    if (ringCount(0, GetSysColor(COLOR_3DDKSHADOW), -1) == outer) {
        marks += "frame ";
    }
    const COLORREF text = GetSysColor(COLOR_BTNTEXT);
    if (ringCount(inset, text, 0) == (ring + 1) / 2 && ringCount(inset, text, 1) == 0) {
        marks += "dots";
    }
    return marks;
}

void Tab() {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
}

class PushButtonFocusTest : public ::testing::Test {
protected:
    void Open(QDialog& dlg) {
        dlg.open();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    }
    CSysColorPaletteScope m_pin{ClassicSysColorPalette()};
};

TEST_F(PushButtonFocusTest, OkOpensFocusedAndTabMovesBothMarks) {
    CAboutDlg about;
    Open(about);
    EXPECT_EQ(MarksOf(about, IDOK), "frame dots");
    Tab();
    EXPECT_EQ(MarksOf(about, IDOK), "frame dots");

    CWriteValueDlg write;
    Open(write);
    EXPECT_EQ(MarksOf(write, IDOK), "frame dots");
    EXPECT_EQ(MarksOf(write, IDCANCEL), "");
    Tab();
    EXPECT_EQ(MarksOf(write, IDOK), "");
    EXPECT_EQ(MarksOf(write, IDCANCEL), "frame dots");
}

// The port list has the focus at opening; the frame goes back to OK when the focus leaves
// the buttons.
TEST_F(PushButtonFocusTest, SettingsDefaultFollowsTheFocusedButtonOnly) {
    CCommSettingsDlg settings;
    Open(settings);
    EXPECT_EQ(MarksOf(settings, IDOK), "frame ");
    EXPECT_EQ(MarksOf(settings, IDCANCEL), "");
    FindControl<QWidget>(&settings, IDC_SCAN_TIME)->setFocus();
    Tab();
    EXPECT_EQ(MarksOf(settings, IDOK), "frame dots");
    Tab();
    EXPECT_EQ(MarksOf(settings, IDOK), "");
    EXPECT_EQ(MarksOf(settings, IDCANCEL), "frame dots");
    Tab();
    EXPECT_EQ(ControlId(QApplication::focusWidget()), IDC_PORT);
    EXPECT_EQ(MarksOf(settings, IDOK), "frame ");
    EXPECT_EQ(MarksOf(settings, IDCANCEL), "");
}

}  // namespace
