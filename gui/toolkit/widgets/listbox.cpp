#include "gui/toolkit/widgets/listbox.h"

#include "gui/toolkit/core/gui_lock.h"
#include "gui/toolkit/core/gui_report.h"
#include "gui/toolkit/widgets/gui_array.h"
#include "gui/toolkit/widgets/scrollbar.h"
#include "gui/toolkit/widgets/widget.h"

#include <algorithm>
#include <array>

namespace {

constexpr const char* kWrongType =
    "LISTBOX:\nWrong handle type or Object not init'ed in LISTBOX_LockH()";
constexpr int kRowPadding = 2; // above and below each line's text
constexpr int kTextIndent = 4;

struct ListObj {
    WIDGET_Obj w;
    GUI_HMEM items;
    int32_t sel;
    int32_t top;
    const GUI_FONTDEF* font;
    std::array<GUI_COLOUR, 4> fill;
    std::array<GUI_COLOUR, 4> text;
    WM_HANDLE scrollbar;
    WM_HANDLE owner;
    int16_t scrollbar_width;
    uint8_t auto_scroll;
};

ListObj* Get(WM_HANDLE win) {
    return WIDGET_AsChecked<ListObj>(win, WIDGET_TYPE_LISTBOX, kWrongType);
}

ListObj* Own(WM_HANDLE win) {
    return WIDGET_As<ListObj>(win, WIDGET_TYPE_LISTBOX);
}

// The list inside an open drop-down tells the drop-down, any other its parent; the list's
// object afterwards, nullptr when the receiver deleted it.
ListObj* Notify(WM_HANDLE win, int code) {
    ListObj* obj = Own(win);
    if (obj == nullptr) return nullptr;
    return WIDGET_NotifyAs<ListObj>(win, WIDGET_TYPE_LISTBOX, code, obj->owner);
}

int RowHeight(const ListObj* obj) {
    return obj->font->line_distance + 2 * kRowPadding;
}

GUI_RECT Inner(const ListObj* obj) {
    const int s = obj->w.effect->size;
    return GUI_RECT{int16_t(s), int16_t(s), int16_t(obj->w.win.rect.x1 - obj->w.win.rect.x0 - s),
                    int16_t(obj->w.win.rect.y1 - obj->w.win.rect.y0 - s)};
}

int VisibleRows(const ListObj* obj) {
    const GUI_RECT r = Inner(obj);
    return std::max((r.y1 - r.y0 + 1) / RowHeight(obj), 1);
}

int ScrollbarWidth(const ListObj* obj) {
    return obj->scrollbar_width > 0 ? obj->scrollbar_width : SCROLLBAR_GetDefaultWidth();
}

bool ScrollbarShown(const ListObj* obj) {
    return obj->scrollbar != 0 && WM_IsVisible(obj->scrollbar);
}

// Shows the scroll bar while the lines do not fit (making it the first time), hides it
// otherwise, and keeps it and the first shown line in step.
void UpdateScrollbar(WM_HANDLE win) {
    ListObj* obj = Own(win);
    if (obj == nullptr) return;
    const int count = GUI_ARRAY_GetCount(obj->items);
    const int rows = VisibleRows(obj);
    obj->top = std::clamp(obj->top, 0, std::max(count - rows, 0));
    const bool need = obj->auto_scroll && count > rows;
    const GUI_RECT in = Inner(obj);
    const int width = ScrollbarWidth(obj);
    if (need && obj->scrollbar == 0) {
        const WM_HANDLE bar =
            SCROLLBAR_Create(in.x1 + 1 - width, in.y0, width, in.y1 - in.y0 + 1, win, 0,
                             SCROLLBAR_CF_VERTICAL, SCROLLBAR_ID_VERTICAL);
        obj = Own(win);
        if (obj == nullptr) return;
        obj->scrollbar = bar;
    }
    if (obj->scrollbar == 0) return;
    if (WM_GetWindowSizeX(obj->scrollbar) != width) {
        WM_SetSize(obj->scrollbar, width, in.y1 - in.y0 + 1);
        WM_MoveTo(obj->scrollbar, in.x1 + 1 - width, in.y0);
    }
    SCROLLBAR_PutNumItems(obj->scrollbar, count);
    SCROLLBAR_PutPageSize(obj->scrollbar, rows);
    SCROLLBAR_PutValue(obj->scrollbar, obj->top);
    if (need != WM_IsVisible(obj->scrollbar)) {
        if (need)
            WM_ShowWin(obj->scrollbar);
        else
            WM_HideWin(obj->scrollbar);
        WM_InvalidateWin(win);
    }
}

void ScrollIntoView(ListObj* obj) {
    if (obj->sel < 0) return;
    const int rows = VisibleRows(obj);
    if (obj->sel < obj->top) obj->top = obj->sel;
    if (obj->sel >= obj->top + rows) obj->top = obj->sel - rows + 1;
}

void Paint(const ListObj* obj) {
    WIDGET_PaintScope scope;
    const GUI_RECT in = WIDGET_DrawEffect(&obj->w);
    GUI_RECT area = in;
    if (ScrollbarShown(obj)) area.x1 = int16_t(area.x1 - ScrollbarWidth(obj));
    GUI_SelectFont(obj->font);
    const int h = RowHeight(obj);
    const int count = GUI_ARRAY_GetCount(obj->items);
    const bool focused = (obj->w.state & WIDGET_STATE_FOCUS) != 0;
    int y = area.y0;
    for (int i = obj->top; i < count && y <= area.y1; ++i, y += h) {
        int index = LISTBOX_CI_UNSEL;
        if (GUI_ARRAY_GetFlags(obj->items, i) & GUI_ARRAY_DISABLED)
            index = LISTBOX_CI_DISABLED;
        else if (i == obj->sel)
            index = focused ? LISTBOX_CI_SELFOCUS : LISTBOX_CI_SEL;
        const GUI_RECT row{area.x0, int16_t(y), area.x1,
                           int16_t(std::min(y + h - 1, int(area.y1)))};
        GUI_SetDrawColor(obj->fill[size_t(index)]);
        GUI_FillRectangleR(&row);
        GUI_SetDrawColor(obj->text[size_t(index)]);
        const GUI_RECT text{int16_t(area.x0 + kTextIndent), int16_t(y + kRowPadding), area.x1,
                            row.y1};
        GUI_PrintInRect(GUI_ARRAY_GetText(obj->items, i), &text, GUI_ALIGN_LEFT | GUI_ALIGN_TOP);
    }
    if (y <= area.y1) {
        GUI_SetDrawColor(obj->fill[LISTBOX_CI_UNSEL]);
        GUI_FillRectangle(area.x0, y, area.x1, area.y1);
    }
}

// The line under a window position, -1 when none.
int LineAt(const ListObj* obj, int x, int y) {
    const GUI_RECT in = Inner(obj);
    if (x < in.x0 || x > in.x1 || y < in.y0 || y > in.y1) return -1;
    const int line = obj->top + (y - in.y0) / RowHeight(obj);
    return line < GUI_ARRAY_GetCount(obj->items) ? line : -1;
}

bool Enabled(const ListObj* obj, int line) {
    return line >= 0 && !(GUI_ARRAY_GetFlags(obj->items, line) & GUI_ARRAY_DISABLED);
}

void SelectLine(WM_HANDLE win, int index);

void OnPointer(WM_HANDLE win, ListObj* obj, const WM_POINTER_STATE* state) {
    if (state == nullptr || WIDGET_IsDisabled(&obj->w)) return;
    const int line = LineAt(obj, state->x, state->y);
    if (state->pressed) {
        // A disabled line cannot be chosen with the pointer.
        if (Enabled(obj, line)) SelectLine(win, line);
        return;
    }
    if (Enabled(obj, line)) Notify(win, WM_NOTIFICATION_RELEASED);
}

bool OnKey(WM_HANDLE win, ListObj* obj, const WM_KEY_EVENT* key) {
    if (key == nullptr || key->pressed_cnt <= 0) return key != nullptr;
    const int count = GUI_ARRAY_GetCount(obj->items);
    const int step = key->key == 17 ? -1 : key->key == 19 ? 1 : 0;
    if (step != 0) {
        // Moves over disabled lines to the next enabled one.
        for (int i = obj->sel + step; i >= 0 && i < count; i += step) {
            if (Enabled(obj, i)) {
                SelectLine(win, i);
                break;
            }
        }
        return true;
    }
    if (key->key == 13 && obj->owner != 0) {
        if (Enabled(obj, obj->sel)) Notify(win, WM_NOTIFICATION_RELEASED);
        return true;
    }
    return false;
}

// The wheel moves the lines shown, not the selection; a list takes every vertical turn, also
// at its ends, so the window behind it stays where it is.
void OnWheel(WM_HANDLE win, ListObj* obj, WM_WHEEL_EVENT* wheel) {
    if (wheel == nullptr || wheel->dy == 0) return;
    wheel->used = 1;
    if (WIDGET_IsDisabled(&obj->w)) return;
    const int top = obj->top;
    obj->top -= wheel->dy * WM_WHEEL_LINES;
    UpdateScrollbar(win);
    obj = Own(win);
    if (obj != nullptr && obj->top != top) WM_InvalidateWin(win);
}

void Proc(WM_MSG_RECORD* msg) {
    const WM_HANDLE win = msg->target;
    ListObj* obj = Own(win);
    if (obj == nullptr) return WM_FallbackProc(msg);
    if (WIDGET_HandleCommon(msg, &obj->w)) return;
    switch (msg->msg_id) {
        case WM_MSG_PAINT:
            Paint(obj);
            return;
        case WM_MSG_POINTER:
            OnPointer(win, obj, static_cast<const WM_POINTER_STATE*>(msg->data.p));
            return;
        case WM_MSG_WHEEL:
            OnWheel(win, obj, static_cast<WM_WHEEL_EVENT*>(msg->data.p));
            return;
        case WM_MSG_KEY:
            if (OnKey(win, obj, static_cast<const WM_KEY_EVENT*>(msg->data.p))) return;
            if (obj->owner != 0) {
                // The open list of a drop-down: the field decides (Escape closes the list), and
                // passes on what it does not use.
                WM_MSG_RECORD forward = *msg;
                WM__SendMessage(obj->owner, &forward);
                return;
            }
            break;
        case WM_MSG_NOTIFY_PARENT:
            if (msg->source == obj->scrollbar && msg->data.v == WM_NOTIFICATION_VALUE_MODIFIED) {
                obj->top = SCROLLBAR_GetValue(obj->scrollbar);
                WM_InvalidateWin(win);
            }
            return;
        case WM_MSG_DELETE:
            GUI_ARRAY_Free(&obj->items);
            break;
        default:
            break;
    }
    WM_FallbackProc(msg);
}

void SelectLine(WM_HANDLE win, int index) {
    ListObj* obj = Own(win);
    if (obj == nullptr) return;
    const int count = GUI_ARRAY_GetCount(obj->items);
    if (index >= count) index = count - 1;
    if (index < 0 || !Enabled(obj, index)) index = -1;
    if (index == obj->sel) return;
    obj->sel = index;
    ScrollIntoView(obj);
    UpdateScrollbar(win);
    WM_InvalidateWin(win);
    Notify(win, WM_NOTIFICATION_CHANGED);
}

template <class F> void Change(WM_HANDLE win, F change) {
    GUI_LockGuard lock;
    ListObj* obj = Get(win);
    if (obj == nullptr) return;
    if (change(obj)) WM_InvalidateWin(win);
}

} // namespace

WM_HANDLE LISTBOX_CreateUser(int x0, int y0, int x_size, int y_size, WM_HANDLE parent,
                             uint32_t flags, int, int id, const char* const* items,
                             int user_bytes) {
    GUI_LockGuard lock;
    const WM_HANDLE win =
        WIDGET_Create(x0, y0, x_size, y_size, parent, flags, Proc, sizeof(ListObj), user_bytes,
                       WIDGET_TYPE_LISTBOX, id, WIDGET_STATE_FOCUSABLE);
    if (win == 0) {
        GUI_ReportWarning("LISTBOX:\nLISTBOX_CreateUser() failed");
        return 0;
    }
    ListObj* obj = Own(win);
    obj->sel = -1;
    obj->font = &FONT_13;
    obj->fill = {0xFFFFFF, 0x808080, 0xD77800, 0xFFFFFF};
    obj->text = {0x000000, 0xFFFFFF, 0xFFFFFF, 0xA0A0A0};
    for (; items != nullptr && *items != nullptr; ++items) {
        obj = Own(win);
        if (GUI_ARRAY_AddItem(&obj->items, *items, 0) != 0) break;
    }
    WIDGET_Finish(win, flags);
    return win;
}

WM_HANDLE LISTBOX_Make(int x0, int y0, int x_size, int y_size, WM_HANDLE parent, uint32_t flags,
                       int type_flags, int id, const char* const* items) {
    return LISTBOX_CreateUser(x0, y0, x_size, y_size, parent, flags, type_flags, id, items, 0);
}

void LISTBOX_Append(WM_HANDLE win, const char* text) {
    GUI_LockGuard lock;
    ListObj* obj = Get(win);
    if (obj == nullptr) return;
    if (GUI_ARRAY_AddItem(&obj->items, text, 0) != 0) return;
    UpdateScrollbar(win);
    WM_InvalidateWin(win);
}

void LISTBOX_DeleteItem(WM_HANDLE win, int index) {
    GUI_LockGuard lock;
    ListObj* obj = Get(win);
    if (obj == nullptr || GUI_ARRAY_DeleteItem(&obj->items, index) != 0) return;
    if (obj->sel == index)
        obj->sel = -1;
    else if (obj->sel > index)
        --obj->sel;
    if (obj->top > index) --obj->top;
    UpdateScrollbar(win);
    WM_InvalidateWin(win);
}

int LISTBOX_Count(WM_HANDLE win) {
    GUI_LockGuard lock;
    ListObj* obj = Get(win);
    return obj ? GUI_ARRAY_GetCount(obj->items) : 0;
}

void LISTBOX_Select(WM_HANDLE win, int index) {
    GUI_LockGuard lock;
    if (Get(win) != nullptr) SelectLine(win, index);
}

int LISTBOX_Selected(WM_HANDLE win) {
    GUI_LockGuard lock;
    ListObj* obj = Get(win);
    return obj ? obj->sel : -1;
}

int LISTBOX_TopLine(WM_HANDLE win) {
    GUI_LockGuard lock;
    ListObj* obj = Get(win);
    return obj ? obj->top : 0;
}

int LISTBOX_ReadItemText(WM_HANDLE win, int index, char* buffer, int size) {
    GUI_LockGuard lock;
    ListObj* obj = Get(win);
    const char* text = obj ? GUI_ARRAY_GetText(obj->items, index) : nullptr;
    return WIDGET_CopyOut(text ? text : "", buffer, size);
}

void LISTBOX_PutItemDisabled(WM_HANDLE win, int index, int on) {
    Change(win, [&](ListObj* obj) {
        const uint8_t flags = GUI_ARRAY_GetFlags(obj->items, index);
        const uint8_t want =
            on ? uint8_t(flags | GUI_ARRAY_DISABLED) : uint8_t(flags & ~GUI_ARRAY_DISABLED);
        if (flags == want) return false;
        GUI_ARRAY_SetFlags(obj->items, index, want);
        return true;
    });
}

void LISTBOX_AutoScrollV(WM_HANDLE win, int on) {
    GUI_LockGuard lock;
    ListObj* obj = Get(win);
    if (obj == nullptr || obj->auto_scroll == (on ? 1 : 0)) return;
    obj->auto_scroll = on ? 1 : 0;
    UpdateScrollbar(win);
    WM_InvalidateWin(win);
}

void LISTBOX_PutScrollbarWidth(WM_HANDLE win, int width) {
    GUI_LockGuard lock;
    ListObj* obj = Get(win);
    if (obj == nullptr || width < 0 || obj->scrollbar_width == width) return;
    obj->scrollbar_width = int16_t(std::min(width, 0x7FFF));
    UpdateScrollbar(win);
    WM_InvalidateWin(win);
}

void LISTBOX_PutFillColor(WM_HANDLE win, int index, GUI_COLOUR colour) {
    Change(win, [&](ListObj* obj) {
        if (index < 0 || index > 3 || obj->fill[size_t(index)] == colour) return false;
        obj->fill[size_t(index)] = colour;
        return true;
    });
}

void LISTBOX_PutTextColor(WM_HANDLE win, int index, GUI_COLOUR colour) {
    Change(win, [&](ListObj* obj) {
        if (index < 0 || index > 3 || obj->text[size_t(index)] == colour) return false;
        obj->text[size_t(index)] = colour;
        return true;
    });
}

GUI_COLOUR LISTBOX_GetFillColor(WM_HANDLE win, int index) {
    GUI_LockGuard lock;
    ListObj* obj = Get(win);
    return (obj && index >= 0 && index <= 3) ? obj->fill[size_t(index)] : 0;
}

void LISTBOX_PutFont(WM_HANDLE win, const GUI_FONTDEF* font) {
    GUI_LockGuard lock;
    ListObj* obj = Get(win);
    if (obj == nullptr || font == nullptr || obj->font == font) return;
    obj->font = font;
    ScrollIntoView(obj);
    UpdateScrollbar(win);
    WM_InvalidateWin(win);
}

void LISTBOX_PutOwner(WM_HANDLE win, WM_HANDLE owner) {
    GUI_LockGuard lock;
    if (ListObj* obj = Own(win)) obj->owner = owner;
}
