// Thermometer element: a glass with a bulb and a tube, mercury coloured by temperature
// thresholds, the unit text and the value in a grey box.
#pragma once

#include "elements/element_params.h"

// Value box at the top right of the glass. 0, or -1 (nothing drawn, a parameter report) when
// scale top equals scale bottom or the divisor is 0.
int uguithermometer_DrawSideValue(const THERMO_PARAMS* params);
// Value box across the element's bottom, in the font selected by the caller. 0 or -1.
int uguithermometer_DrawBottomValue(const THERMO_PARAMS* params);
// A filled thermometer shape in the current colour: a round bulb of the given width at the
// bottom and a tube a third as wide up to top.
void uguithermometer_Shape(int cx, int top, int width, int length);
