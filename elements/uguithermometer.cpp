#include "elements/uguithermometer.h"

#include "elements/element_common.h"
#include "elements/element_layout.h"
#include "gui/toolkit/draw/gui_draw.h"

#include <algorithm>

namespace {

constexpr const char* kModule = "elements/uguithermometer";

// Mercury height on a scale of the given length, held to the glass: a value beyond the scale
// fills it or empties it rather than drawing outside the element.
int32_t Mercury(const THERMO_PARAMS* p, int32_t scale) {
    const int64_t m = (static_cast<int64_t>(p->value) - p->scale_bottom) * scale /
                      (static_cast<int64_t>(p->scale_top) - p->scale_bottom);
    return static_cast<int32_t>(std::clamp<int64_t>(m, 0, std::max(scale, 0)));
}

THERMO_LAYOUT Layout(const THERMO_PARAMS* p, int32_t glass_length) {
    THERMO_LAYOUT l{};
    l.glass = p->xSize / 4;
    l.glass_length = glass_length;
    l.scale = glass_length - l.glass / 4 - l.glass / 2;
    l.mercury = Mercury(p, l.scale);
    l.mercury_top = p->y0 + l.scale - l.mercury;
    return l;
}

} // namespace

THERMO_LAYOUT uguithermometer_SideLayout(const THERMO_PARAMS* p) {
    return Layout(p, p->ySize);
}

THERMO_LAYOUT uguithermometer_BottomLayout(const THERMO_PARAMS* p, int font_height) {
    return Layout(p, p->ySize - font_height - 4);
}

GUI_COLOUR uguithermometer_MercuryColour(const THERMO_PARAMS* p) {
    if (p->value < p->very_cold) return ELEMENT_DARK_BLUE;
    if (p->value < p->cold) return ELEMENT_BLUE;
    if (p->value > p->hot) return ELEMENT_RED;
    if (p->value > p->warm) return ELEMENT_YELLOW;
    return ELEMENT_GREEN;
}

THERMO_SHAPE uguithermometer_ShapeOf(int cx, int top, int width, int length) {
    THERMO_SHAPE s{};
    s.bulb_y = top + length - width / 2;
    s.bulb_r = width / 2;
    s.tube_r = width / 6;
    s.tube_x0 = cx - width / 6;
    s.tube_y0 = top;
    s.tube_x1 = cx + width / 6;
    s.tube_y1 = s.bulb_y;
    return s;
}

void uguithermometer_Shape(int cx, int top, int width, int length) {
    const THERMO_SHAPE s = uguithermometer_ShapeOf(cx, top, width, length);
    GUI_FillCircleAA(cx, s.bulb_y, s.bulb_r);
    GUI_FillRoundRectAA(s.tube_x0, s.tube_y0, s.tube_x1, s.tube_y1, s.tube_r);
}

int uguithermometer_DrawSideValue(const THERMO_PARAMS* p) {
    ELEMENT_CHECK(p != nullptr, kModule, -1);
    ELEMENT_CHECK(p->scale_top != p->scale_bottom, kModule, -1);
    ELEMENT_CHECK(p->divisor != 0, kModule, -1);
    const THERMO_LAYOUT l = uguithermometer_SideLayout(p);
    const GUI_COLOUR mercury = uguithermometer_MercuryColour(p);
    const int32_t x0 = p->x0, y0 = p->y0, w = p->xSize, h = p->ySize, b = l.glass;

    GUI_SetDrawColor(ELEMENT_GREY);
    uguithermometer_Shape(x0 + b / 2, y0, b, h);

    GUI_SetBackColor(ELEMENT_BLACK);
    GUI_SelectFont(&FONT_16B);
    GUI_PrintCenteredAt(p->unit_text, x0 + w * 3 / 5, y0 + h - GUI_GetFontHeight());

    GUI_SelectFont(&FONT_20B);
    const int fh = GUI_GetFontHeight();
    GUI_SetDrawColor(mercury);
    uguithermometer_Shape(x0 + b / 2, l.mercury_top, b / 2, l.mercury + b / 2);

    GUI_SetDrawColor(ELEMENT_GREY);
    GUI_FillRoundRectAA(x0 + b * 4 / 5, y0, x0 + w, y0 + fh, 5);

    char text[64];
    ELEMENT_FormatValue(text, sizeof text, p->format, p->value, p->offset, p->divisor);
    GUI_SetBackColor(ELEMENT_GREY);
    GUI_SetDrawColor(mercury);
    GUI_PrintCenteredAt(text, x0 + w * 3 / 5, y0);
    return 0;
}

int uguithermometer_DrawBottomValue(const THERMO_PARAMS* p) {
    ELEMENT_CHECK(p != nullptr, kModule, -1);
    ELEMENT_CHECK(p->scale_top != p->scale_bottom, kModule, -1);
    ELEMENT_CHECK(p->divisor != 0, kModule, -1);
    const int fh = GUI_GetFontHeight(); // the caller's font
    const THERMO_LAYOUT l = uguithermometer_BottomLayout(p, fh);
    const GUI_COLOUR mercury = uguithermometer_MercuryColour(p);
    const int32_t x0 = p->x0, y0 = p->y0, w = p->xSize, h = p->ySize, b = l.glass;

    GUI_SetDrawColor(ELEMENT_GREY);
    uguithermometer_Shape(x0 + w / 2, y0, b, l.glass_length);

    GUI_SetBackColor(ELEMENT_BLACK);
    const GUI_RECT rect{static_cast<int16_t>(std::clamp(x0, -32768, 32767)),
                        static_cast<int16_t>(std::clamp(y0, -32768, 32767)),
                        static_cast<int16_t>(std::clamp(x0 + w, -32768, 32767)),
                        static_cast<int16_t>(std::clamp(y0 + h, -32768, 32767))};
    GUI_PrintInRect(p->unit_text, &rect, GUI_ALIGN_RIGHT | GUI_ALIGN_TOP);

    GUI_SetDrawColor(mercury);
    uguithermometer_Shape(x0 + w / 2, l.mercury_top, b / 2, l.mercury + b / 2);

    GUI_SetDrawColor(ELEMENT_GREY);
    GUI_FillRoundRectAA(x0, y0 + h - fh, x0 + w, y0 + h, 5);

    char text[64];
    ELEMENT_FormatValue(text, sizeof text, p->format, p->value, p->offset, p->divisor);
    GUI_SetBackColor(ELEMENT_GREY);
    GUI_SetDrawColor(mercury);
    GUI_PrintCenteredAt(text, x0 + w / 2, y0 + h - fh);
    return 0;
}
