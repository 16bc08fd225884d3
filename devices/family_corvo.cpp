// The Corvo battery meters (type ids 500 to 502 poll 136 registers, 510 to 512 poll 200; all
// reserve 300). One tile for all six: state of charge, the signed current and the voltage
// against their limits, the shunt temperature, the LVP and OVP lamps and the ampere-hour
// counter. Nothing derived, no alarms.
#include "devices/catalogue.h"

using namespace catalogue;

namespace {

constexpr LedTable kLedCorvoProtect =
    Leds({{0, 1}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}});

// One list for all six meter types.
constexpr std::array kCorvoElements{
    Scaled(0, "SoC", PE_KIND_BATTERY, {15, 40, 70, 200}, R(128, 2), "%.1f%%", 1000, 0, K(0),
           K(100000), {K(10000), K(110000), K(20000), K(105000)}),
    Scaled(1, "CURRENT", PE_KIND_GAUGE_SIGNED, {103, 40, 96, 96}, R(114, 2), "%.3f\nA", 1000, 0,
           R(252, 2), R(250, 2), {R(246, 2), R(248, 2), R(242, 2), R(244, 2)}),
    Scaled(2, "VOLTAGE", PE_KIND_GAUGE, {103, 175, 96, 120}, R(108, 2), "%.3f\nV", 1000, 0, K(0),
           R(241, 3), {R(239, 3), R(240, 3), R(237, 3), R(238, 3)}),
    Scaled(3, "SHUNT", PE_KIND_THERMO_SIDE, {15, 252, 70, 47}, R(103, 4), "%.0f" CATALOGUE_DEG_C,
           100, 0, K(-5000), K(8500), {K(-2000), K(8000), K(-1000), K(7000)}),
    Led(4, "LVP", {40, 345, 65, 25}, R(131, 4), kLedCorvoProtect, kGreen, kGreen),
    Led(5, "OVP", {115, 345, 65, 25}, R(130, 4), kLedCorvoProtect, kGreen, kGreen),
    Text(6, "CNT", {10, 310, 200, 25}, R(124, 13), "%.3lf Ah", 3600000, kGrey, kGreen),
};
// Each type keeps a layout record of its own.
constexpr PageLayout kCorvo502Page = Page("Corvo", 220, 382, kCorvoElements);
constexpr PageLayout kCorvo501Page = Page("Corvo", 220, 382, kCorvoElements);
constexpr PageLayout kCorvo500Page = Page("Corvo", 220, 382, kCorvoElements);
constexpr PageLayout kCorvo510Page = Page("Corvo", 220, 382, kCorvoElements);
constexpr PageLayout kCorvo511Page = Page("Corvo", 220, 382, kCorvoElements);
constexpr PageLayout kCorvo512Page = Page("Corvo", 220, 382, kCorvoElements);

constexpr std::array kCorvoColumns{
    Col(0, "SOC", R(128, 2), "%.1f", 1000, kChargePercent),
    Col(1, "CURRENT", R(114, 2), "%.3f", 1000, kAmps),
    Col(2, "VOLTAGE", R(108, 2), "%.3f", 1000, kVolts),
    Col(3, "TEMP", R(103, 4), "%.0f", 100, kCelsius),
};

constexpr LogLayout kCorvo502Log = Log("Corvo", kCorvoColumns);
constexpr LogLayout kCorvo501Log = Log("Corvo", kCorvoColumns);
constexpr LogLayout kCorvo500Log = Log("Corvo", kCorvoColumns);
constexpr LogLayout kCorvo510Log = Log("Corvo", kCorvoColumns);
constexpr LogLayout kCorvo511Log = Log("Corvo", kCorvoColumns);
constexpr LogLayout kCorvo512Log = Log("Corvo", kCorvoColumns);

} // namespace

extern constexpr DeviceType DEVTYPE_Corvo502{502, 136, 300, &kCorvo502Page, &kCorvo502Log};
extern constexpr DeviceType DEVTYPE_Corvo501{501, 136, 300, &kCorvo501Page, &kCorvo501Log};
extern constexpr DeviceType DEVTYPE_Corvo500{500, 136, 300, &kCorvo500Page, &kCorvo500Log};
extern constexpr DeviceType DEVTYPE_Corvo510{510, 200, 300, &kCorvo510Page, &kCorvo510Log};
extern constexpr DeviceType DEVTYPE_Corvo511{511, 200, 300, &kCorvo511Page, &kCorvo511Log};
extern constexpr DeviceType DEVTYPE_Corvo512{512, 200, 300, &kCorvo512Page, &kCorvo512Log};
