// The pictures of the frame stream: rows of the frame as PNG in memory, and their records.
#include "web/web.h"

#include "gui/host/host.h"

#include <png.h>

#include <csetjmp>

namespace {

void Append(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void Flush(png_structp) {}

// Fills the RGB rows before libpng starts, so nothing but libpng's own state lives across its
// error jump.
bool Encode(const std::vector<png_byte>& rgb, int height, std::vector<uint8_t>* out) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, Append, Flush);
    png_set_IHDR(png, info, HOST_XSIZE, static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // The display is flat areas and text: the "up" filter and the fastest compression give
    // small pictures at a fraction of the default's time.
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_set_compression_level(png, 1);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, rgb.data() + static_cast<size_t>(y) * HOST_XSIZE * 3);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

std::vector<uint8_t> WEB_EncodeRows(const uint32_t* frame, int first, int last) {
    std::vector<uint8_t> out;
    if (frame == nullptr || first < 0 || last >= HOST_YSIZE || first > last) return out;
    const int height = last - first + 1;
    std::vector<png_byte> rgb(static_cast<size_t>(height) * HOST_XSIZE * 3);
    png_byte* at = rgb.data();
    const uint32_t* pixel = frame + static_cast<size_t>(first) * HOST_XSIZE;
    for (size_t i = 0; i < static_cast<size_t>(height) * HOST_XSIZE; ++i, ++pixel) {
        *at++ = static_cast<png_byte>(*pixel >> 16);
        *at++ = static_cast<png_byte>(*pixel >> 8);
        *at++ = static_cast<png_byte>(*pixel);
    }
    if (!Encode(rgb, height, &out)) out.clear();
    return out;
}

std::vector<uint8_t> WEB_StreamRecord(int row, const std::vector<uint8_t>& png) {
    const uint32_t length = png.empty() ? 0 : static_cast<uint32_t>(png.size() + 2);
    std::vector<uint8_t> record = {static_cast<uint8_t>(length >> 24),
                                   static_cast<uint8_t>(length >> 16),
                                   static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)};
    if (png.empty()) return record;
    record.push_back(static_cast<uint8_t>(row >> 8));
    record.push_back(static_cast<uint8_t>(row));
    record.insert(record.end(), png.begin(), png.end());
    return record;
}
