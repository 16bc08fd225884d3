#include "elements/uguigauge.h"

#include "elements/element_common.h"
#include "elements/element_layout.h"
#include "elements/element_report.h"
#include "gui/toolkit/draw/gui_draw.h"
#include "gui/toolkit/gui_font.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr const char* kModule = "elements/uguigauge";
constexpr int32_t kTop = 90;      // the scale starts at the top ...
constexpr int32_t kFullTop = 450; // ... and ends there after a full turn

int32_t Abs32(int32_t v) {
    return v < 0 ? (v == INT32_MIN ? INT32_MAX : -v) : v;
}

// Line width, text mode, ring colour and the value font, as every form starts.
void CommonSetUp(const ELEMENT_PARAMS* p) {
    GUI_SetLineWidth(static_cast<uint8_t>(std::clamp(p->ring_width, 0, 255)));
    GUI_SetTextDrawMode(GUI_TEXTMODE_TRANSPARENT);
    GUI_SetDrawColor(ELEMENT_DARK_GREY);
}

// The linear map of uguigauge_MapLinear; an empty input range gives -1 without a report.
int32_t MapQuiet(float v, float in0, float in1, float out0, float out1) {
    if (in1 == in0) return -1;
    const float r = (out1 - out0) / (in1 - in0) * (v - in0) + out0;
    if (std::isnan(r)) return -1;
    // Held to int range before truncating: a value far off the scale is a full turn anyway.
    if (r >= 2147483520.0f) return INT32_MAX;
    if (r <= -2147483648.0f) return INT32_MIN;
    return static_cast<int32_t>(r);
}

int32_t Map(bool report, float v, float in0, float in1, float out0, float out1) {
    return report ? uguigauge_MapLinear(v, in0, in1, out0, out1)
                  : MapQuiet(v, in0, in1, out0, out1);
}

// Whether this drawing reports an empty range lo..hi. A gauge with a place reports it once
// there until the range changes (a poll that never reads the range registers would otherwise
// write it on every repaint); the threshold angles on the same range report nothing more.
bool ReportsEmptyRange(const ELEMENT_PARAMS* p, int32_t lo, int32_t hi) {
    if (lo != hi) {
        ELEMENT_EmptyRangeForget(p->report_key);
        return true;
    }
    return ELEMENT_EmptyRangeReportDue(p->report_key, lo, hi);
}

void DrawArc(const GAUGE_RING& r, int64_t a0, int64_t a1) {
    int start = 0, end = 0;
    if (uguigauge_ArcSpan(a0, a1, &start, &end)) GUI_DrawArcAA(r.cx, r.cy, r.rx, r.ry, start, end);
}

void DrawPlan(const GAUGE_PLAN& plan, const GAUGE_RING& ring, int label_y, const char* format,
              int32_t s, int32_t divisor, int32_t offset) {
    for (int i = 0; i < plan.count; ++i) {
        GUI_SetDrawColor(plan.arc[i].colour);
        DrawArc(ring, plan.arc[i].a0, plan.arc[i].a1);
    }
    char text[64];
    ELEMENT_FormatValue(text, sizeof text, format, s, offset, divisor);
    GUI_SetDrawColor(plan.text_colour);
    GUI_PrintCenteredAt(text, ring.cx, label_y);
}

void AddArc(GAUGE_PLAN* plan, int64_t a0, int64_t a1, GUI_COLOUR colour) {
    plan->arc[plan->count++] = GAUGE_ARC{a0, a1, colour};
    plan->text_colour = colour;
}

// The value arc clockwise from the top to the value's angle, with its overlays.
GAUGE_PLAN PlanPositive(const GAUGE_VALUE& g) {
    GAUGE_PLAN plan{};
    const GUI_COLOUR colour =
        g.v <= g.t1 ? ELEMENT_RED : (g.v > g.t2 ? ELEMENT_GREEN : ELEMENT_YELLOW);
    const int64_t end = 2 * int64_t{kTop} - g.a; // the value's angle mirrored about the top
    AddArc(&plan, end, kTop, colour);
    if (g.v >= g.t4) AddArc(&plan, end, 2 * int64_t{kTop} - g.a4, ELEMENT_YELLOW);
    if (g.v >= g.t3) AddArc(&plan, end, 2 * int64_t{kTop} - g.a3, ELEMENT_RED);
    return plan;
}

} // namespace

int32_t uguigauge_MapLinear(float v, float in0, float in1, float out0, float out1) {
    ELEMENT_CHECK(in1 != in0, kModule, -1);
    return MapQuiet(v, in0, in1, out0, out1);
}

bool uguigauge_ArcSpan(int64_t a0, int64_t a1, int* start, int* end) {
    if (a1 <= a0) return false;
    const int64_t s = ((a0 % 360) + 360) % 360;
    *start = static_cast<int>(s);
    *end = static_cast<int>(s + std::min<int64_t>(a1 - a0, 360));
    return true;
}

GAUGE_RING uguigauge_Ring(const ELEMENT_PARAMS* p) {
    return GAUGE_RING{p->x0 + p->xSize / 2, p->y0 + p->ySize / 2, (p->xSize - p->ring_width) / 2,
                      (p->ySize - p->ring_width) / 2};
}

GAUGE_RING uguigauge_CaptionedRing(const ELEMENT_PARAMS* p, int font_height, int* box_y) {
    const int hr = p->ySize - font_height - p->ring_width - 4;
    if (box_y != nullptr) *box_y = p->y0 + hr + p->ring_width + 4;
    return GAUGE_RING{p->x0 + p->xSize / 2, p->y0 + (hr + p->ring_width) / 2,
                      (p->xSize - p->ring_width) / 2, hr / 2};
}

int uguigauge_LabelY(int32_t mode, const GAUGE_RING& ring, int font_height) {
    if (mode == 1) return ring.cy - font_height / 2;
    if (mode == 2) return ring.cy - ring.ry * 3 / 4;
    return ring.cy - ring.ry / 2;
}

GAUGE_PLAN uguigauge_PlanRange(const GAUGE_VALUE& g) {
    if (g.s >= 0) return PlanPositive(g);
    GAUGE_PLAN plan{};
    const GUI_COLOUR colour =
        g.v <= g.t1 ? ELEMENT_RED : (g.v > g.t2 ? ELEMENT_GREEN : ELEMENT_YELLOW);
    AddArc(&plan, kTop, g.a, colour);
    if (g.v >= g.t4) AddArc(&plan, g.a4, g.a, ELEMENT_YELLOW);
    if (g.v >= g.t3) AddArc(&plan, g.a3, g.a, ELEMENT_RED);
    return plan;
}

GAUGE_PLAN uguigauge_PlanSigned(const GAUGE_VALUE& g) {
    if (g.s >= 0) return PlanPositive(g);
    GAUGE_PLAN plan{};
    const GUI_COLOUR colour =
        g.v >= g.t3 ? ELEMENT_RED : (g.v < g.t4 ? ELEMENT_GREEN : ELEMENT_YELLOW);
    AddArc(&plan, kTop, g.a, colour);
    if (g.s <= g.t2) AddArc(&plan, g.a2, g.a, ELEMENT_YELLOW);
    if (g.s <= g.t1) AddArc(&plan, g.a1, g.a, ELEMENT_RED);
    return plan;
}

namespace {

// The value arcs of the two families; `report` false maps thresholds on an empty range
// without a report (a keyed gauge reported that range already, or not at all).
int ArcRange(bool report, int32_t label_mode, int32_t v, int32_t angle, int32_t in0, int32_t in1,
             int32_t a_start, int32_t a_end, const char* format, const GAUGE_RING& ring, int32_t s,
             int32_t t4, int32_t t3, int32_t t2, int32_t t1, int32_t divisor, int32_t offset) {
    ELEMENT_CHECK(divisor != 0, kModule, -1);
    GAUGE_VALUE g{v, s, angle, t4, t3, t2, t1, 0, 0, 0, 0};
    g.a4 = Map(report, float(t4), float(in0), float(in1), float(a_start), float(a_end));
    g.a3 = Map(report, float(t3), float(in0), float(in1), float(a_start), float(a_end));
    DrawPlan(uguigauge_PlanRange(g), ring, uguigauge_LabelY(label_mode, ring, GUI_GetFontHeight()),
             format, s, divisor, offset);
    return 0;
}

int ArcSigned(bool report, int32_t label_mode, int32_t v, int32_t angle, int32_t in0, int32_t in1,
              int32_t a_start, int32_t a_end, const char* format, const GAUGE_RING& ring, int32_t s,
              int32_t t4, int32_t t3, int32_t t2, int32_t t1, int32_t divisor, int32_t offset) {
    ELEMENT_CHECK(divisor != 0, kModule, -1);
    auto map = [&](int32_t t) {
        return Map(report, float(t), float(in0), float(in1), float(a_start), float(a_end));
    };
    GAUGE_VALUE g{v, s, angle, t4, t3, t2, t1, 0, 0, 0, 0};
    if (s >= 0) {
        g.a4 = map(t4);
        g.a3 = map(t3);
    } else {
        // Negative values run on the magnitude scale, so do their thresholds.
        g.a2 = map(Abs32(t2));
        g.a1 = map(Abs32(t1));
    }
    const int32_t mode = label_mode == 1 ? 1 : 0;
    DrawPlan(uguigauge_PlanSigned(g), ring, uguigauge_LabelY(mode, ring, GUI_GetFontHeight()),
             format, s, divisor, offset);
    return 0;
}

} // namespace

int uguigauge_ValueArcRange(int32_t label_mode, int32_t v, int32_t angle, int32_t in0, int32_t in1,
                            int32_t a_start, int32_t a_end, const char* format, int cx, int cy,
                            int rx, int ry, int32_t s, int32_t t4, int32_t t3, int32_t t2,
                            int32_t t1, int32_t divisor, int32_t offset) {
    return ArcRange(true, label_mode, v, angle, in0, in1, a_start, a_end, format,
                    GAUGE_RING{cx, cy, rx, ry}, s, t4, t3, t2, t1, divisor, offset);
}

int uguigauge_ValueArcSigned(int32_t label_mode, int32_t v, int32_t angle, int32_t in0, int32_t in1,
                             int32_t a_start, int32_t a_end, const char* format, int cx, int cy,
                             int rx, int ry, int32_t s, int32_t t4, int32_t t3, int32_t t2,
                             int32_t t1, int32_t divisor, int32_t offset) {
    return ArcSigned(true, label_mode, v, angle, in0, in1, a_start, a_end, format,
                     GAUGE_RING{cx, cy, rx, ry}, s, t4, t3, t2, t1, divisor, offset);
}

int uguigauge_DrawSigned(ELEMENT_PARAMS* p) {
    ELEMENT_CHECK(p != nullptr, kModule, -1);
    ELEMENT_CHECK(p->divisor != 0, kModule, -1);
    // Positive values on 0..max, negative ones by their magnitude on 0..|min|.
    const bool negative = p->value < 0;
    const int32_t range = negative ? Abs32(p->min) : p->max;
    const float magnitude = negative ? std::fabs(float(p->value)) : float(p->value);
    const bool report = ReportsEmptyRange(p, 0, range);
    const int32_t angle = Map(report, magnitude, 0.0f, float(range), float(kTop), float(kFullTop));

    ElementFontGuard font(&p->value_font);
    CommonSetUp(p);
    const GAUGE_RING ring = uguigauge_Ring(p);
    GUI_DrawArcAA(ring.cx, ring.cy, ring.rx, ring.ry, kTop, kFullTop);

    if (p->t3 < p->t4) std::swap(p->t3, p->t4);
    if (p->t2 < p->t1) std::swap(p->t1, p->t2);
    return ArcSigned(p->report_key == 0, p->label_mode, p->value, angle, 0, range, kTop, kFullTop,
                     p->format, ring, p->value, p->t4, p->t3, p->t2, p->t1, p->divisor, p->offset);
}

int uguigauge_DrawRange(const ELEMENT_PARAMS* p) {
    ELEMENT_CHECK(p != nullptr, kModule, -1);
    ELEMENT_CHECK(p->divisor != 0, kModule, -1);
    const bool report = ReportsEmptyRange(p, p->min, p->max);
    const int32_t angle = Map(report, std::fabs(float(p->value)), float(p->min), float(p->max),
                              float(kTop), float(kFullTop));
    ElementFontGuard font(&p->value_font);
    CommonSetUp(p);
    const GAUGE_RING ring = uguigauge_Ring(p);
    GUI_DrawArcAA(ring.cx, ring.cy, ring.rx, ring.ry, kTop, kFullTop);
    return ArcRange(p->report_key == 0, p->label_mode, p->value, angle, p->min, p->max, kTop,
                    kFullTop, p->format, ring, p->value, p->t4, p->t3, p->t2, p->t1, p->divisor,
                    p->offset);
}

int uguigauge_DrawCaptioned(const ELEMENT_PARAMS* p) {
    ELEMENT_CHECK(p != nullptr, kModule, -1);
    ELEMENT_CHECK(p->divisor != 0, kModule, -1);
    const int32_t magnitude = Abs32(p->value);
    const bool report = ReportsEmptyRange(p, p->min, p->max);
    const int32_t angle =
        Map(report, float(magnitude), float(p->min), float(p->max), float(kTop), float(kFullTop));
    int box_y = 0;
    {
        ElementFontGuard font(&p->value_font);
        CommonSetUp(p);
        const int fh = GUI_GetFontHeight();
        const GAUGE_RING ring = uguigauge_CaptionedRing(p, fh, &box_y);
        GUI_DrawArcAA(ring.cx, ring.cy, ring.rx, ring.ry, kTop, kFullTop);
        ArcRange(p->report_key == 0, p->label_mode, magnitude, angle, p->min, p->max, kTop,
                 kFullTop, p->format, ring, p->value, p->t4, p->t3, p->t2, p->t1, p->divisor,
                 p->offset);
        ElementFontGuard caption(&p->caption_font);
        // A caption wider than its box steps down to a smaller font instead of being cut.
        GUI_SelectFont(uguigauge_CaptionFont(p->caption, p->xSize, GUI_SelectFont(nullptr)));
        uguigauge_CaptionBox(p->x0, box_y, p->xSize, fh, p->caption);
    }
    return 0;
}

const GUI_FONTDEF* uguigauge_CaptionFont(const char* text, int width, const GUI_FONTDEF* font) {
    static const GUI_FONTDEF* const kSteps[] = {&FONT_16B, &FONT_13B, &FONT_13, &FONT_10};
    const GUI_FONTDEF* first = font != nullptr ? font : kSteps[0];
    if (text == nullptr) return first;
    const int room = width - 2 * UGUIGAUGE_CAPTION_MARGIN;
    const GUI_FONTDEF* previous = GUI_SelectFont(first);
    const GUI_FONTDEF* chosen = first;
    if (GUI_GetTextWidth(text) > room) {
        // Down the steps smaller than the first font; the smallest when none fits.
        const int first_height = GUI_GetFontHeight();
        for (const GUI_FONTDEF* step : kSteps) {
            GUI_SelectFont(step);
            if (GUI_GetFontHeight() > first_height || step == first) continue;
            chosen = step;
            if (GUI_GetTextWidth(text) <= room) break;
        }
    }
    GUI_SelectFont(previous);
    return chosen;
}

void uguigauge_CaptionBox(int x, int y, int width, int height, const char* text) {
    GUI_SetDrawColor(ELEMENT_GREY);
    GUI_FillRoundRectAA(x, y, x + width, y + height, 5);
    GUI_SetDrawColor(ELEMENT_BLACK);
    GUI_PrintCenteredAt(text, x + width / 2, y + height / 2 - GUI_GetFontHeight() / 2);
}
