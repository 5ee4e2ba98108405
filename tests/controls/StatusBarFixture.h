#pragma once

#include <gtest/gtest.h>

#include <QImage>
#include <map>

#include "controls/OXStatusBar.h"
#include "tests/controls/ControlsTestSupport.h"

namespace controls_test {

constexpr COLORREF kFace = RGB(192, 192, 192);
constexpr COLORREF kShadow = RGB(128, 128, 128);
constexpr COLORREF kLight = RGB(255, 255, 255);
constexpr COLORREF kTextBlack = RGB(0, 0, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kKey = RGB(0, 128, 128);

// A bar on the classic palette whose strings and bitmaps come from the test's own tables; it
// counts bitmap loads.
class StatusBarTest : public ::testing::Test {
protected:
    StatusBarTest() : m_pin(ClassicSysColorPalette()) {
        m_strings = {
            {61210, QStringLiteral("COM1")},
            {61211, QStringLiteral("BPS : 9600")},
            {61212, QStringLiteral("Mode : RTU")},
            {61213, QStringLiteral("Scan Time : 1000ms")},
            {61214, QStringLiteral("...")},
            {57345, QStringLiteral("준비")},
            {32771, QStringLiteral("Vornak 프로그램의 통신 환경을 설정합니다.\n통신 환경 설정")},
        };
        StatusBarResources resources;
        resources.findString = [this](unsigned id) -> std::optional<QString> {
            const auto it = m_strings.find(id);
            if (it == m_strings.end()) {
                return std::nullopt;
            }
            return it->second;
        };
        resources.loadBitmap = [this](unsigned id) {
            ++m_loads;
            const auto it = m_bitmaps.find(id);
            return it == m_bitmaps.end() ? QImage() : it->second;
        };
        m_bar.SetResources(resources);
        m_bar.setFont(SolidFont(9));
    }

    void ShowBar(int width, int height) {
        m_bar.resize(width, height);
        m_bar.show();
    }

    // Panes with the given ids, widths and styles.
    void SetPanes(const std::vector<unsigned>& ids, const std::vector<int>& widths,
                  const std::vector<unsigned>& styles) {
        ASSERT_TRUE(m_bar.SetIndicators(ids.data(), static_cast<int>(ids.size())));
        for (std::size_t i = 0; i < ids.size(); ++i) {
            m_bar.SetPaneInfo(static_cast<int>(i), ids[i], styles[i], widths[i]);
        }
    }

    QImage Render() { return controls_test::Render(m_bar, RGB(255, 0, 255)); }

    CSysColorPaletteScope m_pin;
    std::map<unsigned, QString> m_strings;
    std::map<unsigned, QImage> m_bitmaps;
    int m_loads = 0;
    COXStatusBar m_bar;
};

}  // namespace controls_test
