// veltra-fontgen: rasterises the sixteen catalogue fonts from DejaVu with FreeType and writes
// them as source tables (one .cpp per font), plus PNG sheets of every font to look at.
//
//   veltra-fontgen <table folder> [<sheet folder>] [<DejaVu folder>]
//
// Everything is derived from the catalogue metrics below by fixed rules, so the output is the
// same on every run with the same FreeType and DejaVu versions.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_MODULE_H

#include <png.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// How a font's glyphs are hinted and turned into 1-bit pixels.
enum class Hint {
    kNative, // the face's own (bytecode) hinting for monochrome output
    kAuto,   // FreeType's auto-hinter for monochrome output
};

// Catalogue entry: the metrics the layouts rely on, and the DejaVu face that gives them.
struct FontSpec {
    const char* name;
    const char* file;
    const char* face;
    int cell;     // cell height = line distance
    int baseline; // rows above the baseline
    int xheight;  // ink height of "x"
    int cap;      // ink height of "X"
    int adv_a, adv_0, adv_w, adv_i;
    bool fixed;   // fixed pitch: every character advances by adv_a
    Hint hint;    // the rendering that gives the cleanest glyphs at this size
    bool compose; // accented letters built from the base letter and the accent (small sizes)
    bool bold;    // digits and punctuation get at least the stem width of the letters
};

constexpr const char* kSans = "DejaVuSans.ttf";
constexpr const char* kSansBold = "DejaVuSans-Bold.ttf";
constexpr const char* kCond = "DejaVuSansCondensed.ttf";
constexpr const char* kCondBold = "DejaVuSansCondensed-Bold.ttf";
constexpr const char* kMono = "DejaVuSansMono.ttf";

const FontSpec kFonts[] = {
    {"FONT_8", "font_8.cpp", kCond, 8, 7, 5, 7, 6, 6, 6, 2, false, Hint::kAuto, true, false},
    {"FONT_10", "font_10.cpp", kSans, 10, 8, 4, 6, 6, 5, 8, 2, false, Hint::kNative, true, false},
    {"FONT_10B", "font_10b.cpp", kCondBold, 10, 9, 6, 8, 8, 6, 11, 2, false, Hint::kNative, true,
     true},
    {"FONT_13", "font_13.cpp", kSans, 13, 11, 6, 8, 7, 6, 10, 2, false, Hint::kNative, true, false},
    {"FONT_13B", "font_13b.cpp", kSansBold, 13, 11, 6, 8, 8, 7, 11, 3, false, Hint::kNative, true,
     true},
    {"FONT_13H", "font_13h.cpp", kSans, 13, 11, 7, 9, 8, 7, 12, 3, false, Hint::kNative, true,
     false},
    {"FONT_13HB", "font_13hb.cpp", kSansBold, 13, 11, 7, 9, 10, 8, 13, 3, false, Hint::kNative,
     true, true},
    {"FONT_16", "font_16.cpp", kSans, 16, 13, 7, 10, 9, 7, 13, 3, false, Hint::kNative, false,
     false},
    {"FONT_16B", "font_16b.cpp", kSansBold, 16, 13, 7, 10, 9, 7, 13, 4, false, Hint::kNative, false,
     true},
    {"FONT_8X16", "font_8x16.cpp", kMono, 16, 14, 7, 14, 8, 8, 8, 8, true, Hint::kNative, true,
     false},
    {"FONT_20", "font_20.cpp", kSans, 20, 16, 10, 13, 11, 10, 17, 4, false, Hint::kNative, false,
     false},
    {"FONT_20B", "font_20b.cpp", kSansBold, 20, 16, 10, 13, 13, 10, 17, 5, false, Hint::kNative,
     false, true},
    {"FONT_24", "font_24.cpp", kSans, 24, 19, 11, 15, 13, 12, 21, 5, false, Hint::kNative, false,
     false},
    {"FONT_24B", "font_24b.cpp", kSansBold, 24, 19, 11, 15, 15, 12, 21, 5, false, Hint::kNative,
     false, true},
    {"FONT_32", "font_32.cpp", kSans, 32, 26, 15, 20, 18, 15, 28, 6, false, Hint::kNative, false,
     false},
    {"FONT_32B", "font_32b.cpp", kCondBold, 32, 25, 15, 20, 19, 15, 25, 8, false, Hint::kNative,
     false, true},
};

// The covered characters: Latin-1 0x20-0x7E and 0xA0-0xFF.
constexpr std::array<std::array<int, 2>, 2> kRanges = {{{0x20, 0x7E}, {0xA0, 0xFF}}};

// Sizes are searched in steps of 1/16 pixel (FreeType's 26.6 units).
constexpr int kStep = 4;

struct Glyph {
    int code = 0;
    int advance = 0;
    std::vector<uint8_t> ink; // cell rows x advance columns, 1 = set
};

struct Font {
    const FontSpec* spec = nullptr;
    std::vector<Glyph> glyphs;
    const Glyph* find(int c) const {
        for (const Glyph& g : glyphs)
            if (g.code == c) return &g;
        return nullptr;
    }
};

// A rendered glyph before it is placed in its cell.
struct Raster {
    int left = 0, top = 0; // bitmap origin relative to the pen position and the baseline
    int width = 0, rows = 0;
    std::vector<uint8_t> bits;                                    // rows x width
    int advance = 0;                                              // hinted advance in pixels
    int ink_left = 0, ink_right = 0, ink_top = 0, ink_bottom = 0; // ink box, right/bottom excl.
    bool empty = true;
};

// A vertical warp of the hinted outline, in 26.6 pixels above the baseline: points above y0
// are scaled by k around y0; then the part above `top` and below `bottom` is squeezed in.
struct Warp {
    long y0 = 0;
    double k = 1.0;
    std::array<long, 2> body = {0, 0}; // x-height and capital lines of the font
};

FT_Library g_lib;

bool IsDigit(int c) {
    return c >= '0' && c <= '9';
}

// Lower-case letters of Latin-1 (their height is the x-height, not the capital height).
bool IsLower(int c) {
    return (c >= 'a' && c <= 'z') || (c >= 0xDF && c <= 0xFF && c != 0xF7) || c == 0x131;
}

// Digits and ASCII punctuation: what stands beside letters in values ("100/30", "12,8 V").
// Not "$", "*" and "@": their thin crossing strokes would clot when thickened.
bool IsFigure(int c) {
    return c > 0x20 && c < 0x7F && !(c >= 'A' && c <= 'Z') && !(c >= 'a' && c <= 'z') &&
           std::strchr("$*@", c) == nullptr;
}

// The stem width of a glyph (rows x width bits): the most frequent length of its horizontal
// ink runs that continue unchanged into the row below (the straight stretches of stems and
// round sides, not diagonals or bars), the narrower one on a tie; of all runs when none
// continues. 0 when blank.
int StemWidth(const std::vector<uint8_t>& bits, int width, int rows) {
    std::vector<int> straight(size_t(width) + 1, 0), all(size_t(width) + 1, 0);
    auto ink = [&](int x, int y) {
        return y >= 0 && y < rows && x >= 0 && x < width && bits[size_t(y) * width + x] != 0;
    };
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < width; ++x) {
            if (!ink(x, y) || ink(x - 1, y)) continue;
            int end = x;
            while (ink(end, y))
                ++end;
            ++all[end - x];
            // The same run one row down: ink from x to end, blank on both sides.
            bool same = !ink(x - 1, y + 1) && !ink(end, y + 1);
            for (int k = x; k < end && same; ++k)
                same = ink(k, y + 1);
            if (same) ++straight[end - x];
        }
    const std::vector<int>& count =
        std::any_of(straight.begin(), straight.end(), [](int n) { return n > 0; }) ? straight : all;
    int best = 0;
    for (int w = 1; w <= width; ++w)
        if (count[w] > count[best]) best = w;
    return best;
}

void SetSize(FT_Face face, int x26, int y26) {
    FT_Set_Char_Size(face, x26, y26, 72, 72);
}

void MeasureInk(Raster& r) {
    r.empty = true;
    r.ink_left = r.width;
    r.ink_right = 0;
    r.ink_top = r.rows;
    r.ink_bottom = 0;
    for (int y = 0; y < r.rows; ++y)
        for (int x = 0; x < r.width; ++x)
            if (r.bits[y * r.width + x]) {
                r.empty = false;
                r.ink_left = std::min(r.ink_left, x);
                r.ink_right = std::max(r.ink_right, x + 1);
                r.ink_top = std::min(r.ink_top, y);
                r.ink_bottom = std::max(r.ink_bottom, y + 1);
            }
}

void WarpOutline(FT_Outline* outline, const Warp& warp, long top, long bottom) {
    for (int i = 0; i < outline->n_points; ++i) {
        FT_Pos& y = outline->points[i].y;
        if (y > warp.y0) y = warp.y0 + std::lround(double(y - warp.y0) * warp.k);
    }
    FT_BBox box;
    FT_Outline_Get_CBox(outline, &box);
    // Too tall for the rows above the baseline: squeeze the part above the highest body line
    // that leaves room for an accent (or the whole glyph when there is none).
    if (box.yMax > top) {
        long from = 0;
        for (long line : warp.body)
            if (line > from && line <= top - 2 * 64 && line < box.yMax) from = line;
        for (int i = 0; i < outline->n_points; ++i) {
            FT_Pos& y = outline->points[i].y;
            if (y > from) y = from + (y - from) * (top - from) / (box.yMax - from);
        }
    }
    if (box.yMin < bottom) {
        for (int i = 0; i < outline->n_points; ++i) {
            FT_Pos& y = outline->points[i].y;
            if (y < 0) y = y * bottom / box.yMin;
        }
    }
}

Hint g_hint = Hint::kNative; // of the font being made

// The number of separate regions of pixels equal to `ink` (8-connected for ink, 4-connected
// for the background); background regions touching the border are not counted, so for the
// background this is the number of holes. Works on a copy framed by one blank pixel.
int CountRegions(const std::vector<uint8_t>& bits, int width, int rows, uint8_t ink) {
    const int w = width + 2, h = rows + 2;
    std::vector<uint8_t> seen(size_t(w) * h, 0);
    auto at = [&](int x, int y) {
        return x > 0 && y > 0 && x <= width && y <= rows ? bits[size_t(y - 1) * width + x - 1] : 0;
    };
    int regions = 0;
    std::vector<int> stack;
    for (int start = 0; start < w * h; ++start) {
        if (seen[start] || at(start % w, start / w) != ink) continue;
        const bool outside = start == 0; // the frame's region, first found
        seen[start] = 1;
        stack.assign(1, start);
        while (!stack.empty()) {
            const int i = stack.back();
            stack.pop_back();
            const int x = i % w, y = i / w;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    if ((dx == 0 && dy == 0) || (!ink && dx != 0 && dy != 0)) continue;
                    const int nx = x + dx, ny = y + dy;
                    if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
                    const int j = ny * w + nx;
                    if (seen[j] || at(nx, ny) != ink) continue;
                    seen[j] = 1;
                    stack.push_back(j);
                }
        }
        if (!outside) ++regions;
    }
    return regions;
}

// Whether two renderings have as many separate parts and counters.
bool SameShape(const Raster& a, const Raster& b) {
    for (uint8_t ink : {0, 1})
        if (CountRegions(a.bits, a.width, a.rows, ink) !=
            CountRegions(b.bits, b.width, b.rows, ink))
            return false;
    return true;
}

// Widens a glyph's stems to `stem` pixels: every ink run grows to the right by the shortfall
// of the glyph's own stem width, the way a bitmap face is emboldened; the hinted left edges
// stay. Not when that would join separate parts or fill a counter (the two marks of a
// quote, the holes of "#" at small sizes); false then.
bool Thicken(Raster& r, int stem) {
    if (r.empty) return true;
    const int by = stem - StemWidth(r.bits, r.width, r.rows);
    if (by <= 0) return true;
    const int width = r.width + by;
    std::vector<uint8_t> bits(size_t(width) * r.rows, 0);
    for (int y = 0; y < r.rows; ++y)
        for (int x = 0; x < r.width; ++x)
            if (r.bits[size_t(y) * r.width + x])
                for (int k = 0; k <= by; ++k)
                    bits[size_t(y) * width + x + k] = 1;
    Raster t = r;
    t.bits = std::move(bits);
    t.width = width;
    MeasureInk(t);
    if (!SameShape(t, r)) return false;
    r = std::move(t);
    return true;
}

// Bold digits that no hinted size draws both heavy and open in the smallest cells, drawn
// pixel by pixel from the capital line down to the baseline. False when there is none.
bool PixelFigure(const FontSpec& s, int c, Raster& r) {
    std::vector<std::string> rows;
    if (s.cell <= 10 && s.cap == 8 && c == '4')
        rows = {"...##", "..###", "..###", ".#.##", "#..##", "#####", "#####", "...##"};
    if (rows.empty()) return false;
    r.width = int(rows[0].size());
    r.rows = int(rows.size());
    r.left = 0;
    r.top = r.rows;
    r.bits.clear();
    for (const std::string& row : rows)
        for (char ch : row)
            r.bits.push_back(ch == '#');
    MeasureInk(r);
    return true;
}

// Renders one character at the given size.
Raster Render(FT_Face face, int c, int x26, int y26, const Warp& warp, long top, long bottom) {
    Raster r;
    SetSize(face, x26, y26);
    FT_UInt index = FT_Get_Char_Index(face, c);
    FT_Int32 flags = FT_LOAD_TARGET_MONO;
    if (g_hint == Hint::kAuto) flags |= FT_LOAD_FORCE_AUTOHINT;
    if (index == 0 || FT_Load_Glyph(face, index, flags) != 0) {
        std::fprintf(stderr, "fontgen: character 0x%02X missing\n", c);
        std::exit(1);
    }
    FT_GlyphSlot slot = face->glyph;
    r.advance = int((slot->advance.x + 32) >> 6);
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE) WarpOutline(&slot->outline, warp, top, bottom);
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) != 0) {
        std::fprintf(stderr, "fontgen: cannot render 0x%02X\n", c);
        std::exit(1);
    }
    const FT_Bitmap& bm = slot->bitmap;
    r.left = slot->bitmap_left;
    r.top = slot->bitmap_top;
    r.width = int(bm.width);
    r.rows = int(bm.rows);
    r.bits.assign(size_t(r.width) * r.rows, 0);
    for (int y = 0; y < r.rows; ++y)
        for (int x = 0; x < r.width; ++x)
            r.bits[y * r.width + x] = (bm.buffer[y * bm.pitch + x / 8] >> (7 - x % 8)) & 1;
    MeasureInk(r);
    return r;
}

// Ink height and the row of its lowest pixel above (+) or below (-) the baseline.
int InkHeight(const Raster& r) {
    return r.empty ? 0 : r.ink_bottom - r.ink_top;
}
int InkBase(const Raster& r) {
    return r.top - r.ink_bottom;
}

constexpr long kNoLimit = 1L << 30;

// Sizes and warps chosen for one font.
struct Fit {
    int y_main = 0, y_lower = 0; // 26.6 pixel sizes
    int x_main = 0, x_digit = 0;
    Warp lower_warp;
    int stem = 0; // stem width of the letters that figures must reach (bold fonts), else 0
};

// The vertical size: "X" exactly the capital height and "x" the x-height, sitting on the
// baseline. Of the sizes that give both, the middle one is taken.
bool FitHeight(FT_Face face, int c_ref, int want_c, int c_other, int want_other, int& out) {
    std::vector<int> good;
    for (int y26 = want_c * 64 * 11 / 10; y26 <= want_c * 64 * 22 / 10; y26 += kStep) {
        Raster a = Render(face, c_ref, y26, y26, Warp{}, kNoLimit, -kNoLimit);
        if (InkHeight(a) != want_c || InkBase(a) != 0) continue;
        if (c_other != 0) {
            Raster b = Render(face, c_other, y26, y26, Warp{}, kNoLimit, -kNoLimit);
            if (InkHeight(b) != want_other || InkBase(b) != 0) continue;
        }
        good.push_back(y26);
    }
    if (good.empty()) return false;
    out = good[good.size() / 2];
    return true;
}

// The horizontal size of a class of characters whose hinted advances should be `want`;
// the closest fit, then the least distortion against the vertical size.
int FitWidth(FT_Face face, int y26, const std::vector<std::array<int, 2>>& want) {
    int best = y26;
    long best_cost = -1;
    for (int x26 = y26 / 2; x26 <= y26 * 3 / 2; x26 += kStep) {
        long cost = 0;
        for (const auto& w : want) {
            Raster r = Render(face, w[0], x26, y26, Warp{}, kNoLimit, -kNoLimit);
            cost += 1000L * std::abs(r.advance - w[1]);
        }
        cost += std::abs(x26 - y26);
        if (best_cost < 0 || cost < best_cost) {
            best_cost = cost;
            best = x26;
        }
    }
    return best;
}

Fit FitFont(FT_Face face, const FontSpec& s) {
    Fit fit;
    if (FitHeight(face, 'X', s.cap, 'x', s.xheight, fit.y_main)) {
        fit.y_lower = fit.y_main;
    } else {
        // The face's proportions do not give both heights at one size: capitals at one size,
        // lower case at another, each hinted at its own size, with the ascenders stretched.
        if (!FitHeight(face, 'X', s.cap, 0, 0, fit.y_main) ||
            !FitHeight(face, 'x', s.xheight, 0, 0, fit.y_lower)) {
            std::fprintf(stderr, "fontgen: %s: no size gives the heights\n", s.name);
            std::exit(1);
        }
        // The ascenders reach as high as at the capitals' size, within the cell.
        Raster l = Render(face, 'l', fit.y_lower, fit.y_lower, Warp{}, kNoLimit, -kNoLimit);
        Raster L = Render(face, 'l', fit.y_main, fit.y_main, Warp{}, kNoLimit, -kNoLimit);
        const int asc = InkHeight(l), target = std::min(InkHeight(L), s.baseline);
        fit.lower_warp.y0 = long(s.xheight) * 64;
        fit.lower_warp.k = double(target - s.xheight) / double(std::max(1, asc - s.xheight));
    }
    if (s.fixed) {
        fit.x_main = FitWidth(face, fit.y_main, {{'0', s.adv_a}});
        fit.x_digit = fit.x_main;
    } else {
        fit.x_main = FitWidth(face, fit.y_main, {{'A', s.adv_a}, {'W', s.adv_w}, {'i', s.adv_i}});
        fit.x_digit = FitWidth(face, fit.y_main, {{'0', s.adv_0}});
    }
    return fit;
}

// The advance a character must have, or 0 when the hinted advance stands.
int ForcedAdvance(const FontSpec& s, int c) {
    if (s.fixed) return s.adv_a;
    if (IsDigit(c)) return s.adv_0;
    switch (c) {
        case 'A':
            return s.adv_a;
        case 'W':
            return s.adv_w;
        case 'i':
            return s.adv_i;
        default:
            return 0;
    }
}

Glyph MakeGlyph(FT_Face face, const FontSpec& s, const Fit& fit, int c) {
    const bool lower = IsLower(c);
    const int y26 = lower ? fit.y_lower : fit.y_main;
    int x26 = IsDigit(c) ? fit.x_digit : fit.x_main;
    Warp warp = lower ? fit.lower_warp : Warp{};
    warp.body = {long(s.xheight) * 64, long(s.cap) * 64};
    const long top = long(s.baseline) * 64;
    const long bottom = -long(s.cell - s.baseline) * 64;
    int forced = ForcedAdvance(s, c);

    Raster r = Render(face, c, x26, y26, warp, top, bottom);
    // A forced advance keeps one blank column; a wider glyph is hinted again at a narrower
    // size rather than squeezed, so that its stems stay whole.
    while (forced > 0 && !r.empty && r.ink_right - r.ink_left > forced - 1 && x26 > 4 * 64) {
        x26 -= kStep;
        r = Render(face, c, x26, y26, warp, top, bottom);
    }
    // In a bold font, digits and punctuation whose hinted stems come out thinner than the
    // letters' are thickened, keeping the advance they have (a "0" or a "/" must not read
    // lighter than the "RV" beside it). Where thickening would fill a counter or make the
    // glyph too wide, the nearest horizontal size that gives a clean bold glyph is taken.
    if (fit.stem > 0 && IsFigure(c) && !r.empty && StemWidth(r.bits, r.width, r.rows) < fit.stem) {
        const int inkw = r.ink_right - r.ink_left;
        const int advance =
            forced > 0 ? forced : std::max(r.advance, std::max(0, r.left + r.ink_left) + inkw);
        // A glyph spanning its cell may still do so.
        const int widest = forced > 0 ? forced - 1 : std::max(advance - 1, inkw);
        bool found = false;
        for (int d = 0; d <= x26 / 2 && !found; d += kStep)
            for (int x : {x26 - d, x26 + d}) {
                Raster t = Render(face, c, x, y26, warp, top, bottom);
                if (!SameShape(t, r) || !Thicken(t, fit.stem) ||
                    StemWidth(t.bits, t.width, t.rows) < fit.stem ||
                    t.ink_right - t.ink_left > widest)
                    continue;
                r = std::move(t);
                forced = advance;
                found = true;
                break;
            }
        if (!found && PixelFigure(s, c, r)) forced = advance;
    }
    if (forced > 0 && !r.empty && r.ink_right - r.ink_left > forced) {
        std::fprintf(stderr, "fontgen: %s 0x%02X does not fit its advance %d\n", s.name, c, forced);
        std::exit(1);
    }

    Glyph g;
    g.code = c;
    const int inkw = r.empty ? 0 : r.ink_right - r.ink_left;
    int lsb = r.left + r.ink_left; // ink start relative to the pen
    if (forced > 0) {
        g.advance = forced;
        // Share the spare columns as the face shares its bearings.
        const int spare = forced - inkw;
        const int rsb = std::max(0, r.advance - lsb - inkw);
        const int l = std::max(0, lsb);
        lsb = (l + rsb) > 0 ? (spare * l + (l + rsb) / 2) / (l + rsb) : spare / 2;
        lsb = std::clamp(lsb, 0, spare);
    } else {
        // An ink overhang on either side widens the advance rather than being cut.
        lsb = std::max(0, lsb);
        g.advance = std::max(r.advance, lsb + inkw);
    }
    g.ink.assign(size_t(s.cell) * g.advance, 0);
    if (r.empty) return g;
    for (int y = r.ink_top; y < r.ink_bottom; ++y) {
        const int row = s.baseline - r.top + y;
        if (row < 0 || row >= s.cell) {
            std::fprintf(stderr, "fontgen: %s 0x%02X leaves the cell\n", s.name, c);
            std::exit(1);
        }
        for (int x = r.ink_left; x < r.ink_right; ++x)
            if (r.bits[y * r.width + x]) g.ink[row * g.advance + lsb + (x - r.ink_left)] = 1;
    }
    return g;
}

// Accented letters of Latin-1: base letter and accent (0 = not an accented letter). Dotless
// i carries the accents of the lower-case i.
struct Decomposition {
    int base, mark;
};

Decomposition Decompose(int c) {
    constexpr int kGrave = 0x60, kAcute = 0xB4, kCirc = 0x2C6, kTilde = 0x2DC, kDiaer = 0xA8,
                  kRing = 0x2DA, kCedilla = 0xB8;
    constexpr std::array<int, 6> marks = {kGrave, kAcute, kCirc, kTilde, kDiaer, kRing};
    constexpr std::array<int, 4> marks4 = {kGrave, kAcute, kCirc, kDiaer};
    if (c >= 0xC0 && c <= 0xC5) return {'A', marks[c - 0xC0]};
    if (c >= 0xE0 && c <= 0xE5) return {'a', marks[c - 0xE0]};
    if (c >= 0xC8 && c <= 0xCB) return {'E', marks4[c - 0xC8]};
    if (c >= 0xE8 && c <= 0xEB) return {'e', marks4[c - 0xE8]};
    if (c >= 0xCC && c <= 0xCF) return {'I', marks4[c - 0xCC]};
    if (c >= 0xEC && c <= 0xEF) return {0x131, marks4[c - 0xEC]};
    if (c >= 0xD2 && c <= 0xD6) return {'O', marks[c - 0xD2]};
    if (c >= 0xF2 && c <= 0xF6) return {'o', marks[c - 0xF2]};
    if (c >= 0xD9 && c <= 0xDC) return {'U', marks4[c - 0xD9]};
    if (c >= 0xF9 && c <= 0xFC) return {'u', marks4[c - 0xF9]};
    switch (c) {
        case 0xC7:
            return {'C', kCedilla};
        case 0xE7:
            return {'c', kCedilla};
        case 0xD1:
            return {'N', kTilde};
        case 0xF1:
            return {'n', kTilde};
        case 0xDD:
            return {'Y', kAcute};
        case 0xFD:
            return {'y', kAcute};
        case 0xFF:
            return {'y', kDiaer};
        default:
            return {0, 0};
    }
}

// Ink rows of a glyph: first and one past the last, first == last when blank.
void GlyphRows(const Glyph& g, int cell, int& first, int& end) {
    first = cell;
    end = 0;
    for (int y = 0; y < cell; ++y)
        for (int x = 0; x < g.advance; ++x)
            if (g.ink[y * g.advance + x]) {
                first = std::min(first, y);
                end = y + 1;
            }
    if (end == 0) first = 0;
}

// Removes one row of a glyph's upper part that repeats the row below it (a straight stretch
// of the stems), moving everything above down; false when there is none.
bool DropRepeatedRow(Glyph& g, int first, int end) {
    const int w = g.advance;
    // From the middle outwards, so that the shape keeps its balance.
    const int mid = (first + end) / 2;
    for (int d = 0; d < end - first; ++d)
        for (int y : {mid - d, mid + d}) {
            if (y <= first || y >= end) continue;
            if (std::memcmp(&g.ink[y * w], &g.ink[(y - 1) * w], w) != 0) continue;
            std::memmove(&g.ink[(first + 1) * w], &g.ink[first * w], size_t(y - first) * w);
            std::memset(&g.ink[first * w], 0, w);
            return true;
        }
    return false;
}

// Accents drawn pixel by pixel for the smallest fonts, where the face's marks are less than
// a pixel and vanish or merge. The diaeresis spans the letter.
Raster PixelMark(const Glyph& base, int mark) {
    std::vector<std::string> rows;
    switch (mark) {
        case 0x60:
            rows = {"X.", ".X"};
            break;
        case 0xB4:
            rows = {".X", "X."};
            break;
        case 0x2C6:
            rows = {".X.", "X.X"};
            break;
        case 0x2DC:
            rows = {".X.X", "X.X."};
            break;
        case 0x2DA:
            rows = {"XX", "XX"};
            break;
        default: {
            int left = base.advance, right = 0;
            for (size_t i = 0; i < base.ink.size(); ++i)
                if (base.ink[i]) {
                    left = std::min(left, int(i % base.advance));
                    right = std::max(right, int(i % base.advance) + 1);
                }
            const int w = std::max(3, right - left - (right - left >= 5 ? 2 : 0));
            rows = {"X" + std::string(size_t(w - 2), '.') + "X"};
        }
    }
    Raster r;
    r.width = int(rows[0].size());
    r.rows = int(rows.size());
    for (const std::string& row : rows)
        for (char ch : row)
            r.bits.push_back(ch == 'X');
    MeasureInk(r);
    return r;
}

// At small sizes the face's own accented letters lose their accents (a mark of less than a
// pixel vanishes, or the squeeze into the cell merges it with the letter). There the letter
// is the already made base glyph and the accent its own rendering, set one row above it.
Glyph ComposeGlyph(FT_Face face, const FontSpec& s, const Fit& fit, const Glyph& base, int c,
                   int mark) {
    Glyph g = base;
    g.code = c;
    const bool lower = IsLower(c);
    const int y26 = lower ? fit.y_lower : fit.y_main;
    Raster a = s.cell <= 10 && mark != 0xB8
                   ? PixelMark(base, mark)
                   : Render(face, mark, fit.x_main, y26, Warp{}, kNoLimit, -kNoLimit);
    if (a.empty) {
        std::fprintf(stderr, "fontgen: %s: accent U+%04X has no ink\n", s.name, mark);
        std::exit(1);
    }
    const int ah = a.ink_bottom - a.ink_top, aw = a.ink_right - a.ink_left;
    // A narrow letter (I) grows to carry an accent wider than itself, keeping a blank column.
    if (!s.fixed && aw + 1 > g.advance) {
        const int wider = aw + 1, shift = (wider - g.advance) / 2;
        std::vector<uint8_t> ink(size_t(s.cell) * wider, 0);
        for (int y = 0; y < s.cell; ++y)
            for (int x = 0; x < g.advance; ++x)
                ink[y * wider + x + shift] = g.ink[y * g.advance + x];
        g.ink = std::move(ink);
        g.advance = wider;
    }
    int first = 0, end = 0;
    GlyphRows(g, s.cell, first, end);
    int ink_left = g.advance, ink_right = 0;
    for (int y = 0; y < s.cell; ++y)
        for (int x = 0; x < g.advance; ++x)
            if (g.ink[y * g.advance + x]) {
                ink_left = std::min(ink_left, x);
                ink_right = std::max(ink_right, x + 1);
            }
    const int x0 = std::clamp((ink_left + ink_right - aw + 1) / 2, 0, std::max(0, g.advance - aw));
    int top;
    if (mark == 0xB8) {
        top = std::min(end, s.cell - ah); // the cedilla hangs from the letter
        if (top < end - 1) top = end - 1;
    } else {
        // Room for the accent and a blank row: made by dropping repeated rows of the letter
        // when the cell has none above it.
        while (first < ah + 1 && DropRepeatedRow(g, first, end))
            ++first;
        top = first - 1 - ah;
        if (top < 0) top = std::max(0, first - ah); // no blank row left
    }
    for (int y = 0; y < ah; ++y)
        for (int x = 0; x < aw; ++x) {
            const int row = top + y, col = x0 + x;
            if (row < 0 || row >= s.cell || col >= g.advance) continue;
            if (a.bits[(a.ink_top + y) * a.width + a.ink_left + x])
                g.ink[row * g.advance + col] = 1;
        }
    return g;
}

// --- checks -------------------------------------------------------------------------------

int InkRows(const Font& f, int c, int* bottom_row) {
    const Glyph* g = f.find(c);
    int first = -1, last = -1;
    for (int y = 0; y < f.spec->cell; ++y)
        for (int x = 0; x < g->advance; ++x)
            if (g->ink[y * g->advance + x]) {
                if (first < 0) first = y;
                last = y;
            }
    *bottom_row = last;
    return first < 0 ? 0 : last - first + 1;
}

int GlyphStem(const Font& f, int c) {
    const Glyph* g = f.find(c);
    return StemWidth(g->ink, g->advance, f.spec->cell);
}

bool Check(const Font& f) {
    const FontSpec& s = *f.spec;
    bool ok = true;
    int bx = 0, bX = 0;
    const int hx = InkRows(f, 'x', &bx), hX = InkRows(f, 'X', &bX);
    const int adv[4] = {f.find('A')->advance, f.find('0')->advance, f.find('W')->advance,
                        f.find('i')->advance};
    if (hx != s.xheight || hX != s.cap || bx != s.baseline - 1 || bX != s.baseline - 1) ok = false;
    if (adv[0] != s.adv_a || adv[1] != s.adv_0 || adv[2] != s.adv_w || adv[3] != s.adv_i)
        ok = false;
    std::printf("%-10s x %d/%d  X %d/%d  A0Wi %d %d %d %d  %s\n", s.name, hx, s.xheight, hX, s.cap,
                adv[0], adv[1], adv[2], adv[3], ok ? "ok" : "MISMATCH");
    // Bold digits and "/" as heavy as the letters: no stem thinner than the "l"'s.
    if (s.bold) {
        const int want = GlyphStem(f, 'l');
        std::string thin;
        for (const char* p = "0123456789/"; *p; ++p)
            if (GlyphStem(f, *p) < want) thin += *p;
        std::printf("%-10s stems l %d  0-9 / %s\n", s.name, want,
                    thin.empty() ? "ok" : ("THINNER: " + thin).c_str());
        ok = ok && thin.empty();
    }
    return ok;
}

// --- source output ------------------------------------------------------------------------

std::string Lower(const char* name) {
    std::string out(name);
    for (char& ch : out)
        ch = char(std::tolower(static_cast<unsigned char>(ch)));
    return out;
}

void CharComment(FILE* out, int c) {
    if (c >= 0x21 && c <= 0x7E && c != '\\')
        std::fprintf(out, "// 0x%02X '%c'", c, c);
    else
        std::fprintf(out, "// 0x%02X", c);
}

bool WriteSource(const Font& f, const std::string& folder) {
    const FontSpec& s = *f.spec;
    const std::string path = folder + "/" + s.file;
    FILE* out = std::fopen(path.c_str(), "w");
    if (out == nullptr) {
        std::fprintf(stderr, "fontgen: cannot write %s\n", path.c_str());
        return false;
    }
    std::fprintf(out,
                 "// %s: %d rows, baseline %d, rasterised from %s by tools/fontgen.\n"
                 "// Generated: edit the generator, not this file.\n"
                 "#include \"gui/toolkit/gui_font.h\"\n\n"
                 "namespace {\n\n"
                 "// clang-format off\n"
                 "// %d rows per character, (width + 7) / 8 bytes per row, MSB leftmost.\n"
                 "const uint8_t kRows[] = {\n",
                 s.name, s.cell, s.baseline, s.face, s.cell);
    std::vector<size_t> offsets;
    size_t offset = 0;
    for (const Glyph& g : f.glyphs) {
        offsets.push_back(offset);
        const int bpr = (g.advance + 7) / 8;
        std::fprintf(out, "    ");
        CharComment(out, g.code);
        std::fprintf(out, "\n   ");
        int col = 3;
        for (int y = 0; y < s.cell; ++y)
            for (int b = 0; b < bpr; ++b) {
                int byte = 0;
                for (int bit = 0; bit < 8; ++bit) {
                    const int x = b * 8 + bit;
                    if (x < g.advance && g.ink[y * g.advance + x]) byte |= 0x80 >> bit;
                }
                if (col + 6 > 100) {
                    std::fprintf(out, "\n   ");
                    col = 3;
                }
                std::fprintf(out, " 0x%02X,", byte);
                col += 6;
            }
        std::fprintf(out, "\n");
        offset += size_t(bpr) * s.cell;
    }
    std::fprintf(out, "};\n\n");
    size_t index = 0;
    for (size_t r = 0; r < kRanges.size(); ++r) {
        std::fprintf(
            out, "// width, advance, bytes per row, rows\nconst GUI_CHARINFO kChars%zu[] = {\n", r);
        for (int c = kRanges[r][0]; c <= kRanges[r][1]; ++c, ++index) {
            const Glyph& g = f.glyphs[index];
            std::fprintf(out, "    {%d, %d, %d, kRows + %zu}, ", g.advance, g.advance,
                         (g.advance + 7) / 8, offsets[index]);
            CharComment(out, c);
            std::fprintf(out, "\n");
        }
        std::fprintf(out, "};\n\n");
    }
    std::fprintf(out,
                 "const GUI_FONT_RANGE kRange1 = {0x%02X, 0x%02X, kChars1, nullptr};\n"
                 "const GUI_FONT_RANGE kRange0 = {0x%02X, 0x%02X, kChars0, &kRange1};\n"
                 "// clang-format on\n\n"
                 "} // namespace\n\n"
                 "const GUI_FONTDEF %s = {\n"
                 "    GUI_FontProp_DrawChar, GUI_FontProp_CharAdvance, GUI_FontProp_FontInfo,\n"
                 "    GUI_FontProp_CharPresent, nullptr, nullptr,\n"
                 "    %d, %d, 1, 1, &kRange0, %d, %d, %d,\n"
                 "};\n",
                 kRanges[1][0], kRanges[1][1], kRanges[0][0], kRanges[0][1], s.name, s.cell, s.cell,
                 s.baseline, s.xheight, s.cap);
    const bool ok = std::fclose(out) == 0;
    if (!ok) std::fprintf(stderr, "fontgen: cannot write %s\n", path.c_str());
    return ok;
}

// --- sheets -------------------------------------------------------------------------------

struct Image {
    int w, h;
    std::vector<uint32_t> px; // 0xRRGGBB
    Image(int width, int height) : w(width), h(height), px(size_t(width) * height, 0xFFFFFF) {}
    void Set(int x, int y, uint32_t c) {
        if (x >= 0 && y >= 0 && x < w && y < h) px[size_t(y) * w + x] = c;
    }
    void Fill(int x0, int y0, int x1, int y1, uint32_t c) {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                Set(x, y, c);
    }
};

bool WritePng(const Image& img, const std::string& path) {
    FILE* fp = std::fopen(path.c_str(), "wb");
    if (fp == nullptr) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (png == nullptr || info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(fp);
        return false;
    }
    png_init_io(png, fp);
    png_set_IHDR(png, info, img.w, img.h, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uint8_t> row(size_t(img.w) * 3);
    for (int y = 0; y < img.h; ++y) {
        for (int x = 0; x < img.w; ++x) {
            const uint32_t c = img.px[size_t(y) * img.w + x];
            row[x * 3] = uint8_t(c >> 16);
            row[x * 3 + 1] = uint8_t(c >> 8);
            row[x * 3 + 2] = uint8_t(c);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(fp) == 0;
}

// Draws Latin-1 text at 1:1 (scale 1) or enlarged; returns the x after it.
int DrawText(Image& img, const Font& f, const char* text, int x, int y, int scale = 1,
             uint32_t colour = 0x000000) {
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        const Glyph* g = f.find(*p);
        if (g == nullptr) continue;
        for (int gy = 0; gy < f.spec->cell; ++gy)
            for (int gx = 0; gx < g->advance; ++gx)
                if (g->ink[gy * g->advance + gx])
                    img.Fill(x + gx * scale, y + gy * scale, x + (gx + 1) * scale,
                             y + (gy + 1) * scale, colour);
        x += g->advance * scale;
    }
    return x;
}

// Samples in Latin-1: umlauts, the degree sign and the program's kind of texts.
const char* const kSamples[] = {
    "Batterie 12,8 V  23,5 \xB0"
    "C  \xC4rger \xD6l \xDC"
    "ber Gr\xFC\xDF"
    "e  100 %  -3,2 A",
    "The quick brown fox jumps over the lazy dog. 0123456789 \xB1\xB5\xB2\xB3\xBD",
};

bool WriteSheets(const std::vector<Font>& fonts, const std::string& folder) {
    const Font& label = fonts[3]; // FONT_13
    // Overview: every font at 1:1 with its samples.
    int height = 8;
    for (const Font& f : fonts)
        height += f.spec->cell * 5 + 8;
    Image all(1100, height);
    int y = 4;
    for (const Font& f : fonts) {
        DrawText(all, label, f.spec->name, 4, y + (f.spec->cell - 13) / 2, 1, 0x0000C0);
        int x = 110;
        std::string line;
        for (int c = 0x20; c <= 0x7E; ++c)
            line += char(c);
        DrawText(all, f, line.c_str(), x, y);
        line.clear();
        for (int c = 0xA0; c <= 0xFF; ++c)
            line += char(c);
        DrawText(all, f, line.c_str(), x, y + f.spec->cell);
        DrawText(all, f, kSamples[0], x, y + 2 * f.spec->cell);
        DrawText(all, f, kSamples[1], x, y + 3 * f.spec->cell);
        all.Fill(x, y + 4 * f.spec->cell, x + 600, y + 5 * f.spec->cell, 0x203040);
        DrawText(all, f, kSamples[0], x + 2, y + 4 * f.spec->cell, 1, 0xFFFFFF);
        y += f.spec->cell * 5 + 8;
    }
    bool ok = WritePng(all, folder + "/fonts.png");
    // One enlarged sheet per font: every glyph in its cell, advance and baseline marked.
    for (const Font& f : fonts) {
        const FontSpec& s = *f.spec;
        const int scale = std::max(3, 64 / s.cell);
        int maxadv = 1;
        for (const Glyph& g : f.glyphs)
            maxadv = std::max(maxadv, g.advance);
        const int cw = (maxadv + 1) * scale + 2, ch = s.cell * scale + 16;
        const int per_row = std::max(1, 1500 / cw);
        const int n = int(f.glyphs.size());
        Image img(per_row * cw + 4, (n + per_row - 1) / per_row * ch + 4);
        for (int i = 0; i < n; ++i) {
            const Glyph& g = f.glyphs[i];
            const int ox = 2 + (i % per_row) * cw, oy = 2 + (i / per_row) * ch;
            char code[8];
            std::snprintf(code, sizeof code, "%02X", g.code);
            DrawText(img, fonts[0], code, ox, oy + s.cell * scale + 4, 1, 0x808080);
            img.Fill(ox, oy, ox + g.advance * scale, oy + s.cell * scale, 0xE8F0FF);
            img.Fill(ox, oy + s.baseline * scale - 1, ox + g.advance * scale,
                     oy + s.baseline * scale, 0xFF8080);
            for (int gy = 0; gy < s.cell; ++gy)
                for (int gx = 0; gx < g.advance; ++gx)
                    if (g.ink[gy * g.advance + gx])
                        img.Fill(ox + gx * scale, oy + gy * scale, ox + (gx + 1) * scale,
                                 oy + (gy + 1) * scale, 0x000000);
        }
        ok = WritePng(img, folder + "/" + Lower(s.name) + ".png") && ok;
    }
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: veltra-fontgen <table folder> [<sheet folder>] "
                             "[<DejaVu folder>]\n");
        return 2;
    }
    const std::string tables = argv[1];
    const std::string sheets = argc > 2 ? argv[2] : "";
    const std::string faces = argc > 3 ? argv[3] : "/usr/share/fonts/truetype/dejavu";
    if (FT_Init_FreeType(&g_lib) != 0) {
        std::fprintf(stderr, "fontgen: cannot start FreeType\n");
        return 1;
    }
    // The classic full hinting, fixed so that the output does not follow a library default.
    FT_UInt interpreter = 35;
    FT_Property_Set(g_lib, "truetype", "interpreter-version", &interpreter);

    std::vector<Font> fonts;
    bool ok = true;
    for (const FontSpec& s : kFonts) {
        FT_Face face;
        const std::string path = faces + "/" + s.face;
        if (FT_New_Face(g_lib, path.c_str(), 0, &face) != 0) {
            std::fprintf(stderr, "fontgen: cannot open %s\n", path.c_str());
            return 1;
        }
        g_hint = s.hint;
        Fit fit = FitFont(face, s);
        if (s.bold) {
            const Glyph l = MakeGlyph(face, s, fit, 'l');
            fit.stem = StemWidth(l.ink, l.advance, s.cell);
        }
        std::printf("%-10s %s  y %.3f/%.3f  x %.3f digits %.3f\n", s.name, s.face,
                    fit.y_main / 64.0, fit.y_lower / 64.0, fit.x_main / 64.0, fit.x_digit / 64.0);
        Font f;
        f.spec = &s;
        for (const auto& range : kRanges)
            for (int c = range[0]; c <= range[1]; ++c)
                f.glyphs.push_back(MakeGlyph(face, s, fit, c));
        if (s.compose) {
            for (Glyph& g : f.glyphs) {
                const Decomposition d = Decompose(g.code);
                if (d.base == 0) continue;
                const Glyph base =
                    d.base < 0x80 ? *f.find(d.base) : MakeGlyph(face, s, fit, d.base);
                g = ComposeGlyph(face, s, fit, base, g.code, d.mark);
            }
        }
        FT_Done_Face(face);
        ok = Check(f) && ok;
        fonts.push_back(std::move(f));
    }
    for (const Font& f : fonts)
        ok = WriteSource(f, tables) && ok;
    if (!sheets.empty()) ok = WriteSheets(fonts, sheets) && ok;
    FT_Done_FreeType(g_lib);
    return ok ? 0 : 1;
}
