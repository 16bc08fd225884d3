// The span layer: clip iteration, the lock and change report of an operation, and the clipped
// writers every shape, glyph and picture ends in.
#include "gui/toolkit/draw/draw_internal.h"
#include "gui/toolkit/core/gui_report.h"

#include <algorithm>
#include <cmath>

namespace gui_draw {

Box g_clip{0, 0, -1, -1};

namespace {

int g_depth = 0;        // nesting of DrawScope (an operation calling another)
bool g_changed = false; // a span was written since the outermost scope began
bool g_in_pass = false;
const GUI_DISPLAY* g_target = nullptr;

const GUI_DISPLAY* Target() {
    const GUI_DISPLAY* d = GUI_pContext->display;
    return d != nullptr && d->pixels != nullptr ? d : nullptr;
}

// The last line of defence: a write the clipping should have kept inside the surface.
bool InBounds(int x0, int x1, int y) {
    if (g_target != nullptr && x0 >= 0 && x1 < g_target->width && y >= 0 && y < g_target->height &&
        x0 <= x1)
        return true;
    GUI_ReportWarning("GUIDRV_Win:\nParameters out of bounds in _CheckBound()");
    return false;
}

// Clips [x0, x1] on row y to g_clip; false when nothing is left.
bool ClipSpan(int* x0, int* x1, int y) {
    if (y < g_clip.y0 || y > g_clip.y1) return false;
    *x0 = std::max(*x0, g_clip.x0);
    *x1 = std::min(*x1, g_clip.x1);
    return *x0 <= *x1;
}

} // namespace

Paint MakePaint(GUI_COLOUR colour) {
    const uint32_t opacity = GUI_pContext->alpha_mode ? 255u - (colour >> 24) : 255u;
    return Paint{ToPixel(colour), opacity};
}

DrawScope::DrawScope() : display_(Target()) {
    ++g_depth;
}

DrawScope::~DrawScope() {
    if (--g_depth > 0 || !g_changed) return;
    g_changed = false;
    const GUI_DISPLAY* d = Target();
    if (d != nullptr && d->changed != nullptr) d->changed();
}

int ClipCount() {
    const GUI_CONTEXT* c = GUI_pContext;
    if (Target() == nullptr) return 0;
    return c->clip_whole ? 1 : c->clip_count;
}

bool ClipBoxFor(int index, const Box& bounds, Box* out) {
    const GUI_CONTEXT* c = GUI_pContext;
    const GUI_DISPLAY* d = Target();
    if (d == nullptr) return false;
    Box b{0, 0, d->width - 1, d->height - 1};
    if (!c->clip_whole) {
        if (index < 0 || index >= c->clip_count) return false;
        const GUI_RECT& r = c->clip[index];
        b = Box{std::max(b.x0, int{r.x0}), std::max(b.y0, int{r.y0}), std::min(b.x1, int{r.x1}),
                std::min(b.y1, int{r.y1})};
    }
    b = Box{std::max(b.x0, bounds.x0), std::max(b.y0, bounds.y0), std::min(b.x1, bounds.x1),
            std::min(b.y1, bounds.y1)};
    if (b.Empty()) return false;
    *out = b;
    return true;
}

bool AnyClipMeets(const Box& bounds) {
    if (bounds.Empty()) return false;
    Box box;
    for (int i = 0, n = ClipCount(); i < n; ++i)
        if (ClipBoxFor(i, bounds, &box)) return true;
    return false;
}

bool InPass() {
    return g_in_pass;
}

void SetPass(const Box* box) {
    if (box == nullptr) {
        g_in_pass = false;
        g_clip = Box{0, 0, -1, -1};
        g_target = nullptr;
        return;
    }
    g_in_pass = true;
    g_clip = *box;
    g_target = Target();
}

void FillSpan(int x0, int x1, int y, Paint paint) {
    if (paint.opacity == 0 || !ClipSpan(&x0, &x1, y) || !InBounds(x0, x1, y)) return;
    uint32_t* row = g_target->pixels + static_cast<size_t>(y) * g_target->stride;
    if (paint.opacity >= 255) {
        FillRun(row + x0, x1 - x0 + 1, paint.pixel);
    } else {
        for (int x = x0; x <= x1; ++x)
            row[x] = Blend(row[x], paint.pixel, paint.opacity);
    }
    g_changed = true;
}

uint32_t* ClipRow(int y) {
    return g_target->pixels + static_cast<size_t>(y) * g_target->stride;
}

void MarkChanged() {
    g_changed = true;
}

void PutPixel(int x, int y, Paint paint) {
    FillSpan(x, x, y, paint);
}

void FillBox(int x0, int y0, int x1, int y1, Paint paint) {
    y0 = std::max(y0, g_clip.y0);
    y1 = std::min(y1, g_clip.y1);
    for (int y = y0; y <= y1; ++y)
        FillSpan(x0, x1, y, paint);
}

void CopySpan(int x0, int y, const uint32_t* src, int count) {
    int a = x0;
    int b = x0 + count - 1;
    if (count <= 0 || !ClipSpan(&a, &b, y) || !InBounds(a, b, y)) return;
    uint32_t* row = g_target->pixels + static_cast<size_t>(y) * g_target->stride;
    std::copy(src + (a - x0), src + (b - x0) + 1, row + a);
    g_changed = true;
}

int CircleHalfWidth(int r, int i) {
    if (r < 0) return -1;
    const long long limit = static_cast<long long>(r) * r + r / 2;
    const long long ii = static_cast<long long>(i) * i;
    if (ii > limit) return -1;
    long long f = static_cast<long long>(std::sqrt(static_cast<double>(limit - ii)));
    while (f > 0 && ii + f * f > limit)
        --f;
    while (ii + (f + 1) * (f + 1) <= limit)
        ++f;
    return static_cast<int>(f);
}

} // namespace gui_draw
