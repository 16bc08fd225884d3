#include "gui/toolkit/widgets/scrollbar.h"

#include "gui/toolkit/core/gui_lock.h"
#include "gui/toolkit/core/gui_report.h"
#include "gui/toolkit/widgets/widget.h"

#include <algorithm>

namespace {

constexpr const char* kWrongType = "SCROLLBAR: Wrong handle type or Object not init'ed";

struct ScrollObj {
    WIDGET_Obj w;
    int32_t num_items;
    int32_t page_size;
    int32_t value;
    int16_t drag; // pointer offset into the thumb while dragging, -1 otherwise
    uint8_t vertical;
    uint8_t pressed_part; // 1 first arrow, 2 second arrow, 0 none
};

int g_default_width = SCROLLBAR_DEFAULT_WIDTH;

ScrollObj* Get(WM_HANDLE win) {
    return WIDGET_AsChecked<ScrollObj>(win, WIDGET_TYPE_SCROLLBAR, kWrongType);
}

ScrollObj* Own(WM_HANDLE win) {
    return WIDGET_As<ScrollObj>(win, WIDGET_TYPE_SCROLLBAR);
}

// Geometry along the bar: the arrows are squares at both ends, the track lies between them.
struct Layout {
    int length;    // of the whole bar
    int breadth;   // across it
    int arrow;     // arrow button size
    int track0;    // first pixel of the track
    int track_len; // pixels of the track
    int thumb0;    // first pixel of the thumb
    int thumb_len;
};

int MaxValue(const ScrollObj* obj) {
    return std::max(obj->num_items - obj->page_size, 0);
}

Layout Measure(const ScrollObj* obj) {
    Layout l{};
    const int w = obj->w.win.rect.x1 - obj->w.win.rect.x0 + 1;
    const int h = obj->w.win.rect.y1 - obj->w.win.rect.y0 + 1;
    l.length = obj->vertical ? h : w;
    l.breadth = obj->vertical ? w : h;
    l.arrow = std::min(l.breadth, l.length / 3);
    l.track0 = l.arrow;
    l.track_len = std::max(l.length - 2 * l.arrow, 0);
    const int items = std::max(obj->num_items, 1);
    const int page = std::clamp(obj->page_size, 1, items);
    l.thumb_len = std::clamp(int(int64_t(l.track_len) * page / items),
                             std::min(l.breadth / 2 + 4, l.track_len), l.track_len);
    const int max = MaxValue(obj);
    const int room = l.track_len - l.thumb_len;
    l.thumb0 = l.track0 + (max > 0 ? int(int64_t(room) * obj->value / max) : 0);
    return l;
}

GUI_RECT Part(const ScrollObj* obj, int from, int to) {
    const Layout l = Measure(obj);
    if (obj->vertical) return GUI_RECT{0, int16_t(from), int16_t(l.breadth - 1), int16_t(to)};
    return GUI_RECT{int16_t(from), 0, int16_t(to), int16_t(l.breadth - 1)};
}

void DrawArrow(const ScrollObj* obj, const GUI_RECT& r, bool forward, bool pressed) {
    GUI_SetDrawColor(pressed ? 0xA8A8A8 : 0xD4D4D4);
    GUI_FillRectangleR(&r);
    GUI_SetDrawColor(0xA0A0A0);
    GUI_DrawRoundRect(r.x0, r.y0, r.x1, r.y1, 0);
    const int cx = (r.x0 + r.x1) / 2;
    const int cy = (r.y0 + r.y1) / 2;
    const int s = std::max((std::min(r.x1 - r.x0, r.y1 - r.y0) + 1) / 4, 2);
    GUI_POINT pts[3];
    if (obj->vertical) {
        const int d = forward ? s / 2 : -s / 2;
        pts[0] = {int16_t(-s), int16_t(-d)};
        pts[1] = {int16_t(s), int16_t(-d)};
        pts[2] = {0, int16_t(d)};
    } else {
        const int d = forward ? s / 2 : -s / 2;
        pts[0] = {int16_t(-d), int16_t(-s)};
        pts[1] = {int16_t(-d), int16_t(s)};
        pts[2] = {int16_t(d), 0};
    }
    GUI_SetDrawColor(0x404040);
    GUI_FillPolygonAA(pts, 3, cx, cy);
}

void Paint(const ScrollObj* obj) {
    WIDGET_PaintScope scope;
    const Layout l = Measure(obj);
    GUI_RECT track = Part(obj, l.track0, l.track0 + l.track_len - 1);
    GUI_SetDrawColor(0xEDEDED);
    GUI_FillRectangleR(&track);
    DrawArrow(obj, Part(obj, 0, l.arrow - 1), false, obj->pressed_part == 1);
    DrawArrow(obj, Part(obj, l.length - l.arrow, l.length - 1), true, obj->pressed_part == 2);
    if (obj->num_items > obj->page_size && l.track_len > 0) {
        GUI_RECT t = Part(obj, l.thumb0, l.thumb0 + l.thumb_len - 1);
        const int inset = std::max(l.breadth / 6, 1);
        if (obj->vertical) {
            t.x0 = int16_t(t.x0 + inset);
            t.x1 = int16_t(t.x1 - inset);
        } else {
            t.y0 = int16_t(t.y0 + inset);
            t.y1 = int16_t(t.y1 - inset);
        }
        const int r = std::min((t.x1 - t.x0) / 2, (t.y1 - t.y0) / 2);
        GUI_SetDrawColor(obj->drag >= 0 ? 0x707070 : 0x9A9A9A);
        GUI_FillRoundRectAA(t.x0, t.y0, t.x1, t.y1, std::min(r, 6));
    }
}

// Sets the value from the user's action and tells the parent, which may delete the bar: the
// callers touch nothing of it afterwards.
void Change(WM_HANDLE win, ScrollObj* obj, int value) {
    value = std::clamp(value, 0, MaxValue(obj));
    if (value == obj->value) return;
    obj->value = value;
    WM_InvalidateWin(win);
    WIDGET_Notify(win, WIDGET_TYPE_SCROLLBAR, WM_NOTIFICATION_VALUE_MODIFIED);
}

void OnPointer(WM_HANDLE win, ScrollObj* obj, const WM_POINTER_STATE* state) {
    if (state == nullptr || !state->pressed) {
        if (obj->drag >= 0 || obj->pressed_part != 0) WM_InvalidateWin(win);
        obj->drag = -1;
        obj->pressed_part = 0;
        return;
    }
    const Layout l = Measure(obj);
    const int pos = obj->vertical ? state->y : state->x;
    if (obj->drag >= 0) {
        const int room = l.track_len - l.thumb_len;
        if (room <= 0) return;
        const int start = std::clamp(pos - obj->drag - l.track0, 0, room);
        Change(win, obj, int((int64_t(start) * MaxValue(obj) + room / 2) / room));
        return;
    }
    if (obj->pressed_part != 0) return; // a held arrow steps once per press
    if (pos < l.arrow) {
        obj->pressed_part = 1;
        WM_InvalidateWin(win);
        Change(win, obj, obj->value - 1);
    } else if (pos >= l.length - l.arrow) {
        obj->pressed_part = 2;
        WM_InvalidateWin(win);
        Change(win, obj, obj->value + 1);
    } else if (pos < l.thumb0) {
        Change(win, obj, obj->value - std::max(obj->page_size, 1));
    } else if (pos >= l.thumb0 + l.thumb_len) {
        Change(win, obj, obj->value + std::max(obj->page_size, 1));
    } else {
        obj->drag = int16_t(pos - l.thumb0);
        WM_InvalidateWin(win);
    }
}

void Proc(WM_MSG_RECORD* msg) {
    const WM_HANDLE win = msg->target;
    ScrollObj* obj = Own(win);
    if (obj == nullptr) return WM_FallbackProc(msg);
    if (WIDGET_HandleCommon(msg, &obj->w)) return;
    switch (msg->msg_id) {
        case WM_MSG_PAINT:
            Paint(obj);
            return;
        case WM_MSG_POINTER:
            OnPointer(win, obj, static_cast<const WM_POINTER_STATE*>(msg->data.p));
            return;
        default:
            break;
    }
    WM_FallbackProc(msg);
}

template <class F> void Update(WM_HANDLE win, F change) {
    GUI_LockGuard lock;
    ScrollObj* obj = Get(win);
    if (obj == nullptr) return;
    const ScrollObj before = *obj;
    change(obj);
    obj->num_items = std::max(obj->num_items, 0);
    obj->page_size = std::max(obj->page_size, 0);
    obj->value = std::clamp(obj->value, 0, MaxValue(obj));
    if (before.num_items != obj->num_items || before.page_size != obj->page_size ||
        before.value != obj->value) {
        WM_InvalidateWin(win);
    }
}

} // namespace

WM_HANDLE SCROLLBAR_Create(int x0, int y0, int x_size, int y_size, WM_HANDLE parent, uint32_t flags,
                           int type_flags, int id) {
    GUI_LockGuard lock;
    const WM_HANDLE win = WIDGET_Create(x0, y0, x_size, y_size, parent, flags, Proc,
                                         sizeof(ScrollObj), 0, WIDGET_TYPE_SCROLLBAR, id, 0);
    if (win == 0) {
        GUI_ReportError("SCROLLBAR_Create failed");
        return 0;
    }
    ScrollObj* obj = Own(win);
    obj->vertical = (type_flags & SCROLLBAR_CF_VERTICAL) ? 1 : 0;
    obj->drag = -1;
    obj->page_size = 1;
    WIDGET_Finish(win, flags);
    return win;
}

void SCROLLBAR_PutDefaultWidth(int width) {
    GUI_LockGuard lock;
    if (width > 0) g_default_width = width;
}

int SCROLLBAR_GetDefaultWidth() {
    GUI_LockGuard lock;
    return g_default_width;
}

void SCROLLBAR_PutNumItems(WM_HANDLE win, int num_items) {
    Update(win, [&](ScrollObj* obj) { obj->num_items = num_items; });
}

void SCROLLBAR_PutPageSize(WM_HANDLE win, int page_size) {
    Update(win, [&](ScrollObj* obj) { obj->page_size = page_size; });
}

void SCROLLBAR_PutValue(WM_HANDLE win, int value) {
    Update(win, [&](ScrollObj* obj) { obj->value = value; });
}

int SCROLLBAR_GetValue(WM_HANDLE win) {
    GUI_LockGuard lock;
    ScrollObj* obj = Get(win);
    return obj ? obj->value : 0;
}
