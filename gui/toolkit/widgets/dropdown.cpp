#include "gui/toolkit/widgets/dropdown.h"

#include "gui/toolkit/core/gui_alloc.h"
#include "gui/toolkit/core/gui_lock.h"
#include "gui/toolkit/core/gui_report.h"
#include "gui/toolkit/widgets/gui_array.h"
#include "gui/toolkit/widgets/listbox.h"
#include "gui/toolkit/widgets/widget.h"
#include "gui/toolkit/wm/wm_internal.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr const char* kWrongType =
    "DROPDOWN:\nWrong handle type or Object not init'ed in DROPDOWN_LockH()";
constexpr int kPadding = 3; // between the frame line and the text, above and below

struct DropObj {
    WIDGET_Obj w;
    GUI_HMEM items;
    int32_t sel;
    const GUI_FONTDEF* font;
    WM_HANDLE layer; // the see-through catcher over the screen that holds the open list
    WM_HANDLE list;
    int16_t list_height;
    int16_t scrollbar_width;
    uint8_t type_flags;
};

DropObj* Get(WM_HANDLE win) {
    return WIDGET_AsChecked<DropObj>(win, WIDGET_TYPE_DROPDOWN, kWrongType);
}

DropObj* Own(WM_HANDLE win) {
    return WIDGET_As<DropObj>(win, WIDGET_TYPE_DROPDOWN);
}

int ClosedHeight(const DropObj* obj) {
    return obj->font->line_distance + 2 * (obj->w.effect->size + 1 + kPadding);
}

void Paint(const DropObj* obj) {
    WIDGET_PaintScope scope;
    const GUI_RECT whole{0, 0, int16_t(obj->w.win.rect.x1 - obj->w.win.rect.x0),
                         int16_t(obj->w.win.rect.y1 - obj->w.win.rect.y0)};
    const bool disabled = WIDGET_IsDisabled(&obj->w);
    const bool open = obj->list != 0;
    GUI_SetDrawColor(disabled ? 0xE8E8E8 : 0xFFFFFF);
    GUI_FillRectangleR(&whole);
    const GUI_RECT in = WIDGET_DrawEffect(&obj->w);
    const int h = in.y1 - in.y0 + 1;
    // The arrow button: a square at the right end.
    const GUI_RECT button{int16_t(in.x1 - h + 1), in.y0, in.x1, in.y1};
    GUI_FillGradientV(button.x0, button.y0, button.x1, button.y1, open ? 0xE0B484 : 0xF4F4F4,
                      open ? 0xC8904C : 0xD0D0D0);
    GUI_SetDrawColor(open || (obj->w.state & WIDGET_STATE_FOCUS) ? 0xD77800 : 0x8C8C8C);
    GUI_DrawRoundRect(in.x0, in.y0, in.x1, in.y1, 0);
    GUI_FillRectangle(button.x0, button.y0, button.x0, button.y1);
    const int s = std::max(h / 5, 2);
    const GUI_POINT arrow[3] = {
        {int16_t(-s), int16_t(-s / 2)}, {int16_t(s), int16_t(-s / 2)}, {0, int16_t(s / 2 + 1)}};
    GUI_SetDrawColor(disabled ? 0xA0A0A0 : 0x404040);
    GUI_FillPolygonAA(arrow, 3, (button.x0 + button.x1) / 2, (button.y0 + button.y1) / 2);
    const char* text = GUI_ARRAY_GetText(obj->items, obj->sel);
    if (text == nullptr) return;
    GUI_SelectFont(obj->font);
    const bool item_disabled = GUI_ARRAY_GetFlags(obj->items, obj->sel) & GUI_ARRAY_DISABLED;
    GUI_SetDrawColor(disabled || item_disabled ? 0x808080 : 0x000000);
    const GUI_RECT r{int16_t(in.x0 + 1 + kPadding), int16_t(in.y0 + 1), int16_t(button.x0 - 2),
                     int16_t(in.y1 - 1)};
    GUI_PrintInRect(text, &r, GUI_ALIGN_LEFT | GUI_ALIGN_VCENTER);
}

void Collapse(WM_HANDLE win) {
    DropObj* obj = Own(win);
    if (obj == nullptr || obj->layer == 0) return;
    const WM_HANDLE layer = obj->layer;
    const WM_HANDLE list = obj->list;
    obj->layer = 0;
    obj->list = 0;
    // The keys go back to the field the list took them from.
    if (WM_GetFocusedWindow() == list) WM_GiveFocus(win);
    WM_HideWin(layer);
    // Deferred: this may run inside the list's own pointer handling.
    WM_MarkForDeletion(layer);
    WM_InvalidateWin(win);
}

void Select(WM_HANDLE win, int index) {
    DropObj* obj = Own(win);
    if (obj == nullptr) return;
    const int count = GUI_ARRAY_GetCount(obj->items);
    index = std::clamp(index, 0, std::max(count - 1, 0));
    if (index == obj->sel) return;
    obj->sel = index;
    if (obj->list != 0) LISTBOX_Select(obj->list, index);
    WM_InvalidateWin(win);
    WIDGET_Notify(win, WIDGET_TYPE_DROPDOWN, WM_NOTIFICATION_CHANGED);
}

// The drop-down whose open list the catcher holds.
WM_HANDLE LayerOwner(WM_HANDLE layer) {
    WM_HANDLE owner = 0;
    if (const void* p = GUI_ALLOC_Peek(layer))
        std::memcpy(&owner, static_cast<const uint8_t*>(p) + sizeof(WM_Obj), sizeof owner);
    return owner;
}

// The catcher: a press anywhere outside the open list closes it; the wheel anywhere scrolls
// the open list.
void LayerProc(WM_MSG_RECORD* msg) {
    switch (msg->msg_id) {
        case WM_MSG_PAINT:
            return;
        case WM_MSG_WHEEL: {
            auto* wheel = static_cast<WM_WHEEL_EVENT*>(msg->data.p);
            if (wheel == nullptr) return;
            wheel->used = 1;
            const DropObj* obj = Own(LayerOwner(msg->target));
            if (obj == nullptr || obj->list == 0) return;
            WM_MSG_RECORD forward{};
            forward.msg_id = WM_MSG_WHEEL;
            forward.data.p = wheel;
            WM__SendMessage(obj->list, &forward);
            return;
        }
        case WM_MSG_POINTER: {
            const auto* state = static_cast<const WM_POINTER_STATE*>(msg->data.p);
            if (state != nullptr && state->pressed) Collapse(LayerOwner(msg->target));
            return;
        }
        case WM_MSG_NOTIFY_PARENT:
            return;
        default:
            WM_FallbackProc(msg);
            return;
    }
}

void Expand(WM_HANDLE win) {
    DropObj* obj = Own(win);
    if (obj == nullptr || obj->layer != 0 || WIDGET_IsDisabled(&obj->w)) return;
    const GUI_RECT screen = WM_ScreenRect();
    const WM_HANDLE layer =
        WM_CreateWindowAsChild(0, 0, screen.x1 + 1, screen.y1 + 1, 0,
                               WM_CF_SEE_THROUGH | WM_CF_ON_TOP, LayerProc, sizeof(WM_HANDLE));
    if (layer == 0) return;
    std::memcpy(static_cast<uint8_t*>(GUI_ALLOC_Peek(layer)) + sizeof(WM_Obj), &win, sizeof win);
    obj = Own(win);
    const GUI_RECT r = obj->w.win.rect;
    const int width = r.x1 - r.x0 + 1;
    const DROPDOWN_PLACE place = DROPDOWN_PlaceList(r.y0, r.y1, obj->list_height, screen.y1);
    const WM_HANDLE list =
        LISTBOX_Make(r.x0, place.y0, width, place.height, layer, WM_CF_VISIBLE, 0, 0, nullptr);
    obj = Own(win);
    if (list == 0 || obj == nullptr) {
        WM_DeleteWindow(layer);
        return;
    }
    LISTBOX_PutOwner(list, win);
    LISTBOX_PutFont(list, obj->font);
    LISTBOX_PutScrollbarWidth(list, obj->scrollbar_width);
    const int count = GUI_ARRAY_GetCount(obj->items);
    for (int i = 0; i < count; ++i) {
        LISTBOX_Append(list, GUI_ARRAY_GetText(obj->items, i));
        if (GUI_ARRAY_GetFlags(obj->items, i) & GUI_ARRAY_DISABLED)
            LISTBOX_PutItemDisabled(list, i, 1);
    }
    LISTBOX_AutoScrollV(list, 1);
    // The list tells this field of its selection; the field does not listen to it yet.
    LISTBOX_Select(list, obj->sel);
    if ((obj = Own(win)) == nullptr) {
        WM_DeleteWindow(layer);
        return;
    }
    obj->layer = layer;
    obj->list = list;
    WM_ShowWin(layer);
    // Taking the focus tells the field's parent, which may delete the field (and the list
    // with it): only handles from here on.
    WM_GiveFocus(list);
    WM_InvalidateWin(win);
}

// The open list's news: a release on an enabled item chooses it.
void OnListNotification(WM_HANDLE win, const WM_MSG_RECORD* msg) {
    DropObj* obj = Own(win);
    if (obj == nullptr || msg->source != obj->list) return;
    if (msg->data.v == WM_NOTIFICATION_RELEASED) {
        const int chosen = LISTBOX_Selected(obj->list);
        Collapse(win);
        if (chosen >= 0) Select(win, chosen);
    } else if (msg->data.v == WM_NOTIFICATION_FOCUS_LOST) {
        Collapse(win);
    }
}

// True when the field used the key; the others go on to the parent.
bool OnKey(WM_HANDLE win, DropObj* obj, const WM_KEY_EVENT* key) {
    if (key == nullptr) return true;
    // Enter and Space open and close the list on their press; their releases are the field's
    // too. Every other release belongs to whoever took the press.
    if (key->pressed_cnt <= 0) return key->key == 13 || key->key == 32;
    if (key->key == 13 || key->key == 32) {
        if (obj->list == 0)
            Expand(win);
        else
            Collapse(win);
        return true;
    }
    if (key->key == 27 && obj->list != 0) {
        Collapse(win);
        return true;
    }
    return false;
}

void Proc(WM_MSG_RECORD* msg) {
    const WM_HANDLE win = msg->target;
    DropObj* obj = Own(win);
    if (obj == nullptr) return WM_FallbackProc(msg);
    if (WIDGET_HandleCommon(msg, &obj->w)) return;
    switch (msg->msg_id) {
        case WM_MSG_PAINT:
            Paint(obj);
            return;
        case WM_MSG_POINTER: {
            const auto* state = static_cast<const WM_POINTER_STATE*>(msg->data.p);
            if (state != nullptr && state->pressed) {
                if (obj->list == 0)
                    Expand(win);
                else
                    Collapse(win);
            }
            return;
        }
        case WM_MSG_KEY:
            if (OnKey(win, obj, static_cast<const WM_KEY_EVENT*>(msg->data.p))) return;
            break;
        case WM_MSG_NOTIFY_PARENT:
            OnListNotification(win, msg);
            return;
        case WM_MSG_DELETE:
            if (obj->layer != 0) {
                const WM_HANDLE layer = obj->layer;
                obj->layer = obj->list = 0;
                WM_DeleteWindow(layer);
                obj = Own(win);
            }
            if (obj != nullptr) GUI_ARRAY_Free(&obj->items);
            break;
        case WM_MSG_ENABLE_CHANGED:
            if (msg->data.v == 0) Collapse(win);
            break;
        default:
            break;
    }
    WM_FallbackProc(msg);
}

} // namespace

WM_HANDLE DROPDOWN_CreateUser(int x0, int y0, int x_size, int y_size, WM_HANDLE parent,
                              uint32_t flags, int type_flags, int id, int user_bytes) {
    GUI_LockGuard lock;
    const WIDGET_EFFECT* effect = WIDGET_GetDefaultEffect();
    const int closed = FONT_13.line_distance + 2 * (effect->size + 1 + kPadding);
    const WM_HANDLE win =
        WIDGET_Create(x0, y0, x_size, closed, parent, flags, Proc, sizeof(DropObj), user_bytes,
                       WIDGET_TYPE_DROPDOWN, id, WIDGET_STATE_FOCUSABLE);
    if (win == 0) {
        GUI_ReportWarning("DROPDOWN:\nDROPDOWN_CreateUser() failed");
        return 0;
    }
    DropObj* obj = Own(win);
    obj->font = &FONT_13;
    obj->list_height = int16_t(std::clamp(y_size, 1, 0x7FFF));
    obj->type_flags = uint8_t(type_flags);
    WIDGET_Finish(win, flags);
    return win;
}

WM_HANDLE DROPDOWN_Make(int x0, int y0, int x_size, int y_size, WM_HANDLE parent, uint32_t flags,
                        int type_flags, int id) {
    return DROPDOWN_CreateUser(x0, y0, x_size, y_size, parent, flags, type_flags, id, 0);
}

void DROPDOWN_Append(WM_HANDLE win, const char* text) {
    GUI_LockGuard lock;
    DropObj* obj = Get(win);
    if (obj == nullptr || GUI_ARRAY_AddItem(&obj->items, text, 0) != 0) return;
    if (obj->list != 0) LISTBOX_Append(obj->list, text);
    WM_InvalidateWin(win);
}

int DROPDOWN_Count(WM_HANDLE win) {
    GUI_LockGuard lock;
    DropObj* obj = Get(win);
    return obj ? GUI_ARRAY_GetCount(obj->items) : 0;
}

int DROPDOWN_Selected(WM_HANDLE win) {
    GUI_LockGuard lock;
    DropObj* obj = Get(win);
    return obj ? obj->sel : 0;
}

void DROPDOWN_Select(WM_HANDLE win, int index) {
    GUI_LockGuard lock;
    if (Get(win) != nullptr) Select(win, index);
}

void DROPDOWN_PutFont(WM_HANDLE win, const GUI_FONTDEF* font) {
    GUI_LockGuard lock;
    DropObj* obj = Get(win);
    if (obj == nullptr || font == nullptr || obj->font == font) return;
    obj->font = font;
    if (obj->list != 0) LISTBOX_PutFont(obj->list, font);
    WM_SetSize(win, WM_GetWindowSizeX(win), ClosedHeight(obj));
    WM_InvalidateWin(win);
}

void DROPDOWN_PutScrollbarWidth(WM_HANDLE win, int width) {
    GUI_LockGuard lock;
    DropObj* obj = Get(win);
    if (obj == nullptr || width < 0 || obj->scrollbar_width == width) return;
    obj->scrollbar_width = int16_t(std::min(width, 0x7FFF));
    if (obj->list != 0) LISTBOX_PutScrollbarWidth(obj->list, width);
}

void DROPDOWN_PutItemDisabled(WM_HANDLE win, int index, int on) {
    GUI_LockGuard lock;
    DropObj* obj = Get(win);
    if (obj == nullptr || index < 0 || index >= GUI_ARRAY_GetCount(obj->items)) return;
    const uint8_t flags = GUI_ARRAY_GetFlags(obj->items, index);
    const uint8_t want =
        on ? uint8_t(flags | GUI_ARRAY_DISABLED) : uint8_t(flags & ~GUI_ARRAY_DISABLED);
    if (flags == want) return;
    GUI_ARRAY_SetFlags(obj->items, index, want);
    if (obj->list != 0) LISTBOX_PutItemDisabled(obj->list, index, on);
    WM_InvalidateWin(win);
}

int DROPDOWN_IsItemDisabled(WM_HANDLE win, int index) {
    GUI_LockGuard lock;
    DropObj* obj = Get(win);
    return (obj && (GUI_ARRAY_GetFlags(obj->items, index) & GUI_ARRAY_DISABLED)) ? 1 : 0;
}

void DROPDOWN_Expand(WM_HANDLE win) {
    GUI_LockGuard lock;
    if (Get(win) != nullptr) Expand(win);
}

void DROPDOWN_Collapse(WM_HANDLE win) {
    GUI_LockGuard lock;
    if (Get(win) != nullptr) Collapse(win);
}

int DROPDOWN_IsExpanded(WM_HANDLE win) {
    GUI_LockGuard lock;
    DropObj* obj = Get(win);
    return (obj && obj->list != 0) ? 1 : 0;
}

WM_HANDLE DROPDOWN_GetListbox(WM_HANDLE win) {
    GUI_LockGuard lock;
    DropObj* obj = Get(win);
    return obj ? obj->list : 0;
}

DROPDOWN_PLACE DROPDOWN_PlaceList(int field_y0, int field_y1, int height, int screen_y1) {
    height = std::max(height, 1);
    const int below = screen_y1 - field_y1; // rows under the field
    const int above = field_y0;             // rows over it
    if (height <= below) return {field_y1 + 1, height};
    if (height <= above) return {field_y0 - height, height};
    // Shortened to the larger side, so every item stays reachable by scrolling.
    if (below >= above) return {field_y1 + 1, std::max(below, 1)};
    return {0, above};
}

int DROPDOWN_ReadUserBytes(WM_HANDLE win, void* buffer, int n) {
    return WIDGET_ReadUserBytes(win, WIDGET_TYPE_DROPDOWN, kWrongType, buffer, sizeof(DropObj), n);
}

int DROPDOWN_WriteUserBytes(WM_HANDLE win, const void* buffer, int n) {
    return WIDGET_WriteUserBytes(win, WIDGET_TYPE_DROPDOWN, kWrongType, buffer, sizeof(DropObj),
                                  n);
}
