// Helpers shared by the element modules (not for the pages): the parameter report with the
// module's path, the value text, fonts taken from a record and the element colours.
#pragma once

#include "base/dbg.h"
#include "base/palette.h"
#include "gui/toolkit/draw/gui_context.h"

#include <cstddef>
#include <cstdint>

// The parameter check reporting the module's path ("elements/uguibattery").
#define ELEMENT_CHECK(condition, module, ...) PARAM_CHECK_AS(module, condition, __VA_ARGS__)

// The element colours: the gauge arcs (green, yellow, red bands), pointers, frames and texts.
constexpr GUI_COLOUR ELEMENT_RED = PALETTE_RED;
constexpr GUI_COLOUR ELEMENT_YELLOW = PALETTE_YELLOW;
constexpr GUI_COLOUR ELEMENT_GREEN = PALETTE_GREEN;
constexpr GUI_COLOUR ELEMENT_BLUE = PALETTE_BLUE;
constexpr GUI_COLOUR ELEMENT_DARK_BLUE = PALETTE_DARK_BLUE;
constexpr GUI_COLOUR ELEMENT_WHITE = PALETTE_WHITE;
constexpr GUI_COLOUR ELEMENT_BLACK = PALETTE_BLACK;
constexpr GUI_COLOUR ELEMENT_GREY = PALETTE_GREY;
constexpr GUI_COLOUR ELEMENT_DARK_GREY = PALETTE_DARK_GREY;

// The value text: divisor 1 formats value + offset as one int, any other divisor
// (value + offset) / divisor as one double. A null format gives an empty text; the text is
// always cut to the buffer.
void ELEMENT_FormatValue(char* buffer, size_t size, const char* format, int32_t value,
                         int32_t offset, int32_t divisor);

// Selects a font handed over as a copy in a record. The context keeps only a pointer, and the
// record is usually a local of the caller's paint, so the catalogue font the copy was taken
// from is selected instead; a copy of any other font is selected as it is and the previous
// font comes back when the guard ends.
class ElementFontGuard {
  public:
    explicit ElementFontGuard(const GUI_FONTDEF* copy);
    ~ElementFontGuard();
    ElementFontGuard(const ElementFontGuard&) = delete;
    ElementFontGuard& operator=(const ElementFontGuard&) = delete;

  private:
    const GUI_FONTDEF* restore_ = nullptr;
};

// The catalogue font whose glyphs and metrics the copy has, or null.
const GUI_FONTDEF* ELEMENT_CatalogueFont(const GUI_FONTDEF* copy);
