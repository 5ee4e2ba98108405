#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include "framework/DialogUnits.h"
#include "framework/TemplateFont.h"

TEST(DialogUnits, ConvertsWithRoundingOnKnownBaseUnits) {
    const DialogBaseUnits base{6, 13};
    // x: 5*6/4 = 7.5 -> 8; y: 5*13/8 = 8.125 -> 8; cx: 27*6/4 = 40.5 -> 41; cy: 156/8 = 19.5 -> 20
    EXPECT_EQ(DluToPixels(QRect(5, 5, 27, 12), base), QRect(8, 8, 41, 20));
    EXPECT_EQ(DluToPixelsX(291, base), 437);  // 436.5
    EXPECT_EQ(DluToPixelsY(270, base), 439);  // 438.75
    EXPECT_EQ(DluToPixelsX(1, base), 2);      // 1.5
    EXPECT_EQ(DluToPixelsX(0, base), 0);
    EXPECT_EQ(DluToPixelsY(-5, base), -8);  // symmetric rounding
    // Degenerate base units give zero, not a crash.
    EXPECT_EQ(DluToPixels(QRect(10, 10, 10, 10), DialogBaseUnits{}), QRect(0, 0, 0, 0));
}

TEST(DialogUnits, BaseUnitsComeFromTheAlphabetAndLineHeight) {
    const QFont font = MakeTemplateFont(QStringLiteral("돋움"), 9);
    const QFontMetrics fm(font);
    const int total = fm.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const DialogBaseUnits base = MeasureDialogBaseUnits(font);
    EXPECT_EQ(base.width, static_cast<int>(total / 52.0 + 0.5));
    EXPECT_EQ(base.height, fm.height());
    EXPECT_GT(base.width, 3);
    EXPECT_GT(base.height, 8);
    EXPECT_EQ(DluToPixelsX(40, base), (40 * base.width + 2) / 4);
    EXPECT_EQ(DluToPixelsY(14, base), (14 * base.height + 4) / 8);
}

TEST(TemplateFont, FallsBackToAKoreanFaceThatDrawsHangul) {
    const QFont font = MakeTemplateFont(QStringLiteral("돋움"), 9);
    EXPECT_EQ(font.pointSize(), 9);
    const QFontInfo info(font);
    // The measured stand-in, for Latin and Korean alike, unless the machine has Dotum itself.
    EXPECT_TRUE(info.family() == QStringLiteral("Baekmuk Gulim") ||
                info.family() == QStringLiteral("Dotum"))
        << info.family().toStdString();
    const QFontMetrics fm(font);
    EXPECT_TRUE(fm.inFont(QChar(0xD1B5)));  // 통
    EXPECT_TRUE(fm.inFont(QChar(0xC2E0)));  // 신

    // Drawn, the syllables leave ink.
    QImage image(60, 20, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter p(&image);
        p.setFont(font);
        p.setPen(Qt::black);
        p.drawText(QRect(0, 0, 60, 20), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("통신 설정"));
    }
    int dark = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            dark += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
        }
    }
    EXPECT_GT(dark, 30);
}
