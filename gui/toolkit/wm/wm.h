// The window manager: a tree of windows with window procedures, synchronous messages,
// invalid rectangles repainted by the exec cycle, focus and keys, pointer input with capture
// and a modal window, drag motion, toolkit timers and dialogs built from item tables.
// Every operation takes the toolkit lock and may be called from window procedures; a 0
// handle does nothing and getters return 0 for it.
#pragma once

#include "gui/toolkit/core/gui_alloc.h"
#include "gui/toolkit/draw/gui_context.h"

#include <cstdint>

using WM_HANDLE = GUI_HMEM;

// ---- Messages ------------------------------------------------------------------------------

struct WM_MSG_RECORD;
using WM_PROC = void (*)(WM_MSG_RECORD* msg);

struct WM_MSG_RECORD {
    int32_t msg_id;
    WM_HANDLE target; // filled in by the sender routine
    WM_HANDLE source; // the window that caused it (the child, for notifications)
    union {
        void* p;
        const void* cp;
        int32_t v;
        WM_HANDLE h;
        GUI_COLOUR colour;
    } data;
};

struct WM_KEY_EVENT {
    int32_t key;         // character or key code: 13 Enter, 32 Space, 8 Backspace
    int32_t pressed_cnt; // above 0 for a press, 0 for a release
};

// A turn of the mouse wheel. The window under the pointer gets it first; when it does not use
// it, its parent, and so on up (not beyond the modal window). A window marked for motion
// (WM_CF_DRAG_X / WM_CF_DRAG_Y) that no window below it used the turn for is moved by the
// manager itself.
struct WM_WHEEL_EVENT {
    int32_t x;    // the pointer, in the receiving window's coordinates
    int32_t y;    // (each window gets its own)
    int32_t dx;   // notches to the right
    int32_t dy;   // notches away from the user (towards the start of a list)
    int32_t used; // set to 1 by the window that used the turn: it goes no further
};
// A list moves this many lines per notch, a window with motion this many pixels.
constexpr int WM_WHEEL_LINES = 3;
constexpr int WM_WHEEL_PIXELS = 100;

struct WM_POINTER_STATE {
    int32_t x;       // screen coordinates from the host (-1, -1 outside the display);
    int32_t y;       // window coordinates when delivered
    uint8_t pressed; // 0 released, nonzero while a button or finger is down
    uint8_t layer;   // 0 here
};

constexpr int32_t WM_MSG_CREATE = 1;
constexpr int32_t WM_MSG_DELETE = 11;
constexpr int32_t WM_MSG_CHILD_POINTER = 13;   // data: the WM_MSG_RECORD of the pointer message
constexpr int32_t WM_MSG_KEY = 14;             // data: WM_KEY_EVENT
constexpr int32_t WM_MSG_PAINT = 15;           // data: the GUI_RECT being painted (screen)
constexpr int32_t WM_MSG_GET_INSIDE_RECT = 20; // data: GUI_RECT to fill
constexpr int32_t WM_MSG_GET_ID = 21;          // answer in data.v
constexpr int32_t WM_MSG_GET_CLIENT = 23;      // answer in data.h
constexpr int32_t WM_MSG_INIT_DIALOG = 29;
constexpr int32_t WM_MSG_SET_FOCUS = 30;      // data.v 1 gained, 0 lost; set 0 to accept
constexpr int32_t WM_MSG_GET_BKCOLOR = 34;    // answer in data.colour
constexpr int32_t WM_MSG_NOTIFY_PARENT = 38;  // data.v: the notification code
constexpr int32_t WM_MSG_ENABLE_CHANGED = 40; // data.v 1 enabled, 0 disabled
constexpr int32_t WM_MSG_TIMER = 275;         // data.v: the timer's handle
constexpr int32_t WM_MSG_POINTER = 576; // data: WM_POINTER_STATE in window coordinates, or null
constexpr int32_t WM_MSG_WHEEL = 577;   // data: WM_WHEEL_EVENT
constexpr int32_t WM_MSG_USER = 1024;

constexpr int32_t WM_NOTIFICATION_CLICKED = 1;
constexpr int32_t WM_NOTIFICATION_RELEASED = 2;
constexpr int32_t WM_NOTIFICATION_POINTER_LEFT = 3;
constexpr int32_t WM_NOTIFICATION_CHANGED = 4;
constexpr int32_t WM_NOTIFICATION_VALUE_MODIFIED = 5;
constexpr int32_t WM_NOTIFICATION_CHILD_REMOVED = 7;
constexpr int32_t WM_NOTIFICATION_FOCUS_GAINED = 8;
constexpr int32_t WM_NOTIFICATION_FOCUS_LOST = 9;

// The background colour answer of a window without one.
constexpr GUI_COLOUR WM_INVALID_COLOUR = 0x0FFFFFFF;

// ---- Windows -------------------------------------------------------------------------------

constexpr uint32_t WM_CF_SEE_THROUGH = 0x01;
constexpr uint32_t WM_CF_VISIBLE = 0x02;
constexpr uint32_t WM_CF_ON_TOP = 0x08;
constexpr uint32_t WM_STATE_DISABLED = 0x10;
constexpr uint32_t WM_CF_DRAG_X = 0x20000;
constexpr uint32_t WM_CF_DRAG_Y = 0x40000;
// The creation flags a caller may pass; the other status bits belong to the manager.
constexpr uint32_t WM_CF_MASK = 0x3F3F9F;

// The window record at the start of every window block; the caller's extra bytes follow it
// (a widget's object begins with this record).
struct WM_Obj {
    GUI_RECT rect;     // screen coordinates, inclusive
    GUI_RECT inv_rect; // screen coordinates; meaningful while the window is invalid
    WM_PROC callback;
    WM_HANDLE next_win; // list of all windows in creation order
    WM_HANDLE parent;
    WM_HANDLE first_child;  // the bottom-most child
    WM_HANDLE next_sibling; // the sibling drawn above this one
    WM_HANDLE mem_dev;      // always 0: no window keeps an off-screen buffer
    uint32_t status;
    uint32_t magic; // marks the block as a live window
};

// A window of the given size at (x0, y0) relative to the parent (0: the root window, -1: no
// parent). A zero size takes the parent's. Flags are masked with WM_CF_MASK. Returns the
// handle, or 0 when the heap is full (reported).
WM_HANDLE WM_CreateWindowAsChild(int x0, int y0, int x_size, int y_size, WM_HANDLE parent,
                                 uint32_t flags, WM_PROC callback, int extra_bytes);
// Deletes the window and its descendants; each gets WM_MSG_DELETE, the parent is repainted
// and notified with WM_NOTIFICATION_CHILD_REMOVED.
void WM_DeleteWindow(WM_HANDLE win);
// Deletes the window at the start of the next exec cycle (safe from its own procedure).
void WM_MarkForDeletion(WM_HANDLE win);
bool WM_IsWindow(WM_HANDLE win);

void WM_InvalidateWin(WM_HANDLE win);
// A rectangle in the window's own coordinates; null is the whole window.
void WM_InvalidateRect(WM_HANDLE win, const GUI_RECT* rect);
// A screen rectangle, in every window it meets.
void WM_InvalidateAreaAll(const GUI_RECT* rect);

void WM_ShowWin(WM_HANDLE win);
void WM_HideWin(WM_HANDLE win);
void WM_SetOnTop(WM_HANDLE win, int on);
void WM_EnableWin(WM_HANDLE win);
void WM_DisableWin(WM_HANDLE win);
// Installs a new procedure and returns the old one (for chaining).
WM_PROC WM_ReplaceCallback(WM_HANDLE win, WM_PROC callback);
WM_PROC WM_GetCallback(WM_HANDLE win);

// Moves the window and its descendants by (dx, dy) / to (x, y) relative to its parent.
void WM_MoveWindow(WM_HANDLE win, int dx, int dy);
void WM_MoveTo(WM_HANDLE win, int x, int y);
void WM_SetSize(WM_HANDLE win, int x_size, int y_size);
// Makes the window a child of another parent (0: the root) at (x, y) in it.
void WM_AttachWindowAt(WM_HANDLE win, WM_HANDLE parent, int x, int y);

// ---- Messages and queries ------------------------------------------------------------------

// The default handling every window procedure passes unhandled messages to.
void WM_FallbackProc(WM_MSG_RECORD* msg);
void WM_SendBareMessage(WM_HANDLE win, int32_t msg_id);
// Synchronous send; at most 20 sends may be nested (a deeper one is dropped and reported).
void WM__SendMessage(WM_HANDLE win, WM_MSG_RECORD* msg);
void WM_TellParent(WM_HANDLE win, int32_t code);

int WM_GetWinId(WM_HANDLE win);
WM_HANDLE WM_GetParentWin(WM_HANDLE win);
WM_HANDLE WM_GetRootWin();
WM_HANDLE WM_GetFirstChild(WM_HANDLE win);
WM_HANDLE WM_GetNextSibling(WM_HANDLE win);
WM_HANDLE WM_FindChildById(WM_HANDLE parent, int id);
// Screen rectangle of the window; false (rect untouched) for a handle that is not a window.
bool WM_GetWindowRect(WM_HANDLE win, GUI_RECT* rect);
int WM_GetWindowOrgX(WM_HANDLE win); // screen position
int WM_GetWindowOrgY(WM_HANDLE win);
int WM_GetWindowSizeX(WM_HANDLE win);
int WM_GetWindowSizeY(WM_HANDLE win);
// (0, 0, width - 1, height - 1) of the window being painted, else of the selected window.
void WM_GetCurrentClientRect(GUI_RECT* rect);
void WM_GetWinClientRect(WM_HANDLE win, GUI_RECT* rect);
bool WM_IsVisible(WM_HANDLE win); // its own flag
bool WM_IsEnabled(WM_HANDLE win);
uint32_t WM_GetFlags(WM_HANDLE win);
// Selects the window for drawing outside a paint (origin and clip set to it); returns the
// previously selected window. 0 selects the whole display.
WM_HANDLE WM_SelectWindow(WM_HANDLE win);
// The window being painted (0 outside a paint).
WM_HANDLE WM_GetPaintWin();

// ---- Focus and keys ----------------------------------------------------------------------

// Returns 0 when the window took the focus, 1 otherwise.
int WM_GiveFocus(WM_HANDLE win);
WM_HANDLE WM_GetFocusedWindow();
// Queues a key event for the focused window (any thread); pressed 1 or 0.
void GUI_PostKey(int key, int pressed);

// ---- Repainting and the exec cycle ----------------------------------------------------------

// Draws each exec cycle's repainting into a back buffer shown at once at its end; returns the
// previous state.
int WM_EnableBufferedUpdate(int on);
void WM_BeginBufferedUpdate();
void WM_EndBufferedUpdate();
// One pass of input handling and repainting; 1 when it did any work.
int WM_ExecCycle();
// Number of windows waiting for a repaint.
int WM_GetNumInvalidWindows();
// Hooks the host may install: before each exec cycle and in each input step (null: none).
using WM_HOOK = void (*)();
void WM_SetExecHooks(WM_HOOK pre_cycle, WM_HOOK periodic);

// ---- Pointer input and motion --------------------------------------------------------------

// The toolkit's own pointer entry (any thread): queues a state for the next exec cycle; a state
// equal to the last one queued is dropped. The host's input queue is read as well.
void GUI_PID_StoreState(const WM_POINTER_STATE* state);
// Processes one queued pointer state; 1 when it delivered a pointer message.
int WM_HandlePID();
// Delivers a wheel turn at a screen position at once, as the host's wheel events are;
// 1 when a window used it.
int WM_HandleWheel(int x, int y, int dx, int dy);
// Pointer input goes only to this window and its descendants until called with 0.
void WM_SetModalWin(WM_HANDLE win);
WM_HANDLE WM_GetModalWin();
WM_HANDLE WM_GetCaptureWin();

int WM_EnableMotion(int on); // returns the previous state
// Sets (on) or clears the given flags, masked to WM_CF_DRAG_X | WM_CF_DRAG_Y.
void WM_SetMotionFlags(WM_HANDLE win, uint32_t flags, int on);
// Pixels the pointer must travel while pressed before a drag starts (default 3).
void WM_SetMotionThreshold(int pixels);
// 0 idle, 1 pressed and waiting, 2 dragging, 3 gliding.
int WM_GetMotionState();

// ---- Timers ----------------------------------------------------------------------------------

using WM_HTIMER = int32_t;
// A one-shot timer: after period_ms the window receives WM_MSG_TIMER with data.v = the timer;
// WM_RestartTimer arms it again. 0 when all timers are in use. Deleted with its window.
WM_HTIMER WM_CreateTimer(WM_HANDLE win, int user_id, int period_ms);
void WM_RestartTimer(WM_HTIMER timer, int period_ms);
void WM_DeleteTimer(WM_HTIMER timer);
int WM_GetTimerId(WM_HTIMER timer);

// ---- Dialogs ---------------------------------------------------------------------------------

struct WM_DIALOG_ITEM;
// A widget type's routine that creates an item of a table inside parent, at the item's position
// plus (x0, y0), with the given procedure (null for the children).
using WM_DIALOG_CREATE_FN = WM_HANDLE (*)(const WM_DIALOG_ITEM* item, WM_HANDLE parent, int x0,
                                          int y0, WM_PROC callback);

struct WM_DIALOG_ITEM {
    WM_DIALOG_CREATE_FN create;
    const char* text;
    int16_t id;
    int16_t x0;
    int16_t y0;
    int16_t x_size;
    int16_t y_size;
    uint16_t flags;
    int32_t para;
    uint32_t extra_bytes;
};

// The first item is the dialog window (at its position plus (x0, y0) in parent, 0 = root),
// the others its items in the dialog's client window. Returns the dialog or 0.
WM_HANDLE GUI_CreateDialogFromTable(const WM_DIALOG_ITEM* items, int count, WM_PROC callback,
                                    WM_HANDLE parent, int x0, int y0);
