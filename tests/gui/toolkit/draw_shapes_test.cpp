// Plain shapes, gradients and clipping, checked pixel by pixel on small frames.
#include "tests/gui/toolkit/draw_test_util.h"

#include <cmath>
#include <cstdlib>
#include <set>
#include <utility>

using namespace drawtest;

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;

TEST(DrawShapes, RectanglesAreInclusive) {
    Frame f(10, 10);
    GUI_FillRectangle(2, 3, 4, 3);
    EXPECT_EQ(f.CountNot(kFill), 3);
    EXPECT_TRUE(f.UnchangedOutside(2, 3, 4, 3, kFill));
    const GUI_RECT r{5, 5, 5, 6};
    GUI_FillRectangleR(&r);
    EXPECT_EQ(f.At(5, 6), kWhite);
    // Corners given in either order mean the same rectangle.
    f.Fill(0);
    GUI_FillRectangle(4, 4, 1, 1);
    EXPECT_EQ(f.CountNot(0), 16);
}

// Every shape drawn much larger than the clip rectangle changes no pixel outside it.
TEST(DrawShapes, NothingIsWrittenOutsideTheClip) {
    struct Op {
        const char* name;
        void (*draw)();
    };
    const Op ops[] = {
        {"rect", [] { GUI_FillRectangle(-50, -50, 80, 80); }},
        {"clear", [] { GUI_ClearWindow(); }},
        {"line", [] { GUI_DrawLinePlain(-40, -30, 70, 60); }},
        {"thick line",
         [] {
             GUI_SetLineWidth(7);
             GUI_DrawLinePlain(-40, 60, 70, -30);
         }},
        {"aa line",
         [] {
             GUI_SetLineWidth(5);
             GUI_DrawLineAA(-40, -30, 70, 60);
         }},
        {"outline circle", [] { GUI_OutlineCircle(15, 8, 8); }},
        {"aa circle", [] { GUI_FillCircleAA(15, 15, 40); }},
        {"circle factor 1",
         [] {
             GUI_SetAAFactor(1);
             GUI_FillCircleAA(15, 15, 40);
         }},
        {"polygon",
         [] {
             const GUI_POINT p[] = {{-50, -50}, {90, -20}, {30, 90}};
             GUI_FillPolygonAA(p, 3, 0, 0);
         }},
        {"arc",
         [] {
             GUI_SetLineWidth(10);
             GUI_DrawArcAA(15, 15, 6, 6, 0, 360);
         }},
        {"round rect", [] { GUI_DrawRoundRect(12, -5, 40, 40, 8); }},
        {"round frame", [] { GUI_DrawRoundFrame(12, -5, 40, 40, 12, 6); }},
        {"aa round rect", [] { GUI_FillRoundRectAA(-5, -5, 40, 40, 8); }},
        {"gradient h", [] { GUI_FillGradientH(-50, -50, 80, 80, 0x0000FF, 0xFF0000); }},
        {"gradient v", [] { GUI_FillGradientV(-50, -50, 80, 80, 0x0000FF, 0xFF0000); }},
        {"round gradient", [] { GUI_FillRoundRectGradient(-50, -50, 80, 80, 9, 1, 2); }},
        {"text", [] { GUI_PrintAt("WWWWWWWWWWWW\nWWWWWWWWWWWWW\nWWWWWWWWWWW", -3, 8); }},
        {"text in rect",
         [] {
             const GUI_RECT r{-20, -20, 60, 60};
             GUI_PrintInRect("WWWWWWWWWWWWWWWWWWWWWWWWW", &r,
                             GUI_ALIGN_HCENTER | GUI_ALIGN_VCENTER);
         }},
    };
    for (const Op& op : ops) {
        SCOPED_TRACE(op.name);
        Frame f(32, 32);
        const GUI_RECT clip{10, 12, 19, 20};
        GUI_SetClipRect(&clip);
        op.draw();
        EXPECT_TRUE(f.UnchangedOutside(10, 12, 19, 20, kFill));
        EXPECT_GT(f.CountNot(kFill), 0);
        // With the window's origin moved, the clip still holds.
        f.Fill(kFill);
        GUI_SetOrigin(-7, 9);
        op.draw();
        EXPECT_TRUE(f.UnchangedOutside(10, 12, 19, 20, kFill));
    }
}

TEST(DrawShapes, OffDisplayCoordinatesAreClippedQuietly) {
    Reports reports;
    Frame f(8, 8);
    GUI_FillRectangle(-100000, -100000, 100000, 100000);
    GUI_DrawLinePlain(-30000, 4, 30000, 4);
    GUI_FillCircleAA(-32000, -32000, 30);
    GUI_DrawArcAA(4, 4, 30000, 30000, 0, 360);
    GUI_OutlineCircle(1000, 1000, 5);
    EXPECT_EQ(f.CountNot(kWhite), 0);
    EXPECT_TRUE(reports.warnings.empty());
}

// The outline steps i up to r * 707 / 1000 + 1, with f shrinking while
// i^2 + f^2 > r^2 + r/2, mirrored into the eight octants.
TEST(DrawShapes, OutlineCircleFollowsTheMidpointRule) {
    for (int r : {1, 5, 12}) {
        SCOPED_TRACE(r);
        Frame f(40, 40);
        GUI_OutlineCircle(20, 20, r);
        std::set<std::pair<int, int>> expected;
        int fr = r;
        for (int i = 0; i <= r * 707 / 1000 + 1 && i <= r; ++i) {
            while (fr > 0 && i * i + fr * fr > r * r + r / 2)
                --fr;
            for (int sx : {-1, 1})
                for (int sy : {-1, 1}) {
                    expected.insert({20 + sx * i, 20 + sy * fr});
                    expected.insert({20 + sx * fr, 20 + sy * i});
                }
        }
        std::set<std::pair<int, int>> drawn;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x)
                if (f.At(x, y) == kWhite) drawn.insert({x, y});
        EXPECT_EQ(drawn, expected);
    }
}

// Without anti-aliasing a filled circle is rows whose half-width f shrinks while
// i^2 + f^2 > r^2 + r/2.
TEST(DrawShapes, FilledCircleAtFactorOneUsesTheSpanRule) {
    Frame f(30, 30);
    GUI_SetAAFactor(1);
    const int r = 9;
    GUI_FillCircleAA(15, 15, r);
    for (int i = -r - 1; i <= r + 1; ++i) {
        int half = -1;
        if (std::abs(i) <= r) {
            half = r;
            while (i * i + half * half > r * r + r / 2)
                --half;
        }
        EXPECT_EQ(CountInRow(f, 15 + i, 0, 29, kWhite), half < 0 ? 0 : 2 * half + 1) << i;
        if (half >= 0) {
            EXPECT_EQ(f.At(15 - half, 15 + i), kWhite);
            EXPECT_EQ(f.At(15 + half, 15 + i), kWhite);
        }
    }
}

TEST(DrawShapes, PlainLinesCoverTheirEndsAndWidth) {
    Frame f(20, 20);
    GUI_DrawLinePlain(2, 3, 12, 8);
    EXPECT_EQ(f.At(2, 3), kWhite);
    EXPECT_EQ(f.At(12, 8), kWhite);
    EXPECT_EQ(f.CountNot(kFill), 11); // one pixel per column of the major axis
    f.Fill(kFill);
    GUI_SetLineWidth(3);
    GUI_DrawLinePlain(2, 10, 12, 10);
    for (int y = 9; y <= 11; ++y)
        EXPECT_EQ(CountInRow(f, y, 0, 19, kWhite), 11) << y;
    EXPECT_EQ(f.CountNot(kFill), 33);
}

TEST(DrawShapes, RoundRectOutlineHasStraightSidesAndRoundCorners) {
    Frame f(30, 20);
    GUI_DrawRoundRect(2, 3, 25, 16, 4);
    // Straight parts between the corner centres.
    for (int x = 6; x <= 21; ++x) {
        EXPECT_EQ(f.At(x, 3), kWhite);
        EXPECT_EQ(f.At(x, 16), kWhite);
    }
    for (int y = 7; y <= 12; ++y) {
        EXPECT_EQ(f.At(2, y), kWhite);
        EXPECT_EQ(f.At(25, y), kWhite);
    }
    // The corners themselves stay empty; the inside too.
    EXPECT_EQ(f.At(2, 3), kFill);
    EXPECT_EQ(f.At(25, 16), kFill);
    EXPECT_EQ(f.At(13, 9), kFill);
    // Mirror symmetric.
    for (int y = 3; y <= 16; ++y)
        for (int x = 2; x <= 25; ++x)
            ASSERT_EQ(f.At(x, y), f.At(27 - x, y)) << x << "," << y;
}

TEST(DrawShapes, RoundFrameRules) {
    Frame f(40, 30);
    // Width 0 or less, or a radius too large for the rectangle: nothing.
    GUI_DrawRoundFrame(0, 0, 30, 20, 5, 0);
    GUI_DrawRoundFrame(0, 0, 30, 20, 11, 3);
    EXPECT_EQ(f.CountNot(kFill), 0);
    // Width 1 is the one-pixel outline.
    GUI_DrawRoundFrame(0, 0, 30, 20, 5, 1);
    std::vector<uint32_t> frame1 = f.pixels();
    f.Fill(kFill);
    GUI_DrawRoundRect(0, 0, 30, 20, 5);
    EXPECT_EQ(f.pixels(), frame1);

    // A thick frame: bands w thick on the straight parts, the inside left alone.
    f.Fill(kFill);
    GUI_DrawRoundFrame(2, 2, 33, 25, 8, 3);
    for (int y = 2; y <= 4; ++y)
        EXPECT_EQ(f.At(18, y), kWhite);
    EXPECT_EQ(f.At(18, 5), kFill);
    for (int x = 2; x <= 4; ++x)
        EXPECT_EQ(f.At(x, 13), kWhite);
    EXPECT_EQ(f.At(5, 13), kFill);
    EXPECT_EQ(f.At(2, 2), kFill); // the rounded corner
    EXPECT_EQ(f.At(17, 13), kFill);
    // Each corner row spans from the outer circle to the inner one.
    for (int y = 2; y <= 25; ++y)
        for (int x = 2; x <= 33; ++x)
            ASSERT_EQ(f.At(x, y), f.At(35 - x, y)) << x << "," << y;
    for (int y = 2; y <= 25; ++y)
        for (int x = 2; x <= 33; ++x)
            ASSERT_EQ(f.At(x, y), f.At(x, 27 - y)) << x << "," << y;
    // Square corners with radius 0.
    f.Fill(kFill);
    GUI_DrawRoundFrame(1, 1, 10, 10, 0, 2);
    EXPECT_EQ(f.At(1, 1), kWhite);
    EXPECT_EQ(f.CountNot(kFill), 100 - 36);
}

TEST(DrawShapes, GradientsInterpolateEachChannel) {
    Frame f(11, 11);
    GUI_FillGradientV(0, 0, 10, 10, 0x0000FF, 0xFF0000); // red to blue
    EXPECT_EQ(f.At(3, 0), 0xFF0000u);
    EXPECT_EQ(f.At(3, 10), 0x0000FFu);
    EXPECT_EQ(f.At(0, 5), f.At(10, 5)); // rows are uniform
    EXPECT_EQ(f.At(0, 5), 0x800080u);   // half way: 255 * 5 / 10 rounded

    GUI_FillGradientH(0, 0, 10, 10, 0x000000, 0x00FF00);
    EXPECT_EQ(f.At(0, 4), 0u);
    EXPECT_EQ(f.At(10, 4), 0x00FF00u);
    EXPECT_EQ(f.At(5, 0), f.At(5, 10));
    EXPECT_EQ(f.At(5, 0), 0x008000u);
    // A one-column gradient is c0.
    GUI_FillGradientH(2, 2, 2, 3, 0x0000FF, 0xFF0000);
    EXPECT_EQ(f.At(2, 3), 0xFF0000u);
}

TEST(DrawShapes, RoundGradientShortensCornerRows) {
    Frame f(20, 20);
    GUI_FillRoundRectGradient(0, 0, 19, 19, 5, 0xFFFFFF, 0x000000);
    EXPECT_EQ(f.At(0, 0), kFill);
    EXPECT_EQ(f.At(19, 19), kFill);
    EXPECT_EQ(f.At(0, 10), f.At(19, 10));
    EXPECT_EQ(f.At(10, 0), kWhite);
    EXPECT_EQ(f.At(10, 19), 0u);
    // The first row ends on the circle of radius 5: half-width f at i = 5.
    int half = 5;
    while (25 + half * half > 25 + 2)
        --half;
    EXPECT_EQ(CountInRow(f, 0, 0, 19, kWhite), 20 - 2 * 5 + 2 * half);
}

TEST(DrawShapes, PaletteBitmapsUseTheirColoursAndTransparency) {
    Frame f(10, 4);
    static const uint8_t rows[] = {0xA0, 0x00, 0xFF, 0xC0};
    static const GUI_COLOUR colours[2] = {0x000000, 0x0000FF};
    GUI_LOGPALETTE pal{2, 0, colours};
    GUI_PICTURE pic{10, 2, 2, 1, rows, &pal, nullptr};
    GUI_BlitPicture(&pic, 0, 1);
    EXPECT_EQ(f.At(0, 1), 0xFF0000u);
    EXPECT_EQ(f.At(1, 1), 0u);
    EXPECT_EQ(f.At(2, 1), 0xFF0000u);
    EXPECT_EQ(f.At(9, 2), 0xFF0000u);
    EXPECT_EQ(f.At(0, 0), kFill);
    EXPECT_EQ(f.At(0, 3), kFill);
    // With the transparency flag, index 0 leaves the screen alone.
    f.Fill(kFill);
    pal.has_trans = 1;
    GUI_BlitPicture(&pic, 0, 0);
    EXPECT_EQ(f.At(1, 0), kFill);
    EXPECT_EQ(f.At(0, 0), 0xFF0000u);
    // Rows shorter than the width claims are refused.
    f.Fill(kFill);
    GUI_PICTURE bad{20, 2, 2, 1, rows, &pal, nullptr};
    GUI_BlitPicture(&bad, 0, 0);
    EXPECT_EQ(f.CountNot(kFill), 0);
}

} // namespace
