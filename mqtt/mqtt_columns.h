// What Home Assistant needs to know about each logged value, keyed by the log column's name,
// and the stable, topic-safe names of devices.
#pragma once

#include "devices/device_list.h"

#include <cstddef>
#include <cstdint>

struct MqttColumnInfo {
    const char* name;         // the log column's name
    const char* unit;         // nullptr: a state or code without unit
    const char* device_class; // Home Assistant sensor device_class; nullptr: none
    const char* state_class;  // "measurement", "total", ...; nullptr: none (codes and states)
};

// The entry of a log column's name, or nullptr when the table has none.
const MqttColumnInfo* MQTT_ColumnInfo(const char* column_name);

// The device's name in topics: the type's long name with every character other than A-Z, a-z,
// 0-9, "-" and "_" made "-", then "_" and the unit id; the display unit's members that come
// several times (current and level sensors) add "_" and their number among them (1 to 4).
// `index` is the entry's place in the device list. 0 and the name, or -1 (name empty) when the
// entry has no logged values.
int MQTT_DeviceTopicName(int32_t index, char* buffer, size_t size);

// Makes a text topic- and id-safe in place: A-Z, a-z, 0-9, "-" and "_" kept, others "-".
void MQTT_TopicSafe(char* text);
