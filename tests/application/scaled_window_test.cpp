// The real program with --scale 2 on a private X server: the window is twice as large, a click at
// the enlarged place of a button on the connect page presses that button, and F12 still writes
// an 800 x 480 screenshot.
#include "tests/gui/host/host_test_util.h"
#include "tests/gui/host/xvfb_session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

template <typename Condition> bool WaitFor(Condition condition, int seconds) {
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    while (Clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

int WaitExit(pid_t pid, int seconds) {
    int code = -1;
    WaitFor(
        [&] {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) != pid) return false;
            code = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
            return true;
        },
        seconds);
    return code;
}

void WriteTextFile(const std::string& path, const std::string& text) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) return;
    std::fputs(text.c_str(), file);
    std::fclose(file);
}

} // namespace

TEST(ScaledWindow, AClickAtTheEnlargedPlacePressesTheButtonAndScreenshotsStaySmall) {
    if (!XVFB_HaveProgram("Xvfb") || !XVFB_HaveProgram("xdotool"))
        GTEST_SKIP() << "Xvfb or xdotool is not installed";
    XvfbSession xvfb;
    std::string why_not;
    ASSERT_TRUE(xvfb.Start(&why_not, 1800, 1100)) << why_not;
    xvfb.MovePointer(0, 0);
    ScratchFolder folder; // also the working folder
    const std::string data = folder.File("data");
    // In the sanitizer build: libdbus and libX11, which SDL opens, keep memory they never free.
    const std::string suppressions = folder.File("lsan.supp");
    WriteTextFile(suppressions, "leak:libdbus-1.so\nleak:libX11.so\n");

    const pid_t pid = fork();
    if (pid == 0) {
        unsetenv("VELTRA_HOST");
        setenv("LSAN_OPTIONS", ("suppressions=" + suppressions).c_str(), 1);
        setenv("VELTRA_NO_MESSAGE_BOX", "1", 1);
        const int out = open("output.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(out, 2);
        const std::string program = std::string(VELTRA_BINARY_DIR) + "/application/veltra-desktop";
        execl(program.c_str(), "veltra-desktop", "--scale", "2", "--language", "en", "--data-dir",
              data.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_GT(pid, 0);

    XvfbWindow window;
    ASSERT_TRUE(WaitFor([&] { return xvfb.FindWindow("veltraDesktop - v1.07.00", &window); }, 20));
    EXPECT_EQ(window.width, 1604);
    EXPECT_EQ(window.height, 964);

    // DEUTSCH on the connect page: display pixels (370, 260) to (519, 309), so its middle
    // (445, 285) is at (2 + 890, 2 + 570) in the window. The page comes after the start picture;
    // until then the clicks fall on the picture.
    const std::string settings = data + "/config.ini";
    const bool german = WaitFor(
        [&] {
            xvfb.MovePointer(window.x + 2 + 890, window.y + 2 + 570);
            XVFB_Run("xdotool click 1");
            return ReadFile(settings).find("LANGUAGE=1") != std::string::npos;
        },
        30);
    EXPECT_TRUE(german) << "the click did not reach DEUTSCH; the program said:\n"
                        << ReadFile(folder.File("output.txt"));

    XVFB_Run("xdotool windowfocus --sync " + std::to_string(window.id) + " key F12");
    std::string screenshot;
    EXPECT_TRUE(WaitFor(
        [&] {
            for (const auto& entry : fs::directory_iterator(data))
                if (entry.path().extension() == ".png") screenshot = entry.path();
            return !screenshot.empty();
        },
        10));
    if (!screenshot.empty()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200)); // written whole
        int width = 0, height = 0;
        ReadPNG(screenshot, &width, &height);
        EXPECT_EQ(width, 800);
        EXPECT_EQ(height, 480);
    }

    kill(pid, SIGTERM);
    const int code = WaitExit(pid, 10);
    if (code == -1) kill(pid, SIGKILL);
    EXPECT_EQ(code, 0);
}
