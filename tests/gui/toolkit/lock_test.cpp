// The toolkit lock: owner, entrance count, per-thread drawing contexts, and toolkit calls from
// several threads while the GUI task repaints.
#include "tests/gui/toolkit/wm_test_util.h"

#include "gui/toolkit/core/gui_lock.h"
#include "gui/toolkit/draw/gui_draw.h"

#include <atomic>
#include <thread>

using namespace wmtest;

namespace {

class LockTest : public WmTest {};

constexpr const char* kOverflow =
    "GUI_Task:\nGUI_Lock() GUITASK__EntranceCnt overflow in GUI_Lock()";
constexpr const char* kUnderflow =
    "GUI_Task:\nGUI_Unlock() GUITASK__EntranceCnt underflow in GUI_Unlock()";

TEST_F(LockTest, TheEntranceCountMayReach48) {
    for (int i = 0; i < GUITASK_MAX_ENTRANCE; ++i)
        GUI_Lock();
    EXPECT_EQ(GUITASK_GetEntranceCnt(), 48);
    EXPECT_EQ(CountReports(kOverflow), 0);
    GUI_Lock();
    EXPECT_EQ(CountReports(kOverflow), 1);
    for (int i = 0; i <= GUITASK_MAX_ENTRANCE; ++i)
        GUI_Unlock();
    EXPECT_EQ(GUITASK_GetEntranceCnt(), 0);
    GUITASK_AssertNoLock();
    EXPECT_EQ(reports.size(), 1u);

    GUI_Unlock();
    EXPECT_EQ(CountReports(kUnderflow), 1);
    GUITASK_AssertLock();
    EXPECT_EQ(CountReports("GUI_Task:\nGUITASK_AssertLock failed in GUITASK_AssertLock()!"), 1);
}

TEST_F(LockTest, AnotherThreadWaitsAndCannotUnlockTheOwnersLock) {
    GUI_Lock();
    std::atomic<bool> entered{false};
    std::thread other([&] {
        GUI_Unlock(); // not the owner: reported, the lock stays held
        GUI_Lock();
        entered = true;
        GUI_Unlock();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(entered);
    GUI_Unlock();
    other.join();
    EXPECT_TRUE(entered);
    EXPECT_EQ(CountReports(kUnderflow), 1);
}

TEST_F(LockTest, EachThreadDrawsWithItsOwnContextAndAFifthIsReported) {
    constexpr const char* kNoContext = "GUI_Task:\nNo Context available for task in _GetTaskNo(). "
                                       "Increase number of maximum tasks!";
    GUI_SetDrawColor(0x111111);
    // The threads stay alive together so that each has an id of its own.
    std::atomic<int> done{0};
    std::vector<GUI_COLOUR> seen;
    std::vector<std::thread> threads;
    for (int i = 0; i < 3; ++i) {
        threads.emplace_back([&, i] {
            {
                GUI_LockGuard lock;
                seen.push_back(GUI_GetDrawColor());
                GUI_SetDrawColor(0x222222 + i);
                EXPECT_EQ(GUI_GetDrawColor(), GUI_COLOUR(0x222222 + i));
            }
            ++done;
            while (done < 4)
                std::this_thread::yield();
        });
    }
    while (done < 3)
        std::this_thread::yield();
    EXPECT_EQ(GUI_GetDrawColor(), 0x111111u);
    for (GUI_COLOUR c : seen)
        EXPECT_NE(c, 0x111111u);
    EXPECT_EQ(CountReports(kNoContext), 0);
    std::thread fifth([] { GUI_SetDrawColor(0x333333); });
    fifth.join();
    ++done;
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(CountReports(kNoContext), 1);
}

void Painter(WM_MSG_RECORD* msg) {
    if (msg->msg_id != WM_MSG_PAINT) return WM_FallbackProc(msg);
    GUI_SetBackColor(0x336699);
    GUI_ClearWindow();
    GUI_SetDrawColor(0xFFFFFF);
    GUI_DrawLinePlain(0, 0, 40, 30);
}

TEST_F(LockTest, TwoThreadsUseTheToolkitWhileTheGuiTaskRepaints) {
    const WM_HANDLE page = WM_CreateWindowAsChild(0, 0, 0, 0, 0, WM_CF_VISIBLE, Painter, 0);
    std::atomic<bool> stop{false};
    std::thread gui([&] {
        while (!stop) {
            GUI_ExecAll();
            std::this_thread::yield();
        }
    });
    auto worker = [&](int seed) {
        for (int i = 0; i < 200; ++i) {
            const WM_HANDLE w = WM_CreateWindowAsChild((i * 37 + seed) % 700, (i * 11) % 400, 50,
                                                       30, page, WM_CF_VISIBLE, Painter, 8);
            WM_InvalidateWin(page);
            GUI_PostKey('a' + i % 26, 1);
            const WM_POINTER_STATE s{(i * 13) % 800, (i * 7) % 480, uint8_t(i % 2), 0};
            GUI_PID_StoreState(&s);
            WM_MoveWindow(w, 1, 1);
            WM_GetWinId(w);
            WM_DeleteWindow(w);
        }
    };
    std::thread a(worker, 1);
    std::thread b(worker, 2);
    a.join();
    b.join();
    stop = true;
    gui.join();
    GUI_ExecAll();
    EXPECT_EQ(WM_GetNumInvalidWindows(), 0);
    EXPECT_EQ(WM_GetFirstChild(page), 0);
    EXPECT_EQ(GUITASK_GetEntranceCnt(), 0);
}

} // namespace
