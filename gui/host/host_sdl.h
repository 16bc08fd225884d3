// The SDL2 window back end of the display host; only host.cpp calls these, on the main thread
// unless said otherwise.
#pragma once

#include <cstdint>

// Opens the 802 x 482 window (centred, with its icon) with its streaming texture; nullptr, or a
// warning text.
const char* HOSTSDL_Open();
void HOSTSDL_Close();
// Handles the window's events, waiting up to wait_ms for the first one.
void HOSTSDL_HandleEvents(int wait_ms);
// Wakes the event loop from its wait; any thread may call it once the window is open.
void HOSTSDL_Wake();
// Shows a new frame (HOST_XSIZE x HOST_YSIZE pixels) at the display's place in the window.
void HOSTSDL_Present(const uint32_t* frame);
// The same when only rows first..last of the frame changed since the last present.
void HOSTSDL_PresentRows(const uint32_t* frame, int first, int last);
// Shows a warning box; from another thread it is handed to the main thread's next event pass
// and waited for (tasks may report errors before the main thread enters its loop).
void HOSTSDL_ShowMessageBox(const char* text);
// The event loop has ended: boxes handed over are dropped, and no more are waited for.
void HOSTSDL_EndBoxes();
