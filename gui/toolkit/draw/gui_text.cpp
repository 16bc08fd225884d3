// Text output in the 1-bit fonts: glyphs, lines, alignment at a point and in a rectangle.
#include "gui/toolkit/draw/draw_internal.h"
#include "gui/toolkit/draw/gui_draw.h"

#include <algorithm>
#include <bit>

using namespace gui_draw;

namespace {

constexpr int kNoLimit = 0x7FFF;

int Advance(const GUI_FONTDEF* font, uint8_t c) {
    const int a = font->char_advance != nullptr ? font->char_advance(font, c)
                                                : GUI_FontProp_CharAdvance(font, c);
    return a * std::max(1, int{font->x_magnification});
}

int Height(const GUI_FONTDEF* font) {
    return font->cell_height * std::max(1, int{font->y_magnification});
}

// Width of the n characters at s (no newline among them).
int LineWidth(const GUI_FONTDEF* font, const char* s, int n) {
    int w = 0;
    for (int i = 0; i < n; ++i)
        w += Advance(font, static_cast<uint8_t>(s[i]));
    return w;
}

// Length of the line starting at s, stopping at a newline, the end or the limit.
int LineLength(const char* s, int limit) {
    int n = 0;
    while (n < limit && s[n] != '\0' && s[n] != '\n')
        ++n;
    return n;
}

void DrawChars(const GUI_FONTDEF* font, const char* s, int n) {
    for (int i = 0; i < n; ++i) {
        const uint8_t c = static_cast<uint8_t>(s[i]);
        if (font->draw_char != nullptr) {
            font->draw_char(font, c);
        } else {
            GUI_FontProp_DrawChar(font, c);
        }
    }
}

// Lays the text out line by line: line_x(width) gives a line's left edge, each line one line
// distance below the previous. With draw set the glyphs are drawn (inside a clip pass);
// either way the context's text position ends after the last character.
template <class LineX>
void RunText(GUI_CONTEXT* c, const char* text, int limit, int top, LineX&& line_x, bool draw) {
    const GUI_FONTDEF* font = c->font;
    int y = top;
    int left = 0;
    const char* s = text;
    for (;;) {
        const int n = LineLength(s, limit);
        const int w = LineWidth(font, s, n);
        left = line_x(w);
        c->text_x = static_cast<int16_t>(left);
        c->text_y = static_cast<int16_t>(y);
        if (draw) DrawChars(font, s, n);
        c->text_x = static_cast<int16_t>(left + w);
        s += n;
        limit -= n;
        if (limit <= 0 || *s != '\n') break;
        ++s; // the newline counts against the limit as well
        if (--limit <= 0) break;
        y += font->line_distance;
    }
}

template <class LineX>
void PrintText(GUI_CONTEXT* c, const char* text, int limit, int top, const Box& bounds,
               LineX&& line_x) {
    ForEachClip(bounds, [&] { RunText(c, text, limit, top, line_x, true); });
    RunText(c, text, limit, top, line_x, false);
}

Box Everywhere() {
    return Box{-kBoxLimit, -kBoxLimit, kBoxLimit, kBoxLimit};
}

void PrintAtAligned(const char* text, int x, int y, int align) {
    DrawScope scope;
    GUI_CONTEXT* c = scope.ctx();
    if (text == nullptr || c->font == nullptr) return;
    const int h = Height(c->font);
    int top = y;
    switch (align & GUI_ALIGN_VERTICAL) {
        case GUI_ALIGN_BASELINE:
            top = y - c->font->baseline;
            break;
        case GUI_ALIGN_BOTTOM:
            top = y - h + 1;
            break;
        case GUI_ALIGN_VCENTER:
            top = y - h / 2;
            break;
        default:
            break;
    }
    PrintText(c, text, kNoLimit, top, Everywhere(), [&](int w) {
        switch (align & GUI_ALIGN_HORIZONTAL) {
            case GUI_ALIGN_RIGHT:
                return x - w;
            case GUI_ALIGN_HCENTER:
                return x - w / 2;
            default:
                return x;
        }
    });
}

} // namespace

void GUI_FontProp_DrawChar(const GUI_FONTDEF* font, uint16_t ch) {
    DrawScope scope;
    GUI_CONTEXT* c = scope.ctx();
    const GUI_CHARINFO* info = GUI_FontFindChar(font, ch);
    if (info == nullptr) return;
    const int xm = std::max(1, int{font->x_magnification});
    const int ym = std::max(1, int{font->y_magnification});
    const int sx = c->text_x + c->origin_x;
    const int sy = c->text_y + c->origin_y;
    const int cell_w = std::max(info->width, info->advance) * xm;
    const int cell_h = font->cell_height * ym;
    c->text_x = static_cast<int16_t>(c->text_x + info->advance * xm);
    if (!scope.ok()) return;

    const bool reversed = (c->text_mode & GUI_TEXTMODE_REVERSED) != 0;
    const Paint fg = MakePaint(reversed ? c->back_colour : c->draw_colour);
    const Paint bg = MakePaint(reversed ? c->draw_colour : c->back_colour);
    const bool fill_cell = (c->text_mode & GUI_TEXTMODE_TRANSPARENT) == 0;
    const int width = std::min(int{info->width}, info->bytes_per_row * 8);
    auto draw = [&] {
        if (sx > g_clip.x1 || sy > g_clip.y1 || sx + cell_w <= g_clip.x0 ||
            sy + cell_h <= g_clip.y0)
            return;
        if (fill_cell) FillBox(sx, sy, sx + cell_w - 1, sy + cell_h - 1, bg);
        if (info->rows == nullptr) return;
        const bool inside = sx >= g_clip.x0 && sx + width * xm - 1 <= g_clip.x1 &&
                            sy >= g_clip.y0 && sy + cell_h - 1 <= g_clip.y1;
        if (inside && fg.opacity >= 255 && xm == 1 && ym == 1) {
            // The common case, a whole glyph inside the clip: pixels are stored directly, one
            // store per set bit (glyph rows are mostly empty).
            for (int row = 0; row < font->cell_height; ++row) {
                const uint8_t* bits = info->rows + row * info->bytes_per_row;
                uint32_t* out = ClipRow(sy + row) + sx;
                for (int x0 = 0; x0 < width; x0 += 8) {
                    const int n = std::min(8, width - x0);
                    auto byte = static_cast<uint8_t>(bits[x0 >> 3] & (0xFF00u >> n));
                    while (byte != 0) {
                        const int k = std::countl_zero(byte);
                        out[x0 + k] = fg.pixel;
                        byte = static_cast<uint8_t>(byte & ~(0x80u >> k));
                    }
                }
            }
            MarkChanged();
            return;
        }
        for (int row = 0; row < font->cell_height; ++row) {
            const uint8_t* bits = info->rows + row * info->bytes_per_row;
            int x = 0;
            while (x < width) {
                if (((bits[x >> 3] >> (7 - (x & 7))) & 1) == 0) {
                    ++x;
                    continue;
                }
                const int run = x;
                while (x < width && ((bits[x >> 3] >> (7 - (x & 7))) & 1) != 0)
                    ++x;
                for (int k = 0; k < ym; ++k)
                    FillSpan(sx + run * xm, sx + x * xm - 1, sy + row * ym + k, fg);
            }
        }
    };
    if (InPass()) {
        draw();
    } else {
        ForEachClip(Box{sx, sy, sx + cell_w - 1, sy + cell_h - 1}, draw);
    }
}

const GUI_FONTDEF* GUI_SelectFont(const GUI_FONTDEF* font) {
    GUI_LockGuard lock;
    const GUI_FONTDEF* previous = GUI_pContext->font;
    if (font != nullptr) GUI_pContext->font = font;
    return previous;
}

int GUI_GetFontHeight() {
    GUI_LockGuard lock;
    const GUI_FONTDEF* font = GUI_pContext->font;
    return font != nullptr ? Height(font) : 0;
}

int GUI_GetFontLineDist() {
    GUI_LockGuard lock;
    const GUI_FONTDEF* font = GUI_pContext->font;
    return font != nullptr ? font->line_distance : 0;
}

int GUI_GetTextWidth(const char* text) {
    GUI_LockGuard lock;
    const GUI_FONTDEF* font = GUI_pContext->font;
    if (text == nullptr || font == nullptr) return 0;
    int widest = 0;
    for (const char* s = text;;) {
        const int n = LineLength(s, kNoLimit);
        widest = std::max(widest, LineWidth(font, s, n));
        s += n;
        if (*s != '\n') break;
        ++s;
    }
    return widest;
}

void GUI_GetTextPos(int* x, int* y) {
    GUI_LockGuard lock;
    if (x != nullptr) *x = GUI_pContext->text_x;
    if (y != nullptr) *y = GUI_pContext->text_y;
}

void GUI_PrintAt(const char* text, int x, int y) {
    GUI_LockGuard lock;
    PrintAtAligned(text, x, y, GUI_pContext->text_align);
}

void GUI_PrintCenteredAt(const char* text, int x, int y) {
    // Centred for this call only; the context's alignment stays as it is.
    PrintAtAligned(text, x, y, GUI_ALIGN_HCENTER | GUI_ALIGN_TOP);
}

void GUI_PrintInRect(const char* text, const GUI_RECT* rect, int align) {
    GUI_PrintInRectMax(text, rect, align, kNoLimit);
}

void GUI_PrintInRectMax(const char* text, const GUI_RECT* rect, int align, int max_chars) {
    DrawScope scope;
    GUI_CONTEXT* c = scope.ctx();
    if (text == nullptr || rect == nullptr || c->font == nullptr || max_chars <= 0) return;
    const int x0 = rect->x0, y0 = rect->y0, x1 = rect->x1, y1 = rect->y1;
    int lines = 1;
    for (int i = 0; i < max_chars && text[i] != '\0'; ++i)
        if (text[i] == '\n' && i + 1 < max_chars) ++lines;
    const int block = lines * c->font->line_distance;
    int top = y0;
    switch (align & GUI_ALIGN_VERTICAL) {
        case GUI_ALIGN_BASELINE:
        case GUI_ALIGN_BOTTOM:
            top = y1 - block + 1;
            break;
        case GUI_ALIGN_VCENTER:
            top = y0 + (y1 - y0 - block + 1) / 2;
            break;
        default:
            break;
    }
    // Drawn only inside the rectangle.
    const Box bounds{x0 + c->origin_x, y0 + c->origin_y, x1 + c->origin_x, y1 + c->origin_y};
    PrintText(c, text, max_chars, top, bounds, [&](int w) {
        switch (align & GUI_ALIGN_HORIZONTAL) {
            case GUI_ALIGN_RIGHT:
                return x1 - w + 1;
            case GUI_ALIGN_HCENTER:
                return x0 + (x1 - x0 - w) / 2;
            default:
                return x0;
        }
    });
}

void GUI_PrintCharAt(uint16_t ch, int x, int y) {
    DrawScope scope;
    GUI_CONTEXT* c = scope.ctx();
    if (c->font == nullptr) return;
    c->text_x = static_cast<int16_t>(x);
    c->text_y = static_cast<int16_t>(y);
    if (c->font->draw_char != nullptr) {
        c->font->draw_char(c->font, ch);
    } else {
        GUI_FontProp_DrawChar(c->font, ch);
    }
}
