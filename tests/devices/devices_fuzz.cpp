// Register windows hold whatever the devices on the bus answered: every typed read, every
// derived computation and every page and log value of every type must cope with any words.
#include "devices/derived.h"
#include "devices/device_types.h"

#include "base/dbg.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace {

constexpr int32_t kWindow = 1100; // the largest window (1058) and the derived registers

void ReadSource(int32_t reg, int32_t type, int32_t constant, const RegisterCell* window) {
    (void)Reg_GetValueOr(reg, static_cast<uint32_t>(type), window, constant);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    DBG_SetSink([](const char*, int) {});
    static std::array<RegisterCell, kWindow> window;
    for (int32_t i = 0; i < kWindow; ++i) {
        const size_t at = (2 * static_cast<size_t>(i)) % (size - 1);
        Reg_Set(window.data(), i, static_cast<uint16_t>(data[at] | data[at + 1] << 8));
    }
    // Typed reads at indexes and types taken from the input, including unsupported ones.
    for (size_t i = 0; i + 2 < size && i < 64; i += 3) {
        const int32_t index = static_cast<int32_t>(data[i] | data[i + 1] << 8) % (kWindow - 4);
        (void)Reg_GetValue(index, data[i + 2] % 16, window.data());
    }
    DEV_CeltonCompensate(window.data());
    DEV_CeltonStateFlag(window.data());
    DEV_BrantSwitchStates(window.data());
    DEV_BrantV2SwitchFlags(window.data());
    for (int t = DEV_TYPE_RV100_30; t <= DEV_TYPE_RV75_40; ++t)
        DEV_ChargerScales(window.data(), DeviceTypeTable[t]);
    for (const DeviceType* type : DeviceTypeTable) {
        const PageLayout* page = type->page_layout;
        for (int32_t n = 0; n < page->element_count; ++n) {
            const PageElement& e = page->elements[n];
            ReadSource(e.value_register, e.value_type, 0, window.data());
            ReadSource(e.low_register, e.low_type, e.low_constant, window.data());
            ReadSource(e.high_register, e.high_type, e.high_constant, window.data());
            for (int i = 0; i < 4; ++i)
                ReadSource(e.limit_registers[i], e.limit_types[i], e.limit_constants[i],
                           window.data());
        }
        const LogLayout* log = type->log_columns;
        for (int32_t i = 0; i < log->column_count; ++i) {
            const LogColumn& c = log->columns[i];
            (void)Reg_GetValue(c.reg, static_cast<uint32_t>(c.register_type), window.data());
        }
    }
    return 0;
}
