#include "base/lifecycle.h"

#include <pthread.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {
std::atomic<bool> g_stop{false};
}

bool APP_StopRequested() { return g_stop.load(std::memory_order_acquire); }

void APP_RequestStop() { g_stop.store(true, std::memory_order_release); }

void APP_ResetStop() { g_stop.store(false, std::memory_order_release); }

void APP_SleepMs(int milliseconds) {
    // Long sleeps (start picture, reset notice) are cut into slices so a stop is prompt.
    while (milliseconds > 0 && !APP_StopRequested()) {
        const int slice = milliseconds < 50 ? milliseconds : 50;
        std::this_thread::sleep_for(std::chrono::milliseconds(slice));
        milliseconds -= slice;
    }
}

void APP_NameThread(const char* name) {
    char text[16];
    std::snprintf(text, sizeof text, "%s", name != nullptr ? name : "");
    pthread_setname_np(pthread_self(), text);
}
