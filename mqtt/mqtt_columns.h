// The stable, topic-safe names of devices. What Home Assistant needs to know about each logged
// value (unit and classes) stands beside the column in its device family's table.
#pragma once

#include "devices/device_list.h"

#include <cstddef>
#include <cstdint>

// The device's name in topics: the type's long name with every character other than A-Z, a-z,
// 0-9, "-" and "_" made "-", then "_" and the unit id; the display unit's members that come
// several times (current and level sensors) add "_" and their number among them (1 to 4).
// `index` is the entry's place in the device list. 0 and the name, or -1 (name empty) when the
// entry has no logged values.
int MQTT_DeviceTopicName(int32_t index, char* buffer, size_t size);

// Makes a text topic- and id-safe in place: A-Z, a-z, 0-9, "-" and "_" kept, others "-".
void MQTT_TopicSafe(char* text);
