// The GUI task: start sequence, then the main loop until the process is asked to end.
#pragma once

void GUITASK_Main();
