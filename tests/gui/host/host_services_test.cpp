// The host's services on the headless back end: frame buffers and presenting, PNG output, the
// clock, the lock's entrance count, the host log and the error output.
#include "base/lifecycle.h"
#include "gui/host/host.h"
#include "tests/gui/host/host_test_util.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// Every case starts with the host as at process start, also when all run in one process.
class FreshHost : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { HOST_ResetForTests(); }
};
const bool g_fresh_host = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshHost);
    return true;
}();

std::string Log() {
    char text[HOST_LOG_CAPACITY + 1];
    HOST_CopyLog(text, sizeof text);
    return text;
}

int g_fake_ms = 0;
int FakeClock() {
    return g_fake_ms;
}

} // namespace

TEST(HostFrames, BuffersAreSeparateAndBoundsChecked) {
    ASSERT_NE(HOST_GetFrameBuffer(0), nullptr);
    EXPECT_EQ(HOST_GetFrameBuffer(-1), nullptr);
    EXPECT_EQ(HOST_GetFrameBuffer(HOST_BUFFER_COUNT), nullptr);
    for (int i = 0; i < HOST_BUFFER_COUNT; ++i) {
        uint32_t* pixels = HOST_GetFrameBuffer(i);
        ASSERT_NE(pixels, nullptr);
        pixels[0] = 0x100u + i;
        pixels[HOST_XSIZE * HOST_YSIZE - 1] = 0x200u + i;
    }
    for (int i = 0; i < HOST_BUFFER_COUNT; ++i) {
        EXPECT_EQ(HOST_GetPixel(i, 0, 0), 0x100u + i);
        EXPECT_EQ(HOST_GetPixel(i, HOST_XSIZE - 1, HOST_YSIZE - 1), 0x200u + i);
    }
    EXPECT_EQ(HOST_GetPixel(0, HOST_XSIZE, 0), 0u);
    EXPECT_EQ(HOST_GetPixel(0, 0, -1), 0u);
    EXPECT_EQ(HOST_GetPixel(7, 0, 0), 0u);
    HOST_SetShownBuffer(2);
    HOST_SetShownBuffer(3); // ignored
    HOST_SetShownBuffer(-1);
    EXPECT_EQ(HOST_GetShownBuffer(), 2);
}

TEST(HostFrames, ForcedHeadlessNeedsNoDisplay) {
    unsetenv("VELTRA_HOST");
    const char* display = getenv("DISPLAY");
    const std::string saved = display ? display : "";
    setenv("DISPLAY", ":9999", 1); // a display that does not exist
    HOST_ForceHeadless(true);
    EXPECT_EQ(HOST_Init(), nullptr);
    EXPECT_EQ(HOST_GetBackend(), HOST_BACKEND_HEADLESS);
    HOST_ForceHeadless(false);
    HOST_Exit();
    if (display)
        setenv("DISPLAY", saved.c_str(), 1);
    else
        unsetenv("DISPLAY");
}

TEST(HostFrames, OnlyAChangedFrameIsPresented) {
    setenv("VELTRA_HOST", "headless", 1);
    EXPECT_EQ(HOST_Init(), nullptr);
    ASSERT_EQ(HOST_GetBackend(), HOST_BACKEND_HEADLESS);
    EXPECT_FALSE(HOST_FramePending());
    HOST_Tick();
    EXPECT_EQ(HOST_GetPresentCount(), 0);

    HOST_GetFrameBuffer(1)[5 * HOST_XSIZE + 7] = 0x123456;
    HOST_SetShownBuffer(1);
    HOST_IncrementChangeCount();
    EXPECT_TRUE(HOST_FramePending());
    HOST_Tick();
    EXPECT_EQ(HOST_GetPresentCount(), 1);
    EXPECT_EQ(HOST_GetPresentedFrame()[5 * HOST_XSIZE + 7], 0x123456u);
    EXPECT_FALSE(HOST_FramePending());

    // Unchanged: the ticks do not present it again, even when pixels changed unannounced.
    HOST_GetFrameBuffer(1)[0] = 0xFFFFFF;
    HOST_Tick();
    HOST_Tick();
    EXPECT_EQ(HOST_GetPresentCount(), 1);
    EXPECT_EQ(HOST_GetPresentedFrame()[0], 0u);

    // Several changes between ticks give one present.
    HOST_IncrementChangeCount();
    HOST_IncrementChangeCount();
    HOST_Tick();
    HOST_Tick();
    EXPECT_EQ(HOST_GetPresentCount(), 2);
    EXPECT_EQ(HOST_GetPresentedFrame()[0], 0xFFFFFFu);
}

TEST(HostFrames, APresentCopiesTheChangedRowsOnly) {
    std::vector<uint32_t> a(HOST_XSIZE * HOST_YSIZE, 0), b = a;
    HOST_RowSpan rows = HOST_ChangedRows(a.data(), b.data());
    EXPECT_GT(rows.first, rows.last); // nothing changed
    b[5 * HOST_XSIZE + HOST_XSIZE - 1] = 1;
    b[100 * HOST_XSIZE] = 1;
    rows = HOST_ChangedRows(a.data(), b.data());
    EXPECT_EQ(rows.first, 5);
    EXPECT_EQ(rows.last, 100);
    b = a;
    b[HOST_XSIZE * HOST_YSIZE - 1] = 1;
    rows = HOST_ChangedRows(a.data(), b.data());
    EXPECT_EQ(rows.first, HOST_YSIZE - 1);
    EXPECT_EQ(rows.last, HOST_YSIZE - 1);

    // Through the tick: rows drawn the same again are not copied; changed ones are.
    setenv("VELTRA_HOST", "headless", 1);
    EXPECT_EQ(HOST_Init(), nullptr);
    uint32_t* frame = HOST_GetFrameBuffer(2);
    frame[10 * HOST_XSIZE + 3] = 0x112233;
    frame[300 * HOST_XSIZE + 799] = 0x445566;
    HOST_SetShownBuffer(2);
    HOST_IncrementChangeCount();
    HOST_Tick();
    const uint32_t* shown = HOST_GetPresentedFrame();
    EXPECT_EQ(shown[10 * HOST_XSIZE + 3], 0x112233u);
    EXPECT_EQ(shown[300 * HOST_XSIZE + 799], 0x445566u);
    frame[300 * HOST_XSIZE + 799] = 0;
    HOST_IncrementChangeCount();
    HOST_Tick();
    EXPECT_EQ(shown[10 * HOST_XSIZE + 3], 0x112233u);
    EXPECT_EQ(shown[300 * HOST_XSIZE + 799], 0u);
    EXPECT_EQ(HOST_GetPresentCount(), 2);
    frame[300 * HOST_XSIZE + 799] = 0x445566; // left unannounced: not shown
    HOST_Tick();
    EXPECT_EQ(shown[300 * HOST_XSIZE + 799], 0u);
}

TEST(HostFrames, TheTickWaitsWhileTheToolkitHoldsTheLock) {
    HOST_IncrementChangeCount();
    std::atomic<int> step{0};
    std::thread toolkit([&step] {
        HOST_Lock(); // in the middle of a repaint
        HOST_GetFrameBuffer(0)[0] = 0xABCDEF;
        step = 1;
        while (step.load() != 2)
            std::this_thread::yield();
        HOST_Unlock();
    });
    while (step.load() != 1)
        std::this_thread::yield();
    HOST_Tick();
    EXPECT_EQ(HOST_GetPresentCount(), 0);
    EXPECT_TRUE(HOST_FramePending());
    step = 2;
    toolkit.join();
    HOST_Tick(); // the next tick shows the finished frame
    EXPECT_EQ(HOST_GetPresentCount(), 1);
    EXPECT_EQ(HOST_GetPresentedFrame()[0], 0xABCDEFu);
}

TEST(HostPng, FrameBufferRoundTrip) {
    ScratchFolder folder;
    uint32_t* pixels = HOST_GetFrameBuffer(0);
    for (int y = 0; y < HOST_YSIZE; ++y)
        for (int x = 0; x < HOST_XSIZE; ++x)
            pixels[y * HOST_XSIZE + x] = uint32_t(x & 0xFF) << 16 | uint32_t(y & 0xFF) << 8 | 0x5A;
    ASSERT_EQ(HOST_WritePNG(folder.File("frame.png").c_str(), 0), 0);
    int width = 0, height = 0;
    const std::vector<uint32_t> back = ReadPNG(folder.File("frame.png"), &width, &height);
    ASSERT_EQ(width, HOST_XSIZE);
    ASSERT_EQ(height, HOST_YSIZE);
    EXPECT_TRUE(std::equal(back.begin(), back.end(), pixels));
}

TEST(HostPng, SmallBlocksWithStrideAndBadArguments) {
    ScratchFolder folder;
    // A 3 x 2 block inside rows of 5 pixels; the extra pixels must not appear.
    const uint32_t block[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xEEEEEE, 0xEEEEEE,
                              0x010203, 0x808080, 0xFFFFFF, 0xEEEEEE, 0xEEEEEE};
    ASSERT_EQ(HOST_WritePNGPixels(folder.File("small.png").c_str(), block, 3, 2, 5), 0);
    int width = 0, height = 0;
    const std::vector<uint32_t> back = ReadPNG(folder.File("small.png"), &width, &height);
    ASSERT_EQ(width, 3);
    ASSERT_EQ(height, 2);
    const std::vector<uint32_t> expected = {0xFF0000, 0x00FF00, 0x0000FF,
                                            0x010203, 0x808080, 0xFFFFFF};
    EXPECT_EQ(back, expected);

    EXPECT_EQ(HOST_WritePNG(folder.File("bad.png").c_str(), 3), -1);
    EXPECT_EQ(HOST_WritePNGPixels(folder.File("bad.png").c_str(), block, 3, 2, 2), -1);
    EXPECT_EQ(HOST_WritePNGPixels(folder.File("bad.png").c_str(), block, 0, 2, 5), -1);
    EXPECT_EQ(HOST_WritePNGPixels(nullptr, block, 3, 2, 5), -1);
    EXPECT_EQ(HOST_WritePNGPixels(folder.File("no/such/folder.png").c_str(), block, 3, 2, 5), -1);
}

TEST(HostTime, InjectedClockAndRealClock) {
    HOST_SetClock(FakeClock);
    g_fake_ms = 1234;
    EXPECT_EQ(HOST_GetTime(), 1234);
    g_fake_ms = 99;
    EXPECT_EQ(HOST_GetTime(), 99);
    HOST_SetClock(nullptr);
    EXPECT_GE(HOST_GetTime(), 0);
    EXPECT_LT(HOST_GetTime(), 60 * 1000) << "counts from the start of the process";
    HOST_Delay(0);
    HOST_Delay(-5); // no sleep, no fault
}

TEST(HostLock, SecondEntranceIsReportedAndCounted) {
    ScratchFolder folder;
    HOST_Lock();
    EXPECT_EQ(HOST_GetLockCount(), 1);
    EXPECT_EQ(HOST_GetErrorCount(), 0);
    HOST_Lock(); // the toolkit's own lock should never let this happen
    EXPECT_EQ(HOST_GetLockCount(), 2);
    EXPECT_EQ(HOST_GetErrorCount(), 1);
    HOST_Unlock();
    HOST_Unlock();
    EXPECT_EQ(HOST_GetLockCount(), 0);
    EXPECT_NE(Log().find("Error in GUITASK module ..."), std::string::npos);
    // An unlock without the lock is reported and leaves the lock usable.
    HOST_Unlock();
    EXPECT_EQ(HOST_GetErrorCount(), 2);
    EXPECT_EQ(HOST_GetLockCount(), 0);
    std::thread other([] {
        HOST_Lock();
        HOST_Unlock();
    });
    other.join();
    EXPECT_EQ(HOST_GetLockCount(), 0);
}

TEST(HostLog, WarningsCarryTheTimeAndDropWholeLinesFromTheFront) {
    HOST_SetClock(FakeClock);
    g_fake_ms = 7;
    HOST_Warning("first");
    g_fake_ms = 8;
    HOST_Warning("second\nline");
    EXPECT_EQ(Log(), "\n7:   first\n8:   second\nline");

    // Entries of 100 characters ("\n9:   " and 94 more) up to the capacity, then one more:
    // the two first entries and the empty line before them have to go, as whole lines.
    const std::string text(94, 'x');
    const std::string entry = "\n9:   " + text;
    g_fake_ms = 9;
    while (Log().size() + entry.size() <= HOST_LOG_CAPACITY)
        HOST_Warning(text.c_str());
    const size_t entries = (Log().size() - 28) / entry.size();
    HOST_Warning(text.c_str());
    std::string expected = "9:   " + text;
    for (size_t i = 0; i < entries; ++i)
        expected += entry;
    EXPECT_EQ(Log(), expected);
    EXPECT_LE(Log().size(), static_cast<size_t>(HOST_LOG_CAPACITY));
}

TEST(HostLog, AnOverlongTextKeepsItsBeginning) {
    HOST_SetClock(FakeClock);
    g_fake_ms = 1;
    HOST_Warning("old");
    const std::string text = "start" + std::string(2 * HOST_LOG_CAPACITY, 'y');
    HOST_Warning(text.c_str());
    const std::string log = Log();
    EXPECT_EQ(static_cast<int>(log.size()), HOST_LOG_CAPACITY);
    EXPECT_EQ(log.rfind("\n1:   start", 0), 0u);
    EXPECT_EQ(HOST_CopyLog(nullptr, 0), HOST_LOG_CAPACITY);
    char small[4];
    EXPECT_EQ(HOST_CopyLog(small, sizeof small), HOST_LOG_CAPACITY);
    EXPECT_STREQ(small, "\n1:");
}

TEST(HostError, WritesSimErrorLogAfreshWithoutABox) {
    ScratchFolder folder;
    // As the test runner sets it; also when this binary runs on its own.
    setenv("VELTRA_NO_MESSAGE_BOX", "1", 1);
    {
        std::ofstream old(folder.File("SimError.log"));
        old << "from an earlier run";
    }
    HOST_Error("WM:\nInvalid handle in WM_DeleteWindow()");
    // The file exists right after the first error, already replaced.
    EXPECT_EQ(ReadFile(folder.File("SimError.log")),
              "\r\nWM:\nInvalid handle in WM_DeleteWindow()");
    HOST_Error("second");
    EXPECT_EQ(ReadFile(folder.File("SimError.log")),
              "\r\nWM:\nInvalid handle in WM_DeleteWindow()\r\nsecond");
    EXPECT_EQ(HOST_GetErrorCount(), 2);
    EXPECT_NE(Log().find("second"), std::string::npos);
    HOST_Exit();
    HOST_Error(nullptr); // ignored
    EXPECT_EQ(HOST_GetErrorCount(), 2);
}

TEST(HostError, AnUnwritableErrorLogLosesOnlyTheFileEntry) {
    ScratchFolder folder;
    std::filesystem::create_directory(folder.File("SimError.log")); // a folder blocks the file
    HOST_Error("lost in the file");
    EXPECT_EQ(HOST_GetErrorCount(), 1);
    EXPECT_NE(Log().find("lost in the file"), std::string::npos);
}

TEST(HostLoop, HeadlessLoopEndsOnTheStop) {
    setenv("VELTRA_HOST", "headless", 1);
    EXPECT_EQ(HOST_Init(), nullptr);
    std::thread stopper([] { APP_RequestStop(); });
    stopper.join();
    HOST_RunEventLoop(); // returns at once: the stop is already requested
    SUCCEED();
}
