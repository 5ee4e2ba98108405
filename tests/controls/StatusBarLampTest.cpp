#include <gtest/gtest.h>

#include "app/resources/ResourceInit.h"
#include "controls/OXStatusBar.h"
#include "framework/Resources.h"
#include "tests/controls/ControlsTestSupport.h"

namespace controls_test {
namespace {

constexpr COLORREF kFace = RGB(192, 192, 192);
constexpr COLORREF kLampKey = RGB(0, 128, 128);
const unsigned kIndicators[] = {0, 61210, 61211, 61212, 61213, 61214};

// The frame's bar on the program's own resources: the indicators, the frame's widths and the
// lamp pane with its bitmap in placement 7.
class StatusBarLampTest : public ::testing::Test {
protected:
    StatusBarLampTest() : m_pin(ClassicSysColorPalette()) {
        InitVornakResources();
        m_bar.setFont(SolidFont(9));
        m_bar.resize(640, m_bar.sizeHint().height());
        m_bar.show();
    }

    void InitPanes() {
        ASSERT_TRUE(m_bar.SetIndicators(kIndicators, 6));
        m_bar.SetPaneInfo(0, 0, 0x08000300, 100);
        const int widths[] = {40, 70, 70, 120, 30};
        for (int i = 1; i < 6; ++i) {
            const int index = m_bar.CommandToIndex(kIndicators[i]);
            m_bar.SetPaneInfo(index, kIndicators[i], SBPS_NORMAL, widths[i - 1]);
        }
        ASSERT_TRUE(m_bar.SetPaneBitmap(5, 135, 7, kLampKey));
        ASSERT_TRUE(m_bar.SetPaneTextAndColor(5, QString(), GetSysColor(COLOR_BTNTEXT)));
        m_bar.SetIdleMessage();
    }

    // Every pixel of the lamp pane's inner rectangle against the resource image placed as
    // placement 7 puts it, the key colour showing the bar's face.
    void ExpectLampShows(unsigned resource) {
        const QImage lamp = LoadBitmapResource(resource).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(lamp.size(), QSize(30, 15));
        const QImage image = Render(m_bar, RGB(255, 0, 255));
        const std::optional<CRect> inner = m_bar.GetPaneInnerRect(5);
        ASSERT_TRUE(inner.has_value());
        ASSERT_EQ(inner->Width(), 32);
        const int vSpare = inner->Height() - 15;
        const int top = vSpare > 0 ? inner->top + vSpare / 2 : inner->top;
        const int rows = vSpare > 0 ? 15 : inner->Height();
        for (int y = 0; y < rows; ++y) {
            for (int x = 0; x < 30; ++x) {
                const COLORREF px = PixelAt(lamp, x, y);
                ASSERT_EQ(PixelAt(image, inner->left + 2 + x, top + y), px == kLampKey ? kFace : px)
                    << x << "," << y;
            }
        }
        EXPECT_EQ(CountColour(image, image.rect(), kLampKey), 0);
    }

    CSysColorPaletteScope m_pin;
    COXStatusBar m_bar;
};

TEST_F(StatusBarLampTest, StartsWithTheIndicatorTextsAndTheUnlitLamp) {
    InitPanes();
    EXPECT_EQ(m_bar.GetPaneText(0), QStringLiteral("준비"));
    EXPECT_EQ(m_bar.GetPaneText(1), QStringLiteral("COM1"));
    EXPECT_EQ(m_bar.GetPaneText(2), QStringLiteral("BPS : 9600"));
    EXPECT_EQ(m_bar.GetPaneText(3), QStringLiteral("Mode : RTU"));
    EXPECT_EQ(m_bar.GetPaneText(4), QStringLiteral("Scan Time : 1000ms"));
    EXPECT_EQ(m_bar.GetPaneText(5), QString());
    EXPECT_EQ(m_bar.GetPaneStyle(5) & SBT_OWNERDRAW, 0u);
    ExpectLampShows(135);
    const QImage image = Render(m_bar, RGB(255, 0, 255));
    const QRect lampArea = m_bar.GetPaneInnerRect(5)->ToQRect();
    EXPECT_EQ(CountColour(image, lampArea, RGB(0, 255, 0)), 0);
}

TEST_F(StatusBarLampTest, LightingSwapsTheImageAndBack) {
    InitPanes();
    ASSERT_TRUE(m_bar.SetPaneBitmap(5, 134, 7, kLampKey));
    ExpectLampShows(134);
    const QImage lit = Render(m_bar, RGB(255, 0, 255));
    EXPECT_GT(CountColour(lit, m_bar.GetPaneInnerRect(5)->ToQRect(), RGB(0, 255, 0)), 20);
    ASSERT_TRUE(m_bar.SetPaneBitmap(5, 135, 7, kLampKey));
    ExpectLampShows(135);
}

TEST_F(StatusBarLampTest, TheLampPaneIsCroppedWhenTheBarIsLow) {
    InitPanes();
    // 18 pixels: inner rectangle 32 by 12, so the bottom 3 lamp rows are cut.
    m_bar.resize(640, 18);
    ASSERT_EQ(m_bar.GetPaneInnerRect(5)->Height(), 12);
    ExpectLampShows(135);
}

}  // namespace
}  // namespace controls_test
