#include <gtest/gtest.h>

#include <QColor>
#include <QIcon>
#include <QImage>
#include <set>

#include "framework/CommandIds.h"
#include "framework/Resources.h"

namespace {

QRgb Rgb(int r, int g, int b) {
    return qRgb(r, g, b);
}

QRgb At(const QImage& image, int x, int y) {
    return image.pixel(x, y) | 0xFF000000u;
}

std::set<QRgb> Colours(const QImage& image) {
    std::set<QRgb> out;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            out.insert(At(image, x, y));
        }
    }
    return out;
}

const QRgb kKey = Rgb(0, 128, 128);
const QRgb kRim = Rgb(128, 128, 128);
const QRgb kWhite = Rgb(255, 255, 255);

// The two lamps centred on (7, 7) and (22, 7): key colour outside, grey rim, a white glint
// towards the upper left and a checkered fill of `even` and `odd` inside.
void ExpectLamps(const QImage& image, QRgb even, QRgb odd) {
    ASSERT_EQ(image.size(), QSize(30, 15));
    EXPECT_LE(Colours(image).size(), 16u);
    for (QPoint corner : {QPoint(0, 0), QPoint(29, 0), QPoint(0, 14), QPoint(29, 14), QPoint(14, 7),
                          QPoint(15, 0)}) {
        EXPECT_EQ(At(image, corner.x(), corner.y()), kKey) << corner.x() << "," << corner.y();
    }
    for (int cx : {7, 22}) {
        EXPECT_EQ(At(image, cx, 1), kRim);
        EXPECT_EQ(At(image, cx, 13), kRim);
        EXPECT_EQ(At(image, cx - 6, 7), kRim);
        EXPECT_EQ(At(image, cx + 6, 7), kRim);
        EXPECT_EQ(At(image, cx, 0), kKey);
        EXPECT_EQ(At(image, cx - 2, 4), kWhite);  // highlight, upper left
        EXPECT_NE(At(image, cx + 2, 10), kWhite);
        int checked = 0;
        for (int y = 5; y <= 10; ++y) {
            for (int x = cx - 1; x <= cx + 3; ++x) {
                EXPECT_EQ(At(image, x, y), (x + y) % 2 == 0 ? even : odd) << x << "," << y;
                ++checked;
            }
        }
        EXPECT_EQ(checked, 30);
    }
}

}  // namespace

TEST(BitmapResources, LitLampsAreCheckeredGreen) {
    const QImage lit = LoadBitmapResource(IDB_LAMP_LIT);
    ASSERT_FALSE(lit.isNull());
    ExpectLamps(lit, Rgb(0, 255, 0), Rgb(0, 128, 0));
}

TEST(BitmapResources, UnlitLampsAreCheckeredGrey) {
    const QImage unlit = LoadBitmapResource(IDB_LAMP_UNLIT);
    ASSERT_FALSE(unlit.isNull());
    ExpectLamps(unlit, Rgb(192, 192, 192), Rgb(128, 128, 128));
}

TEST(BitmapResources, ToolbarStripHasFourButtonsOnLightGrey) {
    const QImage strip = LoadBitmapResource(IDR_MAINFRAME);
    ASSERT_EQ(strip.size(), QSize(64, 16));
    EXPECT_LE(Colours(strip).size(), 16u);
    const QRgb face = Rgb(192, 192, 192);
    for (int b = 0; b < 4; ++b) {
        EXPECT_EQ(At(strip, 16 * b, 15), face) << b;
        EXPECT_EQ(At(strip, 16 * b + 15, 15), face) << b;
        EXPECT_EQ(At(strip, 16 * b + 15, 0), face) << b;
    }
    // 32771: green boxes, with black links between them.
    EXPECT_EQ(At(strip, 3, 3), Rgb(0, 255, 0));
    EXPECT_EQ(At(strip, 10, 3), Rgb(0, 255, 0));
    EXPECT_EQ(At(strip, 7, 12), Rgb(0, 255, 0));
    EXPECT_EQ(At(strip, 5, 8), Rgb(0, 0, 0));
    // 32772: a green arrow reaching into a dark-blue box.
    EXPECT_EQ(At(strip, 16 + 12, 8), Rgb(0, 0, 128));
    EXPECT_EQ(At(strip, 16 + 3, 7), Rgb(0, 255, 0));
    EXPECT_EQ(At(strip, 16 + 9, 7), Rgb(0, 255, 0));  // the point, inside the box
    // 32773: a red ring with the box beside it.
    EXPECT_EQ(At(strip, 32 + 1, 7), Rgb(255, 0, 0));
    EXPECT_EQ(At(strip, 32 + 4, 7), face);  // the ring's hole
    EXPECT_EQ(At(strip, 32 + 12, 8), Rgb(0, 0, 128));
    // 57664: a yellow question mark.
    EXPECT_EQ(At(strip, 48 + 5, 3), Rgb(255, 255, 0));
    EXPECT_EQ(At(strip, 48 + 7, 12), Rgb(255, 255, 0));
}

TEST(BitmapResources, ApplicationIconHasTwoSizes) {
    const QIcon icon = LoadIconResource(IDR_MAINFRAME);
    ASSERT_FALSE(icon.isNull());
    const QList<QSize> sizes = icon.availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(16, 16)));
    EXPECT_TRUE(sizes.contains(QSize(32, 32)));
    const QImage big = icon.pixmap(32, 32).toImage();
    EXPECT_EQ(big.size(), QSize(32, 32));
    EXPECT_EQ(qAlpha(big.pixel(0, 0)), 0);  // transparent corner
    EXPECT_EQ(qAlpha(big.pixel(16, 16)), 255);
}

TEST(BitmapResources, UnknownIdsGiveNullImages) {
    EXPECT_TRUE(LoadBitmapResource(999).isNull());
    EXPECT_TRUE(LoadIconResource(999).isNull());
}
