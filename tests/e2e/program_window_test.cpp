// The real program in a real window: veltra-desktop is started on a private Xvfb server with
// an empty data root and a scratch working folder, and what the X server shows is compared
// with the start picture.
#include "tests/gui/host/xvfb_session.h"

#include <gtest/gtest.h>
#include <jpeglib.h>
#include <png.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr const char* kTitle = "veltraDesktop - v1.07.00";
const fs::path kProgram = fs::path(VELTRA_BINARY_DIR) / "application" / "veltra-desktop";

// The start picture decoded independently of the program: 800 x 480, 0x00RRGGBB.
std::vector<uint32_t> DecodeStartPicture() {
    const fs::path path = fs::path(VELTRA_SOURCE_DIR) / "Data_Media" / "welcomeImage.jpg";
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return {};
    jpeg_decompress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    std::vector<uint32_t> pixels;
    if (info.output_width == 800 && info.output_height == 480) {
        pixels.resize(800 * 480);
        std::vector<unsigned char> row(800 * 3);
        for (int y = 0; y < 480; ++y) {
            JSAMPROW rows[1] = {row.data()};
            jpeg_read_scanlines(&info, rows, 1);
            for (int x = 0; x < 800; ++x)
                pixels[y * 800 + x] =
                    (uint32_t{row[3 * x]} << 16) | (uint32_t{row[3 * x + 1]} << 8) | row[3 * x + 2];
        }
    }
    jpeg_abort_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(file);
    return pixels;
}

int Channel(uint32_t pixel, int shift) {
    return static_cast<int>((pixel >> shift) & 0xFF);
}

// The grey of the window's frame around the display.
constexpr uint32_t kFrameGrey = 0xABABAB;

// A number xwininfo reports for the window ("  Width: 802"); -1 when missing.
int WindowInfo(unsigned long id, const std::string& field) {
    const std::string info = XVFB_Run("xwininfo -id " + std::to_string(id));
    const size_t at = info.find("  " + field + ": ");
    if (at == std::string::npos) return -1;
    return std::atoi(info.c_str() + at + field.size() + 4);
}

// The packaged 128 x 128 icon as 0xAARRGGBB.
std::vector<uint32_t> PackagedIcon() {
    const fs::path path =
        fs::path(VELTRA_SOURCE_DIR) / "packaging" / "icons" / "org.veltra.VeltraDesktop-128.png";
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) return {};
    std::vector<uint32_t> pixels;
    for (size_t i = 0; i + 3 < rgba.size(); i += 4)
        pixels.push_back(uint32_t{rgba[i + 3]} << 24 | uint32_t{rgba[i]} << 16 |
                         uint32_t{rgba[i + 1]} << 8 | rgba[i + 2]);
    return pixels;
}

// The numbers of a list "1, 2, 3" as xprop prints them.
std::vector<uint32_t> IconPixels(const std::string& list) {
    std::vector<uint32_t> values;
    const char* at = list.c_str();
    char* end = nullptr;
    for (unsigned long value = std::strtoul(at, &end, 10); end != at;
         value = std::strtoul(at, &end, 10)) {
        values.push_back(static_cast<uint32_t>(value));
        at = end;
        while (*at == ',' || *at == ' ')
            ++at;
    }
    return values;
}

// The pixels of the window, outside the display, that are not the frame's grey; the display is
// at (scale, scale), 800 x 480 times scale.
int PixelsOutsideTheFrame(const XvfbImage& screen, const XvfbWindow& window, int scale) {
    int wrong = 0;
    for (int y = 0; y < window.height; ++y)
        for (int x = 0; x < window.width; ++x) {
            const bool display =
                x >= scale && x < scale + 800 * scale && y >= scale && y < scale + 480 * scale;
            if (!display && screen.At(window.x + x, window.y + y) != kFrameGrey) ++wrong;
        }
    return wrong;
}

class ProgramWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!XVFB_HaveProgram("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
        std::string why_not;
        ASSERT_TRUE(xvfb_.Start(&why_not, screen_width_, screen_height_)) << why_not;
        scratch_ = fs::temp_directory_path() /
                   ("veltra-e2e-" + std::to_string(getpid()) + "-" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(scratch_);
        fs::create_directories(scratch_ / "appdata");
        fs::create_directories(scratch_ / "work");
        // SDL opens libdbus, which keeps one buffer to the end; that is not ours to leak.
        std::ofstream(scratch_ / "lsan.supp") << "leak:libdbus-1.so\nleak:libX11.so\n";
    }

    void TearDown() override {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (!scratch_.empty()) fs::remove_all(scratch_);
    }

    // Starts the program (itself or a copy) with the scratch folders and the given arguments;
    // its output goes to output.txt in the scratch folder. Without a display the program
    // finds no X server (DISPLAY, WAYLAND_DISPLAY unset).
    void Start(const fs::path& program, const std::vector<std::string>& arguments = {},
               bool display = true) {
        const std::string output = (scratch_ / "output.txt").string();
        pid_ = fork();
        if (pid_ == 0) {
            setenv("APPDATA", (scratch_ / "appdata").c_str(), 1);
            setenv("VELTRA_NO_MESSAGE_BOX", "1", 1);
            unsetenv("VELTRA_HOST");
            if (!display) {
                unsetenv("DISPLAY");
                unsetenv("WAYLAND_DISPLAY");
            }
            const std::string lsan = "suppressions=" + (scratch_ / "lsan.supp").string();
            setenv("LSAN_OPTIONS", lsan.c_str(), 1);
            if (chdir((scratch_ / "work").c_str()) != 0) _exit(126);
            const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (out >= 0) {
                dup2(out, 1);
                dup2(out, 2);
            }
            std::vector<char*> argv{const_cast<char*>("veltra-desktop")};
            for (const std::string& argument : arguments)
                argv.push_back(const_cast<char*>(argument.c_str()));
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        ASSERT_GT(pid_, 0);
    }

    std::string Output() const {
        std::ifstream file(scratch_ / "output.txt");
        return std::string(std::istreambuf_iterator<char>(file), {});
    }

    // The program's exit code once it ended by itself, or -1 when it still runs after that time.
    int WaitExit(std::chrono::milliseconds patience) {
        const auto end = Clock::now() + patience;
        while (Clock::now() < end) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return -1;
    }

    bool WaitForWindow(XvfbWindow* window) {
        const auto end = Clock::now() + std::chrono::seconds(20);
        while (Clock::now() < end) {
            if (xvfb_.FindWindow(kTitle, window)) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    // Polls the screen until the display area satisfies the check or the time is up.
    template <typename Check>
    bool WaitForDisplay(const XvfbWindow& window, Check check, XvfbImage* last) {
        const auto end = Clock::now() + std::chrono::seconds(20);
        while (Clock::now() < end) {
            std::string why_not;
            if (xvfb_.Screenshot(last, &why_not) && check(*last, window.x + 1, window.y + 1))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }

    // Ends the program with SIGTERM; its exit code, or -1 when it did not end in time.
    int Stop() {
        kill(pid_, SIGTERM);
        return WaitExit(std::chrono::seconds(15));
    }

    // The window's size, position and frame, its icon, as the X server and its tools see them.
    void ExpectTheFramedDisplay(const XvfbWindow& window, int scale) {
        // xwininfo reads the window's geometry from the server, as a user would.
        EXPECT_EQ(WindowInfo(window.id, "Width"), 802 * scale);
        EXPECT_EQ(WindowInfo(window.id, "Height"), 482 * scale);
        // Centred on the screen (no window manager here moves it).
        EXPECT_NEAR(window.x, (screen_width_ - 802 * scale) / 2, 1);
        EXPECT_NEAR(window.y, (screen_height_ - 482 * scale) / 2, 1);
        XvfbImage screen;
        std::string why_not;
        ASSERT_TRUE(xvfb_.Screenshot(&screen, &why_not)) << why_not;
        EXPECT_EQ(PixelsOutsideTheFrame(screen, window, scale), 0);
        // The icon for the task bar and the window switcher: width and height, then the pixels
        // as 0xAARRGGBB, which must be the packaged icon's.
        const std::string icon =
            XVFB_Run("xprop -notype -id " + std::to_string(window.id) + " 32c _NET_WM_ICON");
        ASSERT_EQ(icon.rfind("_NET_WM_ICON = 128, 128, ", 0), 0u) << icon.substr(0, 200);
        EXPECT_EQ(IconPixels(icon.substr(25)), PackagedIcon());
    }

    int screen_width_ = 1024;
    int screen_height_ = 768;
    XvfbSession xvfb_;
    fs::path scratch_;
    pid_t pid_ = -1;
};

// A screen large enough for the window at scale 2.
class LargeScreen : public ProgramWindow {
  protected:
    LargeScreen() {
        screen_width_ = 1800;
        screen_height_ = 1100;
    }
};

TEST_F(ProgramWindow, OpensAndShowsTheStartPicture) {
    const std::vector<uint32_t> expected = DecodeStartPicture();
    ASSERT_EQ(expected.size(), 800u * 480u);

    Start(kProgram);
    XvfbWindow window;
    ASSERT_TRUE(WaitForWindow(&window)) << "no window titled " << kTitle;

    // The program's decoder and ours may round the colour conversion differently; the
    // picture must agree within a few steps everywhere.
    int worst = 0;
    XvfbImage screen;
    const bool shown = WaitForDisplay(
        window,
        [&](const XvfbImage& image, int x0, int y0) {
            worst = 0;
            for (int y = 0; y < 480; ++y)
                for (int x = 0; x < 800; ++x) {
                    const uint32_t got = image.At(x0 + x, y0 + y);
                    const uint32_t want = expected[y * 800 + x];
                    for (int shift : {0, 8, 16})
                        worst =
                            std::max(worst, std::abs(Channel(got, shift) - Channel(want, shift)));
                }
            return worst <= 4;
        },
        &screen);
    EXPECT_TRUE(shown) << "the display area differs from the start picture by up to " << worst;
    ExpectTheFramedDisplay(window, 1);

    // The data folder exists and the program ends cleanly.
    EXPECT_TRUE(fs::is_directory(scratch_ / "appdata" / "Ovalo"));
    EXPECT_EQ(Stop(), 0);
}

TEST_F(ProgramWindow, HaltsWithATextWhenTheLanguageFilesAreMissing) {
    // A copy of the program whose Data_Media holds the start picture alone.
    const fs::path copy = scratch_ / "bin" / "veltra-desktop";
    fs::create_directories(copy.parent_path() / "Data_Media");
    fs::copy_file(kProgram, copy);
    fs::copy_file(fs::path(VELTRA_SOURCE_DIR) / "Data_Media" / "welcomeImage.jpg",
                  copy.parent_path() / "Data_Media" / "welcomeImage.jpg");

    Start(copy);
    XvfbWindow window;
    ASSERT_TRUE(WaitForWindow(&window));

    // The halt text is drawn at (300,200) over the start picture: the start picture stays
    // everywhere but in the text's band, where glyph pixels appear.
    const std::vector<uint32_t> picture = DecodeStartPicture();
    ASSERT_EQ(picture.size(), 800u * 480u);
    XvfbImage screen;
    const bool halted = WaitForDisplay(
        window,
        [&](const XvfbImage& image, int x0, int y0) {
            int changed_in_band = 0;
            for (int y = 0; y < 480; ++y)
                for (int x = 0; x < 800; ++x) {
                    const uint32_t got = image.At(x0 + x, y0 + y);
                    const uint32_t want = picture[y * 800 + x];
                    int diff = 0;
                    for (int shift : {0, 8, 16})
                        diff = std::max(diff, std::abs(Channel(got, shift) - Channel(want, shift)));
                    const bool in_band = y >= 200 && y < 230 && x >= 300 && x < 600;
                    if (in_band && diff > 40) ++changed_in_band;
                    if (!in_band && diff > 4) return false;
                }
            return changed_in_band > 50;
        },
        &screen);
    EXPECT_TRUE(halted) << "no text appeared at (300,200)";

    // Halted, the window still closes on request.
    EXPECT_EQ(Stop(), 0);
}

TEST_F(LargeScreen, AtScaleTwoTheWindowIsTheFramedDisplayTwiceAsLarge) {
    Start(kProgram, {"--scale", "2"});
    XvfbWindow window;
    ASSERT_TRUE(WaitForWindow(&window)) << "no window titled " << kTitle;
    // The start picture fills the display's place in 2 x 2 blocks once it is on show.
    const std::vector<uint32_t> picture = DecodeStartPicture();
    ASSERT_EQ(picture.size(), 800u * 480u);
    XvfbImage screen;
    const bool shown = WaitForDisplay(
        window,
        [&](const XvfbImage& image, int, int) {
            for (int y = 0; y < 960; ++y)
                for (int x = 0; x < 1600; ++x) {
                    const uint32_t got = image.At(window.x + 2 + x, window.y + 2 + y);
                    const uint32_t want = picture[(y / 2) * 800 + x / 2];
                    for (int shift : {0, 8, 16})
                        if (std::abs(Channel(got, shift) - Channel(want, shift)) > 4) return false;
                }
            return true;
        },
        &screen);
    EXPECT_TRUE(shown) << "the start picture is not on show at scale 2";
    ExpectTheFramedDisplay(window, 2);
    EXPECT_EQ(Stop(), 0);
}

TEST_F(ProgramWindow, WithoutADisplayEndsAtOnceWithALinePointingToNoWindow) {
    Start(kProgram, {}, false);
    // It ends by itself, quickly, with exit code 2 (it used to run on unseen for ever).
    EXPECT_EQ(WaitExit(std::chrono::seconds(5)), 2) << Output();
    const std::string output = Output();
    EXPECT_NE(output.find("veltra-desktop: Could not open the display window"), std::string::npos)
        << output;
    EXPECT_NE(output.find("use --no-window for unattended logging\n"), std::string::npos) << output;
    // Nothing started: no settings, no log.
    EXPECT_FALSE(fs::exists(scratch_ / "appdata" / "Ovalo" / "config.ini"));

    // The headless host the tests use still runs without a display until asked to stop.
    fs::remove(scratch_ / "output.txt");
    pid_ = fork();
    if (pid_ == 0) {
        setenv("VELTRA_HOST", "headless", 1);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        setenv("APPDATA", (scratch_ / "appdata").c_str(), 1);
        if (chdir((scratch_ / "work").c_str()) != 0) _exit(126);
        const int out = open((scratch_ / "output.txt").c_str(), O_WRONLY | O_CREAT, 0644);
        if (out >= 0) dup2(out, 2);
        execl(kProgram.c_str(), "veltra-desktop", static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_GT(pid_, 0);
    EXPECT_EQ(WaitExit(std::chrono::seconds(2)), -1) << "ended by itself: " << Output();
    EXPECT_EQ(Stop(), 0);
}

} // namespace
