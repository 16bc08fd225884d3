// The Celton battery protectors (type ids 100 to 104). 100, 101 and 102 poll 109 registers,
// 103 and 104 (the active protectors) 200; each tile shows the battery voltage against its
// limits, the temperature, the LVP and OVP lamps and the BL lamp, 101 and 103 also ERR.
// Derived: 100 and 102 light BL (register 107) while register 12 is not 0; 102 compensates
// its voltage limits (100 to 105) for the temperature difference of its two sensors.
// Alarms: temperature 4 from the protector's own flags, OVP and LVP from the battery voltage
// against the display unit's thresholds, temperature 1 from an error code (101, 103), and
// 103/104's own flag 8.
#include "base/dbg.h"
#include "devices/catalogue.h"
#include "devices/derived.h"

using namespace catalogue;

namespace {

constexpr LedTable kLedProtect = Leds({{0, 1}, {1, 0}, {2, 0}});
constexpr LedTable kLedCeltonBl =
    Leds({{0, 0}, {1, 2}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}, {7, 0}});
constexpr LedTable kLedCeltonErr =
    Leds({{0, 0}, {1, 0}, {2, 2}, {3, 2}, {4, 2}, {5, 2}, {6, 2}, {7, 2}});

constexpr std::array kCelton100Elements{
    Scaled(0, "U", PE_KIND_BATTERY, {10, 40, 70, 160}, R(7, 3), "%.2f V", 250, 0, R(33, 3),
           R(32, 3), {R(36, 3), R(34, 3), R(37, 3), R(31, 3)}),
    Scaled(1, "T", PE_KIND_THERMO_BOTTOM, {10, 210, 70, 80}, R(8, 3), "%.1f" CATALOGUE_DEG_C, 5,
           -300, K(200), R(40, 3), {K(200), R(40, 3), K(250), R(41, 3)}),
    Led(2, "LVP", {10, 300, 30, 25}, R(14, 3), kLedProtect, kGreen, kGreen),
    Led(3, "OVP", {50, 300, 30, 25}, R(15, 3), kLedProtect, kGreen, kGreen),
    Led(4, "BL", {10, 335, 30, 25}, R(107, 3), kLedCeltonBl, kBlue, kBlue),
};

constexpr std::array kCelton102Elements{
    Scaled(0, "U", PE_KIND_BATTERY, {10, 40, 70, 160}, R(7, 3), "%.2f V", 1000, 0, R(101, 3),
           R(100, 3), {R(102, 3), R(103, 3), R(104, 3), R(105, 3)}),
    Scaled(1, "T", PE_KIND_THERMO_BOTTOM, {10, 210, 70, 80}, R(8, 4), "%.1f" CATALOGUE_DEG_C, 10, 0,
           K(-200), R(40, 4), {K(-200), R(40, 4), K(-100), R(41, 4)}),
    Led(2, "LVP", {10, 300, 30, 25}, R(14, 3), kLedProtect, kGreen, kGreen),
    Led(3, "OVP", {50, 300, 30, 25}, R(15, 3), kLedProtect, kGreen, kGreen),
    Led(4, "BL", {10, 335, 30, 25}, R(107, 3), kLedCeltonBl, kBlue, kBlue),
};

constexpr std::array kCelton101Elements{
    Scaled(0, "U", PE_KIND_BATTERY, {10, 40, 70, 160}, R(7, 4), "%.2f V", 1000, 0, R(33, 4),
           R(32, 4), {R(36, 4), R(34, 4), R(37, 4), R(31, 4)}),
    Scaled(1, "T", PE_KIND_THERMO_BOTTOM, {10, 210, 70, 80}, R(8, 3), "%.1f" CATALOGUE_DEG_C, 10,
           -600, K(400), R(40, 3), {K(400), R(40, 3), K(500), R(41, 3)}),
    Led(2, "LVP", {10, 300, 30, 25}, R(14, 3), kLedProtect, kGreen, kGreen),
    Led(3, "OVP", {50, 300, 30, 25}, R(15, 3), kLedProtect, kGreen, kGreen),
    Led(4, "BL", {10, 335, 30, 25}, R(13, 3), kLedCeltonBl, kBlue, kBlue),
    Led(5, "ERR", {50, 335, 30, 25}, R(13, 3), kLedCeltonErr, kRed, kRed),
};

// Type 104 has the first five elements of type 103, without the error LED.
constexpr std::array kCelton103Elements{
    Scaled(0, "U", PE_KIND_BATTERY, {10, 40, 80, 160}, R(100, 4), "%.3f V", 1000, 0, R(118, 4),
           R(117, 4), {R(121, 4), R(119, 4), R(122, 4), R(120, 4)}),
    Scaled(1, "T", PE_KIND_THERMO_BOTTOM, {10, 210, 80, 80}, R(101, 4), "%.1f" CATALOGUE_DEG_C, 10,
           0, K(-200), R(28, 4), {K(-200), R(28, 3), K(-100), R(29, 3)}),
    Led(2, "LVP", {10, 300, 35, 25}, R(110, 3), kLedProtect, kGreen, kGreen),
    Led(3, "OVP", {55, 300, 35, 25}, R(111, 3), kLedProtect, kGreen, kGreen),
    Led(4, "BL", {10, 335, 35, 25}, R(199, 3), kLedCeltonBl, kBlue, kBlue),
    Led(5, "ERR", {55, 335, 35, 25}, R(127, 3), kLedCeltonErr, kRed, kRed),
};
constexpr std::array kCelton104Elements = FirstOf<5>(kCelton103Elements);

constexpr PageLayout kCelton100Page = Page("Celton", 90, 382, kCelton100Elements);
constexpr PageLayout kCelton102Page = Page("Celton", 90, 382, kCelton102Elements);
constexpr PageLayout kCelton101Page = Page("Celton", 90, 382, kCelton101Elements);
constexpr PageLayout kCelton103Page = Page("Celton", 100, 382, kCelton103Elements);
constexpr PageLayout kCelton104Page = Page("Celton", 100, 382, kCelton104Elements);

constexpr std::array kCelton100Columns{
    Col(0, "VOLTAGE", R(7, 3), "%.2f", 250, kVolts),
    Col(1, "TEMP", R(8, 3), "%.1f", 5, kCelsius, -300),
    Col(2, "LVP", R(14, 3), "%d", 1, kCode),
    Col(3, "OVP", R(15, 3), "%d", 1, kCode),
    Col(4, "BL", R(12, 3), "%d", 1, kCode),
};
constexpr std::array kCelton102Columns{
    Col(0, "VOLTAGE", R(7, 3), "%.2f", 1000, kVolts), Col(1, "TEMP", R(8, 4), "%.1f", 10, kCelsius),
    Col(2, "LVP", R(14, 3), "%d", 1, kCode),          Col(3, "OVP", R(15, 3), "%d", 1, kCode),
    Col(4, "BL", R(12, 3), "%d", 1, kCode),
};
constexpr std::array kCelton101Columns{
    Col(0, "VOLTAGE", R(7, 4), "%.2f", 1000, kVolts),
    Col(1, "TEMP", R(8, 3), "%.1f", 10, kCelsius, -600),
    Col(2, "LVP", R(14, 3), "%d", 1, kCode),
    Col(3, "OVP", R(15, 3), "%d", 1, kCode),
    Col(4, "BL", R(13, 3), "%d", 1, kCode),
};
constexpr std::array kCeltonActiveColumns{
    Col(0, "VOLTAGE", R(100, 4), "%.3f", 1000, kVolts),
    Col(1, "TEMP", R(101, 4), "%.1f", 10, kCelsius),
    Col(2, "LVP", R(110, 3), "%d", 1, kCode),
    Col(3, "OVP", R(111, 3), "%d", 1, kCode),
    Col(4, "BL", R(199, 3), "%d", 1, kCode),
};

constexpr LogLayout kCelton100Log = Log("Celton", kCelton100Columns);
constexpr LogLayout kCelton102Log = Log("CeltonV2", kCelton102Columns);
constexpr LogLayout kCelton101Log = Log("CeltonActive", kCelton101Columns);
constexpr LogLayout kCelton103Log = Log("CeltonActive", kCeltonActiveColumns);
constexpr LogLayout kCelton104Log = Log("CeltonActive", kCeltonActiveColumns);

void Derive100(RegisterCell* window, const DeviceType*) {
    DEV_CeltonStateFlag(window);
}
void Derive102(RegisterCell* window, const DeviceType*) {
    DEV_CeltonCompensate(window);
    DEV_CeltonStateFlag(window);
}

// Type 100 keeps its voltage in steps of 4 mV.
uint32_t Alarms100(const AlarmRegisters& reg, const RegisterCell* display_map) {
    uint32_t word = reg(9) == 1 ? ALARM_TEMPERATURE_4 : 0;
    return word | ALARM_VoltageBits(reg(7) * 4, display_map);
}
uint32_t Alarms101(const AlarmRegisters& reg, const RegisterCell* display_map) {
    uint32_t word = reg(9) == 1 ? ALARM_TEMPERATURE_4 : 0;
    if (reg(13) == 7) word |= ALARM_TEMPERATURE_1;
    return word | ALARM_VoltageBits(reg(7), display_map);
}
uint32_t Alarms102(const AlarmRegisters& reg, const RegisterCell* display_map) {
    uint32_t word = reg(9) == 1 ? ALARM_TEMPERATURE_4 : 0;
    return word | ALARM_VoltageBits(reg(7), display_map);
}
uint32_t Alarms104(const AlarmRegisters& reg, const RegisterCell* display_map) {
    uint32_t word = reg.AnyIsOne({103, 104, 105}) ? ALARM_TEMPERATURE_4 : 0;
    if (reg(106) == 1) word |= ALARM_FLAG_8;
    return word | ALARM_VoltageBits(reg(100), display_map);
}
// 103 is 104 with its error code.
uint32_t Alarms103(const AlarmRegisters& reg, const RegisterCell* display_map) {
    return Alarms104(reg, display_map) | (reg(127) != 0 ? ALARM_TEMPERATURE_1 : 0);
}

} // namespace

void DEV_CeltonStateFlag(RegisterCell* window) {
    PARAM_CHECK(window != nullptr);
    Put16(window, 107, U16(window, 12) != 0 ? 1 : 0);
}

void DEV_CeltonCompensate(RegisterCell* window) {
    PARAM_CHECK(window != nullptr);
    // Temperature steps between the two sensors; integer division truncates toward zero.
    const int64_t d = (U16(window, 44) - 600) / 10 - (U16(window, 8) - 600) / 10;
    struct Pair {
        int32_t target, base, coefficient;
    };
    constexpr Pair kPairs[] = {{100, 32, 45}, {101, 33, 46}, {102, 36, 49},
                               {103, 34, 47}, {104, 37, 50}, {105, 31, 48}};
    for (const Pair& p : kPairs) {
        const int64_t coefficient = Reg_GetValue(p.coefficient, REG_TYPE_S16, window);
        Put16(window, p.target, U16(window, p.base) + coefficient * d);
    }
}

extern constexpr DeviceType DEVTYPE_Celton100{
    100, 109, 109, &kCelton100Page, &kCelton100Log, Derive100, Alarms100};
extern constexpr DeviceType DEVTYPE_Celton102{
    102, 109, 109, &kCelton102Page, &kCelton102Log, Derive102, Alarms102};
extern constexpr DeviceType DEVTYPE_Celton101{
    101, 109, 109, &kCelton101Page, &kCelton101Log, nullptr, Alarms101};
extern constexpr DeviceType DEVTYPE_Celton103{
    103, 200, 200, &kCelton103Page, &kCelton103Log, nullptr, Alarms103};
extern constexpr DeviceType DEVTYPE_Celton104{
    104, 200, 200, &kCelton104Page, &kCelton104Log, nullptr, Alarms104};
