#include "devices/device_types.h"

#include <cstddef>
#include <initializer_list>

namespace {

// Reached only while building a table at compile time: a text longer than its field or an
// LED table longer than 16 pairs stops the build here, because this is not constexpr.
void TableDoesNotFit() {}

template <std::size_t N> constexpr void SetText(char (&field)[N], const char* text) {
    std::size_t i = 0;
    for (; text[i] != '\0'; ++i) {
        if (i + 1 >= N) {
            TableDoesNotFit();
            break;
        }
        field[i] = text[i];
    }
    field[i] = '\0';
}

constexpr LedTable Leds(std::initializer_list<LedPair> pairs) {
    LedTable table;
    for (const LedPair& pair : pairs) {
        if (table.count >= LED_TABLE_SIZE) {
            TableDoesNotFit();
            break;
        }
        table.pairs[table.count++] = pair;
    }
    return table;
}

// A value source: a register read with its type, or a constant where the register is 0.
struct Src {
    int32_t reg = 0;
    int32_t type = 0;
    int32_t constant = -1;
};
constexpr Src R(int32_t reg, int32_t type) {
    return {reg, type, 0};
}
constexpr Src K(int32_t constant) {
    return {0, 0, constant};
}
constexpr Src kDash{}; // no register, constant -1

struct Rect {
    int32_t x, y, w, h;
};

// Lower alarm, upper alarm, lower warning, upper warning.
struct Limits {
    Src lower_alarm, upper_alarm, lower_warning, upper_warning;
};

constexpr int32_t kGreen = 0x00FF00;
constexpr int32_t kRed = 0x0000FF;
constexpr int32_t kBlue = 0xFF0000;
constexpr int32_t kGrey = 0x808080;
constexpr int32_t kBlackBox = static_cast<int32_t>(0xFF000000u);

constexpr PageElement Base(int32_t number, const char* label, int32_t kind, Rect r) {
    PageElement e;
    e.number = number;
    SetText(e.label, label);
    e.kind = kind;
    e.x = r.x;
    e.y = r.y;
    e.width = r.w;
    e.height = r.h;
    return e;
}

// A scaled value with a range and limits: gauges, batteries, thermometers, level.
constexpr PageElement Scaled(int32_t number, const char* label, int32_t kind, Rect r, Src value,
                             const char* format, int32_t divisor, int32_t offset, Src low, Src high,
                             Limits limits) {
    PageElement e = Base(number, label, kind, r);
    e.value_register = value.reg;
    e.value_type = value.type;
    SetText(e.format, format);
    e.divisor = divisor;
    e.offset = offset;
    e.low_register = low.reg;
    e.low_type = low.type;
    e.low_constant = low.constant;
    e.high_register = high.reg;
    e.high_type = high.type;
    e.high_constant = high.constant;
    const Src sources[4] = {limits.lower_alarm, limits.upper_alarm, limits.lower_warning,
                            limits.upper_warning};
    for (int i = 0; i < 4; ++i) {
        e.limit_registers[i] = sources[i].reg;
        e.limit_types[i] = sources[i].type;
        e.limit_constants[i] = sources[i].constant;
    }
    return e;
}

constexpr PageElement WithSecond(PageElement e, int32_t second_register) {
    e.second_register = second_register;
    return e;
}

constexpr PageElement Led(int32_t number, const char* label, Rect r, Src value,
                          const LedTable& table, int32_t on_colour, int32_t alarm_colour) {
    PageElement e = Base(number, label, PE_KIND_LED, r);
    e.value_register = value.reg;
    e.value_type = value.type;
    e.led_table = &table;
    e.colour1 = on_colour;
    e.colour2 = alarm_colour;
    return e;
}

// A value text: a text widget when box is -1, else drawn on a box of that colour.
constexpr PageElement Text(int32_t number, const char* label, Rect r, Src value, const char* format,
                           int32_t divisor, int32_t box = -1, int32_t text = -1) {
    PageElement e = Base(number, label, PE_KIND_TEXT, r);
    e.value_register = value.reg;
    e.value_type = value.type;
    SetText(e.format, format);
    e.divisor = divisor;
    e.colour1 = box;
    e.colour2 = text;
    return e;
}

constexpr PageElement Section(int32_t number, const char* label, Rect r) {
    return Base(number, label, PE_KIND_SECTION, r);
}

// A button writing one value to its value register; enable_register -1: always enabled.
constexpr PageElement Button(int32_t number, const char* label, Rect r, Src value,
                             int32_t write_value, int32_t id, int32_t enable_register = -1) {
    PageElement e = Base(number, label, PE_KIND_BUTTON, r);
    e.value_register = value.reg;
    e.value_type = value.type;
    e.second_register = enable_register;
    e.button_value = write_value;
    e.button_id = id;
    return e;
}

constexpr PageElement Switch(int32_t number, const char* label, Rect r, Src state,
                             int32_t current_register, int32_t threshold) {
    PageElement e = Base(number, label, PE_KIND_SWITCH, r);
    e.value_register = state.reg;
    e.value_type = state.type;
    e.second_register = current_register;
    e.button_value = threshold;
    return e;
}

constexpr bool IsMultiRegister(int32_t type) {
    return type == REG_TYPE_S32 || type == REG_TYPE_S32_ALT || type == REG_TYPE_FLOAT ||
           type == REG_TYPE_U64;
}

constexpr LogColumn Col(int32_t index, const char* name, Src value, const char* format,
                        int32_t divisor, int32_t offset = 0) {
    LogColumn c;
    c.index = index;
    SetText(c.name, name);
    c.reg = value.reg;
    c.second_register = IsMultiRegister(value.type) ? value.reg + 1 : -1;
    SetText(c.format, format);
    c.offset = offset;
    c.divisor = divisor;
    c.register_type = value.type;
    return c;
}

template <std::size_t N>
constexpr PageLayout Page(const char* label, int32_t width, int32_t height,
                          const std::array<PageElement, N>& elements) {
    PageLayout layout;
    SetText(layout.short_name, label);
    layout.tile_width = width;
    layout.tile_height = height;
    layout.element_count = static_cast<int32_t>(N);
    layout.elements = elements.data();
    return layout;
}

template <std::size_t N>
constexpr LogLayout Log(const char* long_name, const std::array<LogColumn, N>& columns) {
    LogLayout layout;
    SetText(layout.long_name, long_name);
    layout.column_count = static_cast<int32_t>(N);
    layout.columns = columns.data();
    return layout;
}

// The first N elements of a longer list.
template <std::size_t N, std::size_t M>
constexpr std::array<PageElement, N> FirstOf(const std::array<PageElement, M>& list) {
    static_assert(N <= M);
    std::array<PageElement, N> first{};
    for (std::size_t i = 0; i < N; ++i)
        first[i] = list[i];
    return first;
}

// ---- LED state tables ----

constexpr LedTable kLedOffOn = Leds({{0, 0}, {1, 1}});
constexpr LedTable kLedOnOff = Leds({{0, 1}, {1, 0}});
constexpr LedTable kLedAlarm = Leds({{0, 0}, {1, 2}});
constexpr LedTable kLedRvOut =
    Leds({{0, 0}, {1, 1}, {2, 1}, {3, 0}, {4, 1}, {5, 0}, {6, 2}, {7, 2}, {8, 2}});
constexpr LedTable kLedProtect = Leds({{0, 1}, {1, 0}, {2, 0}});
constexpr LedTable kLedCeltonBl =
    Leds({{0, 0}, {1, 2}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}, {7, 0}});
constexpr LedTable kLedCeltonErr =
    Leds({{0, 0}, {1, 0}, {2, 2}, {3, 2}, {4, 2}, {5, 2}, {6, 2}, {7, 2}});
constexpr LedTable kLedModeOff = Leds({{0, 1}, {1, 0}, {2, 0}, {3, 0}, {4, 0}});
constexpr LedTable kLedModeAuto = Leds({{0, 0}, {1, 0}, {2, 1}, {3, 0}, {4, 0}});
constexpr LedTable kLedModeOn = Leds({{0, 0}, {1, 1}, {2, 0}, {3, 0}, {4, 0}});
constexpr LedTable kLedModeError = Leds({{0, 0}, {1, 0}, {2, 0}, {3, 2}, {4, 0}});
constexpr LedTable kLedSwitchProtect = Leds({{0, 1}, {1, 0}, {2, 2}});
constexpr LedTable kLedCorvoProtect =
    Leds({{0, 1}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}});

// ---- Element lists ----

// "\xB0" is the degree sign; the string is split so that the C is not read as a hex digit.
#define DEG_C                                                                                      \
    "\xB0"                                                                                         \
    "C"

constexpr std::array kHomeElements{
    Scaled(0, "P_IN", PE_KIND_GAUGE_SOLAR, {10, 150, 200, 200}, R(20, 1), "%d W", 1, 0, K(0),
           R(22, 1), {kDash, R(26, 1), kDash, R(24, 1)}),
    Scaled(1, "P_OUT", PE_KIND_GAUGE_BULB, {575, 150, 200, 200}, R(28, 1), "%d W", 1, 0, K(0),
           R(30, 1), {kDash, R(34, 1), kDash, R(32, 1)}),
    // The charging symbol blinks while the battery current (44) is 51 or more.
    WithSecond(Scaled(2, "SOC", PE_KIND_GAUGE_CHARGE, {242, 50, 300, 300}, R(36, 1), "%.1f %%", 10,
                      0, K(0), K(1000), {K(50), K(1100), K(100), K(1050)}),
               44),
    Text(3, "U=", {10, 20, 300, 50}, R(42, 1), "Ubat: % 06.2f V", 1000),
    Text(4, "I=", {10, 40, 300, 50}, R(44, 1), "Ibat: % 06.1f A", 1000),
    Text(5, "Iin=", {10, 60, 300, 50}, R(46, 1), "Iin:  % 06.1f A", 1000),
    Text(6, "Iout=", {10, 80, 300, 50}, R(48, 1), "Iout: % 06.1f A", 1000),
    Text(7, "Q=", {10, 100, 300, 50}, R(50, 2), "Cnt:  % 06.1f Ah", 1000),
    Text(8, "RT=", {555, 20, 300, 50}, R(56, 2), "Remaining time:", 1),
    Text(9, "RT=", {680, 20, 300, 50}, R(56, 3), "%3ud", 1),
    Text(10, "RT=", {720, 20, 300, 50}, R(57, 3), "%2uh", 1),
    Text(11, "RT=", {750, 20, 300, 50}, R(58, 3), "%2um", 1),
    Text(12, "Iin=", {39, 206, 140, 25}, R(46, 1), "%.1f A", 1000, kBlackBox, kRed),
    Text(13, "Iout=", {604, 206, 140, 25}, R(48, 1), "%.1f A", 1000, kBlackBox, kRed),
};

constexpr std::array kQuillElements{
    Section(0, "INPUTS", {0, 0, 208, 382}),
    Scaled(1, "INPUT 1", PE_KIND_GAUGE, {14, 40, 85, 109}, R(1020, 2), "%.2fV", 1000, 0, K(0),
           R(56, 1), {kDash, R(56, 1), kDash, R(56, 1)}),
    Scaled(2, "INPUT 2", PE_KIND_GAUGE, {109, 40, 85, 109}, R(1022, 2), "%.2fV", 1000, 0, K(0),
           R(58, 1), {kDash, R(58, 1), kDash, R(58, 1)}),
    Scaled(3, "INPUT 3", PE_KIND_GAUGE, {14, 159, 85, 109}, R(1024, 2), "%.2fV", 1000, 0, K(0),
           R(60, 1), {kDash, R(60, 1), kDash, R(60, 1)}),
    Scaled(4, "INPUT 4", PE_KIND_GAUGE, {109, 159, 85, 109}, R(1026, 2), "%.2fV", 1000, 0, K(0),
           R(62, 1), {kDash, R(62, 1), kDash, R(62, 1)}),
    Section(5, "OUTPUTS", {213, 0, 120, 382}),
    Led(6, "OUT 1", {223, 40, 100, 25}, R(1028, 3), kLedOffOn, kGreen, kGreen),
    Led(7, "OUT 2", {223, 75, 100, 25}, R(1029, 3), kLedOffOn, kGreen, kGreen),
    Led(8, "OUT 3", {223, 110, 100, 25}, R(1030, 3), kLedOffOn, kGreen, kGreen),
    Led(9, "OUT 4", {223, 145, 100, 25}, R(1031, 3), kLedOffOn, kGreen, kGreen),
    Section(10, "BMS MASTER", {338, 0, 150, 382}),
    Text(11, "Umin  ", {365, 40, 120, 15}, R(1032, 1), "Min % 06.2f V", 1000),
    Text(12, "Umax  ", {365, 60, 120, 15}, R(1034, 1), "Max % 06.2f V", 1000),
    Text(13, "Udelta", {365, 80, 120, 15}, R(1036, 1), "Dif % 06.2f V", 1000),
    Text(14, "bal", {365, 100, 120, 15}, R(1038, 1), "Bal % 06.2f V", 1000),
};

constexpr std::array kAmprixElements{
    Scaled(0, "CURRENT", PE_KIND_GAUGE, {10, 40, 172, 200}, R(20, 2), "%.1f A", 1000, 0, R(22, 2),
           R(24, 2), {R(30, 2), R(32, 2), R(26, 2), R(28, 2)}),
};

constexpr std::array kLevraElements{
    Scaled(0, "F\xFCllstand", PE_KIND_LEVEL, {10, 40, 172, 330}, R(20, 2), "%d %%", 1, 0, R(22, 2),
           R(24, 2), {R(30, 2), R(32, 2), R(26, 2), R(28, 2)}),
};

// The three charge controllers share one list; only the first label differs.
constexpr std::array<PageElement, 8> RvElements(const char* charge_label) {
    return {
        Scaled(0, charge_label, PE_KIND_GAUGE, {10, 40, 85, 109}, R(800, 1), "%.1fA", 1000, 0, K(0),
               R(804, 1), {kDash, R(824, 1), kDash, R(808, 1)}),
        Scaled(1, "Chg Power", PE_KIND_GAUGE, {120, 40, 85, 109}, R(532, 3), "%dW", 1, 0, K(0),
               R(806, 3), {kDash, R(826, 3), kDash, R(810, 3)}),
        Scaled(2, "Load Current", PE_KIND_GAUGE, {10, 159, 85, 109}, R(802, 1), "%.1fA", 1000, 0,
               K(0), R(812, 1), {kDash, R(820, 1), kDash, R(816, 1)}),
        Scaled(3, "Load Power", PE_KIND_GAUGE, {120, 159, 85, 109}, R(533, 3), "%dW", 1, 0, K(0),
               R(814, 3), {kDash, R(822, 3), kDash, R(818, 3)}),
        Scaled(4, "Int", PE_KIND_THERMO_BOTTOM, {10, 278, 85, 65}, R(536, 4), "%d" DEG_C, 1, 0,
               K(-20), K(75), {K(-20), K(70), K(-10), K(60)}),
        Scaled(5, "Bat", PE_KIND_THERMO_BOTTOM, {120, 278, 85, 65}, R(537, 4), "%.1f" DEG_C, 10, 0,
               K(-200), K(600), {K(-200), K(550), K(0), K(450)}),
        Led(6, "ERR", {10, 353, 30, 21}, R(519, 6), kLedAlarm, kRed, kRed),
        Led(7, "OUT", {50, 353, 30, 21}, R(528, 5), kLedRvOut, kGreen, kRed),
    };
}

constexpr std::array kRv100Elements = RvElements("Chg Current");
constexpr std::array kRv140Elements = RvElements("Chg Curent");
constexpr std::array kRv75Elements = RvElements("Chg Current");

constexpr std::array kCelton100Elements{
    Scaled(0, "U", PE_KIND_BATTERY, {10, 40, 70, 160}, R(7, 3), "%.2f V", 250, 0, R(33, 3),
           R(32, 3), {R(36, 3), R(34, 3), R(37, 3), R(31, 3)}),
    Scaled(1, "T", PE_KIND_THERMO_BOTTOM, {10, 210, 70, 80}, R(8, 3), "%.1f" DEG_C, 5, -300, K(200),
           R(40, 3), {K(200), R(40, 3), K(250), R(41, 3)}),
    Led(2, "LVP", {10, 300, 30, 25}, R(14, 3), kLedProtect, kGreen, kGreen),
    Led(3, "OVP", {50, 300, 30, 25}, R(15, 3), kLedProtect, kGreen, kGreen),
    Led(4, "BL", {10, 335, 30, 25}, R(107, 3), kLedCeltonBl, kBlue, kBlue),
};

constexpr std::array kCelton102Elements{
    Scaled(0, "U", PE_KIND_BATTERY, {10, 40, 70, 160}, R(7, 3), "%.2f V", 1000, 0, R(101, 3),
           R(100, 3), {R(102, 3), R(103, 3), R(104, 3), R(105, 3)}),
    Scaled(1, "T", PE_KIND_THERMO_BOTTOM, {10, 210, 70, 80}, R(8, 4), "%.1f" DEG_C, 10, 0, K(-200),
           R(40, 4), {K(-200), R(40, 4), K(-100), R(41, 4)}),
    Led(2, "LVP", {10, 300, 30, 25}, R(14, 3), kLedProtect, kGreen, kGreen),
    Led(3, "OVP", {50, 300, 30, 25}, R(15, 3), kLedProtect, kGreen, kGreen),
    Led(4, "BL", {10, 335, 30, 25}, R(107, 3), kLedCeltonBl, kBlue, kBlue),
};

constexpr std::array kCelton101Elements{
    Scaled(0, "U", PE_KIND_BATTERY, {10, 40, 70, 160}, R(7, 4), "%.2f V", 1000, 0, R(33, 4),
           R(32, 4), {R(36, 4), R(34, 4), R(37, 4), R(31, 4)}),
    Scaled(1, "T", PE_KIND_THERMO_BOTTOM, {10, 210, 70, 80}, R(8, 3), "%.1f" DEG_C, 10, -600,
           K(400), R(40, 3), {K(400), R(40, 3), K(500), R(41, 3)}),
    Led(2, "LVP", {10, 300, 30, 25}, R(14, 3), kLedProtect, kGreen, kGreen),
    Led(3, "OVP", {50, 300, 30, 25}, R(15, 3), kLedProtect, kGreen, kGreen),
    Led(4, "BL", {10, 335, 30, 25}, R(13, 3), kLedCeltonBl, kBlue, kBlue),
    Led(5, "ERR", {50, 335, 30, 25}, R(13, 3), kLedCeltonErr, kRed, kRed),
};

// Type 104 has the first five elements of type 103, without the error LED.
constexpr std::array kCelton103Elements{
    Scaled(0, "U", PE_KIND_BATTERY, {10, 40, 80, 160}, R(100, 4), "%.3f V", 1000, 0, R(118, 4),
           R(117, 4), {R(121, 4), R(119, 4), R(122, 4), R(120, 4)}),
    Scaled(1, "T", PE_KIND_THERMO_BOTTOM, {10, 210, 80, 80}, R(101, 4), "%.1f" DEG_C, 10, 0,
           K(-200), R(28, 4), {K(-200), R(28, 3), K(-100), R(29, 3)}),
    Led(2, "LVP", {10, 300, 35, 25}, R(110, 3), kLedProtect, kGreen, kGreen),
    Led(3, "OVP", {55, 300, 35, 25}, R(111, 3), kLedProtect, kGreen, kGreen),
    Led(4, "BL", {10, 335, 35, 25}, R(199, 3), kLedCeltonBl, kBlue, kBlue),
    Led(5, "ERR", {55, 335, 35, 25}, R(127, 3), kLedCeltonErr, kRed, kRed),
};
constexpr std::array kCelton104Elements = FirstOf<5>(kCelton103Elements);

constexpr std::array kBrantElements{
    Button(0, "OFF", {10, 40, 80, 40}, R(18, 3), 0, 3949),
    Button(1, "AUTO", {10, 90, 80, 40}, R(18, 3), 2, 3950),
    Button(2, "ON", {10, 140, 80, 40}, R(18, 3), 1, 3951),
    Led(3, "OFF", {100, 40, 80, 40}, R(18, 3), kLedModeOff, kGreen, kGreen),
    Led(4, "AUTO", {100, 90, 80, 40}, R(18, 3), kLedModeAuto, kGreen, kGreen),
    Led(5, "ON", {100, 140, 80, 40}, R(18, 3), kLedModeOn, kRed, kRed),
    Led(6, "ERROR", {100, 190, 80, 40}, R(18, 3), kLedModeError, kRed, kRed),
    Scaled(7, "Current", PE_KIND_GAUGE, {10, 240, 80, 104}, R(37, 4), "%dA", 1, 0, K(0), K(500),
           {kDash, K(450), kDash, K(400)}),
    Scaled(8, "Int", PE_KIND_THERMO_BOTTOM, {100, 240, 80, 104}, R(14, 4), "%.1f" DEG_C, 10, 0,
           K(-200), K(750), {K(-200), K(700), K(-100), K(600)}),
    Led(9, "LVP", {10, 350, 35, 25}, R(100, 3), kLedOffOn, kGreen, kGreen),
    Led(10, "OVP", {55, 350, 35, 25}, R(101, 3), kLedOffOn, kGreen, kGreen),
    Led(11, "ON", {100, 350, 35, 25}, R(31, 3), kLedOffOn, kGreen, kGreen),
    Led(12, "OFF", {145, 350, 35, 25}, R(31, 3), kLedOnOff, kRed, kRed),
};

constexpr std::array kBrantV2Elements{
    Button(0, "OFF", {10, 40, 130, 40}, R(16, 3), 20, 3952),
    Button(1, "AUTO", {10, 90, 130, 40}, R(16, 3), 30, 3953),
    // Switching on is allowed only while register 148 is set.
    Button(2, "ON", {10, 140, 130, 40}, R(16, 3), 10, 3954, 148),
    Led(3, "OFF", {150, 40, 80, 40}, R(22, 3), kLedModeOff, kGreen, kGreen),
    Led(4, "AUTO", {150, 90, 80, 40}, R(22, 3), kLedModeAuto, kGreen, kGreen),
    Led(5, "ON", {150, 140, 80, 40}, R(22, 3), kLedModeOn, kRed, kRed),
    Scaled(6, "Int", PE_KIND_THERMO_BOTTOM, {150, 200, 80, 104}, R(113, 4), "%.1f" DEG_C, 10, 0,
           K(-300), K(1000), {K(-200), K(700), K(-100), K(600)}),
    Led(7, "LVP", {6, 350, 30, 25}, R(145, 3), kLedSwitchProtect, kGreen, kRed),
    Led(8, "OVP", {39, 350, 30, 25}, R(146, 3), kLedSwitchProtect, kGreen, kRed),
    Led(9, "OCP", {72, 350, 30, 25}, R(141, 3), kLedAlarm, kGreen, kRed),
    Led(10, "OLP", {105, 350, 30, 25}, R(142, 3), kLedAlarm, kGreen, kRed),
    Led(11, "SOP", {138, 350, 30, 25}, R(144, 3), kLedAlarm, kGreen, kRed),
    Led(12, "OTP", {171, 350, 30, 25}, R(140, 3), kLedAlarm, kGreen, kRed),
    Led(13, "LBP", {204, 350, 30, 25}, R(143, 3), kLedAlarm, kGreen, kRed),
    Switch(14, "Switch", {28, 190, 90, 150}, R(117, 3), 108, 5),
    Led(15, "HEATER", {150, 315, 80, 25}, R(147, 3), kLedAlarm, kGreen, kGreen),
};

// One list for all six meter types.
constexpr std::array kCorvoElements{
    Scaled(0, "SoC", PE_KIND_BATTERY, {15, 40, 70, 200}, R(128, 2), "%.1f%%", 1000, 0, K(0),
           K(100000), {K(10000), K(110000), K(20000), K(105000)}),
    Scaled(1, "CURRENT", PE_KIND_GAUGE_SIGNED, {103, 40, 96, 96}, R(114, 2), "%.3f\nA", 1000, 0,
           R(252, 2), R(250, 2), {R(246, 2), R(248, 2), R(242, 2), R(244, 2)}),
    Scaled(2, "VOLTAGE", PE_KIND_GAUGE, {103, 175, 96, 120}, R(108, 2), "%.3f\nV", 1000, 0, K(0),
           R(241, 3), {R(239, 3), R(240, 3), R(237, 3), R(238, 3)}),
    Scaled(3, "SHUNT", PE_KIND_THERMO_SIDE, {15, 252, 70, 47}, R(103, 4), "%.0f" DEG_C, 100, 0,
           K(-5000), K(8500), {K(-2000), K(8000), K(-1000), K(7000)}),
    Led(4, "LVP", {40, 345, 65, 25}, R(131, 4), kLedCorvoProtect, kGreen, kGreen),
    Led(5, "OVP", {115, 345, 65, 25}, R(130, 4), kLedCorvoProtect, kGreen, kGreen),
    Text(6, "CNT", {10, 310, 200, 25}, R(124, 13), "%.3lf Ah", 3600000, kGrey, kGreen),
};
#undef DEG_C

// ---- Page layouts ----

constexpr PageLayout kHomePage = Page("Home", 785, 382, kHomeElements);
constexpr PageLayout kQuillPage = Page("Quill", 0, 0, kQuillElements);
// The graph page's content is the history graph, not elements.
constexpr PageLayout kGraphPage = [] {
    PageLayout layout;
    SetText(layout.short_name, "Graph");
    layout.tile_width = 785;
    layout.tile_height = 382;
    return layout;
}();
constexpr PageLayout kAmprixPage = Page("Amprix", 192, 382, kAmprixElements);
constexpr PageLayout kLevraPage = Page("Levra", 192, 382, kLevraElements);
constexpr PageLayout kRv100Page = Page("RV100/30", 230, 382, kRv100Elements);
constexpr PageLayout kRv140Page = Page("RV140/30", 230, 382, kRv140Elements);
constexpr PageLayout kRv75Page = Page("RV75/40", 230, 382, kRv75Elements);
constexpr PageLayout kCelton100Page = Page("Celton", 90, 382, kCelton100Elements);
constexpr PageLayout kCelton102Page = Page("Celton", 90, 382, kCelton102Elements);
constexpr PageLayout kCelton101Page = Page("Celton", 90, 382, kCelton101Elements);
constexpr PageLayout kCelton103Page = Page("Celton", 100, 382, kCelton103Elements);
constexpr PageLayout kCelton104Page = Page("Celton", 100, 382, kCelton104Elements);
constexpr PageLayout kBrantPage = Page("Brant", 190, 382, kBrantElements);
constexpr PageLayout kBrantV2Page = Page("BrantV2", 240, 382, kBrantV2Elements);
constexpr PageLayout kCorvo502Page = Page("Corvo", 220, 382, kCorvoElements);
constexpr PageLayout kCorvo501Page = Page("Corvo", 220, 382, kCorvoElements);
constexpr PageLayout kCorvo500Page = Page("Corvo", 220, 382, kCorvoElements);
constexpr PageLayout kCorvo510Page = Page("Corvo", 220, 382, kCorvoElements);
constexpr PageLayout kCorvo511Page = Page("Corvo", 220, 382, kCorvoElements);
constexpr PageLayout kCorvo512Page = Page("Corvo", 220, 382, kCorvoElements);

// ---- Log columns ----
// Each column reads the register of the value its page shows, with the same type, offset and
// divisor; the format is the page's number without the unit, so that the history page can
// parse and plot it.

constexpr std::array kHomeColumns{
    Col(0, "P_IN", R(20, 1), "%d", 1),         Col(1, "P_OUT", R(28, 1), "%d", 1),
    Col(2, "SOC", R(36, 1), "%.1f", 10),       Col(3, "VOLTAGE", R(42, 1), "%.2f", 1000),
    Col(4, "CURRENT", R(44, 1), "%.1f", 1000), Col(5, "I_IN", R(46, 1), "%.1f", 1000),
    Col(6, "I_OUT", R(48, 1), "%.1f", 1000),   Col(7, "COUNT", R(50, 2), "%.1f", 1000),
};

constexpr std::array kQuillColumns{
    Col(0, "INPUT1", R(1020, 2), "%.2f", 1000), Col(1, "INPUT2", R(1022, 2), "%.2f", 1000),
    Col(2, "INPUT3", R(1024, 2), "%.2f", 1000), Col(3, "INPUT4", R(1026, 2), "%.2f", 1000),
    Col(4, "UMIN", R(1032, 1), "%.2f", 1000),   Col(5, "UMAX", R(1034, 1), "%.2f", 1000),
    Col(6, "UDELTA", R(1036, 1), "%.2f", 1000), Col(7, "BAL", R(1038, 1), "%.2f", 1000),
};

constexpr std::array kAmprixColumns{Col(0, "CURRENT", R(20, 2), "%.1f", 1000)};
constexpr std::array kLevraColumns{Col(0, "LEVEL", R(20, 2), "%d", 1)};

constexpr std::array kRvColumns{
    Col(0, "CHG_CURRENT", R(800, 1), "%.1f", 1000),
    Col(1, "CHG_POWER", R(532, 3), "%d", 1),
    Col(2, "LOAD_CURRENT", R(802, 1), "%.1f", 1000),
    Col(3, "LOAD_POWER", R(533, 3), "%d", 1),
    Col(4, "TEMP_INT", R(536, 4), "%d", 1),
    Col(5, "TEMP_BAT", R(537, 4), "%.1f", 10),
    Col(6, "ERR", R(519, 6), "%d", 1),
    Col(7, "OUT", R(528, 5), "%d", 1),
};

constexpr std::array kCelton100Columns{
    Col(0, "VOLTAGE", R(7, 3), "%.2f", 250), Col(1, "TEMP", R(8, 3), "%.1f", 5, -300),
    Col(2, "LVP", R(14, 3), "%d", 1),        Col(3, "OVP", R(15, 3), "%d", 1),
    Col(4, "BL", R(12, 3), "%d", 1),
};
constexpr std::array kCelton102Columns{
    Col(0, "VOLTAGE", R(7, 3), "%.2f", 1000), Col(1, "TEMP", R(8, 4), "%.1f", 10),
    Col(2, "LVP", R(14, 3), "%d", 1),         Col(3, "OVP", R(15, 3), "%d", 1),
    Col(4, "BL", R(12, 3), "%d", 1),
};
constexpr std::array kCelton101Columns{
    Col(0, "VOLTAGE", R(7, 4), "%.2f", 1000), Col(1, "TEMP", R(8, 3), "%.1f", 10, -600),
    Col(2, "LVP", R(14, 3), "%d", 1),         Col(3, "OVP", R(15, 3), "%d", 1),
    Col(4, "BL", R(13, 3), "%d", 1),
};
constexpr std::array kCeltonActiveColumns{
    Col(0, "VOLTAGE", R(100, 4), "%.3f", 1000), Col(1, "TEMP", R(101, 4), "%.1f", 10),
    Col(2, "LVP", R(110, 3), "%d", 1),          Col(3, "OVP", R(111, 3), "%d", 1),
    Col(4, "BL", R(199, 3), "%d", 1),
};

constexpr std::array kBrantColumns{
    Col(0, "MODE", R(18, 3), "%d", 1),    Col(1, "CURRENT", R(37, 4), "%d", 1),
    Col(2, "TEMP", R(14, 4), "%.1f", 10), Col(3, "LVP", R(100, 3), "%d", 1),
    Col(4, "OVP", R(101, 3), "%d", 1),    Col(5, "STATE", R(31, 3), "%d", 1),
};

constexpr std::array kBrantV2Columns{
    Col(0, "MODE", R(22, 3), "%d", 1),     Col(1, "SWITCH", R(117, 3), "%d", 1),
    Col(2, "CURRENT", R(108, 4), "%d", 1), Col(3, "TEMP", R(113, 4), "%.1f", 10),
    Col(4, "LVP", R(145, 3), "%d", 1),     Col(5, "OVP", R(146, 3), "%d", 1),
    Col(6, "HEATER", R(147, 3), "%d", 1),
};

constexpr std::array kCorvoColumns{
    Col(0, "SOC", R(128, 2), "%.1f", 1000),
    Col(1, "CURRENT", R(114, 2), "%.3f", 1000),
    Col(2, "VOLTAGE", R(108, 2), "%.3f", 1000),
    Col(3, "TEMP", R(103, 4), "%.0f", 100),
};

constexpr LogLayout kHomeLog = Log("Home", kHomeColumns);
constexpr LogLayout kQuillLog = Log("Quill", kQuillColumns);
constexpr LogLayout kGraphLog = [] {
    LogLayout layout;
    SetText(layout.long_name, "Graph");
    return layout;
}();
constexpr LogLayout kAmprixLog = Log("Amprix", kAmprixColumns);
constexpr LogLayout kLevraLog = Log("Levra", kLevraColumns);
constexpr LogLayout kRv100Log = Log("RV100/30", kRvColumns);
constexpr LogLayout kRv140Log = Log("RV140/30", kRvColumns);
constexpr LogLayout kRv75Log = Log("RV75/40", kRvColumns);
constexpr LogLayout kCelton100Log = Log("Celton", kCelton100Columns);
constexpr LogLayout kCelton102Log = Log("CeltonV2", kCelton102Columns);
constexpr LogLayout kCelton101Log = Log("CeltonActive", kCelton101Columns);
constexpr LogLayout kCelton103Log = Log("CeltonActive", kCeltonActiveColumns);
constexpr LogLayout kCelton104Log = Log("CeltonActive", kCeltonActiveColumns);
constexpr LogLayout kBrantLog = Log("Brantel", kBrantColumns);
constexpr LogLayout kBrantV2Log = Log("BrantelV2", kBrantV2Columns);
constexpr LogLayout kCorvo502Log = Log("Corvo", kCorvoColumns);
constexpr LogLayout kCorvo501Log = Log("Corvo", kCorvoColumns);
constexpr LogLayout kCorvo500Log = Log("Corvo", kCorvoColumns);
constexpr LogLayout kCorvo510Log = Log("Corvo", kCorvoColumns);
constexpr LogLayout kCorvo511Log = Log("Corvo", kCorvoColumns);
constexpr LogLayout kCorvo512Log = Log("Corvo", kCorvoColumns);

// ---- Type records ----

constexpr DeviceType kHome{2048, 59, 59, &kHomePage, &kHomeLog};
constexpr DeviceType kQuill{2048, 1058, 1058, &kQuillPage, &kQuillLog};
constexpr DeviceType kGraph{2048, 20, 1000, &kGraphPage, &kGraphLog};
constexpr DeviceType kAmprix{2048, 34, 34, &kAmprixPage, &kAmprixLog};
constexpr DeviceType kLevra{2048, 34, 34, &kLevraPage, &kLevraLog};
constexpr DeviceType kRv100{1024, 828, 828, &kRv100Page, &kRv100Log};
constexpr DeviceType kRv140{1025, 828, 828, &kRv140Page, &kRv140Log};
constexpr DeviceType kRv75{1026, 828, 828, &kRv75Page, &kRv75Log};
constexpr DeviceType kCelton100{100, 109, 109, &kCelton100Page, &kCelton100Log};
constexpr DeviceType kCelton102{102, 109, 109, &kCelton102Page, &kCelton102Log};
constexpr DeviceType kCelton101{101, 109, 109, &kCelton101Page, &kCelton101Log};
constexpr DeviceType kCelton103{103, 200, 200, &kCelton103Page, &kCelton103Log};
constexpr DeviceType kCelton104{104, 200, 200, &kCelton104Page, &kCelton104Log};
constexpr DeviceType kBrant{200, 38, 102, &kBrantPage, &kBrantLog};
constexpr DeviceType kBrantV2{201, 150, 150, &kBrantV2Page, &kBrantV2Log};
constexpr DeviceType kCorvo502{502, 136, 300, &kCorvo502Page, &kCorvo502Log};
constexpr DeviceType kCorvo501{501, 136, 300, &kCorvo501Page, &kCorvo501Log};
constexpr DeviceType kCorvo500{500, 136, 300, &kCorvo500Page, &kCorvo500Log};
constexpr DeviceType kCorvo510{510, 200, 300, &kCorvo510Page, &kCorvo510Log};
constexpr DeviceType kCorvo511{511, 200, 300, &kCorvo511Page, &kCorvo511Log};
constexpr DeviceType kCorvo512{512, 200, 300, &kCorvo512Page, &kCorvo512Log};

} // namespace

constinit const std::array<const DeviceType*, DEV_TYPE_COUNT> DeviceTypeTable = {
    &kHome,    &kQuill,     &kGraph,     &kAmprix,    &kLevra,     &kRv100,     &kRv140,
    &kRv75,    &kCelton100, &kCelton102, &kCelton101, &kCelton103, &kCelton104, &kBrant,
    &kBrantV2, &kCorvo502,  &kCorvo501,  &kCorvo500,  &kCorvo510,  &kCorvo511,  &kCorvo512,
};

const DeviceType* DEV_FindSearchType(uint32_t type_id) {
    for (int i = DEV_TYPE_FIRST_SEARCHED; i < DEV_TYPE_COUNT; ++i)
        if (DeviceTypeTable[i]->type_id == type_id) return DeviceTypeTable[i];
    return nullptr;
}
