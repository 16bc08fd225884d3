// Texts on the program's screen, found and read by drawing them with the program's own fonts
// and comparing pixel for pixel: a text shows where every ink pixel of its box has one colour
// and no other pixel of the box has that colour. The fonts draw without blending, so a match
// is exact and a different character never passes for another.
#pragma once

#include "gui/toolkit/gui_font.h"
#include "tests/e2e/e2e_util.h"

#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

// A text as the program draws it: which pixels of its box are ink.
struct Glyphs {
    int width = 0;
    int height = 0;
    std::vector<bool> ink;
};

Glyphs RenderText(const std::string& text, const GUI_FONTDEF& font);

// True when the last screenshot shows the text with its top left corner somewhere in the
// rectangle (display coordinates, inclusive); the corner found goes to `at_x`, `at_y`.
bool ShowsText(const ProgramSession& s, const Glyphs& g, int x0, int y0, int x1, int y1,
               int* at_x = nullptr, int* at_y = nullptr);

// Reads the text that starts at (x, y): characters of `alphabet`, and blanks between them,
// left to right in one colour until nothing more matches. Empty when no character is there.
std::string ReadText(const ProgramSession& s, const GUI_FONTDEF& font, int x, int y,
                     const std::string& alphabet);

// The first text of `alphabet` drawn in `colour` (0xRRGGBB) in the rectangle, top row first:
// where a character of it starts (corner in the rectangle), read as ReadText does. Empty when
// none. The colour keeps edges of shapes that look like "-" or "." from passing for text.
std::string FindAndReadText(const ProgramSession& s, const GUI_FONTDEF& font, int x0, int y0,
                            int x1, int y1, const std::string& alphabet, uint32_t colour);

} // namespace e2e
