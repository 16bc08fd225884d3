// JPEG pictures through libjpeg-turbo. A bad file must never end the program: libjpeg's
// fatal errors jump back here instead of calling exit(), its warnings are counted, and the
// picture size and the number of progressive scans are bounded before any work is done.
#include "gui/toolkit/draw/draw_internal.h"
#include "gui/toolkit/core/gui_report.h"
#include "gui/toolkit/draw/gui_draw.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <new>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

using namespace gui_draw;

namespace {

constexpr int kMaxSide = GUI_MAX_TARGET_SIZE;
constexpr long kMaxPixels = 4L * 1024 * 1024;
constexpr int kMaxScans = 100;
constexpr long kMaxFileBytes = 64L * 1024 * 1024;

constexpr const char* kCorrupt = "GUI_JPEG:\nCorrupt or truncated data in GUI_DrawJPEG()!";
constexpr const char* kTooLarge = "GUI_JPEG:\nPicture too large in GUI_DrawJPEG()!";
constexpr const char* kSubsampling = "GUI_JPEG:\nIllegal value in _ConvertH2V2()!";

struct JpegError {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    int warnings;
};

void OnError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

void OnMessage(j_common_ptr info, int level) {
    if (level < 0) ++reinterpret_cast<JpegError*>(info->err)->warnings;
}

// A corrupt progressive file can announce thousands of scans, each a pass over the picture.
void OnProgress(j_common_ptr info) {
    if (!info->is_decompressor) return;
    if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaxScans) {
        info->err->msg_code = JERR_BAD_SCAN_SCRIPT;
        info->err->error_exit(info);
    }
}

// Baseline YCbCr as the display unit's decoder takes it: luminance sampled 1 or 2 times in
// each direction, chrominance once.
bool UsualSubsampling(const jpeg_decompress_struct& info) {
    if (info.num_components != 3) return true;
    const jpeg_component_info* c = info.comp_info;
    auto one_or_two = [](int f) { return f == 1 || f == 2; };
    return one_or_two(c[0].h_samp_factor) && one_or_two(c[0].v_samp_factor) &&
           c[1].h_samp_factor == 1 && c[1].v_samp_factor == 1 && c[2].h_samp_factor == 1 &&
           c[2].v_samp_factor == 1;
}

// The lowest screen row any clip rectangle lets through, or -1.
int LowestClipRow() {
    int lowest = -1;
    const Box all{-kBoxLimit, -kBoxLimit, kBoxLimit, kBoxLimit};
    for (int i = 0, n = ClipCount(); i < n; ++i) {
        Box b;
        if (ClipBoxFor(i, all, &b)) lowest = std::max(lowest, b.y1);
    }
    return lowest;
}

uint8_t g_rgb[kMaxSide * 3];
uint32_t g_row[kMaxSide];

// Decodes and draws; 0 complete, 1 corrupt (what was decoded is drawn), 2 refused.
// No object with a destructor may live in this frame: libjpeg's errors longjmp into it.
int Decode(const uint8_t* data, size_t size, int sx, int sy) {
    jpeg_decompress_struct info;
    JpegError err;
    jpeg_progress_mgr progress{};
    info.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = OnError;
    err.pub.emit_message = OnMessage;
    err.warnings = 0;
    if (setjmp(err.jump) != 0) {
        jpeg_destroy_decompress(&info);
        return 1;
    }
    jpeg_create_decompress(&info);
    progress.progress_monitor = OnProgress;
    info.progress = &progress;
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    if (info.image_width > kMaxSide || info.image_height > kMaxSide ||
        static_cast<long>(info.image_width) * info.image_height > kMaxPixels) {
        jpeg_destroy_decompress(&info);
        GUI_ReportWarning(kTooLarge);
        return 2;
    }
    if (info.jpeg_color_space == JCS_YCbCr && !UsualSubsampling(info)) {
        jpeg_destroy_decompress(&info);
        GUI_ReportWarning(kSubsampling);
        return 2;
    }
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    const int width = static_cast<int>(info.output_width);
    const int lowest = LowestClipRow();
    bool stopped_early = false;
    while (info.output_scanline < info.output_height) {
        const int y = sy + static_cast<int>(info.output_scanline);
        if (y > lowest) {
            stopped_early = true; // the rest would fall below every clip rectangle
            break;
        }
        JSAMPROW row = g_rgb;
        if (jpeg_read_scanlines(&info, &row, 1) != 1) break;
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = g_rgb + 3 * x;
            g_row[x] = (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
        }
        ForEachClip(Box{sx, y, sx + width - 1, y}, [&] { CopySpan(sx, y, g_row, width); });
    }
    if (stopped_early || info.output_scanline < info.output_height) {
        jpeg_abort_decompress(&info);
    } else {
        jpeg_finish_decompress(&info);
    }
    jpeg_destroy_decompress(&info);
    return err.warnings > 0 ? 1 : 0;
}

} // namespace

int GUI_DrawJPEG(const void* data, size_t size, int x, int y) {
    DrawScope scope;
    if (data == nullptr || size == 0) {
        GUI_ReportWarning(kCorrupt);
        return 1;
    }
    if (!scope.ok()) return 1;
    const GUI_CONTEXT* c = scope.ctx();
    const int result =
        Decode(static_cast<const uint8_t*>(data), size, x + c->origin_x, y + c->origin_y);
    if (result == 1) GUI_ReportWarning(kCorrupt);
    return result == 0 ? 0 : 1;
}

int GUI_DrawJPEGFile(const char* path, int x, int y) {
    if (path == nullptr) return -1;
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return -1;
    std::vector<uint8_t> bytes;
    bool ok = std::fseek(file, 0, SEEK_END) == 0;
    const long size = ok ? std::ftell(file) : -1;
    ok = ok && size > 0 && size <= kMaxFileBytes && std::fseek(file, 0, SEEK_SET) == 0;
    if (ok) {
        try {
            bytes.resize(static_cast<size_t>(size));
        } catch (const std::bad_alloc&) {
            ok = false;
        }
    }
    ok = ok && std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
    std::fclose(file);
    if (!ok) return -1;
    return GUI_DrawJPEG(bytes.data(), bytes.size(), x, y);
}
