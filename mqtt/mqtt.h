// The MQTT publisher: the logged values of every device as one retained JSON state message per
// device, its availability, the program's status (with "offline" as the broker's last will),
// alarm events, Home Assistant discovery, and (only when enabled) switch commands from the
// broker. It runs on its own thread beside libmosquitto's network thread; the master and GUI
// tasks only hand it their newest values (latest wins per device, fixed memory) and never wait
// for the broker. A broker that is down or slow costs reconnects with growing pauses (1 s, 2 s,
// ... 60 s); after each connect every retained message is published again.
//
// Topics under the prefix: <prefix>/status, <prefix>/<device>/state,
// <prefix>/<device>/availability, <prefix>/events, <prefix>/errors, and <prefix>/<device>/set for
// commands.
#pragma once

#include "mqtt/mqtt_config.h"

#include <cstdint>

// What the publisher needs from the layers above it; the application installs them.
struct MqttHooks {
    // The write path of a button press: 0 posted, else refused.
    int (*post_write)(int32_t unit_id, int32_t address, uint16_t value);
    // The device's name as its tile shows it (custom name and unit id); -1 when unknown.
    int (*device_name)(int index, char* buffer, int size);
};

// Starts the publisher thread when config.enabled (and connects as soon as the topic prefix is
// known: at once with PREFIX, else once the display unit's identity has been read). 0 started
// or off, -1 when it could not start (with a diagnostic). Called once, before the tasks.
int MQTT_Start(const MqttConfig& config, const MqttHooks& hooks);
// Publishes "offline" on the status topic when connected, disconnects and ends the thread.
void MQTT_Stop();
bool MQTT_Running();

// The master task after each device's poll: the values and states of the list entries `count`
// from `first` (clipped to the list).
void MQTT_TakeDevices(int32_t first, int32_t count);
// The same for every listed device.
void MQTT_TakeValues();
// The GUI task about once a second: the devices' shown names, and a device list emptied
// after a lost gateway.
void MQTT_TakeNames();
// The GUI task for each alarm line: list index, alarm name, came or went.
void MQTT_TakeEvent(int32_t index, const char* alarm, bool raised);

// Counters for tests and the diagnostic output.
struct MqttCounters {
    uint64_t connects;        // successful connections to the broker
    uint64_t state_messages;  // state messages handed to the library
    uint64_t commands_posted; // switch commands that went to the write path
    uint64_t commands_refused;
};
MqttCounters MQTT_Counters();
