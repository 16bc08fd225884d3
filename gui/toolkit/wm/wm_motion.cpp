// Motion: a press on a window marked WM_CF_DRAG_X / WM_CF_DRAG_Y (or on one of its
// descendants) arms it; once the pointer has travelled beyond the threshold along an allowed
// axis the window follows the pointer, and a quick release lets it glide on with constant
// deceleration. The window stays within its parent: a window wider than its parent keeps the
// parent covered, a narrower one stays inside it. The mouse wheel moves such a window in
// steps of WM_WHEEL_PIXELS within the same bounds.
#include "gui/toolkit/wm/wm_internal.h"

#include "gui/toolkit/core/gui_lock.h"
#include "gui/toolkit/core/gui_report.h"
#include "gui/toolkit/draw/gui_draw.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace {

enum : int { kIdle = 0, kPressed = 1, kDragging = 2, kGliding = 3 };

constexpr int kMaxSpeed = 6000;     // pixels per second
constexpr int kDeceleration = 3000; // pixels per second per second
constexpr int kGlideWindowMs = 200; // a release later than this after the last move stops
constexpr int kSpeedSampleMs = 100; // the speed is measured over this much of the drag

struct Sample {
    int t;
    int x;
    int y;
};

struct Motion {
    bool enabled = false;
    int threshold = 3;
    int state = kIdle;
    WM_HANDLE win = 0;
    uint32_t axes = 0;
    int press_x = 0;
    int press_y = 0;
    int last_x = 0;
    int last_y = 0;
    std::array<Sample, 8> samples{};
    int num_samples = 0;
    int speed_x = 0; // pixels per second
    int speed_y = 0;
    int rest_x = 0; // thousandths of a pixel not moved yet
    int rest_y = 0;
    int last_tick = 0;
    bool unhandled_press = false; // a press on a movable window while motion was off
};
Motion g_motion;

void AddSample(int t, int x, int y) {
    if (g_motion.num_samples == int(g_motion.samples.size())) {
        std::copy(g_motion.samples.begin() + 1, g_motion.samples.end(), g_motion.samples.begin());
        --g_motion.num_samples;
    }
    g_motion.samples[g_motion.num_samples++] = Sample{t, x, y};
}

// The range the window's left (top) edge may take so that it stays bounded by its parent;
// a window already outside that range may still move back towards it.
void Range(int parent0, int parent1, int own0, int own1, int* lo, int* hi) {
    const int size = own1 - own0 + 1;
    const int a = parent0;
    const int b = parent1 - size + 1;
    *lo = std::min({a, b, own0});
    *hi = std::max({a, b, own0});
}

// Moves the window by (dx, dy) within its range; reports per axis whether it was stopped.
void MoveWindowBounded(WM_HANDLE win, int dx, int dy, bool* stopped_x, bool* stopped_y) {
    WM_Obj* obj = WM_ObjOf(win);
    if (obj == nullptr) return;
    WM_Obj* parent = WM_ObjOf(obj->parent);
    int nx = obj->rect.x0 + dx;
    int ny = obj->rect.y0 + dy;
    if (parent != nullptr) {
        int lo, hi;
        Range(parent->rect.x0, parent->rect.x1, obj->rect.x0, obj->rect.x1, &lo, &hi);
        nx = std::clamp(nx, lo, hi);
        Range(parent->rect.y0, parent->rect.y1, obj->rect.y0, obj->rect.y1, &lo, &hi);
        ny = std::clamp(ny, lo, hi);
    }
    if (stopped_x) *stopped_x = nx != obj->rect.x0 + dx;
    if (stopped_y) *stopped_y = ny != obj->rect.y0 + dy;
    WM_MoveWindow(win, nx - obj->rect.x0, ny - obj->rect.y0);
}

void MoveBounded(int dx, int dy, bool* stopped_x, bool* stopped_y) {
    MoveWindowBounded(g_motion.win, dx, dy, stopped_x, stopped_y);
}

WM_HANDLE MovableAt(WM_HANDLE win) {
    for (WM_HANDLE cur = win; cur != 0;) {
        WM_Obj* obj = WM_ObjOf(cur);
        if (obj == nullptr) return 0;
        if (obj->status & (WM_CF_DRAG_X | WM_CF_DRAG_Y)) return cur;
        cur = obj->parent;
    }
    return 0;
}

void StartGlide(int now) {
    if (g_motion.num_samples < 2 ||
        now - g_motion.samples[g_motion.num_samples - 1].t > kGlideWindowMs) {
        g_motion.state = kIdle;
        return;
    }
    const Sample& last = g_motion.samples[g_motion.num_samples - 1];
    int first = g_motion.num_samples - 1;
    while (first > 0 && last.t - g_motion.samples[first - 1].t <= kSpeedSampleMs)
        --first;
    const Sample& from = g_motion.samples[first];
    const int dt = std::max(last.t - from.t, 1);
    const bool allow_x = g_motion.axes & WM_CF_DRAG_X;
    const bool allow_y = g_motion.axes & WM_CF_DRAG_Y;
    g_motion.speed_x =
        allow_x ? std::clamp((last.x - from.x) * 1000 / dt, -kMaxSpeed, kMaxSpeed) : 0;
    g_motion.speed_y =
        allow_y ? std::clamp((last.y - from.y) * 1000 / dt, -kMaxSpeed, kMaxSpeed) : 0;
    g_motion.rest_x = g_motion.rest_y = 0;
    g_motion.last_tick = now;
    g_motion.state = (g_motion.speed_x || g_motion.speed_y) ? kGliding : kIdle;
}

// Speed after dt ms of deceleration, never past zero.
int Slow(int speed, int dt) {
    const int drop = kDeceleration * dt / 1000;
    if (speed > 0) return std::max(speed - drop, 0);
    return std::min(speed + drop, 0);
}

} // namespace

void WM_MotionOnPointer(const WM_POINTER_STATE& state, bool was_pressed, WM_HANDLE hit) {
    const bool pressed = state.pressed != 0;
    if (pressed && !was_pressed) {
        if (g_motion.state == kGliding) g_motion.state = kIdle;
        const WM_HANDLE movable = MovableAt(hit);
        if (movable == 0) return;
        if (!g_motion.enabled) {
            GUI_ReportWarning("WM_Motion:\nNo motion handler in _ProcessMotion()!");
            g_motion.unhandled_press = true;
            return;
        }
        g_motion.state = kPressed;
        g_motion.win = movable;
        g_motion.axes = WM_ObjOf(movable)->status & (WM_CF_DRAG_X | WM_CF_DRAG_Y);
        g_motion.press_x = g_motion.last_x = state.x;
        g_motion.press_y = g_motion.last_y = state.y;
        g_motion.num_samples = 0;
        AddSample(GUI_NowMs(), state.x, state.y);
        return;
    }
    if (!pressed) {
        if (g_motion.unhandled_press) {
            g_motion.unhandled_press = false;
            GUI_ReportWarning("WM_Motion:\nNo motion handler in _GetPos()!");
        }
        if (g_motion.state == kDragging)
            StartGlide(GUI_NowMs());
        else if (g_motion.state == kPressed)
            g_motion.state = kIdle;
        return;
    }
    // A pressed pointer outside the display has no position to follow.
    if (state.x < 0 || state.y < 0) return;
    const bool allow_x = g_motion.axes & WM_CF_DRAG_X;
    const bool allow_y = g_motion.axes & WM_CF_DRAG_Y;
    if (g_motion.state == kPressed) {
        const int dx = state.x - g_motion.press_x;
        const int dy = state.y - g_motion.press_y;
        if ((allow_x && std::abs(dx) > g_motion.threshold) ||
            (allow_y && std::abs(dy) > g_motion.threshold)) {
            g_motion.state = kDragging;
            // A pan is not a press: the pressed button lets go instead of acting on release.
            WM_PointerCancelCapture();
            // The point pressed stays under the pointer from here on.
            MoveBounded(allow_x ? dx : 0, allow_y ? dy : 0, nullptr, nullptr);
        }
    } else if (g_motion.state == kDragging) {
        MoveBounded(allow_x ? state.x - g_motion.last_x : 0,
                    allow_y ? state.y - g_motion.last_y : 0, nullptr, nullptr);
    } else {
        return;
    }
    g_motion.last_x = state.x;
    g_motion.last_y = state.y;
    AddSample(GUI_NowMs(), state.x, state.y);
}

int WM_MotionGlide() {
    if (g_motion.state != kGliding) return 0;
    const int now = GUI_NowMs();
    const int dt = now - g_motion.last_tick;
    if (dt <= 0) return 0;
    g_motion.last_tick = now;
    // Distance at the mean speed of this step, kept in thousandths of a pixel.
    const int next_x = Slow(g_motion.speed_x, dt);
    const int next_y = Slow(g_motion.speed_y, dt);
    g_motion.rest_x += (g_motion.speed_x + next_x) / 2 * dt;
    g_motion.rest_y += (g_motion.speed_y + next_y) / 2 * dt;
    const int dx = g_motion.rest_x / 1000;
    const int dy = g_motion.rest_y / 1000;
    g_motion.rest_x -= dx * 1000;
    g_motion.rest_y -= dy * 1000;
    g_motion.speed_x = next_x;
    g_motion.speed_y = next_y;
    bool stopped_x = false;
    bool stopped_y = false;
    if (dx != 0 || dy != 0) MoveBounded(dx, dy, &stopped_x, &stopped_y);
    if (stopped_x) g_motion.speed_x = 0;
    if (stopped_y) g_motion.speed_y = 0;
    if (g_motion.speed_x == 0 && g_motion.speed_y == 0) g_motion.state = kIdle;
    return 1;
}

int WM_MotionWheel(WM_HANDLE win, int dx, int dy) {
    WM_Obj* obj = WM_ObjOf(win);
    if (obj == nullptr || !(obj->status & (WM_CF_DRAG_X | WM_CF_DRAG_Y))) return 0;
    if (!g_motion.enabled) return 0;
    // The pointer held down on it decides where it is; a glide gives way to the wheel.
    if (g_motion.win == win && (g_motion.state == kPressed || g_motion.state == kDragging))
        return 1;
    if (g_motion.win == win && g_motion.state == kGliding) g_motion.state = kIdle;
    const bool allow_x = obj->status & WM_CF_DRAG_X;
    const bool allow_y = obj->status & WM_CF_DRAG_Y;
    // Turning away from the user shows what lies before (left of, above) the visible part. A
    // window that moves only sideways takes the plain wheel for that, as a tilt to the right
    // shows what lies to the right.
    int move_x = 0;
    int move_y = 0;
    if (allow_x && allow_y) {
        move_x = -dx;
        move_y = dy;
    } else if (allow_x) {
        move_x = dy - dx;
    } else {
        move_y = dy;
    }
    MoveWindowBounded(win, move_x * WM_WHEEL_PIXELS, move_y * WM_WHEEL_PIXELS, nullptr, nullptr);
    return 1;
}

int WM_EnableMotion(int on) {
    GUI_LockGuard lock;
    const int previous = g_motion.enabled ? 1 : 0;
    g_motion.enabled = on != 0;
    if (!g_motion.enabled) g_motion.state = kIdle;
    return previous;
}

void WM_SetMotionFlags(WM_HANDLE win, uint32_t flags, int on) {
    GUI_LockGuard lock;
    WM_Obj* obj = WM_ObjOf(win);
    if (obj == nullptr) return;
    flags &= WM_CF_DRAG_X | WM_CF_DRAG_Y;
    if (on)
        obj->status |= flags;
    else
        obj->status &= ~flags;
}

void WM_SetMotionThreshold(int pixels) {
    GUI_LockGuard lock;
    g_motion.threshold = std::max(pixels, 0);
}

int WM_GetMotionState() {
    GUI_LockGuard lock;
    return g_motion.state;
}

void WM_MotionForget(WM_HANDLE win) {
    if (g_motion.win == win) {
        g_motion.win = 0;
        g_motion.state = kIdle;
    }
}

void WM_ResetMotion() {
    g_motion = Motion{};
}
