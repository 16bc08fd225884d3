#include "tests/e2e/screen_text.h"

#include "gui/toolkit/draw/gui_context.h"
#include "gui/toolkit/draw/gui_draw.h"

#include <cstdint>

namespace e2e {

namespace {

constexpr int kWidth = 800, kHeight = 480;

void NoChange() {}

// Whether the glyphs show with their corner exactly at (x, y); `colour` is the ink colour
// wanted, or 0xFFFFFFFF for whatever colour the first ink pixel has (then set on a match).
bool ShowsAt(const ProgramSession& s, const Glyphs& g, int x, int y, uint32_t* colour) {
    if (x < 0 || y < 0 || x + g.width > kWidth || y + g.height > kHeight) return false;
    uint32_t ink = *colour;
    bool any = false;
    for (int gy = 0; gy < g.height; ++gy)
        for (int gx = 0; gx < g.width; ++gx) {
            if (!g.ink[size_t(gy * g.width + gx)]) continue;
            const uint32_t p = s.At(x + gx, y + gy);
            if (ink == 0xFFFFFFFF) ink = p;
            if (p != ink) return false;
            any = true;
        }
    if (!any) return false;
    for (int gy = 0; gy < g.height; ++gy)
        for (int gx = 0; gx < g.width; ++gx)
            if (!g.ink[size_t(gy * g.width + gx)] && s.At(x + gx, y + gy) == ink) return false;
    *colour = ink;
    return true;
}

// A box of the blank's size without a pixel of the text's colour.
bool BlankAt(const ProgramSession& s, int x, int y, int width, int height, uint32_t colour) {
    if (width <= 0 || x + width > kWidth || y + height > kHeight) return false;
    for (int gy = 0; gy < height; ++gy)
        for (int gx = 0; gx < width; ++gx)
            if (s.At(x + gx, y + gy) == colour) return false;
    return true;
}

struct Alphabet {
    std::vector<std::pair<char, Glyphs>> glyphs; // without the blank
    int blank_width = 0;
    int height = 0;
};

Alphabet MakeAlphabet(const GUI_FONTDEF& font, const std::string& characters) {
    Alphabet a;
    for (char c : characters)
        if (c != ' ') a.glyphs.emplace_back(c, RenderText(std::string(1, c), font));
    const Glyphs blank = RenderText(" ", font);
    a.blank_width = blank.width;
    a.height = blank.height;
    return a;
}

std::string Read(const ProgramSession& s, const Alphabet& a, int x, int y) {
    std::string text;
    uint32_t colour = 0xFFFFFFFF;
    int blanks = 0;
    while (x < kWidth) {
        bool matched = false;
        for (const auto& [c, g] : a.glyphs)
            if (ShowsAt(s, g, x, y, &colour)) {
                text.append(size_t(blanks), ' ');
                blanks = 0;
                text += c;
                x += g.width;
                matched = true;
                break;
            }
        if (matched) continue;
        // Blanks count only between characters; more than four in a row end the text.
        if (text.empty() || blanks == 4 || !BlankAt(s, x, y, a.blank_width, a.height, colour))
            break;
        ++blanks;
        x += a.blank_width;
    }
    return text;
}

} // namespace

Glyphs RenderText(const std::string& text, const GUI_FONTDEF& font) {
    Glyphs g;
    GUI_SetDefaultFont(&font);
    std::vector<uint32_t> probe(1);
    GUI_SetDrawTarget(probe.data(), 1, 1, 1, NoChange);
    GUI_InitContext(GUI_pContext);
    g.width = GUI_GetTextWidth(text.c_str());
    g.height = GUI_GetFontHeight();
    constexpr uint32_t kBack = 0x123456;
    std::vector<uint32_t> pixels(size_t(g.width) * size_t(g.height), kBack);
    GUI_SetDrawTarget(pixels.data(), g.width, g.height, g.width, NoChange);
    GUI_InitContext(GUI_pContext);
    GUI_SetTextDrawMode(GUI_TEXTMODE_TRANSPARENT);
    GUI_SetDrawColor(0xFFFFFF);
    GUI_PrintAt(text.c_str(), 0, 0);
    GUI_SetDrawTarget(nullptr, 0, 0, 0, nullptr);
    for (uint32_t p : pixels)
        g.ink.push_back(p != kBack);
    return g;
}

bool ShowsText(const ProgramSession& s, const Glyphs& g, int x0, int y0, int x1, int y1, int* at_x,
               int* at_y) {
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            uint32_t colour = 0xFFFFFFFF;
            if (!ShowsAt(s, g, x, y, &colour)) continue;
            if (at_x != nullptr) *at_x = x;
            if (at_y != nullptr) *at_y = y;
            return true;
        }
    return false;
}

std::string ReadText(const ProgramSession& s, const GUI_FONTDEF& font, int x, int y,
                     const std::string& alphabet) {
    return Read(s, MakeAlphabet(font, alphabet), x, y);
}

std::string FindAndReadText(const ProgramSession& s, const GUI_FONTDEF& font, int x0, int y0,
                            int x1, int y1, const std::string& alphabet, uint32_t colour) {
    const Alphabet a = MakeAlphabet(font, alphabet);
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            for (const auto& [c, g] : a.glyphs) {
                uint32_t ink = colour;
                if (ShowsAt(s, g, x, y, &ink)) return Read(s, a, x, y);
            }
    return {};
}

} // namespace e2e
