#include "devices/derived.h"

#include "devices/device_list.h"

// The computations themselves are in the family files, beside the registers they fill.
void DEV_UpdateAll() {
    const int32_t count = g_device_list.device_count.load(std::memory_order_acquire);
    for (int32_t i = 0; i < count; ++i) {
        const DeviceEntry& entry = g_device_list.entries[i];
        const DeviceType* type = entry.type.load(std::memory_order_relaxed);
        RegisterCell* window = entry.registers.load(std::memory_order_relaxed);
        if (type == nullptr || window == nullptr) continue;
        if (type->derive != nullptr) type->derive(window, type);
    }
}
