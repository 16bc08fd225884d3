// Renders the start picture with the program's own drawing code and writes it as a JPEG.
// Usage: veltra-welcome-image <out.jpg> [preview.png]
// (the committed picture is Data_Media/welcomeImage.jpg). The preview is the written JPEG
// decoded again by GUI_DrawJPEG: what the program will show.
#include "gui/host/host.h"
#include "gui/toolkit/draw/gui_draw.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace {

constexpr int kW = 800;
constexpr int kH = 480;

std::vector<uint32_t> g_screen(kW* kH);

void UseScreen() {
    GUI_SetDrawTarget(g_screen.data(), kW, kH, kW, nullptr);
}

// Text drawn as a dot matrix, the look of the display unit's LCD: every font pixel becomes an
// anti-aliased dot at the given pitch. Returns the width in screen pixels.
int DotText(const char* text, const GUI_FONTDEF* font, int x0, int y0, int pitch, int radius,
            GUI_COLOUR colour, bool measure_only) {
    GUI_SelectFont(font);
    const int w = GUI_GetTextWidth(text);
    const int h = GUI_GetFontHeight();
    if (measure_only) return w * pitch;
    std::vector<uint32_t> mask(static_cast<size_t>(w) * h, 0);
    GUI_SetDrawTarget(mask.data(), w, h, w, nullptr);
    GUI_SetTextDrawMode(GUI_TEXTMODE_TRANSPARENT);
    GUI_SetDrawColor(0xFFFFFF);
    GUI_PrintAt(text, 0, 0);
    UseScreen();
    GUI_SetDrawColor(colour);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (mask[static_cast<size_t>(y) * w + x] != 0)
                GUI_FillCircleAA(x0 + x * pitch, y0 + y * pitch, radius);
    return w * pitch;
}

void Background() {
    GUI_FillGradientV(0, 0, kW - 1, kH - 1, 0x3A1E0A, 0x0A0603);
    // A faint grid like the cells of a display.
    GUI_SetDrawColor(0x2A160A);
    for (int x = 0; x < kW; x += 40)
        GUI_FillRectangle(x, 0, x, kH - 1);
    for (int y = 0; y < kH; y += 40)
        GUI_FillRectangle(0, y, kW - 1, y);
}

void Sun(int cx, int cy) {
    // A soft glow: translucent discs stacked in alpha mode.
    GUI_EnableAlphaBlending(1);
    for (int i = 0; i < 6; ++i) {
        GUI_SetDrawColor(0xE830C8FF);
        GUI_FillCircleAA(cx, cy, 30 + 9 * i);
    }
    GUI_EnableAlphaBlending(0);
    GUI_SetDrawColor(0x30C8FF);
    GUI_FillCircleAA(cx, cy, 26);
    GUI_SetLineWidth(3);
    for (int i = 0; i < 12; ++i) {
        const double a = i * M_PI / 6 + M_PI / 12;
        const int x0 = cx + static_cast<int>(std::lround(34 * std::cos(a)));
        const int y0 = cy - static_cast<int>(std::lround(34 * std::sin(a)));
        const int x1 = cx + static_cast<int>(std::lround(46 * std::cos(a)));
        const int y1 = cy - static_cast<int>(std::lround(46 * std::sin(a)));
        GUI_DrawLineAA(x0, y0, x1, y1);
    }
}

void SolarPanel(int x, int y) {
    // A panel seen at an angle: a parallelogram of 4 x 3 cells.
    const int cols = 4, rows = 3, cw = 34, ch = 22, slant = 10;
    GUI_SetDrawColor(0x9A9A9A);
    const GUI_POINT frame[4] = {
        {static_cast<int16_t>(slant * rows - 4), -4},
        {static_cast<int16_t>(slant * rows + cols * cw + 4), -4},
        {static_cast<int16_t>(cols * cw + 2), static_cast<int16_t>(rows * ch + 4)},
        {-6, static_cast<int16_t>(rows * ch + 4)}};
    GUI_FillPolygonAA(frame, 4, x, y);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) {
            const int top = r * ch, left = c * cw + slant * (rows - r);
            const GUI_POINT cell[4] = {
                {static_cast<int16_t>(left + 1), static_cast<int16_t>(top + 1)},
                {static_cast<int16_t>(left + cw - 2), static_cast<int16_t>(top + 1)},
                {static_cast<int16_t>(left + cw - 2 - slant), static_cast<int16_t>(top + ch - 1)},
                {static_cast<int16_t>(left + 1 - slant), static_cast<int16_t>(top + ch - 1)}};
            GUI_SetDrawColor(r == 0 ? 0x8A4A1A : 0x6A3410);
            GUI_FillPolygonAA(cell, 4, x, y);
        }
    // The stand.
    GUI_SetDrawColor(0x707070);
    GUI_FillRoundRectAA(x + 70, y + rows * ch + 4, x + 78, y + rows * ch + 40, 2);
    GUI_FillRoundRectAA(x + 44, y + rows * ch + 36, x + 104, y + rows * ch + 42, 3);
}

void Battery(int x, int y, int w, int h, int level_bars) {
    GUI_SetDrawColor(0x808080);
    GUI_FillRoundRectAA(x + w / 2 - 12, y - 10, x + w / 2 + 12, y + 2, 3);
    GUI_FillRoundRectGradient(x, y, x + w, y + h, 8, 0x909090, 0x404040);
    GUI_SetDrawColor(0x1A1A1A);
    GUI_FillRoundRectAA(x + 6, y + 6, x + w - 6, y + h - 6, 5);
    const int bars = 5;
    const int gap = 5;
    const int bh = (h - 12 - gap * (bars + 1)) / bars;
    for (int i = 0; i < bars; ++i) {
        const int by = y + h - 6 - gap - (i + 1) * bh - i * gap;
        GUI_SetDrawColor(i < level_bars ? (i == 0 ? 0x30C0FF : 0x30D030) : 0x303030);
        GUI_FillRoundRectAA(x + 12, by, x + w - 12, by + bh - 1, 3);
    }
    // The charging bolt.
    const int cx = x + w / 2, cy = y + h * 4 / 5;
    const GUI_POINT bolt[7] = {{0, 0},
                               {14, static_cast<int16_t>(-0.35 * h)},
                               {6, static_cast<int16_t>(-0.35 * h)},
                               {14, static_cast<int16_t>(-0.6 * h)},
                               {-10, static_cast<int16_t>(-0.6 * h)},
                               {-10, static_cast<int16_t>(-0.28 * h)},
                               {-3, static_cast<int16_t>(-0.28 * h)}};
    GUI_SetDrawColor(0x000000);
    GUI_FillPolygonAA(bolt, 7, cx + 2, cy + 2);
    GUI_SetDrawColor(0x00FFFF);
    GUI_FillPolygonAA(bolt, 7, cx, cy);
}

// A gauge ring like the device pages show.
void Gauge(int cx, int cy, int r, int sweep, GUI_COLOUR colour, const char* text) {
    GUI_SetLineWidth(12);
    GUI_SetDrawColor(0x404040);
    GUI_DrawArcAA(cx, cy, r, r, 90, 450);
    GUI_SetDrawColor(colour);
    GUI_DrawArcAA(cx, cy, r, r, 90 - sweep, 90);
    GUI_SetTextDrawMode(GUI_TEXTMODE_TRANSPARENT);
    GUI_SelectFont(&FONT_24B);
    GUI_SetDrawColor(0xFFFFFF);
    GUI_PrintCenteredAt(text, cx, cy - GUI_GetFontHeight() / 2);
}

void Caption(const char* text, int cx, int y) {
    GUI_SetTextDrawMode(GUI_TEXTMODE_TRANSPARENT);
    GUI_SelectFont(&FONT_16);
    GUI_SetDrawColor(0xA08060);
    GUI_PrintCenteredAt(text, cx, y);
}

void Scene() {
    Background();
    Sun(730, 70);
    SolarPanel(80, 300);
    Battery(600, 285, 90, 140, 4);
    Gauge(400, 350, 58, 245, 0x30D030, "68%");
    Caption("Solar", 160, 445);
    Caption("State of charge", 400, 445);
    Caption("Battery", 645, 445);

    // The name in dot matrix, centred, with a soft shadow.
    const char* name = "veltraDesktop";
    const int pitch = 3;
    const int width = DotText(name, &FONT_20B, 0, 0, pitch, 1, 0, true);
    const int x0 = (kW - width) / 2;
    DotText(name, &FONT_20B, x0 + 3, 53, pitch, 1, 0x2A1408, false);
    DotText(name, &FONT_20B, x0, 50, pitch, 1, 0xFFF0C0, false);

    GUI_SetTextDrawMode(GUI_TEXTMODE_TRANSPARENT);
    GUI_SelectFont(&FONT_24);
    GUI_SetDrawColor(0xE0C090);
    GUI_PrintCenteredAt("Battery and solar energy monitor", kW / 2, 150);
    GUI_SetDrawColor(0x30C8FF);
    GUI_FillRoundRectAA(kW / 2 - 150, 186, kW / 2 + 150, 188, 1);
    GUI_SelectFont(&FONT_16);
    GUI_SetDrawColor(0xA08060);
    GUI_PrintCenteredAt("v1.07.00", kW / 2, 198);
}

int WriteJpeg(const char* path) {
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return -1;
    jpeg_compress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = kW;
    info.image_height = kH;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 92, TRUE);
    // Full chroma resolution keeps the coloured edges of text and rings clean.
    info.comp_info[0].h_samp_factor = 1;
    info.comp_info[0].v_samp_factor = 1;
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row(kW * 3);
    while (info.next_scanline < info.image_height) {
        const uint32_t* src = g_screen.data() + static_cast<size_t>(info.next_scanline) * kW;
        for (int x = 0; x < kW; ++x) {
            row[3 * x] = (src[x] >> 16) & 0xFF;
            row[3 * x + 1] = (src[x] >> 8) & 0xFF;
            row[3 * x + 2] = src[x] & 0xFF;
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&info, &r, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(file) == 0 ? 0 : -1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s <out.jpg> [preview.png]\n", argv[0]);
        return 2;
    }
    UseScreen();
    GUI_SetDefaultFont(&FONT_16);
    GUI_InitContext(GUI_pContext);
    GUI_SetAAFactor(6);
    Scene();
    if (WriteJpeg(argv[1]) != 0) {
        std::fprintf(stderr, "could not write %s\n", argv[1]);
        return 1;
    }
    if (argc == 3) {
        std::fill(g_screen.begin(), g_screen.end(), 0);
        if (GUI_DrawJPEGFile(argv[1], 0, 0) != 0 ||
            HOST_WritePNGPixels(argv[2], g_screen.data(), kW, kH, kW) != 0) {
            std::fprintf(stderr, "could not write %s\n", argv[2]);
            return 1;
        }
    }
    return 0;
}
