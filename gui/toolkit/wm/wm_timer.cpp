// Toolkit timers (the edit widget's cursor blink): a fixed table of one-shot timers that the
// input step expires. A timer handle carries its slot and a generation, so a deleted timer's
// handle does nothing.
#include "gui/toolkit/wm/wm_internal.h"

#include "gui/toolkit/core/gui_lock.h"
#include "gui/toolkit/draw/gui_draw.h"

#include <array>

namespace {

constexpr int kMaxTimers = 16; // a few blinking edit fields at most; more are refused (0)

struct Timer {
    WM_HANDLE win;
    int user_id;
    int due;
    bool armed;
    bool used;
    uint32_t generation;
};
std::array<Timer, kMaxTimers> g_timers{};

WM_HTIMER MakeHandle(int slot) {
    return static_cast<WM_HTIMER>(((g_timers[slot].generation & 0xFFFFF) << 8) |
                                  uint32_t(slot + 1));
}

Timer* Find(WM_HTIMER timer) {
    const int slot = (timer & 0xFF) - 1;
    if (timer <= 0 || slot < 0 || slot >= kMaxTimers) return nullptr;
    Timer& t = g_timers[slot];
    return (t.used && MakeHandle(slot) == timer) ? &t : nullptr;
}

} // namespace

WM_HTIMER WM_CreateTimer(WM_HANDLE win, int user_id, int period_ms) {
    GUI_LockGuard lock;
    if (WM_ObjOf(win) == nullptr) return 0;
    for (int slot = 0; slot < kMaxTimers; ++slot) {
        Timer& t = g_timers[slot];
        if (t.used) continue;
        t = Timer{win, user_id, GUI_NowMs() + period_ms, true, true, t.generation + 1};
        return MakeHandle(slot);
    }
    return 0;
}

void WM_RestartTimer(WM_HTIMER timer, int period_ms) {
    GUI_LockGuard lock;
    if (Timer* t = Find(timer)) {
        t->due = GUI_NowMs() + period_ms;
        t->armed = true;
    }
}

void WM_DeleteTimer(WM_HTIMER timer) {
    GUI_LockGuard lock;
    if (Timer* t = Find(timer)) t->used = false;
}

int WM_GetTimerId(WM_HTIMER timer) {
    GUI_LockGuard lock;
    const Timer* t = Find(timer);
    return t ? t->user_id : 0;
}

int WM_ExpireTimers() {
    const int now = GUI_NowMs();
    int fired = 0;
    for (int slot = 0; slot < kMaxTimers; ++slot) {
        Timer& t = g_timers[slot];
        // Difference, not comparison: the millisecond clock may wrap.
        if (!t.used || !t.armed || now - t.due < 0) continue;
        t.armed = false;
        WM_MSG_RECORD msg{};
        msg.msg_id = WM_MSG_TIMER;
        msg.data.v = MakeHandle(slot);
        WM__SendMessage(t.win, &msg);
        fired = 1;
    }
    return fired;
}

void WM_TimersForget(WM_HANDLE win) {
    for (Timer& t : g_timers) {
        if (t.used && t.win == win) t.used = false;
    }
}

void WM_ResetTimers() {
    for (Timer& t : g_timers)
        t.used = false;
}
