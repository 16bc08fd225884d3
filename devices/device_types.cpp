#include "devices/device_types.h"

// The table is the list of types in devices/device_types.h, one entry per line of it.
constinit const std::array<const DeviceType*, DEV_TYPE_COUNT> DeviceTypeTable = {
    DEV_TYPE_LIST(DEV_TYPE_ENTRY)};

const DeviceType* DEV_FindSearchType(uint32_t type_id) {
    for (int i = DEV_TYPE_FIRST_SEARCHED; i < DEV_TYPE_COUNT; ++i)
        if (DeviceTypeTable[i]->type_id == type_id) return DeviceTypeTable[i];
    return nullptr;
}
