// The on-screen keyboard: a full-screen dialog with an edit field, digit and letter keys in a
// German layout (z in the first row, y in the third), shift, backspace, clear, a space bar and
// cancel and confirm buttons. Only one keyboard is open at a time; typing on the real
// keyboard reaches the edit field as well, and its Enter confirms and Escape cancels.
#pragma once

#include "gui/toolkit/draw/gui_draw.h"
#include "gui/toolkit/wm/wm.h"

#include <cstdint>

// Widget ids of the dialog.
constexpr int KEYBOARD_ID_WINDOW = 3748;
constexpr int KEYBOARD_ID_A = 3749; // letters a to z: 3749 to 3774
constexpr int KEYBOARD_ID_0 = 3775; // digits 0 to 9: 3775 to 3784
constexpr int KEYBOARD_ID_BACKSPACE = 3785;
constexpr int KEYBOARD_ID_CLEAR = 3786;
constexpr int KEYBOARD_ID_SPACE = 3787;
constexpr int KEYBOARD_ID_SHIFT = 3788;
constexpr int KEYBOARD_ID_CANCEL = 3789;
constexpr int KEYBOARD_ID_CONFIRM = 3790;
constexpr int KEYBOARD_ID_EDIT = 3792;

constexpr int KEYBOARD_ITEM_COUNT = 42; // the dialog's item table
constexpr int KEYBOARD_MAX_TYPED = 80;  // key presses beyond this many characters are ignored
constexpr int KEYBOARD_RESULT_SIZE = 100;

// Called on confirm with the edited text and the owner handed to KEYBOARD_Open.
using KEYBOARD_DONE_FN = void (*)(const char* text, WM_HANDLE owner);

// Opens the keyboard on top of everything with the initial text (null: empty). max_len is the
// result buffer's size including the terminator, so the field keeps max_len - 1 characters;
// it is taken as a byte, and 0 or 100 and above mean 100. Returns the dialog, or 0 when it
// cannot be made.
WM_HANDLE KEYBOARD_Open(WM_HANDLE owner, KEYBOARD_DONE_FN done, int max_len, const char* initial);

// The open keyboard's dialog (0 when none is open).
WM_HANDLE KEYBOARD_Handle();

// The two 60 x 60 one-bit pictures of the cancel and confirm buttons: index 0 white on black,
// 1 yellow on black (pressed).
const GUI_PICTURE* KEYBOARD_CancelPicture(int pressed);
const GUI_PICTURE* KEYBOARD_ConfirmPicture(int pressed);
// The one-bit rows (60 x 60, 8 bytes per line) of the left arrow inside a circle, for other
// back and close buttons that want the same motif in their own colours.
const uint8_t* KEYBOARD_BackArrowBits();
