// The arithmetic of the drawn elements (sizes, segment counts, angles, arc plans, shapes),
// apart from the drawing so that it can be checked without pixels. Integer division
// throughout, as the elements draw.
#pragma once

#include "elements/element_params.h"

#include <cstdint>

// ---- Battery ----------------------------------------------------------------------------------

struct BATTERY_LAYOUT {
    int32_t segments;   // N
    int32_t lit;        // segments to light, 0 to N
    int32_t n_red;      // segment index from which segments are red
    int32_t n_yellow;   // ... yellow
    int32_t terminal_w; // terminal width and height
    int32_t terminal_h;
    int32_t margin_x; // upright: side margin; lying: margin above and below the segments
    int32_t margin_y; // upright: end margin
    int32_t pitch;    // segment height (upright) or width (lying), gap included
    int32_t first;    // upright: bottom edge of the lowest segment; lying: right edge
};

// The layout of a record that passed the checks.
BATTERY_LAYOUT uguibattery_UprightLayout(const ELEMENT_PARAMS* p);
BATTERY_LAYOUT uguibattery_LyingLayout(const ELEMENT_PARAMS* p);
// Red below t1, yellow below t2, else green.
GUI_COLOUR uguibattery_StartColour(int32_t value, int32_t t1, int32_t t2);
// The colour of lit segment i, given the colour of the one before (the start colour for 0).
GUI_COLOUR uguibattery_SegmentColour(int32_t i, GUI_COLOUR before, const BATTERY_LAYOUT& l);

// ---- Gauge ------------------------------------------------------------------------------------

struct GAUGE_RING {
    int cx, cy, rx, ry;
};
struct GAUGE_ARC {
    int64_t a0, a1; // counter-clockwise from a0 to a1, degrees
    GUI_COLOUR colour;
};
// What a value arc routine draws: up to three arcs in order, then the text in text_colour.
struct GAUGE_PLAN {
    int count;
    GAUGE_ARC arc[3];
    GUI_COLOUR text_colour;
};

GAUGE_RING uguigauge_Ring(const ELEMENT_PARAMS* p);
// The captioned form: the ring over the element's height less font_height + ring width + 4,
// the caption box's top in *box_y.
GAUGE_RING uguigauge_CaptionedRing(const ELEMENT_PARAMS* p, int font_height, int* box_y);
// Top of the value text: mode 0 half the vertical radius above the centre, 1 the text centred,
// 2 three quarters of the radius above; other modes like 0.
int uguigauge_LabelY(int32_t mode, const GAUGE_RING& ring, int font_height);
// A value as the value arc routines see it: compared value v, signed value s (its sign gives
// the direction), the value's angle a and the angles of the thresholds on the same scale.
struct GAUGE_VALUE {
    int32_t v, s, a;
    int32_t t4, t3, t2, t1;
    int32_t a4, a3; // angles of t4 and t3
    int32_t a2, a1; // signed form, negative values: angles of |t2| and |t1|
};
// The range forms: clockwise from the top for s >= 0, counter-clockwise for s < 0, red at or
// below t1, green above t2, else yellow; overdrawn yellow from t4's angle and red from t3's
// when v reaches them. The text takes the colour set last.
GAUGE_PLAN uguigauge_PlanRange(const GAUGE_VALUE& g);
// The signed form: as the range forms for s >= 0. For s < 0 (a is the angle of |s| on the
// scale of |min|) the arc runs counter-clockwise from the top, green unless s reaches t3 (red)
// or t4 (yellow), overdrawn yellow from |t2|'s angle when s <= t2 and red from |t1|'s angle
// when s <= t1.
GAUGE_PLAN uguigauge_PlanSigned(const GAUGE_VALUE& g);
// An arc as the toolkit's arc routine takes it: false when nothing is drawn; a sweep of a
// full turn or more becomes exactly one turn, so that any angles stay in int range.
bool uguigauge_ArcSpan(int64_t a0, int64_t a1, int* start, int* end);

// ---- Thermometer ------------------------------------------------------------------------------

struct THERMO_LAYOUT {
    int32_t glass;        // b, the glass width
    int32_t glass_length; // the glass's length (the element's height, or less the value box)
    int32_t scale;        // L, the scale's length
    int32_t mercury;      // m, 0 to L
    int32_t mercury_top;  // y0 + L - m
};
THERMO_LAYOUT uguithermometer_SideLayout(const THERMO_PARAMS* p);
THERMO_LAYOUT uguithermometer_BottomLayout(const THERMO_PARAMS* p, int font_height);
GUI_COLOUR uguithermometer_MercuryColour(const THERMO_PARAMS* p);

struct THERMO_SHAPE {
    int bulb_y, bulb_r;                     // bulb centre (x is cx) and radius
    int tube_x0, tube_y0, tube_x1, tube_y1; // the tube's rounded rectangle
    int tube_r;
};
THERMO_SHAPE uguithermometer_ShapeOf(int cx, int top, int width, int length);

// ---- Tank, lamp, pictograms -------------------------------------------------------------------

// The water surface's y for level p percent (held to 0..100 so the water stays in the tank).
int ELEMENT_LevelSurface(int32_t y0, int32_t height, int32_t percent);
int ELEMENT_LevelWaveCount(int32_t width);
int ELEMENT_LevelWaveX(int32_t x0, int32_t width, int i); // centre of wave i
GUI_COLOUR ELEMENT_LevelColour(int32_t percent, int32_t t1, int32_t t2, int32_t t3, int32_t t4);
GUI_COLOUR ELEMENT_IndicatorColour(const INDICATOR_PARAMS* p);

// The lightning bolt's seven points around its foot, for a body width x height (drawn
// exactly as described at 50 wide, the other widths scaled).
void ELEMENT_BoltPoints(int width, int height, GUI_POINT points[7]);
struct BULB_LAYOUT {
    int glass_x, glass_y, glass_r; // the glass circle
    int neck_k, neck_t;            // neck widening on each side and its (negative) height
    int bar_y[5];                  // tops of the five base bars
};
BULB_LAYOUT ELEMENT_BulbLayout(int x, int y, int width, int bar_height, int gap);
// Ray length of the sun in a phase: 0, half the length, the length.
int ELEMENT_SunRayLength(int phase, int ray_length);
// The eight rays as start and end points.
void ELEMENT_SunRays(int x, int y, int radius, int length, GUI_POINT from[8], GUI_POINT to[8]);
