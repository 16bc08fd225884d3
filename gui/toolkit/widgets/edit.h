// Edit field: a single line of text with a cursor, edited by keys (insert and overwrite mode)
// or by a key filter of the caller's, with an optional blinking cursor.
#pragma once

#include "gui/toolkit/wm/wm.h"

// Key codes the field edits with.
constexpr int EDIT_KEY_BACKSPACE = 8;
constexpr int EDIT_KEY_LEFT = 16;
constexpr int EDIT_KEY_UP = 17;
constexpr int EDIT_KEY_RIGHT = 18;
constexpr int EDIT_KEY_DOWN = 19;
constexpr int EDIT_KEY_INSERT = 29;
constexpr int EDIT_KEY_DELETE = 30;

// An empty field for texts of at most max_len characters (1 to 32767). 0 on failure
// (reported).
WM_HANDLE EDIT_Make(int x0, int y0, int x_size, int y_size, WM_HANDLE parent, uint32_t flags,
                    int type_flags, int id, int max_len);
WM_HANDLE EDIT_CreateUser(int x0, int y0, int x_size, int y_size, WM_HANDLE parent, uint32_t flags,
                          int type_flags, int id, int max_len, int user_bytes);
// For dialog tables: the item's parameter is the maximum length.
WM_HANDLE EDIT_CreateIndirect(const WM_DIALOG_ITEM* item, WM_HANDLE parent, int x0, int y0,
                              WM_PROC callback);

// Replaces the text, cut to the maximum length (null empties the field); the cursor goes
// behind the last character, or onto it when the field is full in overwrite mode.
void EDIT_PutText(WM_HANDLE win, const char* text);
// At most size - 1 characters and a zero; returns the characters copied.
int EDIT_ReadText(WM_HANDLE win, char* buffer, int size);
void EDIT_PutFont(WM_HANDLE win, const GUI_FONTDEF* font);
// Horizontal alignment of the text in the field (the vertical part is always centred).
void EDIT_PutAlign(WM_HANDLE win, int alignment);
// A shorter length cuts the present text; ignored when the heap has no room for the new
// buffer or the length is out of range.
void EDIT_PutMaxLen(WM_HANDLE win, int max_len);
// Blinks the cursor with the period (ms) through a toolkit timer, or stops it.
void EDIT_Blink(WM_HANDLE win, int period_ms, int on);
// Replaces the field's own editing: every key press the field would edit with goes to the
// filter instead (it typically reads, changes and puts back the text). Null restores it.
using EDIT_KEY_FILTER = void (*)(WM_HANDLE win, int key);
void EDIT_PutKeyFilter(WM_HANDLE win, EDIT_KEY_FILTER filter);
// Index 0 the background, 1 the text.
void EDIT_PutColor(WM_HANDLE win, int index, GUI_COLOUR colour);
// The cursor position and the insert (0) or overwrite (1) mode.
int EDIT_GetCursor(WM_HANDLE win);
int EDIT_GetOverwrite(WM_HANDLE win);

int EDIT_ReadUserBytes(WM_HANDLE win, void* buffer, int n);
int EDIT_WriteUserBytes(WM_HANDLE win, const void* buffer, int n);
