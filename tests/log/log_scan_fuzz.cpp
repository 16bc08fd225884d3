// Runs the whole-file log reader over arbitrary files: no crash, no read outside the line, every
// given field a piece of the file, and every line either used or reported.
//
// Input: byte 0 chooses how far the reader splits (the last field index it gives out); the
// rest is the file.
#include "log/log_scan.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

std::string g_path;
int64_t g_reports = 0;

void RemoveFile() {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(g_path).parent_path(), ignored);
}

void Setup() {
    static const bool done = [] {
        std::string pattern = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        pattern += "/veltra-scan-fuzz-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        g_path = pattern + "/log1.csv";
        std::atexit(RemoveFile);
        return true;
    }();
    (void)done;
}

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

void Count(void*, const char* path, int64_t line, const char* message) {
    Check(path != nullptr && message != nullptr && line >= 0 && std::strlen(message) < 256);
    ++g_reports;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Setup();
    if (size < 1) return 0;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    std::FILE* f = std::fopen(g_path.c_str(), "wb");
    if (f == nullptr) return 0;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);

    LogScan scan;
    scan.report = Count;
    scan.last_field = data[0] == 255 ? SIZE_MAX : data[0];
    g_reports = 0;
    if (LOGSCAN_Open(&scan, g_path) != 0) return 0;
    int64_t lines = 0;
    int rc;
    while ((rc = LOGSCAN_Next(&scan)) == 1) {
        ++lines;
        // Time and the named columns, or fewer when the reader stops splitting early (a
        // last_field of SIZE_MAX means all: no "+ 1" on it, which would wrap to 0).
        const size_t wanted = scan.last_field >= scan.names.size() ? scan.names.size() + 1
                                                                   : scan.last_field + 1;
        Check(scan.fields.size() == wanted);
        for (const std::string_view& field : scan.fields) {
            // A field is a piece of the file without separators or line ends.
            Check(field.find(';') == std::string_view::npos);
            Check(field.find('\n') == std::string_view::npos);
        }
        char stamp[24];
        LOGSCAN_FormatTime(scan.time, stamp, sizeof stamp);
        int64_t back = 0;
        Check(LOGSCAN_ParseTime(std::string_view(stamp + 2), &back) && back == scan.time);
        Check(text.find(std::string(scan.fields[0])) != std::string::npos);
    }
    Check(rc == 0);
    Check(scan.lines_used == lines);
    Check(scan.lines_skipped <= g_reports);
    LOGSCAN_Close(&scan);
    return 0;
}
