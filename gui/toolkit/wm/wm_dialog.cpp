// Dialogs built from an item table: the first item is the dialog window, the others its items.
#include "gui/toolkit/wm/wm_internal.h"

#include "gui/toolkit/core/gui_lock.h"

WM_HANDLE GUI_CreateDialogFromTable(const WM_DIALOG_ITEM* items, int count, WM_PROC callback,
                                    WM_HANDLE parent, int x0, int y0) {
    if (items == nullptr || count < 1 || items[0].create == nullptr) return 0;
    GUI_LockGuard lock;
    const WM_HANDLE dialog = items[0].create(&items[0], parent, x0, y0, callback);
    if (dialog == 0) return 0;
    WM_MSG_RECORD query{};
    query.msg_id = WM_MSG_GET_CLIENT;
    WM__SendMessage(dialog, &query);
    const WM_HANDLE client = WM_ObjOf(query.data.h) ? query.data.h : dialog;
    WM_ShowWin(dialog);
    WM_ShowWin(client);
    for (int i = 1; i < count; ++i) {
        const WM_HANDLE item =
            items[i].create ? items[i].create(&items[i], client, 0, 0, nullptr) : 0;
        if (item == 0) {
            WM_DeleteWindow(dialog);
            return 0;
        }
        WM_ShowWin(item);
    }
    WM_MSG_RECORD init{};
    init.msg_id = WM_MSG_INIT_DIALOG;
    WM__SendMessage(client, &init);
    if (parent != -1 && WM_ObjOf(client) != nullptr) {
        for (WM_HANDLE c = WM_GetFirstChild(client); c != 0; c = WM_GetNextSibling(c)) {
            if (WM_GiveFocus(c) == 0) break;
        }
    }
    return WM_ObjOf(dialog) ? dialog : 0;
}
