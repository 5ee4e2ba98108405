#include "controls/OXHotComboBox.h"

#include <gtest/gtest.h>

#include <QCursor>
#include <QLineEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <memory>
#include <set>

#include "framework/LineExtent.h"
#include "tests/controls/ControlsTestSupport.h"
#include "tests/support/WindowGrab.h"

namespace controls_test {
namespace {

using namespace classic;
constexpr COLORREF kUnder = RGB(255, 0, 255);

using PixelSet = std::set<std::pair<int, int>>;

PixelSet PixelsOf(const QImage& img, const CRect& area, COLORREF colour) {
    PixelSet pixels;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            if (PixelAt(img, x, y) == colour) {
                pixels.emplace(x, y);
            }
        }
    }
    return pixels;
}

class HotComboBoxTest : public ::testing::Test {
protected:
    HotComboBoxTest() : m_pin(ClassicSysColorPalette()) {
        m_host.setGeometry(0, 0, 300, 100);
        m_edit.setGeometry(200, 60, 60, 20);
        m_combo.setFont(SolidFont(9));
        m_combo.addItems(
            {QStringLiteral("1200"), QStringLiteral("9600"), QStringLiteral("115200")});
        m_combo.setCurrentIndex(1);
        m_combo.setGeometry(20, 20, 160, 24);
        m_host.show();
        m_host.activateWindow();
        m_edit.setFocus();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&m_host));
        m_combo.Attach();
        m_btn = m_combo.GetButtonRect();
    }
    ~HotComboBoxTest() override {
        m_combo.hidePopup();
        QCursor::setPos(QPoint(900, 700));
    }

    QImage Grab() { return Render(m_combo, kUnder); }
    void Hover() {
        QCursor::setPos(m_combo.mapToGlobal(QPoint(40, 10)));
        QMouseEvent move(QEvent::MouseMove, QPointF(40, 10),
                         QPointF(m_combo.mapToGlobal(QPoint(40, 10))), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(&m_combo, &move);
    }
    void Focus() {
        m_combo.setFocus();
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_combo.hasFocus(); }));
    }
    CRect ItemRect() const { return CRect(3, 3, m_btn.left - 1, m_combo.height() - 3); }
    // The arrow's pixels, whatever colour the button face around them.
    PixelSet Arrow(const QImage& img) const {
        CRect area = m_btn;
        area.DeflateRect(1, 1);
        return PixelsOf(img, area, kDark);
    }

    CSysColorPaletteScope m_pin;
    // The focus rests on an edit beside the combo.
    QWidget m_host;
    QLineEdit m_edit{&m_host};
    COXHotComboBox m_combo{&m_host};
    CRect m_btn;
};

TEST_F(HotComboBoxTest, FlatAtRestWithAWindowStripAndAHighlightOutlinedButton) {
    const QImage img = Grab();
    const int w = img.width();
    const int h = img.height();
    for (int x : {0, w / 2, w - 1}) {
        EXPECT_EQ(PixelAt(img, x, 0), kFace) << x;
        EXPECT_EQ(PixelAt(img, x, 1), kFace) << x;
        EXPECT_EQ(PixelAt(img, x, h - 1), kFace) << x;
        EXPECT_EQ(PixelAt(img, x, h - 2), kFace) << x;
    }
    EXPECT_EQ(PixelAt(img, 0, h / 2), kFace);
    EXPECT_EQ(PixelAt(img, 1, 2), kWindow);
    EXPECT_EQ(PixelAt(img, 1, h - 3), kWindow);
    EXPECT_EQ(PixelAt(img, 1, 1), kFace);
    EXPECT_EQ(PixelAt(img, w - 2, h / 2), kFace);
    // The button: a highlight outline around the face.
    EXPECT_EQ(PixelAt(img, m_btn.left, m_btn.top), kHighlight);
    EXPECT_EQ(PixelAt(img, m_btn.right - 1, m_btn.bottom - 1), kHighlight);
    EXPECT_EQ(PixelAt(img, m_btn.left + 1, m_btn.top + 1), kFace);
    // The selection field: window colour, the text in window text.
    EXPECT_EQ(PixelAt(img, ItemRect().right - 2, 4), kWindow);
    EXPECT_GT(PixelsOf(img, ItemRect(), kDark).size(), 10u);
}

TEST_F(HotComboBoxTest, ArrowIsACentredTriangleShiftedOneRightAndDownWhileDropped) {
    const PixelSet closed = Arrow(Grab());
    ASSERT_FALSE(closed.empty());
    // Rows shrink by one pixel at each end down to a single apex pixel.
    std::map<int, std::pair<int, int>> rows;
    for (const auto& [x, y] : closed) {
        auto [it, added] = rows.try_emplace(y, x, x);
        it->second.first = std::min(it->second.first, x);
        it->second.second = std::max(it->second.second, x);
    }
    const int w = m_btn.Width();
    const int x1 = m_btn.left + w / 3;
    EXPECT_EQ(rows.begin()->second.first, x1);
    int expectLeft = x1;
    for (const auto& [y, span] : rows) {
        EXPECT_EQ(span.first, expectLeft) << y;
        EXPECT_EQ(span.second - span.first, 2 * ((rows.rbegin()->first) - y)) << y;
        ++expectLeft;
    }
    EXPECT_EQ(rows.rbegin()->second.first, rows.rbegin()->second.second);

    m_combo.showPopup();
    ASSERT_TRUE(m_combo.GetDroppedState());
    PixelSet shifted;
    for (const auto& [x, y] : closed) {
        shifted.emplace(x + 1, y + 1);
    }
    const QImage dropped = Grab();
    EXPECT_EQ(Arrow(dropped), shifted);
    // Pressed: shadow lines along the button's top and left.
    EXPECT_EQ(PixelAt(dropped, m_btn.left + 3, m_btn.top), kShadow);
    EXPECT_EQ(PixelAt(dropped, m_btn.left, m_btn.top + 3), kShadow);
    // While open the field shows no focus and sits on the window colour.
    EXPECT_TRUE(PixelsOf(dropped, ItemRect(), kSelection).empty());

    m_combo.hidePopup();
    EXPECT_FALSE(m_combo.GetDroppedState());
    EXPECT_EQ(Arrow(Grab()), closed);
}

TEST_F(HotComboBoxTest, UnderTheMouseTheFrameSinksAndTheButtonRises) {
    Hover();
    ASSERT_TRUE(m_combo.IsActive());
    const QImage img = Grab();
    const int w = img.width();
    const int h = img.height();
    for (int x : {0, w / 2, w - 1}) {
        EXPECT_EQ(PixelAt(img, x, 0), kShadow) << x;
    }
    for (int x : {0, w / 2, w - 2}) {
        EXPECT_EQ(PixelAt(img, x, h - 1), kHighlight) << x;
    }
    EXPECT_EQ(PixelAt(img, 0, h / 2), kShadow);
    EXPECT_EQ(PixelAt(img, w - 1, h / 2), kHighlight);
    EXPECT_EQ(PixelAt(img, 1, 1), kFace);
    EXPECT_EQ(PixelAt(img, 1, h / 2), kFace);
    // Raised button: highlight on top and at left + 1, face at left, shadow bottom and right.
    EXPECT_EQ(PixelAt(img, m_btn.left + 3, m_btn.top), kHighlight);
    EXPECT_EQ(PixelAt(img, m_btn.left + 1, m_btn.top + 3), kHighlight);
    EXPECT_EQ(PixelAt(img, m_btn.left, m_btn.top + 3), kFace);
    EXPECT_EQ(PixelAt(img, m_btn.left + 3, m_btn.bottom - 1), kShadow);
    EXPECT_EQ(PixelAt(img, m_btn.right - 1, m_btn.top + 3), kShadow);

    QCursor::setPos(QPoint(900, 700));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_combo.IsActive(); }, 1000));
    EXPECT_EQ(PixelAt(Grab(), w / 2, 0), kFace);
}

TEST_F(HotComboBoxTest, DisabledShowsAnInnerHighlightOutlineAFaceFieldAndAPlainButton) {
    m_combo.setEnabled(false);
    Hover();
    const QImage img = Grab();
    const int w = img.width();
    const int h = img.height();
    EXPECT_EQ(PixelAt(img, w / 2, 1), kHighlight);
    EXPECT_EQ(PixelAt(img, 1, h / 2), kHighlight);
    EXPECT_EQ(PixelAt(img, w / 2, h - 2), kHighlight);
    EXPECT_EQ(PixelAt(img, w / 2, 0), kFace);
    EXPECT_EQ(PixelAt(img, ItemRect().right - 2, 4), kFace);
    EXPECT_EQ(PixelAt(img, m_btn.left, m_btn.top + 3), kFace);
    EXPECT_EQ(PixelAt(img, m_btn.left + 3, m_btn.top), kFace);
    // The selection's text in the shadow colour.
    EXPECT_GT(PixelsOf(img, ItemRect(), kShadow).size(), 10u);
    EXPECT_TRUE(PixelsOf(img, ItemRect(), kDark).empty());
}

TEST_F(HotComboBoxTest, FocusedSelectionOnHighlightWithAFocusRectangle) {
    Focus();
    const QImage img = Grab();
    const CRect item = ItemRect();
    // The dotted outline inverts every other pixel of the highlight.
    EXPECT_EQ(PixelAt(img, item.left, item.top), RGB(255, 255, 127));
    EXPECT_EQ(PixelAt(img, item.left + 1, item.top), kSelection);
    EXPECT_EQ(PixelAt(img, item.right - 3, item.top + 2), kSelection);
    EXPECT_GT(PixelsOf(img, item, kHighlight).size(), 10u);  // the text
}

TEST_F(HotComboBoxTest, NoSelectionOnlyFillsTheField) {
    m_combo.setCurrentIndex(-1);
    const CRect item = ItemRect();
    const int area = item.Width() * item.Height();
    EXPECT_EQ(PixelsOf(Grab(), item, kWindow).size(), static_cast<size_t>(area));
    Focus();
    EXPECT_EQ(PixelsOf(Grab(), item, kSelection).size(), static_cast<size_t>(area));
    m_combo.setEnabled(false);
    EXPECT_EQ(PixelsOf(Grab(), item, kFace).size(), static_cast<size_t>(area));
}

TEST_F(HotComboBoxTest, TheListIsBoundAtItsFirstOpeningAndKeptAfterwards) {
    COXHotCtrl<CListBox>* list = m_combo.ListBox();
    ASSERT_NE(list, nullptr);
    EXPECT_FALSE(list->IsAttached());
    m_combo.showPopup();
    EXPECT_TRUE(list->IsAttached());
    EXPECT_TRUE(HasNonClientPaint(list));
    m_combo.hidePopup();
    m_combo.showPopup();
    EXPECT_EQ(m_combo.ListBox(), list);
    EXPECT_EQ(m_combo.view(), list);
    EXPECT_TRUE(list->IsAttached());
    // The list lies within the combo, so the mouse over it keeps the combo active.
    EXPECT_TRUE(IsWindowWithin(list, &m_combo));
}

// The open list has Qt's keyboard focus, but the focus belongs to the combo: the list is flat
// at rest, with thin outlines over its scroll bar, and sinks only under the mouse.
TEST_F(HotComboBoxTest, TheOpenListIsFlatUntilTheMouseIsOverIt) {
    for (int i = 0; i < 20; ++i) {
        m_combo.addItem(QStringLiteral("COM%1").arg(i + 1));
    }
    m_combo.setMaxVisibleItems(5);
    Focus();
    m_combo.showPopup();
    COXHotCtrl<CListBox>* list = m_combo.ListBox();
    ASSERT_TRUE(list->isVisible());
    EXPECT_EQ(GetFocusWindow(), &m_combo);
    EXPECT_FALSE(list->IsActive());
    EXPECT_TRUE(m_combo.IsActive());
    const QImage flat = Render(*list, kUnder);
    EXPECT_EQ(PixelAt(flat, flat.width() / 2, 0), kHighlight);
    const CRect client = ClientRectInWindow(list);
    ASSERT_TRUE(GetScrollStyle(list) & WS_VSCROLL);
    EXPECT_EQ(PixelAt(flat, client.right, client.top), kHighlight);  // the first arrow

    QCursor::setPos(list->mapToGlobal(QPoint(10, 10)));
    QMouseEvent move(QEvent::MouseMove, QPointF(10, 10), QPointF(list->mapToGlobal(QPoint(10, 10))),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list->viewport(), &move);
    EXPECT_TRUE(list->IsActive());
    EXPECT_EQ(PixelAt(Render(*list, kUnder), flat.width() / 2, 0), kShadow);
}

TEST_F(HotComboBoxTest, ANewFontIsMeasuredAndSetsTheFieldHeight) {
    for (int points : {14, 20, 8}) {
        const QFont font = SolidFont(points);
        m_combo.setFont(font);
        // The rows the glyphs really cover, never fewer than the font's declared height.
        const int text = LineExtentOf(font).Height();
        EXPECT_GE(text, QFontMetrics(font).height()) << points;
        EXPECT_EQ(m_combo.TextHeight(), text) << points;
        EXPECT_EQ(m_combo.GetItemHeight(-1), text + 2) << points;
        EXPECT_EQ(m_combo.height(), text + 2 + 6) << points;
    }
}

TEST_F(HotComboBoxTest, ItemsCompareCaseInsensitively) {
    COXHotComboBox combo;
    combo.addItems({QStringLiteral("com1"), QStringLiteral("COM1"), QStringLiteral("COM2"),
                    QStringLiteral("통신"), QStringLiteral("통신 포트")});
    const auto compare = [&](int a, int b) {
        COMPAREITEMSTRUCT item;
        item.itemID1 = a;
        item.itemID2 = b;
        return combo.CompareItem(item);
    };
    EXPECT_EQ(compare(0, 1), 0);
    EXPECT_LT(compare(1, 2), 0);
    EXPECT_GT(compare(2, 0), 0);
    EXPECT_LT(compare(3, 4), 0);
    EXPECT_LT(compare(-1, 0), 0);
    EXPECT_EQ(compare(-1, -1), 0);
}

// As Qt paints the shown pop-up: from the first opening on, the scroll bar's arrows and its
// 8-pixel thumb carry their outlines, also after scrolling, and Qt's own thumb is as short;
// the list lies wholly below the box, or above it without room below.
TEST_F(HotComboBoxTest, TheFirstOpeningOutlinesTheScrollBarOnItsOwnThumbBelowTheBox) {
    for (int i = 0; i < 100; ++i) {
        m_combo.addItem(QStringLiteral("COM%1").arg(i + 1));
    }
    m_combo.setMaxVisibleItems(5);
    m_combo.showPopup();
    COXHotCtrl<CListBox>* list = m_combo.ListBox();
    EXPECT_EQ(list->window()->y(), m_combo.mapToGlobal(QPoint(0, m_combo.height())).y());
    QScrollBar* bar = list->verticalScrollBar();
    const QPoint bar0 = bar->mapTo(list, QPoint(0, 0));
    const int arrow = GetSystemMetrics(SM_CYVSCROLL, list);
    const int right = bar0.x() + bar->width() - 1;
    QImage img = GrabPainted(*list);
    EXPECT_EQ(PixelAt(img, bar0.x(), bar0.y()), kHighlight);
    EXPECT_EQ(PixelAt(img, bar0.x(), bar0.y() + arrow), kHighlight);
    EXPECT_EQ(PixelAt(img, right, bar0.y() + arrow + 7), kShadow);
    const QPoint below(bar->width() / 2, arrow + 10);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent click(type, below, bar->mapToGlobal(below), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(bar, &click);
    }
    EXPECT_EQ(bar->value(), bar->pageStep());
    bar->setValue(bar->maximum());
    img = GrabPainted(*list);
    EXPECT_EQ(PixelAt(img, bar0.x(), bar0.y() + bar->height() - arrow - 8), kHighlight);
    EXPECT_EQ(PixelAt(img, right, bar0.y() + bar->height() - arrow - 1), kShadow);

    m_combo.hidePopup();
    m_host.move(0, m_host.screen()->geometry().bottom() - 40);
    m_combo.showPopup();
    EXPECT_EQ(list->window()->geometry().bottom(), m_combo.mapToGlobal(QPoint(0, 0)).y() - 1);
    EXPECT_EQ(PixelAt(GrabPainted(*list), bar0.x(), bar0.y()), kHighlight);
}

// Keys on the open list (the settings dialog's test has it swallow Enter around the list).
TEST_F(HotComboBoxTest, KeysOnTheOpenListTakeTheHighlightedItemOrLeaveTheSelection) {
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int selection;
    } cases[] = {{Qt::Key_Return, Qt::NoModifier, 2},
                 {Qt::Key_Enter, Qt::KeypadModifier, 2},
                 {Qt::Key_F4, Qt::NoModifier, 2},
                 {Qt::Key_Up, Qt::AltModifier, 2},
                 {Qt::Key_Escape, Qt::NoModifier, 1}};
    for (const auto& c : cases) {
        m_combo.setCurrentIndex(1);
        Focus();
        QTest::keyClick(&m_combo, Qt::Key_Up, Qt::AltModifier);
        ASSERT_TRUE(m_combo.GetDroppedState()) << c.key;
        m_combo.view()->setCurrentIndex(m_combo.model()->index(2, 0));
        QTest::keyClick(m_combo.view(), c.key, c.modifiers);
        EXPECT_FALSE(m_combo.GetDroppedState()) << c.key;
        EXPECT_EQ(m_combo.GetCurSel(), c.selection) << c.key;
    }
}

// Focus given from the window around the control still sinks it, as Qt paints it.
TEST_F(HotComboBoxTest, FocusArrivingFromTheHostWindowSinksTheFrame) {
    m_host.setFocus();
    ASSERT_TRUE(m_host.hasFocus());
    Focus();
    EXPECT_TRUE(m_combo.IsActive());
    const QImage img = GrabPainted(m_combo);
    EXPECT_EQ(PixelAt(img, img.width() / 2, 0), kShadow);
    EXPECT_EQ(PixelAt(img, img.width() / 2, img.height() - 1), kHighlight);
}

}  // namespace
}  // namespace controls_test
