// A Brant's switch buttons against the gateway simulator: a press lights the lamp beside the
// button within half a second, not at the device's next turn in the polling cycle (several
// seconds with the default scenario's eight devices).
#include "tests/e2e/e2e_util.h"
#include "tests/e2e/screen_text.h"
#include "tests/util/simulator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

namespace {

using e2e::ProgramSession;

// The default scenario's tabs: Home, Quill, Graph, Amprix, RV100/30, Celton, Celton, Brant, ...
constexpr int kBrantTabX = 625, kTabY = 74;
// The Brant at unit 5, the only tile of its page: the buttons and the lamps beside them.
constexpr int kButtonX = 57;
constexpr int kOffY = 153, kAutoY = 203, kOnY = 253;
constexpr int kLampX0 = 108, kLampX1 = 186;
constexpr uint32_t kGreen = 0x00FF00, kRed = 0xFF0000;

// Pixels of `colour` in the lamp whose row is centred on `y`: its frame and its label.
int LampPixels(const ProgramSession& s, int y, uint32_t colour) {
    int n = 0;
    for (int yy = y - 19; yy <= y + 19; ++yy)
        for (int x = kLampX0; x <= kLampX1; ++x)
            n += s.At(x, yy) == colour;
    return n;
}

bool Lit(const ProgramSession& s, int y, uint32_t colour) {
    return LampPixels(s, y, colour) > 100;
}

// One screenshot now (the check passes at the first look).
void Look(ProgramSession& s) {
    s.WaitFor([] { return true; }, 5);
}

TEST(SwitchButtons, APressLightsItsLampWithinHalfASecond) {
    if (!XVFB_HaveProgram("Xvfb") || !XVFB_HaveProgram("xdotool"))
        GTEST_SKIP() << "Xvfb or xdotool is not installed";
    Simulator simulator({});
    ASSERT_GT(simulator.port(), 0);
    ProgramSession session("switch");
    std::string why_not;
    ASSERT_TRUE(session.StartServer(&why_not)) << why_not;
    ASSERT_TRUE(session.StartProgram(0, {"--gateway", "127.0.0.1:" + simulator.port_text()}));
    ASSERT_TRUE(session.Connect(60));

    session.Click(kBrantTabX, kTabY);
    const e2e::Glyphs name = e2e::RenderText("Brant:5", FONT_20B);
    ASSERT_TRUE(session.WaitFor([&] {
        return e2e::ShowsText(session, name, 0, 86, 200, 110) && Lit(session, kAutoY, kGreen);
    })) << "no Brant page in auto";
    EXPECT_FALSE(Lit(session, kOnY, kRed));

    session.Click(kButtonX, kOnY);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    Look(session);
    session.SaveScreen("e2e_brant_on.png");
    EXPECT_TRUE(Lit(session, kOnY, kRed)) << "ON not lit 500 ms after the press";
    EXPECT_FALSE(Lit(session, kAutoY, kGreen));

    session.Click(kButtonX, kOffY);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    Look(session);
    EXPECT_TRUE(Lit(session, kOffY, kGreen)) << "OFF not lit 500 ms after the press";
    EXPECT_FALSE(Lit(session, kOnY, kRed));

    EXPECT_TRUE(session.Alive());
    EXPECT_EQ(session.Stop(), 0);
}

} // namespace
