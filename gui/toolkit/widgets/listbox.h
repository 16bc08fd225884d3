// List box: a vertical list of text lines with one selected line and a vertical scroll bar.
// The mouse wheel scrolls the lines (WM_WHEEL_LINES per notch) without changing the selection.
// Colour indexes: 0 unselected, 1 selected, 2 selected with focus, 3 disabled.
#pragma once

#include "gui/toolkit/wm/wm.h"

constexpr int LISTBOX_CI_UNSEL = 0;
constexpr int LISTBOX_CI_SEL = 1;
constexpr int LISTBOX_CI_SELFOCUS = 2;
constexpr int LISTBOX_CI_DISABLED = 3;

// items: null, or a list of texts ending with a null pointer.
WM_HANDLE LISTBOX_Make(int x0, int y0, int x_size, int y_size, WM_HANDLE parent, uint32_t flags,
                       int type_flags, int id, const char* const* items);
WM_HANDLE LISTBOX_CreateUser(int x0, int y0, int x_size, int y_size, WM_HANDLE parent,
                             uint32_t flags, int type_flags, int id, const char* const* items,
                             int user_bytes);

// Adds a line at the end; a full heap leaves the list unchanged (reported as a warning).
void LISTBOX_Append(WM_HANDLE win, const char* text);
// Removes a line (the selection stays on its line, or none when that one goes).
void LISTBOX_DeleteItem(WM_HANDLE win, int index);
int LISTBOX_Count(WM_HANDLE win);
// Selects the line: past the end the last one; negative or disabled: none. On a change it
// scrolls the line into view and tells the parent WM_NOTIFICATION_CHANGED.
void LISTBOX_Select(WM_HANDLE win, int index);
// The selected line, -1 for none.
int LISTBOX_Selected(WM_HANDLE win);
// The first line shown.
int LISTBOX_TopLine(WM_HANDLE win);
// Copies the line's text (at most size - 1 characters and a zero); returns the count.
int LISTBOX_ReadItemText(WM_HANDLE win, int index, char* buffer, int size);
void LISTBOX_PutItemDisabled(WM_HANDLE win, int index, int on);
// The vertical scroll bar is shown only while the lines do not fit.
void LISTBOX_AutoScrollV(WM_HANDLE win, int on);
// Width of its scroll bar; 0 takes the default width.
void LISTBOX_PutScrollbarWidth(WM_HANDLE win, int width);
// index 0 to 3 (LISTBOX_CI_*); 4 or more is ignored.
void LISTBOX_PutFillColor(WM_HANDLE win, int index, GUI_COLOUR colour);
void LISTBOX_PutTextColor(WM_HANDLE win, int index, GUI_COLOUR colour);
GUI_COLOUR LISTBOX_GetFillColor(WM_HANDLE win, int index);
void LISTBOX_PutFont(WM_HANDLE win, const GUI_FONTDEF* font);

// For the drop-down list: notifications go to this window instead of the parent, and a
// release on an enabled line is told as WM_NOTIFICATION_RELEASED.
void LISTBOX_PutOwner(WM_HANDLE win, WM_HANDLE owner);
