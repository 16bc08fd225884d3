#include "mqtt/mqtt_columns.h"

#include <cstdio>
#include <cstring>

void MQTT_TopicSafe(char* text) {
    for (char* p = text; *p != 0; ++p) {
        const char c = *p;
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '-' || c == '_';
        if (!ok) *p = '-';
    }
}

int MQTT_DeviceTopicName(int32_t index, char* buffer, size_t size) {
    if (buffer == nullptr || size == 0) return -1;
    buffer[0] = '\0';
    if (index < 0 || index >= DEV_LIST_SIZE) return -1;
    const DeviceEntry& entry = g_device_list.entries[static_cast<size_t>(index)];
    const DeviceType* type = entry.type.load(std::memory_order_acquire);
    if (type == nullptr || type->log_columns == nullptr || type->log_columns->column_count <= 0)
        return -1;
    const int32_t unit_id = entry.unit_id.load(std::memory_order_relaxed);
    char name[sizeof type->log_columns->long_name + 1];
    std::snprintf(name, sizeof name, "%.*s", static_cast<int>(sizeof type->log_columns->long_name),
                  type->log_columns->long_name);
    MQTT_TopicSafe(name);
    int n;
    if (type == DeviceTypeTable[DEV_TYPE_AMPRIX] || type == DeviceTypeTable[DEV_TYPE_LEVRA]) {
        // Their number among the members of the same type right before them.
        int32_t number = 1;
        for (int32_t k = index - 1; k >= 0 && k > index - DEV_GROUP_SIZE; --k) {
            const DeviceEntry& before = g_device_list.entries[static_cast<size_t>(k)];
            if (before.type.load(std::memory_order_relaxed) != type ||
                before.unit_id.load(std::memory_order_relaxed) != unit_id)
                break;
            ++number;
        }
        n = std::snprintf(buffer, size, "%s_%d_%d", name, static_cast<int>(unit_id),
                          static_cast<int>(number));
    } else {
        n = std::snprintf(buffer, size, "%s_%d", name, static_cast<int>(unit_id));
    }
    if (n < 0 || static_cast<size_t>(n) >= size) {
        buffer[0] = '\0';
        return -1;
    }
    return 0;
}
