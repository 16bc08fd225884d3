// The drawing primitives against cairo drawing the same shapes on an 800 x 480 ARGB32 surface
// in the same run. After the runs every pair is printed with its ratio (ours / cairo; below 1
// means we are faster), and the full repaint of a busy device page against the 2 ms budget.
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
        GUI_SetAAFactor(6);
        return true;
    }();
    (void)ready;
}

using benchcairo::C;

using benchcairo::Rgb;

// ---- The shapes, once each way ----------------------------------------------------------

void OurGauge(int x0, int y0, int size, int angle) {
    const int w = 10, cx = x0 + size / 2, cy = y0 + size / 2, r = (size - w) / 2;
    GUI_SetLineWidth(w);
    GUI_SetDrawColor(0x404040);
    GUI_DrawArcAA(cx, cy, r, r, 90, 450);
    GUI_SetDrawColor(0x00C000);
    GUI_DrawArcAA(cx, cy, r, r, 180 - angle, 90);
}

void CairoGauge(cairo_t* cr, int x0, int y0, int size, int angle) {
    const double w = 10, cx = x0 + size / 2 + 0.5, cy = y0 + size / 2 + 0.5, r = (size - w) / 2;
    cairo_set_line_width(cr, w);
    Rgb(cr, 0x404040);
    cairo_new_path(cr);
    cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
    cairo_stroke(cr);
    Rgb(cr, 0x00C000);
    cairo_new_path(cr);
    // Clockwise from the top by angle - 90 degrees (cairo's angles run clockwise).
    cairo_arc(cr, cx, cy, r, -M_PI / 2, -M_PI / 2 + (angle - 90) * M_PI / 180);
    cairo_stroke(cr);
}

void OurText(const GUI_FONTDEF* font, const char* text, int x, int y) {
    GUI_SelectFont(font);
    GUI_PrintAt(text, x, y);
}

void CairoText(cairo_t* cr, double size, bool bold, const char* text, int x, int y) {
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_move_to(cr, x, y + size);
    cairo_show_text(cr, text);
}

// The same line in our Latin-1 and in cairo's UTF-8.
const char* const kTextLine =
    "Battery 12.84 V  -3.2 A  State of charge 68 %  Solar 245 W  Temperature 23.5\xB0"
    "C";
const char* const kTextLineUtf8 =
    "Battery 12.84 V  -3.2 A  State of charge 68 %  Solar 245 W  Temperature 23.5\xC2\xB0"
    "C";

// A busy device page: six tiles with a gauge, a battery bar, labels and values.
void OurPage() {
    GUI_SetBackColor(0x101010);
    GUI_ClearWindow();
    GUI_SetTextDrawMode(GUI_TEXTMODE_TRANSPARENT);
    for (int i = 0; i < 6; ++i) {
        const int x = 8 + (i % 3) * 264, y = 40 + (i / 3) * 218;
        GUI_FillRoundRectGradient(x, y, x + 255, y + 209, 8, 0x505050, 0x282828);
        OurGauge(x + 8, y + 30, 130, 90 + 50 * i);
        GUI_FillRoundRectGradient(x + 160, y + 40, x + 200, y + 160, 5, 0x808080, 0x404040);
        GUI_SetDrawColor(0x00C000);
        GUI_FillRectangle(x + 165, y + 90, x + 195, y + 155);
        GUI_SetDrawColor(0xFFFFFF);
        OurText(&FONT_13B, "Battery protector 1", x + 8, y + 8);
        OurText(&FONT_32B, "12.8", x + 40, y + 80);
        OurText(&FONT_16, "V", x + 110, y + 90);
        OurText(&FONT_8X16, "  -3.21 A", x + 150, y + 175);
    }
    GUI_FillGradientV(0, 0, kW - 1, 31, 0x804000, 0x402000);
    GUI_SelectFont(&FONT_20B);
    GUI_PrintAt("Home   Solar   Batteries   Switches   History", 10, 6);
}

void CairoPage(cairo_t* cr) {
    Rgb(cr, 0x101010);
    cairo_paint(cr);
    for (int i = 0; i < 6; ++i) {
        const int x = 8 + (i % 3) * 264, y = 40 + (i / 3) * 218;
        cairo_pattern_t* g = cairo_pattern_create_linear(0, y, 0, y + 209);
        cairo_pattern_add_color_stop_rgb(g, 0, 0.31, 0.31, 0.31);
        cairo_pattern_add_color_stop_rgb(g, 1, 0.16, 0.16, 0.16);
        cairo_set_source(cr, g);
        cairo_new_path(cr);
        benchcairo::RoundRect(cr, x, y, x + 256, y + 210, 8);
        cairo_fill(cr);
        cairo_pattern_destroy(g);
        CairoGauge(cr, x + 8, y + 30, 130, 90 + 50 * i);
        g = cairo_pattern_create_linear(0, y + 40, 0, y + 160);
        cairo_pattern_add_color_stop_rgb(g, 0, 0.5, 0.5, 0.5);
        cairo_pattern_add_color_stop_rgb(g, 1, 0.25, 0.25, 0.25);
        cairo_set_source(cr, g);
        cairo_new_path(cr);
        benchcairo::RoundRect(cr, x + 160, y + 40, x + 201, y + 161, 5);
        cairo_fill(cr);
        cairo_pattern_destroy(g);
        Rgb(cr, 0x00C000);
        cairo_rectangle(cr, x + 165, y + 90, 31, 66);
        cairo_fill(cr);
        Rgb(cr, 0xFFFFFF);
        CairoText(cr, 11, true, "Battery protector 1", x + 8, y + 8);
        CairoText(cr, 26, true, "12.8", x + 40, y + 80);
        CairoText(cr, 13, false, "V", x + 110, y + 90);
        CairoText(cr, 13, false, "  -3.21 A", x + 150, y + 175);
    }
    cairo_pattern_t* g = cairo_pattern_create_linear(0, 0, 0, 31);
    cairo_pattern_add_color_stop_rgb(g, 0, 0, 0.25, 0.5);
    cairo_pattern_add_color_stop_rgb(g, 1, 0, 0.125, 0.25);
    cairo_set_source(cr, g);
    cairo_rectangle(cr, 0, 0, kW, 32);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
    Rgb(cr, 0xFFFFFF);
    CairoText(cr, 16, true, "Home   Solar   Batteries   Switches   History", 10, 6);
}

// ---- Benchmarks -------------------------------------------------------------------------

void BM_Ours_GaugeRing(benchmark::State& state) {
    OurTarget();
    for (auto _ : state) {
        GUI_SetLineWidth(10);
        GUI_SetDrawColor(0x404040);
        GUI_DrawArcAA(300, 240, 95, 95, 90, 450);
        benchmark::ClobberMemory();
    }
}

void BM_Cairo_GaugeRing(benchmark::State& state) {
    cairo_t* cr = C().cr;
    for (auto _ : state) {
        cairo_set_line_width(cr, 10);
        Rgb(cr, 0x404040);
        cairo_new_path(cr);
        cairo_arc(cr, 300.5, 240.5, 95, 0, 2 * M_PI);
        cairo_stroke(cr);
        cairo_surface_flush(C().surface);
    }
}

void BM_Ours_FillCircle(benchmark::State& state) {
    OurTarget();
    for (auto _ : state) {
        GUI_SetDrawColor(0x00FF00);
        GUI_FillCircleAA(300, 240, 100);
        benchmark::ClobberMemory();
    }
}

void BM_Cairo_FillCircle(benchmark::State& state) {
    cairo_t* cr = C().cr;
    for (auto _ : state) {
        Rgb(cr, 0x00FF00);
        cairo_new_path(cr);
        cairo_arc(cr, 300.5, 240.5, 100.5, 0, 2 * M_PI);
        cairo_fill(cr);
        cairo_surface_flush(C().surface);
    }
}

void BM_Ours_RoundRect(benchmark::State& state) {
    OurTarget();
    for (auto _ : state) {
        GUI_SetDrawColor(0x808080);
        GUI_FillRoundRectAA(100, 100, 399, 249, 10);
        benchmark::ClobberMemory();
    }
}

void BM_Cairo_RoundRect(benchmark::State& state) {
    cairo_t* cr = C().cr;
    for (auto _ : state) {
        Rgb(cr, 0x808080);
        cairo_new_path(cr);
        benchcairo::RoundRect(cr, 100, 100, 400, 250, 10);
        cairo_fill(cr);
        cairo_surface_flush(C().surface);
    }
}

// A twelve-pointed star, outer radius 100 and inner 40: long slanted edges in every direction.
struct Star {
    GUI_POINT points[24];
    Star() {
        for (int i = 0; i < 24; ++i) {
            const double a = i * M_PI / 12, r = i % 2 == 0 ? 100 : 40;
            points[i] = GUI_POINT{static_cast<int16_t>(std::lround(r * std::cos(a))),
                                  static_cast<int16_t>(std::lround(r * std::sin(a)))};
        }
    }
};
const Star kStar;

void BM_Ours_Polygon(benchmark::State& state) {
    OurTarget();
    for (auto _ : state) {
        GUI_SetDrawColor(0x0080FF);
        GUI_FillPolygonAA(kStar.points, 24, 300, 240);
        benchmark::ClobberMemory();
    }
}

void BM_Cairo_Polygon(benchmark::State& state) {
    cairo_t* cr = C().cr;
    for (auto _ : state) {
        Rgb(cr, 0x0080FF);
        cairo_new_path(cr);
        // Our polygon points are pixel centres.
        for (const GUI_POINT& p : kStar.points)
            cairo_line_to(cr, 300.5 + p.x, 240.5 + p.y);
        cairo_close_path(cr);
        cairo_fill(cr);
        cairo_surface_flush(C().surface);
    }
}

// What device tiles draw most: many small round rectangles, dots and short arcs, where the
// cost of setting up each shape counts as much as its pixels.
void BM_Ours_SmallShapes(benchmark::State& state) {
    OurTarget();
    for (auto _ : state) {
        GUI_SetDrawColor(0x808080);
        GUI_SetLineWidth(4);
        for (int i = 0; i < 10; ++i) {
            const int x = 20 + i * 70;
            GUI_FillRoundRectAA(x, 100, x + 59, 119, 5);
            GUI_FillRoundRectAA(x, 130, x + 19, 137, 1);
            GUI_FillCircleAA(x + 10, 160, 6);
            GUI_DrawArcAA(x + 30, 200, 20, 20, 0, 180);
        }
        benchmark::ClobberMemory();
    }
}

void BM_Cairo_SmallShapes(benchmark::State& state) {
    cairo_t* cr = C().cr;
    for (auto _ : state) {
        Rgb(cr, 0x808080);
        cairo_set_line_width(cr, 4);
        for (int i = 0; i < 10; ++i) {
            const int x = 20 + i * 70;
            cairo_new_path(cr);
            benchcairo::RoundRect(cr, x, 100, x + 60, 120, 5);
            cairo_fill(cr);
            cairo_new_path(cr);
            benchcairo::RoundRect(cr, x, 130, x + 20, 138, 1);
            cairo_fill(cr);
            cairo_new_path(cr);
            cairo_arc(cr, x + 10.5, 160.5, 6.5, 0, 2 * M_PI);
            cairo_fill(cr);
            cairo_new_path(cr);
            cairo_arc_negative(cr, x + 30.5, 200.5, 20, 0, -M_PI);
            cairo_stroke(cr);
        }
        cairo_surface_flush(C().surface);
    }
}

void BM_Ours_Gradient(benchmark::State& state) {
    OurTarget();
    for (auto _ : state) {
        GUI_FillGradientV(100, 100, 499, 399, 0x808080, 0x202020);
        benchmark::ClobberMemory();
    }
}

void BM_Cairo_Gradient(benchmark::State& state) {
    cairo_t* cr = C().cr;
    for (auto _ : state) {
        cairo_pattern_t* g = cairo_pattern_create_linear(0, 100, 0, 399);
        cairo_pattern_add_color_stop_rgb(g, 0, 0.5, 0.5, 0.5);
        cairo_pattern_add_color_stop_rgb(g, 1, 0.125, 0.125, 0.125);
        cairo_set_source(cr, g);
        cairo_rectangle(cr, 100, 100, 400, 300);
        cairo_fill(cr);
        cairo_pattern_destroy(g);
        cairo_surface_flush(C().surface);
    }
}

void BM_Ours_TextScreen(benchmark::State& state) {
    OurTarget();
    for (auto _ : state) {
        GUI_SetTextDrawMode(GUI_TEXTMODE_TRANSPARENT);
        GUI_SetDrawColor(0xFFFFFF);
        for (int y = 0; y + 16 <= kH; y += 16)
            OurText(&FONT_16, kTextLine, 0, y);
        benchmark::ClobberMemory();
    }
}

void BM_Cairo_TextScreen(benchmark::State& state) {
    cairo_t* cr = C().cr;
    for (auto _ : state) {
        Rgb(cr, 0xFFFFFF);
        for (int y = 0; y + 16 <= kH; y += 16)
            CairoText(cr, 13, false, kTextLineUtf8, 0, y);
        cairo_surface_flush(C().surface);
    }
}

void BM_Ours_DevicePage(benchmark::State& state) {
    OurTarget();
    for (auto _ : state) {
        OurPage();
        benchmark::ClobberMemory();
    }
}

void BM_Cairo_DevicePage(benchmark::State& state) {
    for (auto _ : state) {
        CairoPage(C().cr);
        cairo_surface_flush(C().surface);
    }
}

BENCHMARK(BM_Ours_GaugeRing);
BENCHMARK(BM_Cairo_GaugeRing);
BENCHMARK(BM_Ours_FillCircle);
BENCHMARK(BM_Cairo_FillCircle);
BENCHMARK(BM_Ours_RoundRect);
BENCHMARK(BM_Cairo_RoundRect);
BENCHMARK(BM_Ours_Polygon);
BENCHMARK(BM_Cairo_Polygon);
BENCHMARK(BM_Ours_SmallShapes);
BENCHMARK(BM_Cairo_SmallShapes);
BENCHMARK(BM_Ours_Gradient);
BENCHMARK(BM_Cairo_Gradient);
BENCHMARK(BM_Ours_TextScreen);
BENCHMARK(BM_Cairo_TextScreen);
BENCHMARK(BM_Ours_DevicePage);
BENCHMARK(BM_Cairo_DevicePage);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchutil::Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchutil::PrintRatioTable(reporter, "shape",
                               {"GaugeRing", "FillCircle", "RoundRect", "Polygon", "SmallShapes",
                                "Gradient", "TextScreen", "DevicePage"});
    const auto page = reporter.times.find("BM_Ours_DevicePage");
    if (page != reporter.times.end())
        std::printf("device page repaint: %.2f ms (budget 2 ms)\n", page->second / 1e6);
    if (cairo_status(C().cr) != CAIRO_STATUS_SUCCESS)
        std::printf("cairo failed: %s\n", cairo_status_to_string(cairo_status(C().cr)));
    benchmark::Shutdown();
    return 0;
}
