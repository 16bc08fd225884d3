// Reads arbitrary INI files and writes a value into them: no crash, the written value reads
// back, and a key of another section reads as before.
//
// Input: byte 0 picks the section and the value's length, the next bytes are the value
// (folded into printable ASCII), the rest is the file.
#include "config/ini.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

std::string g_folder;

void RemoveFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(g_folder, ignored);
}

const std::string& FilePath() {
    static const std::string path = [] {
        // A memory file system keeps the flush of every rewrite cheap.
        std::string pattern = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        pattern += "/veltra-ini-fuzz-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        g_folder = pattern;
        std::atexit(RemoveFolder);
        return g_folder + "/config.ini";
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static const char* const kSections[] = {"GUI", "s", "DEVICE_3", "CUSTOM_NAMES"};
    const char* section = kSections[data[0] & 3];
    const size_t value_length = std::min<size_t>((data[0] >> 2) & 63, size - 1);
    std::string value;
    for (size_t i = 0; i < value_length; ++i)
        value += static_cast<char>(32 + data[1 + i] % 95);
    // Leading blanks are never part of a value that is read.
    value.erase(0, value.find_first_not_of(' ') == std::string::npos
                       ? value.size()
                       : value.find_first_not_of(' '));

    const std::string& path = FilePath();
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data + 1 + value_length, 1, size - 1 - value_length, file);
        std::fclose(file);
    }

    char before[600];
    INI_GetString("OTHER", "k", "<default>", before, sizeof before, path.c_str());
    INI_GetLong(section, "key", -1, path.c_str());

    if (INI_PutString(section, "key", value.c_str(), path.c_str()) != 1) std::abort();

    char after[600];
    INI_GetString(section, "KEY", "<default>", after, sizeof after, path.c_str());
    if (value != after) std::abort();
    INI_GetString("OTHER", "k", "<default>", after, sizeof after, path.c_str());
    if (std::string(before) != after) std::abort();
    return 0;
}
