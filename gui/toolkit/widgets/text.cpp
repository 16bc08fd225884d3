#include "gui/toolkit/widgets/text.h"

#include "gui/toolkit/core/gui_lock.h"
#include "gui/toolkit/core/gui_report.h"
#include "gui/toolkit/widgets/widget.h"

#include <cstring>

namespace {

constexpr const char* kWrongType = "TEXT:\nWrong handle type or Object not init'ed in TEXT_LockH()";

struct TextObj {
    WIDGET_Obj w;
    GUI_HMEM text;
    const GUI_FONTDEF* font;
    GUI_COLOUR colour;
    int16_t align;
};

GUI_COLOUR g_default_colour = 0x000000;
const GUI_FONTDEF* g_default_font = &FONT_13;

TextObj* Get(WM_HANDLE win) {
    return WIDGET_AsChecked<TextObj>(win, WIDGET_TYPE_TEXT, kWrongType);
}

void Paint(TextObj* obj) {
    WIDGET_PaintScope scope;
    GUI_RECT r{0, 0, int16_t(obj->w.win.rect.x1 - obj->w.win.rect.x0),
               int16_t(obj->w.win.rect.y1 - obj->w.win.rect.y0)};
    GUI_SelectFont(obj->font);
    GUI_SetDrawColor(obj->colour);
    GUI_PrintInRect(WIDGET_GetText(obj->text), &r, obj->align);
}

void Proc(WM_MSG_RECORD* msg) {
    auto* obj = WIDGET_As<TextObj>(msg->target, WIDGET_TYPE_TEXT);
    if (obj == nullptr) return WM_FallbackProc(msg);
    if (WIDGET_HandleCommon(msg, &obj->w)) return;
    switch (msg->msg_id) {
        case WM_MSG_PAINT:
            Paint(obj);
            return;
        case WM_MSG_DELETE:
            WIDGET_FreeHandle(&obj->text);
            break;
        default:
            break;
    }
    WM_FallbackProc(msg);
}

} // namespace

WM_HANDLE TEXT_CreateUser(int x0, int y0, int x_size, int y_size, WM_HANDLE parent, uint32_t flags,
                          int alignment, int id, const char* text, int user_bytes) {
    GUI_LockGuard lock;
    const WM_HANDLE win =
        WIDGET_Create(x0, y0, x_size, y_size, parent, flags | WM_CF_SEE_THROUGH, Proc,
                       sizeof(TextObj), user_bytes, WIDGET_TYPE_TEXT, id, 0);
    if (win == 0) {
        GUI_ReportWarning("TEXT:\nTEXT_CreateUser() failed");
        return 0;
    }
    auto* obj = WIDGET_As<TextObj>(win, WIDGET_TYPE_TEXT);
    obj->font = g_default_font;
    obj->colour = g_default_colour;
    obj->align = int16_t(alignment);
    // A text the heap cannot hold leaves the label empty; the label itself is usable.
    WIDGET_PutText(&obj->text, text);
    WIDGET_Finish(win, flags);
    return win;
}

WM_HANDLE TEXT_Make(int x0, int y0, int x_size, int y_size, WM_HANDLE parent, uint32_t flags,
                    int alignment, int id, const char* text) {
    return TEXT_CreateUser(x0, y0, x_size, y_size, parent, flags, alignment, id, text, 0);
}

WM_HANDLE TEXT_CreateIndirect(const WM_DIALOG_ITEM* item, WM_HANDLE parent, int x0, int y0,
                              WM_PROC) {
    if (item == nullptr) return 0;
    return TEXT_CreateUser(item->x0 + x0, item->y0 + y0, item->x_size, item->y_size, parent,
                           item->flags, item->para, item->id, item->text, int(item->extra_bytes));
}

int TEXT_PutText(WM_HANDLE win, const char* text) {
    GUI_LockGuard lock;
    TextObj* obj = Get(win);
    if (obj == nullptr) return 1;
    if (text != nullptr && obj->text != 0 && std::strcmp(WIDGET_GetText(obj->text), text) == 0)
        return 0;
    if (WIDGET_PutText(&obj->text, text) != 0) return 1;
    WM_InvalidateWin(win);
    return 0;
}

int TEXT_ReadText(WM_HANDLE win, char* buffer, int size) {
    GUI_LockGuard lock;
    TextObj* obj = Get(win);
    if (obj == nullptr) {
        WIDGET_CopyOut("", buffer, size);
        return 0;
    }
    return WIDGET_CopyOut(WIDGET_GetText(obj->text), buffer, size);
}

void TEXT_PutFont(WM_HANDLE win, const GUI_FONTDEF* font) {
    GUI_LockGuard lock;
    TextObj* obj = Get(win);
    if (obj == nullptr || font == nullptr || obj->font == font) return;
    obj->font = font;
    WM_InvalidateWin(win);
}

void TEXT_PutColor(WM_HANDLE win, GUI_COLOUR colour) {
    GUI_LockGuard lock;
    TextObj* obj = Get(win);
    if (obj == nullptr || obj->colour == colour) return;
    obj->colour = colour;
    WM_InvalidateWin(win);
}

void TEXT_PutAlign(WM_HANDLE win, int alignment) {
    GUI_LockGuard lock;
    TextObj* obj = Get(win);
    if (obj == nullptr || obj->align == alignment) return;
    obj->align = int16_t(alignment);
    WM_InvalidateWin(win);
}

int TEXT_ReadUserBytes(WM_HANDLE win, void* buffer, int n) {
    return WIDGET_ReadUserBytes(win, WIDGET_TYPE_TEXT, kWrongType, buffer, sizeof(TextObj), n);
}

int TEXT_WriteUserBytes(WM_HANDLE win, const void* buffer, int n) {
    return WIDGET_WriteUserBytes(win, WIDGET_TYPE_TEXT, kWrongType, buffer, sizeof(TextObj), n);
}

void TEXT_PutDefaultColor(GUI_COLOUR colour) {
    GUI_LockGuard lock;
    g_default_colour = colour;
}

void TEXT_PutDefaultFont(const GUI_FONTDEF* font) {
    GUI_LockGuard lock;
    if (font != nullptr) g_default_font = font;
}
