// Scroll bar: two arrow buttons and a thumb over a track, for a range of items of which a
// page is shown. List boxes and drop-down lists make theirs with the ids below. Tells its
// parent WM_NOTIFICATION_VALUE_MODIFIED (5) when the user moved it.
#pragma once

#include "gui/toolkit/wm/wm.h"

constexpr int SCROLLBAR_ID_HORIZONTAL = 254;
constexpr int SCROLLBAR_ID_VERTICAL = 255;
constexpr int SCROLLBAR_CF_VERTICAL = 8;
constexpr int SCROLLBAR_DEFAULT_WIDTH = 11; // the toolkit's own default

// type_flags: SCROLLBAR_CF_VERTICAL or 0. 0 with the error "SCROLLBAR_Create failed".
WM_HANDLE SCROLLBAR_Create(int x0, int y0, int x_size, int y_size, WM_HANDLE parent, uint32_t flags,
                           int type_flags, int id);
// The width of scroll bars made later by list boxes and drop-down lists.
void SCROLLBAR_PutDefaultWidth(int width);
int SCROLLBAR_GetDefaultWidth();

// The range: items in all, items shown at once, the first one shown (kept within the range).
void SCROLLBAR_PutNumItems(WM_HANDLE win, int num_items);
void SCROLLBAR_PutPageSize(WM_HANDLE win, int page_size);
void SCROLLBAR_PutValue(WM_HANDLE win, int value);
int SCROLLBAR_GetValue(WM_HANDLE win);
