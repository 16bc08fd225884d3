#include "tests/gui/host/host_test_util.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <png.h>
#include <sstream>

ScratchFolder::ScratchFolder() {
    char pattern[] = "/tmp/veltra-host-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    path_ = made ? made : "";
    old_ = std::filesystem::current_path();
    if (!path_.empty()) std::filesystem::current_path(path_);
}

ScratchFolder::~ScratchFolder() {
    std::filesystem::current_path(old_);
    if (!path_.empty()) std::filesystem::remove_all(path_);
}

std::vector<uint32_t> ReadPNG(const std::string& path, int* width, int* height) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
    image.format = PNG_FORMAT_RGB;
    std::vector<png_byte> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {};
    *width = static_cast<int>(image.width);
    *height = static_cast<int>(image.height);
    std::vector<uint32_t> pixels(size_t(image.width) * image.height);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = uint32_t(rgb[3 * i]) << 16 | uint32_t(rgb[3 * i + 1]) << 8 | rgb[3 * i + 2];
    return pixels;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
