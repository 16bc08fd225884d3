#include "elements/element.h"

void ELEMENT_DrawLevel(const LEVEL_PARAMS*) {}
void ELEMENT_DrawIndicator(const INDICATOR_PARAMS*) {}
void ELEMENT_ToggleBlink(INDICATOR_PARAMS* params) { params->blink_phase = !params->blink_phase; }
void ELEMENT_DrawChargingBattery(int, int, int, int, int) {}
void ELEMENT_DrawBulb(int, int, int, int, int, int) {}
void ELEMENT_DrawSolarPanel(int, int, int, int) {}
void ELEMENT_DrawSun(int, int, int, int) {}
void ELEMENT_AdvanceSunPhase() {}
int ELEMENT_GetSunPhase() { return 0; }
