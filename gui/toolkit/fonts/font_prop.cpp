// Lookups of the proportional 1-bit fonts: a font's characters are a short chain of ranges.
#include "gui/toolkit/gui_font.h"

namespace {

// A font has two ranges; the bound only stops a malformed (cyclic) chain.
constexpr int kMaxRanges = 16;

} // namespace

const GUI_CATALOGUE_FONT GUI_FontCatalogue[GUI_FONT_CATALOGUE_SIZE] = {
    {"FONT_8", &FONT_8},       {"FONT_10", &FONT_10},   {"FONT_10B", &FONT_10B},
    {"FONT_13", &FONT_13},     {"FONT_13B", &FONT_13B}, {"FONT_13H", &FONT_13H},
    {"FONT_13HB", &FONT_13HB}, {"FONT_16", &FONT_16},   {"FONT_16B", &FONT_16B},
    {"FONT_8X16", &FONT_8X16}, {"FONT_20", &FONT_20},   {"FONT_20B", &FONT_20B},
    {"FONT_24", &FONT_24},     {"FONT_24B", &FONT_24B}, {"FONT_32", &FONT_32},
    {"FONT_32B", &FONT_32B},
};

const GUI_CHARINFO* GUI_FontFindChar(const GUI_FONTDEF* font, uint16_t c) {
    if (font == nullptr) return nullptr;
    const GUI_FONT_RANGE* range = font->ranges;
    for (int i = 0; range != nullptr && i < kMaxRanges; ++i, range = range->next) {
        if (c >= range->first && c <= range->last && range->chars != nullptr)
            return &range->chars[c - range->first];
    }
    return nullptr;
}

int GUI_FontProp_CharAdvance(const GUI_FONTDEF* font, uint16_t c) {
    const GUI_CHARINFO* info = GUI_FontFindChar(font, c);
    return info != nullptr ? info->advance : 0;
}

void GUI_FontProp_FontInfo(const GUI_FONTDEF* font, GUI_FONTINFO* info) {
    if (font == nullptr || info == nullptr) return;
    info->flags = 0;
    info->baseline = font->baseline;
    info->lowercase_height = font->lowercase_height;
    info->capital_height = font->capital_height;
}

char GUI_FontProp_CharPresent(const GUI_FONTDEF* font, uint16_t c) {
    return GUI_FontFindChar(font, c) != nullptr ? 1 : 0;
}
