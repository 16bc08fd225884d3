// The benchmarks' 32-day data log: 46,144 minutes of a display group, three charge
// controllers, two switch units and two meters, 70 columns after the time stamp.
#pragma once

#include "base/datafolder.h"
#include "config/settings.h"
#include "devices/device_list.h"
#include "devices/reg_access.h"
#include "log/log.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace benchlog {

constexpr int32_t kLines = 64 * 721; // 46,144

// Display group (24 columns), three charge controllers (24), two BrantV2 (14) and two meters
// (8): 70 columns after the time stamp.
inline void BuildDeviceList() {
    DEV_Clear();
    DEV_BeginSearch();
    DEV_CreateDisplayGroup(1);
    for (int32_t unit = 2; unit <= 4; ++unit)
        DEV_AppendDevice(unit, DeviceTypeTable[DEV_TYPE_RV100_30]);
    for (int32_t unit = 5; unit <= 6; ++unit)
        DEV_AppendDevice(unit, DeviceTypeTable[DEV_TYPE_BRANT_V2]);
    for (int32_t unit = 7; unit <= 8; ++unit)
        DEV_AppendDevice(unit, DeviceTypeTable[DEV_TYPE_CORVO_500]);
}

// Changing values of realistic width in every register a column reads.
inline void MoveRegisters(int32_t minute) {
    const int32_t count = g_device_list.device_count.load();
    for (int32_t i = 0; i < count; ++i) {
        const DeviceEntry& entry = g_device_list.entries[i];
        const LogLayout* layout = entry.type.load()->log_columns;
        RegisterCell* window = entry.registers.load();
        for (int32_t c = 0; c < layout->column_count; ++c) {
            const LogColumn& column = layout->columns[c];
            const uint32_t value =
                static_cast<uint32_t>(12000 + (minute * 37 + i * 101 + c) % 9000);
            if (column.second_register >= 0)
                Reg_Set32(window, column.reg, value * 3);
            else
                Reg_Set(window, column.reg, static_cast<uint16_t>(value));
        }
    }
    RegisterCell* map = g_register_store.data();
    Reg_Set(map, 144, static_cast<uint16_t>(((minute / 60) % 24) | (minute % 60) << 8));
    Reg_Set(map, 155, static_cast<uint16_t>((1 + (minute / 1440) % 28) | 25 << 8));
}

// Writes the log of kLines minutes into a new temporary data folder named after `name` and
// returns the folder, or "" when it could not be written.
inline std::string WriteLog(const char* name) {
    std::string pattern = std::string("/tmp/veltra-") + name + "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) return "";
    ::setenv("APPDATA", pattern.c_str(), 1);
    DATA_CreateFolder();
    CONFIG_Init();
    BuildDeviceList();
    if (LOG_Init() != 0) return "";
    for (int32_t minute = 0; minute < kLines; ++minute) {
        MoveRegisters(minute);
        if (LOG_Put() != 0) return "";
    }
    return pattern;
}

} // namespace benchlog
