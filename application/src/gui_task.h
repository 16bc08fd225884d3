// The GUI task: start sequence, then the main loop until the process is asked to end.
#pragma once

void GUITASK_Main();

// The reset after a lost gateway: the lost-connection banner for a second, the pages deleted,
// the device list, the register store and the name-field table emptied, and the main screen
// built again, which waits in the connect page for a new connection and search and begins a
// new data-log file.
void GUITASK_ResetAfterLoss();
// The reset's pause (nullptr restores the real sleep).
void GUITASK_SetSleepForTests(void (*sleep_ms)(int milliseconds));
