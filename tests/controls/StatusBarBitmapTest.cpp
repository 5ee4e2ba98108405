#include <gtest/gtest.h>

#include "tests/controls/StatusBarFixture.h"

namespace controls_test {
namespace {

// 30 by 15 with a distinct colour per pixel and the key colour in the four corners.
QImage LampLikeBitmap() {
    QImage image(30, 15, QImage::Format_RGB32);
    for (int y = 0; y < 15; ++y) {
        for (int x = 0; x < 30; ++x) {
            image.setPixel(x, y, qRgb(10 + x * 8, 10 + y * 16, 40));
        }
    }
    for (const QPoint corner : {QPoint(0, 0), QPoint(29, 0), QPoint(0, 14), QPoint(29, 14),
                                QPoint(0, 11), QPoint(29, 11)}) {
        image.setPixel(corner, qRgb(0, 128, 128));
    }
    return image;
}

// What a bitmap pixel looks like on the bar: the bar's face where the bitmap has its key.
COLORREF Shown(const QImage& bitmap, int x, int y) {
    const COLORREF c = PixelAt(bitmap, x, y);
    return c == kKey ? kFace : c;
}

// Nearest pixel of `sourceLen` for target pixel `i` of `targetLen` (centre sampling).
int Nearest(int i, int targetLen, int sourceLen) {
    return (2 * i + 1) * sourceLen / (2 * targetLen);
}

class StatusBarBitmapTest : public StatusBarTest {
protected:
    void SetUp() override {
        m_bitmaps[134] = LampLikeBitmap();
        m_bitmaps[135] = Filled(20, 10, RGB(0, 0, 255));
        // One 30-pixel pane: rectangle (0, 2, 36, 16), inner rectangle (2, 3, 34, 15), 32 by 12.
        ShowBar(60, 18);
        SetPanes({61214}, {30}, {0});
        ASSERT_EQ(m_bar.GetPaneInnerRect(0), CRect(2, 3, 34, 15));
    }
};

TEST_F(StatusBarBitmapTest, PlacementSevenIsRightAlignedUnscaledAndCutAtTheBottom) {
    ASSERT_TRUE(m_bar.SetPaneBitmap(0, 134, 7, kKey));
    const QImage image = Render();
    const QImage& bmp = m_bitmaps[134];
    // Two spare columns on the left: the bitmap starts at x = 4.
    for (int y = 3; y < 15; ++y) {
        EXPECT_EQ(PixelAt(image, 2, y), kFace) << y;
        EXPECT_EQ(PixelAt(image, 3, y), kFace) << y;
        for (int x = 0; x < 30; ++x) {
            ASSERT_EQ(PixelAt(image, 4 + x, 3 + y - 3), Shown(bmp, x, y - 3)) << x << "," << y;
        }
    }
    // Key-coloured corners show the bar.
    EXPECT_EQ(PixelAt(image, 4, 3), kFace);
    EXPECT_EQ(PixelAt(image, 33, 14), kFace);
    // Rows 12 to 14 of the bitmap are cut: below the inner rectangle lies the pane's border.
    EXPECT_EQ(PixelAt(image, 20, 15), kLight);
    EXPECT_EQ(CountColour(image, QRect(0, 15, 60, 3), PixelAt(bmp, 15, 12)), 0);
}

TEST_F(StatusBarBitmapTest, PlacementTwoIsLeftAlignedAndShrunkToTheHeight) {
    ASSERT_TRUE(m_bar.SetPaneBitmap(0, 134, 2, kKey));
    const QImage image = Render();
    const QImage& bmp = m_bitmaps[134];
    for (int j = 0; j < 12; ++j) {
        for (int x = 0; x < 30; ++x) {
            ASSERT_EQ(PixelAt(image, 2 + x, 3 + j), Shown(bmp, x, Nearest(j, 12, 15)))
                << x << "," << j;
        }
        EXPECT_EQ(PixelAt(image, 32, 3 + j), kFace);
        EXPECT_EQ(PixelAt(image, 33, 3 + j), kFace);
    }
    // First and last rows survive the shrink; rows 2, 7 and 12 are dropped.
    EXPECT_EQ(Nearest(0, 12, 15), 0);
    EXPECT_EQ(Nearest(11, 12, 15), 14);
    EXPECT_EQ(PixelAt(image, 10, 3 + 11), Shown(bmp, 8, 14));
    EXPECT_EQ(CountColour(image, image.rect(), PixelAt(bmp, 5, 2)), 0);
}

TEST_F(StatusBarBitmapTest, PlacementOneFillsTheInnerRectangle) {
    ASSERT_TRUE(m_bar.SetPaneBitmap(0, 134, 1, kKey));
    const QImage image = Render();
    const QImage& bmp = m_bitmaps[134];
    for (int j = 0; j < 12; ++j) {
        for (int i = 0; i < 32; ++i) {
            ASSERT_EQ(PixelAt(image, 2 + i, 3 + j),
                      Shown(bmp, Nearest(i, 32, 30), Nearest(j, 12, 15)))
                << i << "," << j;
        }
    }
    // Scaled both ways: a widened column repeats and the corners are the bitmap's corners.
    EXPECT_EQ(PixelAt(image, 2, 3), kFace);
    EXPECT_EQ(PixelAt(image, 33, 3), kFace);
    EXPECT_EQ(PixelAt(image, 33, 14), kFace);
    EXPECT_EQ(PixelAt(image, 33, 5), PixelAt(bmp, 29, 3));
}

TEST_F(StatusBarBitmapTest, OtherPlacementsPositionAsDescribed) {
    // 20 by 10 in 32 by 12: one spare row above, twelve spare columns.
    const struct {
        int placement;
        int left;
    } cases[] = {{3, 2 + 6}, {4, 2 + 12}, {5, 2}, {6, 2 + 6}, {0, 2}, {8, 2}};
    for (const auto& c : cases) {
        ASSERT_TRUE(m_bar.SetPaneBitmap(0, 135, c.placement, kKey));
        const QImage image = Render();
        EXPECT_EQ(CountColour(image, image.rect(), RGB(0, 0, 255)), 200) << c.placement;
        EXPECT_EQ(CountColour(image, QRect(c.left, 4, 20, 10), RGB(0, 0, 255)), 200) << c.placement;
    }
}

TEST_F(StatusBarBitmapTest, SameIdReloadsNothingButEmptiesTextAndStoresPlacementAndKey) {
    ASSERT_TRUE(m_bar.SetPaneBitmap(0, 134, 7, kKey));
    EXPECT_EQ(m_loads, 1);
    const PaneBitmap* first = m_bar.GetPaneBitmap(0);
    ASSERT_NE(first, nullptr);
    const qint64 key = first->bitmap.cacheKey();
    EXPECT_EQ(first->nResourceId, 134u);
    EXPECT_EQ(first->nWidth, 30);
    EXPECT_EQ(first->nHeight, 15);
    EXPECT_EQ(m_bar.GetPaneText(0), QString());

    ASSERT_TRUE(m_bar.SetPaneText(0, QStringLiteral("text")));
    ASSERT_TRUE(m_bar.SetPaneBitmap(0, 134, 3, RGB(1, 2, 3)));
    EXPECT_EQ(m_loads, 1);
    const PaneBitmap* again = m_bar.GetPaneBitmap(0);
    ASSERT_EQ(again, first);
    EXPECT_EQ(again->bitmap.cacheKey(), key);
    EXPECT_EQ(again->nPlacement, 3);
    EXPECT_EQ(again->clrKey, RGB(1, 2, 3));
    EXPECT_EQ(m_bar.GetPaneText(0), QString());

    // Another id is loaded into the same record.
    ASSERT_TRUE(m_bar.SetPaneBitmap(0, 135, 7, kKey));
    EXPECT_EQ(m_loads, 2);
    ASSERT_NE(m_bar.GetPaneBitmap(0), nullptr);
    EXPECT_EQ(m_bar.GetPaneBitmap(0)->nResourceId, 135u);
    EXPECT_EQ(m_bar.GetPaneBitmap(0)->nWidth, 20);
    EXPECT_EQ(m_bar.GetPaneBitmap(0)->nHeight, 10);
}

TEST_F(StatusBarBitmapTest, IdZeroRemovesOrOnlyRecomputes) {
    EXPECT_TRUE(m_bar.SetPaneBitmap(0, 0, 7, kKey));
    EXPECT_EQ(m_bar.GetPaneBitmap(0), nullptr);
    EXPECT_EQ(m_loads, 0);
    ASSERT_TRUE(m_bar.SetPaneBitmap(0, 134, 7, kKey));
    ASSERT_TRUE(m_bar.SetPaneText(0, QStringLiteral("kept")));
    EXPECT_TRUE(m_bar.SetPaneBitmap(0, 0, 7, kKey, false));
    EXPECT_EQ(m_bar.GetPaneBitmap(0), nullptr);
    EXPECT_EQ(m_bar.GetPaneText(0), QStringLiteral("kept"));
    const QImage image = Render();
    EXPECT_EQ(CountColour(image, image.rect(), PixelAt(m_bitmaps[134], 5, 5)), 0);
}

TEST_F(StatusBarBitmapTest, AMissingResourceLeavesThePaneWithoutBitmap) {
    ASSERT_TRUE(m_bar.SetPaneText(0, QStringLiteral("kept")));
    EXPECT_FALSE(m_bar.SetPaneBitmap(0, 999, 7, kKey));
    EXPECT_EQ(m_bar.GetPaneBitmap(0), nullptr);
    EXPECT_EQ(m_bar.GetPaneText(0), QStringLiteral("kept"));

    // Replacing a shown bitmap with a missing one drops the old one too.
    ASSERT_TRUE(m_bar.SetPaneBitmap(0, 134, 7, kKey));
    EXPECT_FALSE(m_bar.SetPaneBitmap(0, 998, 7, kKey));
    EXPECT_EQ(m_bar.GetPaneBitmap(0), nullptr);
    const QImage image = Render();
    EXPECT_EQ(CountColour(image, image.rect(), PixelAt(m_bitmaps[134], 5, 5)), 0);
}

TEST_F(StatusBarBitmapTest, OnlyTheLowSixteenBitsNameTheResource) {
    ASSERT_TRUE(m_bar.SetPaneBitmap(0, 0x10000 + 134, 7, kKey));
    ASSERT_NE(m_bar.GetPaneBitmap(0), nullptr);
    EXPECT_EQ(m_bar.GetPaneBitmap(0)->nWidth, 30);
}

}  // namespace
}  // namespace controls_test
