// The RV solar charge controllers: RV100/30, RV140/30 and RV75/40 (type ids 1024 to 1026).
// Each reads up to four input channels whose kind (6 to 11) gives the side and the scale of
// its current; the controller's sums, capacities and 90 % / 95 % marks are computed into
// registers 800 to 826, where the gauges and the log read them. The tile shows charge and
// load current and power, the internal and battery temperatures, the error and output lamps.
// Alarm: temperature 1 when the error register's low nibble is 1.
#include "base/dbg.h"
#include "devices/catalogue.h"
#include "devices/derived.h"

using namespace catalogue;

namespace {

constexpr LedTable kLedRvOut =
    Leds({{0, 0}, {1, 1}, {2, 1}, {3, 0}, {4, 1}, {5, 0}, {6, 2}, {7, 2}, {8, 2}});

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
        Scaled(4, "Int", PE_KIND_THERMO_BOTTOM, {10, 278, 85, 65}, R(536, 4), "%d" CATALOGUE_DEG_C,
               1, 0, K(-20), K(75), {K(-20), K(70), K(-10), K(60)}),
        Scaled(5, "Bat", PE_KIND_THERMO_BOTTOM, {120, 278, 85, 65}, R(537, 4),
               "%.1f" CATALOGUE_DEG_C, 10, 0, K(-200), K(600), {K(-200), K(550), K(0), K(450)}),
        Led(6, "ERR", {10, 353, 30, 21}, R(519, 6), kLedAlarm, kRed, kRed),
        Led(7, "OUT", {50, 353, 30, 21}, R(528, 5), kLedRvOut, kGreen, kRed),
    };
}

constexpr std::array kRv100Elements = RvElements("Chg Current");
constexpr std::array kRv140Elements = RvElements("Chg Curent");
constexpr std::array kRv75Elements = RvElements("Chg Current");

constexpr PageLayout kRv100Page = Page("RV100/30", 230, 382, kRv100Elements);
constexpr PageLayout kRv140Page = Page("RV140/30", 230, 382, kRv140Elements);
constexpr PageLayout kRv75Page = Page("RV75/40", 230, 382, kRv75Elements);

constexpr std::array kRvColumns{
    Col(0, "CHG_CURRENT", R(800, 1), "%.1f", 1000, kAmps),
    Col(1, "CHG_POWER", R(532, 3), "%d", 1, kWatts),
    Col(2, "LOAD_CURRENT", R(802, 1), "%.1f", 1000, kAmps),
    Col(3, "LOAD_POWER", R(533, 3), "%d", 1, kWatts),
    Col(4, "TEMP_INT", R(536, 4), "%d", 1, kCelsius),
    Col(5, "TEMP_BAT", R(537, 4), "%.1f", 10, kCelsius),
    Col(6, "ERR", R(519, 6), "%d", 1, kCode),
    Col(7, "OUT", R(528, 5), "%d", 1, kCode),
};

constexpr LogLayout kRv100Log = Log("RV100/30", kRvColumns);
constexpr LogLayout kRv140Log = Log("RV140/30", kRvColumns);
constexpr LogLayout kRv75Log = Log("RV75/40", kRvColumns);

// Capacity and current marks of one side of a charge controller.
struct SideRegisters {
    int32_t capacity, power, capacity95, power95, capacity90, power90;
};

void PutSide(RegisterCell* window, const SideRegisters& at, int64_t channels, int64_t rating,
             int32_t power) {
    const int64_t capacity = (channels + rating) * 1000;
    // The product wraps at 32 bits and is divided unsigned, as the controller's firmware does.
    const int64_t watts =
        (static_cast<uint32_t>(power) * static_cast<uint32_t>(channels + rating)) / 1000u;
    Put32(window, at.capacity, capacity);
    Put16(window, at.power, watts);
    Put32(window, at.capacity95, capacity / 100 * 95);
    Put16(window, at.power95, watts * 95 / 100);
    Put32(window, at.capacity90, capacity / 100 * 90);
    Put16(window, at.power90, watts * 90 / 100);
}

uint32_t RvAlarms(const AlarmRegisters& reg, const RegisterCell*) {
    return (reg(519) & 0xF) == 1 ? ALARM_TEMPERATURE_1 : 0;
}

} // namespace

void DEV_ChargerScales(RegisterCell* window, const DeviceType* type) {
    PARAM_CHECK(window != nullptr && type != nullptr);
    // The controller's own current rating: 40 A for the RV75/40, 30 A for the others.
    const int64_t rating = type->type_id == 1026 ? 40 : 30;
    // Side 1 (channel kinds 6 to 8) and side 2 (kinds 9 to 11): current sums and capacities.
    int64_t sum1 = 0, sum2 = 0, channels1 = 0, channels2 = 0;
    for (int32_t j = 0; j < 4; ++j) {
        const int64_t kind = Reg_GetValue(201 + 4 * j, REG_TYPE_U8_LOW, window);
        const int64_t value = Reg_GetValue(538 + 2 * j, REG_TYPE_FLOAT, window);
        if (kind < 6 || kind > 11) continue;
        const int64_t step = kind <= 8 ? kind - 6 : kind - 9; // 0, 1, 2: x10, x20, x40
        const int64_t factor = int64_t{10} << step;
        const int64_t capacity = int64_t{100} << step;
        if (kind <= 8) {
            sum1 += value * factor;
            channels1 += capacity;
        } else {
            sum2 += value * factor;
            channels2 += capacity;
        }
    }
    sum2 += Reg_GetValue(552, REG_TYPE_FLOAT, window);
    sum1 += Reg_GetValue(554, REG_TYPE_FLOAT, window);
    Put32(window, 800, sum2);
    Put32(window, 802, sum1);

    const int32_t power = static_cast<int32_t>(Reg_GetValue(546, REG_TYPE_FLOAT, window));
    PutSide(window, {804, 806, 824, 826, 808, 810}, channels2, rating, power);
    PutSide(window, {812, 814, 820, 822, 816, 818}, channels1, rating, power);
}

extern constexpr DeviceType DEVTYPE_Rv100{
    1024, 828, 828, &kRv100Page, &kRv100Log, DEV_ChargerScales, RvAlarms};
extern constexpr DeviceType DEVTYPE_Rv140{
    1025, 828, 828, &kRv140Page, &kRv140Log, DEV_ChargerScales, RvAlarms};
extern constexpr DeviceType DEVTYPE_Rv75{
    1026, 828, 828, &kRv75Page, &kRv75Log, DEV_ChargerScales, RvAlarms};
