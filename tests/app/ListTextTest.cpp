// Every entry of every drop-down list shows whole, in the closed box and in the open list, as
// the shown window painted it: the ink is as tall as the text drawn freely with the same font,
// and keeps a clear row inside the item rectangle above and below it.
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

// The first and last rows of `area` holding a pixel other than `fill`; {-1, -1} for none.
std::pair<int, int> InkRows(const QImage& img, const QRect& area, QRgb fill) {
    std::pair<int, int> rows{-1, -1};
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if ((img.pixel(x, y) & 0xFFFFFF) != (fill & 0xFFFFFF)) {
                rows = {rows.first < 0 ? y : rows.first, y};
                break;
            }
        }
    }
    return rows;
}

int FreeInkHeight(const QString& text, const QFont& font) {
    QImage img(800, 100, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter painter(&img);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QPoint(10, 60), text);
    painter.end();
    const auto [top, bottom] = InkRows(img, img.rect(), QColor(Qt::white).rgb());
    return bottom - top + 1;
}

void ExpectWhole(const QImage& img, const QRect& item, QRgb fill, const QString& text,
                 const QFont& font) {
    SCOPED_TRACE(text.toStdString());
    const auto [top, bottom] = InkRows(img, item, fill);
    ASSERT_GE(top, 0);
    EXPECT_EQ(bottom - top + 1, FreeInkHeight(text, font));
    EXPECT_GT(top, item.top());
    EXPECT_LT(bottom, item.bottom());
}

void ExpectEveryEntryWhole(COXHotComboBox* combo) {
    ASSERT_NE(combo, nullptr);
    SCOPED_TRACE(ControlId(combo));
    const CRect btn = combo->GetButtonRect();
    const QRect field(3, 3, btn.left - 1 - 3, combo->height() - 6);
    for (int i = 0; i < combo->count(); ++i) {
        combo->setCurrentIndex(i);
        ExpectWhole(GrabPainted(*combo), field, ColorFromRef(GetSysColor(COLOR_WINDOW)).rgb(),
                    combo->itemText(i), combo->font());
    }
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    for (int i = 0; i < combo->count(); ++i) {
        // The current row is the highlighted one, scrolled into view.
        view->setCurrentIndex(combo->model()->index(i, 0));
        ExpectWhole(GrabPainted(*view->viewport()), view->visualRect(view->currentIndex()),
                    ColorFromRef(GetSysColor(COLOR_HIGHLIGHT)).rgb(), combo->itemText(i),
                    combo->font());
    }
    combo->hidePopup();
}

TEST(ListText, EveryEntryOfEveryListShowsWhole) {
    CTempConfigHome home;
    CVornakApp app;
    ASSERT_TRUE(app.InitInstance());
    QCursor::setPos(QPoint(2000, 2000));
    CVornakView* view = app.View();
    view->window()->show();
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
