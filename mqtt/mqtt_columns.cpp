#include "mqtt/mqtt_columns.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kMeasurement = "measurement";
constexpr const char* kTotal = "total";

// Every log column name of every device type (a test keeps this complete). The states, flags
// and error codes carry no unit and no class, so Home Assistant keeps no statistics of them.
constexpr MqttColumnInfo kColumns[] = {
    {"P_IN", "W", "power", kMeasurement},
    {"P_OUT", "W", "power", kMeasurement},
    {"SOC", "%", "battery", kMeasurement},
    {"VOLTAGE", "V", "voltage", kMeasurement},
    {"CURRENT", "A", "current", kMeasurement},
    {"I_IN", "A", "current", kMeasurement},
    {"I_OUT", "A", "current", kMeasurement},
    {"COUNT", "Ah", nullptr, kTotal},
    {"INPUT1", "V", "voltage", kMeasurement},
    {"INPUT2", "V", "voltage", kMeasurement},
    {"INPUT3", "V", "voltage", kMeasurement},
    {"INPUT4", "V", "voltage", kMeasurement},
    {"UMIN", "V", "voltage", kMeasurement},
    {"UMAX", "V", "voltage", kMeasurement},
    {"UDELTA", "V", "voltage", kMeasurement},
    {"BAL", "V", "voltage", kMeasurement},
    {"LEVEL", "%", nullptr, kMeasurement},
    {"CHG_CURRENT", "A", "current", kMeasurement},
    {"CHG_POWER", "W", "power", kMeasurement},
    {"LOAD_CURRENT", "A", "current", kMeasurement},
    {"LOAD_POWER", "W", "power", kMeasurement},
    {"TEMP_INT", "°C", "temperature", kMeasurement},
    {"TEMP_BAT", "°C", "temperature", kMeasurement},
    {"TEMP", "°C", "temperature", kMeasurement},
    {"ERR", nullptr, nullptr, nullptr},
    {"OUT", nullptr, nullptr, nullptr},
    {"LVP", nullptr, nullptr, nullptr},
    {"OVP", nullptr, nullptr, nullptr},
    {"BL", nullptr, nullptr, nullptr},
    {"MODE", nullptr, nullptr, nullptr},
    {"STATE", nullptr, nullptr, nullptr},
    {"SWITCH", nullptr, nullptr, nullptr},
    {"HEATER", nullptr, nullptr, nullptr},
};

} // namespace

const MqttColumnInfo* MQTT_ColumnInfo(const char* column_name) {
    if (column_name == nullptr) return nullptr;
    for (const MqttColumnInfo& info : kColumns)
        if (std::strcmp(info.name, column_name) == 0) return &info;
    return nullptr;
}

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
