// The drawing context: defaults and configuration errors, setters, colour conversion, origin,
// the clip list, the change report and alpha mode.
#include "tests/gui/toolkit/draw_test_util.h"

using namespace drawtest;

namespace {

TEST(DrawContext, InitReportsMissingDisplayAndFont) {
    Reports reports;
    GUI_SetDrawTarget(nullptr, 0, 0, 0, nullptr);
    GUI_SetDefaultFont(nullptr);
    GUI_CONTEXT c;
    EXPECT_EQ(GUI_InitContext(&c), 1);
    ASSERT_EQ(reports.errors.size(), 2u);
    EXPECT_EQ(reports.errors[0], "GUI_Core:\nNo display driver has been added in _InitContext().");
    EXPECT_EQ(reports.errors[1], "GUI_Core:\nNo default font has been defined in _InitContext().");

    // Configured, the context starts with the defaults and the default font.
    uint32_t pixel = 0;
    GUI_SetDrawTarget(&pixel, 1, 1, 1, nullptr);
    GUI_SetDefaultFont(&kBlockFont);
    reports.errors.clear();
    EXPECT_EQ(GUI_InitContext(&c), 0);
    EXPECT_TRUE(reports.errors.empty());
    EXPECT_EQ(c.font, &kBlockFont);
    EXPECT_EQ(c.line_width, 1);
    EXPECT_EQ(c.text_mode, GUI_TEXTMODE_NORMAL);
    EXPECT_TRUE(c.clip_whole);
    EXPECT_FALSE(c.alpha_mode);
    GUI_SetDrawTarget(nullptr, 0, 0, 0, nullptr);
}

TEST(DrawContext, SettersReturnThePreviousValue) {
    Frame f(4, 4);
    EXPECT_EQ(GUI_SetLineWidth(10), 1);
    EXPECT_EQ(GUI_SetLineWidth(3), 10);
    EXPECT_EQ(GUI_SetTextDrawMode(GUI_TEXTMODE_TRANSPARENT), GUI_TEXTMODE_NORMAL);
    EXPECT_EQ(GUI_SetTextDrawMode(GUI_TEXTMODE_NORMAL), GUI_TEXTMODE_TRANSPARENT);

    // Factors outside 1..6 are ignored.
    GUI_SetAAFactor(6);
    GUI_SetAAFactor(0);
    GUI_SetAAFactor(7);
    EXPECT_EQ(GUI_GetAAFactor(), 6);

    // A null font only queries.
    EXPECT_EQ(GUI_SelectFont(nullptr), &kBlockFont);
    EXPECT_EQ(GUI_SelectFont(nullptr), &kBlockFont);
    EXPECT_EQ(GUI_SelectFont(&FONT_8X16), &kBlockFont);
    EXPECT_EQ(GUI_GetFontHeight(), 16);
    EXPECT_EQ(GUI_SelectFont(nullptr), &FONT_8X16);
}

TEST(DrawContext, ColoursAreConvertedToTheDisplayLayout) {
    Frame f(3, 1);
    const GUI_COLOUR colours[3] = {0x0000FF, 0x00FF00, 0xFF0000}; // red, green, blue
    for (int i = 0; i < 3; ++i) {
        GUI_SetDrawColor(colours[i]);
        GUI_DrawPixel(i, 0);
    }
    EXPECT_EQ(f.At(0, 0), 0xFF0000u);
    EXPECT_EQ(f.At(1, 0), 0x00FF00u);
    EXPECT_EQ(f.At(2, 0), 0x0000FFu);
}

TEST(DrawContext, OriginShiftsAndClipListBoundsEveryOperation) {
    Frame f(20, 20);
    GUI_SetOrigin(5, 6);
    GUI_SetDrawColor(0xFFFFFF);
    GUI_FillRectangle(0, 0, 1, 1);
    EXPECT_EQ(f.At(5, 6), 0xFFFFFFu);
    EXPECT_EQ(f.At(6, 7), 0xFFFFFFu);
    EXPECT_TRUE(f.UnchangedOutside(5, 6, 6, 7, kFill));

    // Two clip rectangles: a full-frame fill lands in both and nowhere else.
    f.Fill(0);
    GUI_SetOrigin(0, 0);
    const GUI_RECT rects[2] = {{0, 0, 3, 3}, {10, 10, 12, 11}};
    EXPECT_EQ(GUI_SetClipRects(rects, 2), 0);
    GUI_FillRectangle(-100, -100, 100, 100);
    EXPECT_EQ(f.CountNot(0), 16 + 6);
    EXPECT_EQ(f.At(12, 11), 0xFFFFFFu);
    EXPECT_EQ(f.At(4, 4), 0u);

    // More rectangles than the list holds: refused, and nothing is drawn until the next
    // setter.
    f.Fill(0);
    GUI_RECT many[GUI_MAX_CLIP_RECTS + 1] = {};
    EXPECT_EQ(GUI_SetClipRects(many, GUI_MAX_CLIP_RECTS + 1), -1);
    GUI_FillRectangle(0, 0, 19, 19);
    EXPECT_EQ(f.CountNot(0), 0);
    GUI_SetClipRect(nullptr);
    GUI_FillRectangle(0, 0, 19, 19);
    EXPECT_EQ(f.CountNot(0xFFFFFF), 0);
}

TEST(DrawContext, ChangeIsReportedOncePerOperationThatDrew) {
    Frame f(10, 10);
    GUI_FillRectangle(0, 0, 9, 9);
    EXPECT_EQ(f.changes(), 1);
    GUI_PrintAt("AB\nCD", 0, 0); // many spans, one report
    EXPECT_EQ(f.changes(), 2);
    GUI_FillRectangle(20, 20, 30, 30); // off the frame
    GUI_SetClipRect(nullptr);
    EXPECT_EQ(f.changes(), 2);
}

TEST(DrawContext, TargetSizeIsChecked) {
    uint32_t px[4] = {};
    EXPECT_EQ(GUI_SetDrawTarget(px, 2, 2, 1, nullptr), -1); // stride below width
    EXPECT_EQ(GUI_SetDrawTarget(px, 0, 2, 2, nullptr), -1);
    EXPECT_EQ(GUI_SetDrawTarget(px, GUI_MAX_TARGET_SIZE + 1, 1, GUI_MAX_TARGET_SIZE + 1, nullptr),
              -1);
    EXPECT_EQ(GUI_SetDrawTarget(px, 2, 2, 2, nullptr), 0);
    GUI_SetDrawTarget(nullptr, 0, 0, 0, nullptr);
    // Without a target nothing is drawn and nothing breaks.
    GUI_FillRectangle(0, 0, 1, 1);
    GUI_FillCircleAA(0, 0, 5);
    GUI_PrintAt("x", 0, 0);
    EXPECT_EQ(px[0], 0u);
}

TEST(DrawContext, AlphaModeBlendsByTheAlphaByte) {
    Frame f(4, 1);
    f.Fill(0x000000);
    // Off: the alpha byte is dropped and colours draw opaque.
    GUI_SetDrawColor(0x800000FF);
    EXPECT_EQ(GUI_GetDrawColor(), 0x0000FFu);
    GUI_DrawPixel(0, 0);
    EXPECT_EQ(f.At(0, 0), 0xFF0000u);

    EXPECT_EQ(GUI_EnableAlphaBlending(1), 1);
    EXPECT_EQ(GUI_EnableAlphaBlending(1), 0);
    GUI_SetDrawColor(0x800000FF); // about half transparent red
    EXPECT_EQ(GUI_GetDrawColor(), 0x800000FFu);
    GUI_DrawPixel(1, 0);
    const uint32_t red = (f.At(1, 0) >> 16) & 0xFF;
    EXPECT_GE(red, 0x7Eu);
    EXPECT_LE(red, 0x80u);
    GUI_SetDrawColor(0xFF0000FF); // invisible
    GUI_DrawPixel(2, 0);
    EXPECT_EQ(f.At(2, 0), 0u);
    GUI_SetDrawColor(0x000000FF); // opaque draws normally
    GUI_DrawPixel(3, 0);
    EXPECT_EQ(f.At(3, 0), 0xFF0000u);
    EXPECT_EQ(GUI_EnableAlphaBlending(0), 1);
}

TEST(DrawContext, NowMsFollowsTheInstalledClock) {
    GUI_SetClock([] { return 4242; });
    EXPECT_EQ(GUI_NowMs(), 4242);
    GUI_SetClock(nullptr);
}

} // namespace
