#include "elements/uguibattery.h"

#include "elements/element_common.h"
#include "elements/element_layout.h"
#include "gui/toolkit/draw/gui_draw.h"

#include <algorithm>

namespace {

constexpr const char* kModule = "elements/uguibattery";

// The checks of both forms, in their order; the last two keep the segment arithmetic from
// dividing by zero. -1 after the report of the first failing one.
int CheckParams(const ELEMENT_PARAMS* p, bool lying) {
    ELEMENT_CHECK(p != nullptr, kModule, -1);
    ELEMENT_CHECK(p->ySize != 0, kModule, -1);
    ELEMENT_CHECK(p->max != 0, kModule, -1);
    ELEMENT_CHECK(p->max != p->min, kModule, -1);
    ELEMENT_CHECK(p->min < p->max, kModule, -1);
    const int32_t n = lying ? p->xSize / 10 : p->ySize / 10;
    ELEMENT_CHECK(n >= 1, kModule, -1);
    ELEMENT_CHECK(static_cast<int64_t>(p->max) - p->min >= n, kModule, -1);
    return 0;
}

// Segment counts of a value or threshold: (v - min) / ((max - min) / N), held to int range.
int32_t SegmentIndex(int32_t v, int32_t min, int64_t per_segment) {
    const int64_t i = (static_cast<int64_t>(v) - min) / per_segment;
    return static_cast<int32_t>(std::clamp<int64_t>(i, INT32_MIN, INT32_MAX));
}

void FillCounts(const ELEMENT_PARAMS* p, BATTERY_LAYOUT* l) {
    const int64_t q = (static_cast<int64_t>(p->max) - p->min) / l->segments;
    l->lit = std::clamp(SegmentIndex(p->value, p->min, q), 0, l->segments);
    l->n_red = SegmentIndex(p->t3, p->min, q);
    l->n_yellow = SegmentIndex(p->t4, p->min, q);
}

} // namespace

BATTERY_LAYOUT uguibattery_UprightLayout(const ELEMENT_PARAMS* p) {
    BATTERY_LAYOUT l{};
    const int32_t w = p->xSize, h = p->ySize;
    l.terminal_w = w / 3;
    l.terminal_h = w / 6;
    l.margin_x = w / 10;
    l.margin_y = h / 10;
    l.segments = h / 10;
    l.pitch = (h - l.terminal_h - 2 * l.margin_y) / l.segments;
    l.first = p->y0 + h - l.margin_y;
    FillCounts(p, &l);
    return l;
}

BATTERY_LAYOUT uguibattery_LyingLayout(const ELEMENT_PARAMS* p) {
    BATTERY_LAYOUT l{};
    const int32_t w = p->xSize, h = p->ySize;
    l.segments = w / 10;
    l.terminal_w = h / 6;
    l.terminal_h = h / 2;
    l.margin_x = h / 10;
    l.margin_y = h / 10;
    l.pitch = (w - l.segments) / l.segments;
    l.first = p->x0 + w - l.segments / 3;
    FillCounts(p, &l);
    return l;
}

GUI_COLOUR uguibattery_StartColour(int32_t value, int32_t t1, int32_t t2) {
    if (value < t1) return ELEMENT_RED;
    if (value < t2) return ELEMENT_YELLOW;
    return ELEMENT_GREEN;
}

GUI_COLOUR uguibattery_SegmentColour(int32_t i, GUI_COLOUR before, const BATTERY_LAYOUT& l) {
    if (i >= l.n_red) return ELEMENT_RED;
    if (i >= l.n_yellow) return ELEMENT_YELLOW;
    return before;
}

void uguibattery_UprightSegment(int x, int y, int width, int height, GUI_COLOUR colour,
                                GUI_COLOUR highlight) {
    if (width <= 0 || height <= 0) return;
    const int half = width / 2;
    const int y1 = y + height - 1;
    if (half > 0) GUI_FillGradientH(x, y, x + half - 1, y1, colour, highlight);
    GUI_FillGradientH(x + half, y, x + width - 1, y1, highlight, colour);
}

void uguibattery_LyingSegment(int x, int y, int width, int height, GUI_COLOUR colour,
                              GUI_COLOUR highlight) {
    if (width <= 0 || height <= 0) return;
    const int half = height / 2;
    const int x1 = x + width - 1;
    if (half > 0) GUI_FillGradientV(x, y, x1, y + half - 1, colour, highlight);
    GUI_FillGradientV(x, y + half, x1, y + height - 1, highlight, colour);
}

int uguibattery_DrawUpright(const ELEMENT_PARAMS* p) {
    if (CheckParams(p, false) != 0) return -1;
    const BATTERY_LAYOUT l = uguibattery_UprightLayout(p);
    const int32_t x0 = p->x0, y0 = p->y0, w = p->xSize, h = p->ySize;

    GUI_FillRoundRectGradient(x0, y0 + l.terminal_h, x0 + w, y0 + h, 5, ELEMENT_GREY,
                              ELEMENT_DARK_GREY);
    GUI_SetDrawColor(ELEMENT_GREY);
    const int tx = x0 + w / 2 - l.terminal_w / 2;
    GUI_FillRoundRectAA(tx, y0, tx + l.terminal_w, y0 + l.terminal_h, 1);

    GUI_COLOUR colour = uguibattery_StartColour(p->value, p->t1, p->t2);
    int yb = l.first;
    for (int32_t i = 0; i < l.lit; ++i) {
        colour = uguibattery_SegmentColour(i, colour, l);
        uguibattery_UprightSegment(x0 + l.margin_x, yb - l.pitch + 1, w - 2 * l.margin_x,
                                   l.pitch - 3, colour, ELEMENT_WHITE);
        yb -= l.pitch;
    }

    ElementFontGuard font(&p->value_font);
    char text[64];
    ELEMENT_FormatValue(text, sizeof text, p->format, p->value, p->offset, p->divisor);
    GUI_SetTextDrawMode(GUI_TEXTMODE_TRANSPARENT);
    GUI_SetBackColor(0xFF000000);
    GUI_EnableAlphaBlending(1);
    GUI_SetDrawColor(colour);
    GUI_PrintCenteredAt(text, x0 + w / 2, y0 + l.terminal_h + 2);
    GUI_EnableAlphaBlending(0);
    return 0;
}

int uguibattery_DrawLying(const ELEMENT_PARAMS* p) {
    if (CheckParams(p, true) != 0) return -1;
    const BATTERY_LAYOUT l = uguibattery_LyingLayout(p);
    const int32_t x0 = p->x0, y0 = p->y0, w = p->xSize, h = p->ySize;

    GUI_FillRoundRectGradient(x0 + l.terminal_w, y0, x0 + w, y0 + h, 5, ELEMENT_GREY,
                              ELEMENT_DARK_GREY);
    GUI_SetDrawColor(ELEMENT_RED);
    const int ty = y0 + h / 2 - l.terminal_h / 2;
    GUI_FillRoundRectAA(x0, ty, x0 + l.terminal_w, ty + l.terminal_h, 1);

    GUI_COLOUR colour = uguibattery_StartColour(p->value, p->t1, p->t2);
    int xr = l.first;
    for (int32_t i = 0; i < l.lit; ++i) {
        colour = uguibattery_SegmentColour(i, colour, l);
        xr -= l.pitch;
        uguibattery_LyingSegment(xr + 1, y0 + l.margin_x, l.pitch - 3, h - 2 * l.margin_x, colour,
                                 ELEMENT_WHITE);
    }
    return 0;
}
