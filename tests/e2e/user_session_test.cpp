// A user's session with the real program: the language buttons on the connect page store the
// language, F12 writes the screen into the data folder, a page wider than the screen follows a
// drag and comes back with the opposite one, and the mouse wheel moves it as well; a name typed
// on the computer's keyboard is taken with Enter and dropped with Escape.
#include "tests/e2e/e2e_util.h"
#include "tests/util/simulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

using e2e::ProgramSession;

// The wide scenario's tabs: Home, Quill, Graph, Amprix, Celton, Corvo.
constexpr int kCorvoTabX = 437, kTabY = 74;
constexpr int kNameRowY = 100; // the row through the tiles' name fields
constexpr uint32_t kDarkGreen = 0x006600;

// Where the runs of name-field green begin along the row: the tiles' places.
std::vector<int> TileEdges(const ProgramSession& session) {
    std::vector<int> edges;
    bool inside = false;
    for (int x = 0; x < 800; ++x) {
        const bool green = session.At(x, kNameRowY) == kDarkGreen;
        if (green && !inside) edges.push_back(x);
        inside = green;
    }
    return edges;
}

bool WaitForSetting(const ProgramSession& session, const std::string& line) {
    for (int i = 0; i < 50; ++i) {
        if (e2e::ReadFile(session.DataFolder() / "config.ini").find(line) != std::string::npos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

TEST(UserSession, LanguageButtonsScreenshotKeyAndDraggingAWidePage) {
    if (!XVFB_HaveProgram("Xvfb") || !XVFB_HaveProgram("xdotool"))
        GTEST_SKIP() << "Xvfb or xdotool is not installed";
    Simulator simulator({"--scenario", "wide", "--clock-speed", "60"});
    ASSERT_GT(simulator.port(), 0);
    ProgramSession session("user");
    std::string why_not;
    ASSERT_TRUE(session.StartServer(&why_not)) << why_not;
    ASSERT_TRUE(session.StartProgram(0, {"--gateway", "127.0.0.1:" + simulator.port_text()}));
    ASSERT_TRUE(session.WaitFor([&] { return session.ConnectPageShown(); }));

    // Each language button stores its language at once.
    session.Click(e2e::kGermanX, e2e::kGermanY);
    EXPECT_TRUE(WaitForSetting(session, "LANGUAGE=1"));
    session.Click(e2e::kEnglishX, e2e::kEnglishY);
    EXPECT_TRUE(WaitForSetting(session, "LANGUAGE=0"));

    ASSERT_TRUE(session.Connect(60));

    // F12: an 800 x 480 PNG of the display in the data folder.
    session.Keys("key F12");
    e2e::fs::path shot;
    for (int i = 0; i < 50 && shot.empty(); ++i) {
        for (const auto& entry : e2e::fs::directory_iterator(session.DataFolder()))
            if (entry.path().extension() == ".png") shot = entry.path();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_FALSE(shot.empty()) << "F12 wrote no picture";
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const std::string png = e2e::ReadFile(shot);
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    const auto big_endian = [&](size_t at) {
        return (uint32_t(uint8_t(png[at])) << 24) | (uint32_t(uint8_t(png[at + 1])) << 16) |
               (uint32_t(uint8_t(png[at + 2])) << 8) | uint8_t(png[at + 3]);
    };
    EXPECT_EQ(big_endian(16), 800u);
    EXPECT_EQ(big_endian(20), 480u);

    // Nine meters do not fit: the page follows a drag to the left and comes back.
    session.Click(kCorvoTabX, kTabY);
    std::vector<int> before;
    ASSERT_TRUE(session.WaitFor([&] {
        before = TileEdges(session);
        return before.size() >= 2;
    })) << "no tiles on the Corvo page";
    session.Drag(600, 300, 200, 300);
    std::vector<int> dragged;
    EXPECT_TRUE(session.WaitFor(
        [&] {
            dragged = TileEdges(session);
            return !dragged.empty() && dragged != before;
        },
        10))
        << "the page did not move";
    session.SaveScreen("e2e_corvo_dragged.png");
    session.Drag(200, 300, 700, 300);
    std::vector<int> back;
    EXPECT_TRUE(session.WaitFor(
        [&] {
            back = TileEdges(session);
            return back == before;
        },
        10))
        << "the page did not come back";

    // Two notches of the wheel towards the user move it 200 pixels to the left, two away from
    // the user bring it back.
    session.Wheel(400, 300, -2);
    std::vector<int> wheeled;
    const auto moved_by_200 = [&] {
        wheeled = TileEdges(session);
        for (int edge : before)
            if (edge - 200 > 0 &&
                std::find(wheeled.begin(), wheeled.end(), edge - 200) == wheeled.end())
                return false;
        return !wheeled.empty() && wheeled != before;
    };
    EXPECT_TRUE(session.WaitFor(moved_by_200, 10)) << "the wheel did not move the page";
    session.Wheel(400, 300, 2);
    EXPECT_TRUE(session.WaitFor(
        [&] {
            back = TileEdges(session);
            return back == before;
        },
        10))
        << "the page did not come back with the wheel";

    // The second meter's name field opens the keyboard; Enter takes the name typed on the
    // computer's keyboard, and it is in the names file at once.
    ASSERT_GE(before.size(), 2u);
    const auto names_file_has = [&](const std::string& text) {
        for (const auto& entry : e2e::fs::directory_iterator(session.DataFolder()))
            if (entry.path().filename().string().rfind("conf", 0) == 0 &&
                e2e::ReadFile(entry.path()).find(text) != std::string::npos)
                return true;
        return false;
    };
    const auto keyboard_shown = [&] { return TileEdges(session).empty(); };
    session.Click(before[1] + 20, kNameRowY);
    ASSERT_TRUE(session.WaitFor(keyboard_shown, 10)) << "no keyboard";
    session.Keys("key --delay 30 BackSpace BackSpace BackSpace BackSpace BackSpace");
    session.Keys("type --delay 30 Meter");
    session.Keys("key Return");
    EXPECT_TRUE(session.WaitFor([&] { return names_file_has("CNAME=Meter"); }, 10))
        << "Enter did not take the name";
    EXPECT_TRUE(session.WaitFor([&] { return TileEdges(session) == before; }, 10));
    session.Click(before[0] + 20, kNameRowY);
    ASSERT_TRUE(session.WaitFor(keyboard_shown, 10)) << "no keyboard";
    session.Keys("type --delay 30 Dropped");
    session.Keys("key Escape");
    EXPECT_TRUE(session.WaitFor([&] { return TileEdges(session) == before; }, 10))
        << "Escape did not close the keyboard";
    EXPECT_FALSE(names_file_has("Dropped"));

    EXPECT_TRUE(session.Alive());
    EXPECT_EQ(session.Stop(), 0);
}

} // namespace
