// Bitmap fonts: the font record, its glyph table and the catalogue of the sixteen fonts.
#pragma once

#include <cstdint>

struct GUI_FONTDEF;

// A character record: 1 bit per pixel rows, most significant bit leftmost.
struct GUI_CHARINFO {
    uint8_t width;         // glyph width in pixels
    uint8_t advance;       // distance to the next character's origin
    uint8_t bytes_per_row; // (width + 7) / 8, or more
    const uint8_t* rows;   // cell height rows of bytes_per_row bytes, top row first
};

// A range of consecutive characters; the ranges of a font form a chain.
struct GUI_FONT_RANGE {
    uint16_t first;
    uint16_t last;
    const GUI_CHARINFO* chars; // last - first + 1 records
    const GUI_FONT_RANGE* next;
};

struct GUI_FONTINFO {
    uint16_t flags;
    uint8_t baseline;
    uint8_t lowercase_height;
    uint8_t capital_height;
};

// The routines of a font record. Drawing happens at the drawing context's text position,
// which the routine advances by the character's advance.
using GUI_DrawCharFn = void (*)(const GUI_FONTDEF* font, uint16_t c);
using GUI_CharAdvanceFn = int (*)(const GUI_FONTDEF* font, uint16_t c);
using GUI_FontInfoFn = void (*)(const GUI_FONTDEF* font, GUI_FONTINFO* info);
using GUI_CharPresentFn = char (*)(const GUI_FONTDEF* font, uint16_t c);

struct GUI_FONTDEF {
    GUI_DrawCharFn draw_char;
    GUI_CharAdvanceFn char_advance;
    GUI_FontInfoFn font_info;
    GUI_CharPresentFn char_present;
    const void* reserved0; // null in every font
    const void* reserved1; // null in every font
    uint8_t cell_height;
    uint8_t line_distance;
    uint8_t x_magnification;
    uint8_t y_magnification;
    const GUI_FONT_RANGE* ranges;
    uint8_t baseline;         // from the top of the cell
    uint8_t lowercase_height; // height of "x"
    uint8_t capital_height;   // height of "X"
};

// The routines every proportional 1-bit font of the program uses (implemented with the text
// output of the drawing module).
void GUI_FontProp_DrawChar(const GUI_FONTDEF* font, uint16_t c);
int GUI_FontProp_CharAdvance(const GUI_FONTDEF* font, uint16_t c);
void GUI_FontProp_FontInfo(const GUI_FONTDEF* font, GUI_FONTINFO* info);
char GUI_FontProp_CharPresent(const GUI_FONTDEF* font, uint16_t c);

// Finds a character's record; nullptr when the font does not cover it.
const GUI_CHARINFO* GUI_FontFindChar(const GUI_FONTDEF* font, uint16_t c);

// The catalogue, from the smallest to the largest.
extern const GUI_FONTDEF FONT_8;
extern const GUI_FONTDEF FONT_10;
extern const GUI_FONTDEF FONT_10B;
extern const GUI_FONTDEF FONT_13;
extern const GUI_FONTDEF FONT_13B;
extern const GUI_FONTDEF FONT_13H;
extern const GUI_FONTDEF FONT_13HB;
extern const GUI_FONTDEF FONT_16;
extern const GUI_FONTDEF FONT_16B;
extern const GUI_FONTDEF FONT_8X16;
extern const GUI_FONTDEF FONT_20;
extern const GUI_FONTDEF FONT_20B;
extern const GUI_FONTDEF FONT_24;
extern const GUI_FONTDEF FONT_24B;
extern const GUI_FONTDEF FONT_32;
extern const GUI_FONTDEF FONT_32B;

// The same catalogue as a table with the fonts' names, for whatever walks every font.
struct GUI_CATALOGUE_FONT {
    const char* name;
    const GUI_FONTDEF* font;
};
constexpr int GUI_FONT_CATALOGUE_SIZE = 16;
extern const GUI_CATALOGUE_FONT GUI_FontCatalogue[GUI_FONT_CATALOGUE_SIZE];
