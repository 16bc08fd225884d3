// The connect page: the gateway's address, CONNECT, and the two language buttons. It runs its
// own wait on the GUI task until the gateway is connected and the device search has succeeded,
// exchanging messages with the connection task and the master task through their queues.
#pragma once

#include "gui/toolkit/lang/gui_lang.h"
#include "gui/toolkit/wm/wm.h"

#include <cstdint>

constexpr int CONNECT_ID_ADDRESS = 3649;
constexpr int CONNECT_ID_HINT = 3650;
constexpr int CONNECT_ID_CONNECT = 3651;
constexpr int CONNECT_ID_CAPTION = 3652;
constexpr int CONNECT_ID_GERMAN = 3653;
constexpr int CONNECT_ID_ENGLISH = 3654;

constexpr int CONNECT_ADDRESS_SIZE = 20;
constexpr int CONNECT_MAX_SEARCH_DEVICES = 250;

// Language texts of the page and its banner.
constexpr int CONNECT_TEXT_CAPTION = GUI_TEXT_SELECT_LANGUAGE;
constexpr int CONNECT_TEXT_HINT = GUI_TEXT_ADDRESS_HINT;
constexpr int CONNECT_TEXT_FAILED = GUI_TEXT_CONNECT_FAILED;
constexpr int CONNECT_TEXT_CONNECTED = GUI_TEXT_CONNECTED;
constexpr int CONNECT_TEXT_SEARCH_FAILED = GUI_TEXT_SEARCH_FAILED;
constexpr int CONNECT_TEXT_CONNECTING = GUI_TEXT_CONNECTING;
constexpr int CONNECT_TEXT_LOST = GUI_TEXT_CONNECTION_LOST;

// Creates the page on the main window, waits until connected and searched, deletes the page.
// Returns true then, false when the process is asked to end while it waits.
bool CONNECT_Run(WM_HANDLE main_window, int rebuild);

// The same in steps, for tests and for CONNECT_Run itself: Begin builds the page (after a
// gateway loss with the lost-connection banner first); each Step executes the pending GUI work
// and handles at most one reply from the GUI queue, and returns true once the search has
// succeeded; End deletes the page. The sleep between steps is the caller's.
void CONNECT_Begin(WM_HANDLE main_window, int rebuild);
bool CONNECT_Step();
void CONNECT_End();

// The sleep between two steps: 1 ms while a connect or a search is under way, so its replies
// are taken at once; 10 ms while the page only waits for the user, whose input the host
// queues meanwhile. The idle page then wakes a hundred times a second instead of a thousand.
constexpr int CONNECT_BUSY_SLEEP_MS = 1;
constexpr int CONNECT_IDLE_SLEEP_MS = 10;
int CONNECT_StepSleepMs();

// Reconnecting by itself (off unless asked for): while armed, the page presses CONNECT for the
// user at once, and after every failed connect or search again when a countdown of
// CONNECT_RETRY_MS has run out, with the seconds left in the banner, until a search has
// succeeded or the user edits the address. `after_loss` arms it when the page comes back after
// a lost gateway, `at_start` when it first opens.
constexpr int CONNECT_RETRY_MS = 10000;
void CONNECT_SetAutoConnect(bool after_loss, bool at_start);
// The banner text of the countdown, "Reconnecting in 7 s": the language's text
// GUI_TEXT_RECONNECTING_IN, or when its file lacks it the built-in words of that language.
void CONNECT_FormatCountdown(int language, int seconds, char* text, int size);

// The pauses the page makes (500 ms and 1000 ms, shown on the banner); tests replace the sleep
// (nullptr restores the real one).
void CONNECT_SetSleepForTests(void (*sleep_ms)(int milliseconds));

// The address field's key filter on the address buffer (CONNECT_ADDRESS_SIZE characters):
// typed digits get their dot added after the third digit of each of the first three groups, a
// dot may be typed after one or two digits, the fourth group takes at most three digits, and
// backspace removes the last character. Other keys are ignored.
struct CONNECT_FilterResult {
    bool accepted;         // false: the address is complete and the key is not backspace
    bool touched_complete; // the last group already had a digit (the pending connect is over)
};
CONNECT_FilterResult CONNECT_FilterKey(char* buffer, int key);

// The connect window (0 when the page is not running).
WM_HANDLE CONNECT_Window();
