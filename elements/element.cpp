#include "elements/element.h"

#include "base/palette.h"
#include "elements/element_common.h"
#include "elements/element_layout.h"
#include "gui/toolkit/draw/gui_draw.h"
#include "gui/toolkit/wm/wm.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr GUI_COLOUR kBulbOff = PALETTE_LIGHT_BLUE; // light blue
constexpr GUI_COLOUR kCellTop = PALETTE_ORANGE;
constexpr GUI_COLOUR kCellBottom = PALETTE_DARK_ORANGE;

int g_sun_phase = 0; // 0 no rays, 1 half rays, 2 full rays

int16_t Coord(int64_t v) {
    return static_cast<int16_t>(std::clamp<int64_t>(v, INT16_MIN, INT16_MAX));
}

} // namespace

// ---- Tank -------------------------------------------------------------------------------------

int ELEMENT_LevelSurface(int32_t y0, int32_t height, int32_t percent) {
    const int64_t p = std::clamp(percent, 0, 100);
    return static_cast<int>(y0 + height - (static_cast<int64_t>(height) - 6) * p / 100);
}

int ELEMENT_LevelWaveCount(int32_t width) {
    return std::max(width / 12, 0);
}

int ELEMENT_LevelWaveX(int32_t x0, int32_t width, int i) {
    return x0 + 6 + 12 * i + (width % 12) / 2;
}

GUI_COLOUR ELEMENT_LevelColour(int32_t percent, int32_t t1, int32_t t2, int32_t t3, int32_t t4) {
    if (t1 < percent && percent < t3)
        return (t2 < percent && percent < t4) ? ELEMENT_GREEN : ELEMENT_YELLOW;
    return ELEMENT_RED;
}

void ELEMENT_DrawLevel(const LEVEL_PARAMS* p) {
    if (p == nullptr) return;
    const int32_t x0 = p->x0, y0 = p->y0, w = p->xSize, h = p->ySize;
    GUI_FillRoundRectGradient(x0, y0, x0 + w, y0 + h, 2, ELEMENT_GREY, ELEMENT_DARK_GREY);

    const int s = ELEMENT_LevelSurface(y0, h, p->value);
    GUI_SetDrawColor(ELEMENT_BLUE);
    GUI_SetLineWidth(3);
    const int waves = ELEMENT_LevelWaveCount(w);
    for (int r = 6; r >= 2; --r) {
        for (int i = 0; i < waves; ++i)
            GUI_DrawArcAA(ELEMENT_LevelWaveX(x0, w, i), s, r, r, 0, 180);
    }
    GUI_FillRectangle(x0, s, x0 + w, y0 + h);

    GUI_SelectFont(&FONT_20B);
    GUI_SetDrawColor(ELEMENT_LevelColour(p->value, p->t1, p->t2, p->t3, p->t4));
    const int yc = y0 + h / 2;
    GUI_FillRoundRectAA(x0 + w / 2 - 25, yc, x0 + w / 2 + 25, yc + 20, 5);
    char text[32];
    std::snprintf(text, sizeof text, "%d %%", static_cast<int>(p->value));
    GUI_SetDrawColor(ELEMENT_BLACK);
    GUI_SetTextDrawMode(GUI_TEXTMODE_TRANSPARENT);
    GUI_PrintCenteredAt(text, x0 + w / 2, yc);
}

// ---- Lamp -------------------------------------------------------------------------------------

GUI_COLOUR ELEMENT_IndicatorColour(const INDICATOR_PARAMS* p) {
    if (p->state == INDICATOR_BLINKING) return p->blink_phase == 1 ? p->colour1 : p->colour3;
    if (p->state == INDICATOR_ON) return p->colour2;
    return p->colour1;
}

void ELEMENT_DrawIndicator(const INDICATOR_PARAMS* p) {
    if (p == nullptr) return;
    const int32_t x0 = p->x0, y0 = p->y0, w = p->xSize, h = p->ySize;
    // Whatever covers the lamp (a dialog, the keyboard) is drawn again after this paint.
    const GUI_RECT area{Coord(x0), Coord(y0), Coord(int64_t{x0} + w), Coord(int64_t{y0} + h)};
    WM_InvalidateAreaAll(&area);

    ElementFontGuard font(&p->font);
    GUI_SetBackColor(ELEMENT_BLACK);
    const GUI_COLOUR colour = ELEMENT_IndicatorColour(p);
    GUI_SetDrawColor(colour);
    GUI_FillRoundRectAA(x0, y0, x0 + w, y0 + h, h / 4);
    GUI_SetDrawColor(ELEMENT_BLACK);
    const int32_t b = p->border;
    GUI_FillRoundRectAA(x0 + b, y0 + b, x0 + w - b, y0 + h - b, h / 5);
    GUI_SetDrawColor(colour);
    GUI_PrintCenteredAt(p->label, x0 + w / 2 + 1, y0 + h / 2 - GUI_GetFontHeight() / 2);
}

void ELEMENT_ToggleBlink(INDICATOR_PARAMS* p) {
    if (p != nullptr) p->blink_phase = p->blink_phase ? 0 : 1;
}

// ---- Pictograms -------------------------------------------------------------------------------

void ELEMENT_BoltPoints(int width, int height, GUI_POINT points[7]) {
    // Offsets in pixels for a 50 pixel wide body; heights are fractions of the body.
    static const int kX[7] = {0, 10, 5, 10, -8, -8, -2};
    static const int kY[7] = {0, -35, -35, -55, -55, -25, -25}; // hundredths of the height
    for (int i = 0; i < 7; ++i) {
        points[i].x = static_cast<int16_t>(kX[i] * width / 50);
        points[i].y = static_cast<int16_t>(kY[i] * height / 100);
    }
}

void ELEMENT_DrawChargingBattery(int x, int y, int width, int height, int charging) {
    GUI_FillRoundRectGradient(x, y, x + width, y + height, 2, ELEMENT_GREY, ELEMENT_DARK_GREY);
    GUI_SetDrawColor(ELEMENT_GREY);
    GUI_FillRoundRectAA(x + width / 2 - 8, y - 10, x + width / 2 + 8, y - 3, 1);
    GUI_POINT bolt[7];
    ELEMENT_BoltPoints(width, height, bolt);
    GUI_SetDrawColor(charging ? ELEMENT_YELLOW : ELEMENT_BLACK);
    GUI_FillPolygonAA(bolt, 7, x + width / 2, y + height * 8 / 10);
}

BULB_LAYOUT ELEMENT_BulbLayout(int x, int y, int width, int bar_height, int gap) {
    BULB_LAYOUT l{};
    const int g = width * 8 / 10;
    l.glass_x = x + width / 2;
    l.glass_y = y - g * 14 / 10;
    l.glass_r = g;
    l.neck_k = width / 2 - g / 3;
    l.neck_t = l.glass_y + g / 3 - y;
    for (int i = 0; i < 5; ++i)
        l.bar_y[i] = y + i * (bar_height + gap);
    return l;
}

void ELEMENT_DrawBulb(int x, int y, int width, int bar_height, int gap, int lit) {
    const BULB_LAYOUT l = ELEMENT_BulbLayout(x, y, width, bar_height, gap);
    GUI_SetDrawColor(ELEMENT_GREY);
    for (int i = 0; i < 4; ++i)
        GUI_FillRoundRectAA(x, l.bar_y[i], x + width, l.bar_y[i] + bar_height, 1);
    GUI_FillRoundRectAA(x + width / 4, l.bar_y[4], x + width / 4 + width / 2,
                        l.bar_y[4] + bar_height, 1);
    GUI_SetDrawColor(lit ? ELEMENT_YELLOW : kBulbOff);
    const GUI_POINT neck[4] = {{0, 0},
                               {static_cast<int16_t>(width), 0},
                               {static_cast<int16_t>(width + l.neck_k), Coord(l.neck_t)},
                               {static_cast<int16_t>(-l.neck_k), Coord(l.neck_t)}};
    GUI_FillPolygonAA(neck, 4, x, y);
    GUI_FillCircleAA(l.glass_x, l.glass_y, l.glass_r);
}

void ELEMENT_DrawSolarPanel(int x, int y, int cell, int gap) {
    if (cell <= 0) return;
    const int pitch = cell + gap;
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 4; ++col) {
            const int cx = x + col * pitch, cy = y + row * pitch;
            GUI_FillGradientV(cx, cy, cx + cell - 1, cy + cell - 1, kCellTop, kCellBottom);
        }
    }
}

int ELEMENT_SunRayLength(int phase, int ray_length) {
    if (phase == 1) return ray_length / 2;
    if (phase == 2) return ray_length;
    return 0;
}

void ELEMENT_SunRays(int x, int y, int r, int len, GUI_POINT from[8], GUI_POINT to[8]) {
    const int64_t g = r + 4; // straight rays start 4 pixels off the disc
    const int64_t ends[8][4] = {{x, y - g, x, y - g - len},
                                {x, y + g, x, y + g + len},
                                {x + g, y, x + g + len, y},
                                {x - g, y, x - g - len, y},
                                {x + r, y - r, x + r + len, y - r - len},
                                {x - r, y - r, x - r - len, y - r - len},
                                {x + r, y + r, x + r + len, y + r + len},
                                {x - r, y + r, x - r - len, y + r + len}};
    for (int i = 0; i < 8; ++i) {
        from[i] = GUI_POINT{Coord(ends[i][0]), Coord(ends[i][1])};
        to[i] = GUI_POINT{Coord(ends[i][2]), Coord(ends[i][3])};
    }
}

void ELEMENT_DrawSun(int x, int y, int radius, int ray_length) {
    GUI_SetDrawColor(ELEMENT_YELLOW);
    GUI_FillCircleAA(x, y, radius);
    const int len = ELEMENT_SunRayLength(g_sun_phase, ray_length);
    if (len <= 0) return;
    GUI_SetLineWidth(3);
    GUI_POINT from[8], to[8];
    ELEMENT_SunRays(x, y, radius, len, from, to);
    for (int i = 0; i < 8; ++i)
        GUI_DrawLineAA(from[i].x, from[i].y, to[i].x, to[i].y);
}

void ELEMENT_AdvanceSunPhase() {
    g_sun_phase = (g_sun_phase + 1) % 3;
}

int ELEMENT_GetSunPhase() {
    return g_sun_phase;
}
