#include "gui/toolkit/widgets/graph.h"

#include "gui/toolkit/core/gui_alloc.h"
#include "gui/toolkit/core/gui_lock.h"
#include "gui/toolkit/core/gui_report.h"
#include "gui/toolkit/widgets/widget.h"
#include "gui/toolkit/wm/wm_internal.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kWrongType = "GRAPH: Wrong handle type or Object not init'ed";
constexpr uint32_t kSeriesTag = 0x53455249; // "SERI"
constexpr uint32_t kAxisTag = 0x41584953;   // "AXIS"

struct GraphObj {
    WIDGET_Obj w;
    std::array<int16_t, 4> margins; // left, top, right, bottom
    std::array<GUI_COLOUR, 4> colours;
    int16_t grid_x;
    int16_t grid_y;
    uint8_t grid;
    GRAPH_OVERLAY_FN overlay;
    std::array<GRAPH_HSERIES, GRAPH_MAX_SERIES> series;
    std::array<GRAPH_HAXIS, GRAPH_MAX_AXES> axes;
};

// The values follow this header in the same heap block.
struct Series {
    uint32_t tag;
    GUI_COLOUR colour;
    int32_t capacity;
    int32_t count;
    WM_HANDLE graph;
};

int16_t* Values(Series* s) {
    return reinterpret_cast<int16_t*>(reinterpret_cast<uint8_t*>(s) + sizeof(Series));
}
const int16_t* Values(const Series* s) {
    return reinterpret_cast<const int16_t*>(reinterpret_cast<const uint8_t*>(s) + sizeof(Series));
}

struct Axis {
    uint32_t tag;
    int32_t position;
    int32_t align;
    int32_t orientation;
    int32_t tick;
    int32_t offset;
    int32_t decimals;
    float factor;
    GUI_COLOUR colour;
    const GUI_FONTDEF* font;
};

GraphObj* Get(WM_HANDLE win) {
    return WIDGET_AsChecked<GraphObj>(win, WIDGET_TYPE_GRAPH, kWrongType);
}

GraphObj* Own(WM_HANDLE win) {
    return WIDGET_As<GraphObj>(win, WIDGET_TYPE_GRAPH);
}

Series* PeekSeries(GRAPH_HSERIES h) {
    int32_t size = 0;
    auto* s = static_cast<Series*>(GUI_ALLOC_Peek(h, &size));
    if (s == nullptr || size < int32_t(sizeof(Series)) || s->tag != kSeriesTag) return nullptr;
    return s;
}

Axis* PeekAxis(GRAPH_HAXIS h) {
    int32_t size = 0;
    auto* a = static_cast<Axis*>(GUI_ALLOC_Peek(h, &size));
    if (a == nullptr || size < int32_t(sizeof(Axis)) || a->tag != kAxisTag) return nullptr;
    return a;
}

GUI_RECT DataRect(const GraphObj* obj) {
    const int w = obj->w.win.rect.x1 - obj->w.win.rect.x0 + 1;
    const int h = obj->w.win.rect.y1 - obj->w.win.rect.y0 + 1;
    return GUI_RECT{obj->margins[0], obj->margins[1], int16_t(w - 1 - obj->margins[2]),
                    int16_t(h - 1 - obj->margins[3])};
}

void Invalidate(WM_HANDLE graph) {
    if (graph != 0) WM_InvalidateWin(graph);
}

// The clip rectangles of the paint, saved so a stage can narrow them and the next widen again.
struct ClipSave {
    std::array<GUI_RECT, GUI_MAX_CLIP_RECTS> rects;
    int count;
    bool whole;
};

ClipSave SaveClip() {
    ClipSave c{};
    c.whole = GUI_pContext->clip_whole;
    c.count = std::min(GUI_pContext->clip_count, GUI_MAX_CLIP_RECTS);
    for (int i = 0; i < c.count; ++i)
        c.rects[size_t(i)] = GUI_pContext->clip[i];
    return c;
}

void RestoreClip(const ClipSave& c) {
    if (c.whole)
        GUI_SetClipRect(nullptr);
    else
        GUI_SetClipRects(c.rects.data(), c.count);
}

// Narrows the saved clip to a rectangle of the graph (window coordinates).
void ClipTo(const ClipSave& c, const GUI_RECT& r, int org_x, int org_y) {
    const GUI_RECT s{int16_t(r.x0 + org_x), int16_t(r.y0 + org_y), int16_t(r.x1 + org_x),
                     int16_t(r.y1 + org_y)};
    if (c.whole) return (void)GUI_SetClipRect(&s);
    std::array<GUI_RECT, GUI_MAX_CLIP_RECTS> out{};
    int n = 0;
    for (int i = 0; i < c.count; ++i) {
        GUI_RECT x;
        if (WM_Intersect(c.rects[size_t(i)], s, &x)) out[size_t(n++)] = x;
    }
    GUI_SetClipRects(out.data(), n);
}

void FormatLabel(char* out, size_t size, double value, int decimals) {
    // No "-0" for values that round to zero.
    if (std::fabs(value) < 0.5 * std::pow(10.0, -decimals)) value = 0.0;
    std::snprintf(out, size, "%.*f", decimals, value);
}

void DrawAxis(const Axis& a, const GUI_RECT& data) {
    GUI_SelectFont(a.font);
    GUI_SetDrawColor(a.colour);
    const int tick = std::max(a.tick, 1);
    char text[32];
    if (a.orientation == 0) {
        const int align = (a.align & GUI_ALIGN_HORIZONTAL) | GUI_ALIGN_TOP;
        GUI_SetTextAlign(align);
        for (int d = 0; d <= data.x1 - data.x0; ++d) {
            if ((d - a.offset) % tick != 0) continue;
            FormatLabel(text, sizeof text, double(d - a.offset) * double(a.factor), a.decimals);
            GUI_PrintAt(text, data.x0 + d, a.position);
        }
    } else {
        const int align = (a.align & GUI_ALIGN_HORIZONTAL) | GUI_ALIGN_VCENTER;
        GUI_SetTextAlign(align);
        for (int d = 0; d <= data.y1 - data.y0; ++d) {
            if ((d - a.offset) % tick != 0) continue;
            FormatLabel(text, sizeof text, double(d - a.offset) * double(a.factor), a.decimals);
            GUI_PrintAt(text, a.position, data.y1 - d);
        }
    }
}

void DrawSeries(const Series& s, const GUI_RECT& data) {
    GUI_SetDrawColor(s.colour);
    const int n = s.count;
    int px = 0;
    int py = 0;
    bool have = false;
    for (int i = 0; i < n; ++i) {
        const int x = data.x1 - (n - 1 - i);
        if (x < data.x0) continue;
        if (Values(&s)[i] == GRAPH_NO_VALUE) {
            have = false;
            continue;
        }
        const int y = data.y1 - Values(&s)[i];
        if (have)
            GUI_DrawLinePlain(px, py, x, y);
        else
            GUI_DrawPixel(x, y);
        px = x;
        py = y;
        have = true;
    }
}

void CallOverlay(WM_HANDLE win, int stage) {
    const GraphObj* obj = Own(win);
    if (obj != nullptr && obj->overlay != nullptr) obj->overlay(win, stage);
}

void Paint(WM_HANDLE win) {
    WIDGET_PaintScope scope;
    const GraphObj* obj = Own(win);
    if (obj == nullptr) return;
    const ClipSave clip = SaveClip();
    const int ox = GUI_pContext->origin_x;
    const int oy = GUI_pContext->origin_y;
    const GUI_RECT data = DataRect(obj);
    const int w = obj->w.win.rect.x1 - obj->w.win.rect.x0 + 1;
    const int h = obj->w.win.rect.y1 - obj->w.win.rect.y0 + 1;
    ClipTo(clip, data, ox, oy);
    GUI_SetDrawColor(obj->colours[GRAPH_CI_DATA]);
    GUI_FillRectangleR(&data);
    CallOverlay(win, GRAPH_STAGE_BACKGROUND);
    if ((obj = Own(win)) == nullptr) return RestoreClip(clip);
    if (obj->grid) {
        GUI_SetDrawColor(obj->colours[GRAPH_CI_GRID]);
        if (obj->grid_x > 0)
            for (int x = data.x0 + obj->grid_x; x <= data.x1; x += obj->grid_x)
                GUI_FillRectangle(x, data.y0, x, data.y1);
        if (obj->grid_y > 0)
            for (int y = data.y1 - obj->grid_y; y >= data.y0; y -= obj->grid_y)
                GUI_FillRectangle(data.x0, y, data.x1, y);
    }
    RestoreClip(clip);
    if ((obj->colours[GRAPH_CI_BORDER] >> 24) != 0xFF) {
        GUI_SetDrawColor(obj->colours[GRAPH_CI_BORDER]);
        GUI_FillRectangle(0, 0, w - 1, data.y0 - 1);
        GUI_FillRectangle(0, data.y1 + 1, w - 1, h - 1);
        GUI_FillRectangle(0, data.y0, data.x0 - 1, data.y1);
        GUI_FillRectangle(data.x1 + 1, data.y0, w - 1, data.y1);
        GUI_SetDrawColor(obj->colours[GRAPH_CI_FRAME]);
        GUI_DrawRoundRect(data.x0 - 1, data.y0 - 1, data.x1 + 1, data.y1 + 1, 0);
    }
    ClipTo(clip, data, ox, oy);
    CallOverlay(win, GRAPH_STAGE_BEFORE_DATA);
    if ((obj = Own(win)) == nullptr) return RestoreClip(clip);
    for (GRAPH_HSERIES h_series : obj->series)
        if (const Series* s = PeekSeries(h_series)) DrawSeries(*s, data);
    RestoreClip(clip);
    for (GRAPH_HAXIS h_axis : obj->axes)
        if (const Axis* a = PeekAxis(h_axis)) DrawAxis(*a, data);
    CallOverlay(win, GRAPH_STAGE_AFTER_ALL);
    RestoreClip(clip);
}

template <class F> void Change(WM_HANDLE win, F change) {
    GUI_LockGuard lock;
    GraphObj* obj = Get(win);
    if (obj != nullptr && change(obj)) WM_InvalidateWin(win);
}

} // namespace

void GRAPH_DefaultProc(WM_MSG_RECORD* msg) {
    if (msg == nullptr) return;
    GUI_LockGuard lock;
    const WM_HANDLE win = msg->target;
    GraphObj* obj = Own(win);
    if (obj == nullptr) return WM_FallbackProc(msg);
    if (WIDGET_HandleCommon(msg, &obj->w)) return;
    switch (msg->msg_id) {
        case WM_MSG_PAINT:
            Paint(win);
            return;
        case WM_MSG_DELETE:
            for (GRAPH_HSERIES& s : obj->series)
                WIDGET_FreeHandle(&s);
            for (GRAPH_HAXIS& a : obj->axes)
                WIDGET_FreeHandle(&a);
            break;
        default:
            break;
    }
    WM_FallbackProc(msg);
}

WM_HANDLE GRAPH_CreateUser(int x0, int y0, int x_size, int y_size, WM_HANDLE parent, uint32_t flags,
                           int, int id, int user_bytes) {
    GUI_LockGuard lock;
    const WM_HANDLE win = WIDGET_Create(x0, y0, x_size, y_size, parent, flags, GRAPH_DefaultProc,
                                         sizeof(GraphObj), user_bytes, WIDGET_TYPE_GRAPH, id, 0);
    if (win == 0) {
        GUI_ReportWarning("GRAPH:\nGRAPH_CreateUser() failed");
        return 0;
    }
    GraphObj* obj = Own(win);
    obj->colours = {0x000000, 0xC0C0C0, 0xFFFFFF, 0x404040};
    obj->grid_x = 50;
    obj->grid_y = 50;
    WIDGET_Finish(win, flags);
    return win;
}

WM_HANDLE GRAPH_Make(int x0, int y0, int x_size, int y_size, WM_HANDLE parent, uint32_t flags,
                     int type_flags, int id) {
    return GRAPH_CreateUser(x0, y0, x_size, y_size, parent, flags, type_flags, id, 0);
}

void GRAPH_PutMargins(WM_HANDLE win, int left, int top, int right, int bottom) {
    Change(win, [&](GraphObj* obj) {
        const std::array<int16_t, 4> m{
            int16_t(std::clamp(left, 0, 0x7FFF)), int16_t(std::clamp(top, 0, 0x7FFF)),
            int16_t(std::clamp(right, 0, 0x7FFF)), int16_t(std::clamp(bottom, 0, 0x7FFF))};
        if (m == obj->margins) return false;
        obj->margins = m;
        return true;
    });
}

GUI_COLOUR GRAPH_PutColor(WM_HANDLE win, GUI_COLOUR colour, int index) {
    GUI_COLOUR old = 0;
    Change(win, [&](GraphObj* obj) {
        if (index < 0 || index > 3) return false;
        old = obj->colours[size_t(index)];
        obj->colours[size_t(index)] = colour;
        // Without a border colour the margins show what lies beneath.
        if (index == GRAPH_CI_BORDER) WIDGET_SetSeeThrough(win, (colour >> 24) == 0xFF);
        return old != colour;
    });
    return old;
}

void GRAPH_ShowGrid(WM_HANDLE win, int on) {
    Change(win, [&](GraphObj* obj) {
        if (obj->grid == (on ? 1 : 0)) return false;
        obj->grid = on ? 1 : 0;
        return true;
    });
}

void GRAPH_PutGridSpacingX(WM_HANDLE win, int pixels) {
    Change(win, [&](GraphObj* obj) {
        if (pixels < 1 || obj->grid_x == pixels) return false;
        obj->grid_x = int16_t(std::min(pixels, 0x7FFF));
        return true;
    });
}

void GRAPH_PutGridSpacingY(WM_HANDLE win, int pixels) {
    Change(win, [&](GraphObj* obj) {
        if (pixels < 1 || obj->grid_y == pixels) return false;
        obj->grid_y = int16_t(std::min(pixels, 0x7FFF));
        return true;
    });
}

void GRAPH_PutOverlayFn(WM_HANDLE win, GRAPH_OVERLAY_FN fn) {
    Change(win, [&](GraphObj* obj) {
        if (obj->overlay == fn) return false;
        obj->overlay = fn;
        return true;
    });
}

void GRAPH_Attach(WM_HANDLE win, GRAPH_HSERIES series) {
    Change(win, [&](GraphObj* obj) {
        Series* s = PeekSeries(series);
        if (s == nullptr || s->graph != 0) return false;
        for (GRAPH_HSERIES& slot : obj->series) {
            if (slot == 0) {
                slot = series;
                s->graph = win;
                return true;
            }
        }
        return false;
    });
}

void GRAPH_AttachAxis(WM_HANDLE win, GRAPH_HAXIS axis) {
    Change(win, [&](GraphObj* obj) {
        if (PeekAxis(axis) == nullptr) return false;
        for (GRAPH_HAXIS a : obj->axes)
            if (a == axis) return false;
        for (GRAPH_HAXIS& slot : obj->axes) {
            if (slot == 0) {
                slot = axis;
                return true;
            }
        }
        return false;
    });
}

void GRAPH_GetDataRect(WM_HANDLE win, GUI_RECT* rect) {
    GUI_LockGuard lock;
    GraphObj* obj = Get(win);
    if (obj != nullptr && rect != nullptr) *rect = DataRect(obj);
}

int GRAPH_ReadUserBytes(WM_HANDLE win, void* buffer, int n) {
    return WIDGET_ReadUserBytes(win, WIDGET_TYPE_GRAPH, kWrongType, buffer, sizeof(GraphObj), n);
}

int GRAPH_WriteUserBytes(WM_HANDLE win, const void* buffer, int n) {
    return WIDGET_WriteUserBytes(win, WIDGET_TYPE_GRAPH, kWrongType, buffer, sizeof(GraphObj), n);
}

// ---- Series ----------------------------------------------------------------------------------

GRAPH_HSERIES GRAPH_SERIES_Create(GUI_COLOUR colour, int capacity, const int16_t* values,
                                  int count) {
    if (capacity < 1 || capacity > 0x7FFF) return 0;
    GUI_LockGuard lock;
    const int32_t size = int32_t(sizeof(Series)) + capacity * int32_t(sizeof(int16_t));
    const GUI_HMEM h = GUI_ALLOC_AllocZero(size);
    if (h == 0) return 0;
    auto* s = static_cast<Series*>(GUI_ALLOC_Peek(h));
    s->tag = kSeriesTag;
    s->colour = colour;
    s->capacity = capacity;
    s->count = (values != nullptr) ? std::clamp(count, 0, capacity) : 0;
    if (s->count > 0) std::memcpy(Values(s), values, size_t(s->count) * sizeof(int16_t));
    return h;
}

void GRAPH_SERIES_Push(GRAPH_HSERIES series, int16_t value) {
    GUI_LockGuard lock;
    Series* s = PeekSeries(series);
    if (s == nullptr || s->graph == 0) return;
    if (s->count < s->capacity) {
        Values(s)[s->count++] = value;
    } else {
        int16_t* v = Values(s);
        std::memmove(v, v + 1, size_t(s->capacity - 1) * sizeof(int16_t));
        v[s->capacity - 1] = value;
    }
    Invalidate(s->graph);
}

void GRAPH_SERIES_Clear(GRAPH_HSERIES series) {
    GUI_LockGuard lock;
    Series* s = PeekSeries(series);
    if (s == nullptr || s->count == 0) return;
    s->count = 0;
    Invalidate(s->graph);
}

int GRAPH_SERIES_ReadAt(GRAPH_HSERIES series, int16_t* value, int index) {
    GUI_LockGuard lock;
    const Series* s = PeekSeries(series);
    if (s == nullptr || s->graph == 0 || value == nullptr || index < 0 || index >= s->count)
        return 1;
    *value = Values(s)[index];
    return 0;
}

int GRAPH_SERIES_Count(GRAPH_HSERIES series) {
    GUI_LockGuard lock;
    const Series* s = PeekSeries(series);
    return s ? s->count : 0;
}

void GRAPH_SERIES_Delete(GRAPH_HSERIES series) {
    GUI_LockGuard lock;
    Series* s = PeekSeries(series);
    if (s != nullptr && s->graph == 0) GUI_ALLOC_Free(series);
}

// ---- Axes --------------------------------------------------------------------------------------

GRAPH_HAXIS GRAPH_AXIS_Create(int position, int text_align, int orientation, int tick_distance) {
    GUI_LockGuard lock;
    const GUI_HMEM h = GUI_ALLOC_AllocZero(sizeof(Axis));
    if (h == 0) return 0;
    auto* a = static_cast<Axis*>(GUI_ALLOC_Peek(h));
    a->tag = kAxisTag;
    a->position = position;
    a->align = text_align;
    a->orientation = orientation ? 1 : 0;
    a->tick = std::max(tick_distance, 1);
    a->factor = 1.0f;
    a->colour = 0xFFFFFF;
    a->font = &FONT_10;
    return h;
}

namespace {
template <class F> void ChangeAxis(GRAPH_HAXIS axis, F change) {
    GUI_LockGuard lock;
    Axis* a = PeekAxis(axis);
    if (a == nullptr) return;
    change(a);
    // The graph it belongs to shows the change at its next paint.
    for (WM_HANDLE w = g_wm.first_win; w != 0;) {
        const WM_Obj* win = WM_ObjOf(w);
        if (win == nullptr) break;
        if (const GraphObj* g = WIDGET_As<GraphObj>(w, WIDGET_TYPE_GRAPH)) {
            for (GRAPH_HAXIS x : g->axes)
                if (x == axis) WM_InvalidateWin(w);
        }
        w = win->next_win;
    }
}
} // namespace

void GRAPH_AXIS_PutFactor(GRAPH_HAXIS axis, float factor) {
    ChangeAxis(axis, [&](Axis* a) { a->factor = factor; });
}

void GRAPH_AXIS_PutDecimals(GRAPH_HAXIS axis, int decimals) {
    ChangeAxis(axis, [&](Axis* a) { a->decimals = std::clamp(decimals, 0, 9); });
}

void GRAPH_AXIS_PutOffset(GRAPH_HAXIS axis, int pixels) {
    ChangeAxis(axis, [&](Axis* a) { a->offset = pixels; });
}

void GRAPH_AXIS_PutTextColor(GRAPH_HAXIS axis, GUI_COLOUR colour) {
    ChangeAxis(axis, [&](Axis* a) { a->colour = colour; });
}

void GRAPH_AXIS_PutFont(GRAPH_HAXIS axis, const GUI_FONTDEF* font) {
    if (font == nullptr) return;
    ChangeAxis(axis, [&](Axis* a) { a->font = font; });
}

void GRAPH_AXIS_Delete(GRAPH_HAXIS axis) {
    GUI_LockGuard lock;
    if (PeekAxis(axis) == nullptr) return;
    // One attached to a graph goes with it.
    for (WM_HANDLE w = g_wm.first_win; w != 0;) {
        const WM_Obj* win = WM_ObjOf(w);
        if (win == nullptr) break;
        if (const GraphObj* g = WIDGET_As<GraphObj>(w, WIDGET_TYPE_GRAPH))
            for (GRAPH_HAXIS x : g->axes)
                if (x == axis) return;
        w = win->next_win;
    }
    GUI_ALLOC_Free(axis);
}
