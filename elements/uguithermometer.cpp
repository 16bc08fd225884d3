#include "elements/uguithermometer.h"

int uguithermometer_DrawSideValue(const THERMO_PARAMS*) { return -1; }
int uguithermometer_DrawBottomValue(const THERMO_PARAMS*) { return -1; }
void uguithermometer_Shape(int, int, int, int) {}
