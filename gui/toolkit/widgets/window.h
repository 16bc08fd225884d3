// Plain window: the dialog window type of GUI_CreateDialogFromTable. It fills its area with its
// background colour (unless see-through or without one), answers its id, is its own client
// window, and passes every message, its children's notifications included, to its callback.
#pragma once

#include "gui/toolkit/wm/wm.h"

WM_HANDLE WINDOW_CreateUser(int x0, int y0, int x_size, int y_size, WM_HANDLE parent,
                            uint32_t flags, int id, WM_PROC callback, int user_bytes);
// For dialog tables (the first item): the item's id and extra bytes, the dialog's callback.
WM_HANDLE WINDOW_CreateIndirect(const WM_DIALOG_ITEM* item, WM_HANDLE parent, int x0, int y0,
                                WM_PROC callback);
// WM_INVALID_COLOUR: no background is drawn (the default).
void WINDOW_PutBkColor(WM_HANDLE win, GUI_COLOUR colour);
int WINDOW_ReadUserBytes(WM_HANDLE win, void* buffer, int n);
int WINDOW_WriteUserBytes(WM_HANDLE win, const void* buffer, int n);
