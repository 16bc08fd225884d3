// The item lists of list boxes and drop-down lists: one heap block holding the item count and
// the items one after the other, each a flag byte and a zero-terminated text. Appending copies
// the list into a block one item longer, so a full heap leaves the list as it was.
#pragma once

#include "gui/toolkit/core/gui_alloc.h"

#include <cstdint>

constexpr uint8_t GUI_ARRAY_DISABLED = 0x01;

// Adds an item at the end (*array 0: a new list). 0, or 1 with the warning "GUI_ARRAY:\nFailed
// to alloc buffer in GUI_ARRAY_AddItem()" when the heap has no room.
int GUI_ARRAY_AddItem(GUI_HMEM* array, const char* text, uint8_t flags);
// Removes an item; 0, or 1 for a bad index or a full heap.
int GUI_ARRAY_DeleteItem(GUI_HMEM* array, int index);
int GUI_ARRAY_GetCount(GUI_HMEM array);
// The item's text (valid until the list or the heap changes), nullptr for a bad index.
const char* GUI_ARRAY_GetText(GUI_HMEM array, int index);
uint8_t GUI_ARRAY_GetFlags(GUI_HMEM array, int index);
void GUI_ARRAY_SetFlags(GUI_HMEM array, int index, uint8_t flags);
// A copy of the whole list; 0 when empty or the heap has no room.
GUI_HMEM GUI_ARRAY_Copy(GUI_HMEM array);
void GUI_ARRAY_Free(GUI_HMEM* array);
