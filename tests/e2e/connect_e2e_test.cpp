// The real program against the gateway simulator on a private Xvfb server, driven with
// xdotool as a user would: type the address, CONNECT, the pages appear; the gateway goes away
// and comes back; the information window opens and closes.
#include "tests/gui/host/xvfb_session.h"
#include "tests/util/simulator.h"

#include <gtest/gtest.h>
#include <png.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr const char* kTitle = "veltraDesktop - v1.07.00";
const fs::path kProgram = fs::path(VELTRA_BINARY_DIR) / "application" / "veltra-desktop";

constexpr uint32_t kDarkGreen = 0x006600; // as the screen holds it, 0xRRGGBB
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kGreen = 0x00FF00;

void WritePng(const std::string& path, const XvfbImage& image, int x0, int y0) {
    std::vector<png_byte> rgb(800 * 480 * 3);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 800; ++x) {
            const uint32_t p = image.At(x0 + x, y0 + y);
            png_byte* out = &rgb[size_t(y * 800 + x) * 3];
            out[0] = png_byte(p >> 16), out[1] = png_byte(p >> 8), out[2] = png_byte(p);
        }
    png_image info{};
    info.version = PNG_IMAGE_VERSION;
    info.width = 800;
    info.height = 480;
    info.format = PNG_FORMAT_RGB;
    png_image_write_to_file(&info, path.c_str(), 0, rgb.data(), 0, nullptr);
}

class ConnectEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!XVFB_HaveProgram("Xvfb") || !XVFB_HaveProgram("xdotool"))
            GTEST_SKIP() << "Xvfb or xdotool is not installed";
        std::string why_not;
        ASSERT_TRUE(xvfb_.Start(&why_not)) << why_not;
        scratch_ = fs::temp_directory_path() / ("veltra-e2e-connect-" + std::to_string(getpid()));
        fs::remove_all(scratch_);
        fs::create_directories(scratch_ / "appdata");
        fs::create_directories(scratch_ / "work");
        std::ofstream(scratch_ / "lsan.supp") << "leak:libdbus-1.so\nleak:libX11.so\n";
    }

    void TearDown() override {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (!scratch_.empty()) fs::remove_all(scratch_);
    }

    void Start(int port) {
        const std::string out = (scratch_ / "stdout.txt").string();
        pid_ = fork();
        if (pid_ == 0) {
            setenv("APPDATA", (scratch_ / "appdata").c_str(), 1);
            setenv("VELTRA_NO_MESSAGE_BOX", "1", 1);
            setenv("VELTRA_GATEWAY_PORT", std::to_string(port).c_str(), 1);
            unsetenv("VELTRA_HOST");
            const std::string lsan = "suppressions=" + (scratch_ / "lsan.supp").string();
            setenv("LSAN_OPTIONS", lsan.c_str(), 1);
            if (chdir((scratch_ / "work").c_str()) != 0) _exit(126);
            if (!freopen(out.c_str(), "w", stdout)) _exit(125);
            execl(kProgram.c_str(), "veltra-desktop", static_cast<char*>(nullptr));
            _exit(127);
        }
        ASSERT_GT(pid_, 0);
        const auto end = Clock::now() + std::chrono::seconds(20);
        while (Clock::now() < end && !xvfb_.FindWindow(kTitle, &window_))
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_GT(window_.width, 0) << "no window titled " << kTitle;
    }

    // A display pixel (0xRRGGBB) of the last screenshot.
    uint32_t At(int x, int y) const { return screen_.At(window_.x + 1 + x, window_.y + 1 + y); }

    // Takes screenshots until the check holds on the display or `seconds` pass.
    // On failure the last screen is kept as e2e_failed.png in the build folder.
    bool WaitFor(const std::function<bool()>& check, int seconds = 30) {
        const auto end = Clock::now() + std::chrono::seconds(seconds);
        while (Clock::now() < end) {
            std::string why_not;
            if (xvfb_.Screenshot(&screen_, &why_not) && check()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (screen_.width > 0) Screenshot("e2e_failed.png");
        return false;
    }

    void Click(int x, int y) {
        xvfb_.MovePointer(window_.x + 1 + x, window_.y + 1 + y);
        XVFB_Run("xdotool click 1");
    }
    void Keys(const std::string& arguments) { XVFB_Run("xdotool " + arguments); }

    // The screens the test tells apart.
    bool ConnectPageShown() const {
        // The white address field and the light CONNECT button.
        return At(30, 195) == kWhite && At(380, 195) != 0x000000;
    }
    bool PagesShown() const {
        // The selected first tab is light where the connect page has its dark green band; the
        // tabs beside it are dark green; no address field.
        const uint32_t tab = At(6, 66);
        const bool light = ((tab >> 16) & 0xFF) > 0xC0 && ((tab >> 8) & 0xFF) > 0xC0 &&
                           (tab & 0xFF) > 0xC0;
        return light && At(30, 195) != kWhite && At(600, 65) == kDarkGreen;
    }
    bool BannerShown() const {
        int white = 0;
        for (int y = 5; y < 45; ++y)
            for (int x = 200; x < 500; ++x) white += At(x, y) == kWhite;
        return white > 100;
    }
    int GreenListPixels() const {
        int n = 0;
        for (int y = 90; y < 390; ++y)
            for (int x = 4; x < 300; ++x) n += At(x, y) == kGreen;
        return n;
    }
    std::string Output() const {
        std::ifstream in(scratch_ / "stdout.txt");
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    void Screenshot(const char* name) {
        WritePng(std::string(VELTRA_BINARY_DIR) + "/" + name, screen_, window_.x + 1,
                 window_.y + 1);
    }

    XvfbSession xvfb_;
    XvfbWindow window_;
    XvfbImage screen_;
    fs::path scratch_;
    pid_t pid_ = -1;
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
    const std::string settings =
        [&] {
            std::ifstream in(scratch_ / "appdata" / "Ovalo" / "config.ini");
            std::stringstream s;
            s << in.rdbuf();
            return s.str();
        }();
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

    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

} // namespace
