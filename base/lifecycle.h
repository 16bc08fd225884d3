// Process lifetime: the tasks loop until the process is asked to end (window closed, SIGINT,
// SIGTERM); then every task leaves its loop at its next pass and the entry joins them.
#pragma once

bool APP_StopRequested();
void APP_RequestStop();
// Withdraws a stop once every task that saw it has ended (its thread joined), so that tasks
// started again afterwards in the same process run instead of leaving at once.
void APP_ResetStop();
// Sleeps up to the given milliseconds, returning early when a stop is requested.
void APP_SleepMs(int milliseconds);
// Names the calling thread as `top -H` and /proc/PID/task/*/comm show it (at most 15 characters),
// so a task's CPU and its pass rate can be watched from outside.
void APP_NameThread(const char* name);
