// Every entry of every drop-down list shows whole, closed and open, as the shown window painted
// it: its ink as tall as the text drawn freely in the same font, clear rows above and below.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QCursor>
#include <QPainter>
#include <QTest>

#include "app/CommSettingsDlg.h"
#include "app/VornakApp.h"
#include "app/resources/ControlIds.h"
#include "controls/OXHotComboBox.h"
#include "framework/ControlLookup.h"
#include "scan/VornakView.h"
#include "tests/support/TempConfigHome.h"
#include "tests/support/WindowGrab.h"

namespace {

// The first and last rows of `area` with a pixel other than `fill`; {-1, -1} for none.
std::pair<int, int> InkRows(const QImage& img, const QRect& area, QColor fill) {
    std::pair<int, int> rows{-1, -1};
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (img.pixelColor(x, y).rgb() != fill.rgb()) {
                rows = {rows.first < 0 ? y : rows.first, y};
                break;
            }
        }
    }
    return rows;
}

void ExpectWhole(const QImage& img, const QRect& item, int fill, const QComboBox& combo, int i) {
    SCOPED_TRACE(combo.itemText(i).toStdString());
    QImage free(800, 100, QImage::Format_RGB32);
    free.fill(Qt::white);
    QPainter painter(&free);
    painter.setFont(combo.font());
    painter.drawText(QPoint(10, 60), combo.itemText(i));
    painter.end();
    const auto [freeTop, freeBottom] = InkRows(free, free.rect(), Qt::white);
    const auto [top, bottom] = InkRows(img, item, ColorFromRef(GetSysColor(fill)));
    ASSERT_GE(top, 0);
    EXPECT_EQ(bottom - top, freeBottom - freeTop);
    EXPECT_GT(top, item.top());
    EXPECT_LT(bottom, item.bottom());
}

void ExpectEveryEntryWhole(COXHotComboBox* combo) {
    SCOPED_TRACE(ControlId(combo));
    const QRect field(3, 3, combo->GetButtonRect().left - 4, combo->height() - 6);
    for (int i = 0; i < combo->count(); ++i) {
        combo->setCurrentIndex(i);
        ExpectWhole(GrabPainted(*combo), field, COLOR_WINDOW, *combo, i);
    }
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    for (int i = 0; i < combo->count(); ++i) {
        // The current row is the highlighted one, scrolled into view.
        view->setCurrentIndex(combo->model()->index(i, 0));
        ExpectWhole(GrabPainted(*view->viewport()), view->visualRect(view->currentIndex()),
                    COLOR_HIGHLIGHT, *combo, i);
    }
    combo->hidePopup();
}

TEST(ListText, EveryEntryOfEveryListShowsWhole) {
    CTempConfigHome home;
    CVornakApp app;
    ASSERT_TRUE(app.InitInstance());
    QCursor::setPos(QPoint(2000, 2000));
    CVornakView* view = app.View();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view->window()));
    FindControl<QWidget>(view, IDC_SLAVE_ID)->setFocus();
    ExpectEveryEntryWhole(FindControl<COXHotComboBox>(view, IDC_FUNCTION));

    CCommSettingsDlg settings;
    settings.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&settings));
    FindControl<QWidget>(&settings, IDC_TIMEOUT)->setFocus();
    for (int id : {IDC_PORT, IDC_BAUD_RATE, IDC_STOP_BITS, IDC_PARITY, IDC_DATA_SIZE}) {
        ExpectEveryEntryWhole(FindControl<COXHotComboBox>(&settings, id));
    }
}

}  // namespace
