// The display host: the platform layer under the toolkit. It owns the frame buffers and shows
// one of them in the program window, turns mouse and keyboard input into pointer states and key
// codes, and supplies the toolkit's clock, sleeps, lock and error output.
//
// Two back ends, picked once by HOST_Init: the SDL2 window (the default) and a headless host
// with no window (VELTRA_HOST=headless), which tests drive by injecting input and reading
// pixels. Everything below works the same with either back end.
#pragma once

#include <cstdint>
#include <cstdio>

// Display geometry and the program window.
constexpr int HOST_XSIZE = 800;
constexpr int HOST_YSIZE = 480;
constexpr int HOST_BUFFER_COUNT = 3;
// The window's inside: the display with a one-pixel frame around it.
constexpr int HOST_WINDOW_XSIZE = 802;
constexpr int HOST_WINDOW_YSIZE = 482;
constexpr int HOST_DISPLAY_X0 = 1; // the display surface's place in the window
constexpr int HOST_DISPLAY_Y0 = 1;
constexpr const char* HOST_WINDOW_TITLE = "veltraDesktop - v1.07.00";
constexpr const char* HOST_PROGRAM_NAME = "VeltraDesktop";
constexpr int HOST_REFRESH_MS = 20; // how often the window looks at the change counter
// The event loop's longest sleep while no frame waits: the toolkit's first change after a
// present wakes it at once; this only bounds how late it notices a stop request.
constexpr int HOST_IDLE_WAIT_MS = 250;

enum HOST_Backend { HOST_BACKEND_SDL, HOST_BACKEND_HEADLESS };

// The window can be shown enlarged for large screens: with scale N the whole window (frame and
// display) is drawn N times as large, each display pixel an N x N block, so the window is
// N x 802 by N x 482 with the display at (N, N). Pointer positions are mapped back to display
// pixels; the frame buffers, screenshots and everything the toolkit sees stay 800 x 480.
constexpr int HOST_SCALE_MAX = 4;
// Picks the scale for the window HOST_Init opens; a value outside 1..HOST_SCALE_MAX is ignored.
void HOST_SetScale(int scale);
int HOST_GetScale();

// ---- Start, event loop, exit (main thread) ------------------------------------------------

// Records the start time and opens the back end chosen by VELTRA_HOST (the SDL window must be
// created on the main thread). Returns nullptr, or a warning text when the window could not be
// opened (also when no screen can show it: no display reachable); the host is then headless and
// the caller decides whether to go on.
const char* HOST_Init();
HOST_Backend HOST_GetBackend();
// Makes HOST_Init pick the headless host whatever VELTRA_HOST says (the command line's
// --no-window: no window and no display needed). Called before HOST_Init.
void HOST_ForceHeadless(bool headless);

// Runs the main thread's event loop until the window is closed (which calls APP_RequestStop)
// or APP_StopRequested() is true. The headless host only runs its 20 ms ticks until the stop.
// While no frame waits the loop sleeps until an event comes (or HOST_IDLE_WAIT_MS passed); a
// changed frame is presented at the next 20 ms tick.
void HOST_RunEventLoop();
// One pass of that loop: handles the window's pending events, waiting up to wait_ms for the
// first (no longer than to the next 20 ms tick while a frame waits), and runs the tick when it
// is due. Tests of the real window drive it with this.
void HOST_ProcessEvents(int wait_ms);

// Closes the window and the error log file; called once after the tasks have ended. The window
// cannot be opened again in the same process.
void HOST_Exit();
// Tests: closes the error log file and puts the frame buffers, counters, input queue, host log,
// error count and clock back to their state at process start (no window may be open).
void HOST_ResetForTests();

// ---- Frame buffers ------------------------------------------------------------------------
// HOST_BUFFER_COUNT buffers of HOST_XSIZE x HOST_YSIZE pixels, 0x00RRGGBB (blue in the lowest
// byte), rows top to bottom without padding. The toolkit draws into any of them with its lock
// held, picks the one on show and increments the change counter after every change; the window
// copies the shown buffer under the same lock when the counter moved, so it never shows a
// half-drawn frame.

// The buffer's first pixel; nullptr for an index outside 0..HOST_BUFFER_COUNT-1.
uint32_t* HOST_GetFrameBuffer(int index);
// Picks the buffer on show; an index out of range is ignored.
void HOST_SetShownBuffer(int index);
int HOST_GetShownBuffer();
void HOST_IncrementChangeCount();
uint32_t HOST_GetChangeCount();
// A pixel of a buffer; 0 outside the buffer or for a bad index.
uint32_t HOST_GetPixel(int index, int x, int y);
// Copies the buffer on show (HOST_XSIZE x HOST_YSIZE pixels) into `out` under the toolkit
// lock, so the copy is never half drawn, and returns the change counter it belongs to. For
// readers on other threads (the browser view); waits while the toolkit draws.
uint32_t HOST_CopyShownFrame(uint32_t* out);

// ---- Presenting ----------------------------------------------------------------------------

// True when the change counter moved since the last present (the next tick would present).
bool HOST_FramePending();
// The first and last display row in which two frames differ; first > last when none does.
struct HOST_RowSpan {
    int first;
    int last;
};
HOST_RowSpan HOST_ChangedRows(const uint32_t* frame, const uint32_t* before);
// One 20 ms step of the window: delivers the stored pointer state again when it changed, then
// presents the shown buffer when the change counter moved. The event loop calls it; headless
// tests call it directly.
void HOST_Tick();
// How many frames were presented since start.
int HOST_GetPresentCount();
// The frame last presented (what the window shows): HOST_XSIZE x HOST_YSIZE pixels.
const uint32_t* HOST_GetPresentedFrame();

// ---- PNG -------------------------------------------------------------------------------------

// Writes a frame buffer as an 8-bit RGB PNG. 0 on success, -1 on a bad index or a failed write.
int HOST_WritePNG(const char* path, int buffer_index);
// Writes any 0x00RRGGBB pixel block (stride in pixels, >= width) as PNG; 0 or -1.
int HOST_WritePNGPixels(const char* path, const uint32_t* pixels, int width, int height,
                        int stride);
// The same into an open stream (standard output, for instance); 0 or -1.
int HOST_WritePNGPixelsToStream(std::FILE* stream, const uint32_t* pixels, int width, int height,
                                int stride);

// ---- Input -------------------------------------------------------------------------------------
// The window stores mouse and keyboard input; the toolkit takes it from a queue in its exec
// cycle (HOST_PollInput), in the order it happened. Pointer states reach the queue in two
// steps (the state, then its touch view with -1, -1 when nothing is pressed); a pointer state
// equal to the last one queued is dropped. A wheel turn right after another at the same place
// adds to it instead of taking a second entry. When the queue is full the oldest event is
// dropped (the newest input is what the user is doing now) and counted.

struct HOST_PointerState {
    int32_t x; // display pixels; -1, -1 outside the display
    int32_t y;
    uint8_t pressed; // bit 0 left, bit 1 right, bit 2 middle; 128 for a double click
    bool operator==(const HOST_PointerState&) const = default;
};

enum HOST_InputKind : uint8_t { HOST_INPUT_POINTER, HOST_INPUT_KEY, HOST_INPUT_WHEEL };

struct HOST_InputEvent {
    HOST_InputKind kind;
    HOST_PointerState pointer; // HOST_INPUT_POINTER; HOST_INPUT_WHEEL: where (pressed 0)
    int key;                   // HOST_INPUT_KEY: the key code
    int pressed;               // HOST_INPUT_KEY: 1 down, 0 up
    int wheel_x;               // HOST_INPUT_WHEEL: notches to the right
    int wheel_y;               // HOST_INPUT_WHEEL: notches away from the user (up)
};

// A wheel event's notches are kept within this many either way.
constexpr int HOST_WHEEL_MAX = 100;

constexpr int HOST_INPUT_CAPACITY = 256;

// Takes the oldest queued event; false when the queue is empty. Any thread.
bool HOST_PollInput(HOST_InputEvent* event);
// The pointer state last queued ((-1, -1, 0) before any input).
HOST_PointerState HOST_GetPointerState();
// Events dropped because the queue was full.
int HOST_GetDroppedInputCount();

// Mouse input in display coordinates (window coordinates minus HOST_DISPLAY_X0/Y0, divided by
// the scale), as the window gets it: buttons is a mask of HOST_BUTTON_*; double_click marks a
// left double click. The SDL window calls this for every mouse event; headless tests call it to
// inject input.
constexpr unsigned HOST_BUTTON_LEFT = 1;
constexpr unsigned HOST_BUTTON_RIGHT = 2;
constexpr unsigned HOST_BUTTON_MIDDLE = 4;
void HOST_MouseEvent(int client_x, int client_y, unsigned buttons, bool double_click);
// A turn of the mouse wheel (dy notches away from the user, dx notches to the right) with the
// pointer at a display position. Outside the display, or with no notches, nothing is queued.
// The SDL window calls this for every wheel event; headless tests call it to inject.
void HOST_MouseWheel(int client_x, int client_y, int dx, int dy);
// Keyboard input as SDL reports it: key down and up with the SDL scancode, key code and
// modifier mask, and text input (UTF-8). The SDL window calls these; headless tests inject.
void HOST_KeyDown(int scancode, int32_t keycode, uint16_t modifiers);
void HOST_KeyUp(int scancode, int32_t keycode, uint16_t modifiers);
// Ctrl+S presses not yet taken: true (and one fewer) when there was one. The GUI task takes
// them between its passes; the key itself reaches no window.
bool HOST_TakeSaveKey();
void HOST_TextInput(const char* utf8);

// ---- Time -----------------------------------------------------------------------------------

// Milliseconds since HOST_Init (wraps like a 32-bit tick counter).
int HOST_GetTime();
void HOST_Delay(int milliseconds);
// The toolkit's idle wait: 1 ms.
void HOST_Idle();
// Tests replace the clock (milliseconds since start); nullptr restores the real one.
using HOST_ClockFn = int (*)();
void HOST_SetClock(HOST_ClockFn clock);

// ---- Lock ---------------------------------------------------------------------------------
// The lock under the toolkit's own recursive lock, which calls these at its outermost level
// only. A second entrance by the owning thread reports "Error in GUITASK module ..." and goes
// on (the lock is recursive); an unlock by a thread that does not hold it is reported and
// ignored.

void HOST_Lock();
void HOST_Unlock();
int HOST_GetLockCount();

// ---- Warnings and errors ------------------------------------------------------------------

constexpr int HOST_LOG_CAPACITY = 5000;

// Appends "\n<ms since start>:   <text>" to the in-memory host log (at most 5,000 characters;
// whole lines are dropped from the front to make room).
void HOST_Warning(const char* text);
// Logs like a warning, shows a warning box captioned "VeltraDesktop" (not when
// VELTRA_NO_MESSAGE_BOX=1 or headless) and appends "\r\n<text>" to "SimError.log" in the
// working folder, created afresh at the first error of the process. Any thread.
void HOST_Error(const char* text);
int HOST_GetErrorCount();
// Tests replace the window's warning box (always shown on the main thread) with their own
// function; nullptr restores the SDL box.
using HOST_MessageBoxFn = void (*)(const char* caption, const char* text);
void HOST_SetMessageBoxHook(HOST_MessageBoxFn hook);
// Copies the host log with a terminating zero; returns its length (the whole length even when
// the copy was cut short).
int HOST_CopyLog(char* out, int size);
