#include "controls/OXHotCtrl.h"

#include <gtest/gtest.h>

#include <QCursor>
#include <QEnterEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QStringListModel>
#include <QTest>
#include <memory>
#include <vector>

#include "framework/ComboBox.h"
#include "tests/controls/ControlsTestSupport.h"

namespace controls_test {
namespace {

using namespace classic;
constexpr COLORREF kUnder = RGB(255, 0, 255);

// A list as the drop-down list shows it: a two-pixel frame and more rows than fit.
class CHotList : public COXHotCtrl<CListBox> {
public:
    int m_nInitializeCalls = 0;
    std::vector<unsigned> m_baseTimers;

    void Initialize() override {
        ++m_nInitializeCalls;
        COXHotCtrl<CListBox>::Initialize();
    }
    using COXHotCtrl<CListBox>::DrawFlatScrollBar;
};

// Records the window timers that reach the base class.
class CTimerBase : public QLineEdit {
public:
    explicit CTimerBase(QWidget* parent = nullptr) : QLineEdit(parent) {}
    std::vector<unsigned> m_ticks;

protected:
    bool event(QEvent* e) override {
        if (e->type() == CTimerEvent::EventType()) {
            m_ticks.push_back(static_cast<CTimerEvent*>(e)->TimerId());
            return true;
        }
        return QLineEdit::event(e);
    }
};

class HotCtrlTest : public ::testing::Test {
protected:
    HotCtrlTest() : m_pin(ClassicSysColorPalette()) {
        m_host.setGeometry(0, 0, 300, 200);
        m_edit.setGeometry(200, 10, 60, 20);
        m_host.show();
        m_host.activateWindow();
        m_edit.setFocus();
    }

    std::unique_ptr<CHotList> MakeList(int rows = 20, bool frame = true) {
        auto list = std::make_unique<CHotList>();
        list->setParent(&m_host);
        QStringList items;
        for (int i = 0; i < rows; ++i) {
            items << QStringLiteral("COM%1").arg(i + 1);
        }
        auto* model = new QStringListModel(items, list.get());
        list->setModel(model);
        if (frame) {
            list->setFrameStyle(QFrame::Panel | QFrame::Plain);
            list->setLineWidth(2);
        } else {
            list->setFrameStyle(QFrame::NoFrame);
            list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        }
        list->setGeometry(40, 40, 120, 90);
        list->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&m_host));
        list->Attach();
        return list;
    }

    // Puts the mouse over (or away from) the control the way the platform reports it.
    static void MouseTo(QWidget& w, QPoint local) {
        QCursor::setPos(w.mapToGlobal(local));
        QMouseEvent move(QEvent::MouseMove, QPointF(local), QPointF(w.mapToGlobal(local)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&w, &move);
    }
    static void MouseAway() { QCursor::setPos(QPoint(900, 700)); }

    // The two outer rows and columns of the frame, checked along every side.
    static void ExpectFlat(const QImage& img, COLORREF colour) {
        const int w = img.width();
        const int h = img.height();
        for (int i : {0, 1}) {
            EXPECT_EQ(PixelAt(img, w / 2, i), colour) << "top " << i;
            EXPECT_EQ(PixelAt(img, w / 2, h - 1 - i), colour) << "bottom " << i;
            EXPECT_EQ(PixelAt(img, i, h / 2), colour) << "left " << i;
            EXPECT_EQ(PixelAt(img, w - 1 - i, h / 2), colour) << "right " << i;
        }
    }
    static void ExpectSunken(const QImage& img) {
        const int w = img.width();
        const int h = img.height();
        EXPECT_EQ(PixelAt(img, w / 2, 0), kShadow);
        EXPECT_EQ(PixelAt(img, 0, h / 2), kShadow);
        EXPECT_EQ(PixelAt(img, w / 2, 1), kDark);
        EXPECT_EQ(PixelAt(img, 1, h / 2), kDark);
        EXPECT_EQ(PixelAt(img, w / 2, h - 1), kHighlight);
        EXPECT_EQ(PixelAt(img, w - 1, h / 2), kHighlight);
        EXPECT_EQ(PixelAt(img, w / 2, h - 2), kFace);
        EXPECT_EQ(PixelAt(img, w - 2, h / 2), kFace);
    }

    CSysColorPaletteScope m_pin;
    // The focus rests on an edit beside the control.
    QWidget m_host;
    QLineEdit m_edit{&m_host};
};

TEST_F(HotCtrlTest, FlatAtRestSunkenUnderTheMouseAndFlatAgainAfterItLeaves) {
    auto list = MakeList();
    ExpectFlat(Render(*list, kUnder), kHighlight);
    EXPECT_FALSE(list->IsActive());

    MouseTo(*list, QPoint(30, 30));
    EXPECT_TRUE(list->IsMouseInside());
    EXPECT_EQ(list->HoverTimer(), 210u);
    EXPECT_TRUE(IsWindowTimerRunning(list.get(), 210));
    ExpectSunken(Render(*list, kUnder));

    // No message says the mouse left: the 150 ms timer finds out.
    MouseAway();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !list->IsActive(); }, 1000));
    EXPECT_FALSE(list->IsMouseInside());
    EXPECT_EQ(list->HoverTimer(), 0u);
    EXPECT_FALSE(IsWindowTimerRunning(list.get(), 210));
    ExpectFlat(Render(*list, kUnder), kHighlight);
}

TEST_F(HotCtrlTest, TheFocusKeepsItSunkenAndMovesIntoItsOwnChildrenChangeNothing) {
    auto list = MakeList();
    list->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->hasFocus(); }));
    EXPECT_TRUE(list->IsActive());

    MouseTo(*list, QPoint(30, 30));
    MouseAway();
    QTest::qWait(400);
    EXPECT_TRUE(list->IsActive());
    ExpectSunken(Render(*list, kUnder));

    // From the control into a child of its own: still active, not toggled off.
    list->OnFocusChange(list->viewport(), list.get());
    EXPECT_TRUE(list->IsActive());
    // Switching off is refused while the focus is within.
    list->SetActive(false);
    EXPECT_TRUE(list->IsActive());

    m_edit.setFocus();
    EXPECT_FALSE(list->IsActive());
    ExpectFlat(Render(*list, kUnder), kHighlight);
}

TEST_F(HotCtrlTest, DisabledShowsHighlightOutsideShadowInsideAndNeverSinks) {
    auto list = MakeList();
    list->setEnabled(false);
    MouseTo(*list, QPoint(30, 30));
    const QImage img = Render(*list, kUnder);
    const int w = img.width();
    const int h = img.height();
    for (const QPoint outer : {QPoint(w / 2, 0), QPoint(0, h / 2), QPoint(w / 2, h - 1)}) {
        EXPECT_EQ(PixelAt(img, outer.x(), outer.y()), kHighlight);
    }
    for (const QPoint inner : {QPoint(w / 2, 1), QPoint(1, h / 2), QPoint(w - 2, h / 2)}) {
        EXPECT_EQ(PixelAt(img, inner.x(), inner.y()), kShadow);
    }
}

TEST_F(HotCtrlTest, AControlWithoutBorderIsNotPaintedOver) {
    auto list = MakeList(3, false);
    ASSERT_EQ(ClientRectInWindow(list.get()), WindowRectOf(list.get()));
    const QImage before = Render(*list, kUnder);
    MouseTo(*list, QPoint(10, 10));
    EXPECT_TRUE(list->IsActive());
    EXPECT_EQ(Render(*list, kUnder), before);
}

// The thin outlines over an inactive list's vertical scroll bar: both arrows always, the thumb
// at the length and offset of the scroll information.
TEST_F(HotCtrlTest, ScrollBarOutlinesFollowTheScrollInformation) {
    auto list = MakeList();
    const int arrow = GetSystemMetrics(SM_CYVSCROLL, list.get());
    const CRect bar(0, 0, 16, 100);
    const int track = 100 - 2 * arrow;
    struct Case {
        int max;  // the platform's maximum, last page included
        int page;
        int pos;
        int thumbStart;  // -1: no thumb
        int thumbLength;
    } cases[] = {
        {99, 50, 0, arrow, static_cast<int>(track * 50 / 100.0 + 0.5)},
        {99, 50, 50, arrow + track - static_cast<int>(track * 50 / 100.0 + 0.5),
         static_cast<int>(track * 50 / 100.0 + 0.5)},
        {9999, 1, 0, arrow, 8},  // far too short: drawn 8 long
        {9999, 1, 9999, arrow + track - 8, 8},
        {99, 0, 0, -1, 0},   // page 0: no thumb
        {10, 20, 0, -1, 0},  // page above the maximum: no thumb
    };
    for (const Case& c : cases) {
        QScrollBar* v = list->verticalScrollBar();
        v->setRange(0, c.page > 0 ? c.max - c.page + 1 : c.max);
        v->setPageStep(c.page);
        v->setValue(c.pos);
        QImage img = Filled(bar.Width(), bar.Height(), kUnder);
        {
            QPainter painter(&img);
            CDC dc(painter);
            list->DrawFlatScrollBar(dc, bar, Qt::Vertical);
        }
        // Arrow buttons: highlight top-left, shadow bottom-right, face one pixel in.
        EXPECT_EQ(PixelAt(img, 0, 0), kHighlight);
        EXPECT_EQ(PixelAt(img, 15, arrow - 1), kShadow);
        EXPECT_EQ(PixelAt(img, 1, 1), kFace);
        EXPECT_EQ(PixelAt(img, 0, 100 - arrow), kHighlight);
        EXPECT_EQ(PixelAt(img, 15, 99), kShadow);
        int start = -1;
        int end = -1;
        for (int y = arrow; y < 100 - arrow; ++y) {
            if (PixelAt(img, 0, y) != kUnder) {
                start = start < 0 ? y : start;
                end = y;
            }
        }
        EXPECT_EQ(start, c.thumbStart) << c.max << "/" << c.page << "/" << c.pos;
        if (c.thumbStart >= 0) {
            EXPECT_EQ(end - start + 1, c.thumbLength) << c.max << "/" << c.page;
            EXPECT_EQ(PixelAt(img, 0, start), kHighlight);
            EXPECT_EQ(PixelAt(img, 15, end), kShadow);
        }
    }
    // A track under 8 pixels shows the arrows only.
    QScrollBar* v = list->verticalScrollBar();
    v->setRange(0, 10);
    v->setPageStep(5);
    QImage img = Filled(16, 2 * arrow + 7, kUnder);
    {
        QPainter painter(&img);
        CDC dc(painter);
        list->DrawFlatScrollBar(dc, CRect(0, 0, 16, 2 * arrow + 7), Qt::Vertical);
    }
    EXPECT_EQ(CountColour(img, QRect(0, arrow, 16, 7), kUnder), 16 * 7);
}

TEST_F(HotCtrlTest, OnlyTheHoverTimerIsAnsweredOtherTimersReachTheBase) {
    COXHotCtrl<CTimerBase> edit;
    edit.show();
    edit.Attach();
    for (unsigned id : {1u, 209u, 210u, 211u}) {
        CTimerEvent tick(id);
        QCoreApplication::sendEvent(&edit, &tick);
    }
    EXPECT_EQ(edit.m_ticks, (std::vector<unsigned>{1u, 209u, 211u}));
}

TEST_F(HotCtrlTest, DestroyingTheWindowResetsTheObjectForANewAttach) {
    auto list = MakeList();
    EXPECT_EQ(list->m_nInitializeCalls, 1);
    EXPECT_FALSE(list->Attach());  // once per window
    MouseTo(*list, QPoint(30, 30));
    ASSERT_EQ(list->HoverTimer(), 210u);

    DestroyWindow(list.get());
    EXPECT_EQ(list->HoverTimer(), 0u);
    EXPECT_FALSE(IsWindowTimerRunning(list.get(), 210));
    EXPECT_FALSE(list->IsMouseInside());
    EXPECT_FALSE(list->IsAttached());

    list->show();
    EXPECT_TRUE(list->Attach());
    EXPECT_EQ(list->m_nInitializeCalls, 2);
}

}  // namespace
}  // namespace controls_test
