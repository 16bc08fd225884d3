// JPEG pictures: decoding, placement and clipping, and bad files that must only give a
// warning.
#include "tests/gui/toolkit/draw_test_util.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include <jpeglib.h>

using namespace drawtest;

namespace {

constexpr const char* kCorrupt = "GUI_JPEG:\nCorrupt or truncated data in GUI_DrawJPEG()!";

// The test picture: left half red, right half blue, a white bar across the middle rows.
uint32_t Expected(int x, int y, int w, int h) {
    if (y >= h / 2 - 2 && y < h / 2 + 2) return 0xFFFFFF;
    return x < w / 2 ? 0xFF0000 : 0x0000FF;
}

// Encodes the test picture; luma sampling h x v, chroma sampling ch x cv.
std::vector<uint8_t> Encode(int w, int h, int hs = 1, int vs = 1, bool progressive = false,
                            int chs = 1, int cvs = 1) {
    jpeg_compress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = w;
    info.image_height = h;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    info.comp_info[0].h_samp_factor = hs;
    info.comp_info[0].v_samp_factor = vs;
    info.comp_info[1].h_samp_factor = chs;
    info.comp_info[1].v_samp_factor = cvs;
    if (progressive) jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row(static_cast<size_t>(w) * 3);
    while (info.next_scanline < info.image_height) {
        const int y = static_cast<int>(info.next_scanline);
        for (int x = 0; x < w; ++x) {
            const uint32_t p = Expected(x, y, w, h);
            row[3 * x] = (p >> 16) & 0xFF;
            row[3 * x + 1] = (p >> 8) & 0xFF;
            row[3 * x + 2] = p & 0xFF;
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&info, &r, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<uint8_t> bytes(out, out + size);
    std::free(out);
    return bytes;
}

// Close to the expected colour: every channel within the tolerance.
bool Near(uint32_t a, uint32_t b, int tolerance = 40) {
    for (int shift = 0; shift <= 16; shift += 8) {
        const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        if (std::abs(d) > tolerance) return false;
    }
    return true;
}

// Checks pixels away from the colour edges (compression blurs them).
void ExpectPicture(const Frame& f, int x0, int y0, int w, int h) {
    for (int y = 0; y < h; ++y) {
        if (std::abs(y - h / 2) <= 5 && std::abs(y - h / 2) >= 1) continue;
        for (int x = 0; x < w; ++x) {
            if (std::abs(x - w / 2) <= 3) continue;
            if (x0 + x < 0 || y0 + y < 0 || x0 + x >= f.width() || y0 + y >= f.height()) continue;
            ASSERT_TRUE(Near(f.At(x0 + x, y0 + y), Expected(x, y, w, h))) << x << "," << y;
        }
    }
}

TEST(DrawJPEG, DecodesTheUsualSubsamplingsInPlace) {
    struct Case {
        int hs, vs;
        bool progressive;
    };
    for (const Case c : {Case{1, 1, false}, Case{2, 1, false}, Case{2, 2, false}, Case{1, 2, false},
                         Case{2, 2, true}}) {
        SCOPED_TRACE(c.hs * 10 + c.vs + (c.progressive ? 100 : 0));
        Reports reports;
        Frame f(64, 48);
        const std::vector<uint8_t> jpeg = Encode(40, 32, c.hs, c.vs, c.progressive);
        EXPECT_EQ(GUI_DrawJPEG(jpeg.data(), jpeg.size(), 10, 8), 0);
        ExpectPicture(f, 10, 8, 40, 32);
        EXPECT_TRUE(f.UnchangedOutside(10, 8, 49, 39, kFill));
        EXPECT_TRUE(reports.warnings.empty());
        EXPECT_EQ(f.changes(), 1);
    }
}

TEST(DrawJPEG, PictureIsClippedAndMayHangOffTheDisplay) {
    Reports reports;
    Frame f(64, 48);
    const std::vector<uint8_t> jpeg = Encode(40, 32);
    const GUI_RECT clip{20, 10, 35, 20};
    GUI_SetClipRect(&clip);
    GUI_SetOrigin(5, 0);
    EXPECT_EQ(GUI_DrawJPEG(jpeg.data(), jpeg.size(), 0, 0), 0);
    EXPECT_TRUE(f.UnchangedOutside(20, 10, 35, 20, kFill));
    EXPECT_TRUE(Near(f.At(20, 10), 0xFF0000));
    EXPECT_TRUE(Near(f.At(35, 10), 0x0000FF));
    // Hanging off the top-left and the bottom-right of the display.
    GUI_SetClipRect(nullptr);
    GUI_SetOrigin(0, 0);
    f.Fill(kFill);
    EXPECT_EQ(GUI_DrawJPEG(jpeg.data(), jpeg.size(), -20, -10), 0);
    ExpectPicture(f, -20, -10, 40, 32);
    EXPECT_EQ(GUI_DrawJPEG(jpeg.data(), jpeg.size(), 50, 30), 0);
    ExpectPicture(f, 50, 30, 40, 32);
    EXPECT_TRUE(reports.warnings.empty());
}

TEST(DrawJPEG, TruncatedFileWarnsAndDrawsWhatItCan) {
    Reports reports;
    Frame f(64, 64);
    const std::vector<uint8_t> jpeg = Encode(64, 64);
    const std::vector<uint8_t> half(jpeg.begin(), jpeg.begin() + jpeg.size() * 2 / 3);
    EXPECT_EQ(GUI_DrawJPEG(half.data(), half.size(), 0, 0), 1);
    ASSERT_EQ(reports.warnings.size(), 1u);
    EXPECT_EQ(reports.warnings[0], kCorrupt);
    // The rows before the cut are there.
    EXPECT_TRUE(Near(f.At(5, 2), 0xFF0000));
    EXPECT_TRUE(Near(f.At(60, 2), 0x0000FF));
}

TEST(DrawJPEG, GarbageAndEmptyInputOnlyWarn) {
    Reports reports;
    Frame f(32, 32);
    std::vector<uint8_t> garbage(500);
    for (size_t i = 0; i < garbage.size(); ++i)
        garbage[i] = static_cast<uint8_t>(i * 37 + 11);
    EXPECT_EQ(GUI_DrawJPEG(garbage.data(), garbage.size(), 0, 0), 1);
    EXPECT_EQ(GUI_DrawJPEG(garbage.data(), 0, 0, 0), 1);
    EXPECT_EQ(GUI_DrawJPEG(nullptr, 100, 0, 0), 1);
    // A header alone: no picture data.
    const std::vector<uint8_t> jpeg = Encode(16, 16);
    EXPECT_EQ(GUI_DrawJPEG(jpeg.data(), 20, 0, 0), 1);
    EXPECT_EQ(f.CountNot(kFill), 0);
    EXPECT_EQ(reports.warnings.size(), 4u);
    for (const std::string& w : reports.warnings)
        EXPECT_EQ(w, kCorrupt);
    EXPECT_TRUE(reports.errors.empty());
}

TEST(DrawJPEG, UnusualSubsamplingIsRefusedWithTheConverterWarning) {
    Reports reports;
    Frame f(32, 32);
    // Chrominance sampled twice as often as luminance.
    const std::vector<uint8_t> jpeg = Encode(16, 16, 1, 1, false, 2, 2);
    EXPECT_EQ(GUI_DrawJPEG(jpeg.data(), jpeg.size(), 0, 0), 1);
    ASSERT_EQ(reports.warnings.size(), 1u);
    EXPECT_EQ(reports.warnings[0], "GUI_JPEG:\nIllegal value in _ConvertH2V2()!");
    EXPECT_EQ(f.CountNot(kFill), 0);
}

TEST(DrawJPEG, FileIsReadWholeOrReportedUnreadable) {
    Reports reports;
    Frame f(64, 48);
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() /
        ("draw_jpeg_" + std::to_string(::getpid()) + "_" + std::to_string(std::rand()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "picture.jpg").string();
    const std::vector<uint8_t> jpeg = Encode(40, 32);
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(jpeg.data()), static_cast<long>(jpeg.size()));
    }
    EXPECT_EQ(GUI_DrawJPEGFile(path.c_str(), 0, 0), 0);
    ExpectPicture(f, 0, 0, 40, 32);
    EXPECT_EQ(GUI_DrawJPEGFile((dir / "missing.jpg").string().c_str(), 0, 0), -1);
    EXPECT_EQ(GUI_DrawJPEGFile(dir.string().c_str(), 0, 0), -1); // a folder
    { std::ofstream empty(dir / "empty.jpg"); }
    EXPECT_EQ(GUI_DrawJPEGFile((dir / "empty.jpg").string().c_str(), 0, 0), -1);
    EXPECT_EQ(GUI_DrawJPEGFile(nullptr, 0, 0), -1);
    std::filesystem::remove_all(dir);
}

TEST(DrawJPEG, TheStartPictureDecodesWhole) {
    Reports reports;
    Frame f(800, 480);
    const std::string path = std::string(VELTRA_SOURCE_DIR) + "/Data_Media/welcomeImage.jpg";
    EXPECT_EQ(GUI_DrawJPEGFile(path.c_str(), 0, 0), 0);
    EXPECT_TRUE(reports.warnings.empty());
    EXPECT_LT(800 * 480 - f.CountNot(kFill), 800 * 480 / 100); // the whole frame is covered
}

} // namespace
