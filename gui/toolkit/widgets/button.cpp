#include "gui/toolkit/widgets/button.h"

#include "gui/toolkit/core/gui_lock.h"
#include "gui/toolkit/core/gui_report.h"
#include "gui/toolkit/widgets/widget.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr const char* kWrongType =
    "BUTTON:\nWrong handle type or Object not init'ed in BUTTON_LockH()";

struct ButtonObj {
    WIDGET_Obj w;
    GUI_HMEM text;
    const GUI_FONTDEF* font;
    std::array<GUI_COLOUR, 3> fill;
    std::array<GUI_COLOUR, 3> text_colour;
    std::array<const GUI_PICTURE*, 3> image;
    uint8_t flex;
    uint8_t see_through; // asked for by the creator
};

struct Defaults {
    std::array<GUI_COLOUR, 3> fill{0xD0D0D0, 0x909090, 0xC0C0C0};
    std::array<GUI_COLOUR, 3> text_colour{0x000000, 0x000000, 0x808080};
    const GUI_FONTDEF* font = &FONT_13;
    bool flex = false;
};
Defaults g_defaults;

ButtonObj* Get(WM_HANDLE win) {
    return WIDGET_AsChecked<ButtonObj>(win, WIDGET_TYPE_BUTTON, kWrongType);
}

ButtonObj* Own(WM_HANDLE win) {
    return WIDGET_As<ButtonObj>(win, WIDGET_TYPE_BUTTON);
}

bool Opaque(GUI_COLOUR c) {
    return (c >> 24) != 0xFF;
}

// A look that leaves parts of the button unpainted (rounded corners, no background) needs
// what lies beneath painted first, or stale pixels would show there.
void UpdateSeeThrough(WM_HANDLE win, const ButtonObj* obj) {
    bool open = obj->see_through || obj->flex;
    for (GUI_COLOUR c : obj->fill)
        open = open || !Opaque(c);
    WIDGET_SetSeeThrough(win, open);
}

int StateIndex(const ButtonObj* obj) {
    if (WIDGET_IsDisabled(&obj->w)) return BUTTON_CI_DISABLED;
    return (obj->w.state & WIDGET_STATE_PRESSED) ? BUTTON_CI_PRESSED : BUTTON_CI_UNPRESSED;
}

void PaintFlex(const ButtonObj* obj, const GUI_RECT& r, int index) {
    // The toolkit's own rounded look: a soft grey gradient, bluish while pressed.
    static constexpr GUI_COLOUR kTop[3] = {0xFAFAFA, 0xF6E2CB, 0xEEEEEE};
    static constexpr GUI_COLOUR kBottom[3] = {0xD2D2D2, 0xE0B484, 0xDCDCDC};
    static constexpr GUI_COLOUR kFrame[3] = {0x707070, 0x9C6A35, 0xB4B4B4};
    const int radius = std::min(5, std::min(r.x1 - r.x0, r.y1 - r.y0) / 2);
    GUI_FillRoundRectGradient(r.x0, r.y0, r.x1, r.y1, radius, kTop[index], kBottom[index]);
    GUI_SetDrawColor(kFrame[index]);
    GUI_DrawRoundRect(r.x0, r.y0, r.x1, r.y1, radius);
    if ((obj->w.state & WIDGET_STATE_FOCUS) && index != BUTTON_CI_DISABLED) {
        GUI_SetDrawColor(0xD77800);
        GUI_DrawRoundRect(r.x0 + 1, r.y0 + 1, r.x1 - 1, r.y1 - 1, std::max(radius - 1, 0));
    }
}

void Paint(const ButtonObj* obj) {
    WIDGET_PaintScope scope;
    const GUI_RECT whole{0, 0, int16_t(obj->w.win.rect.x1 - obj->w.win.rect.x0),
                         int16_t(obj->w.win.rect.y1 - obj->w.win.rect.y0)};
    const int index = StateIndex(obj);
    GUI_RECT r = whole;
    if (obj->flex) {
        PaintFlex(obj, whole, index);
    } else {
        if (Opaque(obj->fill[index])) {
            GUI_SetDrawColor(obj->fill[index]);
            GUI_FillRectangleR(&whole);
        }
        r = WIDGET_DrawEffect(&obj->w);
    }
    const GUI_PICTURE* image = obj->image[index] ? obj->image[index] : obj->image[0];
    if (image != nullptr) {
        const int w = r.x1 - r.x0 + 1;
        const int h = r.y1 - r.y0 + 1;
        GUI_BlitPicture(image, r.x0 + (w - image->x_size) / 2, r.y0 + (h - image->y_size) / 2);
    }
    const char* text = WIDGET_GetText(obj->text);
    if (*text != '\0') {
        GUI_SelectFont(obj->font);
        GUI_SetDrawColor(obj->text_colour[index]);
        // A pressed classic button shows its text one pixel lower and to the right.
        if (!obj->flex && index == BUTTON_CI_PRESSED && !Opaque(obj->fill[index])) {
            r.x0 += 1;
            r.y0 += 1;
            r.x1 += 1;
            r.y1 += 1;
        }
        GUI_PrintInRect(text, &r, GUI_ALIGN_HCENTER | GUI_ALIGN_VCENTER);
    }
    if (!obj->flex && (obj->w.state & WIDGET_STATE_FOCUS) && obj->w.effect->size > 0) {
        GUI_SetDrawColor(0x000000);
        GUI_DrawRoundRect(r.x0 + 1, r.y0 + 1, r.x1 - 1, r.y1 - 1, 0);
    }
}

// Tells the parent while the button is visible; the button's object afterwards, nullptr when
// the parent deleted it.
ButtonObj* Tell(WM_HANDLE win, ButtonObj* obj, int code) {
    if (!WIDGET_IsVisible(win)) return obj;
    return WIDGET_NotifyAs<ButtonObj>(win, WIDGET_TYPE_BUTTON, code);
}

// Sets the pressed state and tells the parent; false when the button went away meanwhile.
bool Press(WM_HANDLE win) {
    ButtonObj* obj = Own(win);
    if (obj == nullptr) return false;
    obj->w.state |= WIDGET_STATE_PRESSED;
    WM_InvalidateWin(win);
    return Tell(win, obj, WM_NOTIFICATION_CLICKED) != nullptr;
}

void Release(WM_HANDLE win, int code) {
    ButtonObj* obj = Own(win);
    if (obj == nullptr || !(obj->w.state & WIDGET_STATE_PRESSED)) return;
    obj->w.state &= uint16_t(~WIDGET_STATE_PRESSED);
    WM_InvalidateWin(win);
    Tell(win, obj, code);
}

void OnPointer(WM_HANDLE win, ButtonObj* obj, const WM_POINTER_STATE* state) {
    const bool pressed = (obj->w.state & WIDGET_STATE_PRESSED) != 0;
    if (state == nullptr) {
        if (pressed) Release(win, WM_NOTIFICATION_POINTER_LEFT);
        return;
    }
    if (state->pressed) {
        if (!pressed && !WIDGET_IsDisabled(&obj->w)) Press(win);
        return;
    }
    const int w = obj->w.win.rect.x1 - obj->w.win.rect.x0 + 1;
    const int h = obj->w.win.rect.y1 - obj->w.win.rect.y0 + 1;
    const bool inside = state->x >= 0 && state->y >= 0 && state->x < w && state->y < h;
    Release(win, inside ? WM_NOTIFICATION_RELEASED : WM_NOTIFICATION_POINTER_LEFT);
}

// Enter clicks at once; Space presses on the key's press and releases on its release.
bool OnKey(WM_HANDLE win, ButtonObj* obj, const WM_KEY_EVENT* key) {
    if (key == nullptr) return false;
    if (key->key == 13) {
        if (key->pressed_cnt > 0 && !WIDGET_IsDisabled(&obj->w) && Press(win)) {
            Release(win, WM_NOTIFICATION_RELEASED);
        }
        return true;
    }
    if (key->key == 32) {
        if (key->pressed_cnt > 0) {
            if (!WIDGET_IsDisabled(&obj->w)) Press(win);
        } else {
            Release(win, WM_NOTIFICATION_RELEASED);
        }
        return true;
    }
    return false;
}

} // namespace

void BUTTON_DefaultProc(WM_MSG_RECORD* msg) {
    if (msg == nullptr) return;
    GUI_LockGuard lock;
    const WM_HANDLE win = msg->target;
    ButtonObj* obj = Own(win);
    if (obj == nullptr) return WM_FallbackProc(msg);
    if (WIDGET_HandleCommon(msg, &obj->w)) return;
    switch (msg->msg_id) {
        case WM_MSG_PAINT:
            Paint(obj);
            return;
        case WM_MSG_POINTER:
            OnPointer(win, obj, static_cast<const WM_POINTER_STATE*>(msg->data.p));
            return;
        case WM_MSG_KEY:
            if (OnKey(win, obj, static_cast<const WM_KEY_EVENT*>(msg->data.p))) return;
            break;
        case WM_MSG_ENABLE_CHANGED:
            // Disabling drops a press silently: the action must not follow.
            if (msg->data.v == 0) obj->w.state &= uint16_t(~WIDGET_STATE_PRESSED);
            break;
        case WM_MSG_DELETE:
            WIDGET_FreeHandle(&obj->text);
            break;
        default:
            break;
    }
    WM_FallbackProc(msg);
}

WM_HANDLE BUTTON_CreateUser(int x0, int y0, int x_size, int y_size, WM_HANDLE parent,
                            uint32_t flags, int, int id, int user_bytes) {
    GUI_LockGuard lock;
    const WM_HANDLE win =
        WIDGET_Create(x0, y0, x_size, y_size, parent, flags, BUTTON_DefaultProc, sizeof(ButtonObj),
                       user_bytes, WIDGET_TYPE_BUTTON, id, WIDGET_STATE_FOCUSABLE);
    if (win == 0) {
        GUI_ReportWarning("BUTTON:\nBUTTON_CreateUser() failed");
        return 0;
    }
    ButtonObj* obj = Own(win);
    obj->font = g_defaults.font;
    obj->fill = g_defaults.fill;
    obj->text_colour = g_defaults.text_colour;
    obj->flex = g_defaults.flex;
    obj->see_through = (flags & WM_CF_SEE_THROUGH) != 0;
    UpdateSeeThrough(win, obj);
    WIDGET_Finish(win, flags);
    return win;
}

WM_HANDLE BUTTON_Make(int x0, int y0, int x_size, int y_size, WM_HANDLE parent, uint32_t flags,
                      int type_flags, int id) {
    return BUTTON_CreateUser(x0, y0, x_size, y_size, parent, flags, type_flags, id, 0);
}

WM_HANDLE BUTTON_CreateIndirect(const WM_DIALOG_ITEM* item, WM_HANDLE parent, int x0, int y0,
                                WM_PROC) {
    if (item == nullptr) return 0;
    GUI_LockGuard lock;
    const WM_HANDLE win =
        BUTTON_CreateUser(item->x0 + x0, item->y0 + y0, item->x_size, item->y_size, parent,
                          item->flags, item->para, item->id, int(item->extra_bytes));
    if (win != 0 && item->text != nullptr) BUTTON_PutText(win, item->text);
    return win;
}

int BUTTON_PutText(WM_HANDLE win, const char* text) {
    GUI_LockGuard lock;
    ButtonObj* obj = Get(win);
    if (obj == nullptr) return 1;
    if (text != nullptr && obj->text != 0 && std::strcmp(WIDGET_GetText(obj->text), text) == 0)
        return 0;
    if (WIDGET_PutText(&obj->text, text) != 0) return 1;
    WM_InvalidateWin(win);
    return 0;
}

int BUTTON_ReadText(WM_HANDLE win, char* buffer, int size) {
    GUI_LockGuard lock;
    ButtonObj* obj = Get(win);
    return WIDGET_CopyOut(obj ? WIDGET_GetText(obj->text) : "", buffer, size);
}

void BUTTON_PutFont(WM_HANDLE win, const GUI_FONTDEF* font) {
    GUI_LockGuard lock;
    ButtonObj* obj = Get(win);
    if (obj == nullptr || font == nullptr || obj->font == font) return;
    obj->font = font;
    WM_InvalidateWin(win);
}

void BUTTON_PutFillColor(WM_HANDLE win, int index, GUI_COLOUR colour) {
    GUI_LockGuard lock;
    ButtonObj* obj = Get(win);
    if (obj == nullptr || index < 0 || index > 2 || obj->fill[size_t(index)] == colour) return;
    obj->fill[size_t(index)] = colour;
    UpdateSeeThrough(win, obj);
    WM_InvalidateWin(win);
}

void BUTTON_PutTextColor(WM_HANDLE win, int index, GUI_COLOUR colour) {
    GUI_LockGuard lock;
    ButtonObj* obj = Get(win);
    if (obj == nullptr || index < 0 || index > 2 || obj->text_colour[size_t(index)] == colour)
        return;
    obj->text_colour[size_t(index)] = colour;
    WM_InvalidateWin(win);
}

void BUTTON_PutImage(WM_HANDLE win, int index, const GUI_PICTURE* picture) {
    GUI_LockGuard lock;
    ButtonObj* obj = Get(win);
    if (obj == nullptr || index < 0 || index > 2 || obj->image[size_t(index)] == picture) return;
    obj->image[size_t(index)] = picture;
    WM_InvalidateWin(win);
}

void BUTTON_AllowFocus(WM_HANDLE win, int on) {
    GUI_LockGuard lock;
    ButtonObj* obj = Get(win);
    if (obj == nullptr) return;
    if (on)
        obj->w.state |= WIDGET_STATE_FOCUSABLE;
    else
        obj->w.state &= uint16_t(~WIDGET_STATE_FOCUSABLE);
}

int BUTTON_IsDown(WM_HANDLE win) {
    GUI_LockGuard lock;
    ButtonObj* obj = Get(win);
    return (obj && (obj->w.state & WIDGET_STATE_PRESSED)) ? 1 : 0;
}

void BUTTON_UseFlexLook(WM_HANDLE win) {
    GUI_LockGuard lock;
    ButtonObj* obj = Get(win);
    if (obj == nullptr || obj->flex) return;
    obj->flex = 1;
    UpdateSeeThrough(win, obj);
    WM_InvalidateWin(win);
}

void BUTTON_UseClassicLook(WM_HANDLE win) {
    GUI_LockGuard lock;
    ButtonObj* obj = Get(win);
    if (obj == nullptr || !obj->flex) return;
    obj->flex = 0;
    UpdateSeeThrough(win, obj);
    WM_InvalidateWin(win);
}

void BUTTON_UseFlexLookByDefault() {
    GUI_LockGuard lock;
    g_defaults.flex = true;
}

void BUTTON_UseClassicLookByDefault() {
    GUI_LockGuard lock;
    g_defaults.flex = false;
}

void BUTTON_PutDefaultFillColor(int index, GUI_COLOUR colour) {
    GUI_LockGuard lock;
    if (index >= 0 && index <= 2) g_defaults.fill[size_t(index)] = colour;
}

void BUTTON_PutDefaultTextColor(int index, GUI_COLOUR colour) {
    GUI_LockGuard lock;
    if (index >= 0 && index <= 2) g_defaults.text_colour[size_t(index)] = colour;
}

void BUTTON_PutDefaultFont(const GUI_FONTDEF* font) {
    GUI_LockGuard lock;
    if (font != nullptr) g_defaults.font = font;
}

int BUTTON_ReadUserBytes(WM_HANDLE win, void* buffer, int n) {
    return WIDGET_ReadUserBytes(win, WIDGET_TYPE_BUTTON, kWrongType, buffer, sizeof(ButtonObj), n);
}

int BUTTON_WriteUserBytes(WM_HANDLE win, const void* buffer, int n) {
    return WIDGET_WriteUserBytes(win, WIDGET_TYPE_BUTTON, kWrongType, buffer, sizeof(ButtonObj),
                                  n);
}
