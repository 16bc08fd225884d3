// Parameter records of the drawn elements. A device page fills one per element from the
// device's registers and the type's layout and hands it to the element's drawing routine.
#pragma once

#include "gui/toolkit/draw/gui_context.h"
#include "gui/toolkit/gui_font.h"

#include <cstdint>

// Battery, gauge and level. Values, ranges and thresholds are in the device's raw units; the
// value text shows (value + offset) / divisor.
struct ELEMENT_PARAMS {
    int32_t x0; // top-left corner, coordinates of the window being painted
    int32_t y0;
    int32_t xSize;
    int32_t ySize;
    int32_t value;
    int32_t min;
    int32_t max;
    GUI_FONTDEF value_font; // a copy; the element selects it
    const char* format;     // printf format with one int (divisor 1) or one double conversion
    // Battery: below t1 all red, below t2 all yellow, segments from t3's index on red, from
    // t4's index on yellow. Gauge: arc red at or below t1, green above t2, overdrawn red
    // beyond t3 and yellow beyond t4. Level: percent.
    int32_t t1;
    int32_t t2;
    int32_t t3;
    int32_t t4;
    int32_t divisor; // 1: the text shows the integer value + offset
    int32_t offset;
    int32_t ring_width; // gauge: line width of the ring and the arcs
    int32_t label_mode; // gauge: 0 half the radius above the centre, 1 centred, 2 three quarters
    GUI_FONTDEF caption_font; // captioned gauge only
    const char* caption;
    // Gauge: where it is drawn (the page's device and element), so that an empty range is
    // reported once there until it changes; 0 reports it at every drawing.
    uint32_t report_key;
};

// The tank uses x0, y0, xSize, ySize, value (percent) and t1 to t4 (percent).
using LEVEL_PARAMS = ELEMENT_PARAMS;

struct THERMO_PARAMS {
    int32_t x0;
    int32_t y0;
    int32_t xSize;
    int32_t ySize;
    int32_t value;
    int32_t scale_top;    // value at the top of the scale
    int32_t scale_bottom; // value at the bulb
    const char* format;
    const char* unit_text;
    int32_t very_cold; // below: dark blue
    int32_t cold;      // below: blue
    int32_t hot;       // above: red
    int32_t warm;      // above: yellow; otherwise green
    int32_t divisor;
    int32_t offset;
};

// Indicator lamp states.
constexpr uint32_t INDICATOR_NORMAL = 0;
constexpr uint32_t INDICATOR_ON = 1;
constexpr uint32_t INDICATOR_BLINKING = 2;

struct INDICATOR_PARAMS {
    int32_t x0; // screen coordinates are used for the invalidation (see ELEMENT_DrawIndicator)
    int32_t y0;
    int32_t xSize;
    int32_t ySize;
    uint32_t state;   // INDICATOR_NORMAL, INDICATOR_ON or INDICATOR_BLINKING
    GUI_FONTDEF font; // a copy: the label font
    const char* label;
    GUI_COLOUR colour1;   // normal colour (and blink phase 1)
    GUI_COLOUR colour2;   // state on
    GUI_COLOUR colour3;   // blink phase 0
    int32_t border;       // width of the coloured border
    uint32_t blink_phase; // 0 or 1
};
