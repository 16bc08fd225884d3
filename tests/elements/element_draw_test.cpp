// The elements drawn into small frames: geometry and colours as pixels, refused records, and
// what an element leaves in the drawing context.
#include "elements/element.h"
#include "elements/element_report.h"
#include "elements/uguibattery.h"
#include "elements/uguigauge.h"
#include "elements/uguithermometer.h"
#include "tests/elements/element_test_util.h"
#include "tests/gui/toolkit/draw_test_util.h"

#include <cmath>
#include <functional>

using namespace elementtest;
using drawtest::Frame;
using drawtest::kFill;

namespace {

// Pixels of colour c in row y between x0 and x1.
int InRow(const Frame& f, int y, int x0, int x1, uint32_t c) {
    return drawtest::CountInRow(f, y, x0, x1, c);
}

// Width of the columns in the rectangle that hold colour c anywhere (0 when none).
int Extent(const Frame& f, int x0, int y0, int x1, int y1, uint32_t c) {
    int lo = x1 + 1, hi = x0 - 1;
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            if (f.At(x, y) != c) continue;
            lo = std::min(lo, x);
            hi = std::max(hi, x);
        }
    }
    return hi >= lo ? hi - lo + 1 : 0;
}

// The pixel of the ring's centre line at the angle (degrees, counter-clockwise from 3 o'clock).
uint32_t RingAt(const Frame& f, int cx, int cy, int r, double degrees) {
    const double a = degrees * M_PI / 180.0;
    return f.At(cx + int(std::lround(r * std::cos(a))), cy - int(std::lround(r * std::sin(a))));
}

TEST(Battery, UprightSegmentsFromTheBottomWithThresholdColours) {
    Frame f(100, 130);
    ELEMENT_PARAMS p = Params(10, 10, 60, 100, 100, 0, 100); // 10 segments, pitch 7
    p.t4 = 80;
    p.t3 = 90;
    ASSERT_EQ(uguibattery_DrawUpright(&p), 0);
    // Segment i covers rows 110 - 10 - 7 i - 6 .. +3; its left edge holds the colour itself.
    auto segment_top = [](int i) { return 110 - 10 - 7 * i - 6; };
    const int left = 10 + 6;
    EXPECT_EQ(f.At(left, segment_top(0)), kGreen);
    EXPECT_EQ(f.At(left, segment_top(7) + 3), kGreen);
    EXPECT_EQ(f.At(left, segment_top(8)), kYellow);
    EXPECT_EQ(f.At(left, segment_top(9)), kRed);
    // The middle of a segment is the white highlight; the 3 rows below it are the body.
    EXPECT_EQ(f.At(left + 24, segment_top(3)), 0xFFFFFF);
    EXPECT_NE(f.At(left, segment_top(3) + 4), kGreen);
    EXPECT_NE(f.At(left, segment_top(3) + 6), kGreen);
    // Terminal 20 x 10 centred on top, grey; nothing beside it.
    EXPECT_EQ(f.At(40, 15), kGrey);
    EXPECT_EQ(f.At(30, 15), kGrey);
    EXPECT_EQ(f.At(27, 15), kFill);
    EXPECT_TRUE(f.UnchangedOutside(10, 10, 70, 110, kFill));
}

TEST(Battery, ValueAtMinLightsNothingAndTheTextTakesTheStartColour) {
    Frame f(100, 130);
    ELEMENT_PARAMS p = Params(10, 10, 60, 100, 0, 0, 100);
    p.t1 = 20;
    p.t2 = 40;
    ASSERT_EQ(uguibattery_DrawUpright(&p), 0);
    int red = 0, green = 0;
    for (int y = 10; y <= 110; ++y) {
        red += InRow(f, y, 10, 70, kRed);
        green += InRow(f, y, 10, 70, kGreen);
    }
    EXPECT_GT(red, 20); // the text "0", nothing else red
    EXPECT_EQ(green, 0);
    const int digit = Extent(f, 10, 10, 70, 110, kRed);
    // Below min: no segment either, the text still shows the value.
    f.Fill(kFill);
    p.value = -5;
    ASSERT_EQ(uguibattery_DrawUpright(&p), 0);
    EXPECT_GT(Extent(f, 10, 10, 70, 110, kRed), digit + 3); // "-5" is wider than "0"
}

TEST(Battery, LyingTerminalIsRedAndNoTextIsWritten) {
    Frame f(140, 60);
    ELEMENT_PARAMS p = Params(5, 5, 120, 40, 60, 0, 120);
    ASSERT_EQ(uguibattery_DrawLying(&p), 0);
    EXPECT_EQ(f.At(8, 25), kRed); // terminal 6 x 20 at the left middle
    // Segments fill from the right: the rightmost lit, the left ones dark.
    EXPECT_EQ(f.At(5 + 120 - 4 - 8, 25), 0xFFFFFF);
    EXPECT_EQ(f.At(5 + 120 - 4 - 9 + 1, 9), kGreen);
    EXPECT_NE(f.At(20, 9), kGreen);
    const std::vector<uint32_t> with_format = f.pixels();
    f.Fill(kFill);
    p.format = nullptr;
    ASSERT_EQ(uguibattery_DrawLying(&p), 0);
    EXPECT_EQ(f.pixels(), with_format);
}

// Records each form refuses: -1, no pixel, one report naming the module.
TEST(Refusals, RefusedRecordsDrawNothingAndReportTheModule) {
    struct Case {
        const char* what;
        std::function<void(ELEMENT_PARAMS*)> change;
        std::function<int(ELEMENT_PARAMS*)> draw;
        const char* module;
    };
    auto upright = [](ELEMENT_PARAMS* p) { return uguibattery_DrawUpright(p); };
    auto lying = [](ELEMENT_PARAMS* p) { return uguibattery_DrawLying(p); };
    const char* battery = "elements/uguibattery";
    const char* gauge = "elements/uguigauge";
    const Case cases[] = {
        {"ySize 0", [](ELEMENT_PARAMS* p) { p->ySize = 0; }, upright, battery},
        {"max 0", [](ELEMENT_PARAMS* p) { p->max = 0, p->min = -10; }, upright, battery},
        {"max = min", [](ELEMENT_PARAMS* p) { p->min = 100; }, lying, battery},
        {"min > max", [](ELEMENT_PARAMS* p) { p->min = 200; }, upright, battery},
        {"upright height 9", [](ELEMENT_PARAMS* p) { p->ySize = 9; }, upright, battery},
        {"lying width 9", [](ELEMENT_PARAMS* p) { p->xSize = 9; }, lying, battery},
        {"range below N", [](ELEMENT_PARAMS* p) { p->max = 9; }, upright, battery},
        {"signed divisor 0", [](ELEMENT_PARAMS* p) { p->divisor = 0; },
         [](ELEMENT_PARAMS* p) { return uguigauge_DrawSigned(p); }, gauge},
        {"range divisor 0", [](ELEMENT_PARAMS* p) { p->divisor = 0; },
         [](ELEMENT_PARAMS* p) { return uguigauge_DrawRange(p); }, gauge},
        {"captioned divisor 0", [](ELEMENT_PARAMS* p) { p->divisor = 0; },
         [](ELEMENT_PARAMS* p) { return uguigauge_DrawCaptioned(p); }, gauge},
    };
    for (const Case& c : cases) {
        Frame f(120, 160);
        DebugOutput out;
        ELEMENT_PARAMS p = Params(0, 0, 100, 100, 50, 0, 100);
        c.change(&p);
        EXPECT_EQ(c.draw(&p), -1) << c.what;
        EXPECT_EQ(f.CountNot(kFill), 0) << c.what;
        ASSERT_EQ(out.lines.size(), 1u) << c.what;
        const std::string prefix =
            std::string("Wrong parameters value: file ") + c.module + " on line ";
        EXPECT_EQ(out.lines[0].rfind(prefix, 0), 0u) << out.lines[0];
        EXPECT_EQ(out.lines[0].substr(out.lines[0].size() - 2), "\r\n") << c.what;
    }
    // The thermometer's two checks, both forms.
    for (int form = 0; form < 2; ++form) {
        for (int check = 0; check < 2; ++check) {
            Frame f(120, 220);
            DebugOutput out;
            THERMO_PARAMS t{0, 0, 80, 200, 50, 100, 0, "%d", "C", 0, 10, 40, 30, 1, 0};
            (check == 0 ? t.scale_top : t.divisor) = 0;
            EXPECT_EQ(form == 0 ? uguithermometer_DrawSideValue(&t)
                                : uguithermometer_DrawBottomValue(&t),
                      -1);
            EXPECT_EQ(f.CountNot(kFill), 0);
            ASSERT_EQ(out.lines.size(), 1u);
            EXPECT_EQ(
                out.lines[0].rfind("Wrong parameters value: file elements/uguithermometer", 0), 0u);
        }
    }
}

TEST(Gauge, RangeArcsGrowClockwiseFromTheTopAndBackForNegatives) {
    Frame f(220, 220);
    ELEMENT_PARAMS p = Params(10, 10, 200, 200, 25, 0, 100);
    ASSERT_EQ(uguigauge_DrawRange(&p), 0);
    const int cx = 110, cy = 110, r = 95;
    EXPECT_EQ(RingAt(f, cx, cy, r, 45), kGreen);
    EXPECT_EQ(RingAt(f, cx, cy, r, 135), kDarkGrey);
    EXPECT_EQ(RingAt(f, cx, cy, r, 270), kDarkGrey);
    // 100: the full ring in the value colour.
    f.Fill(kFill);
    p.value = 100;
    ASSERT_EQ(uguigauge_DrawRange(&p), 0);
    for (int a = 0; a < 360; a += 30)
        EXPECT_EQ(RingAt(f, cx, cy, r, a + 15), kGreen) << a;
    // -25: a quarter to the left, and the text is wider than for 25 by the minus sign.
    auto text_width = [&](const Frame& fr) {
        return Extent(fr, cx - 60, cy - 12, cx + 60, cy + 12, kGreen);
    };
    f.Fill(kFill);
    p.value = 25;
    ASSERT_EQ(uguigauge_DrawRange(&p), 0);
    const int positive = text_width(f);
    f.Fill(kFill);
    p.value = -25;
    ASSERT_EQ(uguigauge_DrawRange(&p), 0);
    EXPECT_EQ(RingAt(f, cx, cy, r, 135), kGreen);
    EXPECT_EQ(RingAt(f, cx, cy, r, 45), kDarkGrey);
    EXPECT_GT(text_width(f), positive);
}

TEST(Gauge, ThresholdOverlays) {
    Frame f(220, 220);
    ELEMENT_PARAMS p = Params(10, 10, 200, 200, 50, 0, 100);
    p.t1 = 20;
    p.t2 = 40;
    p.t4 = 30;
    p.t3 = 45;
    ASSERT_EQ(uguigauge_DrawRange(&p), 0);
    // 0 % is the top, each percent 3.6 degrees clockwise.
    auto at = [&](double percent) { return RingAt(f, 110, 110, 95, 90 - 3.6 * percent); };
    EXPECT_EQ(at(20), kGreen);
    EXPECT_EQ(at(38), kYellow);
    EXPECT_EQ(at(48), kRed);
    EXPECT_EQ(at(60), kDarkGrey);
}

TEST(Gauge, SignedOrdersThresholdsAndShowsNegativeValues) {
    Frame f(120, 120);
    ELEMENT_PARAMS p = Params(10, 10, 96, 96, -50, -100, 100);
    p.t4 = 90; // upper alarm and warning given the wrong way round
    p.t3 = 70;
    p.t1 = -40;
    p.t2 = -80;
    ASSERT_EQ(uguigauge_DrawSigned(&p), 0);
    EXPECT_EQ(p.t3, 90);
    EXPECT_EQ(p.t4, 70);
    EXPECT_EQ(p.t1, -80);
    EXPECT_EQ(p.t2, -40);
    // -50 of |min| 100: half a turn counter-clockwise from the top, yellow beyond 40 %.
    const int cx = 58, cy = 58, r = 43;
    EXPECT_EQ(RingAt(f, cx, cy, r, 90 + 3.6 * 20), kGreen);
    EXPECT_EQ(RingAt(f, cx, cy, r, 90 + 3.6 * 45), kYellow);
    EXPECT_EQ(RingAt(f, cx, cy, r, 90 + 3.6 * 60), kDarkGrey);
    EXPECT_EQ(RingAt(f, cx, cy, r, 45), kDarkGrey);
}

TEST(Gauge, CaptionedLeavesRoomForTheCaptionBox) {
    Frame f(120, 140);
    ELEMENT_PARAMS p = Params(10, 10, 96, 120, 0, 0, 100);
    ASSERT_EQ(uguigauge_DrawCaptioned(&p), 0);
    // FONT_20B is 20 high: ring area 120 - 34 = 86, box from 10 + 86 + 14 = 110, 20 high.
    EXPECT_EQ(f.At(12, 115), kGrey);
    EXPECT_EQ(f.At(12, 108), kFill);
    // The ring's bottom reaches y0 + 86 + 10 at most.
    EXPECT_EQ(f.At(58, 10 + 96 - 1), kDarkGrey);
    EXPECT_EQ(f.At(58, 10 + 96 + 2), kFill);
}

TEST(Gauge, FontCopiesAreNotLeftInTheContext) {
    Frame f(120, 120);
    {
        ELEMENT_PARAMS p = Params(10, 10, 96, 96, 10, 0, 100);
        ASSERT_EQ(uguigauge_DrawRange(&p), 0);
    }
    // The record is gone; the context holds the catalogue font, not the copy.
    EXPECT_EQ(GUI_SelectFont(nullptr), &FONT_20B);
    // A copy of a font outside the catalogue is selected for the drawing only.
    const GUI_FONTDEF* before = GUI_SelectFont(nullptr);
    ELEMENT_PARAMS p = Params(10, 10, 96, 96, 10, 0, 100);
    p.value_font = drawtest::kBlockFont;
    ASSERT_EQ(uguigauge_DrawRange(&p), 0);
    EXPECT_EQ(GUI_SelectFont(nullptr), before);
}

TEST(Thermometer, SideValueMercuryAndBox) {
    Frame f(100, 220);
    THERMO_PARAMS t{10, 10, 80, 200, 20, 100, 0, "%d", "C", 0, 10, 40, 30, 1, 0};
    ASSERT_EQ(uguithermometer_DrawSideValue(&t), 0);
    // Mercury in the tube (centre x 20) from 10 + 185 - 37 = 158 down, glass above it.
    EXPECT_EQ(f.At(20, 160), kGreen);
    EXPECT_EQ(f.At(20, 156), kGrey);
    EXPECT_EQ(f.At(20, 200), kGreen); // the bulb
    // Value box at the top right.
    EXPECT_EQ(f.At(88, 12), kGrey);
    EXPECT_TRUE(f.UnchangedOutside(10, 10, 90, 210, kFill));
}

TEST(Thermometer, BottomValueBoxAcrossTheBottom) {
    Frame f(100, 100);
    GUI_SelectFont(&FONT_20B);
    THERMO_PARAMS t{10, 10, 70, 80, 45, 100, 0, "%d", "C", 0, 10, 40, 30, 1, 0};
    ASSERT_EQ(uguithermometer_DrawBottomValue(&t), 0);
    EXPECT_EQ(f.At(12, 85), kGrey); // box 20 high at the bottom, full width
    EXPECT_EQ(f.At(45, 50), kRed);  // 45 is above hot 40
    EXPECT_TRUE(f.UnchangedOutside(10, 10, 80, 90, kFill));
}

TEST(Level, TankWaterAndValueBox) {
    Frame f(120, 120);
    LEVEL_PARAMS p = Params(10, 10, 100, 100, 50, 0, 100);
    p.t1 = 10, p.t2 = 20, p.t4 = 80, p.t3 = 90;
    ELEMENT_DrawLevel(&p);
    EXPECT_EQ(f.At(12, 10 + 53 + 2), kBlue);   // water from the surface down
    EXPECT_NE(f.At(15, 10 + 53 - 8), kBlue);   // above the waves: the tank
    EXPECT_EQ(f.At(18, 10 + 53 - 6), kBlue);   // top of the first wave (x0 + 8) at radius 6
    EXPECT_EQ(f.At(37, 10 + 50 + 10), kGreen); // value box at the middle
    p.value = 10;                              // exactly T1: red
    ELEMENT_DrawLevel(&p);
    EXPECT_EQ(f.At(37, 10 + 50 + 10), kRed);
    // Far above 100 % the water stays in the tank (the waves' crests reach 2 pixels above).
    f.Fill(kFill);
    p.value = 400;
    ELEMENT_DrawLevel(&p);
    EXPECT_TRUE(f.UnchangedOutside(10, 8, 110, 110, kFill));
}

TEST(Indicator, StatesAndBlinking) {
    Frame f(80, 40);
    INDICATOR_PARAMS p{};
    p.x0 = 5;
    p.y0 = 5;
    p.xSize = 60;
    p.ySize = 25;
    p.font = FONT_13B;
    p.label = "LVP";
    p.colour1 = 0x808080;
    p.colour2 = 0x00FF00;
    p.colour3 = 0x0000FF;
    p.border = 2;
    auto border = [&] { return f.At(35, 6); };
    ELEMENT_DrawIndicator(&p);
    EXPECT_EQ(border(), kGrey);
    EXPECT_EQ(f.At(10, 17), kBlack); // the inner field
    p.state = INDICATOR_ON;
    ELEMENT_DrawIndicator(&p);
    EXPECT_EQ(border(), kGreen);
    p.state = INDICATOR_BLINKING;
    uint32_t seen[4];
    for (uint32_t& s : seen) {
        ELEMENT_ToggleBlink(&p);
        ELEMENT_DrawIndicator(&p);
        s = border();
    }
    EXPECT_EQ(seen[0], kGrey); // phase 1: colour 1
    EXPECT_EQ(seen[1], kRed);  // phase 0: colour 3
    EXPECT_EQ(seen[2], kGrey);
    EXPECT_EQ(seen[3], kRed);
}

TEST(Pictograms, SunRaysGrowWithThePhase) {
    while (ELEMENT_GetSunPhase() != 0)
        ELEMENT_AdvanceSunPhase();
    Frame f(100, 100);
    ELEMENT_DrawSun(50, 50, 12, 12);
    EXPECT_EQ(f.At(50, 50 - 11), kYellow);
    EXPECT_EQ(f.At(50, 50 - 12 - 5), kFill); // no rays
    ELEMENT_AdvanceSunPhase();
    f.Fill(kFill);
    ELEMENT_DrawSun(50, 50, 12, 12);
    EXPECT_EQ(f.At(50, 50 - 16 - 3), kYellow); // half length: 6
    EXPECT_EQ(f.At(50, 50 - 16 - 9), kFill);
    ELEMENT_AdvanceSunPhase();
    f.Fill(kFill);
    ELEMENT_DrawSun(50, 50, 12, 12);
    EXPECT_EQ(f.At(50, 50 - 16 - 9), kYellow);
    ELEMENT_AdvanceSunPhase();
    EXPECT_EQ(ELEMENT_GetSunPhase(), 0);
}

TEST(Pictograms, ChargingBoltBulbAndPanel) {
    Frame f(200, 200);
    ELEMENT_DrawChargingBattery(20, 40, 50, 100, 1);
    EXPECT_EQ(f.At(45, 35), kGrey);   // terminal above the body
    EXPECT_EQ(f.At(47, 95), kYellow); // inside the bolt
    ELEMENT_DrawChargingBattery(20, 40, 50, 100, 0);
    EXPECT_EQ(f.At(47, 95), kBlack);
    ELEMENT_DrawBulb(120, 150, 25, 4, 2, 1);
    EXPECT_EQ(f.At(132, 122), kYellow); // glass centre
    EXPECT_EQ(f.At(132, 152), kGrey);   // first bar
    ELEMENT_DrawBulb(120, 150, 25, 4, 2, 0);
    EXPECT_EQ(f.At(132, 122), Px(0xF5D0A9));
    ELEMENT_DrawSolarPanel(100, 10, 6, 3);
    EXPECT_EQ(f.At(100, 10), Px(0xFF944D));
    EXPECT_EQ(f.At(100, 15), Px(0xFF6600));
    EXPECT_EQ(f.At(106, 12), kFill); // the gap
    EXPECT_EQ(f.At(100 + 27 + 5, 10 + 27 + 5), Px(0xFF6600));
}

} // namespace

namespace {

// Frames drawn alike: every pixel equal.
bool SamePixels(const Frame& a, const Frame& b, int width, int height) {
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (a.At(x, y) != b.At(x, y)) return false;
    return true;
}

int Reports(const DebugOutput& out) {
    int n = 0;
    for (const std::string& line : out.lines)
        if (line.rfind("Wrong parameters value: file elements/uguigauge", 0) == 0) ++n;
    return n;
}

} // namespace

// A range that reads 0..0 (registers the poll never reaches): a gauge with a place reports it
// once there until the range changes, and draws exactly what an unkeyed gauge draws.
TEST(Gauge, EmptyRangeIsReportedOncePerPlaceUntilItChanges) {
    ELEMENT_EmptyRangeForgetAll();
    using Draw = std::function<int(ELEMENT_PARAMS*)>;
    const Draw forms[] = {[](ELEMENT_PARAMS* p) { return uguigauge_DrawCaptioned(p); },
                          [](ELEMENT_PARAMS* p) { return uguigauge_DrawRange(p); },
                          [](ELEMENT_PARAMS* p) { return uguigauge_DrawSigned(p); }};
    uint32_t key = 0x100;
    for (const Draw& draw : forms) {
        ++key;
        Frame unkeyed(120, 140);
        {
            DebugOutput out;
            ELEMENT_PARAMS p = Params(10, 10, 96, 120, 30, 0, 0);
            draw(&p);
            EXPECT_GE(Reports(out), 1) << "without a place every drawing reports";
        }
        DebugOutput out;
        for (int paint = 0; paint < 50; ++paint) {
            Frame keyed(120, 140);
            ELEMENT_PARAMS p = Params(10, 10, 96, 120, 30 + paint, 0, 0);
            p.report_key = key;
            draw(&p);
            if (paint == 0) {
                EXPECT_TRUE(SamePixels(keyed, unkeyed, 120, 140)) << key;
            }
        }
        EXPECT_EQ(Reports(out), 1) << "key " << key;
        // Another place with the same range reports it too.
        {
            Frame other(120, 140);
            ELEMENT_PARAMS p = Params(10, 10, 96, 120, 30, 0, 0);
            p.report_key = key + 0x1000;
            draw(&p);
        }
        EXPECT_EQ(Reports(out), 2);
        // A usable range, then the empty one again: reported anew, once.
        for (int32_t max : {100, 0, 0, 0}) {
            Frame again(120, 140);
            ELEMENT_PARAMS p = Params(10, 10, 96, 120, 30, 0, max);
            p.report_key = key;
            draw(&p);
        }
        EXPECT_EQ(Reports(out), 3);
    }
    // A different empty range at the same place is a change as well.
    DebugOutput out;
    Frame f(120, 140);
    ELEMENT_PARAMS p = Params(10, 10, 96, 120, 30, 5, 5);
    p.report_key = key;
    uguigauge_DrawCaptioned(&p);
    uguigauge_DrawCaptioned(&p);
    EXPECT_EQ(Reports(out), 1);
    ELEMENT_EmptyRangeForgetAll();
}

TEST(Gauge, EmptyRangePlacesBeyondTheTableReportEveryTime) {
    ELEMENT_EmptyRangeForgetAll();
    for (uint32_t key = 1; key <= ELEMENT_REPORT_PLACES; ++key)
        EXPECT_TRUE(ELEMENT_EmptyRangeReportDue(key, 0, 0));
    EXPECT_FALSE(ELEMENT_EmptyRangeReportDue(ELEMENT_REPORT_PLACES, 0, 0));
    const uint32_t extra = ELEMENT_REPORT_PLACES + 1;
    EXPECT_TRUE(ELEMENT_EmptyRangeReportDue(extra, 0, 0));
    EXPECT_TRUE(ELEMENT_EmptyRangeReportDue(extra, 0, 0)) << "not remembered: reported again";
    // A place that becomes usable frees its room for the next one.
    ELEMENT_EmptyRangeForget(7);
    EXPECT_TRUE(ELEMENT_EmptyRangeReportDue(extra, 0, 0));
    EXPECT_FALSE(ELEMENT_EmptyRangeReportDue(extra, 0, 0));
    EXPECT_FALSE(ELEMENT_EmptyRangeReportDue(ELEMENT_REPORT_PLACES, 0, 0)) << "the moved place";
    EXPECT_TRUE(ELEMENT_EmptyRangeReportDue(0, 0, 0)) << "key 0 always reports";
    EXPECT_TRUE(ELEMENT_EmptyRangeReportDue(0, 0, 0));
    ELEMENT_EmptyRangeForgetAll();
}

// A caption wider than its box steps down through the smaller bold and plain fonts and is
// drawn whole inside the box; one that fits keeps its font.
TEST(Gauge, CaptionTooWideForItsBoxTakesASmallerFont) {
    EXPECT_EQ(uguigauge_CaptionFont("INPUT 1", 85, &FONT_16B), &FONT_16B);
    const GUI_FONTDEF* fitted = uguigauge_CaptionFont("Load Current", 85, &FONT_16B);
    EXPECT_NE(fitted, &FONT_16B);
    EXPECT_EQ(uguigauge_CaptionFont("A caption far too long for any box", 85, &FONT_16B), &FONT_10);
    EXPECT_EQ(uguigauge_CaptionFont("Wide", 10, &FONT_13), &FONT_10) << "steps below 13 only";

    Frame f(120, 140);
    const GUI_FONTDEF* before = GUI_SelectFont(nullptr);
    GUI_SelectFont(fitted);
    const int text_width = GUI_GetTextWidth("Load Current");
    GUI_SelectFont(before);
    EXPECT_LE(text_width, 85 - 2 * UGUIGAUGE_CAPTION_MARGIN);
    ELEMENT_PARAMS p = Params(10, 10, 85, 109, 0, 0, 100);
    p.caption = "Load Current";
    ASSERT_EQ(uguigauge_DrawCaptioned(&p), 0);
    // The box: FONT_20B high, from 10 + (109 - 34) + 14 = 99. Its black text lies inside it
    // and is as wide as the text; nothing black spills onto the frame beside it.
    const int box_y0 = 99, box_y1 = 99 + 20;
    EXPECT_EQ(Extent(f, 10, box_y0, 10 + 85, box_y1, kBlack) >= text_width - 2, true)
        << Extent(f, 10, box_y0, 10 + 85, box_y1, kBlack) << " of " << text_width;
    EXPECT_EQ(Extent(f, 0, box_y0, 9, box_y1, kBlack), 0);
    EXPECT_EQ(Extent(f, 10 + 86, box_y0, 119, box_y1, kBlack), 0);
}
