// The information window (the display unit's firmware revision and address as its title, and
// a scrolling list of search and event messages) and the font fitting the pages share.
#pragma once

#include "gui/toolkit/gui_font.h"
#include "gui/toolkit/wm/wm.h"

constexpr int INFO_ID_CLOSE = 2648;
constexpr int INFO_ID_TITLE = 2649;
constexpr int INFO_ID_LIST = 2650;
// The list keeps the newest lines only, so a long run never fills the toolkit's fixed heap.
constexpr int INFO_MAX_LINES = 500;

// Creates the window (hidden) on the desktop window; once at start.
WM_HANDLE INFO_Create(WM_HANDLE desktop);
// Shown it is modal and on top; hidden it gives the pointer back to every window.
void INFO_Show();
void INFO_Hide();

// Both may be called from the master task (they take the toolkit lock); before the window
// exists they do nothing.
// Title "Ovalo Veltra - Rev. rr.rr.rr ,\nIP: iii.iii.iii.iii".
void INFO_SetTitle(int ip1, int ip2, int ip3, int ip4, int rev1, int rev2, int rev3);
// Appends a line (the oldest goes once INFO_MAX_LINES are held) and selects it, so the list
// shows the newest line.
void INFO_AddLine(const char* text);

WM_HANDLE INFO_Window();
WM_HANDLE INFO_List();

// The largest catalogue font (FONT_8X16 left out) in which the text is narrower than
// max_width and whose height is below max_height; FONT_8 when none is. Leaves the last font
// tried selected.
const GUI_FONTDEF* FONT_FitText(const char* text, int max_width, int max_height);
