// The toolkit lock: one recursive lock around every public toolkit operation. It records its
// owner thread and an entrance count, takes the host's lock only at the outermost level, and
// gives each thread that uses the toolkit a drawing context of its own.
#pragma once

void GUI_Lock();
void GUI_Unlock();

// Takes the toolkit lock for the lifetime of the guard.
struct GUI_LockGuard {
    GUI_LockGuard() { GUI_Lock(); }
    ~GUI_LockGuard() { GUI_Unlock(); }
    GUI_LockGuard(const GUI_LockGuard&) = delete;
    GUI_LockGuard& operator=(const GUI_LockGuard&) = delete;
};

// Deepest nesting of GUI_Lock that is not reported.
inline constexpr int GUITASK_MAX_ENTRANCE = 48;
// Threads that can have a drawing context of their own.
inline constexpr int GUITASK_MAX_TASKS = 4;

// Prepares the context table; called by GUI_InitToolkit.
void GUITASK_Init();
// Report when the calling thread does not hold the lock / holds it.
void GUITASK_AssertLock();
void GUITASK_AssertNoLock();
// The calling thread's entrance count (0 when another thread or none holds the lock).
int GUITASK_GetEntranceCnt();
