// Text label: a text drawn in its rectangle with an alignment, its own font and colour, over
// whatever lies beneath (always see-through). A label sends no notifications.
#pragma once

#include "gui/toolkit/wm/wm.h"

// alignment: the GUI_ALIGN_* flags; text may be null. 0 on failure (reported).
WM_HANDLE TEXT_Make(int x0, int y0, int x_size, int y_size, WM_HANDLE parent, uint32_t flags,
                    int alignment, int id, const char* text);
WM_HANDLE TEXT_CreateUser(int x0, int y0, int x_size, int y_size, WM_HANDLE parent, uint32_t flags,
                          int alignment, int id, const char* text, int user_bytes);
// For dialog tables: the item's text, id and extra bytes; its parameter is the alignment.
WM_HANDLE TEXT_CreateIndirect(const WM_DIALOG_ITEM* item, WM_HANDLE parent, int x0, int y0,
                              WM_PROC callback);

// 0, or 1 when the heap has no room for the copy (the old text stays).
int TEXT_PutText(WM_HANDLE win, const char* text);
// At most size - 1 characters and a zero; returns the characters copied.
int TEXT_ReadText(WM_HANDLE win, char* buffer, int size);
void TEXT_PutFont(WM_HANDLE win, const GUI_FONTDEF* font);
void TEXT_PutColor(WM_HANDLE win, GUI_COLOUR colour);
void TEXT_PutAlign(WM_HANDLE win, int alignment);
int TEXT_ReadUserBytes(WM_HANDLE win, void* buffer, int n);
int TEXT_WriteUserBytes(WM_HANDLE win, const void* buffer, int n);

// Defaults for labels created later.
void TEXT_PutDefaultColor(GUI_COLOUR colour);
void TEXT_PutDefaultFont(const GUI_FONTDEF* font);
