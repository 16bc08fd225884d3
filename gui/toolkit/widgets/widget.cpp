#include "gui/toolkit/widgets/widget.h"

#include "gui/toolkit/core/gui_alloc.h"
#include "gui/toolkit/core/gui_lock.h"
#include "gui/toolkit/core/gui_report.h"
#include "gui/toolkit/wm/wm_internal.h"

#include <algorithm>
#include <cstring>

namespace {

void DrawNothing(const GUI_RECT*) {}

void Draw3D(const GUI_RECT* r) {
    // Sunken: dark on the top and left, light on the bottom and right.
    GUI_SetDrawColor(0x808080);
    GUI_FillRectangle(r->x0, r->y0, r->x1, r->y0);
    GUI_FillRectangle(r->x0, r->y0, r->x0, r->y1);
    GUI_SetDrawColor(0xFFFFFF);
    GUI_FillRectangle(r->x0, r->y1, r->x1, r->y1);
    GUI_FillRectangle(r->x1, r->y0, r->x1, r->y1);
    GUI_SetDrawColor(0x404040);
    GUI_FillRectangle(r->x0 + 1, r->y0 + 1, r->x1 - 1, r->y0 + 1);
    GUI_FillRectangle(r->x0 + 1, r->y0 + 1, r->x0 + 1, r->y1 - 1);
    GUI_SetDrawColor(0xD4D0C8);
    GUI_FillRectangle(r->x0 + 1, r->y1 - 1, r->x1 - 1, r->y1 - 1);
    GUI_FillRectangle(r->x1 - 1, r->y0 + 1, r->x1 - 1, r->y1 - 1);
}

const WIDGET_EFFECT* g_default_effect = &WIDGET_EFFECT_3D;

} // namespace

const WIDGET_EFFECT WIDGET_EFFECT_FLAT{0, DrawNothing};
const WIDGET_EFFECT WIDGET_EFFECT_3D{2, Draw3D};

void WIDGET_SetDefaultEffect(const WIDGET_EFFECT* effect) {
    GUI_LockGuard lock;
    if (effect != nullptr) g_default_effect = effect;
}

const WIDGET_EFFECT* WIDGET_GetDefaultEffect() {
    GUI_LockGuard lock;
    return g_default_effect;
}

WM_HANDLE WIDGET_Create(int x0, int y0, int x_size, int y_size, WM_HANDLE parent, uint32_t flags,
                         WM_PROC proc, int obj_size, int user_bytes, WIDGET_TYPE type, int id,
                         uint16_t state) {
    if (user_bytes < 0 || user_bytes > 0xFFFF) return 0;
    const int extra = obj_size - int(sizeof(WM_Obj)) + user_bytes;
    // Created invisible, so the first paint happens only once the object is filled in.
    const WM_HANDLE win =
        WM_CreateWindowAsChild(x0, y0, x_size, y_size, parent, flags & ~WM_CF_VISIBLE, proc, extra);
    if (win == 0) return 0;
    auto* obj = static_cast<WIDGET_Obj*>(GUI_ALLOC_Peek(win));
    obj->type = type;
    obj->id = id;
    obj->state = state;
    obj->num_user_bytes = uint16_t(user_bytes);
    obj->effect = g_default_effect;
    return win;
}

WIDGET_Obj* WIDGET_Peek(WM_HANDLE win, WIDGET_TYPE type) {
    WM_Obj* w = WM_ObjOf(win);
    if (w == nullptr) return nullptr;
    int32_t size = 0;
    GUI_ALLOC_Peek(win, &size);
    if (size < int32_t(sizeof(WIDGET_Obj))) return nullptr;
    auto* obj = reinterpret_cast<WIDGET_Obj*>(w);
    return obj->type == type ? obj : nullptr;
}

WIDGET_Obj* WIDGET_Checked(WM_HANDLE win, WIDGET_TYPE type, const char* wrong_text) {
    if (win == 0) return nullptr;
    WIDGET_Obj* obj = WIDGET_Peek(win, type);
    if (obj == nullptr) GUI_ReportError(wrong_text);
    return obj;
}

WIDGET_Obj* WIDGET_Notify(WM_HANDLE win, WIDGET_TYPE type, int code, WM_HANDLE receiver) {
    if (receiver != 0) {
        WM_MSG_RECORD msg{};
        msg.msg_id = WM_MSG_NOTIFY_PARENT;
        msg.source = win;
        msg.data.v = code;
        WM__SendMessage(receiver, &msg);
    } else {
        WM_TellParent(win, code);
    }
    // The handle carries a generation count: a deleted widget, or a new window in its place,
    // does not match any more.
    return WIDGET_Peek(win, type);
}

bool WIDGET_HandleCommon(WM_MSG_RECORD* msg, WIDGET_Obj* obj) {
    switch (msg->msg_id) {
        case WM_MSG_GET_ID:
            msg->data.v = obj->id;
            return true;
        case WM_MSG_SET_FOCUS: {
            const WM_HANDLE win = msg->target;
            if (msg->data.v == 1) {
                if (!(obj->state & WIDGET_STATE_FOCUSABLE)) {
                    msg->data.v = 1;
                    return true;
                }
                obj->state |= WIDGET_STATE_FOCUS;
                msg->data.v = 0;
                WM_InvalidateWin(win);
                WIDGET_Notify(win, WIDGET_TYPE(obj->type), WM_NOTIFICATION_FOCUS_GAINED);
            } else {
                obj->state &= uint16_t(~WIDGET_STATE_FOCUS);
                msg->data.v = 0;
                WM_InvalidateWin(win);
                WIDGET_Notify(win, WIDGET_TYPE(obj->type), WM_NOTIFICATION_FOCUS_LOST);
            }
            // obj may be gone now: nothing after the notification touches it.
            return true;
        }
        default:
            return false;
    }
}

int WIDGET_ReadUserBytes(WM_HANDLE win, WIDGET_TYPE type, const char* wrong_text, void* buffer,
                          int obj_size, int n) {
    GUI_LockGuard lock;
    WIDGET_Obj* obj = WIDGET_Checked(win, type, wrong_text);
    if (obj == nullptr || buffer == nullptr || n <= 0) return 0;
    n = std::min(n, int(obj->num_user_bytes));
    std::memcpy(buffer, reinterpret_cast<const uint8_t*>(obj) + obj_size, size_t(n));
    return n;
}

int WIDGET_WriteUserBytes(WM_HANDLE win, WIDGET_TYPE type, const char* wrong_text,
                           const void* buffer, int obj_size, int n) {
    GUI_LockGuard lock;
    WIDGET_Obj* obj = WIDGET_Checked(win, type, wrong_text);
    if (obj == nullptr || buffer == nullptr || n <= 0) return 0;
    n = std::min(n, int(obj->num_user_bytes));
    std::memcpy(reinterpret_cast<uint8_t*>(obj) + obj_size, buffer, size_t(n));
    return n;
}

int WIDGET_PutText(GUI_HMEM* text, const char* s) {
    if (s == nullptr) {
        WIDGET_FreeHandle(text);
        return 0;
    }
    const size_t len = std::strlen(s);
    if (len >= size_t(INT32_MAX)) return 1;
    const GUI_HMEM copy = GUI_ALLOC_AllocZero(int32_t(len + 1));
    if (copy == 0) return 1;
    std::memcpy(GUI_ALLOC_Peek(copy), s, len + 1);
    WIDGET_FreeHandle(text);
    *text = copy;
    return 0;
}

const char* WIDGET_GetText(GUI_HMEM text) {
    if (text == 0) return "";
    const auto* s = static_cast<const char*>(GUI_ALLOC_Peek(text));
    return s ? s : "";
}

void WIDGET_FreeHandle(GUI_HMEM* handle) {
    if (*handle != 0) GUI_ALLOC_Free(*handle);
    *handle = 0;
}

int WIDGET_CopyOut(const char* s, char* buffer, int size) {
    if (buffer == nullptr || size <= 0) return 0;
    const int n = int(strnlen(s, size_t(size - 1)));
    std::memcpy(buffer, s, size_t(n));
    buffer[n] = '\0';
    return n;
}

GUI_RECT WIDGET_DrawEffect(const WIDGET_Obj* obj) {
    GUI_RECT r{0, 0, int16_t(obj->win.rect.x1 - obj->win.rect.x0),
               int16_t(obj->win.rect.y1 - obj->win.rect.y0)};
    const WIDGET_EFFECT* effect = obj->effect ? obj->effect : &WIDGET_EFFECT_FLAT;
    effect->draw(&r);
    const int s = effect->size;
    return GUI_RECT{int16_t(r.x0 + s), int16_t(r.y0 + s), int16_t(r.x1 - s), int16_t(r.y1 - s)};
}

void WIDGET_Finish(WM_HANDLE win, uint32_t flags) {
    if (flags & WM_CF_VISIBLE) WM_ShowWin(win);
}

void WIDGET_SetSeeThrough(WM_HANDLE win, bool on) {
    WM_Obj* obj = WM_ObjOf(win);
    if (obj == nullptr || ((obj->status & WM_CF_SEE_THROUGH) != 0) == on) return;
    // Repaint what it covered before and after, as the window manager would at creation.
    WM_InvalidateWin(win);
    if (on) {
        obj->status |= WM_CF_SEE_THROUGH;
        ++g_wm.num_transparent;
    } else {
        obj->status &= ~WM_CF_SEE_THROUGH;
        --g_wm.num_transparent;
    }
    WM_InvalidateWin(win);
}

int WIDGET_TextWidth(const GUI_FONTDEF* font, const char* text) {
    if (font == nullptr || text == nullptr || font->char_advance == nullptr) return 0;
    int w = 0;
    for (; *text != '\0'; ++text)
        w += font->char_advance(font, uint8_t(*text));
    return w;
}

bool WIDGET_IsVisible(WM_HANDLE win) {
    const WM_Obj* obj = WM_ObjOf(win);
    return obj != nullptr && (obj->status & WM_CF_VISIBLE);
}

bool WIDGET_IsDisabled(const WIDGET_Obj* obj) {
    return (obj->win.status & WM_STATE_DISABLED) != 0;
}

WIDGET_PaintScope::WIDGET_PaintScope()
    : font_(GUI_SelectFont(nullptr)), mode_(GUI_SetTextDrawMode(GUI_TEXTMODE_TRANSPARENT)),
      align_(GUI_GetTextAlign()), width_(GUI_GetLineWidth()) {}

WIDGET_PaintScope::~WIDGET_PaintScope() {
    GUI_SelectFont(font_);
    GUI_SetTextDrawMode(mode_);
    GUI_SetTextAlign(align_);
    GUI_SetLineWidth(width_);
}
