// Gauge element: a round or elliptic ring with a value arc growing from the top (clockwise
// for positive values, counter-clockwise for negative ones), threshold overlays and the value
// text inside. Angles in degrees, 0 to the right, counter-clockwise; the scale runs from 90
// (the top) to 450 (the top again).
#pragma once

#include "elements/element_params.h"
#include "gui/toolkit/gui_font.h"

#include <cstdint>

// Positive values on 0..max, negative ones on 0..|min|. Puts t3/t4 and t1/t2 into order in
// the caller's record. 0, or -1 when refused (divisor 0).
int uguigauge_DrawSigned(ELEMENT_PARAMS* params);
// The magnitude of the value over min..max; thresholds used as they stand.
int uguigauge_DrawRange(const ELEMENT_PARAMS* params);
// The range gauge with a caption box (caption font, caption text) under the ring.
int uguigauge_DrawCaptioned(const ELEMENT_PARAMS* params);

// (out1 - out0) / (in1 - in0) x (v - in0) + out0 in single precision, truncated; -1 after a
// parameter report when in1 equals in0.
int32_t uguigauge_MapLinear(float v, float in0, float in1, float out0, float out1);

// Value arc, overlays and text of the range forms: v is the compared value, s the signed
// value shown and giving the direction, angle the value's angle. Thresholds in the order
// t4, t3, t2, t1. 0, or -1 when the divisor is 0.
int uguigauge_ValueArcRange(int32_t label_mode, int32_t v, int32_t angle, int32_t in0, int32_t in1,
                            int32_t a_start, int32_t a_end, const char* format, int cx, int cy,
                            int rx, int ry, int32_t s, int32_t t4, int32_t t3, int32_t t2,
                            int32_t t1, int32_t divisor, int32_t offset);
// The same for the signed form, label modes 0 and 1 (2 is placed like 0). For a negative s
// the angle is that of |s| on in0..in1 (0..|min|).
int uguigauge_ValueArcSigned(int32_t label_mode, int32_t v, int32_t angle, int32_t in0, int32_t in1,
                             int32_t a_start, int32_t a_end, const char* format, int cx, int cy,
                             int rx, int ry, int32_t s, int32_t t4, int32_t t3, int32_t t2,
                             int32_t t1, int32_t divisor, int32_t offset);

// A caption keeps this many pixels to each end of its box, clear of the rounded corners.
constexpr int UGUIGAUGE_CAPTION_MARGIN = 2;
// The font of a caption in a box `width` wide: `font` when the text fits, else the first of
// FONT_16B, FONT_13B, FONT_13 and FONT_10 (those not higher than `font`) in which it fits, and
// FONT_10 when none does. The selected font is left as it was.
const GUI_FONTDEF* uguigauge_CaptionFont(const char* text, int width, const GUI_FONTDEF* font);

// Grey rounded box with the text centred in black in the current font.
void uguigauge_CaptionBox(int x, int y, int width, int height, const char* text);
