// The SDL2 window back end of the display host; only host.cpp calls these, on the main thread
// unless said otherwise.
#pragma once

#include <cstdint>

// Opens the 818 x 521 window with its streaming texture; nullptr, or a warning text.
const char* HOSTSDL_Open();
void HOSTSDL_Close();
// Handles the window's events, waiting up to wait_ms for the first one.
void HOSTSDL_HandleEvents(int wait_ms);
// Shows a new frame (HOST_XSIZE x HOST_YSIZE pixels) at the display's place in the window.
void HOSTSDL_Present(const uint32_t* frame);
// Shows a warning box; from another thread it is handed to the event loop and waited for.
void HOSTSDL_ShowMessageBox(const char* text);
// Marks the event loop running or ended (boxes wait for a running loop only).
void HOSTSDL_SetLoopRunning(bool running);
