// Start-up of the toolkit and its exec entry for the GUI task's loop.
#pragma once

// The program's two configuration hooks, defined by the program and called by
// GUI_InitToolkit: memory assigns the heap arena (GUI_ALLOC_SetArena) and the default font
// (GUI_SetDefaultFont); display describes the display (GUI_SetDisplayConfig).
void GUI_ConfigureMemory();
void GUI_ConfigureDisplay();

// The display: its size and how many of the host's frame buffers the buffered update uses
// (1 to 3). The size may not exceed the host's buffers. Returns 0, or -1 (nothing changed).
int GUI_SetDisplayConfig(int x_size, int y_size, int num_buffers);

// Calls the two hooks, sets up the lock, the drawing context (reporting a missing display or
// default font) and the window manager with its root window. Runs before any other call; a
// second call starts the toolkit afresh.
void GUI_InitToolkit();

// Runs exec cycles until one does no work; 1 when any did.
int GUI_ExecAll();

// The configured display (0 before the display hook ran).
int GUI_GetXSize();
int GUI_GetYSize();
int GUI_GetNumBuffers();
void GUI_ResetDisplayConfig();
