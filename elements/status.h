// The status banner: a centred white label at the top of the screen that shows progress
// messages during long operations (connecting, searching, loading the history). It stays on
// top of every other window while shown.
#pragma once

#include "gui/toolkit/wm/wm.h"

constexpr int STATUS_ID = 3449;

// Creates the banner (hidden) on the root window; a banner made earlier is deleted first, so
// there is only ever one. Returns its handle.
WM_HANDLE STATUS_Create();
void STATUS_Show();
void STATUS_Hide();
// Sets the banner's text (null: empty) in FONT_24B, or in a smaller bold font when the text
// would be wider than the banner. Safe from any task: it goes through the toolkit lock.
void STATUS_SetText(const char* text);
WM_HANDLE STATUS_Handle();
