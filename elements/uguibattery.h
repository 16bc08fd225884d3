// Battery element: a battery whose segments light with the state of charge, coloured by
// thresholds. Draws only, keeps no state; call it while painting a window.
#pragma once

#include "elements/element_params.h"

// Upright, terminal on top, value text on the body. 0 when drawn, -1 (nothing drawn, a
// parameter report) when the record is refused.
int uguibattery_DrawUpright(const ELEMENT_PARAMS* params);
// Lying, terminal (red) on the left, filling from the right, no text. 0 or -1 as above.
int uguibattery_DrawLying(const ELEMENT_PARAMS* params);

// One segment as a shaded cylinder: the left half a horizontal gradient from colour to
// highlight, the right half back to colour.
void uguibattery_UprightSegment(int x, int y, int width, int height, GUI_COLOUR colour,
                                GUI_COLOUR highlight);
// The same lying: upper half a vertical gradient from colour to highlight, lower half back.
void uguibattery_LyingSegment(int x, int y, int width, int height, GUI_COLOUR colour,
                              GUI_COLOUR highlight);
