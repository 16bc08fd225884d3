#include "gui/toolkit/widgets/window.h"

#include "gui/toolkit/core/gui_lock.h"
#include "gui/toolkit/core/gui_report.h"
#include "gui/toolkit/widgets/widget.h"

namespace {

constexpr const char* kWrongType =
    "WINDOW:\nWrong handle type or Object not init'ed in WINDOW_LockH()";

struct WindowObj {
    WIDGET_Obj w;
    WM_PROC callback;
    GUI_COLOUR bk;
};

WindowObj* Own(WM_HANDLE win) {
    return WIDGET_As<WindowObj>(win, WIDGET_TYPE_WINDOW);
}

void Proc(WM_MSG_RECORD* msg) {
    const WindowObj* obj = Own(msg->target);
    if (obj == nullptr) return WM_FallbackProc(msg);
    switch (msg->msg_id) {
        case WM_MSG_GET_ID:
            msg->data.v = obj->w.id;
            return;
        case WM_MSG_GET_BKCOLOR:
            msg->data.p = nullptr;
            msg->data.colour = obj->bk;
            return;
        case WM_MSG_PAINT:
            if (!(obj->w.win.status & WM_CF_SEE_THROUGH) && obj->bk != WM_INVALID_COLOUR) {
                GUI_SetBackColor(obj->bk);
                GUI_ClearWindow();
            }
            break;
        default:
            break;
    }
    if (obj->callback != nullptr)
        obj->callback(msg);
    else
        WM_FallbackProc(msg);
}

} // namespace

WM_HANDLE WINDOW_CreateUser(int x0, int y0, int x_size, int y_size, WM_HANDLE parent,
                            uint32_t flags, int id, WM_PROC callback, int user_bytes) {
    GUI_LockGuard lock;
    const WM_HANDLE win = WIDGET_Create(x0, y0, x_size, y_size, parent, flags, Proc,
                                         sizeof(WindowObj), user_bytes, WIDGET_TYPE_WINDOW, id, 0);
    if (win == 0) return 0;
    WindowObj* obj = Own(win);
    obj->callback = callback;
    obj->bk = WM_INVALID_COLOUR;
    WIDGET_Finish(win, flags);
    return win;
}

WM_HANDLE WINDOW_CreateIndirect(const WM_DIALOG_ITEM* item, WM_HANDLE parent, int x0, int y0,
                                WM_PROC callback) {
    if (item == nullptr) return 0;
    return WINDOW_CreateUser(item->x0 + x0, item->y0 + y0, item->x_size, item->y_size, parent,
                             item->flags, item->id, callback, int(item->extra_bytes));
}

void WINDOW_PutBkColor(WM_HANDLE win, GUI_COLOUR colour) {
    GUI_LockGuard lock;
    auto* obj = WIDGET_AsChecked<WindowObj>(win, WIDGET_TYPE_WINDOW, kWrongType);
    if (obj == nullptr || obj->bk == colour) return;
    obj->bk = colour;
    WM_InvalidateWin(win);
}

int WINDOW_ReadUserBytes(WM_HANDLE win, void* buffer, int n) {
    return WIDGET_ReadUserBytes(win, WIDGET_TYPE_WINDOW, kWrongType, buffer, sizeof(WindowObj), n);
}

int WINDOW_WriteUserBytes(WM_HANDLE win, const void* buffer, int n) {
    return WIDGET_WriteUserBytes(win, WIDGET_TYPE_WINDOW, kWrongType, buffer, sizeof(WindowObj),
                                  n);
}
