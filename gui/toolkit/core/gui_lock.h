// The toolkit lock: one recursive lock around every public toolkit operation.
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
