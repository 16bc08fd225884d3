// Full repaint of the busiest device pages through the toolkit (page paint, elements, name
// fields, value texts) against cairo drawing the same shapes on an 800 x 480 ARGB32 surface
// in the same run: the widest Corvo page (nine meters, four of them on the screen) and the
// Home page. Prints each pair's ratio (ours / cairo) and the repaint against the 2 ms budget.
#include "base/queue.h"
#include "devices/device_list.h"
#include "devices/reg_access.h"
#include "gui/host/host.h"
#include "gui/toolkit/core/gui_alloc.h"
#include "gui/toolkit/core/gui_init.h"
#include "gui/toolkit/draw/gui_draw.h"
#include "pages/devicepage.h"
#include "pages/mainscreen.h"

#include "bench/bench_cairo.h"
#include "bench/bench_gui_program.h"
#include "bench/bench_util.h"

#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kW = 800;
constexpr int kH = 480;

// ---- Our pages ----------------------------------------------------------------------------

void Set32(RegisterCell* w, int index, int32_t v) {
    Reg_Set32(w, index, static_cast<uint32_t>(v));
}

void FillCorvo(RegisterCell* w, int k) {
    Set32(w, 128, 40000 + 5000 * k); // state of charge x 1000
    Set32(w, 114, -20000 + 9000 * k);
    Set32(w, 252, -100000);
    Set32(w, 250, 100000);
    Set32(w, 246, -90000);
    Set32(w, 248, 90000);
    Set32(w, 242, -80000);
    Set32(w, 244, 80000);
    Set32(w, 108, 12800 + 100 * k);
    Reg_Set(w, 241, 16000);
    Reg_Set(w, 239, 10000);
    Reg_Set(w, 240, 15000);
    Reg_Set(w, 237, 11000);
    Reg_Set(w, 238, 14500);
    Reg_Set(w, 103, static_cast<uint16_t>(2300 + 100 * k));
    for (int r = 0; r < 4; ++r)
        Reg_Set(w, 124 + r, r == 0 ? 0x1234 : 0);
    Reg_Set(w, 130, 0);
    Reg_Set(w, 131, 1);
}

void FillHome(RegisterCell* w) {
    Set32(w, 20, 245);
    Set32(w, 22, 400);
    Set32(w, 26, 380);
    Set32(w, 24, 350);
    Set32(w, 28, 120);
    Set32(w, 30, 300);
    Set32(w, 34, 280);
    Set32(w, 32, 250);
    Set32(w, 36, 680);
    Set32(w, 42, 12840);
    Set32(w, 44, 8200);
    Set32(w, 46, 19400);
    Set32(w, 48, 9300);
    Set32(w, 50, 52000);
    Reg_Set(w, 56, 3);
    Reg_Set(w, 57, 7);
    Reg_Set(w, 58, 42);
}

struct Ours {
    WM_HANDLE corvo = 0;
    WM_HANDLE home = 0;
};

Ours& Pages() {
    static Ours ours = [] {
        Ours o;
        HOST_SetClock(nullptr);
        GUI_InitToolkit();
        GUI_SetAAFactor(6); // as the program runs
        WM_EnableBufferedUpdate(1);
        QUEUE_Init();
        DEV_BeginSearch();
        DEV_CreateDisplayGroup(1);
        for (int unit = 10; unit < 19; ++unit)
            DEV_AppendDevice(unit, DEV_FindSearchType(500));
        for (int i = 0; i < g_device_list.device_count.load(); ++i) {
            DeviceEntry& e = g_device_list.entries[static_cast<size_t>(i)];
            if (e.type.load() == DEV_FindSearchType(500)) FillCorvo(e.registers.load(), i);
        }
        FillHome(g_device_list.entries[1].registers.load());
        const DeviceType* corvo = DeviceTypeTable[DEV_TYPE_CORVO_500];
        const DeviceType* home = DeviceTypeTable[DEV_TYPE_HOME];
        o.corvo = WM_CreateWindowAsChild(2, 55, MAINSCREEN_PageWidth(corvo), 425, 0, WM_CF_VISIBLE,
                                         MAINSCREEN_PageCallback, 0);
        MAINSCREEN_SetPageWindow(0, o.corvo);
        MAINSCREEN_SetPageType(0, corvo);
        o.home = WM_CreateWindowAsChild(2, 55, 798, 425, 0, 0, MAINSCREEN_PageCallback, 0);
        MAINSCREEN_SetPageWindow(1, o.home);
        MAINSCREEN_SetPageType(1, home);
        GUI_ExecAll();
        return o;
    }();
    return ours;
}

void ShowOnly(WM_HANDLE shown, WM_HANDLE hidden) {
    WM_HideWin(hidden);
    WM_ShowWin(shown);
    GUI_ExecAll();
}

// ---- The same shapes in cairo ---------------------------------------------------------------

using benchcairo::C;

using benchcairo::Rgb;

using benchcairo::RoundRect;

void FillRound(cairo_t* cr, GUI_COLOUR c, double x0, double y0, double x1, double y1, double r) {
    Rgb(cr, c);
    cairo_new_path(cr);
    RoundRect(cr, x0, y0, x1 + 1, y1 + 1, r);
    cairo_fill(cr);
}

void GradientRound(cairo_t* cr, double x0, double y0, double x1, double y1, double r) {
    cairo_pattern_t* g = cairo_pattern_create_linear(0, y0, 0, y1);
    cairo_pattern_add_color_stop_rgb(g, 0, 0.5, 0.5, 0.5);
    cairo_pattern_add_color_stop_rgb(g, 1, 0.25, 0.25, 0.25);
    cairo_set_source(cr, g);
    cairo_new_path(cr);
    RoundRect(cr, x0, y0, x1 + 1, y1 + 1, r);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
}

void Text(cairo_t* cr, GUI_COLOUR c, double size, const char* text, double x, double y) {
    Rgb(cr, c);
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, size);
    cairo_move_to(cr, x, y + size);
    cairo_show_text(cr, text);
}

// A ring of line width 10 with a value arc over `turn` of it.
void Gauge(cairo_t* cr, double cx, double cy, double r, double turn) {
    cairo_set_line_width(cr, 10);
    Rgb(cr, 0x404040);
    cairo_new_path(cr);
    cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
    cairo_stroke(cr);
    Rgb(cr, 0x00FF00);
    cairo_new_path(cr);
    cairo_arc(cr, cx, cy, r, -M_PI / 2, -M_PI / 2 + turn * 2 * M_PI);
    cairo_stroke(cr);
}

void Frame(cairo_t* cr, double x, double w, double h) {
    cairo_set_line_width(cr, 3);
    Rgb(cr, 0x808080);
    cairo_new_path(cr);
    RoundRect(cr, x + 1.5, 6.5, x + w - 0.5, 4.5 + h, 3);
    cairo_stroke(cr);
    Rgb(cr, 0x006600);
    cairo_rectangle(cr, x + 3, 8, w - 5, 25);
    cairo_fill(cr);
}

void Lamp(cairo_t* cr, double x, double y, double w, double h, const char* label) {
    FillRound(cr, 0x00FF00, x, y, x + w, y + h, h / 4);
    FillRound(cr, 0x000000, x + 2, y + 2, x + w - 2, y + h - 2, h / 5);
    Text(cr, 0x00FF00, 11, label, x + w / 2 - 10, y + h / 2 - 7);
}

void CairoCorvoTile(cairo_t* cr, double x) {
    Frame(cr, x, 220, 382);
    Text(cr, 0xFFFFFF, 16, "Corvo:12", x + 80, 10);
    // Battery: body, terminal, twenty segments, value.
    GradientRound(cr, x + 15, 45 + 11, x + 85, 245, 5);
    FillRound(cr, 0x808080, x + 38, 45, x + 62, 56, 1);
    for (int i = 0; i < 12; ++i) {
        cairo_pattern_t* g = cairo_pattern_create_linear(x + 22, 0, x + 78, 0);
        cairo_pattern_add_color_stop_rgb(g, 0, 0, 1, 0);
        cairo_pattern_add_color_stop_rgb(g, 0.5, 1, 1, 1);
        cairo_pattern_add_color_stop_rgb(g, 1, 0, 1, 0);
        cairo_set_source(cr, g);
        cairo_rectangle(cr, x + 22, 225 - 9 * i, 56, 6);
        cairo_fill(cr);
        cairo_pattern_destroy(g);
    }
    Text(cr, 0x00FF00, 16, "62.0%", x + 25, 58);
    // Current: ring, arc, two-line value, caption plate.
    Gauge(cr, x + 151, 93, 43, 0.3);
    Text(cr, 0x00FF00, 16, "12.340", x + 120, 75);
    Text(cr, 0x00FF00, 16, "A", x + 145, 95);
    FillRound(cr, 0x808080, x + 103, 141, x + 199, 161, 5);
    Text(cr, 0x000000, 13, "CURRENT", x + 120, 142);
    // Voltage: captioned ring.
    Gauge(cr, x + 151, 225, 43, 0.7);
    Text(cr, 0x00FF00, 16, "12.900", x + 120, 205);
    Text(cr, 0x00FF00, 16, "V", x + 145, 225);
    FillRound(cr, 0x808080, x + 103, 280, x + 199, 300, 5);
    Text(cr, 0x000000, 13, "VOLTAGE", x + 120, 281);
    // Shunt thermometer.
    Rgb(cr, 0x808080);
    cairo_new_path(cr);
    cairo_arc(cr, x + 24, 295, 8, 0, 2 * M_PI);
    cairo_fill(cr);
    FillRound(cr, 0x808080, x + 21, 257, x + 27, 295, 3);
    Rgb(cr, 0x00FF00);
    cairo_new_path(cr);
    cairo_arc(cr, x + 24, 295, 5, 0, 2 * M_PI);
    cairo_fill(cr);
    FillRound(cr, 0x808080, x + 29, 257, x + 85, 277, 5);
    Text(cr, 0x00FF00, 16,
         "24\xC2\xB0"
         "C",
         x + 40, 258);
    Text(cr, 0x808080, 13, "SHUNT", x + 40, 285);
    // Counter box and two lamps.
    FillRound(cr, 0x808080, x + 10, 315, x + 210, 340, 5);
    Text(cr, 0x00FF00, 16, "1.294 Ah", x + 70, 318);
    Lamp(cr, x + 40, 350, 65, 25, "LVP");
    Lamp(cr, x + 115, 350, 65, 25, "OVP");
}

void CairoCorvoPage(cairo_t* cr) {
    Rgb(cr, 0x000000);
    cairo_paint(cr);
    cairo_save(cr);
    cairo_translate(cr, 2, 55);
    cairo_rectangle(cr, 0, 0, 798, 425);
    cairo_clip(cr);
    for (int k = 0; k < 4; ++k)
        CairoCorvoTile(cr, 5 + 225 * k);
    cairo_restore(cr);
}

void BigGauge(cairo_t* cr, double x, double y, double size, double turn, const char* value) {
    Gauge(cr, x + size / 2, y + size / 2, (size - 10) / 2, turn);
    Text(cr, 0x00FF00, 26, value, x + size / 2 - 40, y + size / 4);
}

void CairoHomePage(cairo_t* cr) {
    Rgb(cr, 0x000000);
    cairo_paint(cr);
    cairo_save(cr);
    cairo_translate(cr, 2, 55);
    Frame(cr, 5, 785, 382);
    Text(cr, 0xFFFFFF, 16, "Home", 370, 10);
    const char* lines[] = {"Ubat:  12.84 V", "Ibat:  008.2 A", "Iin:   019.4 A", "Iout:  009.3 A",
                           "Cnt:   052.0 Ah"};
    for (int i = 0; i < 5; ++i)
        Text(cr, 0x00FF00, 13, lines[i], 15, 45 + 20 * i);
    Text(cr, 0x00FF00, 13, "Remaining time:   3d  7h 42m", 560, 45);
    BigGauge(cr, 15, 155, 200, 0.6, "245 W");
    BigGauge(cr, 580, 155, 200, 0.4, "120 W");
    BigGauge(cr, 247, 55, 300, 0.68, "68.0 %");
    Text(cr, 0x0000FF, 16, "19.4 A", 80, 212);
    Text(cr, 0x0000FF, 16, "9.3 A", 645, 212);
    // Sun, panel, bulb, charging battery.
    Rgb(cr, 0x00FFFF);
    cairo_new_path(cr);
    cairo_arc(cr, 95, 275, 12, 0, 2 * M_PI);
    cairo_fill(cr);
    cairo_set_line_width(cr, 3);
    for (int i = 0; i < 8; ++i) {
        const double a = i * M_PI / 4;
        cairo_move_to(cr, 95 + 16 * std::cos(a), 275 + 16 * std::sin(a));
        cairo_line_to(cr, 95 + 28 * std::cos(a), 275 + 28 * std::sin(a));
    }
    cairo_stroke(cr);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            Rgb(cr, 0x4D94FF);
            cairo_rectangle(cr, 107 + 9 * c, 287 + 9 * r, 6, 6);
            cairo_fill(cr);
        }
    Rgb(cr, 0x00FFFF);
    cairo_new_path(cr);
    cairo_arc(cr, 680, 270, 20, 0, 2 * M_PI);
    cairo_fill(cr);
    for (int i = 0; i < 5; ++i)
        FillRound(cr, 0x808080, 665, 290 + 6 * i, 690, 294 + 6 * i, 1);
    GradientRound(cr, 367, 205, 417, 305, 2);
    FillRound(cr, 0x808080, 384, 195, 400, 202, 1);
    Rgb(cr, 0x00FFFF);
    cairo_move_to(cr, 392, 285);
    cairo_line_to(cr, 402, 250);
    cairo_line_to(cr, 397, 250);
    cairo_line_to(cr, 402, 230);
    cairo_line_to(cr, 384, 230);
    cairo_line_to(cr, 384, 260);
    cairo_line_to(cr, 390, 260);
    cairo_close_path(cr);
    cairo_fill(cr);
    cairo_restore(cr);
}

// ---- Benchmarks ---------------------------------------------------------------------------

void Repaint(WM_HANDLE page) {
    WM_InvalidateWin(page);
    GUI_ExecAll();
}

void BM_Ours_CorvoPage(benchmark::State& state) {
    Ours& o = Pages();
    ShowOnly(o.corvo, o.home);
    for (auto _ : state) {
        Repaint(o.corvo);
        benchmark::ClobberMemory();
    }
}

void BM_Cairo_CorvoPage(benchmark::State& state) {
    for (auto _ : state) {
        CairoCorvoPage(C().cr);
        cairo_surface_flush(C().surface);
    }
}

void BM_Ours_HomePage(benchmark::State& state) {
    Ours& o = Pages();
    ShowOnly(o.home, o.corvo);
    for (auto _ : state) {
        Repaint(o.home);
        benchmark::ClobberMemory();
    }
}

void BM_Cairo_HomePage(benchmark::State& state) {
    for (auto _ : state) {
        CairoHomePage(C().cr);
        cairo_surface_flush(C().surface);
    }
}

BENCHMARK(BM_Ours_CorvoPage);
BENCHMARK(BM_Cairo_CorvoPage);
BENCHMARK(BM_Ours_HomePage);
BENCHMARK(BM_Cairo_HomePage);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchutil::Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchutil::PrintRatioTable(
        reporter, "page", {"CorvoPage", "HomePage"}, [](const char* name, double ours_ns) {
            std::printf("%s full repaint: %.2f ms (budget 2 ms)\n", name, ours_ns / 1e6);
        });
    if (cairo_status(C().cr) != CAIRO_STATUS_SUCCESS)
        std::printf("cairo failed: %s\n", cairo_status_to_string(cairo_status(C().cr)));
    benchmark::Shutdown();
    return 0;
}
