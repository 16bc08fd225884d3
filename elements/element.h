// The other drawn elements: fill-level tank, indicator lamp and pictograms (charging battery,
// light bulb, solar panel, sun with rays that grow in three phases).
#pragma once

#include "elements/element_params.h"

// Tank with a wavy water surface at value percent and the value in a box coloured by t1..t4.
void ELEMENT_DrawLevel(const LEVEL_PARAMS* params);
// Lamp with a coloured border and label. Its rectangle, taken as screen coordinates, is
// invalidated for all windows so that whatever covers it is drawn again after this paint.
void ELEMENT_DrawIndicator(const INDICATOR_PARAMS* params);
// Blink phase = not blink phase.
void ELEMENT_ToggleBlink(INDICATOR_PARAMS* params);

// Battery body w x h at (x, y), terminal above it, lightning bolt yellow when charging.
void ELEMENT_DrawChargingBattery(int x, int y, int width, int height, int charging);
// Bulb base of five bars from (x, y) down; glass and neck above y; yellow when lit.
void ELEMENT_DrawBulb(int x, int y, int width, int bar_height, int gap, int lit);
// 4 x 4 cells of cell x cell pixels, pitch cell + gap.
void ELEMENT_DrawSolarPanel(int x, int y, int cell, int gap);
// Yellow disc of the radius; rays of length 0, ray_length / 2 or ray_length by the sun phase.
void ELEMENT_DrawSun(int x, int y, int radius, int ray_length);
// Sun phase 0 -> 1 -> 2 -> 0 (one global phase shared by every sun).
void ELEMENT_AdvanceSunPhase();
int ELEMENT_GetSunPhase();
