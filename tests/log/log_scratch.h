// A scratch data folder for the log tests: APPDATA points at a fresh temporary folder, which
// is removed with everything in it.
#pragma once

#include "application/src/tools/datafolder.h"
#include "config/settings.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

class LogScratch {
  public:
    LogScratch() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/veltra-log-XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr) root_ = pattern;
        ::setenv("APPDATA", root_.c_str(), 1);
        DATA_CreateFolder();
        CONFIG_Init();
    }
    ~LogScratch() {
        std::error_code ignored;
        if (!root_.empty()) std::filesystem::remove_all(root_, ignored);
    }
    LogScratch(const LogScratch&) = delete;
    LogScratch& operator=(const LogScratch&) = delete;

    const std::string& Root() const { return root_; }
    std::string Data() const { return root_ + "/Ovalo"; }
    std::string DataFile(const std::string& name) const { return Data() + "/" + name; }

  private:
    std::string root_;
};

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// The file's bytes, or "<missing>" when it cannot be opened.
inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "<missing>";
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
