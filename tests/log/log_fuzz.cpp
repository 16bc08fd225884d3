// Runs the log readers over arbitrary files: no crash, every buffer zero-terminated within its
// size, and every result, text and counter equal to the plain model's.
//
// Input: byte 0 holds the number of calls (low 4 bits) and whether the file is repeated past
// one read block (bits 4 and 5 both set; the long files are the slow ones); then 3 bytes per call
// (which reader, its argument, the buffer size); the rest is the file.
#include "log/log.h"

#include "base/datafolder.h"
#include "config/settings.h"
#include "tests/log/log_model.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string g_folder;

void RemoveFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(g_folder, ignored);
}

void Setup() {
    static const bool done = [] {
        std::string pattern = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        pattern += "/veltra-log-fuzz-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        g_folder = pattern;
        std::atexit(RemoveFolder);
        setenv("APPDATA", g_folder.c_str(), 1);
        DATA_CreateFolder();
        CONFIG_Init();
        if (LOG_Init() != 0) std::abort();
        return true;
    }();
    (void)done;
}

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Setup();
    if (size < 1) return 0;
    const size_t calls = data[0] & 15;
    const bool repeat = (data[0] & 48) == 48;
    if (size < 1 + 3 * calls) return 0;
    const uint8_t* program = data + 1;
    std::string text(reinterpret_cast<const char*>(program + 3 * calls), size - 1 - 3 * calls);
    if (repeat && !text.empty()) {
        const std::string once = text;
        while (text.size() < 70 * 1024)
            text += once;
    }

    if (FILE* file = std::fopen(LOG_Path().c_str(), "wb")) {
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
    if (LOG_OpenRead() != 0) return 0;
    LogModel model(text, LOG_LinesWritten());

    for (size_t i = 0; i < calls; ++i) {
        const uint8_t op = program[3 * i] % 4;
        const uint8_t argument = program[3 * i + 1];
        const int32_t buffer_size = 1 + program[3 * i + 2] % 64;
        // Exactly the size given, so that a byte past it is caught.
        std::vector<char> buffer(static_cast<size_t>(buffer_size), 'x');
        int result = 0;
        LogModel::Result expected;
        switch (op) {
            case 0:
                result = LOG_GetLine(argument & 15, argument >> 4, buffer.data(), buffer_size);
                expected = model.GetLine(argument & 15, argument >> 4, buffer_size);
                break;
            case 1:
                result = LOG_GetNextField(buffer.data(), buffer_size);
                expected = model.GetNextField(buffer_size);
                break;
            case 2:
                result = LOG_GetField(argument & 15, buffer.data(), buffer_size);
                expected = model.GetField(argument & 15, buffer_size);
                break;
            default:
                result = LOG_SeekLinesFromEnd(argument);
                expected.code = model.SeekLinesFromEnd(argument);
                break;
        }
        Check(result == expected.code);
        if (op != 3) {
            Check(expected.text.size() < static_cast<size_t>(buffer_size));
            Check(std::memcmp(buffer.data(), expected.text.data(), expected.text.size()) == 0);
            Check(buffer[expected.text.size()] == '\0');
        }
        Check(LOG_ReaderLine() == model.Line());
        Check(LOG_ReaderField() == model.Field());
    }
    LOG_CloseRead();
    return 0;
}
