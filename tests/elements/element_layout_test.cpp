// The elements' arithmetic without pixels: sizes, segment counts, angles, arc plans, shapes.
#include "elements/element_layout.h"
#include "elements/uguigauge.h"
#include "tests/elements/element_test_util.h"

#include <gtest/gtest.h>

using namespace elementtest;

namespace {

constexpr GUI_COLOUR kR = 0x0000FF, kY = 0x00FFFF, kG = 0x00FF00;

TEST(BatteryLayout, UprightSizesMarginsAndSegments) {
    const ELEMENT_PARAMS p = Params(10, 20, 60, 150, 50, 0, 100);
    const BATTERY_LAYOUT l = uguibattery_UprightLayout(&p);
    EXPECT_EQ(l.terminal_w, 20);
    EXPECT_EQ(l.terminal_h, 10);
    EXPECT_EQ(l.segments, 15);
    EXPECT_EQ(l.margin_x, 6);
    EXPECT_EQ(l.margin_y, 15);
    EXPECT_EQ(l.pitch, 7); // (150 - 10 - 30) / 15
    EXPECT_EQ(l.first, 20 + 150 - 15);
    EXPECT_EQ(l.lit, 8); // 50 / (100 / 15) = 50 / 6
}

TEST(BatteryLayout, LitSegmentsAreHeldToTheScale) {
    ELEMENT_PARAMS p = Params(0, 0, 60, 100, 0, 0, 100);
    EXPECT_EQ(uguibattery_UprightLayout(&p).lit, 0); // value at min
    p.value = -40;
    EXPECT_EQ(uguibattery_UprightLayout(&p).lit, 0); // below min
    p.value = 100;
    EXPECT_EQ(uguibattery_UprightLayout(&p).lit, 10);
    p.value = INT32_MAX; // far beyond max, no overflow on the way
    EXPECT_EQ(uguibattery_UprightLayout(&p).lit, 10);
    p.min = INT32_MIN;
    p.max = INT32_MAX;
    p.value = 0;
    EXPECT_EQ(uguibattery_UprightLayout(&p).lit, 5);
    // The lying form divides the width: 120 wide is 12 segments, 9 pixels each.
    ELEMENT_PARAMS q = Params(0, 0, 120, 40, 100, 0, 120);
    const BATTERY_LAYOUT l = uguibattery_LyingLayout(&q);
    EXPECT_EQ(l.segments, 12);
    EXPECT_EQ(l.pitch, 9);
    EXPECT_EQ(l.lit, 10);
    EXPECT_EQ(l.terminal_w, 6);
    EXPECT_EQ(l.terminal_h, 20);
    EXPECT_EQ(l.first, 120 - 4);
}

TEST(BatteryLayout, ColoursByThresholds) {
    // Start colour: below T1 red, below T2 yellow.
    EXPECT_EQ(uguibattery_StartColour(30, 20, 40), kY);
    EXPECT_EQ(uguibattery_StartColour(19, 20, 40), kR);
    EXPECT_EQ(uguibattery_StartColour(40, 20, 40), kG);
    // 0..100 in 10 segments, T4 80 and T3 90: segment 8 yellow, 9 red.
    ELEMENT_PARAMS p = Params(0, 0, 60, 100, 100, 0, 100);
    p.t4 = 80;
    p.t3 = 90;
    const BATTERY_LAYOUT l = uguibattery_UprightLayout(&p);
    GUI_COLOUR c = kG;
    GUI_COLOUR seen[10];
    for (int i = 0; i < 10; ++i)
        seen[i] = c = uguibattery_SegmentColour(i, c, l);
    EXPECT_EQ(seen[7], kG);
    EXPECT_EQ(seen[8], kY);
    EXPECT_EQ(seen[9], kR);
}

TEST(GaugeMath, MapLinear) {
    DebugOutput out;
    EXPECT_EQ(uguigauge_MapLinear(25, 0, 100, 90, 450), 180);
    EXPECT_EQ(uguigauge_MapLinear(100, 0, 100, 90, 450), 450);
    EXPECT_EQ(uguigauge_MapLinear(-50, 0, 100, 90, 450), -90);
    EXPECT_EQ(uguigauge_MapLinear(1, 0, 3, 0, 10), 3);              // truncated
    EXPECT_EQ(uguigauge_MapLinear(2e9f, 0, 1, 90, 450), INT32_MAX); // held to int range
    EXPECT_TRUE(out.lines.empty());
    EXPECT_EQ(uguigauge_MapLinear(5, 7, 7, 90, 450), -1);
    ASSERT_EQ(out.lines.size(), 1u);
    EXPECT_EQ(out.lines[0].rfind("Wrong parameters value: file elements/uguigauge on line ", 0),
              0u);
}

TEST(GaugeMath, ArcSpans) {
    int s = 0, e = 0;
    EXPECT_FALSE(uguigauge_ArcSpan(90, 90, &s, &e));
    EXPECT_FALSE(uguigauge_ArcSpan(90, 20, &s, &e));
    ASSERT_TRUE(uguigauge_ArcSpan(-270, 90, &s, &e));
    EXPECT_EQ(s, 90);
    EXPECT_EQ(e, 450);
    ASSERT_TRUE(uguigauge_ArcSpan(int64_t{INT32_MIN} * 4, 90, &s, &e)); // a full turn
    EXPECT_EQ(e - s, 360);
    ASSERT_TRUE(uguigauge_ArcSpan(0, 90, &s, &e));
    EXPECT_EQ(s, 0);
    EXPECT_EQ(e, 90);
}

TEST(GaugeMath, RingsAndLabels) {
    ELEMENT_PARAMS p = Params(10, 150, 200, 200, 0, 0, 100);
    GAUGE_RING r = uguigauge_Ring(&p);
    EXPECT_EQ(r.cx, 110);
    EXPECT_EQ(r.cy, 250);
    EXPECT_EQ(r.rx, 95);
    EXPECT_EQ(r.ry, 95);
    EXPECT_EQ(uguigauge_LabelY(0, r, 32), 250 - 47);
    EXPECT_EQ(uguigauge_LabelY(1, r, 32), 250 - 16);
    EXPECT_EQ(uguigauge_LabelY(2, r, 32), 250 - 71);
    EXPECT_EQ(uguigauge_LabelY(7, r, 32), 250 - 47);
    // Captioned 85 x 109 with a 20 pixel font: ring area 109 - 34 = 75 high, box 14 below.
    p = Params(14, 40, 85, 109, 0, 0, 100);
    int box_y = 0;
    r = uguigauge_CaptionedRing(&p, 20, &box_y);
    EXPECT_EQ(r.cy, 40 + (75 + 10) / 2);
    EXPECT_EQ(r.ry, 37);
    EXPECT_EQ(r.rx, 37);
    EXPECT_EQ(box_y, 40 + 75 + 14);
}

GAUGE_VALUE Value(int32_t v, int32_t a, int32_t t4, int32_t t3, int32_t t2, int32_t t1) {
    return GAUGE_VALUE{v, v, a, t4, t3, t2, t1, 0, 0, 0, 0};
}

TEST(GaugeMath, RangePlans) {
    // 25 of 0..100: a quarter clockwise from the top, green.
    GAUGE_VALUE g = Value(25, 180, 1000, 1000, 0, 0);
    GAUGE_PLAN plan = uguigauge_PlanRange(g);
    ASSERT_EQ(plan.count, 1);
    EXPECT_EQ(plan.arc[0].a0, 0);
    EXPECT_EQ(plan.arc[0].a1, 90);
    EXPECT_EQ(plan.arc[0].colour, kG);
    // 50 with T1 20, T2 40, T4 30, T3 45: green, yellow from 30 %, red from 45 %.
    g = Value(50, 270, 30, 45, 40, 20);
    g.a4 = 198;
    g.a3 = 252;
    plan = uguigauge_PlanRange(g);
    ASSERT_EQ(plan.count, 3);
    EXPECT_EQ(plan.arc[0].colour, kG);
    EXPECT_EQ(plan.arc[1].a0, -90);
    EXPECT_EQ(plan.arc[1].a1, 180 - 198);
    EXPECT_EQ(plan.arc[1].colour, kY);
    EXPECT_EQ(plan.arc[2].a1, 180 - 252);
    EXPECT_EQ(plan.text_colour, kR);
    // At or below T1 red, between T1 and T2 yellow.
    EXPECT_EQ(uguigauge_PlanRange(Value(20, 162, 99, 99, 40, 20)).arc[0].colour, kR);
    EXPECT_EQ(uguigauge_PlanRange(Value(40, 234, 99, 99, 40, 20)).arc[0].colour, kY);
    // -25: counter-clockwise from the top to the left.
    plan = uguigauge_PlanRange(Value(-25, 180, 99, 99, -99, -99));
    ASSERT_EQ(plan.count, 1);
    EXPECT_EQ(plan.arc[0].a0, 90);
    EXPECT_EQ(plan.arc[0].a1, 180);
}

TEST(GaugeMath, SignedNegativeValuesDrawAnArcWithOverlays) {
    // -60 on a scale of |min| 100 (angle 306), lower warning -40, lower alarm -50.
    GAUGE_VALUE g = Value(-60, 306, 40, 50, -40, -50);
    g.a2 = 234;
    g.a1 = 270;
    const GAUGE_PLAN plan = uguigauge_PlanSigned(g);
    ASSERT_EQ(plan.count, 3);
    EXPECT_EQ(plan.arc[0].a0, 90);
    EXPECT_EQ(plan.arc[0].a1, 306);
    EXPECT_EQ(plan.arc[0].colour, kG);
    EXPECT_EQ(plan.arc[1].a0, 234);
    EXPECT_EQ(plan.arc[1].colour, kY);
    EXPECT_EQ(plan.arc[2].a0, 270);
    EXPECT_EQ(plan.text_colour, kR);
    // -30 passes neither lower threshold: the plain arc.
    g = Value(-30, 198, 40, 50, -40, -50);
    EXPECT_EQ(uguigauge_PlanSigned(g).count, 1);
    // Positive values as the range forms.
    g = Value(45, 252, 40, 50, -40, -50);
    g.a4 = 234;
    EXPECT_EQ(uguigauge_PlanSigned(g).count, 2);
}

TEST(ThermometerLayout, SideValueSizes) {
    THERMO_PARAMS p{};
    p.xSize = 80;
    p.ySize = 200;
    p.scale_bottom = 0;
    p.scale_top = 100;
    p.value = 50;
    THERMO_LAYOUT l = uguithermometer_SideLayout(&p);
    EXPECT_EQ(l.glass, 20);
    EXPECT_EQ(l.scale, 185);
    EXPECT_EQ(l.mercury, 92);
    EXPECT_EQ(l.mercury_top, 185 - 92);
    // Beyond the scale the mercury fills or empties the glass, never more.
    p.value = 1000;
    EXPECT_EQ(uguithermometer_SideLayout(&p).mercury, 185);
    p.value = -1000;
    EXPECT_EQ(uguithermometer_SideLayout(&p).mercury, 0);
    // Bottom value: the glass leaves the font height + 4 for the box.
    p.value = 100;
    l = uguithermometer_BottomLayout(&p, 20);
    EXPECT_EQ(l.glass_length, 176);
    EXPECT_EQ(l.scale, 176 - 5 - 10);
    EXPECT_EQ(l.mercury, l.scale);
}

TEST(ThermometerLayout, ThresholdsAreStrict) {
    THERMO_PARAMS p{};
    p.very_cold = 0;
    p.cold = 10;
    p.warm = 30;
    p.hot = 40;
    const std::pair<int32_t, GUI_COLOUR> cases[] = {{-1, 0x800000}, {0, 0xFF0000}, {9, 0xFF0000},
                                                    {10, kG},       {30, kG},      {31, kY},
                                                    {40, kY},       {41, kR}};
    for (const auto& [value, colour] : cases) {
        p.value = value;
        EXPECT_EQ(uguithermometer_MercuryColour(&p), colour) << value;
    }
}

TEST(ThermometerLayout, ShapeBulbAndTube) {
    const THERMO_SHAPE s = uguithermometer_ShapeOf(50, 10, 30, 100);
    EXPECT_EQ(s.bulb_y, 95);
    EXPECT_EQ(s.bulb_r, 15);
    EXPECT_EQ(s.tube_x0, 45);
    EXPECT_EQ(s.tube_x1, 55);
    EXPECT_EQ(s.tube_y1, 95);
    EXPECT_EQ(s.tube_r, 5);
}

TEST(OtherLayout, TankSurfaceWavesAndColour) {
    EXPECT_EQ(ELEMENT_LevelSurface(0, 100, 50), 53);
    EXPECT_EQ(ELEMENT_LevelSurface(0, 100, 0), 100);
    EXPECT_EQ(ELEMENT_LevelSurface(0, 100, 100), 6);
    EXPECT_EQ(ELEMENT_LevelSurface(0, 100, 250), 6); // the water stays in the tank
    EXPECT_EQ(ELEMENT_LevelSurface(0, 100, -20), 100);
    EXPECT_EQ(ELEMENT_LevelWaveCount(100), 8);
    EXPECT_EQ(ELEMENT_LevelWaveX(0, 100, 0), 8);
    EXPECT_EQ(ELEMENT_LevelWaveX(0, 100, 7), 8 + 84);
    // T1 10, T2 20, T4 80, T3 90: open ranges.
    EXPECT_EQ(ELEMENT_LevelColour(10, 10, 20, 90, 80), kR);
    EXPECT_EQ(ELEMENT_LevelColour(11, 10, 20, 90, 80), kY);
    EXPECT_EQ(ELEMENT_LevelColour(20, 10, 20, 90, 80), kY);
    EXPECT_EQ(ELEMENT_LevelColour(50, 10, 20, 90, 80), kG);
    EXPECT_EQ(ELEMENT_LevelColour(80, 10, 20, 90, 80), kY);
    EXPECT_EQ(ELEMENT_LevelColour(90, 10, 20, 90, 80), kR);
}

TEST(OtherLayout, PictogramGeometry) {
    // The bolt as described for the 50 x 100 body.
    GUI_POINT bolt[7];
    ELEMENT_BoltPoints(50, 100, bolt);
    const GUI_POINT want[7] = {{0, 0},    {10, -35}, {5, -35}, {10, -55},
                               {-8, -55}, {-8, -25}, {-2, -25}};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(bolt[i].x, want[i].x) << i;
        EXPECT_EQ(bolt[i].y, want[i].y) << i;
    }
    // The bulb 25 wide: glass radius 20 centred 28 above, neck 6 wider on each side.
    const BULB_LAYOUT b = ELEMENT_BulbLayout(100, 200, 25, 4, 2);
    EXPECT_EQ(b.glass_r, 20);
    EXPECT_EQ(b.glass_x, 112);
    EXPECT_EQ(b.glass_y, 172);
    EXPECT_EQ(b.neck_k, 6);
    EXPECT_EQ(b.neck_t, -22);
    EXPECT_EQ(b.bar_y[3], 218);
    EXPECT_EQ(b.bar_y[4], 224);
    // Sun rays: none, half, full.
    EXPECT_EQ(ELEMENT_SunRayLength(0, 12), 0);
    EXPECT_EQ(ELEMENT_SunRayLength(1, 12), 6);
    EXPECT_EQ(ELEMENT_SunRayLength(2, 12), 12);
    GUI_POINT from[8], to[8];
    ELEMENT_SunRays(100, 100, 12, 6, from, to);
    EXPECT_EQ(from[0].y, 84); // up: 4 pixels off the disc
    EXPECT_EQ(to[0].y, 78);
    EXPECT_EQ(to[4].x, 118); // up right, from the corner
    EXPECT_EQ(to[4].y, 82);
}

} // namespace
