#include "controls/OXStatic.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QTest>
#include <memory>

#include "framework/TemplateBuilder.h"
#include "tests/controls/ControlsTestSupport.h"

namespace controls_test {
namespace {

constexpr COLORREF kWhite = 0x00FFFFFF;
constexpr COLORREF kBlue = 0x00FF0000;
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kMagenta = RGB(255, 0, 255);
constexpr COLORREF kGreen = RGB(0, 255, 0);

class StaticTest : public ::testing::Test {
protected:
    StaticTest() : m_pin(ClassicSysColorPalette()) {}

    // The scan view's message line: left-aligned, bordered, vertically centred.
    std::unique_ptr<COXStatic> MakeStatusLine(unsigned style = SS_LEFT | SS_CENTERIMAGE,
                                              int pointSize = 10) {
        auto s = std::make_unique<COXStatic>();
        s->setFont(SolidFont(pointSize));
        s->setFrameStyle(QFrame::Box | QFrame::Plain);
        s->setLineWidth(1);
        s->setProperty(kTemplateStyleProperty, style);
        s->setText(QStringLiteral("Cycle : 12 Error : 0"));
        s->resize(200, 26);
        EXPECT_TRUE(s->Attach());
        return s;
    }

    static QRect Client(const COXStatic& s) { return s.contentsRect(); }

    CSysColorPaletteScope m_pin;
};

TEST_F(StaticTest, TextStylesAreTheFiveTextKindsWithoutLowFlags) {
    for (unsigned style : {0x00u, 0x01u, 0x02u, 0x0Bu, 0x0Cu, 0x0200u, 0x0100u, 0x00801000u}) {
        EXPECT_TRUE(COXStatic::IsTextStyle(style)) << style;
    }
    for (unsigned style : {0x03u, 0x04u, 0x0Au, 0x0Du, 0x80u, 0x81u, 0x8Cu, 0x10u, 0x40u}) {
        EXPECT_FALSE(COXStatic::IsTextStyle(style)) << style;
    }
}

TEST_F(StaticTest, ConstructionTakesTheSystemColours) {
    COXStatic s;
    EXPECT_EQ(s.GetBackgroundColor(), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(s.GetTextColor(), GetSysColor(COLOR_WINDOWTEXT));
    EXPECT_FALSE(s.IsFontCopied());
    EXPECT_EQ(s.GetCopiedFont(), nullptr);
    EXPECT_STREQ(s.metaObject()->className(), "COXStatic");
}

TEST_F(StaticTest, WhiteBackgroundAndBlueTextCentredVertically) {
    auto s = MakeStatusLine();
    s->SetBackgroundColor(kWhite, true);
    s->SetTextColor(kBlue, true);
    const QImage image = Render(*s, kMagenta);
    const QRect client = Client(*s);
    ASSERT_EQ(client, QRect(1, 1, 198, 24));
    const int blue = CountColour(image, client, kBlue);
    EXPECT_GT(blue, 20);
    EXPECT_EQ(CountColour(image, client, kWhite) + blue, client.width() * client.height());
    EXPECT_EQ(CountColour(image, image.rect(), kMagenta), 0);
    // The border in the window-frame colour.
    EXPECT_EQ(PixelAt(image, 0, 0), kBlack);
    EXPECT_EQ(PixelAt(image, 199, 25), kBlack);
    EXPECT_EQ(PixelAt(image, 100, 0), kBlack);

    QRect glyphs;
    for (int y = client.top(); y <= client.bottom(); ++y) {
        for (int x = client.left(); x <= client.right(); ++x) {
            if (PixelAt(image, x, y) == kBlue) {
                glyphs |= QRect(x, y, 1, 1);
            }
        }
    }
    const QFontMetrics fm(SolidFont(10));
    const int cellTop = client.top() + (client.height() - fm.height()) / 2;
    EXPECT_GE(glyphs.top(), cellTop);
    EXPECT_LT(glyphs.bottom(), cellTop + fm.height());
    EXPECT_LT(glyphs.left(), client.left() + 4);  // left-aligned
}

TEST_F(StaticTest, NoBackgroundColourPaintsNothingBelowTheText) {
    auto s = MakeStatusLine();
    s->SetBackgroundColor(CLR_NONE);
    s->SetTextColor(kBlue);
    const QImage image = Render(*s, kGreen);
    const QRect client = Client(*s);
    const int blue = CountColour(image, client, kBlue);
    EXPECT_GT(blue, 20);
    EXPECT_EQ(CountColour(image, client, kGreen) + blue, client.width() * client.height());
    EXPECT_EQ(PixelAt(image, 0, 0), kBlack);
}

TEST_F(StaticTest, AShorterTextLeavesNoTraceOfTheLongerOne) {
    auto s = MakeStatusLine();
    s->SetBackgroundColor(kWhite);
    s->SetTextColor(kBlue);
    s->SetWindowText(QStringLiteral("A much longer message"));
    QImage image = Render(*s, kMagenta);
    ASSERT_TRUE(s->SetWindowText(QStringLiteral("OK")));
    EXPECT_EQ(s->GetWindowText(), QStringLiteral("OK"));
    s->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);  // over the old picture

    auto fresh = MakeStatusLine();
    fresh->SetBackgroundColor(kWhite);
    fresh->SetTextColor(kBlue);
    fresh->SetWindowText(QStringLiteral("OK"));
    EXPECT_EQ(image, Render(*fresh, kMagenta));
}

TEST_F(StaticTest, TextChangesRepaintAtOnce) {
    auto s = MakeStatusLine();
    s->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(s.get()));
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            paints += e->type() == QEvent::Paint ? 1 : 0;
            return false;
        }
    } counter;
    s->installEventFilter(&counter);
    s->SetWindowText(QStringLiteral("now"));
    EXPECT_GE(counter.paints, 1);  // before any event processing
    s->removeEventFilter(&counter);
}

TEST_F(StaticTest, NoPrefixStyleIsNotTextAndKeepsDefaultColours) {
    auto s = MakeStatusLine(SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE);
    EXPECT_FALSE(s->IsTextStyle());
    EXPECT_TRUE(s->IsFontCopied());
    EXPECT_EQ(s->GetCopiedFont(), nullptr);
    s->SetBackgroundColor(kWhite);
    s->SetTextColor(kBlue);
    const QImage image = Render(*s, kMagenta);
    const QRect client = Client(*s);
    EXPECT_EQ(CountColour(image, client, kBlue), 0);
    const int black = CountColour(image, client, kBlack);
    EXPECT_GT(black, 20);
    EXPECT_EQ(CountColour(image, client, kWhite) + black, client.width() * client.height());

    // Not text, so the window's current font is used, not a copy.
    QImage before = Render(*s, kMagenta);
    s->setFont(SolidFont(16));
    EXPECT_NE(Render(*s, kMagenta), before);
}

TEST_F(StaticTest, OtherKindsStillGetTheirBackgroundFilled) {
    auto s = MakeStatusLine(0x04);  // a filled rectangle, not text
    s->SetBackgroundColor(kWhite);
    s->SetTextColor(kBlue);
    const QImage image = Render(*s, kMagenta);
    const QRect client = Client(*s);
    EXPECT_EQ(CountColour(image, client, kWhite), client.width() * client.height());
}

TEST_F(StaticTest, AFontGivenAfterAttachIsNotFollowed) {
    auto late = MakeStatusLine(SS_LEFT | SS_CENTERIMAGE, 8);
    late->setFont(SolidFont(18));
    auto small = MakeStatusLine(SS_LEFT | SS_CENTERIMAGE, 8);
    auto big = MakeStatusLine(SS_LEFT | SS_CENTERIMAGE, 18);
    for (COXStatic* s : {late.get(), small.get(), big.get()}) {
        s->SetBackgroundColor(kWhite);
        s->SetTextColor(kBlue);
    }
    ASSERT_NE(late->GetCopiedFont(), nullptr);
    EXPECT_EQ(late->GetCopiedFont()->pointSize(), 8);
    const QImage lateImage = Render(*late, kMagenta);
    EXPECT_EQ(lateImage, Render(*small, kMagenta));
    EXPECT_NE(lateImage, Render(*big, kMagenta));
    // Taking a new copy on purpose follows the new font.
    EXPECT_TRUE(late->RefreshFont());
    EXPECT_EQ(Render(*late, kMagenta), Render(*big, kMagenta));
}

TEST_F(StaticTest, ColoursWithoutRedrawAreUsedAtTheNextPaint) {
    auto s = MakeStatusLine();
    s->SetBackgroundColor(kGreen, false);
    s->SetTextColor(kBlue, false);
    const QImage image = Render(*s, kMagenta);
    EXPECT_GT(CountColour(image, Client(*s), kGreen), 0);
    EXPECT_GT(CountColour(image, Client(*s), kBlue), 0);
}

TEST_F(StaticTest, AttachTakesTheTemplateStyleOnceOrReadsTheLabel) {
    auto s = MakeStatusLine(SS_RIGHT | SS_CENTERIMAGE);
    EXPECT_EQ(s->GetStyle(), SS_RIGHT | SS_CENTERIMAGE);
    EXPECT_FALSE(s->Attach());
    s->SetBackgroundColor(kWhite);
    s->SetTextColor(kBlue);
    const QImage image = Render(*s, kMagenta);
    EXPECT_EQ(CountColour(image, QRect(1, 1, 60, 24), kBlue), 0);  // right-aligned
    EXPECT_GT(CountColour(image, QRect(140, 1, 59, 24), kBlue), 0);
    // The colour request marks the static as notifying.
    EXPECT_TRUE(s->GetStyle() & SS_NOTIFY);

    COXStatic plain;
    plain.setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    plain.setFrameStyle(QFrame::Panel | QFrame::Sunken);
    plain.resize(50, 20);
    plain.show();  // attaches itself when first shown
    EXPECT_TRUE(plain.IsAttached());
    EXPECT_EQ(plain.GetStyle() & ~SS_NOTIFY, SS_CENTER | SS_CENTERIMAGE | SS_SUNKEN);
    const QImage sunken = Render(plain, kMagenta);
    EXPECT_EQ(PixelAt(sunken, 0, 0), RGB(128, 128, 128));
    EXPECT_EQ(PixelAt(sunken, 49, 19), RGB(255, 255, 255));
}

}  // namespace
}  // namespace controls_test

namespace controls_test {
namespace {

// A control that says it paints every pixel is marked opaque, so nothing is painted behind
// it; that is only right when whatever lay below really never shows.
struct OpaqueCase {
    COLORREF background;
    int frameStyle;
    int lineWidth;
    bool paintsEveryPixel;
};

class StaticOpaqueTest : public ::testing::TestWithParam<OpaqueCase> {
protected:
    CSysColorPaletteScope m_pin{ClassicSysColorPalette()};
};

TEST_P(StaticOpaqueTest, OpaqueOnlyWhenNothingBelowShows) {
    const OpaqueCase& c = GetParam();
    COXStatic s;
    s.setFont(SolidFont());
    s.setFrameStyle(c.frameStyle);
    s.setLineWidth(c.lineWidth);
    s.setProperty(kTemplateStyleProperty, SS_LEFT | SS_CENTERIMAGE);
    s.resize(200, 26);
    ASSERT_TRUE(s.Attach());
    s.SetBackgroundColor(c.background, false);
    s.SetWindowText(QStringLiteral("Scan 7"));
    EXPECT_EQ(s.PaintsEveryPixel(), c.paintsEveryPixel);
    EXPECT_EQ(s.testAttribute(Qt::WA_OpaquePaintEvent), c.paintsEveryPixel);
    const bool coversBoth = Render(s, RGB(255, 0, 255)) == Render(s, RGB(0, 255, 0));
    if (c.paintsEveryPixel) {
        EXPECT_TRUE(coversBoth);
    }
    // Going back to no background makes it see-through again.
    s.SetBackgroundColor(CLR_NONE, false);
    EXPECT_FALSE(s.testAttribute(Qt::WA_OpaquePaintEvent));
    EXPECT_NE(Render(s, RGB(255, 0, 255)), Render(s, RGB(0, 255, 0)));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StaticOpaqueTest,
    ::testing::Values(OpaqueCase{RGB(255, 255, 255), QFrame::Box | QFrame::Plain, 1, true},
                      OpaqueCase{RGB(255, 255, 255), QFrame::NoFrame, 0, true},
                      OpaqueCase{RGB(255, 255, 255), QFrame::Panel | QFrame::Sunken, 1, true},
                      OpaqueCase{RGB(255, 255, 255), QFrame::Box | QFrame::Plain, 3, false},
                      OpaqueCase{RGB(255, 255, 255), QFrame::HLine | QFrame::Plain, 1, false},
                      OpaqueCase{CLR_NONE, QFrame::Box | QFrame::Plain, 1, false}));

}  // namespace
}  // namespace controls_test
