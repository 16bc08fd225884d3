// The real SDL window on a private Xvfb server: its title, size and fixed size as the X server
// sees them, the frame on show read back from the server's screen, real mouse, wheel and key
// input through xdotool, F12 screenshots, warning boxes and closing the window.
#include "base/datafolder.h"
#include "base/dbg.h"
#include "base/lifecycle.h"
#include "gui/host/host.h"
#include "tests/gui/host/host_test_util.h"
#include "tests/gui/host/xvfb_session.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// libdbus, which SDL's video start-up opens, keeps a buffer that it never frees.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so\n";
}

namespace {

using Clock = std::chrono::steady_clock;

// Real input and a real X server take real time; every wait is bounded.
constexpr auto kPatience = std::chrono::seconds(5);

class HostWindow : public ::testing::Test {
  protected:
    // One X server for all cases of the process: SDL keeps its connection to the first server
    // it opened, so a window of a later case must appear on that same server. It is large
    // enough for the window at scale 2.
    static void SetUpTestSuite() {
        if (XVFB_HaveProgram("Xvfb") && XVFB_HaveProgram("xdotool"))
            server_started_ = xvfb_.Start(&server_error_, 1800, 1100);
    }

    void SetUp() override {
        if (!XVFB_HaveProgram("Xvfb") || !XVFB_HaveProgram("xdotool"))
            GTEST_SKIP() << "Xvfb or xdotool is not installed: the real window is not tested";
        ASSERT_TRUE(server_started_) << server_error_;
        // As the test runner sets it (a case may take it away); also when run on its own.
        ::setenv("VELTRA_NO_MESSAGE_BOX", "1", 1);
        OpenWindow(1);
    }
    void TearDown() override {
        HOST_Exit();
        HOST_SetScale(1);
    }

    void OpenWindow(int scale) {
        // The pointer starts in a corner away from the window, so no input comes unasked.
        xvfb_.MovePointer(0, 0);
        ::unsetenv("VELTRA_HOST");
        HOST_SetScale(scale);
        ASSERT_EQ(HOST_Init(), nullptr);
        ASSERT_EQ(HOST_GetBackend(), HOST_BACKEND_SDL);
        ASSERT_TRUE(PumpUntil([this] { return xvfb_.FindWindow(HOST_WINDOW_TITLE, &window_); }))
            << "no window titled \"" << HOST_WINDOW_TITLE << "\"";
    }

    // Runs the event loop's passes until the condition holds or the patience is used up.
    template <typename Condition> bool PumpUntil(Condition condition) {
        const auto deadline = Clock::now() + kPatience;
        while (Clock::now() < deadline) {
            HOST_ProcessEvents(10);
            if (condition()) return true;
        }
        return false;
    }

    // Shows a frame buffer and waits until the X server's screen has it at the display's place.
    // A test of the toolkit's start picture draws through the toolkit and then calls
    // DisplayShows with the buffer it drew into.
    bool DisplayShows(const uint32_t* frame) {
        return PumpUntil([&] {
            XvfbImage screen;
            std::string why_not;
            if (!xvfb_.Screenshot(&screen, &why_not)) return false;
            for (int y = 0; y < HOST_YSIZE; ++y)
                for (int x = 0; x < HOST_XSIZE; ++x)
                    if (screen.At(window_.x + HOST_DISPLAY_X0 + x,
                                  window_.y + HOST_DISPLAY_Y0 + y) != frame[y * HOST_XSIZE + x])
                        return false;
            return true;
        });
    }

    void Xdotool(const std::string& arguments) { XVFB_Run("xdotool " + arguments); }

    // Moves the pointer over a display pixel (or beyond the display).
    void MoveTo(int x, int y) {
        xvfb_.MovePointer(window_.x + HOST_DISPLAY_X0 + x, window_.y + HOST_DISPLAY_Y0 + y);
    }

    std::vector<HOST_InputEvent> TakeInput(size_t count) {
        std::vector<HOST_InputEvent> events;
        PumpUntil([&] {
            HOST_InputEvent event;
            while (HOST_PollInput(&event))
                events.push_back(event);
            return events.size() >= count;
        });
        return events;
    }

    static XvfbSession xvfb_;
    static bool server_started_;
    static std::string server_error_;
    XvfbWindow window_;
};

XvfbSession HostWindow::xvfb_;
bool HostWindow::server_started_ = false;
std::string HostWindow::server_error_;

void FillPattern(uint32_t* frame) {
    for (int y = 0; y < HOST_YSIZE; ++y)
        for (int x = 0; x < HOST_XSIZE; ++x)
            frame[y * HOST_XSIZE + x] = uint32_t(x * 255 / (HOST_XSIZE - 1)) << 16 |
                                        uint32_t(y * 255 / (HOST_YSIZE - 1)) << 8 |
                                        uint32_t((x ^ y) & 0xFF);
}

std::string PointerText(const std::vector<HOST_InputEvent>& events) {
    std::string text;
    for (const HOST_InputEvent& e : events) {
        if (e.kind != HOST_INPUT_POINTER) continue;
        text += "(" + std::to_string(e.pointer.x) + "," + std::to_string(e.pointer.y) + "," +
                std::to_string(e.pointer.pressed) + ")";
    }
    return text;
}

std::string KeyText(const std::vector<HOST_InputEvent>& events) {
    std::string text;
    for (const HOST_InputEvent& e : events) {
        if (e.kind != HOST_INPUT_KEY) continue;
        text += "{" + std::to_string(e.key) + "," + std::to_string(e.pressed) + "}";
    }
    return text;
}

std::mutex g_output_mutex;
std::string g_output;
void CaptureOutput(const char* text, int length) {
    std::lock_guard<std::mutex> guard(g_output_mutex);
    g_output.append(text, length);
}

std::atomic<int> g_boxes{0};
std::atomic<bool> g_box_on_other_thread{false};
std::thread::id g_main_thread;
std::string g_box_text;
void RecordBox(const char* caption, const char* text) {
    if (std::this_thread::get_id() != g_main_thread) g_box_on_other_thread = true;
    std::lock_guard<std::mutex> guard(g_output_mutex);
    g_box_text = std::string(caption) + "|" + text;
    ++g_boxes;
}

} // namespace

TEST_F(HostWindow, HasTheTitleAndAFixedSizeAndShowsTheFrame) {
    EXPECT_EQ(window_.width, HOST_WINDOW_XSIZE);
    EXPECT_EQ(window_.height, HOST_WINDOW_YSIZE);
    // Not resizable: the size hints pin both the smallest and the largest size.
    const std::pair<int, int> size{HOST_WINDOW_XSIZE, HOST_WINDOW_YSIZE};
    EXPECT_EQ(window_.min, size);
    EXPECT_EQ(window_.max, size);

    std::vector<uint32_t> frame(HOST_XSIZE * HOST_YSIZE);
    FillPattern(frame.data());
    std::copy(frame.begin(), frame.end(), HOST_GetFrameBuffer(2));
    HOST_SetShownBuffer(2);
    HOST_IncrementChangeCount();
    EXPECT_TRUE(DisplayShows(frame.data())) << "the screen does not show the frame at (1,1)";

    XvfbImage screen;
    std::string why_not;
    ASSERT_TRUE(xvfb_.Screenshot(&screen, &why_not)) << why_not;
    EXPECT_EQ(screen.At(window_.x, window_.y), 0xABABABu) << "the border around the display";
    EXPECT_EQ(screen.At(window_.x + HOST_WINDOW_XSIZE - 1, window_.y + HOST_WINDOW_YSIZE - 1),
              0xABABABu);

    // Nothing changed: the following ticks present nothing.
    const int presents = HOST_GetPresentCount();
    const auto end = Clock::now() + std::chrono::milliseconds(15 * HOST_REFRESH_MS);
    while (Clock::now() < end)
        HOST_ProcessEvents(HOST_REFRESH_MS);
    EXPECT_EQ(HOST_GetPresentCount(), presents);
}

TEST_F(HostWindow, AtScaleTwoShowsEveryDisplayPixelAsATwoByTwoBlock) {
    HOST_Exit();
    OpenWindow(2);
    const std::pair<int, int> size{2 * HOST_WINDOW_XSIZE, 2 * HOST_WINDOW_YSIZE};
    EXPECT_EQ(std::make_pair(window_.width, window_.height), size);
    EXPECT_EQ(window_.min, size);
    EXPECT_EQ(window_.max, size);

    std::vector<uint32_t> frame(HOST_XSIZE * HOST_YSIZE);
    FillPattern(frame.data());
    std::copy(frame.begin(), frame.end(), HOST_GetFrameBuffer(1));
    HOST_SetShownBuffer(1);
    HOST_IncrementChangeCount();
    // The 1600 x 960 display area at (2,2), pixel for pixel the frame enlarged.
    std::string mismatch;
    const bool shown = PumpUntil([&] {
        XvfbImage screen;
        std::string why_not;
        if (!xvfb_.Screenshot(&screen, &why_not)) return false;
        for (int y = 0; y < 2 * HOST_YSIZE; ++y)
            for (int x = 0; x < 2 * HOST_XSIZE; ++x)
                if (screen.At(window_.x + 2 + x, window_.y + 2 + y) !=
                    frame[(y / 2) * HOST_XSIZE + x / 2]) {
                    mismatch = "first difference at " + std::to_string(x) + "," + std::to_string(y);
                    return false;
                }
        EXPECT_EQ(screen.At(window_.x + 1, window_.y + 1), 0xABABABu) << "the frame is 2 px";
        EXPECT_EQ(screen.At(window_.x + size.first - 1, window_.y + size.second - 1), 0xABABABu);
        return true;
    });
    EXPECT_TRUE(shown) << mismatch;
}

TEST_F(HostWindow, AtScaleTwoPointerPositionsAreMappedBackToDisplayPixels) {
    HOST_Exit();
    OpenWindow(2);
    auto move = [&](int x, int y) { xvfb_.MovePointer(window_.x + x, window_.y + y); };
    // Both window pixels of a display pixel give that pixel; the frame gives nothing.
    move(2 + 200, 2 + 100);
    EXPECT_EQ(PointerText(TakeInput(2)), "(100,50,0)(-1,-1,0)");
    move(2 + 201, 2 + 101); // the same display pixel: nothing new until the press
    Xdotool("mousedown 1");
    EXPECT_EQ(PointerText(TakeInput(1)), "(100,50,1)");
    move(2 + 2 * 799 + 1, 2 + 2 * 479 + 1);
    EXPECT_EQ(PointerText(TakeInput(1)), "(799,479,1)");
    move(1, 1);
    EXPECT_EQ(PointerText(TakeInput(1)), "(-1,-1,1)");
    Xdotool("mouseup 1");
    EXPECT_EQ(PointerText(TakeInput(1)), "(-1,-1,0)");
}

TEST_F(HostWindow, RealMouseInputBecomesPointerStates) {
    MoveTo(100, 50);
    EXPECT_EQ(PointerText(TakeInput(2)), "(100,50,0)(-1,-1,0)");
    // Press, drag beyond the window with the button held, release out there.
    Xdotool("mousedown 1");
    EXPECT_EQ(PointerText(TakeInput(1)), "(100,50,1)");
    MoveTo(300, 60);
    EXPECT_EQ(PointerText(TakeInput(1)), "(300,60,1)");
    MoveTo(880, 60);
    EXPECT_EQ(PointerText(TakeInput(1)), "(-1,-1,1)");
    Xdotool("mouseup 1");
    EXPECT_EQ(PointerText(TakeInput(1)), "(-1,-1,0)");
}

TEST_F(HostWindow, RealWheelButtonsBecomeWheelTurnsAtThePointerAndNoPresses) {
    MoveTo(200, 100);
    TakeInput(2);
    int dx = 0, dy = 0, elsewhere = 0, presses = 0;
    // Adds up the turns until they reach the expected sum (turns not yet taken add up in one
    // entry, so their count is not known).
    auto turns_reach = [&](int want_dx, int want_dy) {
        dx = dy = 0;
        PumpUntil([&] {
            HOST_InputEvent e;
            while (HOST_PollInput(&e)) {
                if (e.kind == HOST_INPUT_POINTER && e.pointer.pressed != 0) ++presses;
                if (e.kind != HOST_INPUT_WHEEL) continue;
                dx += e.wheel_x;
                dy += e.wheel_y;
                elsewhere += e.pointer.x != 200 || e.pointer.y != 100;
            }
            return dx == want_dx && dy == want_dy;
        });
        return std::to_string(dx) + "," + std::to_string(dy);
    };
    // Buttons 4 and 5 are the wheel turned away from and towards the user, 7 a tilt right.
    Xdotool("click 4");
    EXPECT_EQ(turns_reach(0, 1), "0,1");
    Xdotool("click --repeat 3 --delay 1 5");
    EXPECT_EQ(turns_reach(0, -3), "0,-3");
    Xdotool("click 7");
    EXPECT_EQ(turns_reach(1, 0), "1,0");
    EXPECT_EQ(elsewhere, 0);
    EXPECT_EQ(presses, 0);
}

TEST_F(HostWindow, RealKeysBecomeKeyCodes) {
    MoveTo(10, 10);
    Xdotool("windowfocus --sync " + std::to_string(window_.id));
    TakeInput(2); // the pointer states of the move
    Xdotool("key Tab");
    Xdotool("key shift+Tab");
    Xdotool("key ctrl+alt");
    Xdotool("key a");
    Xdotool("key BackSpace");
    EXPECT_EQ(KeyText(TakeInput(12)), "{9,1}{9,0}{25,1}{10,1}{25,0}{10,0}{97,1}{97,0}{8,1}{8,0}");
}

TEST_F(HostWindow, F12WritesTheShownFrameIntoTheDataFolder) {
    ScratchFolder folder;
    ::setenv("APPDATA", folder.Path().c_str(), 1);
    DATA_CreateFolder();
    DBG_SetSink(CaptureOutput);
    FillPattern(HOST_GetFrameBuffer(0));
    HOST_SetShownBuffer(0);
    HOST_IncrementChangeCount();
    ASSERT_TRUE(DisplayShows(HOST_GetFrameBuffer(0)));

    MoveTo(10, 10);
    Xdotool("windowfocus --sync " + std::to_string(window_.id));
    Xdotool("key F12");
    const std::string prefix = "Screenshot written to " + DATA_Folder() + "/";
    std::string output;
    ASSERT_TRUE(PumpUntil([&] {
        std::lock_guard<std::mutex> guard(g_output_mutex);
        output = g_output;
        return output.find('\n') != std::string::npos;
    }));
    DBG_SetSink(nullptr);
    ASSERT_EQ(output.rfind(prefix, 0), 0u) << output;
    const std::string path = output.substr(0, output.size() - 1).substr(22);
    int width = 0, height = 0;
    const std::vector<uint32_t> png = ReadPNG(path, &width, &height);
    ASSERT_EQ(width, HOST_XSIZE);
    ASSERT_EQ(height, HOST_YSIZE);
    EXPECT_TRUE(std::equal(png.begin(), png.end(), HOST_GetFrameBuffer(0)));
    // F12 is the host's own key; the toolkit gets nothing.
    HOST_InputEvent event;
    while (HOST_PollInput(&event))
        EXPECT_NE(event.kind, HOST_INPUT_KEY);
}

TEST_F(HostWindow, WarningBoxesAreShownOnTheMainThreadAndWaitedFor) {
    ScratchFolder folder;
    HOST_SetMessageBoxHook(RecordBox);
    HOST_Error("suppressed"); // VELTRA_NO_MESSAGE_BOX=1 from the test environment
    EXPECT_EQ(g_boxes.load(), 0);

    ::unsetenv("VELTRA_NO_MESSAGE_BOX");
    g_main_thread = std::this_thread::get_id();
    HOST_Error("from the main thread");
    EXPECT_EQ(g_boxes.load(), 1);

    // From a task: the event loop shows the box, and the task goes on only after it.
    std::atomic<int> boxes_when_returned{-1};
    std::thread task([&] {
        HOST_Error("GUI_Lang:\nfrom a task");
        boxes_when_returned = g_boxes.load();
        APP_RequestStop();
    });
    HOST_RunEventLoop();
    task.join();
    EXPECT_EQ(boxes_when_returned.load(), 2);
    EXPECT_FALSE(g_box_on_other_thread.load());
    {
        std::lock_guard<std::mutex> guard(g_output_mutex);
        EXPECT_EQ(g_box_text, "VeltraDesktop|GUI_Lang:\nfrom a task");
    }
    EXPECT_EQ(ReadFile(folder.File("SimError.log")),
              "\r\nsuppressed\r\nfrom the main thread\r\nGUI_Lang:\nfrom a task");
    HOST_SetMessageBoxHook(nullptr);
}

TEST_F(HostWindow, ClosingTheWindowEndsTheLoopAndAsksTheProcessToStop) {
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = window_.id;
    close.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    close.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window_.id, False, NoEventMask, &close);
    XFlush(display);
    XCloseDisplay(display);

    // A watchdog ends the loop if the close is lost, and the test then fails.
    std::atomic<bool> timed_out{false};
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::thread watchdog([&] {
        std::unique_lock<std::mutex> lock(mutex);
        if (!done.wait_for(lock, kPatience, [&] { return finished; })) {
            timed_out = true;
            APP_RequestStop();
        }
    });
    HOST_RunEventLoop();
    {
        std::lock_guard<std::mutex> lock(mutex);
        finished = true;
    }
    done.notify_all();
    watchdog.join();
    EXPECT_FALSE(timed_out);
    EXPECT_TRUE(APP_StopRequested());
}
