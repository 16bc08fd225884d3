// Drop-down list: a closed field showing the selected item; pressing it opens a list below it
// (or above, when the display ends first). Choosing an enabled item selects it and closes the
// list; a change of the selection is told as WM_NOTIFICATION_CHANGED (4). While the list is
// open the mouse wheel scrolls it wherever the pointer is.
#pragma once

#include "gui/toolkit/wm/wm.h"

// Type flag: the open list shows its scroll bar only while the items do not fit.
constexpr int DROPDOWN_CF_AUTOSCROLLBAR = 1;

// y_size is the height of the open list; the closed field is one line of its font high plus
// the frame.
WM_HANDLE DROPDOWN_Make(int x0, int y0, int x_size, int y_size, WM_HANDLE parent, uint32_t flags,
                        int type_flags, int id);
WM_HANDLE DROPDOWN_CreateUser(int x0, int y0, int x_size, int y_size, WM_HANDLE parent,
                              uint32_t flags, int type_flags, int id, int user_bytes);

// A full heap leaves the items unchanged (reported as a warning).
void DROPDOWN_Append(WM_HANDLE win, const char* text);
int DROPDOWN_Count(WM_HANDLE win);
int DROPDOWN_Selected(WM_HANDLE win);
// Beyond the last item (or below 0) clamps to the last (or the first); 0 for an empty list.
void DROPDOWN_Select(WM_HANDLE win, int index);
void DROPDOWN_PutFont(WM_HANDLE win, const GUI_FONTDEF* font);
// The open list's scroll bar width (0: the default), passed on at once to an open list.
void DROPDOWN_PutScrollbarWidth(WM_HANDLE win, int width);
// A disabled item is greyed and cannot be chosen with the pointer (the program may still
// select it).
void DROPDOWN_PutItemDisabled(WM_HANDLE win, int index, int on);
int DROPDOWN_IsItemDisabled(WM_HANDLE win, int index);
// Opens or closes the list as a press on the field would; 1 while open.
void DROPDOWN_Expand(WM_HANDLE win);
void DROPDOWN_Collapse(WM_HANDLE win);
int DROPDOWN_IsExpanded(WM_HANDLE win);
// The open list (a LISTBOX), 0 while closed.
WM_HANDLE DROPDOWN_GetListbox(WM_HANDLE win);

// Where the open list goes for a field covering the screen rows field_y0 to field_y1, on a
// display whose rows are 0 to screen_y1: below the field when the list fits there, else above
// it when it fits there, else on the side with more room, shortened to that room (at least one
// row).
struct DROPDOWN_PLACE {
    int y0;
    int height;
};
DROPDOWN_PLACE DROPDOWN_PlaceList(int field_y0, int field_y1, int height, int screen_y1);

int DROPDOWN_ReadUserBytes(WM_HANDLE win, void* buffer, int n);
int DROPDOWN_WriteUserBytes(WM_HANDLE win, const void* buffer, int n);
