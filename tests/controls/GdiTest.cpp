#include "framework/Gdi.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QPixmap>
#include <QWidget>

#include "tests/controls/ControlsTestSupport.h"

using controls_test::CountColour;
using controls_test::Filled;
using controls_test::PixelAt;

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kKey = RGB(0, 128, 128);

QPalette DistinctPalette() {
    QPalette p;
    p.setColor(QPalette::Button, QColor(1, 2, 3));
    p.setColor(QPalette::ButtonText, QColor(4, 5, 6));
    p.setColor(QPalette::Light, QColor(7, 8, 9));
    p.setColor(QPalette::Mid, QColor(10, 11, 12));
    p.setColor(QPalette::Shadow, QColor(13, 14, 15));
    p.setColor(QPalette::Base, QColor(16, 17, 18));
    p.setColor(QPalette::Text, QColor(19, 20, 21));
    p.setColor(QPalette::Highlight, QColor(22, 23, 24));
    p.setColor(QPalette::HighlightedText, QColor(25, 26, 27));
    return p;
}

// A background whose every pixel differs, so a copy from the wrong place shows.
QImage Gradient(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            image.setPixel(x, y, qRgb(x * 7 % 256, y * 11 % 256, 200));
        }
    }
    return image;
}

}  // namespace

TEST(GdiColours, RgbIsRedInTheLowByte) {
    static_assert(RGB(0x12, 0x34, 0x56) == 0x00563412);
    EXPECT_EQ(GetRValue(0x00563412), 0x12);
    EXPECT_EQ(GetGValue(0x00563412), 0x34);
    EXPECT_EQ(GetBValue(0x00563412), 0x56);
    EXPECT_EQ(RefFromColor(QColor(0x12, 0x34, 0x56)), 0x00563412u);
    EXPECT_EQ(ColorFromRef(0x00563412), QColor(0x12, 0x34, 0x56));
}

TEST(GdiColours, SystemColoursComeFromThePinnedPalette) {
    CSysColorPaletteScope pin(DistinctPalette());
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(1, 2, 3));
    EXPECT_EQ(GetSysColor(COLOR_BTNTEXT), RGB(4, 5, 6));
    EXPECT_EQ(GetSysColor(COLOR_BTNHIGHLIGHT), RGB(7, 8, 9));
    EXPECT_EQ(GetSysColor(COLOR_BTNSHADOW), RGB(10, 11, 12));
    EXPECT_EQ(GetSysColor(COLOR_3DDKSHADOW), RGB(13, 14, 15));
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), RGB(16, 17, 18));
    EXPECT_EQ(GetSysColor(COLOR_WINDOWTEXT), RGB(19, 20, 21));
    EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), RGB(22, 23, 24));
    EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHTTEXT), RGB(25, 26, 27));
    EXPECT_EQ(GetSysColor(9999), 0u);
    {
        CSysColorPaletteScope inner(ClassicSysColorPalette());
        EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(192, 192, 192));
    }
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(1, 2, 3));
}

TEST(GdiLines, LineToLeavesOutTheEndPoint) {
    QImage image = Filled(20, 20, kWhite);
    {
        CDC dc(&image);
        dc.SelectPen(CPen(PS_SOLID, 1, kRed));
        dc.MoveTo(2, 5);
        EXPECT_TRUE(dc.LineTo(10, 5));
        EXPECT_EQ(dc.GetCurrentPosition(), QPoint(10, 5));
        dc.MoveTo(15, 2);
        dc.LineTo(15, 12);
        dc.MoveTo(0, 19);
        dc.LineTo(4, 15);
        dc.MoveTo(18, 18);
        dc.LineTo(18, 18);  // empty line: nothing at all
    }
    for (int x = 2; x < 10; ++x) {
        EXPECT_EQ(PixelAt(image, x, 5), kRed) << x;
    }
    EXPECT_EQ(PixelAt(image, 1, 5), kWhite);
    EXPECT_EQ(PixelAt(image, 10, 5), kWhite);
    for (int y = 2; y < 12; ++y) {
        EXPECT_EQ(PixelAt(image, 15, y), kRed) << y;
    }
    EXPECT_EQ(PixelAt(image, 15, 12), kWhite);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(PixelAt(image, i, 19 - i), kRed) << i;
    }
    EXPECT_EQ(PixelAt(image, 4, 15), kWhite);
    EXPECT_EQ(PixelAt(image, 18, 18), kWhite);
    EXPECT_EQ(CountColour(image, image.rect(), kRed), 8 + 10 + 4);
}

TEST(GdiRects, Draw3dRectGivesTheFarCornersToTheSecondColour) {
    QImage image = Filled(10, 10, kWhite);
    {
        CDC dc(&image);
        dc.Draw3dRect(CRect(1, 1, 6, 5), kRed, kBlack);
    }
    // Top row 1..4 and left column 1..3 in the first colour.
    EXPECT_EQ(PixelAt(image, 1, 1), kRed);
    EXPECT_EQ(PixelAt(image, 4, 1), kRed);
    EXPECT_EQ(PixelAt(image, 1, 3), kRed);
    EXPECT_EQ(PixelAt(image, 5, 1), kBlack);  // top right corner
    EXPECT_EQ(PixelAt(image, 1, 4), kBlack);  // bottom left corner
    EXPECT_EQ(PixelAt(image, 5, 4), kBlack);
    EXPECT_EQ(PixelAt(image, 3, 2), kWhite);  // inside untouched
    EXPECT_EQ(PixelAt(image, 6, 1), kWhite);  // right edge is outside
    EXPECT_EQ(PixelAt(image, 1, 5), kWhite);  // bottom edge is outside
    EXPECT_EQ(CountColour(image, image.rect(), kRed), 4 + 3 - 1);
    EXPECT_EQ(CountColour(image, image.rect(), kBlack), 4 + 5 - 1);
}

TEST(GdiRects, FillSolidRectIsExclusiveAndSetsTheBackgroundColour) {
    QImage image = Filled(10, 10, kWhite);
    {
        CDC dc(&image);
        dc.FillSolidRect(CRect(2, 3, 5, 7), kRed);
        EXPECT_EQ(dc.GetBkColor(), kRed);
        dc.FillSolidRect(CRect(8, 8, 8, 9), kBlack);  // empty: nothing
    }
    EXPECT_EQ(CountColour(image, image.rect(), kRed), 3 * 4);
    EXPECT_EQ(PixelAt(image, 2, 3), kRed);
    EXPECT_EQ(PixelAt(image, 4, 6), kRed);
    EXPECT_EQ(PixelAt(image, 5, 6), kWhite);
    EXPECT_EQ(PixelAt(image, 4, 7), kWhite);
    EXPECT_EQ(CountColour(image, image.rect(), kBlack), 0);
}

TEST(GdiClip, ExcludedRectanglesStayUntouchedUntilTheClipIsReset) {
    QImage image = Filled(10, 10, kWhite);
    {
        CDC dc(&image);
        EXPECT_EQ(dc.ExcludeClipRect(CRect(2, 2, 4, 4)), COMPLEXREGION);
        dc.FillSolidRect(CRect(0, 0, 10, 10), kRed);
        EXPECT_EQ(CountColour(image, image.rect(), kWhite), 4);
        EXPECT_EQ(PixelAt(image, 2, 2), kWhite);
        EXPECT_EQ(PixelAt(image, 3, 3), kWhite);
        EXPECT_EQ(dc.SelectClipRgn(nullptr), SIMPLEREGION);
        EXPECT_FALSE(dc.HasClip());
        dc.FillSolidRect(CRect(0, 0, 10, 10), kBlack);
        EXPECT_EQ(dc.IntersectClipRect(CRect(20, 20, 30, 30)), NULLREGION);
    }
    EXPECT_EQ(CountColour(image, image.rect(), kBlack), 100);
}

// A child widget paints into its window at an offset; an excluded rectangle must still leave
// the rest of the child paintable, up to its very edges.
TEST(GdiClip, ExclusionInAChildWidgetKeepsItsWholeArea) {
    class CRing : public QWidget {
    public:
        using QWidget::QWidget;

    protected:
        void paintEvent(QPaintEvent*) override {
            QPainter painter(this);
            CDC dc(painter);
            dc.ExcludeClipRect(CRect(2, 2, width() - 2, height() - 2));
            dc.FillSolidRect(CRect(0, 0, width(), height()), kRed);
        }
    };
    QWidget window;
    window.resize(100, 80);
    CRing ring(&window);
    ring.setGeometry(30, 20, 40, 30);
    const QImage image = window.grab().toImage();
    EXPECT_EQ(CountColour(image, QRect(30, 20, 40, 30), kRed), 40 * 30 - 36 * 26);
    EXPECT_EQ(PixelAt(image, 69, 49), kRed);
    EXPECT_EQ(PixelAt(image, 30, 20), kRed);
}

TEST(GdiText, OpaqueTextFillsItsCellTransparentTextDoesNot) {
    QImage opaque = Filled(80, 30, kWhite);
    QImage transparent = Filled(80, 30, kWhite);
    QSize extent;
    for (QImage* image : {&opaque, &transparent}) {
        CDC dc(image);
        dc.SelectFont(controls_test::SolidFont());
        dc.SetTextColor(kBlack);
        dc.SetBkColor(kRed);
        dc.SetBkMode(image == &opaque ? OPAQUE : TRANSPARENT);
        EXPECT_TRUE(dc.TextOut(3, 4, QStringLiteral("Ag")));
        extent = dc.GetTextExtent(QStringLiteral("Ag"));
    }
    const QRect cell(3, 4, extent.width(), extent.height());
    EXPECT_GT(CountColour(opaque, cell, kRed), 0);
    EXPECT_EQ(CountColour(opaque, cell, kWhite), 0);
    EXPECT_EQ(CountColour(opaque, opaque.rect(), kRed) + CountColour(opaque, cell, kBlack),
              cell.width() * cell.height());
    EXPECT_EQ(CountColour(transparent, transparent.rect(), kRed), 0);
    EXPECT_GT(CountColour(transparent, cell, kBlack), 0);
    EXPECT_EQ(CountColour(transparent, transparent.rect(), kBlack),
              CountColour(opaque, cell, kBlack));
}

TEST(GdiTransparent, KeyPixelsKeepTheBackgroundUnscaled) {
    QImage bitmap = Filled(4, 3, kKey);
    bitmap.setPixel(1, 0, qRgb(255, 0, 0));
    bitmap.setPixel(2, 1, qRgb(0, 255, 0));
    bitmap.setPixel(3, 2, qRgb(0, 0, 255));
    const QImage background = Gradient(12, 10);
    QImage image = background;
    {
        CDC dc(&image);
        EXPECT_TRUE(DrawTransparent(dc, bitmap, CRect(5, 4, 9, 7), QSize(4, 3), kKey));
    }
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 12; ++x) {
            COLORREF expected = PixelAt(background, x, y);
            if (x == 6 && y == 4) {
                expected = RGB(255, 0, 0);
            } else if (x == 7 && y == 5) {
                expected = RGB(0, 255, 0);
            } else if (x == 8 && y == 6) {
                expected = RGB(0, 0, 255);
            }
            EXPECT_EQ(PixelAt(image, x, y), expected) << x << "," << y;
        }
    }
}

TEST(GdiTransparent, StretchesByNearestPixelIntoTheDestination) {
    // 2 by 2 bitmap doubled into 4 by 4: each pixel becomes a 2 by 2 block.
    QImage bitmap(2, 2, QImage::Format_RGB32);
    bitmap.setPixel(0, 0, qRgb(255, 0, 0));
    bitmap.setPixel(1, 0, qRgb(0, 255, 0));
    bitmap.setPixel(0, 1, qRgb(0, 0, 255));
    bitmap.setPixel(1, 1, qRgb(0, 128, 128));
    QImage image = Filled(6, 6, kWhite);
    {
        CDC dc(&image);
        EXPECT_TRUE(DrawTransparent(dc, bitmap, CRect(1, 1, 5, 5), QSize(2, 2), kKey));
    }
    for (int y = 1; y < 5; ++y) {
        for (int x = 1; x < 5; ++x) {
            const int sx = (x - 1) / 2;
            const int sy = (y - 1) / 2;
            const COLORREF expected =
                (sx == 1 && sy == 1) ? kWhite : RefFromColor(QColor(bitmap.pixel(sx, sy)));
            EXPECT_EQ(PixelAt(image, x, y), expected) << x << "," << y;
        }
    }
    EXPECT_EQ(CountColour(image, QRect(0, 0, 6, 1), kWhite), 6);
}

TEST(GdiTransparent, CroppedSourceShowsTheBackgroundStretchedToTheBitmapAndBack) {
    // A 2-row destination from a 4-row bitmap, source the top 2 rows: the background goes
    // into the 4-row work image (rows 0,0,1,1) and its top 2 rows come back, so both
    // destination rows show the background's first row under key pixels.
    const QImage bitmap = Filled(3, 4, kKey);
    const QImage background = Gradient(5, 5);
    QImage image = background;
    {
        CDC dc(&image);
        EXPECT_TRUE(DrawTransparent(dc, bitmap, CRect(1, 1, 4, 3), QSize(3, 2), kKey));
    }
    for (int x = 1; x < 4; ++x) {
        EXPECT_EQ(PixelAt(image, x, 1), PixelAt(background, x, 1)) << x;
        EXPECT_EQ(PixelAt(image, x, 2), PixelAt(background, x, 1)) << x;
    }
    EXPECT_EQ(PixelAt(image, 1, 3), PixelAt(background, 1, 3));
}

TEST(GdiTransparent, DevicesThatCannotBeReadBackStillGetAMaskedCopy) {
    QImage bitmap = Filled(3, 3, kKey);
    bitmap.setPixel(1, 1, qRgb(255, 0, 0));
    QPixmap pixmap(5, 5);
    pixmap.fill(Qt::white);
    {
        CDC dc(&pixmap);
        EXPECT_EQ(dc.SourceImage(), nullptr);
        EXPECT_TRUE(DrawTransparent(dc, bitmap, CRect(1, 1, 4, 4), QSize(3, 3), kKey));
    }
    const QImage image = pixmap.toImage();
    EXPECT_EQ(PixelAt(image, 2, 2), kRed);
    EXPECT_EQ(CountColour(image, image.rect(), kRed), 1);
    EXPECT_EQ(CountColour(image, image.rect(), kWhite), 24);
}

TEST(GdiTransparent, EmptyInputsDrawNothing) {
    const QImage bitmap = Filled(3, 3, kRed);
    QImage image = Filled(5, 5, kWhite);
    {
        CDC dc(&image);
        EXPECT_FALSE(DrawTransparent(dc, QImage(), CRect(0, 0, 3, 3), QSize(3, 3), kKey));
        EXPECT_FALSE(DrawTransparent(dc, bitmap, CRect(2, 2, 2, 4), QSize(3, 3), kKey));
        EXPECT_FALSE(DrawTransparent(dc, bitmap, CRect(0, 0, 3, 3), QSize(0, 3), kKey));
        // Partly off the device: what lies outside reads as black and is clipped away.
        EXPECT_TRUE(DrawTransparent(dc, bitmap, CRect(3, 3, 6, 6), QSize(3, 3), kKey));
    }
    EXPECT_EQ(CountColour(image, image.rect(), kRed), 4);
    EXPECT_EQ(CountColour(image, image.rect(), kWhite), 21);
}
