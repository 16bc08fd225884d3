// The device page: what is drawn inside a device's tile (gauges, batteries, thermometers,
// tanks, lamps, value texts, buttons, switch diagrams) from the device's register window and
// its type's element list, the buttons that write a register of the device, and the custom
// name the user types into a tile's name field. Everything here runs in the GUI task.
#pragma once

#include "devices/device_list.h"
#include "devices/device_types.h"
#include "gui/toolkit/wm/wm.h"

#include <cstdint>

constexpr int DEVPAGE_ID_VALUE_TEXT = 4048;   // + slot number on the page
constexpr int DEVPAGE_ID_HISTORY_FIRST = 384; // the history page's own widgets
constexpr int DEVPAGE_ID_HISTORY_LAST = 386;

// Draws the elements of the type's element list for one device with the tile origin at
// (x, y) of `window` (the page window being painted). Value texts take the page's slots from
// the running slot counter; a tile's buttons are made at its first drawing and afterwards
// shown and enabled by their second register. 0, or -1 after a parameter report.
int DEVPAGE_DrawElements(int x, int y, const DeviceType* type, WM_HANDLE window,
                         DeviceEntry* entry);

// The page slots one tile of the layout takes: its name field (a layout without tiles, width
// 0, has none), then one per value text that is drawn (a text with divisor 0 is refused and
// takes none). A tile takes them whether its device is online or not, so that each tile keeps
// its own name field and value texts when a neighbour goes offline or comes back.
int DEVPAGE_TileSlots(const PageLayout* layout);

// Hides the tile's buttons (the page paint calls it for a device that is offline; the next
// drawing while it is online shows them again).
void DEVPAGE_HideTileWidgets(DeviceEntry* entry);

// The page tick: lamps in alarm change their blink phase, the sun's rays grow one step.
void DEVPAGE_OnPageTick();

// A notification from a child of a device page: the history page's ids, a name field
// (opens the keyboard) or a tile's button (CLICKED is logged, RELEASED writes the button's
// value to the device).
void DEVPAGE_OnNotify(int id, int code, WM_HANDLE sender);

// The keyboard's done function for a name field: empty text restores the default, the
// device's own name clears the custom name, anything else becomes the custom name, cut to
// fit the tile. Every custom name is then written to the display unit's names file.
void DEVPAGE_OnNameEntered(const char* text, WM_HANDLE name_field);

// ---- The page refresh ------------------------------------------------------------------------
// A fingerprint of everything the paint of a page of `type` reads at this moment: the device
// count; per device of the type its place in the list, state and whole register window (the
// tile status is one of its registers); and the phase of every blink or animation its tiles
// show now (a lamp in alarm, the sun, an active charging symbol, lit switch marks). Equal
// fingerprints paint equal pixels.
uint64_t DEVPAGE_PageFingerprint(const DeviceType* type);
// The refresh of the page window `window`: what must be painted again since its last
// refresh. DEVPAGE_REFRESH_ALL when anything but a phase changed (or the page has not been
// refreshed yet, or the page number now belongs to another window); DEVPAGE_REFRESH_AREA
// with *area (window coordinates) covering the elements whose blink or animation phase
// moved when nothing else changed; DEVPAGE_REFRESH_NONE when nothing did. Remembers what it
// saw.
constexpr int DEVPAGE_REFRESH_NONE = 0;
constexpr int DEVPAGE_REFRESH_ALL = 1;
constexpr int DEVPAGE_REFRESH_AREA = 2;
int DEVPAGE_RefreshArea(WM_HANDLE window, GUI_RECT* area);
// The same as a yes or no: anything to paint again.
bool DEVPAGE_RefreshWanted(WM_HANDLE window);

// ---- The arithmetic of the page, without pixels ---------------------------------------------

// Formats a value for a value text. Divisor 1: value + offset as an integer; otherwise
// ((float)value + offset) / divisor in single precision. The format's one conversion gets an
// argument of its own kind whatever the divisor (an integer conversion a whole number, a
// floating one a double); a format without a conversion prints alone. Returns the length, or
// -1 (empty text) for a divisor of 0 or a format that is not one number conversion.
int DEVPAGE_FormatValue(char* buffer, int size, const char* format, int64_t value, int32_t offset,
                        int32_t divisor);

// LED state of a value: the first equal pair of the table (at most LED_TABLE_SIZE pairs);
// 0 and *found false when none matches.
int32_t DEVPAGE_LedState(const LedTable* table, int64_t value, bool* found);

// The blink of the charging symbols, shared by every such gauge: dark while not active;
// while active it flips whenever at least 2 whole seconds passed since the last flip.
struct DEVPAGE_ChargeBlink {
    int32_t charging = 0;
    int64_t last_flip = 0; // wall clock, seconds
};
int32_t DEVPAGE_ChargeBlinkStep(DEVPAGE_ChargeBlink* blink, bool active, int64_t now_seconds);

// Pictogram anchors of the power and charge gauges, integer arithmetic with each division
// done before its multiplication. (x, y, w, h) is the element's rectangle on the window.
struct DEVPAGE_SolarSymbol {
    int sun_x, sun_y, radius; // the sun, ray length = radius
    int panel_x, panel_y;     // the panel's top-left
};
DEVPAGE_SolarSymbol DEVPAGE_SolarAt(int x, int y, int w, int h);
void DEVPAGE_BulbAt(int x, int y, int w, int h, int* bx, int* by);
void DEVPAGE_ChargeAt(int x, int y, int w, int h, int* bx, int* by);

// Geometry of the switch diagram in a rectangle: unit u (a fifth of the height, or of
// width x 5 / 3 when the element is narrow), terminal corner radius k, frame radius.
struct DEVPAGE_SwitchGeometry {
    int u;
    int k;
    int frame_radius;
    int mark_size;   // the direction marks' size, 2u / 3
    int up_mark_x;   // left corner of the upward mark
    int down_mark_x; // left corner of the downward mark
    int mark_y;      // top of both marks
};
DEVPAGE_SwitchGeometry DEVPAGE_SwitchLayout(int x, int y, int w, int h);

// Which direction marks blink: upward while the current is below -threshold and a closed
// contact lets it flow that way (states 1 and 2), downward while it is above the threshold
// (states 1 and 3). States outside 0 to 3 draw no marks (*drawn false).
struct DEVPAGE_SwitchMarks {
    bool drawn;
    bool up_active;
    bool down_active;
};
DEVPAGE_SwitchMarks DEVPAGE_SwitchMarksFor(int64_t state, int32_t current, int32_t threshold);
// The marks' blink phase: 1 in every second 500 ms step of the toolkit clock.
int DEVPAGE_SwitchBlinkPhase(int now_ms);

// A custom name cut to fit a tile: the name part (at most max_name characters) and what the
// field shows, the name with `suffix` (":7", or "" for the display unit's own pages). Characters
// are dropped from the end of the name part while the shown text is wider than max_width
// and the name part has more than one character. `width` measures a text in pixels.
void DEVPAGE_FitName(const char* text, const char* suffix, int max_width, int max_name,
                     int (*width)(const char* text), char* name, int name_size, char* shown,
                     int shown_size);

// Tests move the wall clock of the charging blink (null: the real clock).
void DEVPAGE_SetWallClockForTests(int64_t (*now_seconds)());
// Tests start from a fresh page state (blink phases, charging blink, fingerprints).
void DEVPAGE_ResetForTests();
