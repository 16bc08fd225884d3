// Text output: alignment at a point and in a rectangle, the character limit, text modes and
// glyph drawing. Most cases use the block font (3 x 5 blocks in rows 1-5 of a 7-row cell,
// advance 4, line distance 8) so that positions can be read off the pixels.
#include "tests/gui/toolkit/draw_test_util.h"

#include <algorithm>
#include <cstring>

using namespace drawtest;

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;

// Left edges of the blocks in row y (a block is a run of 3 white pixels).
std::vector<int> BlocksInRow(const Frame& f, int y) {
    std::vector<int> lefts;
    for (int x = 0; x < f.width(); ++x)
        if (f.At(x, y) == kWhite && (x == 0 || f.At(x - 1, y) != kWhite)) lefts.push_back(x);
    return lefts;
}

TEST(DrawText, PrintCenteredAtCentresOnXAndKeepsTheAlignment) {
    Frame f(40, 20);
    GUI_SetTextDrawMode(GUI_TEXTMODE_TRANSPARENT);
    GUI_SetTextAlign(GUI_ALIGN_RIGHT | GUI_ALIGN_VCENTER);
    GUI_PrintCenteredAt("AB", 20, 5);
    EXPECT_EQ(GUI_GetTextAlign(), GUI_ALIGN_RIGHT | GUI_ALIGN_VCENTER);
    // Width 8, so the text starts at 16; y is the top of the cell.
    EXPECT_EQ(BlocksInRow(f, 6), (std::vector<int>{16, 20}));
    EXPECT_EQ(f.At(16, 5), kFill);
    EXPECT_EQ(f.At(16, 10), kWhite);
    EXPECT_EQ(f.At(16, 11), kFill);
}

TEST(DrawText, PrintAtAppliesTheContextAlignment) {
    Frame f(60, 40);
    GUI_SetTextDrawMode(GUI_TEXTMODE_TRANSPARENT);
    GUI_PrintAt("ABC", 10, 2); // left, top
    EXPECT_EQ(BlocksInRow(f, 3), (std::vector<int>{10, 14, 18}));
    int x = 0, y = 0;
    GUI_GetTextPos(&x, &y);
    EXPECT_EQ(x, 22);
    EXPECT_EQ(y, 2);

    f.Fill(kFill);
    GUI_SetTextAlign(GUI_ALIGN_RIGHT | GUI_ALIGN_BASELINE);
    GUI_PrintAt("AB", 30, 20); // ends at 30, baseline 6 rows below the top
    EXPECT_EQ(BlocksInRow(f, 15), (std::vector<int>{22, 26}));
    EXPECT_EQ(f.At(22, 14), kFill);

    f.Fill(kFill);
    GUI_SetTextAlign(GUI_ALIGN_LEFT | GUI_ALIGN_VCENTER);
    GUI_PrintAt("A\nBC", 5, 20); // top = 20 - 7 / 2; the second line 8 rows lower
    EXPECT_EQ(BlocksInRow(f, 18), (std::vector<int>{5}));
    EXPECT_EQ(BlocksInRow(f, 26), (std::vector<int>{5, 9}));
    GUI_GetTextPos(&x, &y);
    EXPECT_EQ(x, 13);
    EXPECT_EQ(y, 25);
}

TEST(DrawText, PrintInRectUsesTheRectangleArithmetic) {
    Frame f(60, 50);
    GUI_SetTextDrawMode(GUI_TEXTMODE_TRANSPARENT);
    const GUI_RECT r{10, 10, 49, 39};
    GUI_PrintInRect("AB\nCDE", &r, GUI_ALIGN_HCENTER | GUI_ALIGN_VCENTER);
    // Two lines of 8: top = 10 + (29 - 16 + 1) / 2 = 17; x = 10 + (39 - w) / 2.
    EXPECT_EQ(BlocksInRow(f, 18), (std::vector<int>{25, 29}));
    EXPECT_EQ(BlocksInRow(f, 26), (std::vector<int>{23, 27, 31}));
    EXPECT_EQ(f.At(25, 17), kFill);

    f.Fill(kFill);
    GUI_PrintInRect("AB", &r, GUI_ALIGN_RIGHT | GUI_ALIGN_BOTTOM);
    // y1 - 8 + 1 = 32; x1 - 8 + 1 = 42.
    EXPECT_EQ(BlocksInRow(f, 33), (std::vector<int>{42, 46}));
    f.Fill(kFill);
    GUI_PrintInRect("AB", &r, GUI_ALIGN_RIGHT | GUI_ALIGN_BASELINE);
    EXPECT_EQ(BlocksInRow(f, 33), (std::vector<int>{42, 46}));
}

TEST(DrawText, PrintInRectClipsToTheRectangle) {
    Frame f(40, 30);
    const GUI_RECT r{5, 5, 14, 12};
    GUI_SetBackColor(0x000000);
    GUI_PrintInRect("WWWWWWWW\nWWWWWWWW\nWWWWWWW", &r, GUI_ALIGN_HCENTER | GUI_ALIGN_VCENTER);
    EXPECT_TRUE(f.UnchangedOutside(5, 5, 14, 12, kFill));
    // Normal mode fills the cells: rows 5-11 of the middle line (row 12 lies between lines).
    EXPECT_EQ(f.CountNot(kFill), 10 * 7);
}

TEST(DrawText, PrintInRectMaxDrawsAtMostTheLimit) {
    Frame f(60, 10);
    GUI_SetTextDrawMode(GUI_TEXTMODE_TRANSPARENT);
    const GUI_RECT r{0, 0, 59, 9};
    GUI_PrintInRectMax("CLR", &r, GUI_ALIGN_LEFT, 3);
    EXPECT_EQ(BlocksInRow(f, 2), (std::vector<int>{0, 4, 8}));
    f.Fill(kFill);
    GUI_PrintInRectMax("CLEAR ALL", &r, GUI_ALIGN_LEFT, 3);
    EXPECT_EQ(BlocksInRow(f, 2), (std::vector<int>{0, 4, 8}));
    // Centred, the line is measured over the characters drawn only.
    f.Fill(kFill);
    GUI_PrintInRectMax("CLEAR ALL", &r, GUI_ALIGN_HCENTER, 3);
    EXPECT_EQ(BlocksInRow(f, 2), (std::vector<int>{23, 27, 31}));
    // A newline counts as a character.
    f.Fill(kFill);
    GUI_PrintInRectMax("A\nBC", &r, GUI_ALIGN_LEFT, 3);
    EXPECT_EQ(BlocksInRow(f, 2), (std::vector<int>{0}));
    EXPECT_EQ(f.At(0, 9), kWhite); // "B" starts on the next line at row 8
    EXPECT_EQ(f.At(4, 9), kFill);
}

TEST(DrawText, TransparentTextLeavesTheGradientBetweenGlyphs) {
    Frame f(30, 12);
    GUI_FillGradientV(0, 0, 29, 11, 0x0000FF, 0xFF0000);
    const std::vector<uint32_t> gradient = f.pixels();
    GUI_SetTextDrawMode(GUI_TEXTMODE_TRANSPARENT);
    GUI_PrintAt("ABCD", 2, 2);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 30; ++x) {
            const bool glyph = y >= 3 && y <= 7 && x >= 2 && x < 18 && (x - 2) % 4 < 3;
            ASSERT_EQ(f.At(x, y), glyph ? kWhite : gradient[y * 30 + x]) << x << "," << y;
        }
}

TEST(DrawText, NormalModeFillsCellsAndReversedExchangesColours) {
    Frame f(20, 10);
    GUI_SetBackColor(0x000000);
    GUI_PrintAt("A", 1, 1);
    // The whole cell (advance 4 x 7 rows) in the background, the block in the foreground.
    for (int y = 1; y <= 7; ++y)
        for (int x = 1; x <= 4; ++x) {
            const bool glyph = y >= 2 && y <= 6 && x <= 3;
            ASSERT_EQ(f.At(x, y), glyph ? kWhite : 0u) << x << "," << y;
        }
    EXPECT_TRUE(f.UnchangedOutside(1, 1, 4, 7, kFill));

    GUI_SetTextDrawMode(GUI_TEXTMODE_REVERSED);
    GUI_PrintAt("A", 10, 1);
    EXPECT_EQ(f.At(10, 1), kWhite);
    EXPECT_EQ(f.At(10, 2), 0u);

    GUI_SetTextDrawMode(GUI_TEXTMODE_REVERSED | GUI_TEXTMODE_TRANSPARENT);
    f.Fill(kFill);
    GUI_PrintAt("A", 10, 1);
    EXPECT_EQ(f.At(10, 1), kFill);
    EXPECT_EQ(f.At(10, 2), 0u);
}

TEST(DrawText, WidthIsTheSumOfAdvancesAndNullTextDrawsNothing) {
    Frame f(20, 10);
    EXPECT_EQ(GUI_GetTextWidth("ABC"), 12);
    EXPECT_EQ(GUI_GetTextWidth("AB\nCDEF"), 16);
    EXPECT_EQ(GUI_GetTextWidth(""), 0);
    EXPECT_EQ(GUI_GetTextWidth(nullptr), 0);
    GUI_SelectFont(&FONT_16);
    EXPECT_EQ(GUI_GetTextWidth("AW0i"), 9 + 13 + 7 + 3);
    EXPECT_EQ(GUI_GetFontLineDist(), 16);
    GUI_PrintAt(nullptr, 0, 0);
    GUI_PrintCenteredAt(nullptr, 0, 0);
    GUI_PrintInRect(nullptr, nullptr, 0);
    const GUI_RECT r{0, 0, 9, 9};
    GUI_PrintInRect(nullptr, &r, 0);
    GUI_PrintInRect("A", nullptr, 0);
    EXPECT_EQ(f.CountNot(kFill), 0);
}

// Every glyph of every catalogue font, drawn whole inside the clip (the direct store path)
// and cut by the frame's left edge (the span path), sets exactly its bits.
TEST(DrawText, GlyphsOfTheCatalogueFontsAreDrawnBitForBit) {
    Frame f(48, 40);
    GUI_SetTextDrawMode(GUI_TEXTMODE_TRANSPARENT);
    for (const GUI_CATALOGUE_FONT& entry : GUI_FontCatalogue) {
        const GUI_FONTDEF* font = entry.font;
        GUI_SelectFont(font);
        for (int c = 0x20; c <= 0xFF; ++c) {
            const GUI_CHARINFO* info = GUI_FontFindChar(font, uint16_t(c));
            if (info == nullptr || info->rows == nullptr) continue;
            for (const int left : {5, -3}) {
                SCOPED_TRACE(testing::Message() << entry.name << " char " << c << " at " << left);
                f.Fill(0);
                GUI_PrintCharAt(uint16_t(c), left, 6);
                int ink = 0;
                for (int y = 0; y < font->cell_height; ++y)
                    for (int x = std::max(0, -left); x < info->width; ++x) {
                        const bool bit =
                            (info->rows[y * info->bytes_per_row + x / 8] >> (7 - x % 8)) & 1;
                        ink += bit;
                        ASSERT_EQ(f.At(left + x, 6 + y), bit ? kWhite : 0u) << x << "," << y;
                    }
                ASSERT_EQ(f.CountNot(0), ink);
                int x = 0;
                GUI_GetTextPos(&x, nullptr);
                ASSERT_EQ(x, left + info->advance);
            }
        }
    }
}

// Bits a glyph record holds beyond its width are padding and never drawn.
TEST(DrawText, PaddingBitsBeyondTheGlyphWidthStayUndrawn) {
    static const uint8_t kRows[] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    static const GUI_CHARINFO kChars[] = {{3, 4, 1, kRows}, {10, 11, 2, kRows}};
    static const GUI_FONT_RANGE kRange = {'a', 'b', kChars, nullptr};
    GUI_FONTDEF font = FONT_8;
    font.cell_height = 4;
    font.ranges = &kRange;
    Frame f(20, 10);
    GUI_SelectFont(&font);
    GUI_SetTextDrawMode(GUI_TEXTMODE_TRANSPARENT);
    for (const int left : {2, -1}) {
        SCOPED_TRACE(left);
        f.Fill(0);
        GUI_PrintCharAt('a', left, 1);
        EXPECT_EQ(f.CountNot(0), 4 * (3 + std::min(0, left)));
        f.Fill(0);
        GUI_PrintCharAt('b', left, 1);
        EXPECT_EQ(f.CountNot(0), 4 * (10 + std::min(0, left)));
        EXPECT_EQ(f.At(left + 9, 1), kWhite);
        EXPECT_EQ(f.At(left + 10, 1), 0u);
    }
}

} // namespace
