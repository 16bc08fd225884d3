// What the window manager's files share. Everything here is called with the toolkit lock held.
#pragma once

#include "gui/toolkit/wm/wm.h"

// Status bits the manager keeps beside the creation flags (outside WM_CF_MASK).
constexpr uint32_t WM_SF_INVALID = 0x20;
constexpr uint32_t WM_SF_DELETE_PENDING = 0x40;
constexpr uint32_t WM_SF_DELETING = 0x1000000;
constexpr uint32_t WM_OBJ_MAGIC = 0x57494E44;

struct WM_STATE {
    WM_HANDLE root;
    WM_HANDLE first_win; // list of all windows in creation order
    WM_HANDLE focus;
    WM_HANDLE paint_win;    // window being painted
    WM_HANDLE selected_win; // selected for drawing outside a paint
    WM_HANDLE paint_resume; // where the next repaint walk starts
    int num_invalid;
    int num_transparent;
    int in_paint;
    int send_nesting;
    bool deferred_pending;
};
extern WM_STATE g_wm;

// The record of a live window, nullptr for anything else.
WM_Obj* WM_ObjOf(WM_HANDLE win);

// Rectangles: empty when x1 < x0 or y1 < y0.
bool WM_RectEmpty(const GUI_RECT& r);
bool WM_Intersect(const GUI_RECT& a, const GUI_RECT& b, GUI_RECT* out);
bool WM_Contains(const GUI_RECT& r, int x, int y);
GUI_RECT WM_ScreenRect();

// True when the window and all its ancestors are visible and it hangs below the root; fills
// the part of it not cut off by its ancestors and the screen (may be empty).
bool WM_VisibleRect(WM_HANDLE win, GUI_RECT* out);
bool WM_IsAncestorOrSelf(WM_HANDLE ancestor, WM_HANDLE win);

// Invalidation of the window's own area (a see-through window invalidates what lies beneath).
void WM_Invalidate(WM_HANDLE win, const GUI_RECT& screen_rect);
// The window and every visible descendant that meets the rectangle.
void WM_InvalidateTree(WM_HANDLE win, const GUI_RECT& screen_rect);
void WM_ClearInvalid(WM_Obj* obj);

void WM_SendSimple(WM_HANDLE win, int32_t msg_id, int32_t value);

// Cleanup when a window goes: pointer, motion and timers forget it.
void WM_PointerForget(WM_HANDLE win);
// A drag has begun: the window that holds the capture gets a null pointer message and nothing
// more is delivered until the release.
void WM_PointerCancelCapture();
void WM_MotionForget(WM_HANDLE win);
void WM_TimersForget(WM_HANDLE win);
void WM_ResetPointer();
void WM_ResetMotion();
void WM_ResetTimers();

// One input step's parts; each returns 1 when it did something.
int WM_DeleteDeferred();
int WM_PollInputEvent();
int WM_PollKeyQueue();
int WM_ExpireTimers();
// Motion: each pointer state processed (screen coordinates, the window under the pointer),
// and the glide step of each exec cycle.
void WM_MotionOnPointer(const WM_POINTER_STATE& state, bool was_pressed, WM_HANDLE hit);
int WM_MotionGlide();
// A wheel turn no window below `win` used: moves it when it is marked for motion (1), else 0.
int WM_MotionWheel(WM_HANDLE win, int dx, int dy);
// Repaints one window and the see-through windows above what it painted.
void WM_PaintWindow(WM_HANDLE win);
// Delivers a key event to the focused window; dropped without one.
void WM_DeliverKey(int key, int pressed);
// Processes one pointer state (screen coordinates); 1 when it delivered a pointer message.
int WM_ProcessPointerState(WM_POINTER_STATE state);
// Delivers a wheel turn at a screen position; 1 when a window used it.
int WM_ProcessWheel(int x, int y, int dx, int dy);
// Points the drawing at the shown frame buffer (outside buffered updates).
void WM_ResetDrawTarget();
// Sets up the manager with a root window covering the display.
void WM_Init();
