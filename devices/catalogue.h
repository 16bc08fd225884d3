// The builders the device family files write their tables with: value sources, page
// elements, LED tables, log columns, page and log layouts, all evaluated at compile time. Only
// the family files include this.
#pragma once

#include "base/palette.h"
#include "devices/alarm.h"
#include "devices/device_types.h"
#include "devices/reg_access.h"

#include <array>
#include <cstddef>
#include <initializer_list>

namespace catalogue {

// Reached only while building a table at compile time: a text longer than its field or an
// LED table longer than 16 pairs stops the build here, because this is not constexpr.
inline void TableDoesNotFit() {}

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

// Colours as the elements take them (0xBBGGRR); the box colour's top byte marks an opaque box.
constexpr int32_t kGreen = static_cast<int32_t>(PALETTE_GREEN);
constexpr int32_t kRed = static_cast<int32_t>(PALETTE_RED);
constexpr int32_t kBlue = static_cast<int32_t>(PALETTE_BLUE);
constexpr int32_t kGrey = static_cast<int32_t>(PALETTE_GREY);
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

// What a log column's value is, for those who publish it: unit, Home Assistant device class
// and state class. The unit is UTF-8 (the display's own texts are Latin-1).
struct Quantity {
    const char* unit;
    const char* device_class;
    const char* state_class;
};
constexpr Quantity kVolts{"V", "voltage", "measurement"};
constexpr Quantity kAmps{"A", "current", "measurement"};
constexpr Quantity kWatts{"W", "power", "measurement"};
constexpr Quantity kCelsius{"\xC2\xB0"
                            "C",
                            "temperature", "measurement"};
constexpr Quantity kChargePercent{"%", "battery", "measurement"};
// A tank level: Home Assistant has no class for it.
constexpr Quantity kLevelPercent{"%", "", "measurement"};
// The ampere-hour counter only grows or is reset; no class measures charge.
constexpr Quantity kAmpHours{"Ah", "", "total"};
// States, flags and error codes: no unit, so Home Assistant keeps no statistics of them.
constexpr Quantity kCode{"", "", ""};

constexpr LogColumn Col(int32_t index, const char* name, Src value, const char* format,
                        int32_t divisor, Quantity quantity, int32_t offset = 0) {
    LogColumn c;
    c.unit = quantity.unit;
    c.device_class = quantity.device_class;
    c.state_class = quantity.state_class;
    c.index = index;
    SetText(c.name, name);
    c.reg = value.reg;
    c.second_register = REG_TypeWidth(static_cast<uint32_t>(value.type)) > 1 ? value.reg + 1 : -1;
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

// Register access for the derived computations: a register as unsigned 16 bits, and derived
// values kept as their low 16 or 32 bits.
inline int64_t U16(const RegisterCell* window, int32_t index) {
    return Reg_GetValue(index, REG_TYPE_U16, window);
}
inline void Put16(RegisterCell* window, int32_t index, int64_t value) {
    Reg_Set(window, index, static_cast<uint16_t>(value));
}
inline void Put32(RegisterCell* window, int32_t index, int64_t value) {
    Reg_Set32(window, index, static_cast<uint32_t>(value));
}

// LED tables more than one family uses.
constexpr LedTable kLedOffOn = Leds({{0, 0}, {1, 1}});
constexpr LedTable kLedOnOff = Leds({{0, 1}, {1, 0}});
constexpr LedTable kLedAlarm = Leds({{0, 0}, {1, 2}});

// "\xB0" is the degree sign; the string is split so that the C is not read as a hex digit.
#define CATALOGUE_DEG_C                                                                            \
    "\xB0"                                                                                         \
    "C"

} // namespace catalogue
