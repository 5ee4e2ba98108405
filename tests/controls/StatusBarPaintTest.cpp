#include <gtest/gtest.h>

#include <QFontMetrics>

#include "tests/controls/StatusBarFixture.h"

namespace controls_test {
namespace {

// Bounding box of the pixels of one colour inside `area`; empty when there are none.
QRect BoundsOf(const QImage& image, const QRect& area, COLORREF colour) {
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (PixelAt(image, x, y) == colour) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

QRect Inside(const CRect& r) {
    CRect inner = r;
    inner.DeflateRect(1, 1);
    return inner.ToQRect();
}

class StatusBarPaintTest : public StatusBarTest {
protected:
    void SetUp() override {
        ShowBar(300, 24);
        SetPanes({0, 61210, 61211}, {60, 60, 60}, {SBPS_STRETCH | SBPS_NOBORDERS, 0, 0});
    }
};

TEST_F(StatusBarPaintTest, PanesHaveSunkenBordersAndTextInTheButtonTextColour) {
    const QImage image = Render();
    const CRect r = m_bar.GetItemRect(1);
    EXPECT_EQ(PixelAt(image, r.left, r.top), kShadow);
    EXPECT_EQ(PixelAt(image, r.right - 2, r.top), kShadow);
    EXPECT_EQ(PixelAt(image, r.left, r.bottom - 2), kShadow);
    EXPECT_EQ(PixelAt(image, r.right - 1, r.top), kLight);
    EXPECT_EQ(PixelAt(image, r.left, r.bottom - 1), kLight);
    EXPECT_EQ(PixelAt(image, r.right - 1, r.bottom - 1), kLight);
    // The gap between panes and the bar's top rows are the face colour.
    EXPECT_EQ(PixelAt(image, r.right, 10), kFace);
    EXPECT_EQ(PixelAt(image, r.left + 5, 0), kFace);

    // "COM1" in black, starting no further left than the text indent.
    const QRect text = BoundsOf(image, Inside(r), kTextBlack);
    ASSERT_FALSE(text.isEmpty());
    EXPECT_GE(text.left(), r.left + COXStatusBar::kTextIndent);
    // The message pane has no border and no text yet.
    const CRect message = m_bar.GetItemRect(0);
    EXPECT_EQ(CountColour(image, message.ToQRect(), kFace), message.Width() * message.Height());
}

TEST_F(StatusBarPaintTest, PopOutPanesAreRaised) {
    m_bar.SetPaneInfo(2, 61211, SBPS_POPOUT, 60);
    const QImage image = Render();
    const CRect r = m_bar.GetItemRect(2);
    EXPECT_EQ(PixelAt(image, r.left, r.top), kLight);
    EXPECT_EQ(PixelAt(image, r.right - 1, r.bottom - 1), kShadow);

    // A border change that comes with a stretch change still reaches the pane drawing.
    m_bar.SetPaneInfo(1, 61210, SBPS_POPOUT | SBPS_STRETCH, 60);
    const QImage both = Render();
    const CRect r1 = m_bar.GetItemRect(1);
    EXPECT_EQ(PixelAt(both, r1.left, r1.top), kLight);
    EXPECT_EQ(PixelAt(both, r1.right - 1, r1.bottom - 1), kShadow);
}

TEST_F(StatusBarPaintTest, PendingTextsAreShownAtTheNextPaint) {
    ASSERT_TRUE(m_bar.SetPaneText(0, QStringLiteral("Hello"), false));
    const QImage image = Render();
    EXPECT_GT(CountColour(image, Inside(m_bar.GetItemRect(0)), kTextBlack), 0);
}

TEST_F(StatusBarPaintTest, OwnerDrawnTextIsInThePaneColourTwoPixelsInAndCentred) {
    ASSERT_TRUE(m_bar.SetPaneTextAndColor(1, QStringLiteral("WWW"), kRed));
    const QImage image = Render();
    const CRect r = m_bar.GetItemRect(1);
    const QRect item = Inside(r);
    EXPECT_EQ(CountColour(image, item, kTextBlack), 0);
    const QRect red = BoundsOf(image, item, kRed);
    ASSERT_FALSE(red.isEmpty());
    EXPECT_GE(red.left(), item.left() + 2);
    const QFontMetrics fm(m_bar.font());
    const int cellTop = item.top() + (item.height() - fm.height()) / 2;
    EXPECT_GE(red.top(), cellTop);
    EXPECT_LT(red.bottom(), cellTop + fm.height());
    // Exactly the glyphs of the text put at (left + 2, centred top).
    QImage expected = Filled(image.width(), image.height(), kFace);
    {
        CDC dc(&expected);
        dc.SelectFont(m_bar.font());
        dc.IntersectClipRect(CRect::FromQRect(item));
        dc.SetTextColor(kRed);
        dc.SetBkMode(TRANSPARENT);
        dc.TextOut(item.left() + 2, cellTop, QStringLiteral("WWW"));
    }
    for (int y = item.top(); y <= item.bottom(); ++y) {
        for (int x = item.left(); x <= item.right(); ++x) {
            ASSERT_EQ(PixelAt(image, x, y) == kRed, PixelAt(expected, x, y) == kRed)
                << x << "," << y;
        }
    }
    // Same text in the button-text colour goes back to the native drawing, in black.
    ASSERT_TRUE(m_bar.SetPaneTextAndColor(1, QStringLiteral("WWW"), GetSysColor(COLOR_BTNTEXT)));
    const QImage native = Render();
    EXPECT_EQ(CountColour(native, item, kRed), 0);
    EXPECT_GT(CountColour(native, item, kTextBlack), 0);
}

TEST_F(StatusBarPaintTest, DisabledPanesShowNeitherTextNorBitmap) {
    m_bitmaps[134] = Filled(10, 8, RGB(0, 0, 255));
    ASSERT_TRUE(m_bar.SetPaneBitmap(1, 134, 2, kKey));
    ASSERT_TRUE(m_bar.SetPaneTextAndColor(2, QStringLiteral("Text"), kRed));
    const QImage shown = Render();
    EXPECT_GT(CountColour(shown, Inside(m_bar.GetItemRect(1)), RGB(0, 0, 255)), 0);
    EXPECT_GT(CountColour(shown, Inside(m_bar.GetItemRect(2)), kRed), 0);

    for (int i : {1, 2}) {
        m_bar.SetPaneInfo(i, m_bar.GetItemID(i), m_bar.GetPaneStyle(i) | SBPS_DISABLED, 60);
    }
    ASSERT_TRUE(m_bar.SetPaneText(1, QStringLiteral("Hidden")));
    const QImage image = Render();
    for (int i : {1, 2}) {
        const QRect item = Inside(m_bar.GetItemRect(i));
        EXPECT_EQ(CountColour(image, item, kFace), item.width() * item.height()) << i;
        EXPECT_EQ(PixelAt(image, m_bar.GetItemRect(i).left, m_bar.GetItemRect(i).top), kShadow);
    }
    EXPECT_EQ(m_bar.GetPaneText(1), QStringLiteral("Hidden"));

    // Enabled again, both come back.
    for (int i : {1, 2}) {
        m_bar.SetPaneInfo(i, m_bar.GetItemID(i), m_bar.GetPaneStyle(i) & ~SBPS_DISABLED, 60);
    }
    const QImage back = Render();
    EXPECT_GT(CountColour(back, Inside(m_bar.GetItemRect(1)), RGB(0, 0, 255)), 0);
    EXPECT_GT(CountColour(back, Inside(m_bar.GetItemRect(2)), kRed), 0);
}

TEST_F(StatusBarPaintTest, PaintBarDrawsTheSamePictureOnAnyImage) {
    ASSERT_TRUE(m_bar.SetPaneTextAndColor(1, QStringLiteral("abc"), kRed));
    QImage direct = Filled(m_bar.width(), m_bar.height(), RGB(1, 1, 1));
    {
        CDC dc(&direct);
        dc.SelectFont(m_bar.font());
        m_bar.PaintBar(dc);
    }
    EXPECT_EQ(direct, Render());
}

}  // namespace
}  // namespace controls_test
