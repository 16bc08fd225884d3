// The status banner: hidden at first, on top of everything while shown, one per screen build.
#include "tests/gui/toolkit/widget_test_util.h"

#include "elements/status.h"
#include "gui/toolkit/widgets/text.h"

#include <algorithm>
#include <thread>

using namespace widgettest;

namespace {

class StatusTest : public WidgetTest {
  protected:
    // White pixels of the banner's area.
    int WhiteInBanner() const {
        int n = 0;
        for (int y = 5; y < 45; ++y)
            for (int x = 200; x < 500; ++x) n += At(x, y) == Px(0xFFFFFF);
        return n;
    }
};

TEST_F(StatusTest, ShownOnTopWithItsTextAndHiddenAgain) {
    const WM_HANDLE banner = STATUS_Create();
    ASSERT_NE(banner, 0);
    EXPECT_EQ(WM_GetWinId(banner), STATUS_ID);
    EXPECT_EQ(WM_GetWindowOrgX(banner), 200);
    EXPECT_EQ(WM_GetWindowSizeX(banner), 300);
    EXPECT_EQ(WM_GetWindowSizeY(banner), 40);
    STATUS_SetText("Connecting");
    Exec();
    EXPECT_FALSE(WM_IsVisible(banner));
    EXPECT_EQ(WhiteInBanner(), 0);

    // A window made later would cover an ordinary child; the banner stays above it.
    STATUS_Show();
    Create(0, 0, 800, 480, 0, WM_CF_VISIBLE, 0x000080);
    Exec();
    EXPECT_TRUE(WM_GetFlags(banner) & WM_CF_ON_TOP);
    EXPECT_GT(WhiteInBanner(), 50);
    // Centred: as much text left of the middle as right of it, roughly.
    int left = 0, right = 0;
    for (int y = 5; y < 45; ++y)
        for (int x = 200; x < 500; ++x)
            if (At(x, y) == Px(0xFFFFFF)) (x < 350 ? left : right)++;
    EXPECT_NEAR(left, right, (left + right) / 4);

    STATUS_Hide();
    Exec();
    EXPECT_FALSE(WM_GetFlags(banner) & WM_CF_ON_TOP);
    EXPECT_EQ(WhiteInBanner(), 0);
}

TEST_F(StatusTest, ALongTextTakesASmallerFontInsteadOfBeingCutAtBothEnds) {
    STATUS_Create();
    STATUS_Show();
    STATUS_SetText("Connection to the gateway lost");
    Exec();
    int first = -1, last = -1;
    for (int y = 5; y < 45; ++y)
        for (int x = 200; x < 500; ++x)
            if (At(x, y) == Px(0xFFFFFF)) {
                if (first < 0 || x < first) first = x;
                last = std::max(last, x);
            }
    EXPECT_GT(first, 201);
    EXPECT_LT(last, 498);
    EXPECT_NEAR((first + last) / 2, 350, 3);
}

TEST_F(StatusTest, EveryBuildMakesTheBannerAnewWithoutLeavingTheOldOne) {
    STATUS_Create();
    const WM_HANDLE second = STATUS_Create();
    int banners = 0;
    for (WM_HANDLE c = WM_GetFirstChild(WM_GetRootWin()); c != 0; c = WM_GetNextSibling(c))
        banners += WM_GetWinId(c) == STATUS_ID;
    EXPECT_EQ(banners, 1);
    EXPECT_EQ(STATUS_Handle(), second);
}

TEST_F(StatusTest, TextsMayComeFromAnotherTask) {
    const WM_HANDLE banner = STATUS_Create();
    std::thread master([] {
        STATUS_Show();
        STATUS_SetText("Searching 12");
    });
    master.join();
    Exec();
    char text[32] = {};
    TEXT_ReadText(banner, text, sizeof text);
    EXPECT_STREQ(text, "Searching 12");
    EXPECT_GT(WhiteInBanner(), 50);
}

TEST_F(StatusTest, CallsBeforeTheBannerExistsDoNothing) {
    STATUS_Show();
    STATUS_SetText("x");
    STATUS_Hide();
    Exec();
    EXPECT_TRUE(reports.empty());
}

} // namespace
