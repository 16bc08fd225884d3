// Button: a text, a font, background and text colours and a bitmap per state (0 unpressed,
// 1 pressed, 2 disabled), the classic or the flex look. Tells its parent 1 (clicked) when
// pressed, 2 (released) when released on it and 3 (pointer left) when the press is lost.
#pragma once

#include "gui/toolkit/draw/gui_draw.h"
#include "gui/toolkit/wm/wm.h"

constexpr int BUTTON_CI_UNPRESSED = 0;
constexpr int BUTTON_CI_PRESSED = 1;
constexpr int BUTTON_CI_DISABLED = 2;

WM_HANDLE BUTTON_Make(int x0, int y0, int x_size, int y_size, WM_HANDLE parent, uint32_t flags,
                      int type_flags, int id);
WM_HANDLE BUTTON_CreateUser(int x0, int y0, int x_size, int y_size, WM_HANDLE parent,
                            uint32_t flags, int type_flags, int id, int user_bytes);
// For dialog tables: the item's text, id and extra bytes.
WM_HANDLE BUTTON_CreateIndirect(const WM_DIALOG_ITEM* item, WM_HANDLE parent, int x0, int y0,
                                WM_PROC callback);

// 0, or 1 when the heap has no room for the copy (the old text stays).
int BUTTON_PutText(WM_HANDLE win, const char* text);
int BUTTON_ReadText(WM_HANDLE win, char* buffer, int size);
void BUTTON_PutFont(WM_HANDLE win, const GUI_FONTDEF* font);
// index: BUTTON_CI_*; other indexes are ignored. 0xFF000000 is no background.
void BUTTON_PutFillColor(WM_HANDLE win, int index, GUI_COLOUR colour);
void BUTTON_PutTextColor(WM_HANDLE win, int index, GUI_COLOUR colour);
// The bitmap drawn centred in that state (null: none); the pressed and disabled states fall
// back to the unpressed bitmap. The bitmap must outlive the button.
void BUTTON_PutImage(WM_HANDLE win, int index, const GUI_PICTURE* picture);
void BUTTON_AllowFocus(WM_HANDLE win, int on);
int BUTTON_IsDown(WM_HANDLE win);
void BUTTON_UseFlexLook(WM_HANDLE win);
void BUTTON_UseClassicLook(WM_HANDLE win);
// Buttons created afterwards use the flex look / the classic look.
void BUTTON_UseFlexLookByDefault();
void BUTTON_UseClassicLookByDefault();
// Defaults of buttons created later, per state index.
void BUTTON_PutDefaultFillColor(int index, GUI_COLOUR colour);
void BUTTON_PutDefaultTextColor(int index, GUI_COLOUR colour);
void BUTTON_PutDefaultFont(const GUI_FONTDEF* font);

// The button's window procedure, for procedures that replace it and chain to it.
void BUTTON_DefaultProc(WM_MSG_RECORD* msg);

int BUTTON_ReadUserBytes(WM_HANDLE win, void* buffer, int n);
int BUTTON_WriteUserBytes(WM_HANDLE win, const void* buffer, int n);
