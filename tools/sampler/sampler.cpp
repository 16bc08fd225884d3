// The drawing sampler: every primitive and every catalogue font drawn into the headless host's
// frame buffer, written as a PNG for a look by eye.
// Usage: veltra-sampler [out.png [zoom.png x y width height scale]]
// The optional second PNG is a region of the screen magnified, for judging edges.
#include "gui/host/host.h"
#include "gui/toolkit/draw/gui_draw.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

void Label(const char* text, int x, int y) {
    GUI_SelectFont(&FONT_10);
    GUI_SetDrawColor(0xC0C0C0);
    GUI_PrintCenteredAt(text, x, y);
}

// A gauge as the device pages draw it: dark ring, value arc clockwise from the top.
void Gauge(int x0, int y0, int size, int angle, GUI_COLOUR colour) {
    const int w = 10;
    const int cx = x0 + size / 2, cy = y0 + size / 2;
    const int r = (size - w) / 2;
    GUI_SetLineWidth(w);
    GUI_SetDrawColor(0x404040);
    GUI_DrawArcAA(cx, cy, r, r, 90, 450);
    GUI_SetDrawColor(colour);
    GUI_DrawArcAA(cx, cy, r, r, 180 - angle, 90);
    GUI_SelectFont(&FONT_20B);
    GUI_PrintCenteredAt("57 %", cx, cy - 10);
}

void Shapes() {
    // Row 1: fills and gradients.
    GUI_SetDrawColor(0x0000FF);
    GUI_FillRectangle(10, 10, 69, 69);
    GUI_FillGradientH(80, 10, 159, 69, 0x0000FF, 0xFF0000);
    GUI_FillGradientV(170, 10, 249, 69, 0x00FFFF, 0x008000);
    GUI_FillRoundRectGradient(260, 10, 339, 69, 10, 0x808080, 0x404040);
    GUI_SetDrawColor(0x00A5FF);
    GUI_FillRoundRectAA(350, 10, 429, 69, 12);
    GUI_SetDrawColor(0xFFFFFF);
    GUI_DrawRoundFrame(440, 10, 519, 69, 14, 5);
    GUI_DrawRoundRect(530, 10, 609, 69, 10);
    GUI_OutlineCircle(650, 40, 29);
    GUI_SetDrawColor(0x00FF00);
    GUI_FillCircleAA(720, 40, 29);
    Label("rect", 40, 72);
    Label("grad H", 120, 72);
    Label("grad V", 210, 72);
    Label("round grad", 300, 72);
    Label("round AA", 390, 72);
    Label("frame", 480, 72);
    Label("round rect", 570, 72);
    Label("circle", 650, 72);
    Label("circle AA", 720, 72);

    // Row 2: gauges, arcs, polygon, lines, bitmap, alpha text.
    Gauge(10, 95, 150, 250, 0x00C000);
    Gauge(170, 95, 150, 420, 0x00FFFF);
    GUI_SetLineWidth(3);
    GUI_SetDrawColor(0xFF0000);
    for (int r = 6; r >= 2; --r)
        for (int i = 0; i < 6; ++i)
            GUI_DrawArcAA(346 + 12 * i, 130, r, r, 0, 180);
    GUI_SetLineWidth(4);
    GUI_SetDrawColor(0xFFFF00);
    GUI_DrawArcAA(380, 200, 40, 25, 200, 340);
    Label("arcs", 380, 232);

    // The charging bolt of the battery element.
    const int h = 100;
    const GUI_POINT bolt[7] = {{0, 0},
                               {10, static_cast<int16_t>(-0.35 * h)},
                               {5, static_cast<int16_t>(-0.35 * h)},
                               {10, static_cast<int16_t>(-0.55 * h)},
                               {-8, static_cast<int16_t>(-0.55 * h)},
                               {-8, static_cast<int16_t>(-0.25 * h)},
                               {-2, static_cast<int16_t>(-0.25 * h)}};
    GUI_FillRoundRectGradient(450, 120, 500, 220, 2, 0x808080, 0x404040);
    GUI_SetDrawColor(0x808080);
    GUI_FillRoundRectAA(467, 110, 483, 117, 1);
    GUI_SetDrawColor(0x00FFFF);
    GUI_FillPolygonAA(bolt, 7, 475, 200);
    Label("polygon", 475, 232);

    // Sun with rays.
    GUI_SetDrawColor(0x00FFFF);
    GUI_FillCircleAA(570, 165, 18);
    GUI_SetLineWidth(3);
    const int len = 14, rr = 18;
    GUI_DrawLineAA(570, 165 - rr - 4, 570, 165 - rr - 4 - len);
    GUI_DrawLineAA(570, 165 + rr + 4, 570, 165 + rr + 4 + len);
    GUI_DrawLineAA(570 + rr + 4, 165, 570 + rr + 4 + len, 165);
    GUI_DrawLineAA(570 - rr - 4, 165, 570 - rr - 4 - len, 165);
    GUI_DrawLineAA(570 + rr, 165 - rr, 570 + rr + len, 165 - rr - len);
    GUI_DrawLineAA(570 - rr, 165 - rr, 570 - rr - len, 165 - rr - len);
    GUI_DrawLineAA(570 + rr, 165 + rr, 570 + rr + len, 165 + rr + len);
    GUI_DrawLineAA(570 - rr, 165 + rr, 570 - rr - len, 165 + rr + len);
    Label("AA lines", 570, 232);

    // Plain lines, 1 and 4 pixels wide.
    GUI_SetDrawColor(0xFFFFFF);
    GUI_SetLineWidth(1);
    for (int i = 0; i < 6; ++i)
        GUI_DrawLinePlain(630, 110 + 8 * i, 700, 100 + 20 * i);
    GUI_SetLineWidth(4);
    GUI_SetDrawColor(0xFF00FF);
    GUI_DrawLinePlain(630, 225, 700, 180);
    Label("plain lines", 665, 232);

    // A palette bitmap: an arrow.
    static const uint8_t arrow[] = {0x08, 0x00, 0x0C, 0x00, 0x0E, 0x00, 0xFF, 0x00, 0xFF,
                                    0x80, 0xFF, 0x00, 0x0E, 0x00, 0x0C, 0x00, 0x08, 0x00};
    static const GUI_COLOUR arrow_colours[2] = {0x202020, 0x00D0FF};
    static const GUI_LOGPALETTE arrow_palette = {2, 0, arrow_colours};
    static const GUI_PICTURE arrow_picture = {9, 9, 2, 1, arrow, &arrow_palette, nullptr};
    for (int i = 0; i < 3; ++i)
        GUI_BlitPicture(&arrow_picture, 720 + 14 * i, 120);
    Label("bitmap", 747, 135);

    // Alpha mode: a half transparent value over a battery bar.
    GUI_FillRoundRectGradient(715, 160, 785, 220, 5, 0x808080, 0x404040);
    GUI_SetDrawColor(0x00C000);
    GUI_FillRectangle(720, 190, 780, 215);
    GUI_SetTextDrawMode(GUI_TEXTMODE_TRANSPARENT);
    GUI_SetBackColor(0xFF000000);
    GUI_EnableAlphaBlending(1);
    GUI_SetDrawColor(0x60FFFFFF);
    GUI_SelectFont(&FONT_24B);
    GUI_PrintCenteredAt("88%", 750, 178);
    GUI_EnableAlphaBlending(0);
    Label("alpha", 750, 232);

    // Text in rectangles with the four alignments, and the character limit.
    GUI_SetDrawColor(0x606060);
    const GUI_RECT boxes[4] = {
        {10, 250, 130, 290}, {140, 250, 260, 290}, {270, 250, 390, 290}, {400, 250, 520, 290}};
    const int aligns[4] = {GUI_ALIGN_LEFT | GUI_ALIGN_TOP, GUI_ALIGN_HCENTER | GUI_ALIGN_VCENTER,
                           GUI_ALIGN_RIGHT | GUI_ALIGN_BOTTOM, GUI_ALIGN_HCENTER};
    GUI_SelectFont(&FONT_13B);
    for (int i = 0; i < 4; ++i) {
        GUI_SetDrawColor(0x606060);
        GUI_DrawRoundRect(boxes[i].x0, boxes[i].y0, boxes[i].x1, boxes[i].y1, 4);
        GUI_SetDrawColor(0xFFFFFF);
        if (i < 3) {
            GUI_PrintInRect("Two lines\nof text", &boxes[i], aligns[i]);
        } else {
            GUI_PrintInRectMax("CLEAR ALL", &boxes[i], GUI_ALIGN_HCENTER | GUI_ALIGN_VCENTER, 3);
        }
    }
    // Normal and reversed text modes.
    GUI_SetBackColor(0x800000);
    GUI_SetTextDrawMode(GUI_TEXTMODE_NORMAL);
    GUI_PrintAt("normal", 540, 255);
    GUI_SetTextDrawMode(GUI_TEXTMODE_REVERSED);
    GUI_PrintAt("reversed", 620, 255);
    GUI_SetTextDrawMode(GUI_TEXTMODE_TRANSPARENT);
    GUI_FillGradientH(540, 272, 790, 290, 0x0000C0, 0xC00000);
    GUI_SetDrawColor(0xFFFFFF);
    GUI_PrintAt("transparent over a gradient", 545, 275);
}

void Fonts() {
    GUI_SetTextDrawMode(GUI_TEXTMODE_TRANSPARENT);
    GUI_SetDrawColor(0xFFFFFF);
    char line[96];
    int y = 300;
    int x = 8;
    for (const GUI_CATALOGUE_FONT& f : GUI_FontCatalogue) {
        if (f.font == &FONT_20) {
            x = 360;
            y = 300;
        }
        GUI_SelectFont(f.font);
        std::snprintf(line, sizeof line,
                      "%s AaWi0 \xC4\xD6\xDC\xE4\xF6\xFC\xDF 23.5\xB0"
                      "C",
                      f.name);
        GUI_PrintAt(line, x, y);
        y += GUI_GetFontLineDist();
    }
}

int WriteZoom(const char* path, int x0, int y0, int w, int h, int scale) {
    if (w <= 0 || h <= 0 || scale <= 0 || w * scale > 4096 || h * scale > 4096) return -1;
    std::vector<uint32_t> out(static_cast<size_t>(w) * scale * h * scale);
    for (int y = 0; y < h * scale; ++y)
        for (int x = 0; x < w * scale; ++x)
            out[static_cast<size_t>(y) * w * scale + x] =
                HOST_GetPixel(0, x0 + x / scale, y0 + y / scale);
    return HOST_WritePNGPixels(path, out.data(), w * scale, h * scale, w * scale);
}

} // namespace

int main(int argc, char** argv) {
    const char* out = argc > 1 ? argv[1] : "sampler.png";
    setenv("VELTRA_HOST", "headless", 1);
    if (const char* warning = HOST_Init()) std::fprintf(stderr, "%s\n", warning);
    GUI_SetDrawTarget(HOST_GetFrameBuffer(0), HOST_XSIZE, HOST_YSIZE, HOST_XSIZE,
                      HOST_IncrementChangeCount);
    GUI_SetDefaultFont(&FONT_13);
    GUI_InitContext(GUI_pContext);
    GUI_SetAAFactor(6);
    GUI_SetBackColor(0x201810);
    GUI_ClearWindow();
    Shapes();
    Fonts();
    int result = HOST_WritePNG(out, 0);
    if (result == 0 && argc > 7)
        result = WriteZoom(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]),
                           std::atoi(argv[6]), std::atoi(argv[7]));
    HOST_Exit();
    if (result != 0) {
        std::fprintf(stderr, "could not write %s\n", out);
        return 1;
    }
    std::printf("%s\n", out);
    return 0;
}
