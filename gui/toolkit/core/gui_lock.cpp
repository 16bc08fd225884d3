#include "gui/toolkit/core/gui_lock.h"

#include "gui/host/host.h"
#include "gui/toolkit/core/gui_report.h"
#include "gui/toolkit/draw/gui_context.h"

#include <array>
#include <atomic>
#include <thread>

namespace {

std::atomic<std::thread::id> g_owner{};
int g_entrance = 0; // touched only by the owner

// The context table; everything below is guarded by the lock.
bool g_ready = false; // GUITASK_Init has run
std::array<std::thread::id, GUITASK_MAX_TASKS> g_tasks{};
std::array<GUI_CONTEXT, GUITASK_MAX_TASKS> g_contexts{};
int g_num_tasks = 0;
bool g_overflow_reported = false;

// The calling thread's context; a thread beyond the table shares the first one.
GUI_CONTEXT* TaskContext(std::thread::id self) {
    for (int i = 0; i < g_num_tasks; ++i) {
        if (g_tasks[i] == self) return &g_contexts[i];
    }
    if (g_num_tasks == GUITASK_MAX_TASKS) {
        if (!g_overflow_reported) {
            g_overflow_reported = true;
            GUI_ReportError("GUI_Task:\nNo Context available for task in _GetTaskNo(). Increase "
                            "number of maximum tasks!");
        }
        return &g_contexts[0];
    }
    const int slot = g_num_tasks++;
    g_tasks[slot] = self;
    GUI_InitContext(&g_contexts[slot]);
    return &g_contexts[slot];
}

} // namespace

void GUI_Lock() {
    const std::thread::id self = std::this_thread::get_id();
    if (g_owner.load(std::memory_order_relaxed) != self) {
        HOST_Lock();
        g_owner.store(self, std::memory_order_relaxed);
    }
    if (++g_entrance > GUITASK_MAX_ENTRANCE) {
        GUI_ReportError("GUI_Task:\nGUI_Lock() GUITASK__EntranceCnt overflow in GUI_Lock()");
    }
    if (g_entrance == 1 && g_ready) GUI_pContext = TaskContext(self);
}

void GUI_Unlock() {
    const std::thread::id self = std::this_thread::get_id();
    // Only the owner may unlock; anything else would release another thread's lock.
    if (g_owner.load(std::memory_order_relaxed) != self || g_entrance <= 0) {
        GUI_ReportError("GUI_Task:\nGUI_Unlock() GUITASK__EntranceCnt underflow in GUI_Unlock()");
        return;
    }
    if (--g_entrance == 0) {
        g_owner.store(std::thread::id{}, std::memory_order_relaxed);
        HOST_Unlock();
    }
}

void GUITASK_Init() {
    GUI_LockGuard lock;
    g_ready = true;
    g_num_tasks = 0;
    g_overflow_reported = false;
    GUI_pContext = TaskContext(std::this_thread::get_id());
}

void GUITASK_AssertLock() {
    if (GUITASK_GetEntranceCnt() == 0) {
        GUI_ReportError("GUI_Task:\nGUITASK_AssertLock failed in GUITASK_AssertLock()!");
    }
}

void GUITASK_AssertNoLock() {
    if (GUITASK_GetEntranceCnt() != 0) {
        GUI_ReportError("GUI_Task:\nGUITASK_AssertNoLock failed in GUITASK_AssertNoLock()!");
    }
}

int GUITASK_GetEntranceCnt() {
    if (g_owner.load(std::memory_order_relaxed) != std::this_thread::get_id()) return 0;
    return g_entrance;
}
