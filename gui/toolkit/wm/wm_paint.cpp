// Invalidation, repainting with clip rectangles, the buffered update on the host's frame
// buffers and the exec cycle.
//
// A window paints only the part of it that no opaque window drawn later covers (its opaque
// descendants, the opaque windows above it and above its ancestors). See-through windows are
// never painted on their own: after a window has painted, the see-through windows above it
// add their drawing to exactly the part it repainted, so nothing is drawn twice.
#include "gui/toolkit/wm/wm_internal.h"

#include "gui/host/host.h"
#include "gui/toolkit/core/gui_init.h"
#include "gui/toolkit/core/gui_lock.h"
#include "gui/toolkit/draw/gui_context.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr int kMaxClipRects = 64;

struct RectList {
    std::array<GUI_RECT, kMaxClipRects> rects;
    int count = 0;
};

void Push(RectList* list, const GUI_RECT& r) {
    if (list->count < kMaxClipRects) list->rects[list->count++] = r;
}

// Removes cut from every rectangle of the list; false (list unchanged) when the pieces would
// not fit into it.
bool Subtract(RectList* list, const GUI_RECT& cut) {
    RectList out;
    for (int i = 0; i < list->count; ++i) {
        const GUI_RECT& a = list->rects[i];
        GUI_RECT mid;
        if (!WM_Intersect(a, cut, &mid)) {
            if (out.count == kMaxClipRects) return false;
            out.rects[out.count++] = a;
            continue;
        }
        const GUI_RECT pieces[4] = {
            {a.x0, a.y0, a.x1, int16_t(mid.y0 - 1)},
            {a.x0, int16_t(mid.y1 + 1), a.x1, a.y1},
            {a.x0, mid.y0, int16_t(mid.x0 - 1), mid.y1},
            {int16_t(mid.x1 + 1), mid.y0, a.x1, mid.y1},
        };
        for (const GUI_RECT& piece : pieces) {
            if (WM_RectEmpty(piece)) continue;
            if (out.count == kMaxClipRects) return false;
            out.rects[out.count++] = piece;
        }
    }
    *list = out;
    return true;
}

GUI_RECT Bounds(const RectList& list) {
    GUI_RECT b{INT16_MAX, INT16_MAX, INT16_MIN, INT16_MIN};
    for (int i = 0; i < list.count; ++i) {
        b.x0 = std::min(b.x0, list.rects[i].x0);
        b.y0 = std::min(b.y0, list.rects[i].y0);
        b.x1 = std::max(b.x1, list.rects[i].x1);
        b.y1 = std::max(b.y1, list.rects[i].y1);
    }
    return b;
}

// Cuts what an opaque window drawn later covers out of the list; a see-through window covers
// nothing itself, only its opaque descendants do.
void Occlude(WM_HANDLE win, const GUI_RECT& parent_clip, RectList* list) {
    WM_Obj* obj = WM_ObjOf(win);
    if (obj == nullptr || !(obj->status & WM_CF_VISIBLE) || list->count == 0) return;
    GUI_RECT r;
    if (!WM_Intersect(obj->rect, parent_clip, &r)) return;
    if (!WM_Intersect(r, Bounds(*list), &r)) return;
    if (!(obj->status & WM_CF_SEE_THROUGH)) {
        // Too many pieces: paint over it and let it paint itself again afterwards.
        if (!Subtract(list, r)) WM_InvalidateTree(win, r);
        return;
    }
    for (WM_HANDLE c = obj->first_child; c != 0; c = WM_ObjOf(c)->next_sibling) {
        Occlude(c, r, list);
    }
}

// The visible parts of the window inside limit, as disjoint rectangles.
void ClipList(WM_HANDLE win, const GUI_RECT& limit, RectList* list) {
    list->count = 0;
    GUI_RECT vis;
    if (!WM_VisibleRect(win, &vis) || !WM_Intersect(vis, limit, &vis)) return;
    Push(list, vis);
    WM_Obj* obj = WM_ObjOf(win);
    for (WM_HANDLE c = obj->first_child; c != 0; c = WM_ObjOf(c)->next_sibling) {
        Occlude(c, vis, list);
    }
    for (WM_HANDLE cur = win; cur != 0 && list->count > 0;) {
        WM_Obj* o = WM_ObjOf(cur);
        if (o->parent == 0) break;
        GUI_RECT parent_vis;
        WM_VisibleRect(o->parent, &parent_vis);
        for (WM_HANDLE s = o->next_sibling; s != 0; s = WM_ObjOf(s)->next_sibling) {
            Occlude(s, parent_vis, list);
        }
        cur = o->parent;
    }
}

// Sends one paint message per rectangle with the clip and origin set, the drawing context
// saved before and restored after each, so a procedure may change colours, fonts and modes.
void PaintRects(WM_HANDLE win, const RectList& list) {
    const WM_HANDLE outer = g_wm.paint_win;
    ++g_wm.in_paint;
    g_wm.paint_win = win;
    for (int i = 0; i < list.count; ++i) {
        WM_Obj* obj = WM_ObjOf(win);
        if (obj == nullptr) break;
        const GUI_CONTEXT saved = *GUI_pContext;
        GUI_SetClipRect(&list.rects[i]);
        GUI_SetOrigin(obj->rect.x0, obj->rect.y0);
        GUI_RECT area = list.rects[i];
        WM_MSG_RECORD msg{};
        msg.msg_id = WM_MSG_PAINT;
        msg.data.p = &area;
        WM__SendMessage(win, &msg);
        *GUI_pContext = saved;
    }
    g_wm.paint_win = outer;
    --g_wm.in_paint;
}

// Paints the see-through windows of this subtree over the area just painted beneath them.
void PaintSeeThrough(WM_HANDLE win, const GUI_RECT& parent_clip, const RectList& painted,
                     const GUI_RECT& painted_bounds) {
    WM_Obj* obj = WM_ObjOf(win);
    if (obj == nullptr || !(obj->status & WM_CF_VISIBLE)) return;
    if (!(obj->status & WM_CF_SEE_THROUGH)) return; // it covers the painted area, not over it
    GUI_RECT r;
    if (!WM_Intersect(obj->rect, parent_clip, &r) || !WM_Intersect(r, painted_bounds, nullptr))
        return;
    if (obj->callback != nullptr) {
        RectList own;
        ClipList(win, painted_bounds, &own);
        RectList both;
        for (int i = 0; i < own.count; ++i) {
            for (int j = 0; j < painted.count; ++j) {
                GUI_RECT part;
                if (WM_Intersect(own.rects[i], painted.rects[j], &part)) Push(&both, part);
            }
        }
        if (both.count > 0) PaintRects(win, both);
    }
    for (WM_HANDLE c = obj->first_child; c != 0;) {
        WM_Obj* child = WM_ObjOf(c);
        if (child == nullptr) break;
        const WM_HANDLE next = child->next_sibling;
        PaintSeeThrough(c, r, painted, painted_bounds);
        c = next;
    }
}

// The see-through windows drawn after win: its descendants, then those above it and above
// its ancestors.
void PaintSeeThroughAbove(WM_HANDLE win, const RectList& painted) {
    const GUI_RECT bounds = Bounds(painted);
    GUI_RECT vis;
    if (!WM_VisibleRect(win, &vis)) return;
    for (WM_HANDLE c = WM_ObjOf(win)->first_child; c != 0;) {
        WM_Obj* child = WM_ObjOf(c);
        if (child == nullptr) break;
        const WM_HANDLE next = child->next_sibling;
        PaintSeeThrough(c, vis, painted, bounds);
        c = next;
    }
    for (WM_HANDLE cur = win; cur != 0;) {
        WM_Obj* o = WM_ObjOf(cur);
        if (o == nullptr || o->parent == 0) break;
        GUI_RECT parent_vis;
        if (!WM_VisibleRect(o->parent, &parent_vis)) break;
        for (WM_HANDLE s = o->next_sibling; s != 0;) {
            WM_Obj* sib = WM_ObjOf(s);
            if (sib == nullptr) break;
            const WM_HANDLE next = sib->next_sibling;
            PaintSeeThrough(s, parent_vis, painted, bounds);
            s = next;
        }
        cur = o->parent;
    }
}

// Walks the windows in creation order from where the previous walk stopped and repaints the
// invalid ones until none is left; a procedure that keeps invalidating during its own paint
// is cut off after a bounded number of laps.
void RepaintInvalid() {
    constexpr int kMaxLaps = 4;
    int laps = 0;
    bool found_in_lap = false;
    WM_HANDLE cur = WM_ObjOf(g_wm.paint_resume) ? g_wm.paint_resume : g_wm.first_win;
    while (g_wm.num_invalid > 0 && cur != 0) {
        WM_Obj* obj = WM_ObjOf(cur);
        g_wm.paint_resume = obj->next_win;
        if (obj->status & WM_SF_INVALID) {
            found_in_lap = true;
            WM_PaintWindow(cur);
        }
        cur = g_wm.paint_resume;
        if (cur == 0 || WM_ObjOf(cur) == nullptr) {
            if (!found_in_lap || ++laps >= kMaxLaps) break;
            found_in_lap = false;
            cur = g_wm.first_win;
        }
    }
}

// Buffered update.
bool g_buffered = false;
int g_buffer_nesting = 0;
int g_back_buffer = -1;

} // namespace

// ---- Invalidation -------------------------------------------------------------------------------

void WM_ClearInvalid(WM_Obj* obj) {
    if (!(obj->status & WM_SF_INVALID)) return;
    obj->status &= ~WM_SF_INVALID;
    --g_wm.num_invalid;
}

namespace {

void InvalidateOwn(WM_HANDLE win, WM_Obj* obj, const GUI_RECT& rect) {
    GUI_RECT r;
    if (!WM_Intersect(rect, obj->rect, &r) || !WM_VisibleRect(win, nullptr)) return;
    if (obj->status & WM_SF_INVALID) {
        obj->inv_rect.x0 = std::min(obj->inv_rect.x0, r.x0);
        obj->inv_rect.y0 = std::min(obj->inv_rect.y0, r.y0);
        obj->inv_rect.x1 = std::max(obj->inv_rect.x1, r.x1);
        obj->inv_rect.y1 = std::max(obj->inv_rect.y1, r.y1);
        return;
    }
    obj->inv_rect = r;
    obj->status |= WM_SF_INVALID;
    ++g_wm.num_invalid;
}

void InvalidateDown(WM_HANDLE win, const GUI_RECT& rect) {
    WM_Obj* obj = WM_ObjOf(win);
    if (obj == nullptr || !(obj->status & WM_CF_VISIBLE)) return;
    GUI_RECT r;
    if (!WM_Intersect(rect, obj->rect, &r)) return;
    if (!(obj->status & WM_CF_SEE_THROUGH)) InvalidateOwn(win, obj, r);
    for (WM_HANDLE c = obj->first_child; c != 0; c = WM_ObjOf(c)->next_sibling) {
        InvalidateDown(c, r);
    }
}

// A see-through window stands for the first opaque window beneath it.
WM_HANDLE OpaqueBase(WM_HANDLE win, GUI_RECT* rect) {
    for (;;) {
        WM_Obj* obj = WM_ObjOf(win);
        if (obj == nullptr) return 0;
        if (!(obj->status & WM_CF_SEE_THROUGH) || obj->parent == 0) return win;
        if (!WM_Intersect(*rect, obj->rect, rect)) return 0;
        win = obj->parent;
    }
}

} // namespace

void WM_Invalidate(WM_HANDLE win, const GUI_RECT& screen_rect) {
    WM_Obj* obj = WM_ObjOf(win);
    if (obj == nullptr) return;
    if (!(obj->status & WM_CF_SEE_THROUGH)) return InvalidateOwn(win, obj, screen_rect);
    GUI_RECT r = screen_rect;
    if (const WM_HANDLE base = OpaqueBase(win, &r)) InvalidateDown(base, r);
}

void WM_InvalidateTree(WM_HANDLE win, const GUI_RECT& screen_rect) {
    GUI_RECT r = screen_rect;
    if (const WM_HANDLE base = OpaqueBase(win, &r)) InvalidateDown(base, r);
}

void WM_InvalidateWin(WM_HANDLE win) {
    GUI_LockGuard lock;
    if (WM_Obj* obj = WM_ObjOf(win)) WM_Invalidate(win, obj->rect);
}

void WM_InvalidateRect(WM_HANDLE win, const GUI_RECT* rect) {
    GUI_LockGuard lock;
    WM_Obj* obj = WM_ObjOf(win);
    if (obj == nullptr) return;
    if (rect == nullptr) return WM_Invalidate(win, obj->rect);
    const GUI_RECT r{int16_t(rect->x0 + obj->rect.x0), int16_t(rect->y0 + obj->rect.y0),
                     int16_t(rect->x1 + obj->rect.x0), int16_t(rect->y1 + obj->rect.y0)};
    WM_Invalidate(win, r);
}

void WM_InvalidateAreaAll(const GUI_RECT* rect) {
    if (rect == nullptr) return;
    GUI_LockGuard lock;
    for (WM_HANDLE cur = g_wm.first_win; cur != 0; cur = WM_ObjOf(cur)->next_win) {
        WM_Obj* obj = WM_ObjOf(cur);
        if (!(obj->status & WM_CF_SEE_THROUGH) && (obj->status & WM_CF_VISIBLE)) {
            InvalidateOwn(cur, obj, *rect);
        }
    }
}

int WM_GetNumInvalidWindows() {
    GUI_LockGuard lock;
    return g_wm.num_invalid;
}

// ---- Painting
// -------------------------------------------------------------------------------------

void WM_PaintWindow(WM_HANDLE win) {
    WM_Obj* obj = WM_ObjOf(win);
    if (obj == nullptr || !(obj->status & WM_SF_INVALID)) return;
    const GUI_RECT invalid = obj->inv_rect;
    if (!(obj->status & WM_CF_SEE_THROUGH)) {
        RectList list;
        ClipList(win, invalid, &list);
        // A window without a procedure draws nothing itself, but the see-through windows on it
        // (a label on the bare root window) still have to be drawn over its invalid part.
        if (list.count > 0 && obj->callback != nullptr) PaintRects(win, list);
        if (list.count > 0 && g_wm.num_transparent > 0 && WM_ObjOf(win) != nullptr) {
            PaintSeeThroughAbove(win, list);
        }
    }
    if ((obj = WM_ObjOf(win)) != nullptr) WM_ClearInvalid(obj);
}

WM_HANDLE WM_GetPaintWin() {
    GUI_LockGuard lock;
    return g_wm.paint_win;
}

WM_HANDLE WM_SelectWindow(WM_HANDLE win) {
    GUI_LockGuard lock;
    const WM_HANDLE previous = g_wm.selected_win;
    WM_Obj* obj = WM_ObjOf(win);
    if (obj == nullptr) {
        g_wm.selected_win = 0;
        GUI_SetOrigin(0, 0);
        GUI_SetClipRect(nullptr);
        return previous;
    }
    g_wm.selected_win = win;
    GUI_RECT vis{0, 0, -1, -1};
    WM_VisibleRect(win, &vis);
    GUI_SetOrigin(obj->rect.x0, obj->rect.y0);
    GUI_SetClipRect(&vis);
    return previous;
}

// ---- Buffered update
// ------------------------------------------------------------------------------

int WM_EnableBufferedUpdate(int on) {
    GUI_LockGuard lock;
    const int previous = g_buffered ? 1 : 0;
    g_buffered = on != 0;
    return previous;
}

void WM_BeginBufferedUpdate() {
    GUI_LockGuard lock;
    if (++g_buffer_nesting != 1 || !g_buffered) return;
    const int buffers = GUI_GetNumBuffers();
    if (buffers < 2) return;
    const int shown = HOST_GetShownBuffer();
    // The buffer after the shown one: with three, the one shown before rests for a cycle.
    const int back = (shown + 1) % buffers;
    uint32_t* src = HOST_GetFrameBuffer(shown);
    uint32_t* dst = HOST_GetFrameBuffer(back);
    if (src == nullptr || dst == nullptr) return;
    std::memcpy(dst, src, sizeof(uint32_t) * HOST_XSIZE * HOST_YSIZE);
    // No change count while drawing off screen: the shown picture has not changed yet.
    if (GUI_SetDrawTarget(dst, GUI_GetXSize(), GUI_GetYSize(), HOST_XSIZE, nullptr) == 0) {
        g_back_buffer = back;
    }
}

void WM_EndBufferedUpdate() {
    GUI_LockGuard lock;
    if (g_buffer_nesting == 0 || --g_buffer_nesting != 0 || g_back_buffer < 0) return;
    HOST_SetShownBuffer(g_back_buffer);
    HOST_IncrementChangeCount();
    g_back_buffer = -1;
    WM_ResetDrawTarget();
}

void WM_ResetDrawTarget() {
    if (GUI_GetNumBuffers() == 0) return;
    GUI_SetDrawTarget(HOST_GetFrameBuffer(HOST_GetShownBuffer()), GUI_GetXSize(), GUI_GetYSize(),
                      HOST_XSIZE, HOST_IncrementChangeCount);
}

// ---- Exec cycle
// -------------------------------------------------------------------------------------

namespace {
WM_HOOK g_pre_cycle = nullptr;
WM_HOOK g_periodic = nullptr;
} // namespace

void WM_SetExecHooks(WM_HOOK pre_cycle, WM_HOOK periodic) {
    GUI_LockGuard lock;
    g_pre_cycle = pre_cycle;
    g_periodic = periodic;
}

int WM_ExecCycle() {
    GUI_LockGuard lock;
    if (g_pre_cycle) g_pre_cycle();
    int did = 0;
    // Bounded so that input arriving without pause cannot keep the repaint waiting forever.
    for (int step = 0; step < 256; ++step) {
        int work = WM_DeleteDeferred();
        if (g_periodic) g_periodic();
        work |= WM_PollInputEvent();
        work |= WM_ExpireTimers();
        if (!work) break;
        did = 1;
    }
    did |= WM_MotionGlide();
    if (g_wm.num_invalid > 0) {
        did = 1;
        WM_BeginBufferedUpdate();
        RepaintInvalid();
        WM_EndBufferedUpdate();
    }
    return did;
}
