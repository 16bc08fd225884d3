// The element gallery: every drawn element at the sizes the device pages use, at low, middle,
// high and alarm values, written as element_gallery.png into the build folder for a look by
// eye.
#include "elements/element.h"
#include "elements/uguibattery.h"
#include "elements/uguigauge.h"
#include "elements/uguithermometer.h"
#include "gui/host/host.h"
#include "tests/elements/element_test_util.h"
#include "tests/gui/toolkit/draw_test_util.h"

#include <cstdio>
#include <string>
#include <vector>

using namespace elementtest;

namespace {

constexpr int kWidth = 1600;
constexpr int kHeight = 1180;

ELEMENT_PARAMS Record(int x, int y, int w, int h, int32_t value, int32_t min, int32_t max,
                      const char* format, int32_t divisor) {
    ELEMENT_PARAMS p = Params(x, y, w, h, value, min, max);
    p.format = format;
    p.divisor = divisor;
    return p;
}

void Title(const char* text, int x, int y) {
    GUI_SelectFont(&FONT_16B);
    GUI_SetDrawColor(0xFFFFFF);
    GUI_SetTextDrawMode(GUI_TEXTMODE_TRANSPARENT);
    GUI_PrintAt(text, x, y);
}

// The Home page's three ring gauges with their pictograms, placed as the page places them.
void HomeGauges(int ox, int oy, int32_t p_in, int32_t soc, int32_t p_out) {
    ELEMENT_PARAMS in = Record(ox + 10, oy + 50, 200, 200, p_in, 0, 2000, "%d W", 1);
    in.value_font = FONT_32B;
    in.label_mode = 2;
    in.t2 = -1, in.t1 = -1, in.t3 = 1900, in.t4 = 1500;
    uguigauge_DrawRange(&in);
    const int c = in.x0 + (200 / 10) * 4, d = 200 / 16, e = in.y0 + (200 / 10) * 6;
    ELEMENT_DrawSolarPanel(c + d, e + d, 6, 3);
    ELEMENT_DrawSun(c, e, d, d);

    ELEMENT_PARAMS s = Record(ox + 242, oy + 0, 300, 300, soc, 0, 1000, "%.1f %%", 10);
    s.value_font = FONT_32B;
    s.label_mode = 0;
    s.t1 = 50, s.t2 = 100, s.t3 = 1100, s.t4 = 1050;
    uguigauge_DrawRange(&s);
    ELEMENT_DrawChargingBattery(s.x0 + (300 / 100) * 40, s.y0 + (300 / 100) * 50, 50, 100,
                                soc > 500);

    ELEMENT_PARAMS out = Record(ox + 575, oy + 50, 200, 200, p_out, 0, 2000, "%d W", 1);
    out.value_font = FONT_32B;
    out.label_mode = 2;
    out.t2 = -1, out.t1 = -1, out.t3 = 1900, out.t4 = 1500;
    uguigauge_DrawRange(&out);
    ELEMENT_DrawBulb(out.x0 + (200 / 100) * 45, out.y0 + (200 / 100) * 70, 25, 4, 2, p_out > 0);
}

// One Corvo tile's drawn elements at tile origin (x, y).
void CorvoTile(int x, int y, int32_t soc, int32_t current, int32_t voltage, int32_t shunt) {
    GUI_SetDrawColor(0x808080);
    GUI_SetLineWidth(1);
    GUI_DrawRoundRect(x, y, x + 220, y + 382, 5);
    ELEMENT_PARAMS b = Record(x + 15, y + 40, 70, 200, soc, 0, 100000, "%.1f%%", 1000);
    b.t1 = 10000, b.t2 = 20000, b.t3 = 95000, b.t4 = 85000;
    uguibattery_DrawUpright(&b);

    ELEMENT_PARAMS g = Record(x + 103, y + 40, 96, 96, current, -50000, 50000, "%.3f\nA", 1000);
    g.t1 = -45000, g.t2 = -30000, g.t3 = 45000, g.t4 = 30000;
    uguigauge_DrawSigned(&g);
    GUI_SetDrawColor(0x808080);
    GUI_FillRoundRectAA(g.x0, g.y0 + 96 + 5, g.x0 + 96, g.y0 + 96 + 25, 5);
    GUI_SetDrawColor(0x000000);
    GUI_SelectFont(&FONT_16B);
    GUI_PrintCenteredAt("CURRENT", g.x0 + 48, g.y0 + 96 + (20 - GUI_GetFontHeight()) / 2 + 5);

    ELEMENT_PARAMS v = Record(x + 103, y + 175, 96, 120, voltage, 0, 60000, "%.3f\nV", 1000);
    v.t1 = 40000, v.t2 = 44000, v.t3 = 58000, v.t4 = 56000;
    v.caption = "VOLTAGE";
    uguigauge_DrawCaptioned(&v);

    GUI_SelectFont(&FONT_20B);
    THERMO_PARAMS t{x + 15,
                    y + 252,
                    70,
                    47,
                    shunt,
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
    lamp.ySize = 25;
    lamp.font = FONT_13B;
    lamp.colour1 = 0x808080;
    lamp.colour2 = 0x00FF00;
    lamp.colour3 = 0x00FF00;
    lamp.border = 2;
    lamp.x0 = x + 40, lamp.y0 = y + 345, lamp.xSize = 65, lamp.label = "LVP";
    lamp.state = soc > 20000 ? 1 : 0;
    ELEMENT_DrawIndicator(&lamp);
    lamp.x0 = x + 115, lamp.label = "OVP", lamp.state = soc < 95000 ? 1 : 0;
    ELEMENT_DrawIndicator(&lamp);

    GUI_SetDrawColor(0x808080);
    GUI_FillRoundRectAA(x + 10, y + 310, x + 210, y + 335, 5);
    GUI_SetDrawColor(0x00FF00);
    GUI_SelectFont(&FONT_20B);
    char text[32];
    std::snprintf(text, sizeof text, "%.3lf Ah", soc / 1000.0);
    GUI_PrintCenteredAt(text, x + 110, y + 312);
}

TEST(ElementGallery, EveryElementAtPageSizesAndValues) {
    drawtest::Frame f(kWidth, kHeight);
    f.Fill(0x000000);
    DebugOutput out;

    // Home layout at low and high values.
    Title("Home: P_IN, SOC, P_OUT (low, high)", 10, 2);
    HomeGauges(0, 20, 150, 120, 0);
    HomeGauges(800, 20, 1950, 1000, 1600);

    // Four Corvo tiles: low, middle, high, alarm; the signed gauge negative in two.
    Title("Corvo tiles: low, middle, high, alarm", 10, 340);
    CorvoTile(10, 360, 5000, -12000, 38000, -3000);
    CorvoTile(240, 360, 50000, 8000, 48000, 2500);
    CorvoTile(470, 360, 90000, 35000, 57000, 7500);
    CorvoTile(700, 360, 99000, -47000, 59900, 8400);

    // Celton batteries 70 x 160 and 80 x 160, bottom-value thermometers 70 x 80 and 85 x 65.
    Title("Celton: battery, thermometer", 940, 340);
    const int32_t volts[4] = {2600, 3200, 3450, 3650};
    const int32_t temps[4] = {-150, 200, 480, 700};
    for (int i = 0; i < 4; ++i) {
        const int x = 940 + i * 90;
        ELEMENT_PARAMS b =
            Record(x, 370, 70 + (i & 1) * 10, 160, volts[i], 2500, 3650, "%.2f V", 1000);
        b.t1 = 2800, b.t2 = 3000, b.t3 = 3600, b.t4 = 3500;
        uguibattery_DrawUpright(&b);
        GUI_SelectFont(&FONT_20B);
        THERMO_PARAMS t{x,
                        540,
                        70,
                        80,
                        temps[i],
                        600,
                        -200,
                        "%.1f\xB0"
                        "C",
                        "T",
                        -200,
                        0,
                        550,
                        450,
                        10,
                        0};
        uguithermometer_DrawBottomValue(&t);
        GUI_SelectFont(&FONT_20B);
        THERMO_PARAMS u{x,
                        640,
                        85,
                        65,
                        temps[i] / 10,
                        75,
                        -20,
                        "%d\xB0"
                        "C",
                        "Int",
                        -20,
                        -10,
                        70,
                        60,
                        1,
                        0};
        uguithermometer_DrawBottomValue(&u);
    }

    // Captioned gauges 85 x 109 (charge controller) and one Amprix 172 x 200.
    Title("Captioned gauges, lying batteries", 10, 750);
    const int32_t amps[4] = {1200, 15000, 27000, 31000};
    for (int i = 0; i < 4; ++i) {
        ELEMENT_PARAMS g = Record(10 + (i & 1) * 110 + (i / 2) * 230, 775, 85, 109, amps[i], 0,
                                  30000, "%.1fA", 1000);
        g.t1 = -1, g.t2 = -1, g.t3 = 29000, g.t4 = 25000;
        g.caption = "Chg Current";
        uguigauge_DrawCaptioned(&g);
    }
    ELEMENT_PARAMS amprix = Record(10, 905, 172, 200, -23400, 0, 50000, "%.1f A", 1000);
    amprix.t1 = 1000, amprix.t2 = 5000, amprix.t3 = 45000, amprix.t4 = 40000;
    amprix.caption = "CURRENT";
    uguigauge_DrawCaptioned(&amprix);

    // Lying batteries (no page uses them; a typical size).
    const int32_t charge[4] = {5, 45, 85, 100};
    for (int i = 0; i < 4; ++i) {
        ELEMENT_PARAMS b =
            Record(200 + (i & 1) * 160, 890 + (i / 2) * 60, 150, 50, charge[i], 0, 100, "%d", 1);
        b.t1 = 10, b.t2 = 30, b.t3 = 95, b.t4 = 80;
        uguibattery_DrawLying(&b);
    }

    // Levra tanks 172 x 330: low, middle, high, alarm.
    Title("Levra tanks", 520, 750);
    const int32_t levels[4] = {8, 45, 85, 97};
    for (int i = 0; i < 4; ++i) {
        LEVEL_PARAMS l = Params(520 + i * 180, 770, 172, 300, levels[i], 0, 100);
        l.t1 = 10, l.t2 = 20, l.t3 = 95, l.t4 = 80;
        ELEMENT_DrawLevel(&l);
    }

    // Lamps of every size in their states, pictograms, sun phases.
    Title("Lamps, pictograms, sun phases", 1260, 750);
    struct Lamp {
        int w, h;
        const char* label;
        uint32_t state;
    };
    const Lamp lamps[] = {{30, 21, "ERR", 2}, {30, 25, "BL", 1},     {35, 25, "LVP", 0},
                          {65, 25, "OVP", 1}, {100, 25, "OUT 1", 2}, {80, 25, "HEATER", 1}};
    int ly = 775;
    for (const Lamp& l : lamps) {
        INDICATOR_PARAMS p{};
        p.x0 = 1260, p.y0 = ly, p.xSize = l.w, p.ySize = l.h, p.state = l.state;
        p.font = l.h <= 30 ? FONT_13B : FONT_20B;
        p.label = l.label;
        p.colour1 = 0x808080, p.colour2 = 0x00FF00, p.colour3 = 0x0000FF, p.border = 2;
        ELEMENT_DrawIndicator(&p);
        ELEMENT_ToggleBlink(&p);
        p.x0 += 110;
        ELEMENT_DrawIndicator(&p);
        ly += 32;
    }
    ELEMENT_DrawChargingBattery(1260, 1070, 50, 100, 1);
    ELEMENT_DrawChargingBattery(1320, 1070, 50, 100, 0);
    ELEMENT_DrawBulb(1400, 1130, 25, 4, 2, 1);
    ELEMENT_DrawBulb(1460, 1130, 25, 4, 2, 0);
    while (ELEMENT_GetSunPhase() != 0)
        ELEMENT_AdvanceSunPhase();
    for (int phase = 0; phase < 3; ++phase) {
        ELEMENT_DrawSun(1290 + phase * 70, 1010, 12, 12);
        ELEMENT_AdvanceSunPhase();
    }
    ELEMENT_DrawSolarPanel(1500, 995, 6, 3);

    const std::string path = std::string(VELTRA_BINARY_DIR) + "/element_gallery.png";
    ASSERT_EQ(HOST_WritePNGPixels(path.c_str(), f.pixels().data(), kWidth, kHeight, kWidth), 0);
    std::printf("gallery: %s\n", path.c_str());

    // The first Corvo tile four times enlarged, to judge edges and gaps pixel by pixel.
    constexpr int kZoom = 4, kZx = 10, kZy = 360, kZw = 230, kZh = 390;
    std::vector<uint32_t> zoom(size_t{kZw} * kZoom * kZh * kZoom);
    for (int y = 0; y < kZh * kZoom; ++y)
        for (int x = 0; x < kZw * kZoom; ++x)
            zoom[size_t(y) * kZw * kZoom + x] = f.At(kZx + x / kZoom, kZy + y / kZoom);
    const std::string zoom_path = std::string(VELTRA_BINARY_DIR) + "/element_gallery_zoom.png";
    ASSERT_EQ(
        HOST_WritePNGPixels(zoom_path.c_str(), zoom.data(), kZw * kZoom, kZh * kZoom, kZw * kZoom),
        0);
    EXPECT_TRUE(out.lines.empty()) << out.lines[0];
}

} // namespace
