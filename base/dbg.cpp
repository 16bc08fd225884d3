#include "base/dbg.h"

#include <atomic>
#include <cstdio>
#include <mutex>

namespace {

std::atomic<DBG_Sink> g_sink{nullptr};
// Keeps lines from two tasks from interleaving inside one call.
std::mutex g_output_lock;

} // namespace

int DBG_VPrintf(const char* format, va_list args) {
    char text[1024];
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(text, sizeof text, format, copy);
    va_end(copy);
    if (length < 0) return length;

    std::lock_guard<std::mutex> guard(g_output_lock);
    const DBG_Sink sink = g_sink.load(std::memory_order_acquire);
    if (static_cast<size_t>(length) < sizeof text) {
        if (sink) {
            sink(text, length);
            return length;
        }
        const size_t written = std::fwrite(text, 1, static_cast<size_t>(length), stdout);
        std::fflush(stdout);
        return static_cast<int>(written);
    }
    // Longer than the stack buffer: format again onto the stream, or truncate for a sink.
    if (sink) {
        sink(text, static_cast<int>(sizeof text - 1));
        return static_cast<int>(sizeof text - 1);
    }
    va_copy(copy, args);
    const int written = std::vfprintf(stdout, format, copy);
    va_end(copy);
    std::fflush(stdout);
    return written;
}

int DBG_Printf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int result = DBG_VPrintf(format, args);
    va_end(args);
    return result;
}

void DBG_SetSink(DBG_Sink sink) { g_sink.store(sink, std::memory_order_release); }

void DBG_ReportParam(const char* file, int line) {
    DBG_Printf("Wrong parameters value: file %s on line %d\r\n", file, line);
}
