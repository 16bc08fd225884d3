// PNG output of frame buffers (screenshots, samplers, test images) through libpng.
#include "base/dbg.h"
#include "gui/host/host.h"

#include <png.h>

#include <cstring>
#include <vector>

int HOST_WritePNG(const char* path, int buffer_index) {
    const uint32_t* pixels = HOST_GetFrameBuffer(buffer_index);
    PARAM_CHECK(pixels != nullptr, -1);
    return HOST_WritePNGPixels(path, pixels, HOST_XSIZE, HOST_YSIZE, HOST_XSIZE);
}

namespace {

// Writes to the path, or to the stream when the path is null.
int WritePixels(const char* path, std::FILE* stream, const uint32_t* pixels, int width, int height,
                int stride) {
    PARAM_CHECK(width > 0 && height > 0 && stride >= width, -1);
    // The 0x00RRGGBB words become R, G, B bytes, whatever the machine's byte order.
    std::vector<png_byte> rgb(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    png_byte* out = rgb.data();
    for (int y = 0; y < height; ++y) {
        const uint32_t* row = pixels + static_cast<size_t>(y) * static_cast<size_t>(stride);
        for (int x = 0; x < width; ++x) {
            *out++ = static_cast<png_byte>(row[x] >> 16);
            *out++ = static_cast<png_byte>(row[x] >> 8);
            *out++ = static_cast<png_byte>(row[x]);
        }
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    const int written = path != nullptr
                            ? png_image_write_to_file(&image, path, 0, rgb.data(), 0, nullptr)
                            : png_image_write_to_stdio(&image, stream, 0, rgb.data(), 0, nullptr);
    png_image_free(&image);
    return written ? 0 : -1;
}

} // namespace

int HOST_WritePNGPixels(const char* path, const uint32_t* pixels, int width, int height,
                        int stride) {
    PARAM_CHECK(path != nullptr && pixels != nullptr, -1);
    return WritePixels(path, nullptr, pixels, width, height, stride);
}

int HOST_WritePNGPixelsToStream(std::FILE* stream, const uint32_t* pixels, int width, int height,
                                int stride) {
    PARAM_CHECK(stream != nullptr && pixels != nullptr, -1);
    return WritePixels(nullptr, stream, pixels, width, height, stride);
}
