// A plain recursive lock until the task lock with owner, entrance count and per-thread
// drawing contexts takes its place.
#include "gui/toolkit/core/gui_lock.h"

#include <mutex>

namespace {
std::recursive_mutex g_toolkit_lock;
}

void GUI_Lock() { g_toolkit_lock.lock(); }
void GUI_Unlock() { g_toolkit_lock.unlock(); }
