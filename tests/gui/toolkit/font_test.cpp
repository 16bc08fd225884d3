// The catalogue fonts: the metrics the layouts depend on, the covered characters and the
// soundness of every glyph record.
#include "gui/toolkit/gui_font.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>

// The font records point at the drawing routine; these tests never draw, so a stand-in
// satisfies the link while the drawing module is not part of this binary.
__attribute__((weak)) void GUI_FontProp_DrawChar(const GUI_FONTDEF*, uint16_t) {}

namespace {

struct Expected {
    const char* name;
    const GUI_FONTDEF* font;
    int cell, baseline, lower, capital;
    int adv_a, adv_0, adv_w, adv_i;
};

// The catalogue, as the layouts rely on it.
const Expected kCatalogue[] = {
    {"FONT_8", &FONT_8, 8, 7, 5, 7, 6, 6, 6, 2},
    {"FONT_10", &FONT_10, 10, 8, 4, 6, 6, 5, 8, 2},
    {"FONT_10B", &FONT_10B, 10, 9, 6, 8, 8, 6, 11, 2},
    {"FONT_13", &FONT_13, 13, 11, 6, 8, 7, 6, 10, 2},
    {"FONT_13B", &FONT_13B, 13, 11, 6, 8, 8, 7, 11, 3},
    {"FONT_13H", &FONT_13H, 13, 11, 7, 9, 8, 7, 12, 3},
    {"FONT_13HB", &FONT_13HB, 13, 11, 7, 9, 10, 8, 13, 3},
    {"FONT_16", &FONT_16, 16, 13, 7, 10, 9, 7, 13, 3},
    {"FONT_16B", &FONT_16B, 16, 13, 7, 10, 9, 7, 13, 4},
    {"FONT_8X16", &FONT_8X16, 16, 14, 7, 14, 8, 8, 8, 8},
    {"FONT_20", &FONT_20, 20, 16, 10, 13, 11, 10, 17, 4},
    {"FONT_20B", &FONT_20B, 20, 16, 10, 13, 13, 10, 17, 5},
    {"FONT_24", &FONT_24, 24, 19, 11, 15, 13, 12, 21, 5},
    {"FONT_24B", &FONT_24B, 24, 19, 11, 15, 15, 12, 21, 5},
    {"FONT_32", &FONT_32, 32, 26, 15, 20, 18, 15, 28, 6},
    {"FONT_32B", &FONT_32B, 32, 25, 15, 20, 19, 15, 25, 8},
};

bool Covered(int c) {
    return (c >= 0x20 && c <= 0x7E) || (c >= 0xA0 && c <= 0xFF);
}

bool Pixel(const GUI_CHARINFO* ch, int x, int y) {
    return (ch->rows[y * ch->bytes_per_row + x / 8] >> (7 - x % 8)) & 1;
}

// Rows of a glyph that hold ink: first and last, -1 when blank.
struct InkRows {
    int first = -1, last = -1;
};

InkRows Ink(const GUI_FONTDEF* font, int c) {
    InkRows ink;
    const GUI_CHARINFO* ch = GUI_FontFindChar(font, uint16_t(c));
    for (int y = 0; ch != nullptr && y < font->cell_height; ++y)
        for (int x = 0; x < ch->width; ++x)
            if (Pixel(ch, x, y)) {
                if (ink.first < 0) ink.first = y;
                ink.last = y;
            }
    return ink;
}

// A text's width the way text output measures it: the sum of the advances.
int TextWidth(const GUI_FONTDEF* font, const char* text) {
    int width = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
        width += font->char_advance(font, *p);
    return width;
}

// The toolkit's table of the catalogue, which the elements and the tools walk, names every
// font above under its own name, in order.
TEST(FontCatalogue, TheTableNamesEveryFontInOrder) {
    ASSERT_EQ(std::size(kCatalogue), size_t{GUI_FONT_CATALOGUE_SIZE});
    for (int i = 0; i < GUI_FONT_CATALOGUE_SIZE; ++i) {
        EXPECT_STREQ(GUI_FontCatalogue[i].name, kCatalogue[i].name);
        EXPECT_EQ(GUI_FontCatalogue[i].font, kCatalogue[i].font) << kCatalogue[i].name;
    }
}

TEST(FontCatalogue, RecordsCarryTheCatalogueMetrics) {
    for (const Expected& e : kCatalogue) {
        SCOPED_TRACE(e.name);
        const GUI_FONTDEF* f = e.font;
        EXPECT_EQ(f->cell_height, e.cell);
        EXPECT_EQ(f->line_distance, e.cell);
        EXPECT_EQ(f->baseline, e.baseline);
        EXPECT_EQ(f->lowercase_height, e.lower);
        EXPECT_EQ(f->capital_height, e.capital);
        EXPECT_EQ(f->x_magnification, 1);
        EXPECT_EQ(f->y_magnification, 1);
        EXPECT_EQ(f->reserved0, nullptr);
        EXPECT_EQ(f->reserved1, nullptr);
        EXPECT_EQ(f->draw_char, &GUI_FontProp_DrawChar);
        EXPECT_EQ(f->char_advance, &GUI_FontProp_CharAdvance);
        EXPECT_EQ(f->font_info, &GUI_FontProp_FontInfo);
        EXPECT_EQ(f->char_present, &GUI_FontProp_CharPresent);

        GUI_FONTINFO info{0xFFFF, 0, 0, 0};
        f->font_info(f, &info);
        EXPECT_EQ(info.baseline, e.baseline);
        EXPECT_EQ(info.lowercase_height, e.lower);
        EXPECT_EQ(info.capital_height, e.capital);

        EXPECT_EQ(f->char_advance(f, 'A'), e.adv_a);
        EXPECT_EQ(f->char_advance(f, '0'), e.adv_0);
        EXPECT_EQ(f->char_advance(f, 'W'), e.adv_w);
        EXPECT_EQ(f->char_advance(f, 'i'), e.adv_i);
    }
}

// The glyphs themselves have the heights the record states: "x" and "X" stand on the
// baseline and are exactly the lower-case and capital height tall.
TEST(FontCatalogue, GlyphsHaveTheStatedHeights) {
    for (const Expected& e : kCatalogue) {
        SCOPED_TRACE(e.name);
        const InkRows x = Ink(e.font, 'x'), cap = Ink(e.font, 'X');
        EXPECT_EQ(x.last, e.baseline - 1);
        EXPECT_EQ(cap.last, e.baseline - 1);
        EXPECT_EQ(x.last - x.first + 1, e.lower);
        EXPECT_EQ(cap.last - cap.first + 1, e.capital);
        // Digits stand on the baseline as well.
        EXPECT_EQ(Ink(e.font, '0').last, e.baseline - 1);
    }
}

TEST(FontCatalogue, ValueCharactersLineUp) {
    for (const Expected& e : kCatalogue) {
        SCOPED_TRACE(e.name);
        // Tabular digits, so that changing values do not make their fields jump.
        for (int c = '0'; c <= '9'; ++c)
            EXPECT_EQ(e.font->char_advance(e.font, c), e.adv_0);
    }
    for (int c = 0; c <= 0xFF; ++c) {
        if (Covered(c)) {
            EXPECT_EQ(GUI_FontProp_CharAdvance(&FONT_8X16, uint16_t(c)), 8) << c;
        }
    }
}

TEST(FontCatalogue, CoversExactlyTheLatin1Printables) {
    for (const Expected& e : kCatalogue) {
        SCOPED_TRACE(e.name);
        for (int c = 0; c <= 0x100; ++c) {
            const bool covered = Covered(c);
            EXPECT_EQ(e.font->char_present(e.font, uint16_t(c)), covered ? 1 : 0) << c;
            EXPECT_EQ(GUI_FontFindChar(e.font, uint16_t(c)) != nullptr, covered) << c;
            if (!covered) {
                EXPECT_EQ(e.font->char_advance(e.font, uint16_t(c)), 0) << c;
            }
        }
        EXPECT_EQ(e.font->char_present(e.font, 0xFFFF), 0);
        // The characters the program's texts need have ink: umlauts, sharp s, degree sign.
        for (int c : {0xB0, 0xC4, 0xD6, 0xDC, 0xE4, 0xF6, 0xFC, 0xDF, 0xB5, 0x25})
            EXPECT_GE(Ink(e.font, c).first, 0) << c;
    }
}

// Every record can be drawn without reading past its rows or painting outside its box.
TEST(FontCatalogue, GlyphRecordsAreSound) {
    for (const Expected& e : kCatalogue) {
        SCOPED_TRACE(e.name);
        for (int c = 0; c <= 0xFF; ++c) {
            if (!Covered(c)) continue;
            const GUI_CHARINFO* ch = GUI_FontFindChar(e.font, uint16_t(c));
            ASSERT_NE(ch, nullptr) << c;
            EXPECT_GE(ch->bytes_per_row, (ch->width + 7) / 8) << c;
            EXPECT_LE(ch->width, ch->advance) << c;
            EXPECT_GT(ch->advance, 0) << c;
            if (ch->width == 0) continue;
            ASSERT_NE(ch->rows, nullptr) << c;
            for (int y = 0; y < e.cell; ++y)
                for (int x = ch->width; x < ch->bytes_per_row * 8; ++x)
                    EXPECT_FALSE(Pixel(ch, x, y)) << "char " << c << " row " << y << " col " << x;
        }
    }
}

// An accent that vanished in rasterising leaves the base letter: every accented letter must
// differ from its base letter and from its neighbours with other accents.
TEST(FontCatalogue, AccentsSurviveAtEverySize) {
    const char* const groups[] = {"A\xC0\xC1\xC2\xC3\xC4\xC5", "E\xC8\xC9\xCA\xCB",
                                  "I\xCC\xCD\xCE\xCF",         "O\xD2\xD3\xD4\xD5\xD6",
                                  "U\xD9\xDA\xDB\xDC",         "a\xE0\xE1\xE2\xE3\xE4\xE5",
                                  "e\xE8\xE9\xEA\xEB",         "o\xF2\xF3\xF4\xF5\xF6",
                                  "u\xF9\xFA\xFB\xFC",         "y\xFD\xFF"};
    for (const Expected& e : kCatalogue) {
        SCOPED_TRACE(e.name);
        for (const char* group : groups) {
            const size_t n = std::strlen(group);
            for (size_t i = 0; i < n; ++i)
                for (size_t j = i + 1; j < n; ++j) {
                    const GUI_CHARINFO* a = GUI_FontFindChar(e.font, uint8_t(group[i]));
                    const GUI_CHARINFO* b = GUI_FontFindChar(e.font, uint8_t(group[j]));
                    const bool same =
                        a->width == b->width &&
                        std::memcmp(a->rows, b->rows, size_t(a->bytes_per_row) * e.cell) == 0;
                    EXPECT_FALSE(same) << "0x" << std::hex << int(uint8_t(group[i])) << " 0x"
                                       << int(uint8_t(group[j]));
                }
        }
    }
}

TEST(FontCatalogue, TextWidthIsTheSumOfAdvances) {
    for (const Expected& e : kCatalogue) {
        SCOPED_TRACE(e.name);
        EXPECT_EQ(TextWidth(e.font, "A0Wi"), e.adv_a + e.adv_0 + e.adv_w + e.adv_i);
        EXPECT_EQ(TextWidth(e.font, "100"), 3 * e.adv_0);
        EXPECT_EQ(TextWidth(e.font, ""), 0);
        // Characters the font lacks take no room.
        EXPECT_EQ(TextWidth(e.font, "W\x7F\x85W"), 2 * e.adv_w);
        int sum = 0;
        const char* text = "23,5 \xB0"
                           "C \xC4rger";
        for (const char* p = text; *p; ++p)
            sum += GUI_FontFindChar(e.font, uint8_t(*p))->advance;
        EXPECT_EQ(TextWidth(e.font, text), sum);
    }
    EXPECT_EQ(TextWidth(&FONT_8X16, "12,8 V \xB0"
                                    "C"),
              9 * 8);
}

// The usual stem width of a glyph: the most frequent length of the horizontal ink runs that
// continue unchanged into the row below (straight stretches of stems and round sides), the
// narrower on a tie.
int StemWidth(const GUI_FONTDEF* font, int c) {
    const GUI_CHARINFO* ch = GUI_FontFindChar(font, uint16_t(c));
    auto ink = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < ch->width && y < font->cell_height && Pixel(ch, x, y);
    };
    int count[64] = {};
    for (int y = 0; y < font->cell_height; ++y)
        for (int x = 0; x < ch->width; ++x) {
            if (!ink(x, y) || ink(x - 1, y)) continue;
            int end = x;
            while (ink(end, y))
                ++end;
            bool same = !ink(x - 1, y + 1) && !ink(end, y + 1);
            for (int k = x; k < end && same; ++k)
                same = ink(k, y + 1);
            if (same && end - x < 64) ++count[end - x];
        }
    int best = 0;
    for (int w = 1; w < 64; ++w)
        if (count[w] > count[best]) best = w;
    return best;
}

// In a bold font a value is as heavy as the label beside it: the digits and "/" of "RV100/30"
// have at least the stems of the letters, which are heavier than the regular face's.
TEST(FontCatalogue, BoldDigitsAreAsHeavyAsTheLetters) {
    const struct {
        const GUI_FONTDEF *bold, *regular;
        const char* name;
    } pairs[] = {{&FONT_10B, &FONT_10, "FONT_10B"},    {&FONT_13B, &FONT_13, "FONT_13B"},
                 {&FONT_13HB, &FONT_13H, "FONT_13HB"}, {&FONT_16B, &FONT_16, "FONT_16B"},
                 {&FONT_20B, &FONT_20, "FONT_20B"},    {&FONT_24B, &FONT_24, "FONT_24B"},
                 {&FONT_32B, &FONT_32, "FONT_32B"}};
    for (const auto& p : pairs) {
        SCOPED_TRACE(p.name);
        const int letters = StemWidth(p.bold, 'l');
        EXPECT_GT(letters, StemWidth(p.regular, 'l'));
        for (const char* c = "0123456789/"; *c; ++c)
            EXPECT_GE(StemWidth(p.bold, *c), letters) << *c;
    }
}

TEST(FontLookup, ToleratesMissingAndMalformedFonts) {
    EXPECT_EQ(GUI_FontFindChar(nullptr, 'A'), nullptr);
    EXPECT_EQ(GUI_FontProp_CharAdvance(nullptr, 'A'), 0);
    EXPECT_EQ(GUI_FontProp_CharPresent(nullptr, 'A'), 0);
    GUI_FontProp_FontInfo(nullptr, nullptr);
    GUI_FontProp_FontInfo(&FONT_13, nullptr);

    // A range chain that loops back on itself ends the search instead of hanging.
    static const GUI_CHARINFO chars[1] = {{1, 2, 1, nullptr}};
    static GUI_FONT_RANGE loop = {'a', 'a', chars, nullptr};
    loop.next = &loop;
    GUI_FONTDEF font = FONT_13;
    font.ranges = &loop;
    EXPECT_EQ(GUI_FontFindChar(&font, 'a'), &chars[0]);
    EXPECT_EQ(GUI_FontFindChar(&font, 'b'), nullptr);
    // A range without records finds nothing.
    static const GUI_FONT_RANGE hollow = {'a', 'z', nullptr, nullptr};
    font.ranges = &hollow;
    EXPECT_EQ(GUI_FontFindChar(&font, 'c'), nullptr);
}

} // namespace
