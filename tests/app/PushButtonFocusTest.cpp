// The keyboard cues of push buttons as the shown dialogs paint them, at opening and as Tab
// moves the focus: the dark default frame and the dotted focus rectangle.
#include <gtest/gtest.h>

#include <QApplication>
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

// "frame": the outer ring is wholly 3-D dark shadow; "dots": the ring three pixels in has the
// button text colour on every other pixel from its corner, and only there.
std::string MarksOf(QDialog& dlg, int id) {
    const QImage img = GrabPainted(*FindControl<QPushButton>(&dlg, id));
    const auto ring = [&](int in, COLORREF colour, int parity) {
        const QRect r = img.rect().adjusted(in, in, -in, -in);
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x <= r.right(); ++x) {
                const bool edge =
                    x == r.left() || x == r.right() || y == r.top() || y == r.bottom();
                const bool on = parity < 0 || ((x - r.left() + y - r.top()) & 1) == parity;
                if (edge && (RefFromColor(img.pixelColor(x, y)) == colour) != on) {
                    return false;
                }
            }
        }
        return true;
    };
    return std::string(ring(0, GetSysColor(COLOR_3DDKSHADOW), -1) ? "frame " : "") +
           (ring(1 + CPushButtonStyle::kFocusInset, GetSysColor(COLOR_BTNTEXT), 0) ? "dots" : "");
}

TEST(PushButtonFocus, TheMarksFollowTheFocusInEveryDialog) {
    CSysColorPaletteScope pin(ClassicSysColorPalette());
    CAboutDlg about;
    CWriteValueDlg write;
    CCommSettingsDlg settings;
    // OK has the focus at opening; the settings dialog's port list has it there.
    const struct {
        QDialog* dlg;
        const char* ok[4];
        const char* cancel[4];
    } dialogs[] = {{&about, {"frame dots", "frame dots"}, {}},
                   {&write, {"frame dots", ""}, {"", "frame dots"}},
                   {&settings, {"frame ", "frame dots", "", "frame "}, {"", "", "frame dots", ""}}};
    for (const auto& d : dialogs) {
        d.dlg->open();
        ASSERT_TRUE(QTest::qWaitForWindowActive(d.dlg));
        for (int step = 0; step < 4 && d.ok[step] != nullptr; ++step) {
            SCOPED_TRACE(d.dlg->windowTitle().toStdString() + " step " + std::to_string(step));
            EXPECT_EQ(MarksOf(*d.dlg, IDOK), d.ok[step]);
            if (d.cancel[0] != nullptr) {
                EXPECT_EQ(MarksOf(*d.dlg, IDCANCEL), d.cancel[step]);
            }
            // From the last stop before the buttons on; the third Tab comes back to the list.
            if (d.dlg == &settings && step == 0) {
                FindControl<QWidget>(&settings, IDC_SCAN_TIME)->setFocus();
            }
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        d.dlg->close();
    }
}

}  // namespace
