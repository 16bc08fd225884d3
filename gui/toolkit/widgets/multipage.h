// Multipage: a row of tabs at the top and one visible page window below them, in the client
// window. The tabs are laid out left to right by the width of their titles; when they do not
// fit, two arrow buttons at the right end scroll the row.
#pragma once

#include "gui/toolkit/wm/wm.h"

// Pages one multipage holds; further insertions are refused.
constexpr int MULTIPAGE_MAX_PAGES = 24;

// The colours of a tab state: 0 enabled, 1 selected, 2 disabled.
struct MULTIPAGE_LOOK {
    GUI_COLOUR fill; // the selected tab
    GUI_COLOUR upper_top;
    GUI_COLOUR upper_bottom;
    GUI_COLOUR lower_top;
    GUI_COLOUR lower_bottom;
    GUI_COLOUR frame;
    GUI_COLOUR text;
};

WM_HANDLE MULTIPAGE_Create(int x0, int y0, int x_size, int y_size, WM_HANDLE parent, uint32_t flags,
                           int type_flags, int id);
// Adds an enabled tab and selects its page. page: moved into the client area at (0, 0); 0 takes
// the client area's first child that is not a page yet (nothing happens when there is none).
void MULTIPAGE_InsertPage(WM_HANDLE win, WM_HANDLE page, const char* title);
// Shows the page if the index is valid and the page enabled; selecting the current page again
// gives the focus to its window.
void MULTIPAGE_ShowPage(WM_HANDLE win, int index);
int MULTIPAGE_Current(WM_HANDLE win);
int MULTIPAGE_PageCount(WM_HANDLE win);
WM_HANDLE MULTIPAGE_PageWindow(WM_HANDLE win, int index);
// The window that holds the pages.
WM_HANDLE MULTIPAGE_Client(WM_HANDLE win);
void MULTIPAGE_EnablePage(WM_HANDLE win, int index, int on);
void MULTIPAGE_PutFont(WM_HANDLE win, const GUI_FONTDEF* font);
void MULTIPAGE_PutDefaultFont(const GUI_FONTDEF* font);
// The tab row's height with the multipage's font, and the first tab shown.
int MULTIPAGE_TabHeight(WM_HANDLE win);
int MULTIPAGE_FirstTab(WM_HANDLE win);

// The looks are shared by all multipages; a state outside 0 to 2 is ignored.
void MULTIPAGE_ReadLook(MULTIPAGE_LOOK* look, int state);
void MULTIPAGE_PutLook(const MULTIPAGE_LOOK* look, int state);
