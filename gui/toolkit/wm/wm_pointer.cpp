// Pointer input: the window under the pointer, the capture while pressed, the modal window,
// wheel turns, and the input step's event polling (toolkit queues first, then the host's queue).
#include "gui/toolkit/wm/wm_internal.h"

#include "gui/host/host.h"
#include "gui/toolkit/core/gui_lock.h"
#include "gui/toolkit/core/gui_report.h"

#include <algorithm>
#include <array>
#include <mutex>

namespace {

// ---- The toolkit's pointer entry: filled by any thread, emptied by the exec cycle. ----------

constexpr int kQueueSize = 32;
std::mutex g_queue_lock;
std::array<WM_POINTER_STATE, kQueueSize> g_queue;
int g_head = 0;
int g_count = 0;
WM_POINTER_STATE g_last_queued{-1, -1, 0, 0};

bool SameState(const WM_POINTER_STATE& a, const WM_POINTER_STATE& b) {
    return a.x == b.x && a.y == b.y && a.pressed == b.pressed;
}

bool PopState(WM_POINTER_STATE* state) {
    std::lock_guard<std::mutex> guard(g_queue_lock);
    if (g_count == 0) return false;
    *state = g_queue[g_head];
    g_head = (g_head + 1) % kQueueSize;
    --g_count;
    return true;
}

// ---- Per layer state (the program uses layer 0; layer 1 has no windows). -------------------

constexpr int kLayers = 2;
struct LayerState {
    WM_HANDLE capture;
    WM_HANDLE modal;
};
std::array<LayerState, kLayers> g_layers{};
WM_POINTER_STATE g_last{-1, -1, 0, 0}; // the last state processed
// The press went to no window or its window lost the capture: nothing more is delivered
// until the release, so dragging onto another button and releasing there does not trigger it.
bool g_press_orphaned = false;

WM_HANDLE TopmostAt(WM_HANDLE win, int x, int y) {
    WM_Obj* obj = WM_ObjOf(win);
    if (obj == nullptr || !(obj->status & WM_CF_VISIBLE) || !WM_Contains(obj->rect, x, y)) {
        return 0;
    }
    WM_HANDLE hit = 0;
    for (WM_HANDLE c = obj->first_child; c != 0; c = WM_ObjOf(c)->next_sibling) {
        WM_Obj* child = WM_ObjOf(c);
        if ((child->status & WM_CF_VISIBLE) && WM_Contains(child->rect, x, y)) hit = c;
    }
    return hit ? TopmostAt(hit, x, y) : win;
}

// The window that gets pointer input at the point, honouring the modal window.
WM_HANDLE WindowAt(int layer, int x, int y) {
    if (layer != 0) return 0;
    const WM_HANDLE hit = TopmostAt(g_wm.root, x, y);
    const WM_HANDLE modal = g_layers[layer].modal;
    if (modal != 0 && !WM_IsAncestorOrSelf(modal, hit)) return 0;
    return hit;
}

// WM_MSG_POINTER to the window (state in its coordinates, or null), then WM_MSG_CHILD_POINTER
// with that message to each of its ancestors.
void Deliver(WM_HANDLE win, const WM_POINTER_STATE* screen_state) {
    WM_Obj* obj = WM_ObjOf(win);
    if (obj == nullptr) return;
    WM_POINTER_STATE local{};
    WM_MSG_RECORD msg{};
    msg.msg_id = WM_MSG_POINTER;
    if (screen_state != nullptr) {
        local = *screen_state;
        local.x -= obj->rect.x0;
        local.y -= obj->rect.y0;
        msg.data.p = &local;
    }
    // The ancestors see the pointer message as it was sent: a procedure may have used the
    // record for its answer (the fallback clears data).
    void* const sent_data = msg.data.p;
    WM__SendMessage(win, &msg);
    for (WM_HANDLE cur = WM_GetParentWin(win); cur != 0; cur = WM_GetParentWin(cur)) {
        WM_MSG_RECORD original = msg;
        original.data.p = sent_data;
        WM_MSG_RECORD child{};
        child.msg_id = WM_MSG_CHILD_POINTER;
        child.source = win;
        child.data.p = &original;
        WM__SendMessage(cur, &child);
    }
}

} // namespace

void GUI_PID_StoreState(const WM_POINTER_STATE* state) {
    if (state == nullptr) return;
    std::lock_guard<std::mutex> guard(g_queue_lock);
    if (SameState(*state, g_last_queued) && state->layer == g_last_queued.layer) return;
    g_last_queued = *state;
    if (g_count == kQueueSize) {
        // Full: a move replaces the newest move; otherwise the oldest state goes.
        WM_POINTER_STATE& newest = g_queue[(g_head + g_count - 1) % kQueueSize];
        if (newest.pressed == state->pressed) {
            newest = *state;
            return;
        }
        g_head = (g_head + 1) % kQueueSize;
        --g_count;
    }
    g_queue[(g_head + g_count) % kQueueSize] = *state;
    ++g_count;
}

int WM_ProcessPointerState(WM_POINTER_STATE state) {
    if (state.layer >= kLayers) {
        GUI_ReportError("WM_Touch:\nIllegal value in StateNew.Layer in function WM_HandlePID()!");
        state.layer = g_last.layer;
    }
    if (SameState(state, g_last)) return 0;
    const bool was_pressed = g_last.pressed != 0;
    const bool pressed = state.pressed != 0;
    g_last = state;
    LayerState& layer = g_layers[state.layer];
    const WM_HANDLE hit = WindowAt(state.layer, state.x, state.y);
    int delivered = 0;
    if (layer.capture != 0) {
        const WM_HANDLE capture = layer.capture;
        if (!WM_IsAncestorOrSelf(capture, hit)) {
            // The pointer is over another window: the captured one lets go.
            layer.capture = 0;
            if (pressed) g_press_orphaned = true;
            Deliver(capture, pressed ? nullptr : &state);
        } else {
            if (!pressed) layer.capture = 0;
            Deliver(capture, &state);
        }
        delivered = 1;
    } else if ((pressed || was_pressed) && !g_press_orphaned) {
        if (hit != 0) {
            if (pressed) layer.capture = hit;
            Deliver(hit, &state);
            delivered = 1;
        } else if (pressed) {
            g_press_orphaned = true;
        }
    }
    if (!pressed) g_press_orphaned = false;
    WM_MotionOnPointer(state, was_pressed, hit);
    return delivered;
}

int WM_ProcessWheel(int x, int y, int dx, int dy) {
    if (dx == 0 && dy == 0) return 0;
    dx = std::clamp(dx, -HOST_WHEEL_MAX, HOST_WHEEL_MAX);
    dy = std::clamp(dy, -HOST_WHEEL_MAX, HOST_WHEEL_MAX);
    const WM_HANDLE modal = g_layers[0].modal;
    WM_HANDLE win = WindowAt(0, x, y);
    while (win != 0) {
        WM_Obj* obj = WM_ObjOf(win);
        if (obj == nullptr) return 0;
        // Taken before the send: the procedure may delete its window.
        const WM_HANDLE parent = obj->parent;
        WM_WHEEL_EVENT wheel{x - obj->rect.x0, y - obj->rect.y0, dx, dy, 0};
        WM_MSG_RECORD msg{};
        msg.msg_id = WM_MSG_WHEEL;
        msg.data.p = &wheel;
        WM__SendMessage(win, &msg);
        if (wheel.used != 0) return 1;
        if (WM_ObjOf(win) != nullptr && WM_MotionWheel(win, dx, dy)) return 1;
        // The modal window holds the pointer: what lies behind it does not scroll.
        if (win == modal) return 0;
        win = parent;
    }
    return 0;
}

int WM_HandleWheel(int x, int y, int dx, int dy) {
    GUI_LockGuard lock;
    return WM_ProcessWheel(x, y, dx, dy);
}

int WM_HandlePID() {
    GUI_LockGuard lock;
    WM_POINTER_STATE state;
    if (!PopState(&state)) return 0;
    return WM_ProcessPointerState(state);
}

int WM_PollInputEvent() {
    WM_POINTER_STATE state;
    if (PopState(&state)) {
        WM_ProcessPointerState(state);
        return 1;
    }
    if (WM_PollKeyQueue()) return 1;
    HOST_InputEvent event;
    if (!HOST_PollInput(&event)) return 0;
    if (event.kind == HOST_INPUT_POINTER) {
        WM_ProcessPointerState(
            WM_POINTER_STATE{event.pointer.x, event.pointer.y, event.pointer.pressed, 0});
    } else if (event.kind == HOST_INPUT_WHEEL) {
        WM_ProcessWheel(event.pointer.x, event.pointer.y, event.wheel_x, event.wheel_y);
    } else {
        WM_DeliverKey(event.key, event.pressed);
    }
    return 1;
}

void WM_SetModalWin(WM_HANDLE win) {
    GUI_LockGuard lock;
    if (win != 0 && WM_ObjOf(win) == nullptr) return;
    LayerState& layer = g_layers[0];
    layer.modal = win;
    const WM_HANDLE capture = layer.capture;
    if (win != 0 && capture != 0 && !WM_IsAncestorOrSelf(win, capture)) {
        layer.capture = 0;
        if (g_last.pressed) g_press_orphaned = true;
        Deliver(capture, nullptr);
    }
}

WM_HANDLE WM_GetModalWin() {
    GUI_LockGuard lock;
    return g_layers[0].modal;
}

WM_HANDLE WM_GetCaptureWin() {
    GUI_LockGuard lock;
    return g_layers[0].capture;
}

void WM_PointerForget(WM_HANDLE win) {
    for (LayerState& layer : g_layers) {
        if (layer.capture == win) {
            layer.capture = 0;
            if (g_last.pressed) g_press_orphaned = true;
        }
        if (layer.modal == win) layer.modal = 0;
    }
}

void WM_PointerCancelCapture() {
    for (LayerState& layer : g_layers) {
        const WM_HANDLE capture = layer.capture;
        if (capture == 0) continue;
        layer.capture = 0;
        g_press_orphaned = true;
        Deliver(capture, nullptr);
    }
}

void WM_ResetPointer() {
    {
        std::lock_guard<std::mutex> guard(g_queue_lock);
        g_head = g_count = 0;
        g_last_queued = WM_POINTER_STATE{-1, -1, 0, 0};
    }
    g_layers = {};
    g_last = WM_POINTER_STATE{-1, -1, 0, 0};
    g_press_orphaned = false;
}
