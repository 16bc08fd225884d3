#include "gui/toolkit/widgets/edit.h"

#include "gui/toolkit/core/gui_alloc.h"
#include "gui/toolkit/core/gui_lock.h"
#include "gui/toolkit/core/gui_report.h"
#include "gui/toolkit/widgets/widget.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr const char* kWrongType = "EDIT:\nWrong handle type or Object not init'ed in EDIT_LockH()";
constexpr int kMaxLen = 0x7FFF;
constexpr int kPadding = 4; // between the frame and the text

struct EditObj {
    WIDGET_Obj w;
    GUI_HMEM buffer; // max_len + 1 bytes, zero-terminated
    int16_t max_len;
    int16_t cursor;
    int16_t align;
    uint8_t overwrite;
    uint8_t cursor_shown; // the blink phase
    const GUI_FONTDEF* font;
    GUI_COLOUR colour[2];
    EDIT_KEY_FILTER filter;
    WM_HTIMER timer;
    int32_t blink_ms;
};

EditObj* Get(WM_HANDLE win) {
    return WIDGET_AsChecked<EditObj>(win, WIDGET_TYPE_EDIT, kWrongType);
}

EditObj* Own(WM_HANDLE win) {
    return WIDGET_As<EditObj>(win, WIDGET_TYPE_EDIT);
}

char* Text(EditObj* obj) {
    return static_cast<char*>(GUI_ALLOC_Peek(obj->buffer));
}

int Len(EditObj* obj) {
    const char* t = Text(obj);
    return t ? int(strnlen(t, size_t(obj->max_len))) : 0;
}

// In overwrite mode a full field keeps the cursor on its last character.
void ClampCursor(EditObj* obj) {
    const int len = Len(obj);
    int limit = len;
    if (obj->overwrite && len >= obj->max_len) limit = std::max(len - 1, 0);
    obj->cursor = int16_t(std::clamp<int>(obj->cursor, 0, limit));
}

void DeleteAt(EditObj* obj, int pos) {
    char* t = Text(obj);
    const int len = Len(obj);
    if (t == nullptr || pos < 0 || pos >= len) return;
    std::memmove(t + pos, t + pos + 1, size_t(len - pos));
}

void InsertAt(EditObj* obj, int pos, char c) {
    char* t = Text(obj);
    const int len = Len(obj);
    if (t == nullptr || len >= obj->max_len || pos < 0 || pos > len) return;
    std::memmove(t + pos + 1, t + pos, size_t(len - pos + 1));
    t[pos] = c;
    ++obj->cursor;
}

void EditKey(EditObj* obj, int key) {
    char* t = Text(obj);
    if (t == nullptr) return;
    const int len = Len(obj);
    switch (key) {
        case EDIT_KEY_BACKSPACE:
            if (obj->cursor > 0) {
                --obj->cursor;
                DeleteAt(obj, obj->cursor);
            }
            break;
        case EDIT_KEY_DELETE:
            DeleteAt(obj, obj->cursor);
            break;
        case EDIT_KEY_LEFT:
            --obj->cursor;
            break;
        case EDIT_KEY_RIGHT:
            ++obj->cursor;
            break;
        case EDIT_KEY_UP:
        case EDIT_KEY_DOWN:
            // Steps the character through the printable Latin-1 codes.
            if (obj->cursor < len) {
                const int c = uint8_t(t[obj->cursor]) + (key == EDIT_KEY_UP ? 1 : -1);
                if (c >= 32 && c <= 255) t[obj->cursor] = char(c);
            }
            break;
        case EDIT_KEY_INSERT:
            obj->overwrite = !obj->overwrite;
            break;
        default:
            if (key >= 32 && key <= 255) {
                if (obj->overwrite) DeleteAt(obj, obj->cursor);
                InsertAt(obj, obj->cursor, char(key));
            }
            break;
    }
    ClampCursor(obj);
}

GUI_RECT TextRect(const EditObj* obj) {
    const int s = obj->w.effect->size + 1 + kPadding;
    return GUI_RECT{int16_t(s), int16_t(obj->w.effect->size + 1),
                    int16_t(obj->w.win.rect.x1 - obj->w.win.rect.x0 - s),
                    int16_t(obj->w.win.rect.y1 - obj->w.win.rect.y0 - obj->w.effect->size - 1)};
}

int WidthOf(const char* t, int n) {
    int w = 0;
    for (int i = 0; i < n; ++i)
        w += GUI_pContext->font->char_advance(GUI_pContext->font, uint8_t(t[i]));
    return w;
}

void Paint(EditObj* obj) {
    WIDGET_PaintScope scope;
    const GUI_RECT whole{0, 0, int16_t(obj->w.win.rect.x1 - obj->w.win.rect.x0),
                         int16_t(obj->w.win.rect.y1 - obj->w.win.rect.y0)};
    const bool disabled = WIDGET_IsDisabled(&obj->w);
    const bool focused = (obj->w.state & WIDGET_STATE_FOCUS) != 0;
    GUI_SetDrawColor(disabled ? 0xE8E8E8 : obj->colour[0]);
    GUI_FillRectangleR(&whole);
    const GUI_RECT in = WIDGET_DrawEffect(&obj->w);
    GUI_SetDrawColor(focused ? 0xD77800 : 0x8C8C8C);
    GUI_DrawRoundRect(in.x0, in.y0, in.x1, in.y1, 0);
    const GUI_RECT r = TextRect(obj);
    const char* t = Text(obj);
    if (t == nullptr) return;
    GUI_SelectFont(obj->font);
    const int len = Len(obj);
    const int total = WidthOf(t, len);
    const int room = r.x1 - r.x0 + 1;
    int x;
    switch (obj->align & GUI_ALIGN_HORIZONTAL) {
        case GUI_ALIGN_RIGHT:
            x = r.x1 + 1 - total;
            break;
        case GUI_ALIGN_HCENTER:
            x = r.x0 + (room - total) / 2;
            break;
        default:
            x = r.x0;
            break;
    }
    const int cursor_x = WidthOf(t, obj->cursor);
    // A text wider than the field scrolls so that the cursor stays in view.
    if (total > room) {
        x = std::min<int>(r.x0, r.x1 - cursor_x - 2);
        x = std::max<int>(x, r.x1 + 1 - total - 2);
    }
    const int h = GUI_GetFontHeight();
    const int y = r.y0 + (r.y1 - r.y0 + 1 - h) / 2;
    GUI_SetDrawColor(disabled ? 0x808080 : obj->colour[1]);
    // Scrolled text starts with its first character that is wholly in view.
    int first = 0;
    int px = x;
    while (first < len && px < r.x0) {
        px += WidthOf(t + first, 1);
        ++first;
    }
    const GUI_RECT part{int16_t(px), int16_t(y), r.x1, int16_t(y + h - 1)};
    GUI_PrintInRect(t + first, &part, GUI_ALIGN_LEFT | GUI_ALIGN_TOP);
    if (!focused || disabled || !obj->cursor_shown) return;
    const int cx = x + cursor_x;
    if (obj->overwrite && obj->cursor < len) {
        // Overwrite: the character under the cursor shown inverted.
        const int a = WidthOf(t + obj->cursor, 1);
        GUI_FillRectangle(cx, y, cx + a - 1, y + h - 1);
        GUI_SetDrawColor(obj->colour[0]);
        const char c[2] = {t[obj->cursor], '\0'};
        GUI_RECT cell{int16_t(cx), int16_t(y), int16_t(cx + a - 1), int16_t(y + h - 1)};
        GUI_PrintInRect(c, &cell, GUI_ALIGN_LEFT | GUI_ALIGN_TOP);
    } else {
        GUI_FillRectangle(cx, y, cx + 1, y + h - 1);
    }
}

void OnTimer(WM_HANDLE win, EditObj* obj) {
    if (obj->timer == 0) return;
    obj->cursor_shown = !obj->cursor_shown;
    WM_RestartTimer(obj->timer, obj->blink_ms);
    WM_InvalidateWin(win);
}

// Places the cursor at the character under a press.
void OnPointer(WM_HANDLE win, EditObj* obj, const WM_POINTER_STATE* state) {
    if (state == nullptr || !state->pressed || WIDGET_IsDisabled(&obj->w)) return;
    if (!(obj->w.state & WIDGET_STATE_FOCUS)) {
        WM_GiveFocus(win);
        obj = Own(win);
        if (obj == nullptr) return;
    }
    WIDGET_PaintScope scope;
    GUI_SelectFont(obj->font);
    const char* t = Text(obj);
    const int len = Len(obj);
    const GUI_RECT r = TextRect(obj);
    const int total = WidthOf(t, len);
    int x = r.x0;
    if ((obj->align & GUI_ALIGN_HORIZONTAL) == GUI_ALIGN_RIGHT) x = r.x1 + 1 - total;
    if ((obj->align & GUI_ALIGN_HORIZONTAL) == GUI_ALIGN_HCENTER)
        x = r.x0 + (r.x1 - r.x0 + 1 - total) / 2;
    int pos = 0;
    while (pos < len) {
        const int a = WidthOf(t + pos, 1);
        if (state->x < x + a / 2) break;
        x += a;
        ++pos;
    }
    obj->cursor = int16_t(pos);
    ClampCursor(obj);
    WM_InvalidateWin(win);
}

bool OnKey(WM_HANDLE win, EditObj* obj, const WM_KEY_EVENT* key) {
    if (key == nullptr) return true;
    if (key->pressed_cnt <= 0) return true; // releases are ignored
    switch (key->key) {
        case 9:
        case 10:
        case 13:
        case 27:
        case 33:
        case 34:
            return false; // to the parent
        default:
            break;
    }
    if (obj->filter != nullptr) {
        obj->filter(win, key->key);
        obj = Own(win);
        if (obj == nullptr) return true;
    } else {
        EditKey(obj, key->key);
    }
    // Typing shows the cursor at once, whatever the blink phase.
    obj->cursor_shown = 1;
    if (obj->timer != 0) WM_RestartTimer(obj->timer, obj->blink_ms);
    WM_InvalidateWin(win);
    return true;
}

void Proc(WM_MSG_RECORD* msg) {
    const WM_HANDLE win = msg->target;
    EditObj* obj = Own(win);
    if (obj == nullptr) return WM_FallbackProc(msg);
    if (WIDGET_HandleCommon(msg, &obj->w)) return;
    switch (msg->msg_id) {
        case WM_MSG_PAINT:
            Paint(obj);
            return;
        case WM_MSG_KEY:
            if (OnKey(win, obj, static_cast<const WM_KEY_EVENT*>(msg->data.p))) return;
            break;
        case WM_MSG_POINTER:
            OnPointer(win, obj, static_cast<const WM_POINTER_STATE*>(msg->data.p));
            return;
        case WM_MSG_TIMER:
            OnTimer(win, obj);
            return;
        case WM_MSG_DELETE:
            if (obj->timer != 0) WM_DeleteTimer(obj->timer);
            obj->timer = 0;
            WIDGET_FreeHandle(&obj->buffer);
            break;
        default:
            break;
    }
    WM_FallbackProc(msg);
}

} // namespace

WM_HANDLE EDIT_CreateUser(int x0, int y0, int x_size, int y_size, WM_HANDLE parent, uint32_t flags,
                          int, int id, int max_len, int user_bytes) {
    GUI_LockGuard lock;
    const WM_HANDLE win =
        WIDGET_Create(x0, y0, x_size, y_size, parent, flags, Proc, sizeof(EditObj), user_bytes,
                       WIDGET_TYPE_EDIT, id, WIDGET_STATE_FOCUSABLE);
    if (win == 0) {
        GUI_ReportWarning("EDIT:\nEDIT_CreateUser() failed");
        return 0;
    }
    max_len = std::clamp(max_len, 1, kMaxLen);
    const GUI_HMEM buffer = GUI_ALLOC_AllocZero(max_len + 1);
    if (buffer == 0) {
        GUI_ReportError("EDIT:\nFailed to alloc buffer in EDIT_CreateUser()");
        WM_DeleteWindow(win);
        return 0;
    }
    EditObj* obj = Own(win);
    obj->buffer = buffer;
    obj->max_len = int16_t(max_len);
    obj->align = GUI_ALIGN_LEFT | GUI_ALIGN_VCENTER;
    obj->cursor_shown = 1;
    obj->font = &FONT_13;
    obj->colour[0] = 0xFFFFFF;
    obj->colour[1] = 0x000000;
    WIDGET_Finish(win, flags);
    return win;
}

WM_HANDLE EDIT_Make(int x0, int y0, int x_size, int y_size, WM_HANDLE parent, uint32_t flags,
                    int type_flags, int id, int max_len) {
    return EDIT_CreateUser(x0, y0, x_size, y_size, parent, flags, type_flags, id, max_len, 0);
}

WM_HANDLE EDIT_CreateIndirect(const WM_DIALOG_ITEM* item, WM_HANDLE parent, int x0, int y0,
                              WM_PROC) {
    if (item == nullptr) return 0;
    GUI_LockGuard lock;
    const WM_HANDLE win =
        EDIT_CreateUser(item->x0 + x0, item->y0 + y0, item->x_size, item->y_size, parent,
                        item->flags, 0, item->id, item->para, int(item->extra_bytes));
    if (win != 0 && item->text != nullptr) EDIT_PutText(win, item->text);
    return win;
}

void EDIT_PutText(WM_HANDLE win, const char* text) {
    GUI_LockGuard lock;
    EditObj* obj = Get(win);
    if (obj == nullptr) return;
    char* t = Text(obj);
    if (t == nullptr) return;
    const size_t n = text ? strnlen(text, size_t(obj->max_len)) : 0;
    if (n > 0) std::memmove(t, text, n);
    t[n] = '\0';
    obj->cursor = int16_t(n);
    ClampCursor(obj);
    WM_InvalidateWin(win);
}

int EDIT_ReadText(WM_HANDLE win, char* buffer, int size) {
    GUI_LockGuard lock;
    EditObj* obj = Get(win);
    const char* t = obj ? Text(obj) : nullptr;
    return WIDGET_CopyOut(t ? t : "", buffer, size);
}

void EDIT_PutFont(WM_HANDLE win, const GUI_FONTDEF* font) {
    GUI_LockGuard lock;
    EditObj* obj = Get(win);
    if (obj == nullptr || font == nullptr || obj->font == font) return;
    obj->font = font;
    WM_InvalidateWin(win);
}

void EDIT_PutAlign(WM_HANDLE win, int alignment) {
    GUI_LockGuard lock;
    EditObj* obj = Get(win);
    if (obj == nullptr || obj->align == alignment) return;
    obj->align = int16_t(alignment);
    WM_InvalidateWin(win);
}

void EDIT_PutMaxLen(WM_HANDLE win, int max_len) {
    GUI_LockGuard lock;
    EditObj* obj = Get(win);
    if (obj == nullptr || max_len < 1 || max_len > kMaxLen || obj->max_len == max_len) return;
    const GUI_HMEM buffer = GUI_ALLOC_AllocZero(max_len + 1);
    if (buffer == 0) return;
    obj = Own(win); // the allocation may have reported; the object stays where it is
    char* t = static_cast<char*>(GUI_ALLOC_Peek(buffer));
    const char* old = Text(obj);
    if (old != nullptr) std::memcpy(t, old, strnlen(old, size_t(max_len)));
    WIDGET_FreeHandle(&obj->buffer);
    obj->buffer = buffer;
    obj->max_len = int16_t(max_len);
    ClampCursor(obj);
    WM_InvalidateWin(win);
}

void EDIT_Blink(WM_HANDLE win, int period_ms, int on) {
    GUI_LockGuard lock;
    EditObj* obj = Get(win);
    if (obj == nullptr) return;
    if (on && period_ms > 0) {
        obj->blink_ms = period_ms;
        if (obj->timer == 0)
            obj->timer = WM_CreateTimer(win, 0, period_ms);
        else
            WM_RestartTimer(obj->timer, period_ms);
    } else {
        if (obj->timer != 0) WM_DeleteTimer(obj->timer);
        obj->timer = 0;
        obj->cursor_shown = 1;
    }
    WM_InvalidateWin(win);
}

void EDIT_PutKeyFilter(WM_HANDLE win, EDIT_KEY_FILTER filter) {
    GUI_LockGuard lock;
    if (EditObj* obj = Get(win)) obj->filter = filter;
}

void EDIT_PutColor(WM_HANDLE win, int index, GUI_COLOUR colour) {
    GUI_LockGuard lock;
    EditObj* obj = Get(win);
    if (obj == nullptr || index < 0 || index > 1 || obj->colour[index] == colour) return;
    obj->colour[index] = colour;
    WM_InvalidateWin(win);
}

int EDIT_GetCursor(WM_HANDLE win) {
    GUI_LockGuard lock;
    EditObj* obj = Get(win);
    return obj ? obj->cursor : 0;
}

int EDIT_GetOverwrite(WM_HANDLE win) {
    GUI_LockGuard lock;
    EditObj* obj = Get(win);
    return obj ? obj->overwrite : 0;
}

int EDIT_ReadUserBytes(WM_HANDLE win, void* buffer, int n) {
    return WIDGET_ReadUserBytes(win, WIDGET_TYPE_EDIT, kWrongType, buffer, sizeof(EditObj), n);
}

int EDIT_WriteUserBytes(WM_HANDLE win, const void* buffer, int n) {
    return WIDGET_WriteUserBytes(win, WIDGET_TYPE_EDIT, kWrongType, buffer, sizeof(EditObj), n);
}
