// The device page: the elements of one device's tile, its buttons and its custom name.
#include "pages/devicepage.h"

#include "base/palette.h"
#include "base/dbg.h"
#include "comm/master.h"
#include "config/settings.h"
#include "devices/reg_access.h"
#include "elements/element.h"
#include "elements/keyboard.h"
#include "elements/uguibattery.h"
#include "elements/uguigauge.h"
#include "elements/uguithermometer.h"
#include "gui/toolkit/draw/gui_draw.h"
#include "gui/toolkit/widgets/button.h"
#include "gui/toolkit/widgets/text.h"
#include "pages/history.h"
#include "pages/mainscreen.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

constexpr const char* kModule = "pages/devicepage";

// The parameter check of this module: the report names the module, not the build path.
#define DEVPAGE_CHECK(condition, ...) PARAM_CHECK_AS(kModule, condition, __VA_ARGS__)

constexpr GUI_COLOUR kBlack = PALETTE_BLACK;
constexpr GUI_COLOUR kWhite = PALETTE_WHITE;
constexpr GUI_COLOUR kGreen = PALETTE_GREEN;
constexpr GUI_COLOUR kRed = PALETTE_RED;
constexpr GUI_COLOUR kBlue = PALETTE_BLUE;
constexpr GUI_COLOUR kGrey = PALETTE_GREY;
constexpr GUI_COLOUR kDarkGrey = PALETTE_DARK_GREY;
constexpr GUI_COLOUR kDarkGreen = PALETTE_DARK_GREEN;
constexpr GUI_COLOUR kMarkColour = PALETTE_ORANGE;

// Keys of the display unit's eleven pages in the names file, in the order of the group.
constexpr const auto& kPageKeys = DEV_GROUP_NAME_KEYS;
constexpr int32_t kRegisterIdentity = 2; // registers 2 to 7 of the display map

constexpr int kNameFieldSize = 31; // a name field's text read back: 30 characters

// The lamps share one record so that their blink phase lives on between paints.
INDICATOR_PARAMS g_lamp{};
DEVPAGE_ChargeBlink g_charge_blink{};
int64_t (*g_wall_clock)() = nullptr;

int64_t WallSeconds() {
    if (g_wall_clock != nullptr) return g_wall_clock();
    return static_cast<int64_t>(std::time(nullptr));
}

// ---- Reading values ----

// Registers a read of the type spans, so a read never leaves the device's window.
int32_t RegisterSpan(int32_t type) {
    return REG_TypeWidth(static_cast<uint32_t>(type));
}

struct Source {
    const DeviceEntry* entry;
    const RegisterCell* window;
    int32_t length;
};

int64_t Value(const Source& s, int32_t index, int32_t type) {
    if (index > 0 && index + RegisterSpan(type) > s.length) {
        DBG_Printf("Register %d outside the window of %s\n", index, s.entry->name);
        return 0;
    }
    return Reg_GetValue(index, static_cast<uint32_t>(type), s.window);
}

int64_t ValueOr(const Source& s, int32_t index, int32_t type, int32_t constant) {
    if (index <= 0) return constant;
    return Value(s, index, type);
}

int32_t Limit(const Source& s, const PageElement& e, int n) {
    return static_cast<int32_t>(
        ValueOr(s, e.limit_registers[n], e.limit_types[n], e.limit_constants[n]));
}

// The record of the battery and gauge forms: the rectangle, value, range, the four limits
// (lower alarm, lower warning, upper alarm, upper warning as T1 to T4), scaling and format.
ELEMENT_PARAMS Params(const Source& s, const PageElement& e, int x, int y) {
    ELEMENT_PARAMS p{};
    p.x0 = x + e.x;
    p.y0 = y + e.y;
    p.xSize = e.width;
    p.ySize = e.height;
    p.value = static_cast<int32_t>(Value(s, e.value_register, e.value_type));
    p.min = static_cast<int32_t>(ValueOr(s, e.low_register, e.low_type, e.low_constant));
    p.max = static_cast<int32_t>(ValueOr(s, e.high_register, e.high_type, e.high_constant));
    p.t1 = Limit(s, e, 0);
    p.t2 = Limit(s, e, 2);
    p.t3 = Limit(s, e, 1);
    p.t4 = Limit(s, e, 3);
    p.divisor = e.divisor;
    p.offset = e.offset;
    p.format = e.format;
    p.value_font = FONT_20B;
    p.caption_font = FONT_16B;
    p.caption = e.label;
    p.ring_width = 10;
    // The place of an empty-range report: this device's element, so it is written once.
    const ptrdiff_t index = s.entry - g_device_list.entries.data();
    if (index >= 0 && index < DEV_LIST_SIZE)
        p.report_key =
            static_cast<uint32_t>(index + 1) << 8 | static_cast<uint32_t>(e.number & 0xFF);
    return p;
}

// ---- Fonts ----

// The catalogue without FONT_8X16, smallest first.
const GUI_FONTDEF* const kFitFonts[] = {&FONT_8,   &FONT_10,   &FONT_10B, &FONT_13,  &FONT_13B,
                                        &FONT_13H, &FONT_13HB, &FONT_16,  &FONT_16B, &FONT_20,
                                        &FONT_20B, &FONT_24,   &FONT_24B, &FONT_32,  &FONT_32B};

// The largest font in which the text is narrower than max_width and lower than max_height;
// FONT_8 when none is. Leaves the chosen font selected.
const GUI_FONTDEF* FitFont(const char* text, int max_width, int max_height) {
    for (int i = static_cast<int>(sizeof kFitFonts / sizeof kFitFonts[0]) - 1; i >= 0; --i) {
        GUI_SelectFont(kFitFonts[i]);
        if (GUI_GetTextWidth(text) < max_width && GUI_GetFontHeight() < max_height)
            return kFitFonts[i];
    }
    GUI_SelectFont(&FONT_8);
    return &FONT_8;
}

int NameWidth(const char* text) {
    const GUI_FONTDEF* previous = GUI_SelectFont(&FONT_20B);
    const int width = GUI_GetTextWidth(text);
    GUI_SelectFont(previous);
    return width;
}

// ---- Element drawers ----

void DrawThermometer(const Source& s, const PageElement& e, int x, int y, bool side) {
    THERMO_PARAMS t{};
    t.x0 = x + e.x;
    t.y0 = y + e.y;
    t.xSize = e.width;
    t.ySize = e.height;
    t.value = static_cast<int32_t>(Value(s, e.value_register, e.value_type));
    t.scale_bottom = static_cast<int32_t>(ValueOr(s, e.low_register, e.low_type, e.low_constant));
    t.scale_top = static_cast<int32_t>(ValueOr(s, e.high_register, e.high_type, e.high_constant));
    t.format = e.format;
    t.unit_text = e.label;
    t.very_cold = Limit(s, e, 0);
    t.cold = Limit(s, e, 2);
    t.hot = Limit(s, e, 1);
    t.warm = Limit(s, e, 3);
    t.divisor = e.divisor;
    t.offset = e.offset;
    GUI_SelectFont(&FONT_20B);
    if (side)
        uguithermometer_DrawSideValue(&t);
    else
        uguithermometer_DrawBottomValue(&t);
}

void DrawLamp(const Source& s, const PageElement& e, int x, int y) {
    bool found = false;
    const int32_t state =
        DEVPAGE_LedState(e.led_table, Value(s, e.value_register, e.value_type), &found);
    if (!found) DBG_Printf("WARNING: LED VALUE NOT FOUND IN TABLE!\n");
    g_lamp.x0 = x + e.x;
    g_lamp.y0 = y + e.y;
    g_lamp.xSize = e.width;
    g_lamp.ySize = e.height;
    g_lamp.state = static_cast<uint32_t>(state);
    g_lamp.font = e.height <= 30 ? FONT_13B : FONT_20B;
    g_lamp.label = e.label;
    g_lamp.colour1 = kGrey;
    g_lamp.colour2 = static_cast<GUI_COLOUR>(e.colour1);
    g_lamp.colour3 = static_cast<GUI_COLOUR>(e.colour2);
    g_lamp.border = 2;
    ELEMENT_DrawIndicator(&g_lamp);
}

void DrawPowerGauge(const Source& s, const PageElement& e, int x, int y) {
    ELEMENT_PARAMS p = Params(s, e, x, y);
    p.value_font = FONT_32B;
    const int X = p.x0, Y = p.y0, W = p.xSize, H = p.ySize;
    if (e.kind == PE_KIND_GAUGE_SOLAR) {
        p.label_mode = 2;
        uguigauge_DrawRange(&p);
        const DEVPAGE_SolarSymbol sun = DEVPAGE_SolarAt(X, Y, W, H);
        ELEMENT_DrawSolarPanel(sun.panel_x, sun.panel_y, 6, 3);
        ELEMENT_DrawSun(sun.sun_x, sun.sun_y, sun.radius, sun.radius);
    } else if (e.kind == PE_KIND_GAUGE_BULB) {
        p.label_mode = 2;
        uguigauge_DrawRange(&p);
        int bx = 0, by = 0;
        DEVPAGE_BulbAt(X, Y, W, H, &bx, &by);
        ELEMENT_DrawBulb(bx, by, 25, 4, 2, p.value > 0 ? 1 : 0);
    } else {
        p.label_mode = 0;
        uguigauge_DrawRange(&p);
        const bool active =
            e.second_register != -1 && Value(s, e.second_register, e.value_type) > 50;
        const int32_t charging = DEVPAGE_ChargeBlinkStep(&g_charge_blink, active, WallSeconds());
        int bx = 0, by = 0;
        DEVPAGE_ChargeAt(X, Y, W, H, &bx, &by);
        ELEMENT_DrawChargingBattery(bx, by, 50, 100, charging);
    }
}

void DrawSignedGauge(const Source& s, const PageElement& e, int x, int y) {
    ELEMENT_PARAMS p = Params(s, e, x, y);
    p.label_mode = 1;
    uguigauge_DrawSigned(&p);
    // Caption plate under the ring.
    const int X = p.x0, Y = p.y0, W = p.xSize, H = p.ySize;
    GUI_SetDrawColor(kGrey);
    GUI_FillRoundRectAA(X, Y + H + 5, X + W, Y + H + 25, 5);
    GUI_SetDrawColor(kBlack);
    // A caption wider than the plate steps down to a smaller font instead of being cut.
    GUI_SelectFont(uguigauge_CaptionFont(e.label, W, &FONT_16B));
    GUI_SetTextDrawMode(GUI_TEXTMODE_TRANSPARENT);
    GUI_PrintCenteredAt(e.label, X + W / 2, Y + H + (20 - GUI_GetFontHeight()) / 2 + 5);
}

void DrawSection(const PageElement& e, int x, int y) {
    const int X = x + e.x, Y = y + e.y, W = e.width, H = e.height;
    GUI_SetDrawColor(kGrey);
    GUI_DrawRoundFrame(X, Y, X + W, Y + H, 0, 3);
    GUI_SetDrawColor(kDarkGreen);
    GUI_SetBackColor(kDarkGreen);
    GUI_FillRectangle(X + 3, Y + 3, X + W - 3, Y + 27);
    GUI_SetDrawColor(kWhite);
    GUI_SelectFont(&FONT_20B);
    GUI_SetTextDrawMode(GUI_TEXTMODE_TRANSPARENT);
    GUI_RECT bar{static_cast<int16_t>(X + 3), static_cast<int16_t>(Y + 3),
                 static_cast<int16_t>(X + W - 3), static_cast<int16_t>(Y + 27)};
    GUI_PrintInRect(e.label, &bar, GUI_ALIGN_HCENTER | GUI_ALIGN_VCENTER);
}

bool ValidSlot(int page, int slot) {
    return page >= 0 && page < MAIN_PAGE_COUNT && slot >= 0 && slot < MAIN_NAME_FIELD_SLOTS;
}

void DrawValueText(const Source& s, const PageElement& e, int x, int y, WM_HANDLE window) {
    DEVPAGE_CHECK(e.divisor != 0);
    char text[64];
    DEVPAGE_FormatValue(text, sizeof text, e.format, Value(s, e.value_register, e.value_type),
                        e.offset, e.divisor);
    const int X = x + e.x, Y = y + e.y, W = e.width, H = e.height;
    const int page = MAINSCREEN_CurrentPage();
    const int slot = MAINSCREEN_TakeSlot();
    WM_HANDLE held = ValidSlot(page, slot) ? MAINSCREEN_NameField(page, slot) : 0;
    if (held != 0) {
        char shown[64];
        TEXT_ReadText(held, shown, sizeof shown);
        if (std::strcmp(shown, text) != 0) TEXT_PutText(held, text);
        return;
    }
    if (e.colour1 == -1) {
        if (!ValidSlot(page, slot)) return; // no slot to keep it in: not made
        held = TEXT_Make(X, Y, W, H, window, WM_CF_VISIBLE, GUI_ALIGN_LEFT | GUI_ALIGN_VCENTER,
                         DEVPAGE_ID_VALUE_TEXT + slot, text);
        TEXT_PutFont(held, &FONT_8X16);
        TEXT_PutColor(held, kGreen);
        MAINSCREEN_SetNameField(page, slot, held);
        return;
    }
    GUI_SetDrawColor(static_cast<GUI_COLOUR>(e.colour1));
    GUI_FillRoundRectAA(X, Y, X + W, Y + H, 5);
    GUI_SetDrawColor(static_cast<GUI_COLOUR>(e.colour2));
    GUI_SelectFont(&FONT_20B);
    GUI_SetTextDrawMode(GUI_TEXTMODE_TRANSPARENT);
    GUI_RECT box{static_cast<int16_t>(X), static_cast<int16_t>(Y), static_cast<int16_t>(X + W),
                 static_cast<int16_t>(Y + H)};
    GUI_PrintInRect(text, &box, GUI_ALIGN_HCENTER | GUI_ALIGN_VCENTER);
}

void MakeButton(const PageElement& e, int x, int y, WM_HANDLE window, DeviceEntry* entry) {
    if (entry->tile_widget_count >= DEV_TILE_WIDGETS) {
        DBG_Printf("Too many buttons on the tile of %s, %s not made\n", entry->name, e.label);
        return;
    }
    BUTTON_UseFlexLookByDefault();
    const WM_HANDLE button = BUTTON_CreateUser(x + e.x, y + e.y, e.width, e.height, window,
                                               WM_CF_VISIBLE, 0, e.button_id, sizeof(int32_t));
    BUTTON_PutTextColor(button, BUTTON_CI_UNPRESSED, kBlack);
    BUTTON_PutTextColor(button, BUTTON_CI_PRESSED, kBlack);
    BUTTON_PutTextColor(button, BUTTON_CI_DISABLED, kGrey);
    BUTTON_PutFillColor(button, BUTTON_CI_UNPRESSED, kGrey);
    BUTTON_PutFillColor(button, BUTTON_CI_PRESSED, kWhite);
    BUTTON_PutFillColor(button, BUTTON_CI_DISABLED, kDarkGrey);
    BUTTON_PutFont(button, &FONT_24B);
    BUTTON_PutText(button, e.label);
    const int32_t word = e.second_register >= 0 ? e.number : -1;
    BUTTON_WriteUserBytes(button, &word, sizeof word);
    entry->tile_widgets[entry->tile_widget_count++] = button;
}

// Shows the tile's buttons and enables the one of this element by its second register (a
// button without one keeps -1 as its word and is never disabled). The tile's first drawing
// already applies it, so a button that is not allowed is never shown enabled.
void UpdateButtons(const Source& s, const PageElement& e, DeviceEntry* entry) {
    for (int32_t i = 0; i < entry->tile_widget_count && i < DEV_TILE_WIDGETS; ++i) {
        const WM_HANDLE button = entry->tile_widgets[i];
        WM_ShowWin(button);
        int32_t word = -1;
        BUTTON_ReadUserBytes(button, &word, sizeof word);
        if (word < 0 || word != e.number || e.second_register < 0) continue;
        if (Value(s, e.second_register, e.value_type) != 0)
            WM_EnableWin(button);
        else
            WM_DisableWin(button);
    }
}

// ---- Switch diagram ----

void Triangle(int left, int top, int size, bool up) {
    const int16_t s = static_cast<int16_t>(size);
    const int16_t h = static_cast<int16_t>(size / 2);
    GUI_POINT up_points[3] = {{0, s}, {s, s}, {h, 0}};
    GUI_POINT down_points[3] = {{0, 0}, {s, 0}, {h, s}};
    GUI_FillPolygonAA(up ? up_points : down_points, 3, left, top);
}

// A terminal box with its two outer corners rounded (the top ones when `top`), a circle at
// its centre and its letter to the right.
void Terminal(int x0, int y0, int u, int k, bool top, const char* letter) {
    const int x1 = x0 + u, y1 = y0 + u;
    const int cy = top ? y0 + k : y1 - k; // centre line of the rounded corners
    const int flat = top ? y1 : y0;
    GUI_DrawLineAA(x0, cy, x0, flat);
    GUI_DrawLineAA(x1, cy, x1, flat);
    GUI_DrawLineAA(x0, flat, x1, flat);
    GUI_DrawLineAA(x0 + k, top ? y0 : y1, x1 - k, top ? y0 : y1);
    if (top) {
        GUI_DrawArcAA(x0 + k, cy, k, k, 90, 180);
        GUI_DrawArcAA(x1 - k, cy, k, k, 0, 90);
    } else {
        GUI_DrawArcAA(x0 + k, cy, k, k, 180, 270);
        GUI_DrawArcAA(x1 - k, cy, k, k, 270, 360);
    }
    GUI_DrawArcAA(x0 + u / 2, y0 + u / 2, k, k, 0, 360);
    FitFont(letter, u - k, u);
    GUI_SetTextDrawMode(GUI_TEXTMODE_TRANSPARENT);
    GUI_PrintAt(letter, x1 + k, y0 + (u - GUI_GetFontHeight()) / 2);
}

void DrawSwitch(const Source& s, const PageElement& e, int x, int y) {
    const int X = x + e.x, Y = y + e.y;
    const DEVPAGE_SwitchGeometry g = DEVPAGE_SwitchLayout(X, Y, e.width, e.height);
    const int u = g.u;
    if (u <= 0) return;
    const uint8_t width = GUI_SetLineWidth(3);
    GUI_SetDrawColor(kGreen);
    Terminal(X + u, Y, u, g.k, true, "A");
    Terminal(X + u, Y + 4 * u, u, g.k, false, "B");
    GUI_DrawRoundFrame(X, Y + u, X + 3 * u, Y + 4 * u, g.frame_radius, 3);

    // The two branches run at x = X + u and X + 2u between a bus under terminal A and one
    // above terminal B; the feed lines join the terminals to the buses.
    const int left = X + u, right = X + 2 * u, mid = X + 3 * u / 2;
    const int bus_top = Y + 7 * u / 5, bus_bottom = Y + 18 * u / 5;
    const int contact_top = Y + 9 * u / 5, contact_pivot = Y + 12 * u / 5;
    GUI_SetDrawColor(kRed);
    GUI_DrawLineAA(mid, Y + u, mid, bus_top);
    GUI_DrawLineAA(mid, Y + 4 * u, mid, bus_bottom);
    GUI_DrawLineAA(left, bus_top, right, bus_top);
    GUI_DrawLineAA(left, bus_bottom, right, bus_bottom);

    const int64_t state = Value(s, e.value_register, e.value_type);
    const bool left_closed = state == 1 || state == 2;
    const bool right_closed = state == 1 || state == 3;
    GUI_SetDrawColor(kWhite);
    for (int branch = 0; branch < 2; ++branch) {
        const int bx = branch == 0 ? left : right;
        const bool closed = branch == 0 ? left_closed : right_closed;
        GUI_DrawLineAA(bx, bus_top, bx, contact_top);
        GUI_DrawLineAA(bx, contact_pivot, bx, bus_bottom);
        // The blade turns on its lower end: upright when closed, slanted when open.
        GUI_DrawLineAA(bx, contact_pivot, closed ? bx : bx - u / 3, contact_top);
    }

    const int32_t current = static_cast<int16_t>(Value(s, e.second_register, REG_TYPE_S16));
    const DEVPAGE_SwitchMarks marks = DEVPAGE_SwitchMarksFor(state, current, e.button_value);
    if (marks.drawn) {
        const bool lit = DEVPAGE_SwitchBlinkPhase(GUI_NowMs()) == 1;
        GUI_SetDrawColor(marks.up_active && lit ? kBlue : kMarkColour);
        Triangle(g.up_mark_x, g.mark_y, g.mark_size, true);
        GUI_SetDrawColor(marks.down_active && lit ? kBlue : kMarkColour);
        Triangle(g.down_mark_x, g.mark_y, g.mark_size, false);
    }
    GUI_SetLineWidth(width);
}

// ---- Custom names ----

ConfigIdentity DisplayIdentity() {
    ConfigIdentity identity;
    const RegisterCell* map = g_register_store.data();
    for (int32_t r = 0; r < 6; ++r)
        identity.words[static_cast<size_t>(r)] = Reg_Get(map, kRegisterIdentity + r);
    return identity;
}

// Writes every custom name into the names file: the display unit's eleven pages under their
// keys, every other device under its index in the list.
void StoreCustomNames() {
    const ConfigIdentity identity = DisplayIdentity();
    const int32_t count = g_device_list.device_count.load(std::memory_order_acquire);
    bool failed = false;
    for (int32_t i = 0; i < count;) {
        const DeviceEntry& entry = g_device_list.entries[static_cast<size_t>(i)];
        if (DEV_IsDisplayMember(entry)) {
            for (int32_t k = 0; k < DEV_GROUP_SIZE && i + k < count; ++k) {
                const DeviceEntry& member = g_device_list.entries[static_cast<size_t>(i + k)];
                if (CONFIG_SetPageName(identity, kPageKeys[k], member.custom_name) != 1)
                    failed = true;
            }
            i += DEV_GROUP_SIZE;
            continue;
        }
        if (CONFIG_SetDeviceName(identity, i, entry.custom_name) != 1) failed = true;
        ++i;
    }
    if (failed) DBG_Printf("Cannot write device custom name into INI-file\n");
}

void SetCustomName(DeviceEntry& entry, const char* name) {
    std::snprintf(entry.custom_name, sizeof entry.custom_name, "%.*s", CONFIG_NAME_SIZE - 1, name);
}

void ShowDefaultName(const DeviceEntry& entry, WM_HANDLE field) {
    char shown[DEV_NAME_SIZE + 16];
    if (DEV_IsDisplayMember(entry))
        std::snprintf(shown, sizeof shown, "%s", entry.name);
    else
        std::snprintf(shown, sizeof shown, "%s:%d", entry.name,
                      entry.unit_id.load(std::memory_order_relaxed));
    TEXT_PutText(field, shown);
}

// ---- Format parsing ----

bool IsFlag(char c) {
    return c == '-' || c == '+' || c == ' ' || c == '#' || c == '0' || c == '\'';
}
bool IsLength(char c) {
    return c == 'h' || c == 'l' || c == 'L' || c == 'q' || c == 'j' || c == 'z' || c == 't';
}

enum class Conv { kNone, kInteger, kFloat, kBad };

// Rewrites the format so that its one conversion takes a long long (integers) or a double
// (floating point); "%%" stays. Conv::kBad for anything else (strings, pointers, two
// conversions, a format that does not fit).
Conv Rewrite(const char* format, char* out, size_t size) {
    Conv found = Conv::kNone;
    size_t n = 0;
    auto put = [&](char c) {
        if (n + 1 >= size) return false;
        out[n++] = c;
        return true;
    };
    for (const char* p = format; *p != '\0';) {
        if (*p != '%') {
            if (!put(*p++)) return Conv::kBad;
            continue;
        }
        if (p[1] == '%') {
            if (!put('%') || !put('%')) return Conv::kBad;
            p += 2;
            continue;
        }
        if (found != Conv::kNone) return Conv::kBad;
        if (!put(*p++)) return Conv::kBad;
        while (IsFlag(*p))
            if (!put(*p++)) return Conv::kBad;
        while (*p >= '0' && *p <= '9')
            if (!put(*p++)) return Conv::kBad;
        if (*p == '.') {
            if (!put(*p++)) return Conv::kBad;
            while (*p >= '0' && *p <= '9')
                if (!put(*p++)) return Conv::kBad;
        }
        while (IsLength(*p))
            ++p; // the argument's size is ours to choose
        const char c = *p;
        if (c != '\0' && std::strchr("diouxX", c) != nullptr) {
            found = Conv::kInteger;
            if (!put('l') || !put('l')) return Conv::kBad;
        } else if (c != '\0' && std::strchr("fFeEgGaA", c) != nullptr) {
            found = Conv::kFloat;
        } else {
            return Conv::kBad;
        }
        if (!put(*p++)) return Conv::kBad;
    }
    out[n] = '\0';
    return found;
}

// ---- The page refresh ----

// What the last refresh of each page saw: everything but the animation phases, and those.
struct PageSeen {
    WM_HANDLE window = 0;
    uint64_t content = 0;
    uint64_t phases = 0;
};
PageSeen g_seen[MAIN_PAGE_COUNT];

// Where the last paint put each device's tile, so that a refresh can repaint one element.
struct TileOrigin {
    WM_HANDLE window = 0;
    int x = 0;
    int y = 0;
};
TileOrigin g_tile_origin[DEV_LIST_SIZE];

// The area of the elements whose phase went into a fingerprint, in window coordinates.
struct PhaseArea {
    bool known = true; // false when an animated tile was never painted on this window
    bool any = false;
    GUI_RECT rect{0, 0, -1, -1};
};

void AddToArea(PhaseArea* area, int index, const PageElement& e, WM_HANDLE window) {
    if (area == nullptr) return;
    const TileOrigin& tile = g_tile_origin[static_cast<size_t>(index)];
    if (tile.window != window) {
        area->known = false;
        return;
    }
    // The element's own rectangle with a pixel of anti-aliasing around it.
    const GUI_RECT r{static_cast<int16_t>(tile.x + e.x - 1), static_cast<int16_t>(tile.y + e.y - 1),
                     static_cast<int16_t>(tile.x + e.x + e.width + 1),
                     static_cast<int16_t>(tile.y + e.y + e.height + 1)};
    if (!area->any) {
        area->rect = r;
        area->any = true;
        return;
    }
    area->rect.x0 = std::min(area->rect.x0, r.x0);
    area->rect.y0 = std::min(area->rect.y0, r.y0);
    area->rect.x1 = std::max(area->rect.x1, r.x1);
    area->rect.y1 = std::max(area->rect.y1, r.y1);
}

constexpr uint64_t kHashStart = 0xCBF29CE484222325ULL;

// FNV-1a over whole 64-bit words: xor and the odd multiplier are both one-to-one, so two
// sequences that differ in one word always hash differently.
uint64_t Mix(uint64_t hash, uint64_t word) {
    return (hash ^ word) * 0x100000001B3ULL;
}

uint64_t MixWindow(uint64_t hash, const RegisterCell* window, int32_t length) {
    int32_t i = 0;
    for (; i + 4 <= length; i += 4) {
        const uint64_t word =
            uint64_t{Reg_Get(window, i)} | uint64_t{Reg_Get(window, i + 1)} << 16 |
            uint64_t{Reg_Get(window, i + 2)} << 32 | uint64_t{Reg_Get(window, i + 3)} << 48;
        hash = Mix(hash, word);
    }
    for (; i < length; ++i)
        hash = Mix(hash, Reg_Get(window, i));
    return hash;
}

// A read as the paint makes it, without the paint's diagnostic for a register outside the
// window (the refresh asks a hundred times a second).
int64_t QuietValue(const Source& s, int32_t index, int32_t type) {
    if (index > 0 && index + RegisterSpan(type) > s.length) return 0;
    return Reg_GetValue(index, static_cast<uint32_t>(type), s.window);
}

// Tags keep the phases of different animations apart in the fingerprint.
enum PhaseTag : uint64_t { kLampTag = 1, kSunTag = 2, kChargeTag = 3, kSwitchTag = 4 };

uint64_t Tagged(PhaseTag tag, int64_t phase) {
    return uint64_t{tag} << 56 | static_cast<uint32_t>(phase);
}

// Mixes in the phase of each blink or animation that the online device's tile shows now.
// `charge` is a copy of the shared charging blink, stepped as the paint will step it.
uint64_t MixPhases(uint64_t hash, const Source& s, const PageLayout& layout,
                   DEVPAGE_ChargeBlink* charge, int64_t now_seconds, PhaseArea* area, int index,
                   WM_HANDLE window) {
    for (int32_t i = 0; i < layout.element_count; ++i) {
        const PageElement& e = layout.elements[i];
        if (e.hidden != 0) continue;
        const uint64_t before = hash;
        switch (e.kind) {
            case PE_KIND_LED:
                if (DEVPAGE_LedState(e.led_table, QuietValue(s, e.value_register, e.value_type),
                                     nullptr) == static_cast<int32_t>(INDICATOR_BLINKING))
                    hash = Mix(hash, Tagged(kLampTag, g_lamp.blink_phase));
                break;
            case PE_KIND_GAUGE_SOLAR:
                hash = Mix(hash, Tagged(kSunTag, ELEMENT_GetSunPhase()));
                break;
            case PE_KIND_GAUGE_CHARGE: {
                const bool active =
                    e.second_register != -1 && QuietValue(s, e.second_register, e.value_type) > 50;
                // Stepped as the paint steps it; dark while not active, which the registers tell.
                const int32_t shown = DEVPAGE_ChargeBlinkStep(charge, active, now_seconds);
                if (active) hash = Mix(hash, Tagged(kChargeTag, shown));
                break;
            }
            case PE_KIND_SWITCH: {
                const int64_t state = QuietValue(s, e.value_register, e.value_type);
                const int32_t current =
                    static_cast<int16_t>(QuietValue(s, e.second_register, REG_TYPE_S16));
                const DEVPAGE_SwitchMarks marks =
                    DEVPAGE_SwitchMarksFor(state, current, e.button_value);
                if (marks.drawn && (marks.up_active || marks.down_active))
                    hash = Mix(hash, Tagged(kSwitchTag, DEVPAGE_SwitchBlinkPhase(GUI_NowMs())));
                break;
            }
            default:
                break;
        }
        if (hash != before) AddToArea(area, index, e, window);
    }
    return hash;
}

// The fingerprint of the page's content without the phases (`content`) and of the phases
// alone (the return value); `area` collects where the phased elements are on `window`.
uint64_t Fingerprints(const DeviceType* type, uint64_t* content, PhaseArea* area,
                      WM_HANDLE window) {
    const int32_t count = g_device_list.device_count.load(std::memory_order_acquire);
    uint64_t hash = Mix(kHashStart, static_cast<uint32_t>(count));
    uint64_t phases = kHashStart;
    DEVPAGE_ChargeBlink charge = g_charge_blink;
    const int64_t now_seconds = WallSeconds();
    for (int32_t i = 0; type != nullptr && i < count && i < DEV_LIST_SIZE; ++i) {
        const DeviceEntry& entry = g_device_list.entries[static_cast<size_t>(i)];
        if (entry.type.load(std::memory_order_relaxed) != type) continue;
        const RegisterCell* regs = entry.registers.load(std::memory_order_acquire);
        const int32_t length = entry.window_length.load(std::memory_order_acquire);
        const int32_t state = entry.state.load(std::memory_order_relaxed);
        hash = Mix(hash, uint64_t{static_cast<uint32_t>(i)} << 32 | static_cast<uint32_t>(state));
        // The tile status comes from the window, read again by each paint.
        hash = Mix(hash, static_cast<uint32_t>(length));
        if (regs == nullptr || length <= 0) continue;
        hash = MixWindow(hash, regs, length);
        if (state == 1 && type->page_layout != nullptr)
            phases = MixPhases(phases, Source{&entry, regs, length}, *type->page_layout, &charge,
                               now_seconds, area, i, window);
    }
    *content = hash;
    return phases;
}

} // namespace

// ---- The arithmetic ----

int DEVPAGE_FormatValue(char* buffer, int size, const char* format, int64_t value, int32_t offset,
                        int32_t divisor) {
    if (buffer == nullptr || size <= 0) return -1;
    buffer[0] = '\0';
    if (format == nullptr || divisor == 0) return -1;
    char rewritten[128];
    const Conv conv = Rewrite(format, rewritten, sizeof rewritten);
    if (conv == Conv::kBad) {
        DBG_Printf("Value format not usable: %s\n", format);
        return -1;
    }
    const int64_t whole = value + offset;
    const float scaled =
        (static_cast<float>(value) + static_cast<float>(offset)) / static_cast<float>(divisor);
    int written = 0;
    if (conv == Conv::kInteger) {
        const long long argument =
            divisor == 1 ? static_cast<long long>(whole) : static_cast<long long>(scaled);
        written = std::snprintf(buffer, static_cast<size_t>(size), rewritten, argument);
    } else {
        const double argument =
            divisor == 1 ? static_cast<double>(whole) : static_cast<double>(scaled);
        written = std::snprintf(buffer, static_cast<size_t>(size), rewritten, argument);
    }
    if (written < 0) {
        buffer[0] = '\0';
        return -1;
    }
    return written < size ? written : size - 1;
}

int32_t DEVPAGE_LedState(const LedTable* table, int64_t value, bool* found) {
    if (found != nullptr) *found = false;
    if (table == nullptr) return 0;
    const int32_t count = table->count < LED_TABLE_SIZE ? table->count : LED_TABLE_SIZE;
    for (int32_t i = 0; i < count; ++i) {
        if (table->pairs[i].value == value) {
            if (found != nullptr) *found = true;
            return table->pairs[i].state;
        }
    }
    return 0;
}

int32_t DEVPAGE_ChargeBlinkStep(DEVPAGE_ChargeBlink* blink, bool active, int64_t now_seconds) {
    if (!active) {
        blink->charging = 0;
        return 0;
    }
    if (now_seconds - blink->last_flip >= 2) {
        blink->charging = blink->charging != 0 ? 0 : 1;
        blink->last_flip = now_seconds;
    }
    return blink->charging;
}

DEVPAGE_SolarSymbol DEVPAGE_SolarAt(int x, int y, int w, int h) {
    const int c = x + (w / 10) * 4;
    const int d = w / 16;
    const int e = y + (h / 10) * 6;
    return DEVPAGE_SolarSymbol{c, e, d, c + d, e + d};
}

void DEVPAGE_BulbAt(int x, int y, int w, int h, int* bx, int* by) {
    *bx = x + (w / 100) * 45;
    *by = y + (h / 100) * 70;
}

void DEVPAGE_ChargeAt(int x, int y, int w, int h, int* bx, int* by) {
    *bx = x + (w / 100) * 40;
    *by = y + (h / 100) * 50;
}

DEVPAGE_SwitchGeometry DEVPAGE_SwitchLayout(int x, int y, int w, int h) {
    const int r = w < h * 3 / 5 ? w * 5 / 3 : h;
    DEVPAGE_SwitchGeometry g{};
    g.u = r / 5;
    g.k = r * 15 / 500;
    g.frame_radius = r * 20 / 500;
    g.mark_size = 2 * g.u / 3;
    g.up_mark_x = x + 2 * g.u / 3 - 1;
    g.down_mark_x = x + 5 * g.u / 3 - 1;
    g.mark_y = y + 17 * g.u / 6;
    return g;
}

DEVPAGE_SwitchMarks DEVPAGE_SwitchMarksFor(int64_t state, int32_t current, int32_t threshold) {
    DEVPAGE_SwitchMarks marks{};
    marks.drawn = state >= 0 && state <= 3;
    if (!marks.drawn) return marks;
    marks.up_active = current < -threshold && (state == 1 || state == 2);
    marks.down_active = current > threshold && (state == 1 || state == 3);
    return marks;
}

int DEVPAGE_SwitchBlinkPhase(int now_ms) {
    return (now_ms / 500) % 2 != 0 ? 1 : 0;
}

void DEVPAGE_FitName(const char* text, const char* suffix, int max_width, int max_name,
                     int (*width)(const char* text), char* name, int name_size, char* shown,
                     int shown_size) {
    int length = static_cast<int>(std::strlen(text));
    if (length > max_name) length = max_name;
    if (length > name_size - 1) length = name_size - 1;
    for (;;) {
        std::snprintf(name, static_cast<size_t>(name_size), "%.*s", length, text);
        std::snprintf(shown, static_cast<size_t>(shown_size), "%s%s", name, suffix);
        if (length <= 1 || width(shown) <= max_width) return;
        --length;
    }
}

void DEVPAGE_SetWallClockForTests(int64_t (*now_seconds)()) {
    g_wall_clock = now_seconds;
}

void DEVPAGE_ResetForTests() {
    g_lamp = INDICATOR_PARAMS{};
    g_charge_blink = DEVPAGE_ChargeBlink{};
    for (PageSeen& seen : g_seen)
        seen = PageSeen{};
    for (TileOrigin& tile : g_tile_origin)
        tile = TileOrigin{};
}

// ---- The page refresh ----

uint64_t DEVPAGE_PageFingerprint(const DeviceType* type) {
    uint64_t content = 0;
    const uint64_t phases = Fingerprints(type, &content, nullptr, 0);
    return Mix(content, phases);
}

int DEVPAGE_RefreshArea(WM_HANDLE window, GUI_RECT* area) {
    const int page = MAINSCREEN_PageOfWindow(window);
    if (page < 0 || page >= MAIN_PAGE_COUNT) return DEVPAGE_REFRESH_ALL; // as it always was
    uint64_t content = 0;
    PhaseArea phased;
    const uint64_t phases = Fingerprints(MAINSCREEN_PageType(page), &content, &phased, window);
    PageSeen& seen = g_seen[page];
    const PageSeen before = seen;
    seen = PageSeen{window, content, phases};
    if (before.window != window || before.content != content) return DEVPAGE_REFRESH_ALL;
    if (before.phases == phases) return DEVPAGE_REFRESH_NONE;
    // Only blinks or animations moved: their elements are drawn again, the rest stays.
    if (!phased.known || !phased.any || area == nullptr) return DEVPAGE_REFRESH_ALL;
    *area = phased.rect;
    return DEVPAGE_REFRESH_AREA;
}

bool DEVPAGE_RefreshWanted(WM_HANDLE window) {
    GUI_RECT area{};
    return DEVPAGE_RefreshArea(window, &area) != DEVPAGE_REFRESH_NONE;
}

// ---- Drawing ----

int DEVPAGE_DrawElements(int x, int y, const DeviceType* type, WM_HANDLE window,
                         DeviceEntry* entry) {
    DEVPAGE_CHECK(type != nullptr && type->page_layout != nullptr && entry != nullptr, -1);
    const Source s{entry, entry->registers.load(std::memory_order_acquire),
                   entry->window_length.load(std::memory_order_acquire)};
    DEVPAGE_CHECK(s.window != nullptr, -1);
    const ptrdiff_t index = entry - g_device_list.entries.data();
    if (index >= 0 && index < DEV_LIST_SIZE)
        g_tile_origin[static_cast<size_t>(index)] = TileOrigin{window, x, y};
    const PageLayout& layout = *type->page_layout;
    for (int32_t i = 0; i < layout.element_count; ++i) {
        const PageElement& e = layout.elements[i];
        if (e.hidden != 0) continue;
        switch (e.kind) {
            case PE_KIND_THERMO_BOTTOM:
            case PE_KIND_THERMO_SIDE:
                DrawThermometer(s, e, x, y, e.kind == PE_KIND_THERMO_SIDE);
                break;
            case PE_KIND_LED:
                DrawLamp(s, e, x, y);
                break;
            case PE_KIND_BATTERY: {
                ELEMENT_PARAMS p = Params(s, e, x, y);
                uguibattery_DrawUpright(&p);
                break;
            }
            case PE_KIND_GAUGE: {
                ELEMENT_PARAMS p = Params(s, e, x, y);
                p.label_mode = 1;
                uguigauge_DrawCaptioned(&p);
                break;
            }
            case PE_KIND_GAUGE_SOLAR:
            case PE_KIND_GAUGE_BULB:
            case PE_KIND_GAUGE_CHARGE:
                DrawPowerGauge(s, e, x, y);
                break;
            case PE_KIND_SECTION:
                DrawSection(e, x, y);
                break;
            case PE_KIND_BUTTON:
                if (entry->widgets_made == 0) MakeButton(e, x, y, window, entry);
                UpdateButtons(s, e, entry);
                break;
            case PE_KIND_TEXT:
                DrawValueText(s, e, x, y, window);
                break;
            case PE_KIND_LEVEL: {
                ELEMENT_PARAMS p = Params(s, e, x, y);
                ELEMENT_DrawLevel(&p);
                break;
            }
            case PE_KIND_GAUGE_SIGNED:
                DrawSignedGauge(s, e, x, y);
                break;
            case PE_KIND_SWITCH:
                DrawSwitch(s, e, x, y);
                break;
            default:
                break; // kinds no layout uses draw nothing
        }
    }
    entry->widgets_made = 1;
    return 0;
}

int DEVPAGE_TileSlots(const PageLayout* layout) {
    if (layout == nullptr) return 0;
    int slots = layout->tile_width != 0 ? 1 : 0;
    for (int32_t i = 0; i < layout->element_count; ++i) {
        const PageElement& e = layout->elements[i];
        if (e.hidden == 0 && e.kind == PE_KIND_TEXT && e.divisor != 0) ++slots;
    }
    return slots;
}

void DEVPAGE_HideTileWidgets(DeviceEntry* entry) {
    if (entry == nullptr) return;
    for (int32_t i = 0; i < entry->tile_widget_count && i < DEV_TILE_WIDGETS; ++i)
        WM_HideWin(entry->tile_widgets[i]);
}

void DEVPAGE_OnPageTick() {
    ELEMENT_ToggleBlink(&g_lamp);
    ELEMENT_AdvanceSunPhase();
}

// ---- Notifications ----

void DEVPAGE_OnNotify(int id, int code, WM_HANDLE sender) {
    if (id >= DEVPAGE_ID_HISTORY_FIRST && id <= DEVPAGE_ID_HISTORY_LAST) {
        HISTORY_OnNotify(id, code);
        return;
    }
    const int page = MAINSCREEN_CurrentPage();
    const int slot = id - MAIN_ID_NAME_FIELD;
    if (ValidSlot(page, slot) && MAINSCREEN_NameField(page, slot) != 0) {
        if (code != WM_NOTIFICATION_RELEASED) return;
        const WM_HANDLE field = MAINSCREEN_NameField(page, slot);
        char text[kNameFieldSize];
        TEXT_ReadText(field, text, sizeof text);
        char* colon = std::strchr(text, ':');
        if (colon != nullptr) *colon = '\0';
        KEYBOARD_Open(field, DEVPAGE_OnNameEntered, CONFIG_NAME_SIZE, text);
        return;
    }
    if (sender == 0) return;
    const int32_t count = g_device_list.device_count.load(std::memory_order_acquire);
    for (int32_t i = 0; i < count; ++i) {
        DeviceEntry& entry = g_device_list.entries[static_cast<size_t>(i)];
        bool ours = false;
        for (int32_t w = 0; w < entry.tile_widget_count && w < DEV_TILE_WIDGETS; ++w)
            ours = ours || entry.tile_widgets[w] == sender;
        const DeviceType* type = entry.type.load(std::memory_order_acquire);
        if (!ours || type == nullptr || type->page_layout == nullptr) continue;
        const PageLayout& layout = *type->page_layout;
        for (int32_t k = 0; k < layout.element_count; ++k) {
            const PageElement& e = layout.elements[k];
            if (e.kind != PE_KIND_BUTTON || e.button_id != id) continue;
            if (code == WM_NOTIFICATION_CLICKED) {
                DBG_Printf("WM_NOTIFICATION_CLICKED from Device %s, Widget %s\n", entry.name,
                           e.label);
            } else if (code == WM_NOTIFICATION_RELEASED) {
                DBG_Printf("WM_NOTIFICATION_RELEASED from Device %s, Widget %s\n", entry.name,
                           e.label);
                // Each write carries its own value, so two quick presses both arrive.
                Master_PostWrite(entry.unit_id.load(std::memory_order_relaxed), e.value_register,
                                 static_cast<uint16_t>(e.button_value));
            }
        }
    }
}

void DEVPAGE_OnNameEntered(const char* text, WM_HANDLE name_field) {
    int32_t index = -1;
    TEXT_ReadUserBytes(name_field, &index, sizeof index);
    const int32_t count = g_device_list.device_count.load(std::memory_order_acquire);
    DEVPAGE_CHECK(text != nullptr && index >= 0 && index < count);
    DeviceEntry& entry = g_device_list.entries[static_cast<size_t>(index)];
    const DeviceType* type = entry.type.load(std::memory_order_acquire);
    DEVPAGE_CHECK(type != nullptr && type->page_layout != nullptr);
    const bool member = DEV_IsDisplayMember(entry);

    if (text[0] == '\0' || std::strcmp(text, entry.name) == 0) {
        // Back to the device's own name: the field shows the default again.
        SetCustomName(entry, "");
        ShowDefaultName(entry, name_field);
    } else {
        char suffix[16] = "";
        if (!member)
            std::snprintf(suffix, sizeof suffix, ":%d",
                          entry.unit_id.load(std::memory_order_relaxed));
        char name[CONFIG_NAME_SIZE];
        char shown[CONFIG_NAME_SIZE + sizeof suffix];
        DEVPAGE_FitName(text, suffix, type->page_layout->tile_width - 5, CONFIG_NAME_SIZE - 1,
                        NameWidth, name, sizeof name, shown, sizeof shown);
        SetCustomName(entry, name);
        TEXT_PutText(name_field, shown);
    }
    StoreCustomNames();
}
