// The Brant switch units: Brant (type id 200) and BrantV2 (201). OFF, AUTO and ON write the
// switch mode (Brant register 18 with 0, 2, 1; BrantV2 register 16 with 20, 30, 10, ON only
// while register 148 allows it); lamps show the mode, the protections and the output.
// Derived: Brant's protection states at 100 and 101 from registers 19, 20 and the mode at 17;
// BrantV2's lamp flags at 140 to 149 from registers 21, 100, 101 and 123.
// Alarms: Brant temperature 1 in mode 3; BrantV2 LVP, OVP, temperature 4 (over-temperature)
// and temperature 1 for any other protection.
#include "base/dbg.h"
#include "devices/catalogue.h"
#include "devices/derived.h"

using namespace catalogue;

namespace {

constexpr LedTable kLedModeOff = Leds({{0, 1}, {1, 0}, {2, 0}, {3, 0}, {4, 0}});
constexpr LedTable kLedModeAuto = Leds({{0, 0}, {1, 0}, {2, 1}, {3, 0}, {4, 0}});
constexpr LedTable kLedModeOn = Leds({{0, 0}, {1, 1}, {2, 0}, {3, 0}, {4, 0}});
constexpr LedTable kLedModeError = Leds({{0, 0}, {1, 0}, {2, 0}, {3, 2}, {4, 0}});
constexpr LedTable kLedSwitchProtect = Leds({{0, 1}, {1, 0}, {2, 2}});

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
    Scaled(8, "Int", PE_KIND_THERMO_BOTTOM, {100, 240, 80, 104}, R(14, 4), "%.1f" CATALOGUE_DEG_C,
           10, 0, K(-200), K(750), {K(-200), K(700), K(-100), K(600)}),
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
    Scaled(6, "Int", PE_KIND_THERMO_BOTTOM, {150, 200, 80, 104}, R(113, 4), "%.1f" CATALOGUE_DEG_C,
           10, 0, K(-300), K(1000), {K(-200), K(700), K(-100), K(600)}),
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

constexpr PageLayout kBrantPage = Page("Brant", 190, 382, kBrantElements);
constexpr PageLayout kBrantV2Page = Page("BrantV2", 240, 382, kBrantV2Elements);

constexpr std::array kBrantColumns{
    Col(0, "MODE", R(18, 3), "%d", 1, kCode),       Col(1, "CURRENT", R(37, 4), "%d", 1, kAmps),
    Col(2, "TEMP", R(14, 4), "%.1f", 10, kCelsius), Col(3, "LVP", R(100, 3), "%d", 1, kCode),
    Col(4, "OVP", R(101, 3), "%d", 1, kCode),       Col(5, "STATE", R(31, 3), "%d", 1, kCode),
};

constexpr std::array kBrantV2Columns{
    Col(0, "MODE", R(22, 3), "%d", 1, kCode),     Col(1, "SWITCH", R(117, 3), "%d", 1, kCode),
    Col(2, "CURRENT", R(108, 4), "%d", 1, kAmps), Col(3, "TEMP", R(113, 4), "%.1f", 10, kCelsius),
    Col(4, "LVP", R(145, 3), "%d", 1, kCode),     Col(5, "OVP", R(146, 3), "%d", 1, kCode),
    Col(6, "HEATER", R(147, 3), "%d", 1, kCode),
};

constexpr LogLayout kBrantLog = Log("Brantel", kBrantColumns);
constexpr LogLayout kBrantV2Log = Log("BrantelV2", kBrantV2Columns);

void DeriveBrant(RegisterCell* window, const DeviceType*) {
    DEV_BrantSwitchStates(window);
}
void DeriveBrantV2(RegisterCell* window, const DeviceType*) {
    DEV_BrantV2SwitchFlags(window);
}

uint32_t BrantAlarms(const AlarmRegisters& reg, const RegisterCell*) {
    return reg(18) == 3 ? ALARM_TEMPERATURE_1 : 0;
}
uint32_t BrantV2Alarms(const AlarmRegisters& reg, const RegisterCell*) {
    uint32_t word = 0;
    if (reg(140) == 1) word |= ALARM_TEMPERATURE_4;
    if (reg(100) == 1) word |= ALARM_LVP;
    if (reg(101) == 1) word |= ALARM_OVP;
    if (reg.AnyIsOne({141, 142, 143, 144, 149})) word |= ALARM_TEMPERATURE_1;
    return word;
}

} // namespace

void DEV_BrantSwitchStates(RegisterCell* window) {
    PARAM_CHECK(window != nullptr);
    const int64_t a = U16(window, 20);
    const int64_t b = U16(window, 19);
    const int64_t mode = U16(window, 17);
    if (mode == 2 || mode == 3) {
        Put16(window, 101, a);
        Put16(window, 100, b);
    } else {
        Put16(window, 101, a != 1 ? 1 : 0);
        Put16(window, 100, b != 1 ? 1 : 0);
    }
}

void DEV_BrantV2SwitchFlags(RegisterCell* window) {
    PARAM_CHECK(window != nullptr);
    const int64_t a = U16(window, 100);
    const int64_t b = U16(window, 101);
    if (a == 1 && b == 1) {
        Put16(window, 145, 2);
        Put16(window, 146, 2);
    } else {
        Put16(window, 145, a);
        Put16(window, 146, b);
    }
    Put16(window, 148, (U16(window, 21) >> 4) & 1);
    const int64_t flags = U16(window, 123);
    Put16(window, 140, flags & 1);
    Put16(window, 141, (flags >> 1) & 1);
    Put16(window, 142, (flags >> 2) & 1);
    Put16(window, 143, (flags >> 3) & 1);
    Put16(window, 144, (flags >> 13) & 1);
    Put16(window, 147, (flags >> 12) & 1);
    constexpr int64_t kFaults = 16 | 64 | 128 | 512 | 1024 | 2048;
    Put16(window, 149, (flags & kFaults) != 0 ? 1 : 0);
}

extern constexpr DeviceType DEVTYPE_Brant{200,        38,          102,        &kBrantPage,
                                          &kBrantLog, DeriveBrant, BrantAlarms};
extern constexpr DeviceType DEVTYPE_BrantV2{
    201, 150, 150, &kBrantV2Page, &kBrantV2Log, DeriveBrantV2, BrantV2Alarms};
