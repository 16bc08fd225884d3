// Device page: value formats, lamps, buttons that write, switch diagram and custom names.
#include "pages/devicepage.h"

#include "base/queue.h"
#include "config/settings.h"
#include "elements/keyboard.h"
#include "elements/uguigauge.h"
#include "gui/toolkit/draw/gui_draw.h"
#include "gui/toolkit/widgets/button.h"
#include "gui/toolkit/widgets/edit.h"
#include "gui/toolkit/widgets/text.h"
#include "pages/mainscreen.h"
#include "tests/pages/devicepage_golden_util.h"
#include "tests/util/scratch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using pagetest::PageTest;
using widgettest::Px;

std::string Format(const char* format, int64_t value, int32_t offset, int32_t divisor) {
    char text[64];
    DEVPAGE_FormatValue(text, sizeof text, format, value, offset, divisor);
    return text;
}

TEST(DevicePageFormat, ValueTextsOfTheLayouts) {
    EXPECT_EQ(Format("Remaining time:", 56, 0, 1), "Remaining time:");
    EXPECT_EQ(Format("%.1f A", 12345, 0, 1000), "12.3 A");
    EXPECT_EQ(Format("%3ud", 5, 0, 1), "  5d");
    EXPECT_EQ(Format("%2uh", 7, 0, 1), " 7h");
    EXPECT_EQ(Format("Ubat: % 06.2f V", 13456, 0, 1000), "Ubat:  13.46 V");
    EXPECT_EQ(Format("Ibat: % 06.1f A", -2500, 0, 1000), "Ibat: -002.5 A");
    EXPECT_EQ(Format("%d %%", 47, 0, 1), "47 %");
    // Integer display with an offset, and 64 bits that a 32-bit argument would lose.
    EXPECT_EQ(Format("%d W", 100, -30, 1), "70 W");
    EXPECT_EQ(Format("%d", int64_t{5000000000}, 0, 1), "5000000000");
}

TEST(DevicePageFormat, CounterIsDividedInSinglePrecision) {
    // 123456789012 / 3600000 is 34293.5525... exactly; a float keeps about seven digits.
    const std::string shown = Format("%.3lf Ah", int64_t{123456789012}, 0, 3600000);
    const float expected = static_cast<float>(int64_t{123456789012}) / 3600000.0f;
    char want[32];
    std::snprintf(want, sizeof want, "%.3f Ah", static_cast<double>(expected));
    EXPECT_EQ(shown, want);
    EXPECT_NE(shown, "34293.553 Ah");
}

TEST(DevicePageFormat, RefusesWhatCannotBeFormattedSafely) {
    char text[16] = "x";
    EXPECT_EQ(DEVPAGE_FormatValue(text, sizeof text, "%d", 5, 0, 0), -1);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(DEVPAGE_FormatValue(text, sizeof text, "%s", 5, 0, 1), -1);
    EXPECT_EQ(DEVPAGE_FormatValue(text, sizeof text, "%d %d", 5, 0, 1), -1);
    EXPECT_EQ(DEVPAGE_FormatValue(text, sizeof text, "%n", 5, 0, 1), -1);
    // A floating conversion with divisor 1 and an integer one with a divisor get their own
    // kind of argument; a long text is cut to the buffer.
    EXPECT_EQ(Format("%.1f", 7, 0, 1), "7.0");
    EXPECT_EQ(Format("%d", 12345, 0, 1000), "12");
    EXPECT_EQ(DEVPAGE_FormatValue(text, 8, "%d units of it", 123, 0, 1), 7);
    EXPECT_STREQ(text, "123 uni");
}

TEST(DevicePageArithmetic, LedTableLookup) {
    LedTable table{};
    table.count = 3;
    table.pairs[0] = {0, 0};
    table.pairs[1] = {1, 2};
    table.pairs[2] = {1, 1}; // a later equal value is never reached
    bool found = false;
    EXPECT_EQ(DEVPAGE_LedState(&table, 1, &found), 2);
    EXPECT_TRUE(found);
    EXPECT_EQ(DEVPAGE_LedState(&table, 9, &found), 0);
    EXPECT_FALSE(found);
    table.count = 99; // a damaged count reads no further than the table
    table.pairs[15] = {42, 1};
    EXPECT_EQ(DEVPAGE_LedState(&table, 42, &found), 1);
    EXPECT_EQ(DEVPAGE_LedState(nullptr, 0, &found), 0);
    EXPECT_FALSE(found);
}

TEST(DevicePageArithmetic, ChargeBlinkFlipsEveryTwoSecondsWhileActive) {
    DEVPAGE_ChargeBlink blink{};
    EXPECT_EQ(DEVPAGE_ChargeBlinkStep(&blink, true, 100), 1);
    EXPECT_EQ(DEVPAGE_ChargeBlinkStep(&blink, true, 101), 1);
    EXPECT_EQ(DEVPAGE_ChargeBlinkStep(&blink, true, 102), 0);
    EXPECT_EQ(DEVPAGE_ChargeBlinkStep(&blink, true, 103), 0);
    EXPECT_EQ(DEVPAGE_ChargeBlinkStep(&blink, true, 104), 1);
    EXPECT_EQ(DEVPAGE_ChargeBlinkStep(&blink, false, 105), 0); // dark at once
    EXPECT_EQ(DEVPAGE_ChargeBlinkStep(&blink, true, 106), 1);
}

TEST(DevicePageArithmetic, SymbolAnchorsDivideBeforeMultiplying) {
    const DEVPAGE_SolarSymbol sun = DEVPAGE_SolarAt(15, 155, 200, 200);
    EXPECT_EQ(sun.sun_x, 15 + 80);
    EXPECT_EQ(sun.sun_y, 155 + 120);
    EXPECT_EQ(sun.radius, 12);
    EXPECT_EQ(sun.panel_x, 15 + 92);
    EXPECT_EQ(sun.panel_y, 155 + 132);
    int x = 0, y = 0;
    DEVPAGE_BulbAt(0, 0, 199, 250, &x, &y); // 199 / 100 is 1
    EXPECT_EQ(x, 45);
    EXPECT_EQ(y, 140);
    DEVPAGE_ChargeAt(247, 55, 300, 300, &x, &y);
    EXPECT_EQ(x, 247 + 120);
    EXPECT_EQ(y, 55 + 150);
}

TEST(DevicePageArithmetic, SwitchGeometryAndMarks) {
    // The BrantV2 diagram: 90 x 150, narrower than 150 x 3 / 5, so r = 90 x 5 / 3 = 150.
    DEVPAGE_SwitchGeometry g = DEVPAGE_SwitchLayout(28, 190, 90, 150);
    EXPECT_EQ(g.u, 30);
    EXPECT_EQ(g.k, 4);
    EXPECT_EQ(g.frame_radius, 6);
    EXPECT_EQ(g.mark_size, 20);
    EXPECT_EQ(g.up_mark_x, 28 + 19);
    EXPECT_EQ(g.down_mark_x, 28 + 49);
    EXPECT_EQ(g.mark_y, 190 + 85);
    g = DEVPAGE_SwitchLayout(0, 0, 60, 150); // narrow: r = 100
    EXPECT_EQ(g.u, 20);

    // Up while the current is below -threshold through a closed left contact, down while above
    // the threshold through a closed right one; the threshold itself does not count.
    struct Case {
        int64_t state;
        int32_t current;
        bool drawn, up, down;
    } cases[] = {
        {1, -6, true, true, false},  {1, -5, true, false, false},  {1, 6, true, false, true},
        {2, -6, true, true, false},  {2, 6, true, false, false},   {3, 6, true, false, true},
        {3, -6, true, false, false}, {0, -60, true, false, false}, {4, 60, false, false, false},
    };
    for (const Case& c : cases) {
        const DEVPAGE_SwitchMarks m = DEVPAGE_SwitchMarksFor(c.state, c.current, 5);
        EXPECT_EQ(m.drawn, c.drawn) << c.state << " " << c.current;
        EXPECT_EQ(m.up_active, c.up) << c.state << " " << c.current;
        EXPECT_EQ(m.down_active, c.down) << c.state << " " << c.current;
    }
    EXPECT_EQ(DEVPAGE_SwitchBlinkPhase(499), 0);
    EXPECT_EQ(DEVPAGE_SwitchBlinkPhase(500), 1);
    EXPECT_EQ(DEVPAGE_SwitchBlinkPhase(1000), 0);
}

int EightPerChar(const char* text) {
    return 8 * static_cast<int>(std::strlen(text));
}

TEST(DevicePageArithmetic, NamesAreCutToTheTileKeepingTheSuffix) {
    char name[30], shown[40];
    DEVPAGE_FitName("Garage battery", ":12", 87, 29, EightPerChar, name, sizeof name, shown,
                    sizeof shown);
    EXPECT_STREQ(shown, "Garage :12"); // 10 characters; "Garage b:12" is 88 wide
    EXPECT_STREQ(name, "Garage ");
    DEVPAGE_FitName("Shed", ":3", 200, 29, EightPerChar, name, sizeof name, shown, sizeof shown);
    EXPECT_STREQ(shown, "Shed:3");
    // Never below one character of the name, and never more than the name's capacity.
    DEVPAGE_FitName("Anything", ":70", 1, 29, EightPerChar, name, sizeof name, shown, sizeof shown);
    EXPECT_STREQ(shown, "A:70");
    DEVPAGE_FitName("abcdefghijklmnopqrstuvwxyz0123456789", "", 1000, 29, EightPerChar, name,
                    sizeof name, shown, sizeof shown);
    EXPECT_EQ(std::strlen(name), 29u);
}

// ---- On a page ----

// Value texts of one test type: a divisor-0 text, a conversion-free one, a drawn box and a
// right-aligned integer.
PageElement ValueText(int number, int y, int32_t reg, const char* format, int32_t divisor,
                      int32_t box) {
    PageElement e{};
    e.number = number;
    std::snprintf(e.label, sizeof e.label, "T%d", number);
    e.kind = PE_KIND_TEXT;
    e.value_register = reg;
    e.value_type = REG_TYPE_U16;
    std::snprintf(e.format, sizeof e.format, "%s", format);
    e.divisor = divisor;
    e.x = 10;
    e.y = y;
    e.width = 200;
    e.height = 25;
    e.colour1 = box;
    e.colour2 = box == -1 ? -1 : 0x0000FF;
    return e;
}

const PageElement kTextElements[] = {
    ValueText(0, 40, 20, "%d", 0, -1),
    ValueText(1, 70, 21, "Remaining time:", 1, -1),
    ValueText(2, 100, 22, "%.1f A", 1000, 0x808080),
    ValueText(3, 130, 23, "%3ud", 1, -1),
};
const PageLayout kTextLayout = [] {
    PageLayout l{};
    std::snprintf(l.short_name, sizeof l.short_name, "Texts");
    l.tile_width = 0; // no frame and no name field: the slots are the texts' alone
    l.tile_height = 382;
    l.element_count = 4;
    l.elements = kTextElements;
    return l;
}();
const DeviceType kTextType{1024, 100, 1000, &kTextLayout, nullptr};

std::string TextOf(WM_HANDLE text) {
    char buffer[64] = "";
    TEXT_ReadText(text, buffer, sizeof buffer);
    return buffer;
}

TEST_F(PageTest, ValueTextsShareTheSlotsAndDivisorZeroDrawsNothing) {
    DEV_BeginSearch();
    const int32_t i = DEV_AppendDevice(7, DEV_FindSearchType(1024));
    DeviceEntry& entry = g_device_list.entries[static_cast<size_t>(i)];
    entry.type.store(&kTextType);
    RegisterCell* w = entry.registers.load();
    Reg_Set(w, 22, 12345);
    Reg_Set(w, 23, 5);
    MakePage(&kTextType);

    EXPECT_EQ(debug.Count("Wrong parameters value: file pages/devicepage on line"), 1);
    // The divisor-0 text takes no slot: the next text is slot 0, the box slot 1.
    ASSERT_NE(MAINSCREEN_NameField(0, 0), 0);
    EXPECT_EQ(WM_GetWinId(MAINSCREEN_NameField(0, 0)), DEVPAGE_ID_VALUE_TEXT);
    EXPECT_EQ(TextOf(MAINSCREEN_NameField(0, 0)), "Remaining time:");
    EXPECT_EQ(MAINSCREEN_NameField(0, 1), 0);
    ASSERT_NE(MAINSCREEN_NameField(0, 2), 0);
    EXPECT_EQ(WM_GetWinId(MAINSCREEN_NameField(0, 2)), DEVPAGE_ID_VALUE_TEXT + 2);
    EXPECT_EQ(TextOf(MAINSCREEN_NameField(0, 2)), "  5d");
    EXPECT_EQ(MAINSCREEN_SlotCounter(), 3);
    // The drawn box: grey behind red text.
    EXPECT_EQ(At(2 + 5 + 10 + 3, 60 + 5 + 100 + 2), Px(0x808080));

    // Later paints update the same widgets.
    const WM_HANDLE held = MAINSCREEN_NameField(0, 2);
    Reg_Set(w, 23, 123);
    Repaint();
    EXPECT_EQ(MAINSCREEN_NameField(0, 2), held);
    EXPECT_EQ(TextOf(held), "123d");
}

TEST_F(PageTest, CeltonBalancerLampBlinksBlueAndWarnsOnUnknownValues) {
    DEV_BeginSearch();
    const int32_t i = DEV_AppendDevice(5, DEV_FindSearchType(100));
    DeviceEntry& entry = g_device_list.entries[static_cast<size_t>(i)];
    RegisterCell* w = entry.registers.load();
    Reg_Set(w, 107, 1);
    MakePage(DEV_FindSearchType(100));
    EXPECT_EQ(debug.Count("WARNING: LED VALUE NOT FOUND IN TABLE!\n"), 0);

    // The "BL" lamp at (10, 335) of the tile at (5, 5): its border alternates on each tick
    // between grey and blue.
    const int bx = 2 + 5 + 10 + 1, by = 60 + 5 + 335 + 12;
    std::vector<uint32_t> seen;
    for (int tick = 0; tick < 4; ++tick) {
        DEVPAGE_OnPageTick();
        Repaint();
        seen.push_back(At(bx, by));
    }
    EXPECT_EQ(seen[0], seen[2]);
    EXPECT_EQ(seen[1], seen[3]);
    EXPECT_NE(seen[0], seen[1]);
    EXPECT_TRUE((seen[0] == Px(0xFF0000) && seen[1] == Px(0x808080)) ||
                (seen[1] == Px(0xFF0000) && seen[0] == Px(0x808080)));

    Reg_Set(w, 107, 9);
    debug.Clear();
    Repaint();
    EXPECT_EQ(debug.Count("WARNING: LED VALUE NOT FOUND IN TABLE!\n"), 1);
    EXPECT_EQ(At(bx, by), Px(0x808080));
}

bool Enabled(WM_HANDLE button) {
    return WM_IsEnabled(button);
}

TEST_F(PageTest, ButtonsAreMadeOnceShownWhileOnlineAndEnabledByTheirSecondRegister) {
    DEV_BeginSearch();
    const int32_t i = DEV_AppendDevice(11, DEV_FindSearchType(201));
    DeviceEntry& entry = g_device_list.entries[static_cast<size_t>(i)];
    RegisterCell* w = entry.registers.load();
    Reg_Set(w, 148, 0);
    MakePage(DEV_FindSearchType(201));
    ASSERT_EQ(entry.tile_widget_count, 3);
    EXPECT_EQ(entry.widgets_made, 1);
    const WM_HANDLE off = entry.tile_widgets[0], on = entry.tile_widgets[2];
    EXPECT_EQ(WM_GetWinId(off), 3952);
    EXPECT_EQ(WM_GetWinId(on), 3954);
    char label[8] = "";
    BUTTON_ReadText(on, label, sizeof label);
    EXPECT_STREQ(label, "ON");
    int32_t word = 0;
    BUTTON_ReadUserBytes(off, &word, sizeof word);
    EXPECT_EQ(word, -1);
    BUTTON_ReadUserBytes(on, &word, sizeof word);
    EXPECT_EQ(word, 2);

    EXPECT_FALSE(Enabled(on)); // register 148 is 0
    EXPECT_TRUE(Enabled(off)); // no second register: never disabled
    Reg_Set(w, 148, 1);
    Repaint();
    EXPECT_TRUE(Enabled(on));
    Reg_Set(w, 148, 0);
    Repaint();
    EXPECT_FALSE(Enabled(on));
    EXPECT_TRUE(Enabled(off));
    EXPECT_EQ(entry.tile_widget_count, 3); // never made twice

    entry.state.store(0); // offline: hidden
    Repaint();
    for (int k = 0; k < 3; ++k)
        EXPECT_FALSE(WM_IsVisible(entry.tile_widgets[k]));
    entry.state.store(1); // answering again: back
    Repaint();
    for (int k = 0; k < 3; ++k)
        EXPECT_TRUE(WM_IsVisible(entry.tile_widgets[k]));
}

MasterMessage TakeWrite() {
    MasterMessage m{};
    m.kind = -1;
    QUEUE_Receive(&g_master_queue, &m);
    return m;
}

TEST_F(PageTest, ReleasingAButtonWritesItsValueToTheDevice) {
    DEV_BeginSearch();
    DEV_AppendDevice(3, DEV_FindSearchType(201));
    const int32_t i = DEV_AppendDevice(10, DEV_FindSearchType(200));
    DeviceEntry& brant = g_device_list.entries[static_cast<size_t>(i)];
    MakePage(DEV_FindSearchType(200));
    ASSERT_EQ(brant.tile_widget_count, 3);

    // "AUTO" at (10, 90) of the tile at (5, 5) of the page at (2, 60).
    const int ax = 2 + 5 + 10 + 40, ay = 60 + 5 + 90 + 20;
    Pointer(ax, ay, 1);
    EXPECT_EQ(debug.Count("WM_NOTIFICATION_CLICKED from Device Brant, Widget AUTO\n"), 1);
    EXPECT_EQ(g_master_queue.count, 0); // pressing alone writes nothing
    Pointer(ax, ay, 0);
    EXPECT_EQ(debug.Count("WM_NOTIFICATION_RELEASED from Device Brant, Widget AUTO\n"), 1);
    ASSERT_EQ(g_master_queue.count, 1);
    MasterMessage m = TakeWrite();
    EXPECT_EQ(m.kind, MB_CMD_WRITE);
    EXPECT_EQ(m.unit_id, 10);
    EXPECT_EQ(m.start_address, 18);
    EXPECT_EQ(m.register_count, 1);
    EXPECT_EQ(m.reserved, 5);
    ASSERT_NE(m.data, nullptr);
    EXPECT_EQ(*m.data, 2);

    // Two quick presses before the master task takes either: each keeps its own value.
    Click(ax, ay);
    Click(2 + 5 + 10 + 40, 60 + 5 + 140 + 20); // "ON"
    ASSERT_EQ(g_master_queue.count, 2);
    const MasterMessage second = TakeWrite();
    const MasterMessage first = TakeWrite();
    EXPECT_EQ(*first.data, 2);
    EXPECT_EQ(*second.data, 1);
    EXPECT_NE(first.data, second.data);
}

// Pixels of the colour in the screen rectangle (inclusive).
int CountColour(const std::vector<uint32_t>& screen, int x0, int y0, int x1, int y1,
                GUI_COLOUR colour) {
    int n = 0;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            n += screen[static_cast<size_t>(y) * 800 + static_cast<size_t>(x)] == Px(colour);
    return n;
}

TEST_F(PageTest, SwitchDiagramContactsFollowTheStateAndTheMarksBlinkWithTheCurrent) {
    DEV_BeginSearch();
    const int32_t i = DEV_AppendDevice(11, DEV_FindSearchType(201));
    RegisterCell* w = g_device_list.entries[static_cast<size_t>(i)].registers.load();
    MakePage(DEV_FindSearchType(201));
    // The diagram (28, 190, 90 x 150) of the tile at (5, 5) of the page at (2, 60): u = 30.
    const int X = 2 + 5 + 28, Y = 60 + 5 + 190, u = 30;
    const int up_x = X + 19, down_x = X + 49, mark_y = Y + 85;
    struct Look {
        int up_blue, down_blue, up_base, down_base, left_blade, right_blade;
    };
    auto look = [&](int state, int current, int now) {
        Reg_Set(w, 117, static_cast<uint16_t>(state));
        Reg_Set(w, 108, static_cast<uint16_t>(current));
        now_ms = now;
        Repaint();
        const std::vector<uint32_t> screen = Shown();
        Look l{};
        l.up_blue = CountColour(screen, up_x, mark_y, up_x + 20, mark_y + 20, 0xFF0000);
        l.down_blue = CountColour(screen, down_x, mark_y, down_x + 20, mark_y + 20, 0xFF0000);
        l.up_base = CountColour(screen, up_x, mark_y, up_x + 20, mark_y + 20, 0xFF944D);
        l.down_base = CountColour(screen, down_x, mark_y, down_x + 20, mark_y + 20, 0xFF944D);
        // An upright (closed) blade is white straight above its pivot.
        l.left_blade = CountColour(screen, X + u - 1, Y + 58, X + u + 1, Y + 68, 0xFFFFFF);
        l.right_blade = CountColour(screen, X + 2 * u - 1, Y + 58, X + 2 * u + 1, Y + 68, 0xFFFFFF);
        return l;
    };

    // Both closed, current flowing up: the up mark blinks every 500 ms, the down mark stays.
    Look a = look(1, static_cast<uint16_t>(-20), 1000);
    Look b = look(1, static_cast<uint16_t>(-20), 1500);
    EXPECT_GT(a.left_blade, 0);
    EXPECT_GT(a.right_blade, 0);
    EXPECT_EQ(a.up_blue, 0);
    EXPECT_GT(a.up_base, 20);
    EXPECT_GT(b.up_blue, 20);
    EXPECT_EQ(b.down_blue, 0);
    EXPECT_GT(b.down_base, 20);
    // Current within the threshold: no blinking.
    b = look(1, 5, 1500);
    EXPECT_EQ(b.up_blue + b.down_blue, 0);
    // Downwards through the right contact (state 3), but not through the left one (state 2).
    b = look(3, 20, 1500);
    EXPECT_EQ(b.up_blue, 0);
    EXPECT_GT(b.down_blue, 20);
    EXPECT_EQ(b.left_blade, 0);
    EXPECT_GT(b.right_blade, 0);
    b = look(2, 20, 1500);
    EXPECT_EQ(b.down_blue, 0);
    EXPECT_GT(b.left_blade, 0);
    EXPECT_EQ(b.right_blade, 0);
    // Both open, and no marks at all outside states 0 to 3.
    b = look(0, 20, 1500);
    EXPECT_EQ(b.left_blade + b.right_blade, 0);
    EXPECT_GT(b.up_base + b.down_base, 40);
    b = look(7, 20, 1500);
    EXPECT_EQ(b.up_base + b.down_base + b.up_blue + b.down_blue, 0);
}

int64_t g_wall = 0;
int64_t TestWall() {
    return g_wall;
}

TEST_F(PageTest, ChargingSymbolBlinksOnTheWallClockWhileTheBatteryCurrentIsAbove50) {
    DEV_BeginSearch();
    const int32_t first = DEV_CreateDisplayGroup(1);
    RegisterCell* w = g_device_list.entries[static_cast<size_t>(first + 1)].registers.load();
    DEVPAGE_SetWallClockForTests(TestWall);
    MakePage(DeviceTypeTable[DEV_TYPE_HOME]);
    // The symbol's 50 x 100 body at (X + 120, Y + 150) of the gauge at (242, 50).
    const int bx = 2 + 5 + 242 + 120, by = 60 + 5 + 50 + 150;
    auto yellow = [&](int64_t now, int32_t current) {
        g_wall = now;
        Reg_Set32(w, 44, static_cast<uint32_t>(current));
        Repaint();
        return CountColour(Shown(), bx, by, bx + 50, by + 100, 0x00FFFF);
    };
    EXPECT_GT(yellow(100, 51), 30);
    EXPECT_GT(yellow(101, 51), 30); // less than 2 s since the flip
    EXPECT_EQ(yellow(102, 51), 0);
    EXPECT_GT(yellow(104, 51), 30);
    EXPECT_EQ(yellow(105, 50), 0); // 50 or less: dark at once
    EXPECT_EQ(yellow(110, -4000), 0);
}

// A name field like the main screen's, for the device at list index `index`.
WM_HANDLE NameField(WM_HANDLE page, int slot, int32_t index, const char* text) {
    const WM_HANDLE field =
        TEXT_CreateUser(8, 8, 180, 24, page, WM_CF_VISIBLE, GUI_ALIGN_HCENTER | GUI_ALIGN_VCENTER,
                        MAIN_ID_NAME_FIELD + slot, text, sizeof(int32_t));
    TEXT_WriteUserBytes(field, &index, sizeof index);
    TEXT_PutFont(field, &FONT_20B);
    MAINSCREEN_SetNameField(0, slot, field);
    return field;
}

TEST_F(PageTest, NameFieldOpensTheKeyboardWithTheNameWithoutItsUnit) {
    DEV_BeginSearch();
    const int32_t i = DEV_AppendDevice(10, DEV_FindSearchType(200));
    MakePage(DEV_FindSearchType(200));
    const WM_HANDLE field = NameField(page, 0, i, "Pump:10");
    DEVPAGE_OnNotify(MAIN_ID_NAME_FIELD, WM_NOTIFICATION_CLICKED, field);
    EXPECT_EQ(KEYBOARD_Handle(), 0);
    DEVPAGE_OnNotify(MAIN_ID_NAME_FIELD, WM_NOTIFICATION_RELEASED, field);
    Exec();
    const WM_HANDLE keyboard = KEYBOARD_Handle();
    ASSERT_NE(keyboard, 0);
    char text[40] = "";
    EDIT_ReadText(WM_FindChildById(keyboard, KEYBOARD_ID_EDIT), text, sizeof text);
    EXPECT_STREQ(text, "Pump");
    WM_DeleteWindow(keyboard);
}

TEST_F(PageTest, NameTypedOnTheKeyboardBecomesTheCustomNameAndIsStored) {
    DEV_BeginSearch();
    DEV_CreateDisplayGroup(1);
    const int32_t brant = DEV_AppendDevice(10, DEV_FindSearchType(200));
    MakePage(DEV_FindSearchType(200));
    const WM_HANDLE field = NameField(page, 0, brant, "Brant:10");
    DEVPAGE_OnNotify(MAIN_ID_NAME_FIELD, WM_NOTIFICATION_RELEASED, field);
    Exec();
    ASSERT_NE(KEYBOARD_Handle(), 0);
    // Key centres: "CLR" ends the third row, then b (third row), o, a (second row), t.
    auto key = [&](int x, int y) { Click(x + 32, y + 32); };
    key(37 + 75 * 9, 325);
    key(37 + 75 * 5, 325);
    key(37 + 75 * 8, 175);
    key(75, 250);
    key(37 + 75 * 4, 175);
    Click(725 + 30, 405 + 30); // confirm
    EXPECT_EQ(KEYBOARD_Handle(), 0);
    EXPECT_EQ(TextOf(field), "boat:10");
    EXPECT_STREQ(g_device_list.entries[static_cast<size_t>(brant)].custom_name, "boat");
    // What a restart reads back from the names file.
    ConfigIdentity identity;
    for (int r = 0; r < 6; ++r)
        identity.words[static_cast<size_t>(r)] = Reg_Get(g_register_store.data(), 2 + r);
    char stored[CONFIG_NAME_SIZE] = "";
    CONFIG_GetDeviceName(identity, brant, stored, sizeof stored);
    EXPECT_STREQ(stored, "boat");
}

TEST_F(PageTest, EnteredNamesFollowTheRulesAndAreStored) {
    DEV_BeginSearch();
    const int32_t home = DEV_CreateDisplayGroup(1) + 1;
    const int32_t brant = DEV_AppendDevice(10, DEV_FindSearchType(200));
    DeviceEntry& entry = g_device_list.entries[static_cast<size_t>(brant)];
    MakePage(DEV_FindSearchType(200));
    const WM_HANDLE field = NameField(page, 0, brant, "Brant:10");
    ConfigIdentity identity;
    for (int r = 0; r < 6; ++r)
        identity.words[static_cast<size_t>(r)] = Reg_Get(g_register_store.data(), 2 + r);
    char stored[CONFIG_NAME_SIZE];

    DEVPAGE_OnNameEntered("Pump", field);
    EXPECT_EQ(TextOf(field), "Pump:10");
    EXPECT_STREQ(entry.custom_name, "Pump");
    CONFIG_GetDeviceName(identity, brant, stored, sizeof stored);
    EXPECT_STREQ(stored, "Pump");

    // A long name is cut so that it and its unit fit the 190-pixel tile.
    DEVPAGE_OnNameEntered("The pump in the garden shed", field);
    const std::string shown = TextOf(field);
    ASSERT_GT(shown.size(), 3u);
    EXPECT_EQ(shown.substr(shown.size() - 3), ":10");
    EXPECT_LT(shown.size(), std::strlen("The pump in the garden shed:10"));
    GUI_SelectFont(&FONT_20B);
    EXPECT_LE(GUI_GetTextWidth(shown.c_str()), 190 - 5);
    const std::string longer = shown.substr(0, shown.size() - 3) + "e:10";
    EXPECT_GT(GUI_GetTextWidth(longer.c_str()), 190 - 5);
    EXPECT_EQ(std::string(entry.custom_name) + ":10", shown);

    // The device's own name and the empty name both clear it and show the default.
    DEVPAGE_OnNameEntered("Brant", field);
    EXPECT_STREQ(entry.custom_name, "");
    EXPECT_EQ(TextOf(field), "Brant:10");
    DEVPAGE_OnNameEntered("Pump", field);
    DEVPAGE_OnNameEntered("", field);
    EXPECT_STREQ(entry.custom_name, "");
    EXPECT_EQ(TextOf(field), "Brant:10");
    CONFIG_GetDeviceName(identity, brant, stored, sizeof stored);
    EXPECT_STREQ(stored, "");

    // The display unit's pages have no unit suffix and are stored under their keys.
    const WM_HANDLE home_field = NameField(page, 1, home, "Home");
    DEVPAGE_OnNameEntered("Boat", home_field);
    EXPECT_EQ(TextOf(home_field), "Boat");
    CONFIG_GetPageName(identity, "HOME", stored, sizeof stored);
    EXPECT_STREQ(stored, "Boat");
    EXPECT_EQ(debug.Count("Cannot write device custom name into INI-file\n"), 0);
}

TEST_F(PageTest, AFailedNamesFileWriteIsReportedAndTheNameKept) {
    DEV_BeginSearch();
    const int32_t brant = DEV_AppendDevice(10, DEV_FindSearchType(200));
    MakePage(DEV_FindSearchType(200));
    const WM_HANDLE field = NameField(page, 0, brant, "Brant:10");
    // The data folder is a file now: nothing can be written into it.
    std::filesystem::remove_all(data_folder);
    WriteBytes(data_folder, "not a folder");
    DEVPAGE_OnNameEntered("Pump", field);
    EXPECT_EQ(debug.Count("Cannot write device custom name into INI-file\n"), 1);
    EXPECT_STREQ(g_device_list.entries[static_cast<size_t>(brant)].custom_name, "Pump");
}

} // namespace

// ---- The page refresh: a paint only when something the page draws changed ----

TEST_F(PageTest, RefreshWantsAPaintWhenARegisterTheStateOrTheListChanged) {
    DEV_BeginSearch();
    const int32_t i = DEV_AppendDevice(5, DEV_FindSearchType(100));
    DeviceEntry& entry = g_device_list.entries[static_cast<size_t>(i)];
    RegisterCell* w = entry.registers.load();
    MakePage(DEV_FindSearchType(100));
    EXPECT_TRUE(DEVPAGE_RefreshWanted(page)); // nothing seen yet
    EXPECT_FALSE(DEVPAGE_RefreshWanted(page));
    // A tick moves phases that no tile shows now (no lamp in alarm, no sun).
    DEVPAGE_OnPageTick();
    EXPECT_FALSE(DEVPAGE_RefreshWanted(page));

    Reg_Set(w, 23, 7);
    EXPECT_TRUE(DEVPAGE_RefreshWanted(page));
    Reg_Set(w, 23, 7); // written again with the same value
    EXPECT_FALSE(DEVPAGE_RefreshWanted(page));
    entry.state.store(0);
    EXPECT_TRUE(DEVPAGE_RefreshWanted(page));
    entry.state.store(1);
    EXPECT_TRUE(DEVPAGE_RefreshWanted(page));

    // Another device of the type gets a tile; one of another type changes only the count.
    const int32_t second = DEV_AppendDevice(6, DEV_FindSearchType(100));
    EXPECT_TRUE(DEVPAGE_RefreshWanted(page));
    Reg_Set(g_device_list.entries[static_cast<size_t>(second)].registers.load(), 40, 3);
    EXPECT_TRUE(DEVPAGE_RefreshWanted(page));
    const int32_t other = DEV_AppendDevice(7, DEV_FindSearchType(201));
    EXPECT_TRUE(DEVPAGE_RefreshWanted(page));
    Reg_Set(g_device_list.entries[static_cast<size_t>(other)].registers.load(), 40, 3);
    EXPECT_FALSE(DEVPAGE_RefreshWanted(page));

    // A window that is not one of the pages is always repainted, as before.
    EXPECT_TRUE(DEVPAGE_RefreshWanted(WM_GetRootWin()));
    EXPECT_TRUE(DEVPAGE_RefreshWanted(WM_GetRootWin()));
}

TEST_F(PageTest, RefreshFollowsTheLampBlinkAndTheSwitchMarksOnlyWhileTheyBlink) {
    DEV_BeginSearch();
    const int32_t celton = DEV_AppendDevice(5, DEV_FindSearchType(100));
    RegisterCell* c = g_device_list.entries[static_cast<size_t>(celton)].registers.load();
    Reg_Set(c, 107, 1); // the balancer lamp in alarm
    MakePage(DEV_FindSearchType(100));
    EXPECT_TRUE(DEVPAGE_RefreshWanted(page));
    EXPECT_FALSE(DEVPAGE_RefreshWanted(page));
    DEVPAGE_OnPageTick();
    EXPECT_TRUE(DEVPAGE_RefreshWanted(page));
    EXPECT_FALSE(DEVPAGE_RefreshWanted(page));
    Reg_Set(c, 107, 0);
    EXPECT_TRUE(DEVPAGE_RefreshWanted(page));
    DEVPAGE_OnPageTick();
    EXPECT_FALSE(DEVPAGE_RefreshWanted(page));

    DEV_BeginSearch();
    const int32_t brant = DEV_AppendDevice(11, DEV_FindSearchType(201));
    RegisterCell* b = g_device_list.entries[static_cast<size_t>(brant)].registers.load();
    Reg_Set(b, 117, 1);
    Reg_Set(b, 108, static_cast<uint16_t>(-20)); // current up through closed contacts
    now_ms = 1000;
    MakePage(DEV_FindSearchType(201));
    EXPECT_TRUE(DEVPAGE_RefreshWanted(page));
    now_ms = 1499; // the same 500 ms step of the marks
    EXPECT_FALSE(DEVPAGE_RefreshWanted(page));
    now_ms = 1500;
    EXPECT_TRUE(DEVPAGE_RefreshWanted(page));
    Reg_Set(b, 108, 5); // within the threshold: the marks stop blinking
    EXPECT_TRUE(DEVPAGE_RefreshWanted(page));
    now_ms = 2000;
    EXPECT_FALSE(DEVPAGE_RefreshWanted(page));
}

TEST_F(PageTest, RefreshFollowsTheSunAndTheChargingSymbolOnTheHomePage) {
    DEV_BeginSearch();
    const int32_t first = DEV_CreateDisplayGroup(1);
    RegisterCell* w = g_device_list.entries[static_cast<size_t>(first + 1)].registers.load();
    DEVPAGE_SetWallClockForTests(TestWall);
    g_wall = 100;
    Reg_Set32(w, 44, 51); // charging: the symbol flips every 2 s
    MakePage(DeviceTypeTable[DEV_TYPE_HOME]);
    EXPECT_TRUE(DEVPAGE_RefreshWanted(page));
    g_wall = 101;
    EXPECT_FALSE(DEVPAGE_RefreshWanted(page));
    g_wall = 102; // a flip is due
    EXPECT_TRUE(DEVPAGE_RefreshWanted(page));
    Repaint(); // the paint makes the flip, which is what the refresh foresaw
    EXPECT_FALSE(DEVPAGE_RefreshWanted(page));
    g_wall = 103;
    EXPECT_FALSE(DEVPAGE_RefreshWanted(page));
    // The sun's rays grow on every tick while the page shows it.
    DEVPAGE_OnPageTick();
    EXPECT_TRUE(DEVPAGE_RefreshWanted(page));
    EXPECT_FALSE(DEVPAGE_RefreshWanted(page));
    Reg_Set32(w, 44, 0); // not charging: the symbol stays dark however the clock runs
    EXPECT_TRUE(DEVPAGE_RefreshWanted(page));
    Repaint();
    g_wall = 110;
    EXPECT_FALSE(DEVPAGE_RefreshWanted(page));
}

TEST_F(PageTest, AnAnimationStepRepaintsOnlyItsElementAndLooksLikeAFullRepaint) {
    DEV_BeginSearch();
    const int32_t first = DEV_CreateDisplayGroup(1);
    RegisterCell* w = g_device_list.entries[static_cast<size_t>(first + 1)].registers.load();
    Reg_Set(w, 20, 150); // some solar power, so the gauge has a value beside the sun
    MakePage(DeviceTypeTable[DEV_TYPE_HOME]);
    GUI_RECT area{};
    EXPECT_EQ(DEVPAGE_RefreshArea(page, &area), DEVPAGE_REFRESH_ALL); // nothing seen yet
    for (int step = 0; step < 3; ++step) {
        DEVPAGE_OnPageTick(); // the sun's rays grow
        ASSERT_EQ(DEVPAGE_RefreshArea(page, &area), DEVPAGE_REFRESH_AREA) << step;
        // The solar gauge (10, 150, 200 x 200) of the tile at (5, 5), a pixel around it.
        EXPECT_EQ(area.x0, 5 + 10 - 1);
        EXPECT_EQ(area.y0, 5 + 150 - 1);
        EXPECT_EQ(area.x1, 5 + 10 + 200 + 1);
        EXPECT_EQ(area.y1, 5 + 150 + 200 + 1);
        WM_InvalidateRect(page, &area);
        Exec();
        const std::vector<uint32_t> partial = Shown();
        Repaint();
        EXPECT_TRUE(Shown() == partial) << "step " << step;
        EXPECT_EQ(DEVPAGE_RefreshArea(page, &area), DEVPAGE_REFRESH_NONE);
    }
    // A tick together with a changed register repaints the whole page.
    DEVPAGE_OnPageTick();
    Reg_Set(w, 20, 160);
    EXPECT_EQ(DEVPAGE_RefreshArea(page, &area), DEVPAGE_REFRESH_ALL);
    // A tile the page has never painted is repainted whole when its phase moves.
    DEVPAGE_ResetForTests();
    EXPECT_EQ(DEVPAGE_RefreshArea(page, &area), DEVPAGE_REFRESH_ALL);
    DEVPAGE_OnPageTick();
    EXPECT_EQ(DEVPAGE_RefreshArea(page, &area), DEVPAGE_REFRESH_ALL);
}

// ---- Captions, slots and reports of every layout ----

namespace {

// The caption plates of a layout: the captioned gauge's box and the signed gauge's plate, both
// as wide as their element.
bool HasCaptionPlate(const PageElement& e) {
    return e.hidden == 0 && (e.kind == PE_KIND_GAUGE || e.kind == PE_KIND_GAUGE_SIGNED);
}

} // namespace

TEST_F(PageTest, EveryCaptionOfEveryLayoutFitsItsPlate) {
    int plates = 0;
    for (const DeviceType* type : DeviceTypeTable) {
        if (type == nullptr || type->page_layout == nullptr) continue;
        const PageLayout& layout = *type->page_layout;
        for (int32_t i = 0; i < layout.element_count; ++i) {
            const PageElement& e = layout.elements[i];
            if (!HasCaptionPlate(e)) continue;
            ++plates;
            const GUI_FONTDEF* font = uguigauge_CaptionFont(e.label, e.width, &FONT_16B);
            const GUI_FONTDEF* before = GUI_SelectFont(font);
            const int width = GUI_GetTextWidth(e.label);
            GUI_SelectFont(before);
            EXPECT_LE(width, e.width - 2 * UGUIGAUGE_CAPTION_MARGIN)
                << layout.short_name << " (" << type->type_id << "): \"" << e.label << "\"";
        }
    }
    EXPECT_GE(plates, 20) << "the walk found the gauges of the layouts";
}

// Each tile takes its slots whether its device answers or not: the online drawing of every
// layout takes exactly the value-text slots the page keeps for an offline tile.
TEST_F(PageTest, EveryLayoutTakesTheSameSlotsOnlineAsTheTileKeepsOffline) {
    pagetest::ListFull();
    std::vector<const DeviceType*> seen;
    const int32_t count = g_device_list.device_count.load();
    for (int32_t i = 0; i < count; ++i) {
        DeviceEntry& entry = g_device_list.entries[static_cast<size_t>(i)];
        const DeviceType* type = entry.type.load();
        if (type == nullptr || type->page_layout == nullptr) continue;
        MAINSCREEN_SetPageType(0, type);
        const WM_HANDLE win = WM_CreateWindowAsChild(2, 60, 798, 425, parent, 0, nullptr, 0);
        MAINSCREEN_SetSlotCounter(0);
        const int name_field = type->page_layout->tile_width != 0 ? 1 : 0;
        ASSERT_EQ(DEVPAGE_DrawElements(5, 5, type, win, &entry), 0);
        EXPECT_EQ(name_field + MAINSCREEN_SlotCounter(), DEVPAGE_TileSlots(type->page_layout))
            << type->page_layout->short_name << " (" << type->type_id << ")";
        WM_DeleteWindow(win);
        MAINSCREEN_ForgetPageRegisters();
        if (std::find(seen.begin(), seen.end(), type) == seen.end()) seen.push_back(type);
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(DEV_TYPE_COUNT)) << "every type's layout";
    const DeviceType* corvo = DEV_FindSearchType(500);
    EXPECT_EQ(DEVPAGE_TileSlots(corvo->page_layout), 2); // the name field and "CNT"
    EXPECT_EQ(DEVPAGE_TileSlots(nullptr), 0);
}

// Corvo meters read their range and limit registers (237 to 253) beyond what is polled, so
// both gauges of each meter have an empty range: one report per meter and gauge, however
// often the page is painted, and one more when a range came and went.
TEST_F(PageTest, EmptyGaugeRangesAreReportedOncePerDeviceAndElement) {
    DEV_BeginSearch();
    const int32_t first = DEV_AppendDevice(7, DEV_FindSearchType(500));
    DEV_AppendDevice(8, DEV_FindSearchType(500));
    MakePage(DEV_FindSearchType(500));
    for (int paint = 0; paint < 100; ++paint)
        Repaint();
    const std::string report = "Wrong parameters value: file elements/uguigauge on line";
    EXPECT_EQ(debug.Count(report), 4) << debug.Text();

    // The voltage gauge's upper end (register 241) reads a value, then 0 again.
    RegisterCell* w = g_device_list.entries[static_cast<size_t>(first)].registers.load();
    Reg_Set(w, 241, 16000);
    for (int paint = 0; paint < 10; ++paint)
        Repaint();
    EXPECT_EQ(debug.Count(report), 4);
    Reg_Set(w, 241, 0);
    for (int paint = 0; paint < 10; ++paint)
        Repaint();
    EXPECT_EQ(debug.Count(report), 5);
}
