// The window tree: creation and deletion, messages, the default procedure, window queries and
// changes, focus and keys.
#include "gui/toolkit/wm/wm_internal.h"

#include "gui/toolkit/core/gui_lock.h"
#include "gui/toolkit/core/gui_report.h"
#include "gui/toolkit/draw/gui_context.h"

#include <algorithm>
#include <array>
#include <mutex>

WM_STATE g_wm{};

namespace {

constexpr int kMaxSendNesting = 20;

int16_t Clamp16(long value) {
    return static_cast<int16_t>(std::clamp<long>(value, INT16_MIN, INT16_MAX));
}

// Links the window among its parent's children: above every sibling, but below the on-top
// siblings unless it is on top itself.
void LinkChild(WM_HANDLE win, WM_Obj* obj) {
    WM_Obj* parent = WM_ObjOf(obj->parent);
    if (parent == nullptr) return;
    obj->next_sibling = 0;
    const bool on_top = obj->status & WM_CF_ON_TOP;
    WM_HANDLE prev = 0;
    WM_HANDLE cur = parent->first_child;
    while (cur != 0) {
        WM_Obj* c = WM_ObjOf(cur);
        if (!on_top && (c->status & WM_CF_ON_TOP)) break;
        prev = cur;
        cur = c->next_sibling;
    }
    obj->next_sibling = cur;
    if (prev == 0)
        parent->first_child = win;
    else
        WM_ObjOf(prev)->next_sibling = win;
}

void UnlinkChild(WM_HANDLE win, WM_Obj* obj) {
    WM_Obj* parent = WM_ObjOf(obj->parent);
    if (parent == nullptr) return;
    if (parent->first_child == win) {
        parent->first_child = obj->next_sibling;
    } else {
        for (WM_HANDLE cur = parent->first_child; cur != 0;) {
            WM_Obj* c = WM_ObjOf(cur);
            if (c->next_sibling == win) {
                c->next_sibling = obj->next_sibling;
                break;
            }
            cur = c->next_sibling;
        }
    }
    obj->next_sibling = 0;
}

void UnlinkFromList(WM_HANDLE win, WM_Obj* obj) {
    if (g_wm.paint_resume == win) g_wm.paint_resume = obj->next_win;
    if (g_wm.first_win == win) {
        g_wm.first_win = obj->next_win;
        return;
    }
    for (WM_HANDLE cur = g_wm.first_win; cur != 0;) {
        WM_Obj* c = WM_ObjOf(cur);
        if (c->next_win == win) {
            c->next_win = obj->next_win;
            return;
        }
        cur = c->next_win;
    }
}

void AppendToList(WM_HANDLE win) {
    if (g_wm.first_win == 0) {
        g_wm.first_win = win;
        return;
    }
    WM_HANDLE cur = g_wm.first_win;
    while (WM_Obj* c = WM_ObjOf(cur)) {
        if (c->next_win == 0) {
            c->next_win = win;
            return;
        }
        cur = c->next_win;
    }
}

// The area a window covers on screen, invalidated in what lies beneath it.
void InvalidateBeneath(WM_Obj* obj) {
    if (obj->parent != 0) WM_InvalidateTree(obj->parent, obj->rect);
}

void DeleteRecursive(WM_HANDLE win);

// Children may delete each other from their procedures, so the next one is looked up afresh.
void DeleteChildren(WM_Obj* obj) {
    for (;;) {
        WM_HANDLE child = obj->first_child;
        while (child != 0 && (WM_ObjOf(child)->status & WM_SF_DELETING)) {
            child = WM_ObjOf(child)->next_sibling;
        }
        if (child == 0) return;
        DeleteRecursive(child);
    }
}

void DeleteRecursive(WM_HANDLE win) {
    WM_Obj* obj = WM_ObjOf(win);
    if (obj == nullptr || (obj->status & WM_SF_DELETING)) return;
    obj->status |= WM_SF_DELETING;
    if (win == g_wm.root) g_wm.root = 0;
    WM_SendSimple(win, WM_MSG_DELETE, 0);
    DeleteChildren(obj);
    if (g_wm.focus == win) g_wm.focus = 0;
    if (g_wm.selected_win == win) g_wm.selected_win = 0;
    WM_PointerForget(win);
    WM_MotionForget(win);
    WM_TimersForget(win);
    if (obj->status & WM_CF_VISIBLE) InvalidateBeneath(obj);
    WM_TellParent(win, WM_NOTIFICATION_CHILD_REMOVED);
    // Children created meanwhile go too; one whose deletion led here is left without a parent.
    DeleteChildren(obj);
    for (WM_HANDLE c = obj->first_child; c != 0;) {
        WM_Obj* child = WM_ObjOf(c);
        child->parent = 0;
        c = child->next_sibling;
    }
    obj->first_child = 0;
    UnlinkChild(win, obj);
    UnlinkFromList(win, obj);
    WM_ClearInvalid(obj);
    if (obj->status & WM_CF_SEE_THROUGH) --g_wm.num_transparent;
    obj->magic = 0;
    GUI_ALLOC_Free(win);
}

// Recomputes the rectangles of a window and its descendants after a move by (dx, dy).
void ShiftTree(WM_HANDLE win, int dx, int dy) {
    WM_Obj* obj = WM_ObjOf(win);
    if (obj == nullptr) return;
    obj->rect.x0 = Clamp16(long(obj->rect.x0) + dx);
    obj->rect.x1 = Clamp16(long(obj->rect.x1) + dx);
    obj->rect.y0 = Clamp16(long(obj->rect.y0) + dy);
    obj->rect.y1 = Clamp16(long(obj->rect.y1) + dy);
    if (obj->status & WM_SF_INVALID) {
        // The pending part moves along; the new place is invalidated as a whole anyway.
        obj->inv_rect = obj->rect;
    }
    for (WM_HANDLE c = obj->first_child; c != 0; c = WM_ObjOf(c)->next_sibling) {
        ShiftTree(c, dx, dy);
    }
}

// ---- Key queue: filled by any thread, emptied by the exec cycle. -----------------------------

constexpr int kKeyQueueSize = 32;
struct KeyEvent {
    int key;
    int pressed;
};
std::mutex g_key_lock;
std::array<KeyEvent, kKeyQueueSize> g_keys;
int g_key_head = 0;
int g_key_count = 0;

bool PopKey(KeyEvent* event) {
    std::lock_guard<std::mutex> guard(g_key_lock);
    if (g_key_count == 0) return false;
    *event = g_keys[g_key_head];
    g_key_head = (g_key_head + 1) % kKeyQueueSize;
    --g_key_count;
    return true;
}

} // namespace

// ---- Shared helpers -------------------------------------------------------------------------

WM_Obj* WM_ObjOf(WM_HANDLE win) {
    if (win <= 0) return nullptr;
    int32_t size = 0;
    WM_Obj* obj = static_cast<WM_Obj*>(GUI_ALLOC_Peek(win, &size));
    if (obj == nullptr || size < static_cast<int32_t>(sizeof(WM_Obj))) return nullptr;
    return obj->magic == WM_OBJ_MAGIC ? obj : nullptr;
}

bool WM_RectEmpty(const GUI_RECT& r) {
    return r.x1 < r.x0 || r.y1 < r.y0;
}

bool WM_Intersect(const GUI_RECT& a, const GUI_RECT& b, GUI_RECT* out) {
    GUI_RECT r{std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1),
               std::min(a.y1, b.y1)};
    if (out) *out = r;
    return !WM_RectEmpty(r);
}

bool WM_Contains(const GUI_RECT& r, int x, int y) {
    return x >= r.x0 && x <= r.x1 && y >= r.y0 && y <= r.y1;
}

GUI_RECT WM_ScreenRect() {
    const GUI_DISPLAY* display = GUI_GetDisplay();
    int w = 800;
    int h = 480;
    if (display != nullptr && display->pixels != nullptr) {
        w = display->width;
        h = display->height;
    }
    return GUI_RECT{0, 0, Clamp16(w - 1), Clamp16(h - 1)};
}

bool WM_VisibleRect(WM_HANDLE win, GUI_RECT* out) {
    GUI_RECT r = WM_ScreenRect();
    WM_HANDLE cur = win;
    while (cur != 0) {
        WM_Obj* obj = WM_ObjOf(cur);
        if (obj == nullptr || !(obj->status & WM_CF_VISIBLE)) return false;
        WM_Intersect(r, obj->rect, &r);
        if (obj->parent == 0 && cur != g_wm.root) return false; // not on the desktop
        cur = obj->parent;
    }
    if (out) *out = r;
    return true;
}

bool WM_IsAncestorOrSelf(WM_HANDLE ancestor, WM_HANDLE win) {
    if (ancestor == 0) return false;
    for (WM_HANDLE cur = win; cur != 0;) {
        if (cur == ancestor) return true;
        WM_Obj* obj = WM_ObjOf(cur);
        if (obj == nullptr) return false;
        cur = obj->parent;
    }
    return false;
}

void WM_SendSimple(WM_HANDLE win, int32_t msg_id, int32_t value) {
    WM_MSG_RECORD msg{};
    msg.msg_id = msg_id;
    msg.data.v = value;
    WM__SendMessage(win, &msg);
}

// ---- Creation and deletion ------------------------------------------------------------------

WM_HANDLE WM_CreateWindowAsChild(int x0, int y0, int x_size, int y_size, WM_HANDLE parent,
                                 uint32_t flags, WM_PROC callback, int extra_bytes) {
    GUI_LockGuard lock;
    if (parent == 0)
        parent = g_wm.root;
    else if (parent == -1)
        parent = 0;
    long x = x0;
    long y = y0;
    if (parent != 0) {
        WM_Obj* p = WM_ObjOf(parent);
        if (p == nullptr) return 0;
        x += p->rect.x0;
        y += p->rect.y0;
        if (x_size == 0) x_size = p->rect.x1 - p->rect.x0 + 1;
        if (y_size == 0) y_size = p->rect.y1 - p->rect.y0 + 1;
    }
    const long total = long(sizeof(WM_Obj)) + std::max(extra_bytes, 0);
    const WM_HANDLE win = total <= INT32_MAX ? GUI_ALLOC_AllocZero(int32_t(total)) : 0;
    if (win == 0) {
        GUI_ReportError("WM:\nNo memory to create window in WM_CreateWindowAsChild()");
        return 0;
    }
    WM_Obj* obj = static_cast<WM_Obj*>(GUI_ALLOC_Peek(win));
    obj->rect = GUI_RECT{Clamp16(x), Clamp16(y), Clamp16(x + long(x_size) - 1),
                         Clamp16(y + long(y_size) - 1)};
    obj->callback = callback;
    obj->parent = parent;
    obj->status = flags & WM_CF_MASK;
    obj->magic = WM_OBJ_MAGIC;
    if (obj->status & WM_CF_SEE_THROUGH) ++g_wm.num_transparent;
    AppendToList(win);
    LinkChild(win, obj);
    if (obj->status & WM_CF_VISIBLE) WM_Invalidate(win, obj->rect);
    WM_SendSimple(win, WM_MSG_CREATE, 0);
    return win;
}

void WM_DeleteWindow(WM_HANDLE win) {
    if (win == 0) return;
    GUI_LockGuard lock;
    if (WM_ObjOf(win) == nullptr) {
        GUI_ReportWarning("WM:\nInvalid handle in WM_DeleteWindow()");
        return;
    }
    if (g_wm.in_paint > 0) GUI_ReportError("Function may not be called from within a paint event");
    DeleteRecursive(win);
}

void WM_MarkForDeletion(WM_HANDLE win) {
    GUI_LockGuard lock;
    if (WM_Obj* obj = WM_ObjOf(win)) {
        obj->status |= WM_SF_DELETE_PENDING;
        g_wm.deferred_pending = true;
    }
}

int WM_DeleteDeferred() {
    if (!g_wm.deferred_pending) return 0;
    g_wm.deferred_pending = false;
    int done = 0;
    // Deleting a window may delete later ones of the list, so start over after each.
    for (bool found = true; found;) {
        found = false;
        for (WM_HANDLE cur = g_wm.first_win; cur != 0; cur = WM_ObjOf(cur)->next_win) {
            if (WM_ObjOf(cur)->status & WM_SF_DELETE_PENDING) {
                DeleteRecursive(cur);
                found = true;
                done = 1;
                break;
            }
        }
    }
    return done;
}

bool WM_IsWindow(WM_HANDLE win) {
    GUI_LockGuard lock;
    return WM_ObjOf(win) != nullptr;
}

void WM_Init() {
    // Whatever an earlier start left behind lived in the previous arena.
    g_wm = WM_STATE{};
    WM_ResetPointer();
    WM_ResetMotion();
    WM_ResetTimers();
    {
        std::lock_guard<std::mutex> guard(g_key_lock);
        g_key_head = g_key_count = 0;
    }
    const GUI_RECT screen = WM_ScreenRect();
    g_wm.root =
        WM_CreateWindowAsChild(0, 0, screen.x1 + 1, screen.y1 + 1, -1, WM_CF_VISIBLE, nullptr, 0);
}

// ---- Messages ----------------------------------------------------------------------------------

void WM__SendMessage(WM_HANDLE win, WM_MSG_RECORD* msg) {
    if (win == 0 || msg == nullptr) return;
    GUI_LockGuard lock;
    WM_Obj* obj = WM_ObjOf(win);
    if (obj == nullptr) return;
    if (g_wm.send_nesting >= kMaxSendNesting) {
        GUI_ReportError("WM__SendMessage:\nMax. message nesting exceeded, Message skipped in "
                        "WM__SendMessage().");
        return;
    }
    msg->target = win;
    ++g_wm.send_nesting;
    if (obj->callback)
        obj->callback(msg);
    else
        WM_FallbackProc(msg);
    --g_wm.send_nesting;
}

void WM_SendBareMessage(WM_HANDLE win, int32_t msg_id) {
    WM_SendSimple(win, msg_id, 0);
}

void WM_TellParent(WM_HANDLE win, int32_t code) {
    GUI_LockGuard lock;
    WM_Obj* obj = WM_ObjOf(win);
    if (obj == nullptr || obj->parent == 0) return;
    WM_MSG_RECORD msg{};
    msg.msg_id = WM_MSG_NOTIFY_PARENT;
    msg.source = win;
    msg.data.v = code;
    WM__SendMessage(obj->parent, &msg);
}

void WM_FallbackProc(WM_MSG_RECORD* msg) {
    if (msg == nullptr) return;
    GUI_LockGuard lock;
    WM_Obj* obj = WM_ObjOf(msg->target);
    switch (msg->msg_id) {
        case WM_MSG_KEY:
            if (obj != nullptr && obj->parent != 0) {
                WM_MSG_RECORD forward = *msg;
                WM__SendMessage(obj->parent, &forward);
            }
            return;
        case WM_MSG_GET_INSIDE_RECT:
            if (msg->data.p != nullptr) WM_GetWinClientRect(msg->target, (GUI_RECT*)msg->data.p);
            msg->data.p = nullptr;
            return;
        case WM_MSG_GET_CLIENT:
            msg->data.p = nullptr;
            msg->data.h = msg->target;
            return;
        case WM_MSG_GET_BKCOLOR:
            msg->data.p = nullptr;
            msg->data.colour = WM_INVALID_COLOUR;
            return;
        case WM_MSG_ENABLE_CHANGED:
            WM_InvalidateWin(msg->target);
            return;
        default:
            msg->data.p = nullptr;
            return;
    }
}

// ---- Queries -----------------------------------------------------------------------------------

int WM_GetWinId(WM_HANDLE win) {
    GUI_LockGuard lock;
    if (WM_ObjOf(win) == nullptr) return 0;
    WM_MSG_RECORD msg{};
    msg.msg_id = WM_MSG_GET_ID;
    WM__SendMessage(win, &msg);
    return msg.data.v;
}

WM_HANDLE WM_GetParentWin(WM_HANDLE win) {
    GUI_LockGuard lock;
    WM_Obj* obj = WM_ObjOf(win);
    return obj ? obj->parent : 0;
}

WM_HANDLE WM_GetRootWin() {
    GUI_LockGuard lock;
    return g_wm.root;
}

WM_HANDLE WM_GetFirstChild(WM_HANDLE win) {
    GUI_LockGuard lock;
    WM_Obj* obj = WM_ObjOf(win);
    return obj ? obj->first_child : 0;
}

WM_HANDLE WM_GetNextSibling(WM_HANDLE win) {
    GUI_LockGuard lock;
    WM_Obj* obj = WM_ObjOf(win);
    return obj ? obj->next_sibling : 0;
}

namespace {
WM_HANDLE FindById(WM_HANDLE parent, int id) {
    WM_Obj* obj = WM_ObjOf(parent);
    if (obj == nullptr) return 0;
    for (WM_HANDLE c = obj->first_child; c != 0;) {
        if (WM_GetWinId(c) == id) return c;
        if (const WM_HANDLE found = FindById(c, id)) return found;
        WM_Obj* child = WM_ObjOf(c);
        if (child == nullptr) return 0; // a procedure deleted it while answering
        c = child->next_sibling;
    }
    return 0;
}
} // namespace

WM_HANDLE WM_FindChildById(WM_HANDLE parent, int id) {
    GUI_LockGuard lock;
    return FindById(parent, id);
}

bool WM_GetWindowRect(WM_HANDLE win, GUI_RECT* rect) {
    GUI_LockGuard lock;
    WM_Obj* obj = WM_ObjOf(win);
    if (obj == nullptr || rect == nullptr) return false;
    *rect = obj->rect;
    return true;
}

int WM_GetWindowOrgX(WM_HANDLE win) {
    GUI_LockGuard lock;
    WM_Obj* obj = WM_ObjOf(win);
    return obj ? obj->rect.x0 : 0;
}

int WM_GetWindowOrgY(WM_HANDLE win) {
    GUI_LockGuard lock;
    WM_Obj* obj = WM_ObjOf(win);
    return obj ? obj->rect.y0 : 0;
}

int WM_GetWindowSizeX(WM_HANDLE win) {
    GUI_LockGuard lock;
    WM_Obj* obj = WM_ObjOf(win);
    return obj ? std::max(obj->rect.x1 - obj->rect.x0 + 1, 0) : 0;
}

int WM_GetWindowSizeY(WM_HANDLE win) {
    GUI_LockGuard lock;
    WM_Obj* obj = WM_ObjOf(win);
    return obj ? std::max(obj->rect.y1 - obj->rect.y0 + 1, 0) : 0;
}

void WM_GetWinClientRect(WM_HANDLE win, GUI_RECT* rect) {
    if (rect == nullptr) return;
    GUI_LockGuard lock;
    WM_Obj* obj = WM_ObjOf(win);
    if (obj == nullptr) return;
    *rect =
        GUI_RECT{0, 0, int16_t(obj->rect.x1 - obj->rect.x0), int16_t(obj->rect.y1 - obj->rect.y0)};
}

void WM_GetCurrentClientRect(GUI_RECT* rect) {
    if (rect == nullptr) return;
    GUI_LockGuard lock;
    const WM_HANDLE win = g_wm.paint_win ? g_wm.paint_win : g_wm.selected_win;
    if (win != 0) return WM_GetWinClientRect(win, rect);
    const GUI_RECT screen = WM_ScreenRect();
    *rect = GUI_RECT{0, 0, screen.x1, screen.y1};
}

bool WM_IsVisible(WM_HANDLE win) {
    GUI_LockGuard lock;
    WM_Obj* obj = WM_ObjOf(win);
    return obj && (obj->status & WM_CF_VISIBLE);
}

bool WM_IsEnabled(WM_HANDLE win) {
    GUI_LockGuard lock;
    WM_Obj* obj = WM_ObjOf(win);
    return obj && !(obj->status & WM_STATE_DISABLED);
}

uint32_t WM_GetFlags(WM_HANDLE win) {
    GUI_LockGuard lock;
    WM_Obj* obj = WM_ObjOf(win);
    return obj ? obj->status : 0;
}

WM_PROC WM_GetCallback(WM_HANDLE win) {
    GUI_LockGuard lock;
    WM_Obj* obj = WM_ObjOf(win);
    return obj ? obj->callback : nullptr;
}

// ---- Changes -----------------------------------------------------------------------------------

void WM_ShowWin(WM_HANDLE win) {
    GUI_LockGuard lock;
    WM_Obj* obj = WM_ObjOf(win);
    if (obj == nullptr || (obj->status & WM_CF_VISIBLE)) return;
    obj->status |= WM_CF_VISIBLE;
    // Its children were not painted while it was hidden.
    if (obj->status & WM_CF_SEE_THROUGH)
        InvalidateBeneath(obj);
    else
        WM_InvalidateTree(win, obj->rect);
}

void WM_HideWin(WM_HANDLE win) {
    GUI_LockGuard lock;
    WM_Obj* obj = WM_ObjOf(win);
    if (obj == nullptr || !(obj->status & WM_CF_VISIBLE)) return;
    obj->status &= ~WM_CF_VISIBLE;
    InvalidateBeneath(obj);
}

void WM_SetOnTop(WM_HANDLE win, int on) {
    GUI_LockGuard lock;
    WM_Obj* obj = WM_ObjOf(win);
    if (obj == nullptr) return;
    const bool was = obj->status & WM_CF_ON_TOP;
    if (was == (on != 0)) return;
    obj->status ^= WM_CF_ON_TOP;
    UnlinkChild(win, obj);
    LinkChild(win, obj);
    WM_InvalidateTree(win, obj->rect);
}

void WM_EnableWin(WM_HANDLE win) {
    GUI_LockGuard lock;
    WM_Obj* obj = WM_ObjOf(win);
    if (obj == nullptr || !(obj->status & WM_STATE_DISABLED)) return;
    obj->status &= ~WM_STATE_DISABLED;
    WM_SendSimple(win, WM_MSG_ENABLE_CHANGED, 1);
}

void WM_DisableWin(WM_HANDLE win) {
    GUI_LockGuard lock;
    WM_Obj* obj = WM_ObjOf(win);
    if (obj == nullptr || (obj->status & WM_STATE_DISABLED)) return;
    obj->status |= WM_STATE_DISABLED;
    WM_SendSimple(win, WM_MSG_ENABLE_CHANGED, 0);
}

WM_PROC WM_ReplaceCallback(WM_HANDLE win, WM_PROC callback) {
    GUI_LockGuard lock;
    WM_Obj* obj = WM_ObjOf(win);
    if (obj == nullptr) return nullptr;
    const WM_PROC old = obj->callback;
    obj->callback = callback;
    WM_InvalidateWin(win);
    return old;
}

void WM_MoveWindow(WM_HANDLE win, int dx, int dy) {
    GUI_LockGuard lock;
    WM_Obj* obj = WM_ObjOf(win);
    if (obj == nullptr || (dx == 0 && dy == 0)) return;
    if (obj->status & WM_CF_VISIBLE) InvalidateBeneath(obj);
    ShiftTree(win, dx, dy);
    if (obj->status & WM_CF_VISIBLE) WM_InvalidateTree(win, obj->rect);
}

void WM_MoveTo(WM_HANDLE win, int x, int y) {
    GUI_LockGuard lock;
    WM_Obj* obj = WM_ObjOf(win);
    if (obj == nullptr) return;
    WM_Obj* parent = WM_ObjOf(obj->parent);
    const int px = parent ? parent->rect.x0 : 0;
    const int py = parent ? parent->rect.y0 : 0;
    WM_MoveWindow(win, px + x - obj->rect.x0, py + y - obj->rect.y0);
}

void WM_SetSize(WM_HANDLE win, int x_size, int y_size) {
    GUI_LockGuard lock;
    WM_Obj* obj = WM_ObjOf(win);
    if (obj == nullptr) return;
    if (obj->status & WM_CF_VISIBLE) InvalidateBeneath(obj);
    obj->rect.x1 = Clamp16(long(obj->rect.x0) + x_size - 1);
    obj->rect.y1 = Clamp16(long(obj->rect.y0) + y_size - 1);
    if (obj->status & WM_SF_INVALID) obj->inv_rect = obj->rect;
    if (obj->status & WM_CF_VISIBLE) WM_InvalidateTree(win, obj->rect);
}

void WM_AttachWindowAt(WM_HANDLE win, WM_HANDLE parent, int x, int y) {
    GUI_LockGuard lock;
    if (parent == 0) parent = g_wm.root;
    WM_Obj* obj = WM_ObjOf(win);
    WM_Obj* p = WM_ObjOf(parent);
    // A window cannot hang below itself or one of its descendants.
    if (obj == nullptr || p == nullptr || WM_IsAncestorOrSelf(win, parent)) return;
    if (obj->status & WM_CF_VISIBLE) InvalidateBeneath(obj);
    UnlinkChild(win, obj);
    obj->parent = parent;
    LinkChild(win, obj);
    ShiftTree(win, p->rect.x0 + x - obj->rect.x0, p->rect.y0 + y - obj->rect.y0);
    if (obj->status & WM_CF_VISIBLE) WM_InvalidateTree(win, obj->rect);
}

// ---- Focus and keys --------------------------------------------------------------------------

int WM_GiveFocus(WM_HANDLE win) {
    GUI_LockGuard lock;
    if (win == 0 || win == g_wm.focus || WM_ObjOf(win) == nullptr) return 1;
    if (g_wm.focus != 0) WM_SendSimple(g_wm.focus, WM_MSG_SET_FOCUS, 0);
    WM_MSG_RECORD msg{};
    msg.msg_id = WM_MSG_SET_FOCUS;
    msg.data.v = 1;
    WM__SendMessage(win, &msg);
    if (msg.data.v != 0 || WM_ObjOf(win) == nullptr) return 1;
    g_wm.focus = win;
    return 0;
}

WM_HANDLE WM_GetFocusedWindow() {
    GUI_LockGuard lock;
    return g_wm.focus;
}

void GUI_PostKey(int key, int pressed) {
    std::lock_guard<std::mutex> guard(g_key_lock);
    // A full queue drops the new key: the user is typing faster than the GUI task runs.
    if (g_key_count == kKeyQueueSize) return;
    g_keys[(g_key_head + g_key_count) % kKeyQueueSize] = KeyEvent{key, pressed ? 1 : 0};
    ++g_key_count;
}

void WM_DeliverKey(int key, int pressed) {
    if (g_wm.focus == 0) return;
    WM_KEY_EVENT event{key, pressed ? 1 : 0};
    WM_MSG_RECORD msg{};
    msg.msg_id = WM_MSG_KEY;
    msg.data.p = &event;
    WM__SendMessage(g_wm.focus, &msg);
}

int WM_PollKeyQueue() {
    KeyEvent event;
    if (!PopKey(&event)) return 0;
    WM_DeliverKey(event.key, event.pressed);
    return 1;
}
