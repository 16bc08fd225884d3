// Reference pictures of the device pages: every page of the simulator's "full" scenario and
// the wide Corvo page of "wide" scrolled to its first, middle and last tile, drawn by the main
// screen's page procedure from fixed register values. scripts/regen-golden writes them anew.
#include "elements/element.h"
#include "pages/devicepage.h"
#include "pages/mainscreen.h"
#include "tests/pages/devicepage_golden_util.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using pagetest::PageTest;

constexpr int kPageX = 2, kPageY = 55, kPageW = 798, kPageH = 425;

int64_t FixedWallClock() {
    return 1000;
}

class GoldenPage : public PageTest {
  protected:
    void SetUp() override {
        PageTest::SetUp();
        DEVPAGE_SetWallClockForTests(FixedWallClock);
        // Sun rays at full length, lamps in alarm on their alarm colour.
        while (ELEMENT_GetSunPhase() != 2)
            ELEMENT_AdvanceSunPhase();
        MAINSCREEN_ForgetPageRegisters();
    }
    void TearDown() override {
        MAINSCREEN_ForgetPageRegisters();
        PageTest::TearDown();
    }

    // The page of type-table index `l` as the main screen makes it, scrolled left by
    // `offset`, drawn until nothing is left to repaint; the shown page area.
    std::vector<uint32_t> Render(int l, int offset) {
        const DeviceType* type = DeviceTypeTable[static_cast<size_t>(l)];
        const WM_HANDLE win =
            WM_CreateWindowAsChild(kPageX - offset, kPageY, MAINSCREEN_PageWidth(type), kPageH,
                                   parent, WM_CF_VISIBLE, MAINSCREEN_PageCallback, 0);
        MAINSCREEN_SetPageWindow(l, win);
        MAINSCREEN_SetPageType(l, type);
        for (int pass = 0; pass < 4; ++pass) {
            WM_InvalidateWin(win);
            Exec();
        }
        const std::vector<uint32_t> screen = Shown();
        std::vector<uint32_t> area;
        area.reserve(static_cast<size_t>(kPageW) * kPageH);
        for (int y = kPageY; y < kPageY + kPageH; ++y)
            for (int x = kPageX; x < kPageX + kPageW; ++x)
                area.push_back(screen[static_cast<size_t>(y) * 800 + static_cast<size_t>(x)]);
        WM_DeleteWindow(win);
        MAINSCREEN_SetPageWindow(l, 0);
        MAINSCREEN_SetPageType(l, nullptr);
        MAINSCREEN_ForgetNameFields(l);
        Exec();
        return area;
    }

    void Check(const std::string& name, int l, int offset = 0) {
        const std::vector<uint32_t> area = Render(l, offset);
        EXPECT_EQ(pagetest::CompareWithGolden(pagetest::GoldenFolder(), name, area, kPageW, kPageH),
                  "");
    }
};

// File names: the type table's index and the tab text.
std::string PageName(const char* scenario, int l) {
    std::string label = DeviceTypeTable[static_cast<size_t>(l)]->page_layout->short_name;
    for (char& c : label)
        if (c == '/') c = '-';
    char name[64];
    std::snprintf(name, sizeof name, "%s-%02d-%s-%u", scenario, l, label.c_str(),
                  DeviceTypeTable[static_cast<size_t>(l)]->type_id);
    return name;
}

TEST_F(GoldenPage, EveryPageOfTheFullScenario) {
    pagetest::ListFull();
    for (int l = 0; l < DEV_TYPE_COUNT; ++l) {
        if (l == DEV_TYPE_GRAPH) continue; // the history graph has its own tests
        SCOPED_TRACE(PageName("full", l));
        Check(PageName("full", l), l);
    }
    // Every element was drawn: none refused its parameters.
    EXPECT_EQ(debug.Count("Wrong parameters value"), 0) << debug.Text();
    EXPECT_EQ(debug.Count("WARNING"), 0) << debug.Text();
}

TEST_F(GoldenPage, WideCorvoPageScrolledAndTheCeltonPage) {
    pagetest::ListWide();
    const int width = MAINSCREEN_PageWidth(DeviceTypeTable[DEV_TYPE_CORVO_500]);
    ASSERT_EQ(width, 5 + 9 * 225);
    Check("wide-corvo-first", DEV_TYPE_CORVO_500, 0);
    Check("wide-corvo-middle", DEV_TYPE_CORVO_500, 5 + 4 * 225 - (kPageW - 220) / 2);
    Check("wide-corvo-last", DEV_TYPE_CORVO_500, width - kPageW);
    Check("wide-celton", DEV_TYPE_CELTON, 0);
    EXPECT_EQ(debug.Count("Wrong parameters value"), 0) << debug.Text();
}

TEST(GoldenCompare, ToleranceAndDifferencePicture) {
    std::vector<uint32_t> a(16, 0x102030), b = a;
    b[3] = 0x102030 + 0x000008; // within the tolerance on one channel
    b[5] = 0x102030 + 0x090000; // beyond it
    std::vector<uint32_t> diff;
    EXPECT_EQ(pagetest::CountDifferences(a, b, 8, &diff), 1);
    EXPECT_EQ(diff[5], 0xFF0000u);
    EXPECT_NE(diff[3], 0xFF0000u);
    EXPECT_EQ(pagetest::CountDifferences(a, std::vector<uint32_t>(15), 8, nullptr), -1);
}

} // namespace
