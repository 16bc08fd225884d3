// Anti-aliased shapes: coverage, symmetry, the arc angle rules and the round rectangle rules.
#include "tests/gui/toolkit/draw_test_util.h"
#include "gui/toolkit/draw/draw_internal.h"

#include <algorithm>
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
        // Solid inside, partial pixels only on the rim, nothing beyond the radius + 1. The
        // disc touches the top edge of its topmost pixel only in the middle and leaves thin
        // slivers at its corners: 99.7 % covered.
        EXPECT_EQ(f.At(20, 20), kWhite);
        EXPECT_EQ(f.At(20, 20 - 13), 0xFEFEFEu);
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

namespace {

// The largest difference, in levels of 255, between the drawn white-on-black pixels and the
// exact share of each pixel inside the shape (counted on 256 x 256 points per pixel, itself
// within one level), over the pixels in [x0, x1] x [y0, y1].
template <class Inside>
int LevelError(const Frame& f, int x0, int y0, int x1, int y1, Inside&& inside) {
    constexpr int kN = 256;
    int worst = 0;
    for (int py = y0; py <= y1; ++py)
        for (int px = x0; px <= x1; ++px) {
            // Pixels away from the edge are all in or all out: a 9 x 9 lattice tells.
            int corners = 0;
            for (int k = 0; k <= 8; ++k)
                for (int j = 0; j <= 8; ++j)
                    corners += inside(px + j / 8.0, py + k / 8.0);
            double exact = corners == 0 ? 0.0 : 255.0;
            if (corners != 0 && corners != 81) {
                int in = 0;
                for (int k = 0; k < kN; ++k)
                    for (int j = 0; j < kN; ++j)
                        in += inside(px + (j + 0.5) / kN, py + (k + 0.5) / kN);
                exact = in * 255.0 / (kN * kN);
            }
            const int err = static_cast<int>(std::lround(std::fabs((f.At(px, py) & 0xFF) - exact)));
            worst = std::max(worst, err);
        }
    return worst;
}

bool InDisc(double x, double y, double cx, double cy, double r) {
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) < r * r;
}

} // namespace

// Coverage is the area inside the shape: within 1/64 (four levels) of it on every pixel, for
// small and large radii.
TEST(DrawAA, CoverageIsTheAreaInside) {
    for (int r : {0, 1, 2, 5, 13, 37}) {
        SCOPED_TRACE(r);
        const int size = 2 * r + 5, c = r + 2;
        Frame f(size, size);
        f.Fill(0);
        GUI_SetAAFactor(6);
        GUI_FillCircleAA(c, c, r);
        const double cc = c + 0.5, rr = r + 0.5;
        EXPECT_LE(LevelError(f, 0, 0, size - 1, size - 1,
                             [&](double x, double y) { return InDisc(x, y, cc, cc, rr); }),
                  2);
    }
    // A ring of width 6 on radius 20, and a quarter of it.
    Frame f(60, 60);
    f.Fill(0);
    GUI_SetAAFactor(6);
    GUI_SetLineWidth(6);
    GUI_DrawArcAA(30, 30, 20, 20, 0, 360);
    auto ring = [](double x, double y) {
        return InDisc(x, y, 30.5, 30.5, 23) && !InDisc(x, y, 30.5, 30.5, 17);
    };
    EXPECT_LE(LevelError(f, 0, 0, 59, 59, ring), 2);
    f.Fill(0);
    GUI_DrawArcAA(30, 30, 20, 20, 0, 90);
    EXPECT_LE(LevelError(f, 0, 0, 59, 59,
                         [&](double x, double y) { return ring(x, y) && x > 30.5 && y < 30.5; }),
              2);
    // Part of an elliptic ring, between the rays through the ellipse points at 200 and 340
    // degrees (y up).
    f.Fill(0);
    GUI_SetLineWidth(4);
    GUI_DrawArcAA(30, 30, 20, 12, 200, 340);
    auto in_ellipse = [](double x, double y, double rx, double ry) {
        const double u = (x - 30.5) / rx, v = (y - 30.5) / ry;
        return u * u + v * v < 1;
    };
    const double ux = 20 * std::cos(200 * M_PI / 180), uy = 12 * std::sin(200 * M_PI / 180);
    const double vx = 20 * std::cos(340 * M_PI / 180), vy = 12 * std::sin(340 * M_PI / 180);
    EXPECT_LE(LevelError(f, 0, 0, 59, 59,
                         [&](double x, double y) {
                             const double px = x - 30.5, py = 30.5 - y;
                             return in_ellipse(x, y, 22, 14) && !in_ellipse(x, y, 18, 10) &&
                                    ux * py - uy * px >= 0 && px * vy - py * vx >= 0;
                         }),
              2);
    // A round rectangle's corners.
    f.Fill(0);
    GUI_FillRoundRectAA(3, 4, 50, 40, 9);
    auto rect = [](double x, double y) {
        const double cx = std::clamp(x, 3 + 9.5, 51 - 9.5), cy = std::clamp(y, 4 + 9.5, 41 - 9.5);
        return InDisc(x, y, cx, cy, 9.5);
    };
    EXPECT_LE(LevelError(f, 0, 0, 59, 59, rect), 2);
    // A triangle with slanted sides.
    f.Fill(0);
    const GUI_POINT tri[] = {{0, 0}, {40, 11}, {13, 37}};
    GUI_FillPolygonAA(tri, 3, 5, 7);
    auto side = [](double x, double y, double ax, double ay, double bx, double by) {
        return (bx - ax) * (y - ay) - (by - ay) * (x - ax) > 0;
    };
    EXPECT_LE(LevelError(f, 0, 0, 59, 59,
                         [&](double x, double y) {
                             return side(x, y, 5.5, 7.5, 45.5, 18.5) &&
                                    side(x, y, 45.5, 18.5, 18.5, 44.5) &&
                                    side(x, y, 18.5, 44.5, 5.5, 7.5);
                         }),
              1);
}

// Radius 0 is a plain rectangle: small elements reach it through h / 4 and the like, and their
// corners must not come out lighter than their sides.
TEST(DrawAA, RoundRectWithRadiusZeroCoversItsCornersWhole) {
    Frame f(12, 10);
    f.Fill(0);
    GUI_FillRoundRectAA(2, 3, 9, 6, 0);
    EXPECT_EQ(CountInRow(f, 3, 2, 9, kWhite) + CountInRow(f, 6, 2, 9, kWhite), 16);
    EXPECT_EQ(f.CountNot(0), 8 * 4);
    EXPECT_TRUE(f.UnchangedOutside(2, 3, 9, 6, 0));
    f.Fill(0);
    GUI_FillRoundRectAA(5, 5, 5, 5, 0);
    EXPECT_EQ(f.At(5, 5), kWhite);
    EXPECT_EQ(f.CountNot(0), 1);
}

// A shape cut by the clip rectangles gives the same pixels inside them as the whole shape:
// edges left of a clip rectangle still count for the pixels to their right.
TEST(DrawAA, ClippedShapesMatchTheWholeShapeInsideTheClip) {
    auto draw = [](const GUI_RECT* clips, int count) {
        Frame f(80, 60);
        f.Fill(0);
        if (count > 0) GUI_SetClipRects(clips, count);
        GUI_SetAAFactor(6);
        GUI_SetLineWidth(9);
        GUI_FillCircleAA(40, 30, 26);
        GUI_SetDrawColor(0x0000FF);
        GUI_DrawArcAA(40, 30, 30, 22, 30, 300);
        const GUI_POINT star[] = {{0, -28}, {15, 22}, {-25, -8}, {25, -8}, {-15, 22}};
        GUI_SetDrawColor(0x00FF00);
        GUI_FillPolygonAA(star, 5, 40, 30);
        return f.pixels();
    };
    const std::vector<uint32_t> whole = draw(nullptr, 0);
    const GUI_RECT clips[] = {{45, 3, 60, 20}, {0, 25, 20, 59}, {30, 40, 79, 44}};
    const std::vector<uint32_t> cut = draw(clips, 3);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 80; ++x) {
            bool in = false;
            for (const GUI_RECT& r : clips)
                in |= x >= r.x0 && x <= r.x1 && y >= r.y0 && y <= r.y1;
            ASSERT_EQ(cut[y * 80 + x], in ? whole[y * 80 + x] : 0u) << x << "," << y;
        }
    // The star's middle has winding 2 and is filled like the points.
    EXPECT_EQ(whole[30 * 80 + 40], 0x00FF00u);
}

// Curves become chords that straddle them: the chord ends lie outside the circle by as much as
// the chord middles lie inside, and neither strays beyond the bound, for radii up to where the
// chord count reaches its cap.
TEST(DrawAA, ChordsStayWithinTheirBoundOfTheCurve) {
    using namespace gui_draw;
    for (double r = 0.5; r < 1e6; r *= 1.37) {
        SCOPED_TRACE(r);
        const int n = QuarterChords(r);
        ASSERT_GE(n, 2);
        ASSERT_LE(n, kMaxQuarterChords);
        const double step = (M_PI / 2) / n, s = StraddleScale(n);
        const double outside = r * s - r, inside = r - r * s * std::cos(step / 2);
        EXPECT_NEAR(outside, inside, 1e-9 * r);
        EXPECT_NEAR(ChordStray(r, n), outside, 1e-9 * r);
        if (n < kMaxQuarterChords) {
            EXPECT_LE(outside, kMaxChordStray * (1 + 1e-9));
            // No more chords than the bound needs.
            if (n > 2) {
                EXPECT_GT(ChordStray(r, n - 1), kMaxChordStray);
            }
        }
    }
}

// Far larger shapes than the display cost no more than the rows and columns they show.
TEST(DrawAA, HugeShapesAreDrawnOnlyWhereTheyShow) {
    Frame f(50, 40);
    f.Fill(0);
    GUI_SetAAFactor(6);
    GUI_FillCircleAA(25, 20, 2000000000);
    EXPECT_EQ(f.CountNot(kWhite), 0);
    f.Fill(0);
    GUI_SetLineWidth(255);
    GUI_DrawArcAA(25, 20 + 1000000, 1000000, 1000000, 0, 180);
    EXPECT_EQ(f.CountNot(kWhite), 0);
    f.Fill(0);
    const GUI_POINT wide[] = {{-32768, -32768}, {32767, -32760}, {32767, 32767}, {-32768, 32767}};
    GUI_FillPolygonAA(wide, 4, 0, 0);
    EXPECT_EQ(f.CountNot(kWhite), 0);
}
