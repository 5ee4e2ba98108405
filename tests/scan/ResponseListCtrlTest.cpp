#include "scan/ResponseListCtrl.h"

#include <QApplication>
#include <QEvent>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QPaintEvent>
#include <QRegion>
#include <QScreen>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "scan/ResponseLines.h"
#include "scan/Settings.h"
#include "tests/scan/QStringPrinter.h"
#include "tests/support/WindowGrab.h"

namespace {

std::vector<std::uint16_t> Values(int count, int seed) {
    std::vector<std::uint16_t> v;
    for (int i = 0; i < count; ++i)
        v.push_back(static_cast<std::uint16_t>(seed * 31 + i * 7));
    return v;
}

// The rebuild done the long way, line by line deleted and inserted again, on the same control:
// what the in-place replacement must look like.
void RebuildByDeleteAndInsert(CResponseListCtrl& list, const std::vector<std::uint16_t>& values,
                              int quantity) {
    const int mark = list.SelectionMark();
    const int oldCount = list.Count();
    list.SetRedraw(false);
    for (int i = 0; i < quantity; ++i) {
        const QString line =
            FormatResponseLine(0, i, kReferenceBaseHolding, values[static_cast<std::size_t>(i)]);
        if (i < list.Count())
            list.DeleteItem(i);
        list.InsertItem(i, line);
    }
    for (int surplus = oldCount - quantity; surplus > 0; --surplus)
        list.DeleteItem(quantity);
    if (mark > 0 && mark < list.Count())
        list.SetSelectionMark(mark);
    FinishResponseListUpdate(list);
}

struct Shown {
    std::unique_ptr<CResponseListCtrl> list = std::make_unique<CResponseListCtrl>();
    Shown() {
        list->SetupColumns();
        list->resize(520, 300);
        list->show();
    }
};

struct Case {
    const char* name;
    int before;
    int after;
    int selected;  // -1 for none
    int scrolledTo;
};

const Case kCases[] = {
    {"same quantity, nothing selected", 125, 125, -1, 0},
    {"same quantity, a line selected and scrolled", 125, 125, 40, 30},
    {"first line selected", 20, 20, 0, 0},
    {"quantity lowered below the selection", 20, 5, 12, 0},
    {"quantity raised", 5, 8, 3, 0},
    {"quantity to zero", 8, 0, 2, 0},
};

class ResponseListCtrlRebuild : public ::testing::TestWithParam<Case> {};

TEST_P(ResponseListCtrlRebuild, ShowsWhatDeletingAndInsertingShows) {
    const Case& c = GetParam();
    Shown fast, reference;
    for (Shown* s : {&fast, &reference}) {
        RebuildResponseList(*s->list, 0, kReferenceBaseHolding, Values(c.before, 1), c.before);
        if (c.selected >= 0)
            s->list->selectRow(c.selected);
        s->list->verticalScrollBar()->setValue(c.scrolledTo);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(s->list.get()));
    }
    const int scroll = fast.list->verticalScrollBar()->value();

    RebuildResponseList(*fast.list, 0, kReferenceBaseHolding, Values(c.after, 2), c.after);
    RebuildByDeleteAndInsert(*reference.list, Values(c.after, 2), c.after);

    ASSERT_EQ(fast.list->Count(), c.after);
    ASSERT_EQ(reference.list->Count(), c.after);
    for (int i = 0; i < c.after; ++i)
        EXPECT_EQ(fast.list->ItemText(i), reference.list->ItemText(i)) << i;
    EXPECT_EQ(fast.list->SelectionMark(), reference.list->SelectionMark());
    EXPECT_EQ(fast.list->selectionModel()->selectedIndexes().size(),
              reference.list->selectionModel()->selectedIndexes().size());
    EXPECT_FALSE(fast.list->selectionModel()->hasSelection());
    if (c.after == c.before) {
        EXPECT_EQ(fast.list->verticalScrollBar()->value(), scroll);
    }
    EXPECT_EQ(fast.list->verticalScrollBar()->value(),
              reference.list->verticalScrollBar()->value());
    EXPECT_TRUE(fast.list->viewport()->updatesEnabled());
    QApplication::processEvents();
    EXPECT_EQ(fast.list->grab().toImage(), reference.list->grab().toImage());
}

INSTANTIATE_TEST_SUITE_P(Cases, ResponseListCtrlRebuild, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             std::string name = info.param.name;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });

// What is on screen (the window's backing store), not a fresh rendering.
QImage OnScreen(QWidget& w) {
    return w.screen()->grabWindow(w.winId()).toImage().convertToFormat(QImage::Format_RGB32);
}
QImage Fresh(QWidget& w) {
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

struct PaintCounter : QObject {
    int paints = 0;
    QRegion region;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) {
            ++paints;
            region += static_cast<QPaintEvent*>(e)->region();
        }
        return false;
    }
};

// A rebuild of unchanged quantity repaints the lines whose text changed and leaves the
// others, the header and the scroll bar alone; the screen then shows what a fresh paint shows.
TEST(ResponseListCtrl, RebuildRepaintsOnlyTheChangedLines) {
    Shown s;
    RebuildResponseList(*s.list, 0, kReferenceBaseHolding, Values(125, 1), 125);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(s.list.get()));
    // The first rebuild on screen still settles the header; the cycles after it are the rule.
    RebuildResponseList(*s.list, 0, kReferenceBaseHolding, Values(125, 3), 125);
    QTest::qWait(50);
    PaintCounter viewport, header, scrollBar;
    s.list->viewport()->installEventFilter(&viewport);
    s.list->horizontalHeader()->viewport()->installEventFilter(&header);
    s.list->verticalScrollBar()->installEventFilter(&scrollBar);

    std::vector<std::uint16_t> values = Values(125, 3);
    values[2] = 0xBEEF;
    RebuildResponseList(*s.list, 0, kReferenceBaseHolding, values, 125);
    QApplication::processEvents();
    EXPECT_EQ(viewport.paints, 1);
    EXPECT_TRUE(viewport.region.boundingRect().intersects(
        QRect(0, s.list->rowViewportPosition(2), 10, s.list->rowHeight(2))));
    EXPECT_FALSE(viewport.region.boundingRect().intersects(
        QRect(0, s.list->rowViewportPosition(5), 10, s.list->rowHeight(5))));
    EXPECT_EQ(header.paints, 0);
    EXPECT_EQ(scrollBar.paints, 0);
    EXPECT_EQ(OnScreen(*s.list), Fresh(*s.list));

    // The same values again: nothing to paint.
    viewport.paints = 0;
    RebuildResponseList(*s.list, 0, kReferenceBaseHolding, values, 125);
    QApplication::processEvents();
    EXPECT_EQ(viewport.paints, 0);
    EXPECT_EQ(s.list->ItemText(2), FormatResponseLine(0, 2, kReferenceBaseHolding, 0xBEEF));
}

// Whatever the rebuild did to lines and selection, the screen ends up as a fresh paint.
TEST_P(ResponseListCtrlRebuild, ScreenMatchesAFreshPaint) {
    const Case& c = GetParam();
    Shown s;
    RebuildResponseList(*s.list, 0, kReferenceBaseHolding, Values(c.before, 1), c.before);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(s.list.get()));
    s.list->setFocus();
    if (c.selected >= 0)
        s.list->selectRow(c.selected);
    s.list->verticalScrollBar()->setValue(c.scrolledTo);
    QTest::qWait(20);
    RebuildResponseList(*s.list, 0, kReferenceBaseHolding, Values(c.after, 2), c.after);
    QTest::qWait(20);
    EXPECT_EQ(OnScreen(*s.list), Fresh(*s.list));
    FinishResponseListUpdate(*s.list);  // a test-mode write cycle
    QTest::qWait(20);
    EXPECT_EQ(OnScreen(*s.list), Fresh(*s.list));
}

// As painted after each focus change: the selected line on the highlight while the list holds
// the focus, on the button face once another control has it; after a rebuild, plain.
TEST(ResponseListCtrl, SelectionTurnsToButtonFaceWhenTheFocusMovesOn) {
    Shown s;
    QLineEdit edit(s.list.get());
    edit.show();
    RebuildResponseList(*s.list, 0, kReferenceBaseHolding, Values(20, 1), 20);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(s.list.get()));
    s.list->selectRow(3);
    const QPoint inRow(300, s.list->rowViewportPosition(3) + 2);
    for (QWidget* focus : {static_cast<QWidget*>(s.list.get()), static_cast<QWidget*>(&edit)}) {
        focus->setFocus();
        ASSERT_TRUE(focus->hasFocus());
        // The style may shade its selection a little.
        const QColor want =
            s.list->palette().color(&edit == focus ? QPalette::Button : QPalette::Highlight);
        const QColor got = GrabPainted(*s.list->viewport()).pixelColor(inRow);
        EXPECT_LT(std::abs(got.red() - want.red()) + std::abs(got.blue() - want.blue()), 16);
    }
    // A rebuild keeps the mark on line 3 but nothing shows it, focus or not.
    s.list->setFocus();
    RebuildResponseList(*s.list, 0, kReferenceBaseHolding, Values(20, 2), 20);
    EXPECT_EQ(s.list->SelectionMark(), 3);
    EXPECT_EQ(GrabPainted(*s.list->viewport()).pixelColor(inRow),
              s.list->palette().color(QPalette::Base));
}

}  // namespace
