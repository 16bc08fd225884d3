// Context setters, plain (not anti-aliased) shapes and gradients.
#include "gui/toolkit/draw/draw_internal.h"
#include "gui/toolkit/draw/gui_draw.h"

#include <algorithm>
#include <cstdlib>

using namespace gui_draw;

namespace {

// Colours keep their alpha byte only while alpha mode is on.
GUI_COLOUR StoredColour(GUI_COLOUR colour) {
    return GUI_pContext->alpha_mode ? colour : (colour & 0x00FFFFFFu);
}

Box ScreenBox(const GUI_CONTEXT* c, int x0, int y0, int x1, int y1) {
    return Box{std::min(x0, x1) + c->origin_x, std::min(y0, y1) + c->origin_y,
               std::max(x0, x1) + c->origin_x, std::max(y0, y1) + c->origin_y};
}

// One channel of c0 -> c1 at step i of n (0 gives c0, n gives c1), rounded.
uint32_t MixChannel(GUI_COLOUR c0, GUI_COLOUR c1, int shift, long long i, long long n) {
    const long long a = (c0 >> shift) & 0xFF;
    const long long b = (c1 >> shift) & 0xFF;
    return static_cast<uint32_t>((a * (n - i) + b * i + n / 2) / n) << shift;
}

GUI_COLOUR Mix(GUI_COLOUR c0, GUI_COLOUR c1, long long i, long long n) {
    if (n <= 0) return c0;
    return MixChannel(c0, c1, 0, i, n) | MixChannel(c0, c1, 8, i, n) |
           MixChannel(c0, c1, 16, i, n) | MixChannel(c0, c1, 24, i, n);
}

void BresenhamLine(int x0, int y0, int x1, int y1, Paint paint) {
    const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        PutPixel(x0, y0, paint);
        if (x0 == x1 && y0 == y1) break;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

// The points of one octant of the midpoint circle outline: calls plot(i, f) for the axis
// point (0, r) and for each i up to r * 707 / 1000 + 1, with f shrinking while
// i^2 + f^2 > r^2 + r/2.
template <class Plot> void CircleOctant(int r, Plot&& plot) {
    const long long limit = static_cast<long long>(r) * r + r / 2;
    int f = r;
    plot(0, r);
    const int last = r * 707 / 1000 + 1;
    for (int i = 1; i <= last && i <= r; ++i) {
        while (f > 0 && static_cast<long long>(i) * i + static_cast<long long>(f) * f > limit)
            --f;
        plot(i, f);
    }
}

// The four quarter outlines of a rounded rectangle (screen coordinates) around the corner
// centres; quadrant bits select top-left 1, top-right 2, bottom-left 4, bottom-right 8.
void CornerOutlines(int cl, int ct, int cr, int cb, int r, Paint paint) {
    CircleOctant(r, [&](int i, int f) {
        const int pts[2][2] = {{i, f}, {f, i}};
        for (const auto& p : pts) {
            PutPixel(cl - p[0], ct - p[1], paint);
            PutPixel(cr + p[0], ct - p[1], paint);
            PutPixel(cl - p[0], cb + p[1], paint);
            PutPixel(cr + p[0], cb + p[1], paint);
        }
    });
}

} // namespace

void GUI_SetDrawColor(GUI_COLOUR colour) {
    GUI_LockGuard lock;
    GUI_pContext->draw_colour = StoredColour(colour);
}

void GUI_SetBackColor(GUI_COLOUR colour) {
    GUI_LockGuard lock;
    GUI_pContext->back_colour = StoredColour(colour);
}

GUI_COLOUR GUI_GetDrawColor() {
    GUI_LockGuard lock;
    return GUI_pContext->draw_colour;
}

GUI_COLOUR GUI_GetBackColor() {
    GUI_LockGuard lock;
    return GUI_pContext->back_colour;
}

uint8_t GUI_SetLineWidth(uint8_t width) {
    GUI_LockGuard lock;
    const uint8_t previous = GUI_pContext->line_width;
    GUI_pContext->line_width = width;
    return previous;
}

uint8_t GUI_GetLineWidth() {
    GUI_LockGuard lock;
    return GUI_pContext->line_width;
}

int GUI_SetTextDrawMode(int mode) {
    GUI_LockGuard lock;
    const int previous = GUI_pContext->text_mode;
    GUI_pContext->text_mode = static_cast<int16_t>(mode);
    return previous;
}

int GUI_SetTextAlign(int align) {
    GUI_LockGuard lock;
    const int previous = GUI_pContext->text_align;
    GUI_pContext->text_align = static_cast<int16_t>(align);
    return previous;
}

int GUI_GetTextAlign() {
    GUI_LockGuard lock;
    return GUI_pContext->text_align;
}

int GUI_SetAAFactor(int factor) {
    GUI_LockGuard lock;
    const int previous = GUI_pContext->aa_factor;
    if (factor >= 1 && factor <= 6) GUI_pContext->aa_factor = static_cast<uint8_t>(factor);
    return previous;
}

int GUI_GetAAFactor() {
    GUI_LockGuard lock;
    return GUI_pContext->aa_factor;
}

int GUI_EnableAlphaBlending(int on) {
    GUI_LockGuard lock;
    const bool want = on != 0;
    if (GUI_pContext->alpha_mode == want) return 0;
    GUI_pContext->alpha_mode = want;
    return 1;
}

void GUI_ClearWindow() {
    DrawScope scope;
    if (!scope.ok()) return;
    const Paint paint = MakePaint(scope.ctx()->back_colour);
    ForEachClip(Box{-kBoxLimit, -kBoxLimit, kBoxLimit, kBoxLimit},
                [&] { FillBox(g_clip.x0, g_clip.y0, g_clip.x1, g_clip.y1, paint); });
}

void GUI_FillRectangle(int x0, int y0, int x1, int y1) {
    DrawScope scope;
    if (!scope.ok()) return;
    const GUI_CONTEXT* c = scope.ctx();
    const Paint paint = MakePaint(c->draw_colour);
    const Box box = ScreenBox(c, x0, y0, x1, y1);
    ForEachClip(box, [&] { FillBox(box.x0, box.y0, box.x1, box.y1, paint); });
}

void GUI_FillRectangleR(const GUI_RECT* rect) {
    if (rect == nullptr) return;
    GUI_FillRectangle(rect->x0, rect->y0, rect->x1, rect->y1);
}

void GUI_DrawPixel(int x, int y) {
    DrawScope scope;
    if (!scope.ok()) return;
    const GUI_CONTEXT* c = scope.ctx();
    const Paint paint = MakePaint(c->draw_colour);
    const Box box = ScreenBox(c, x, y, x, y);
    ForEachClip(box, [&] { PutPixel(box.x0, box.y0, paint); });
}

void GUI_DrawLinePlain(int x0, int y0, int x1, int y1) {
    DrawScope scope;
    if (!scope.ok()) return;
    const GUI_CONTEXT* c = scope.ctx();
    const Paint paint = MakePaint(c->draw_colour);
    x0 += c->origin_x;
    x1 += c->origin_x;
    y0 += c->origin_y;
    y1 += c->origin_y;
    if (c->line_width > 1) return RasterThickLine(x0, y0, x1, y1, c->line_width, 1, paint);
    const Box box{std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1)};
    // Keep the walk bounded when a caller passes far-off ends.
    if (box.x1 - box.x0 > kBoxLimit || box.y1 - box.y0 > kBoxLimit) return;
    ForEachClip(box, [&] { BresenhamLine(x0, y0, x1, y1, paint); });
}

void GUI_OutlineCircle(int xc, int yc, int r) {
    DrawScope scope;
    if (!scope.ok() || r < 0 || r > kBoxLimit) return;
    const GUI_CONTEXT* c = scope.ctx();
    const Paint paint = MakePaint(c->draw_colour);
    xc += c->origin_x;
    yc += c->origin_y;
    ForEachClip(Box{xc - r, yc - r, xc + r, yc + r},
                [&] { CornerOutlines(xc, yc, xc, yc, r, paint); });
}

void GUI_DrawRoundRect(int x0, int y0, int x1, int y1, int r) {
    DrawScope scope;
    if (!scope.ok()) return;
    const GUI_CONTEXT* c = scope.ctx();
    const Paint paint = MakePaint(c->draw_colour);
    const Box b = ScreenBox(c, x0, y0, x1, y1);
    // A radius too large for the rectangle shrinks to the largest that fits.
    r = std::clamp(r, 0, std::min(b.x1 - b.x0, b.y1 - b.y0) / 2);
    const int cl = b.x0 + r, cr = b.x1 - r, ct = b.y0 + r, cb = b.y1 - r;
    ForEachClip(b, [&] {
        FillSpan(cl, cr, b.y0, paint);
        FillSpan(cl, cr, b.y1, paint);
        for (int y = ct; y <= cb; ++y) {
            PutPixel(b.x0, y, paint);
            PutPixel(b.x1, y, paint);
        }
        if (r > 0) CornerOutlines(cl, ct, cr, cb, r, paint);
    });
}

void GUI_DrawRoundFrame(int x0, int y0, int x1, int y1, int r, int w) {
    if (w == 1) return GUI_DrawRoundRect(x0, y0, x1, y1, r);
    DrawScope scope;
    if (!scope.ok() || w <= 0 || r < 0 || x1 - x0 < 2 * r || y1 - y0 < 2 * r) return;
    const GUI_CONTEXT* c = scope.ctx();
    const Paint paint = MakePaint(c->draw_colour);
    const Box b = ScreenBox(c, x0, y0, x1, y1);
    const int cl = b.x0 + r, cr = b.x1 - r, ct = b.y0 + r, cb = b.y1 - r;
    const int ri = r - w;
    ForEachClip(b, [&] {
        // The corner rows: between the outer circle and, where the row meets it, the inner.
        for (int i = 1; i <= r; ++i) {
            const int fo = CircleHalfWidth(r, i);
            const int fi = ri > 0 ? CircleHalfWidth(ri, i) : -1;
            const int inner_l = fi >= 0 ? cl - fi - 1 : cl - 1;
            const int inner_r = fi >= 0 ? cr + fi + 1 : cr + 1;
            for (const int y : {ct - i, cb + i}) {
                FillSpan(cl - fo, inner_l, y, paint);
                FillSpan(inner_r, cr + fo, y, paint);
            }
        }
        // The straight sides, w pixels thick.
        FillBox(cl, b.y0, cr, b.y0 + w - 1, paint);
        FillBox(cl, b.y1 - w + 1, cr, b.y1, paint);
        FillBox(b.x0, ct, b.x0 + w - 1, cb, paint);
        FillBox(b.x1 - w + 1, ct, b.x1, cb, paint);
    });
}

void GUI_FillGradientV(int x0, int y0, int x1, int y1, GUI_COLOUR c0, GUI_COLOUR c1) {
    DrawScope scope;
    if (!scope.ok() || x1 < x0 || y1 < y0) return;
    const GUI_CONTEXT* c = scope.ctx();
    const Box b = ScreenBox(c, x0, y0, x1, y1);
    ForEachClip(b, [&] {
        for (int y = g_clip.y0; y <= g_clip.y1; ++y)
            FillSpan(b.x0, b.x1, y, MakePaint(Mix(c0, c1, y - b.y0, b.y1 - b.y0)));
    });
}

void GUI_FillGradientH(int x0, int y0, int x1, int y1, GUI_COLOUR c0, GUI_COLOUR c1) {
    DrawScope scope;
    if (!scope.ok() || x1 < x0 || y1 < y0) return;
    const GUI_CONTEXT* c = scope.ctx();
    const Box b = ScreenBox(c, x0, y0, x1, y1);
    const bool opaque = MakePaint(c0).opacity == 255 && MakePaint(c1).opacity == 255;
    ForEachClip(b, [&] {
        if (!opaque) {
            for (int x = g_clip.x0; x <= g_clip.x1; ++x) {
                const Paint paint = MakePaint(Mix(c0, c1, x - b.x0, b.x1 - b.x0));
                for (int y = g_clip.y0; y <= g_clip.y1; ++y)
                    PutPixel(x, y, paint);
            }
            return;
        }
        // Opaque columns: one row of colours, copied into every row.
        static uint32_t line[GUI_MAX_TARGET_SIZE];
        const int n = g_clip.x1 - g_clip.x0 + 1;
        for (int i = 0; i < n; ++i)
            line[i] = ToPixel(Mix(c0, c1, g_clip.x0 + i - b.x0, b.x1 - b.x0));
        for (int y = g_clip.y0; y <= g_clip.y1; ++y)
            CopySpan(g_clip.x0, y, line, n);
    });
}

void GUI_FillRoundRectGradient(int x0, int y0, int x1, int y1, int r, GUI_COLOUR c0,
                               GUI_COLOUR c1) {
    DrawScope scope;
    if (!scope.ok() || x1 < x0 || y1 < y0) return;
    const GUI_CONTEXT* c = scope.ctx();
    const Box b = ScreenBox(c, x0, y0, x1, y1);
    r = std::clamp(r, 0, std::min(b.x1 - b.x0, b.y1 - b.y0) / 2);
    const int cl = b.x0 + r, cr = b.x1 - r, ct = b.y0 + r, cb = b.y1 - r;
    ForEachClip(b, [&] {
        for (int y = g_clip.y0; y <= g_clip.y1; ++y) {
            // Rows in the corners end on the circle of radius r.
            int f = r;
            if (y < ct) f = CircleHalfWidth(r, ct - y);
            if (y > cb) f = CircleHalfWidth(r, y - cb);
            if (f < 0) continue;
            FillSpan(cl - f, cr + f, y, MakePaint(Mix(c0, c1, y - b.y0, b.y1 - b.y0)));
        }
    });
}
