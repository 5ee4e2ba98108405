// Tab walks the tab stops of every window in template order and wraps; nothing else is
// reached, neither the mode buttons (arrows serve them) nor the lines of the value list.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <functional>
#include <memory>

#include "app/AboutDlg.h"
#include "app/CommSettingsDlg.h"
#include "app/WriteValueDlg.h"
#include "app/resources/ControlIds.h"
#include "framework/CommandIds.h"
#include "framework/ControlLookup.h"
#include "scan/ResponseListCtrl.h"
#include "scan/VornakView.h"

namespace {

struct Window {
    const char* name;
    std::function<std::unique_ptr<QWidget>()> make;
    std::vector<int> stops;
};

TEST(TabOrder, FollowsTheTemplates) {
    const Window windows[] = {
        {"about", [] { return std::make_unique<CAboutDlg>(); }, {IDOK}},
        {"write",
         [] { return std::make_unique<CWriteValueDlg>(); },
         {IDOK, IDCANCEL, IDC_WRITE_FUNCTION, IDC_WRITE_ADDRESS, IDC_WRITE_VALUE}},
        {"settings",
         [] { return std::make_unique<CCommSettingsDlg>(); },
         {IDC_PORT, IDC_BAUD_RATE, IDC_STOP_BITS, IDC_PARITY, IDC_DATA_SIZE, IDC_DTR_DSR,
          IDC_RTS_CTS, IDC_XON_XOFF, IDC_TIMEOUT, IDC_CHAR_INTERVAL, IDC_SCAN_TIME, IDOK,
          IDCANCEL}},
        {"form",
         [] {
             auto view = std::make_unique<CVornakView>();
             view->List()->SetupColumns();
             view->List()->InsertItem(0, QStringLiteral("line 0"));
             view->List()->InsertItem(1, QStringLiteral("line 1"));
             return view;
         },
         {IDC_SLAVE_ID, IDC_FUNCTION, IDC_ADDR_HEX, IDC_ADDR_DEC, IDC_QUANTITY, IDC_TEST_MODE,
          IDC_INC_CH1, IDC_INC_CH2, IDC_RESPONSE_LIST}},
    };
    for (const Window& w : windows) {
        SCOPED_TRACE(w.name);
        std::unique_ptr<QWidget> window = w.make();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        FindControl<QWidget>(window.get(), w.stops.front())->setFocus();
        std::vector<int> visited;
        for (std::size_t i = 0; i <= w.stops.size(); ++i) {
            visited.push_back(ControlId(QApplication::focusWidget()));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        std::vector<int> expected = w.stops;
        expected.push_back(w.stops.front());
        EXPECT_EQ(visited, expected);
    }
    // A mode button that got the focus by a click hands Tab on to the next stop.
    CCommSettingsDlg dlg;
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    QWidget* ascii = FindControl<QWidget>(&dlg, IDC_MODE_ASCII);
    QTest::mouseClick(ascii, Qt::LeftButton);
    EXPECT_EQ(QApplication::focusWidget(), ascii);
    QTest::keyClick(ascii, Qt::Key_Tab);
    EXPECT_EQ(ControlId(QApplication::focusWidget()), IDC_TIMEOUT);
}

}  // namespace
