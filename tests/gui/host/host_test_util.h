// Helpers shared by the host tests: a scratch working folder and reading PNG files back.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// A unique temporary folder that is also the working folder while it exists.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const char* name) const { return path_ + "/" + name; }

  private:
    std::string path_;
    std::filesystem::path old_;
};

// A PNG file as 0x00RRGGBB pixels; empty when it cannot be read.
std::vector<uint32_t> ReadPNG(const std::string& path, int* width, int* height);

std::string ReadFile(const std::string& path);
