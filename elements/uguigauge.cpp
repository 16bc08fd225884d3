#include "elements/uguigauge.h"

int uguigauge_DrawSigned(ELEMENT_PARAMS*) { return -1; }
int uguigauge_DrawRange(const ELEMENT_PARAMS*) { return -1; }
int uguigauge_DrawCaptioned(const ELEMENT_PARAMS*) { return -1; }
int32_t uguigauge_MapLinear(float, float, float, float, float) { return -1; }
int uguigauge_ValueArcRange(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                            const char*, int, int, int, int, int32_t, int32_t, int32_t, int32_t,
                            int32_t, int32_t, int32_t) {
    return -1;
}
int uguigauge_ValueArcSigned(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                             const char*, int, int, int, int, int32_t, int32_t, int32_t, int32_t,
                             int32_t, int32_t, int32_t) {
    return -1;
}
void uguigauge_CaptionBox(int, int, int, int, const char*) {}
