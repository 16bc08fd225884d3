// The real program against the gateway simulator on a private Xvfb server, driven with
// xdotool as a user would: type the address, CONNECT, the pages appear; the gateway goes away
// and comes back; the information window opens and closes.
#include "tests/e2e/e2e_util.h"
#include "tests/util/simulator.h"

#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr uint32_t kDarkGreen = 0x006600; // as the screen holds it, 0xRRGGBB

class ConnectEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!XVFB_HaveProgram("Xvfb") || !XVFB_HaveProgram("xdotool"))
            GTEST_SKIP() << "Xvfb or xdotool is not installed";
        std::string why_not;
        ASSERT_TRUE(session_.StartServer(&why_not)) << why_not;
    }

    void Start(int port) { ASSERT_TRUE(session_.StartProgram(port)) << "no window"; }

    uint32_t At(int x, int y) const { return session_.At(x, y); }
    // On failure the last screen is kept as e2e_failed.png in the build folder.
    bool WaitFor(const std::function<bool()>& check, int seconds = 30) {
        if (session_.WaitFor(check, seconds)) return true;
        session_.SaveScreen("e2e_failed.png");
        return false;
    }
    void Click(int x, int y) { session_.Click(x, y); }
    void Keys(const std::string& arguments) { session_.Keys(arguments); }
    bool ConnectPageShown() const { return session_.ConnectPageShown(); }
    bool PagesShown() const { return session_.PagesShown(); }
    bool BannerShown() const { return session_.BannerShown(); }
    int GreenListPixels() const { return session_.GreenListPixels(); }
    std::string Output() const { return session_.Output(); }
    void Screenshot(const char* name) { session_.SaveScreen(name); }

    e2e::ProgramSession session_{"connect"};
};

TEST_F(ConnectEndToEnd, ConnectLoseTheGatewayReconnectAndReadTheInformationWindow) {
    auto simulator = std::make_unique<Simulator>(std::vector<std::string>{});
    const int port = simulator->port();
    ASSERT_GT(port, 0);
    Start(port);
    ASSERT_TRUE(WaitFor([&] { return ConnectPageShown(); })) << "no connect page";

    // Replace the proposed address; the field adds the dot after three digits itself.
    Click(180, 210);
    for (int i = 0; i < 16; ++i) Keys("key BackSpace");
    Keys("type --delay 40 127.0.0.1");
    Click(445, 210); // CONNECT
    ASSERT_TRUE(WaitFor([&] { return PagesShown(); }, 60))
        << "no pages after CONNECT; the program said:\n"
        << Output().substr(0, 2000);
    // Home is selected: its tile's grey frame and its dark green name field lie below the tabs.
    int frame_y = -1;
    for (int y = 86; y < 130 && frame_y < 0; ++y)
        if (At(40, y) == 0x808080) frame_y = y;
    ASSERT_GT(frame_y, 0) << "no tile frame";
    EXPECT_EQ(At(40, frame_y + 6), kDarkGreen);
    Screenshot("e2e_connected.png");
    // The Home tab is selected and its tile framed: grey frame, dark green name field.
    const std::string settings = e2e::ReadFile(session_.DataFolder() / "config.ini");
    EXPECT_NE(settings.find("127.0.0.1"), std::string::npos) << settings;

    // The gateway goes away: the lost-connection banner, then the connect page.
    simulator.reset();
    ASSERT_TRUE(WaitFor([&] { return BannerShown(); }, 40)) << "no lost-connection banner";
    ASSERT_TRUE(WaitFor([&] { return ConnectPageShown(); }, 20)) << "no connect page after loss";

    // It comes back on the same port: CONNECT brings the pages back.
    simulator = std::make_unique<Simulator>(std::vector<std::string>{"--port",
                                                                     std::to_string(port)});
    ASSERT_EQ(simulator->port(), port);
    Click(445, 210);
    ASSERT_TRUE(WaitFor([&] { return PagesShown(); }, 60)) << "no pages after reconnecting";

    // The information window shows the search's lines and closes with its button.
    Click(770, 30);
    ASSERT_TRUE(WaitFor([&] { return GreenListPixels() > 200; }, 10)) << "no information lines";
    Screenshot("e2e_information.png");
    Click(35, 445);
    EXPECT_TRUE(WaitFor([&] { return PagesShown(); }, 10)) << "the information window stayed";

    EXPECT_EQ(session_.Stop(), 0);
}

} // namespace
