#include "elements/uguibattery.h"

int uguibattery_DrawUpright(const ELEMENT_PARAMS*) { return -1; }
int uguibattery_DrawLying(const ELEMENT_PARAMS*) { return -1; }
void uguibattery_UprightSegment(int, int, int, int, GUI_COLOUR, GUI_COLOUR) {}
void uguibattery_LyingSegment(int, int, int, int, GUI_COLOUR, GUI_COLOUR) {}
