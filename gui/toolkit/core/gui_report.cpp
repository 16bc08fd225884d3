#include "gui/toolkit/core/gui_report.h"

#include "gui/host/host.h"

#include <atomic>

namespace {
std::atomic<GUI_ReportHook> g_hook{nullptr};
} // namespace

void GUI_SetReportHook(GUI_ReportHook hook) {
    g_hook.store(hook, std::memory_order_release);
}

void GUI_ReportError(const char* text) {
    if (text == nullptr) return;
    if (const GUI_ReportHook hook = g_hook.load(std::memory_order_acquire)) return hook(true, text);
    HOST_Error(text);
}

void GUI_ReportWarning(const char* text) {
    if (text == nullptr) return;
    if (const GUI_ReportHook hook = g_hook.load(std::memory_order_acquire))
        return hook(false, text);
    HOST_Warning(text);
}
