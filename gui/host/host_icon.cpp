#include "gui/host/host_icon.h"

#include <png.h>

#include <utility>

// The packaged icon's bytes, written into a source file at build time.
extern const unsigned char HOSTICON_png[];
extern const std::size_t HOSTICON_png_size;

bool HOSTICON_Decode(const uint8_t* data, size_t size, HOSTICON_Image* image) {
    if (image == nullptr) return false;
    *image = HOSTICON_Image{};
    if (data == nullptr || size == 0) return false;
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&png, data, size)) return false;
    // Checked before any memory is taken: the header's size is whatever the file says.
    if (png.width == 0 || png.height == 0 || png.width > HOSTICON_SIZE_MAX ||
        png.height > HOSTICON_SIZE_MAX) {
        png_image_free(&png);
        return false;
    }
    png.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, pixels.data(), 0, nullptr)) {
        png_image_free(&png);
        return false;
    }
    image->width = static_cast<int>(png.width);
    image->height = static_cast<int>(png.height);
    image->rgba = std::move(pixels);
    return true;
}

bool HOSTICON_Get(HOSTICON_Image* image) {
    return HOSTICON_Decode(HOSTICON_png, HOSTICON_png_size, image);
}
