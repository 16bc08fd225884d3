// Anti-aliased shapes: coverage, symmetry, the arc angle rules and the round rectangle rules.
#include "tests/gui/toolkit/draw_test_util.h"

#include <cmath>
#include <vector>

using namespace drawtest;

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;

double Ink(const Frame& f) {
    double sum = 0;
    for (uint32_t p : f.pixels())
        sum += (p & 0xFF) / 255.0;
    return sum;
}

TEST(DrawAA, FilledCircleIsSymmetricAboutItsCentrePixel) {
    for (int factor = 2; factor <= 6; ++factor) {
        SCOPED_TRACE(factor);
        Frame f(41, 41);
        f.Fill(0);
        GUI_SetAAFactor(factor);
        GUI_FillCircleAA(20, 20, 13);
        for (int y = 0; y < 41; ++y)
            for (int x = 0; x < 41; ++x) {
                ASSERT_EQ(f.At(x, y), f.At(40 - x, y)) << x << "," << y;
                ASSERT_EQ(f.At(x, y), f.At(x, 40 - y)) << x << "," << y;
                ASSERT_EQ(f.At(x, y), f.At(y, x)) << x << "," << y;
            }
        // Solid inside, partial pixels only on the rim, nothing beyond the radius + 1.
        EXPECT_EQ(f.At(20, 20), kWhite);
        EXPECT_EQ(f.At(20, 20 - 13), kWhite);
        EXPECT_EQ(f.At(20, 20 - 14), 0u);
        int partial = 0;
        for (uint32_t p : f.pixels())
            partial += p != 0 && p != kWhite;
        EXPECT_GT(partial, 8);
        // The ink matches the area of the disc of radius r + 0.5 within a few pixels.
        EXPECT_NEAR(Ink(f), M_PI * 13.5 * 13.5, 3.0);
    }
}

TEST(DrawAA, CoverageBlendsWithWhatIsThere) {
    Frame f(20, 20);
    f.Fill(0x0000FF); // blue background
    GUI_SetAAFactor(6);
    GUI_SetDrawColor(0x0000FF); // red
    GUI_FillCircleAA(10, 10, 6);
    // A rim pixel mixes red and blue; its two channels add up to the full level.
    bool mixed = false;
    for (uint32_t p : f.pixels()) {
        const int r = (p >> 16) & 0xFF, b = p & 0xFF;
        if (r != 0 && b != 0) {
            mixed = true;
            EXPECT_NEAR(r + b, 255, 1);
        }
    }
    EXPECT_TRUE(mixed);
}

TEST(DrawAA, ArcNinetyToFourFiftyIsAFullRing) {
    Frame full(60, 60);
    full.Fill(0);
    GUI_SetAAFactor(6);
    GUI_SetLineWidth(6);
    GUI_DrawArcAA(30, 30, 20, 14, 90, 450);
    Frame ref(60, 60);
    ref.Fill(0);
    GUI_SetAAFactor(6);
    GUI_SetLineWidth(6);
    GUI_DrawArcAA(30, 30, 20, 14, 0, 360);
    EXPECT_EQ(full.pixels(), ref.pixels());
    // A ring: the centre stays empty, each side is drawn, and it is mirror symmetric.
    EXPECT_EQ(ref.At(30, 30), 0u);
    EXPECT_EQ(ref.At(30 + 20, 30), kWhite);
    EXPECT_EQ(ref.At(30 - 20, 30), kWhite);
    EXPECT_EQ(ref.At(30, 30 - 14), kWhite);
    EXPECT_EQ(ref.At(30, 30 + 14), kWhite);
    for (int y = 0; y < 60; ++y)
        for (int x = 1; x < 60; ++x)
            ASSERT_EQ(ref.At(x, y), ref.At(60 - x, y)) << x << "," << y;
    // More than one turn is still one ring.
    Frame twice(60, 60);
    twice.Fill(0);
    GUI_SetAAFactor(6);
    GUI_SetLineWidth(6);
    GUI_DrawArcAA(30, 30, 20, 14, 90, 90 + 720);
    EXPECT_EQ(twice.pixels(), ref.pixels());
}

// The gauge draws its value from the top clockwise as the arc (180 - a, 90).
TEST(DrawAA, ArcFromOneEightyMinusARunsClockwiseFromTheTop) {
    const int c = 30, r = 20;
    for (int a : {135, 180, 270, 360}) {
        SCOPED_TRACE(a);
        Frame f(61, 61);
        f.Fill(0);
        GUI_SetAAFactor(6);
        GUI_SetLineWidth(4);
        GUI_DrawArcAA(c, c, r, r, 180 - a, 90);
        // Sweep from the top clockwise: a - 90 degrees.
        const int sweep = a - 90;
        for (int deg = 2; deg < 358; deg += 4) {
            // Angle measured clockwise from the top.
            const double rad = deg * M_PI / 180.0;
            const int x = c + static_cast<int>(std::lround(r * std::sin(rad)));
            const int y = c - static_cast<int>(std::lround(r * std::cos(rad)));
            if (deg < sweep - 6) {
                EXPECT_EQ(f.At(x, y), kWhite) << deg;
            } else if (deg > sweep + 6) {
                EXPECT_EQ(f.At(x, y), 0u) << deg;
            }
        }
    }
}

TEST(DrawAA, ArcAnglesWrapAndAnEndBelowTheStartDrawsNothing) {
    GUI_SetAAFactor(6);
    auto draw = [](int a0, int a1) {
        Frame f(61, 61);
        f.Fill(0);
        GUI_SetAAFactor(6);
        GUI_SetLineWidth(4);
        GUI_DrawArcAA(30, 30, 20, 20, a0, a1);
        return f.pixels();
    };
    // Starts are reduced into 0..359 and ends moved by the same turns.
    EXPECT_EQ(draw(-90, 90), draw(270, 450));
    EXPECT_EQ(draw(400, 500), draw(40, 140));
    // An end at or below the start: nothing.
    EXPECT_EQ(draw(90, 80), draw(10, 10));
    std::vector<uint32_t> empty(61 * 61, 0);
    EXPECT_EQ(draw(90, 80), empty);
    // (0, 180) is the upper half only.
    const std::vector<uint32_t> upper = draw(0, 180);
    for (int x = 0; x < 61; ++x) {
        EXPECT_EQ(upper[40 * 61 + x], 0u); // a row below the centre
    }
    EXPECT_EQ(upper[(30 - 20) * 61 + 30], kWhite);
}

TEST(DrawAA, RoundRectRulesAndFactorRestored) {
    Frame f(40, 30);
    f.Fill(0);
    GUI_SetAAFactor(6);
    // A radius over half the width or height: nothing.
    GUI_FillRoundRectAA(0, 0, 20, 20, 11);
    GUI_FillRoundRectAA(0, 0, 30, 9, 5);
    EXPECT_EQ(f.CountNot(0), 0);
    GUI_FillRoundRectAA(2, 3, 33, 24, 6);
    EXPECT_EQ(GUI_GetAAFactor(), 6);
    // Solid rectangle with rounded, partly covered corners, symmetric both ways.
    EXPECT_EQ(f.At(18, 3), kWhite);
    EXPECT_EQ(f.At(2, 13), kWhite);
    EXPECT_EQ(f.At(2, 3), 0u);
    EXPECT_TRUE(f.UnchangedOutside(2, 3, 33, 24, 0));
    bool partial = false;
    for (int y = 3; y <= 24; ++y)
        for (int x = 2; x <= 33; ++x) {
            ASSERT_EQ(f.At(x, y), f.At(35 - x, y));
            ASSERT_EQ(f.At(x, y), f.At(x, 27 - y));
            partial |= f.At(x, y) != 0 && f.At(x, y) != kWhite;
        }
    EXPECT_TRUE(partial);
    // Radius exactly half the width is still drawn.
    f.Fill(0);
    GUI_FillRoundRectAA(0, 0, 10, 10, 5);
    EXPECT_EQ(f.At(5, 5), kWhite);
}

TEST(DrawAA, PolygonCoversItsAreaWithTheNonZeroRule) {
    Frame f(40, 40);
    f.Fill(0);
    GUI_SetAAFactor(6);
    // An axis-aligned square between pixel centres: 20 x 20 pixels of ink.
    const GUI_POINT square[] = {{0, 0}, {20, 0}, {20, 20}, {0, 20}};
    GUI_FillPolygonAA(square, 4, 5, 5);
    EXPECT_NEAR(Ink(f), 400.0, 0.5);
    EXPECT_EQ(f.At(15, 15), kWhite);
    // Either winding direction fills the same.
    std::vector<uint32_t> cw = f.pixels();
    f.Fill(0);
    const GUI_POINT ccw[] = {{0, 0}, {0, 20}, {20, 20}, {20, 0}};
    GUI_FillPolygonAA(ccw, 4, 5, 5);
    EXPECT_EQ(f.pixels(), cw);
    // Too few points draw nothing; too many are refused with the parameter report.
    f.Fill(0);
    GUI_FillPolygonAA(square, 2, 5, 5);
    EXPECT_EQ(f.CountNot(0), 0);
    std::vector<GUI_POINT> many(GUI_MAX_POLYGON_POINTS + 1, GUI_POINT{1, 1});
    GUI_FillPolygonAA(many.data(), static_cast<int>(many.size()), 0, 0);
    EXPECT_EQ(f.CountNot(0), 0);
}

TEST(DrawAA, LinesHaveTheirWidthAndCoverBothEnds) {
    Frame f(40, 20);
    f.Fill(0);
    GUI_SetAAFactor(6);
    GUI_SetLineWidth(3);
    GUI_DrawLineAA(5, 10, 30, 10);
    for (int x = 5; x <= 30; ++x)
        for (int y = 9; y <= 11; ++y)
            ASSERT_EQ(f.At(x, y), kWhite) << x << "," << y;
    EXPECT_EQ(f.CountNot(0), 26 * 3);
    // A diagonal line is symmetric about its middle.
    f.Fill(0);
    GUI_SetLineWidth(2);
    GUI_DrawLineAA(5, 2, 25, 17);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 31; ++x)
            ASSERT_EQ(f.At(x, y), f.At(30 - x, 19 - y));
}

} // namespace
