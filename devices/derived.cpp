#include "devices/derived.h"

#include "base/dbg.h"
#include "devices/device_list.h"

namespace {

int64_t U16(const RegisterCell* window, int32_t index) {
    return Reg_GetValue(index, REG_TYPE_U16, window);
}

// A derived value is kept as its low 16 bits.
void Put16(RegisterCell* window, int32_t index, int64_t value) {
    Reg_Set(window, index, static_cast<uint16_t>(value));
}

void Put32(RegisterCell* window, int32_t index, int64_t value) {
    Reg_Set32(window, index, static_cast<uint32_t>(value));
}

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

void DEV_UpdateAll() {
    const int32_t count = g_device_list.device_count.load(std::memory_order_acquire);
    for (int32_t i = 0; i < count; ++i) {
        const DeviceEntry& entry = g_device_list.entries[i];
        const DeviceType* type = entry.type.load(std::memory_order_relaxed);
        RegisterCell* window = entry.registers.load(std::memory_order_relaxed);
        if (type == nullptr || window == nullptr) continue;
        switch (type->type_id) {
            case 100:
                DEV_CeltonStateFlag(window);
                break;
            case 102:
                DEV_CeltonCompensate(window);
                DEV_CeltonStateFlag(window);
                break;
            case 200:
                DEV_BrantSwitchStates(window);
                break;
            case 201:
                DEV_BrantV2SwitchFlags(window);
                break;
            case 1024:
            case 1025:
            case 1026:
                DEV_ChargerScales(window, type);
                break;
            default:
                break;
        }
    }
}
