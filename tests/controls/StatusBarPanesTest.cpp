#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include "tests/controls/StatusBarFixture.h"

namespace controls_test {
namespace {

const std::vector<unsigned> kFrameIds = {0, 61210, 61211, 61212, 61213, 61214};

TEST_F(StatusBarTest, IndicatorsTakeTheirTextsWidthsAndDefaults) {
    ShowBar(700, 22);
    ASSERT_TRUE(m_bar.SetIndicators(kFrameIds.data(), 6));
    ASSERT_EQ(m_bar.GetCount(), 6);
    const QFontMetrics fm(m_bar.font());
    unsigned id = 1;
    unsigned style = 0;
    int width = 0;
    ASSERT_TRUE(m_bar.GetPaneInfo(0, id, style, width));
    EXPECT_EQ(id, 0u);
    EXPECT_EQ(style, SBPS_STRETCH | SBPS_NOBORDERS);
    EXPECT_EQ(width, m_bar.screen()->geometry().width() / 4);
    EXPECT_EQ(m_bar.GetPaneText(0), QString());
    for (int i = 1; i < 6; ++i) {
        ASSERT_TRUE(m_bar.GetPaneInfo(i, id, style, width));
        EXPECT_EQ(id, kFrameIds[static_cast<std::size_t>(i)]);
        EXPECT_EQ(style, SBPS_NORMAL);
        EXPECT_EQ(m_bar.GetPaneText(i), m_strings[id]);
        EXPECT_EQ(width, fm.horizontalAdvance(m_strings[id]));
        EXPECT_EQ(m_bar.GetPaneTextColor(i), GetSysColor(COLOR_BTNTEXT));
        EXPECT_EQ(m_bar.GetPaneBitmap(i), nullptr);
    }
    EXPECT_EQ(m_bar.CommandToIndex(61213), 4);
    EXPECT_EQ(m_bar.CommandToIndex(12345), -1);
    EXPECT_EQ(m_bar.GetItemID(5), 61214u);

    // A second pane 0 (not first) gets no stretch.
    const unsigned twoSeparators[] = {61210, 0};
    ASSERT_TRUE(m_bar.SetIndicators(twoSeparators, 2));
    EXPECT_EQ(m_bar.GetPaneStyle(1), SBPS_NORMAL);
}

TEST_F(StatusBarTest, IndicatorsFailOnAMissingStringAndResetColoursAndBitmaps) {
    ShowBar(400, 22);
    m_bitmaps[134] = Filled(30, 15, kKey);
    ASSERT_TRUE(m_bar.SetIndicators(kFrameIds.data(), 6));
    ASSERT_TRUE(m_bar.SetPaneTextAndColor(2, QStringLiteral("x"), kRed));
    ASSERT_TRUE(m_bar.SetPaneBitmap(5, 134, 7, kKey));
    ASSERT_TRUE(m_bar.SetIndicators(kFrameIds.data(), 6));
    EXPECT_EQ(m_bar.GetPaneTextColor(2), GetSysColor(COLOR_BTNTEXT));
    EXPECT_EQ(m_bar.GetPaneBitmap(5), nullptr);

    const unsigned missing[] = {0, 61210, 4242};
    EXPECT_FALSE(m_bar.SetIndicators(missing, 3));
    EXPECT_FALSE(m_bar.SetIndicators(nullptr, 2));
}

TEST_F(StatusBarTest, TheStretchingPaneTakesAllSpareWidth) {
    ShowBar(600, 22);
    SetPanes(kFrameIds, {100, 40, 70, 70, 120, 30}, {SBPS_STRETCH | SBPS_NOBORDERS, 0, 0, 0, 0, 0});
    // Spare = 600 + 2 - (430 + 6 * (6 + 2)) = 124, all of it to pane 0.
    const std::vector<int> expected = {106 + 124, 278, 356, 434, 562, 600};
    EXPECT_EQ(m_bar.PaneRightEdges(), expected);
    EXPECT_EQ(m_bar.GetItemRect(0), CRect(0, 2, 230, 20));
    EXPECT_EQ(m_bar.GetItemRect(1), CRect(232, 2, 278, 20));
    EXPECT_EQ(m_bar.GetItemRect(5), CRect(564, 2, 600, 20));
    int b0 = -1;
    int b1 = -1;
    int b2 = -1;
    m_bar.GetBorders(b0, b1, b2);
    EXPECT_EQ(b0, 0);
    EXPECT_EQ(b1, 2);
    EXPECT_EQ(b2, 2);

    // Wider bar: the resize recomputes the edges.
    m_bar.resize(650, 22);
    EXPECT_EQ(m_bar.PaneRightEdges().front(), 106 + 174);
    EXPECT_EQ(m_bar.PaneRightEdges().back(), 650);
}

TEST_F(StatusBarTest, TwoStretchingPanesShareSevenSparePixelsAsThreeAndFour) {
    // Needed: (10 + 8) + (20 + 8) - 2 = 44; 51 leaves 7.
    ShowBar(51, 22);
    SetPanes({61210, 61211}, {10, 20}, {SBPS_STRETCH, SBPS_STRETCH});
    const std::vector<int> expected = {16 + 3, 19 + 2 + 26 + 4};
    EXPECT_EQ(m_bar.PaneRightEdges(), expected);

    // No spare at all: nothing is added and the panes keep their own widths.
    m_bar.resize(30, 22);
    const std::vector<int> tight = {16, 16 + 2 + 26};
    EXPECT_EQ(m_bar.PaneRightEdges(), tight);
}

TEST_F(StatusBarTest, PaneInfoRecomputesEdgesOnlyForWidthOrStretchChanges) {
    ShowBar(300, 22);
    SetPanes({61210, 61211}, {40, 50}, {0, 0});
    const std::vector<int> before = {46, 104};
    EXPECT_EQ(m_bar.PaneRightEdges(), before);
    m_bar.SetPaneInfo(0, 61210, SBPS_STRETCH, 40);
    EXPECT_EQ(m_bar.PaneRightEdges().back(), 300);
    m_bar.SetPaneInfo(0, 61210, SBPS_STRETCH, 60);
    EXPECT_EQ(m_bar.PaneRightEdges().back(), 300);
    m_bar.SetPaneInfo(0, 61210, 0, 60);
    const std::vector<int> after = {66, 124};
    EXPECT_EQ(m_bar.PaneRightEdges(), after);
    m_bar.SetPaneInfo(1, 777, SBPS_POPOUT, 50);
    EXPECT_EQ(m_bar.GetItemID(1), 777u);
    EXPECT_EQ(m_bar.GetPaneStyle(1), SBPS_POPOUT);
    EXPECT_EQ(m_bar.PaneRightEdges(), after);
}

TEST_F(StatusBarTest, OutOfRangeIndexesChangeNothing) {
    ShowBar(300, 22);
    SetPanes({61210}, {40}, {0});
    unsigned id = 5;
    unsigned style = 5;
    int width = 5;
    EXPECT_FALSE(m_bar.GetPaneInfo(1, id, style, width));
    EXPECT_FALSE(m_bar.GetPaneInfo(-1, id, style, width));
    EXPECT_EQ(id, 5u);
    EXPECT_FALSE(m_bar.SetPaneText(1, QStringLiteral("x")));
    EXPECT_FALSE(m_bar.SetPaneTextAndColor(3, QStringLiteral("x"), kRed));
    EXPECT_FALSE(m_bar.SetPaneBitmap(2, 134, 7, kKey));
    EXPECT_EQ(m_bar.GetPaneText(9), QString());
    EXPECT_EQ(m_bar.GetItemID(9), 0u);
    EXPECT_TRUE(m_bar.GetItemRect(9).IsRectEmpty());
    EXPECT_FALSE(m_bar.GetPaneInnerRect(9).has_value());
    m_bar.SetPaneInfo(4, 1, 2, 3);
    EXPECT_EQ(m_bar.GetCount(), 1);
    EXPECT_EQ(m_bar.GetPaneText(0), QStringLiteral("COM1"));
}

TEST_F(StatusBarTest, TextColourSwitchesOwnerDrawOnAndOff) {
    ShowBar(300, 22);
    SetPanes({61210, 61211}, {40, 50}, {0, 0});
    const COLORREF buttonText = GetSysColor(COLOR_BTNTEXT);

    ASSERT_TRUE(m_bar.SetPaneTextAndColor(1, QStringLiteral("a"), buttonText));
    EXPECT_EQ(m_bar.GetPaneText(1), QStringLiteral("a"));
    EXPECT_EQ(m_bar.GetPaneStyle(1) & SBT_OWNERDRAW, 0u);

    ASSERT_TRUE(m_bar.SetPaneTextAndColor(1, QStringLiteral("b"), kRed));
    EXPECT_EQ(m_bar.GetPaneStyle(1), SBT_OWNERDRAW);
    EXPECT_EQ(m_bar.GetPaneTextColor(1), kRed);

    ASSERT_TRUE(m_bar.SetPaneTextAndColor(1, QStringLiteral("c"), RGB(0, 0, 255)));
    EXPECT_EQ(m_bar.GetPaneStyle(1), SBT_OWNERDRAW);
    EXPECT_EQ(m_bar.GetPaneTextColor(1), RGB(0, 0, 255));

    ASSERT_TRUE(m_bar.SetPaneTextAndColor(1, QStringLiteral("d"), buttonText));
    EXPECT_EQ(m_bar.GetPaneStyle(1), 0u);
    EXPECT_EQ(m_bar.GetPaneTextColor(1), buttonText);
    EXPECT_EQ(m_bar.GetPaneText(1), QStringLiteral("d"));
    // Width and id are left as they were.
    unsigned id = 0;
    unsigned style = 0;
    int width = 0;
    m_bar.GetPaneInfo(1, id, style, width);
    EXPECT_EQ(id, 61211u);
    EXPECT_EQ(width, 50);
}

TEST_F(StatusBarTest, MessagePaneShowsPromptsAndTheIdleText) {
    ShowBar(600, 22);
    ASSERT_TRUE(m_bar.SetIndicators(kFrameIds.data(), 6));
    m_bar.SetIdleMessage();
    EXPECT_EQ(m_bar.GetPaneText(0), QStringLiteral("준비"));
    m_bar.ShowCommandPrompt(32771);
    EXPECT_EQ(m_bar.GetPaneText(0), QStringLiteral("Vornak 프로그램의 통신 환경을 설정합니다."));
    m_bar.ShowCommandPrompt(4711);
    EXPECT_EQ(m_bar.GetPaneText(0), QStringLiteral("준비"));
    m_bar.SetMessageText(QStringLiteral("Working"));
    EXPECT_EQ(m_bar.GetPaneText(0), QStringLiteral("Working"));
    // Without an idle string in the table the idle text is still the program's own.
    m_strings.erase(57345);
    m_bar.SetIdleMessage();
    EXPECT_EQ(m_bar.GetPaneText(0), QStringLiteral("준비"));
}

TEST_F(StatusBarTest, DoubleClickInAPaneReportsItsIdAndOutsideNothing) {
    ShowBar(300, 22);
    SetPanes({61210, 61211}, {40, 50}, {0, 0});
    QSignalSpy spy(&m_bar, &COXStatusBar::statusBarDoubleClicked);
    QTest::mouseDClick(&m_bar, Qt::LeftButton, Qt::NoModifier, QPoint(60, 10));
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.takeFirst().at(0).toUInt(), 61211u);
    QTest::mouseDClick(&m_bar, Qt::LeftButton, Qt::NoModifier, QPoint(0, 2));
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.takeFirst().at(0).toUInt(), 61210u);

    QTest::mouseDClick(&m_bar, Qt::LeftButton, Qt::NoModifier, QPoint(47, 10));   // the gap
    QTest::mouseDClick(&m_bar, Qt::LeftButton, Qt::NoModifier, QPoint(200, 10));  // past all
    QTest::mouseDClick(&m_bar, Qt::LeftButton, Qt::NoModifier, QPoint(20, 0));    // top border
    QTest::mouseDClick(&m_bar, Qt::RightButton, Qt::NoModifier, QPoint(20, 10));
    EXPECT_EQ(spy.count(), 0);
}

TEST_F(StatusBarTest, HeightFollowsTheFont) {
    ASSERT_TRUE(m_bar.SetIndicators(kFrameIds.data(), 6));
    const int fontHeight = QFontMetrics(m_bar.font()).height();
    EXPECT_EQ(m_bar.sizeHint().height(), fontHeight + 8);
    EXPECT_EQ(m_bar.minimumSizeHint().height(), fontHeight + 8);
    int sum = 0;
    for (int i = 0; i < m_bar.GetCount(); ++i) {
        unsigned id = 0;
        unsigned style = 0;
        int width = 0;
        m_bar.GetPaneInfo(i, id, style, width);
        sum += width + 8;
    }
    EXPECT_EQ(m_bar.sizeHint().width(), sum);
}

}  // namespace
}  // namespace controls_test
