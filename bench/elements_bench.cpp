// The drawn elements against cairo drawing the same shapes on an 800 x 480 ARGB32 surface in
// the same run: the Home page's three 200 x 200 ring gauges with their pictograms, and one
// Corvo tile (battery, signed gauge with plate, captioned gauge, thermometer, two lamps, value
// box). After the runs each pair is printed with its ratio (ours / cairo; below 1 means we
// are faster).
#include "elements/element.h"
#include "elements/uguibattery.h"
#include "elements/uguigauge.h"
#include "elements/uguithermometer.h"
#include "gui/toolkit/draw/gui_draw.h"

#include "bench/bench_cairo.h"
#include "bench/bench_util.h"

#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kW = 800;
constexpr int kH = 480;

std::vector<uint32_t> g_frame(kW* kH);

void OurTarget() {
    static const bool ready = [] {
        GUI_SetDrawTarget(g_frame.data(), kW, kH, kW, nullptr);
        GUI_SetDefaultFont(&FONT_16);
        GUI_InitContext(GUI_pContext);
        GUI_SetAAFactor(6); // as the program runs
        return true;
    }();
    (void)ready;
}

using benchcairo::C;

// ---- Our elements -------------------------------------------------------------------------

ELEMENT_PARAMS Record(int x, int y, int w, int h, int32_t value, int32_t min, int32_t max,
                      const char* format, int32_t divisor, const GUI_FONTDEF& font) {
    ELEMENT_PARAMS p{};
    p.x0 = x, p.y0 = y, p.xSize = w, p.ySize = h;
    p.value = value, p.min = min, p.max = max;
    p.value_font = font;
    p.format = format;
    p.divisor = divisor;
    p.ring_width = 10;
    p.label_mode = 1;
    p.caption_font = FONT_16B;
    return p;
}

void OurHome() {
    ELEMENT_PARAMS in = Record(10, 150, 200, 200, 1240, 0, 2000, "%d W", 1, FONT_32B);
    in.label_mode = 2, in.t1 = -1, in.t2 = -1, in.t3 = 1900, in.t4 = 1000;
    uguigauge_DrawRange(&in);
    ELEMENT_DrawSolarPanel(10 + 80 + 12, 150 + 120 + 12, 6, 3);
    ELEMENT_DrawSun(10 + 80, 150 + 120, 12, 12);

    ELEMENT_PARAMS soc = Record(242, 50, 300, 300, 684, 0, 1000, "%.1f %%", 10, FONT_32B);
    soc.label_mode = 0, soc.t1 = 50, soc.t2 = 100, soc.t3 = 1100, soc.t4 = 1050;
    uguigauge_DrawRange(&soc);
    ELEMENT_DrawChargingBattery(242 + 120, 50 + 150, 50, 100, 1);

    ELEMENT_PARAMS out = Record(575, 150, 200, 200, 310, 0, 2000, "%d W", 1, FONT_32B);
    out.label_mode = 2, out.t1 = -1, out.t2 = -1, out.t3 = 1900, out.t4 = 1500;
    uguigauge_DrawRange(&out);
    ELEMENT_DrawBulb(575 + 90, 150 + 140, 25, 4, 2, 1);
}

void OurCorvo(int x, int y) {
    ELEMENT_PARAMS b = Record(x + 15, y + 40, 70, 200, 68400, 0, 100000, "%.1f%%", 1000, FONT_20B);
    b.t1 = 10000, b.t2 = 20000, b.t3 = 110000, b.t4 = 105000;
    uguibattery_DrawUpright(&b);

    ELEMENT_PARAMS g =
        Record(x + 103, y + 40, 96, 96, -12400, -50000, 50000, "%.3f\nA", 1000, FONT_20B);
    g.t1 = -45000, g.t2 = -30000, g.t3 = 45000, g.t4 = 30000;
    uguigauge_DrawSigned(&g);
    GUI_SetDrawColor(0x808080);
    GUI_FillRoundRectAA(x + 103, y + 141, x + 199, y + 161, 5);
    GUI_SetDrawColor(0x000000);
    GUI_SelectFont(&FONT_16B);
    GUI_PrintCenteredAt("CURRENT", x + 151, y + 143);

    ELEMENT_PARAMS v =
        Record(x + 103, y + 175, 96, 120, 52800, 0, 60000, "%.3f\nV", 1000, FONT_20B);
    v.t1 = 40000, v.t2 = 44000, v.t3 = 58000, v.t4 = 56000;
    v.caption = "VOLTAGE";
    uguigauge_DrawCaptioned(&v);

    GUI_SelectFont(&FONT_20B);
    THERMO_PARAMS t{x + 15,
                    y + 252,
                    70,
                    47,
                    2500,
                    8500,
                    -5000,
                    "%.0f\xB0"
                    "C",
                    "SHUNT",
                    -2000,
                    -1000,
                    8000,
                    7000,
                    100,
                    0};
    uguithermometer_DrawSideValue(&t);

    INDICATOR_PARAMS lamp{};
    lamp.x0 = x + 40, lamp.y0 = y + 345, lamp.xSize = 65, lamp.ySize = 25;
    lamp.state = 1, lamp.font = FONT_13B, lamp.label = "LVP";
    lamp.colour1 = 0x808080, lamp.colour2 = 0x00FF00, lamp.colour3 = 0x00FF00, lamp.border = 2;
    ELEMENT_DrawIndicator(&lamp);
    lamp.x0 = x + 115, lamp.label = "OVP";
    ELEMENT_DrawIndicator(&lamp);

    GUI_SetDrawColor(0x808080);
    GUI_FillRoundRectAA(x + 10, y + 310, x + 210, y + 335, 5);
    GUI_SetDrawColor(0x00FF00);
    GUI_SelectFont(&FONT_20B);
    GUI_PrintCenteredAt("123.456 Ah", x + 110, y + 312);
}

// ---- The same shapes by cairo -------------------------------------------------------------

using benchcairo::Rgb;

// A new path holding only the round rectangle.
void RoundRect(cairo_t* cr, double x0, double y0, double x1, double y1, double r) {
    cairo_new_path(cr);
    benchcairo::RoundRect(cr, x0, y0, x1, y1, r);
}

void FillRoundRect(cairo_t* cr, GUI_COLOUR c, double x0, double y0, double x1, double y1,
                   double r) {
    Rgb(cr, c);
    RoundRect(cr, x0, y0, x1 + 1, y1 + 1, r);
    cairo_fill(cr);
}

// A gradient (top to bottom, or left to right) over a rectangle or a rounded rectangle.
void Gradient(cairo_t* cr, bool vertical, GUI_COLOUR c0, GUI_COLOUR c1, double x0, double y0,
              double x1, double y1, double r) {
    cairo_pattern_t* g = vertical ? cairo_pattern_create_linear(0, y0, 0, y1 + 1)
                                  : cairo_pattern_create_linear(x0, 0, x1 + 1, 0);
    cairo_pattern_add_color_stop_rgb(g, 0, (c0 & 0xFF) / 255.0, ((c0 >> 8) & 0xFF) / 255.0,
                                     ((c0 >> 16) & 0xFF) / 255.0);
    cairo_pattern_add_color_stop_rgb(g, 1, (c1 & 0xFF) / 255.0, ((c1 >> 8) & 0xFF) / 255.0,
                                     ((c1 >> 16) & 0xFF) / 255.0);
    cairo_set_source(cr, g);
    if (r > 0) {
        RoundRect(cr, x0, y0, x1 + 1, y1 + 1, r);
    } else {
        cairo_new_path(cr);
        cairo_rectangle(cr, x0, y0, x1 - x0 + 1, y1 - y0 + 1);
    }
    cairo_fill(cr);
    cairo_pattern_destroy(g);
}

void Disc(cairo_t* cr, GUI_COLOUR c, double x, double y, double r) {
    Rgb(cr, c);
    cairo_new_path(cr);
    cairo_arc(cr, x + 0.5, y + 0.5, r + 0.5, 0, 2 * M_PI);
    cairo_fill(cr);
}

// Counter-clockwise from a0 to a1 (degrees, 0 to the right), as our arcs.
void Arc(cairo_t* cr, GUI_COLOUR c, double cx, double cy, double r, double a0, double a1) {
    Rgb(cr, c);
    cairo_set_line_width(cr, 10);
    cairo_new_path(cr);
    cairo_arc_negative(cr, cx + 0.5, cy + 0.5, r, -a0 * M_PI / 180, -a1 * M_PI / 180);
    cairo_stroke(cr);
}

void Text(cairo_t* cr, GUI_COLOUR c, double size, const char* text, double cx, double y) {
    Rgb(cr, c);
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t e;
    cairo_text_extents(cr, text, &e);
    cairo_move_to(cr, cx - e.x_advance / 2, y + size);
    cairo_show_text(cr, text);
}

void Polygon(cairo_t* cr, GUI_COLOUR c, const GUI_POINT* p, int n, double x, double y) {
    Rgb(cr, c);
    cairo_new_path(cr);
    for (int i = 0; i < n; ++i)
        cairo_line_to(cr, x + p[i].x + 0.5, y + p[i].y + 0.5);
    cairo_close_path(cr);
    cairo_fill(cr);
}

void CairoRing(cairo_t* cr, int x, int y, int size, double angle, GUI_COLOUR c, const char* text,
               double text_y, double font) {
    const double cx = x + size / 2, cy = y + size / 2, r = (size - 10) / 2;
    Arc(cr, 0x404040, cx, cy, r, 0, 360);
    Arc(cr, c, cx, cy, r, 180 - angle, 90);
    Text(cr, c, font, text, cx, text_y);
}

void CairoHome(cairo_t* cr) {
    CairoRing(cr, 10, 150, 200, 313, 0x00FFFF, "1240 W", 250 - 71, 26);
    for (int i = 0; i < 16; ++i)
        Gradient(cr, true, 0xFF944D, 0xFF6600, 102 + i % 4 * 9, 282 + i / 4 * 9,
                 102 + i % 4 * 9 + 5, 282 + i / 4 * 9 + 5, 0);
    Disc(cr, 0x00FFFF, 90, 270, 12);

    CairoRing(cr, 242, 50, 300, 336, 0x00FF00, "68.4 %", 200 - 72, 26);
    Gradient(cr, true, 0x808080, 0x404040, 362, 200, 412, 300, 2);
    FillRoundRect(cr, 0x808080, 379, 190, 395, 197, 1);
    const GUI_POINT bolt[7] = {{0, 0},    {10, -35}, {5, -35}, {10, -55},
                               {-8, -55}, {-8, -25}, {-2, -25}};
    Polygon(cr, 0x00FFFF, bolt, 7, 387, 280);

    CairoRing(cr, 575, 150, 200, 145, 0x00FF00, "310 W", 250 - 71, 26);
    for (int i = 0; i < 4; ++i)
        FillRoundRect(cr, 0x808080, 665, 290 + i * 6, 690, 294 + i * 6, 1);
    FillRoundRect(cr, 0x808080, 671, 314, 683, 318, 1);
    const GUI_POINT neck[4] = {{0, 0}, {25, 0}, {31, -22}, {-6, -22}};
    Polygon(cr, 0x00FFFF, neck, 4, 665, 290);
    Disc(cr, 0x00FFFF, 677, 262, 20);
}

void Glass(cairo_t* cr, GUI_COLOUR c, double cx, double top, double width, double length) {
    const double yb = top + length - width / 2;
    Disc(cr, c, cx, yb, width / 2);
    FillRoundRect(cr, c, cx - width / 6, top, cx + width / 6, yb, width / 6);
}

void CairoCorvo(cairo_t* cr, int x, int y) {
    // Battery: body, terminal, 13 lit segments of two gradients each, the text.
    Gradient(cr, true, 0x808080, 0x404040, x + 15, y + 51, x + 85, y + 240, 5);
    FillRoundRect(cr, 0x808080, x + 39, y + 40, x + 62, y + 51, 1);
    for (int i = 0; i < 13; ++i) {
        const int sy = y + 220 - 7 * i - 6;
        Gradient(cr, false, 0x00FF00, 0xFFFFFF, x + 22, sy, x + 49, sy + 3, 0);
        Gradient(cr, false, 0xFFFFFF, 0x00FF00, x + 50, sy, x + 77, sy + 3, 0);
    }
    Text(cr, 0x00FF00, 16, "68.4%", x + 50, y + 53);

    // Signed gauge with its plate.
    Arc(cr, 0x404040, x + 151, y + 88, 43, 0, 360);
    Arc(cr, 0x00FF00, x + 151, y + 88, 43, 90, 179);
    Text(cr, 0x00FF00, 16, "-12.400", x + 151, y + 68);
    Text(cr, 0x00FF00, 16, "A", x + 151, y + 88);
    FillRoundRect(cr, 0x808080, x + 103, y + 141, x + 199, y + 161, 5);
    Text(cr, 0x000000, 13, "CURRENT", x + 151, y + 143);

    // Captioned gauge.
    Arc(cr, 0x404040, x + 151, y + 223, 43, 0, 360);
    Arc(cr, 0x00FF00, x + 151, y + 223, 43, -227, 90);
    Text(cr, 0x00FF00, 16, "52.800", x + 151, y + 203);
    Text(cr, 0x00FF00, 16, "V", x + 151, y + 223);
    FillRoundRect(cr, 0x808080, x + 103, y + 275, x + 199, y + 295, 5);
    Text(cr, 0x000000, 13, "VOLTAGE", x + 151, y + 277);

    // Thermometer with the value at the side.
    Glass(cr, 0x808080, x + 23, y + 252, 17, 47);
    Text(cr, 0x808080, 13, "SHUNT", x + 57, y + 283);
    Glass(cr, 0x00FF00, x + 23, y + 272, 8, 27);
    FillRoundRect(cr, 0x808080, x + 28, y + 252, x + 85, y + 272, 5);
    Text(cr, 0x00FF00, 16,
         "25\xC2\xB0"
         "C",
         x + 57, y + 252);

    // Two lamps and the value box.
    for (int i = 0; i < 2; ++i) {
        const int lx = x + 40 + 75 * i;
        FillRoundRect(cr, 0x00FF00, lx, y + 345, lx + 65, y + 370, 6);
        FillRoundRect(cr, 0x000000, lx + 2, y + 347, lx + 63, y + 368, 5);
        Text(cr, 0x00FF00, 11, i == 0 ? "LVP" : "OVP", lx + 33, y + 351);
    }
    FillRoundRect(cr, 0x808080, x + 10, y + 310, x + 210, y + 335, 5);
    Text(cr, 0x00FF00, 16, "123.456 Ah", x + 110, y + 312);
}

// ---- Benchmarks ---------------------------------------------------------------------------

void BM_Ours_HomeGauges(benchmark::State& state) {
    OurTarget();
    for (auto _ : state) {
        GUI_SetBackColor(0x000000);
        GUI_ClearWindow();
        OurHome();
        benchmark::ClobberMemory();
    }
}

void BM_Cairo_HomeGauges(benchmark::State& state) {
    cairo_t* cr = C().cr;
    for (auto _ : state) {
        Rgb(cr, 0x000000);
        cairo_paint(cr);
        CairoHome(cr);
        cairo_surface_flush(C().surface);
    }
}

void BM_Ours_CorvoTile(benchmark::State& state) {
    OurTarget();
    for (auto _ : state) {
        GUI_SetBackColor(0x000000);
        GUI_ClearWindow();
        OurCorvo(10, 40);
        benchmark::ClobberMemory();
    }
}

void BM_Cairo_CorvoTile(benchmark::State& state) {
    cairo_t* cr = C().cr;
    for (auto _ : state) {
        Rgb(cr, 0x000000);
        cairo_paint(cr);
        CairoCorvo(cr, 10, 40);
        cairo_surface_flush(C().surface);
    }
}

BENCHMARK(BM_Ours_HomeGauges);
BENCHMARK(BM_Cairo_HomeGauges);
BENCHMARK(BM_Ours_CorvoTile);
BENCHMARK(BM_Cairo_CorvoTile);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchutil::Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchutil::PrintRatioTable(reporter, "layout", {"HomeGauges", "CorvoTile"});
    if (cairo_status(C().cr) != CAIRO_STATUS_SUCCESS)
        std::printf("cairo failed: %s\n", cairo_status_to_string(cairo_status(C().cr)));
    benchmark::Shutdown();
    return 0;
}
