#include "mqtt/mqtt.h"

#include "base/dbg.h"
#include "base/lifecycle.h"
#include "config/settings.h"
#include "devices/device_list.h"
#include "log/log.h"
#include "mqtt/mqtt_columns.h"
#include "mqtt/mqtt_json.h"

#include <mosquitto.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMaxColumns = 8;                           // the widest log layout has 8 columns
constexpr int kValueSize = 24;                           // one printed value
constexpr int kIdSize = 48;                              // a device's topic name
constexpr int kNameSize = 48;                            // a device's shown name
constexpr int kEventCapacity = 64;                       // newer events push out the oldest
constexpr int kEventSize = 320;                          // one event's JSON text
constexpr int kCommandsPerSecond = 10;                   // more are refused
constexpr auto kStateInterval = std::chrono::seconds(1); // per device
constexpr auto kPublisherTick = std::chrono::milliseconds(50);
constexpr int kKeepAliveSeconds = 15;

// What the tasks hand over for one list index (latest wins).
struct Slot {
    char id[kIdSize] = {}; // empty: no device with logged values here
    int32_t unit_id = 0;
    const DeviceType* type = nullptr;
    bool display_member = false;
    bool online = false;
    char time[32] = {};
    char values[kMaxColumns][kValueSize] = {};
    uint64_t value_sequence = 0; // counts changes of the values
    char name[kNameSize] = {};
    uint64_t name_sequence = 0;
};

// What the publisher last published for one list index.
struct Published {
    char id[kIdSize] = {};
    bool known = false; // discovery, availability and state went out since the last connect
    bool online = false;
    uint64_t value_sequence = 0;
    uint64_t name_sequence = 0;
    Clock::time_point last_state{};
};

struct Shared {
    std::mutex mutex;
    std::array<Slot, DEV_LIST_SIZE> slots;
    int32_t count = 0;    // slots in use (the list's count at the last hand-over)
    std::string identity; // the display unit's identity once known, else empty
    std::array<std::array<char, kEventSize>, kEventCapacity> events{};
    int event_first = 0, event_count = 0;
    uint64_t events_dropped = 0;
};

struct Publisher {
    MqttConfig config;
    MqttHooks hooks{};
    std::string prefix; // the prefix of the current client
    std::string node;   // the display unit's Home Assistant id, topic-safe
    struct mosquitto* client = nullptr;
    std::array<Published, DEV_LIST_SIZE> published;
    std::array<Slot, DEV_LIST_SIZE> copy; // the publisher's copy of the slots
    int32_t copy_count = 0;
    int32_t published_count = 0;
    uint64_t seen_connect = 0;
    // Commands, on the network thread.
    bool loop_started = false; // the network thread runs (after the first connect got going)
    Clock::time_point next_attempt{};
    int attempt_pause = 0; // seconds before the next first attempt: 1, 2, 3 ... 60
    Clock::time_point command_window{};
    int commands_in_window = 0;
};

Shared g_shared;
Publisher g_publisher;
std::thread g_thread;
std::mutex g_wake_mutex;
std::condition_variable g_wake;
std::atomic<bool> g_running{false};
std::atomic<bool> g_stop{false};
std::atomic<bool> g_connected{false};
std::atomic<uint64_t> g_connect_count{0};
std::atomic<uint64_t> g_state_messages{0};
std::atomic<uint64_t> g_commands_posted{0};
std::atomic<uint64_t> g_commands_refused{0};
std::atomic<int> g_offline_mid{-1};
std::atomic<bool> g_offline_sent{false};

// Master task only: the values as printed, formed before the lock is taken.
std::array<Slot, DEV_LIST_SIZE> g_master_slots;
// Master task only: a device's registers with its derived values computed from them.
constexpr int32_t kDeriveCopySize = 1024; // the widest window of a type with derived values
std::array<RegisterCell, kDeriveCopySize> g_derive_copy;

bool IsSwitchUnit(const DeviceType* type) {
    return type != nullptr &&
           (type == DeviceTypeTable[DEV_TYPE_BRANT] || type == DeviceTypeTable[DEV_TYPE_BRANT_V2]);
}

int32_t ListCount() {
    const int32_t count = g_device_list.device_count.load(std::memory_order_acquire);
    return count < 0 ? 0 : (count > DEV_LIST_SIZE ? DEV_LIST_SIZE : count);
}

void FormatClock(char* text, size_t size) {
    DeviceClock clock{};
    DEV_ReadClock(&clock); // zeros without a display unit, as the log writes them
    std::snprintf(text, size, "%02d-%02d-%02d %02d:%02d:%02d", clock.year, clock.month, clock.day,
                  clock.hour, clock.minute, clock.second);
}

std::string DisplayIdentity() {
    const RegisterCell* map = g_register_store.data();
    if (Reg_Get(map, 0) != DEV_DISPLAY_TYPE_ID) return std::string(24, '0');
    ConfigIdentity identity;
    for (int k = 0; k < 6; ++k)
        identity.words[static_cast<size_t>(k)] = Reg_Get(map, 2 + k);
    char text[25];
    CONFIG_FormatIdentity(identity, text);
    return text;
}

// The window to print a device's columns from. Derived values (a charge controller's current
// sums, for one) are otherwise computed by the GUI task a few milliseconds after a poll; here
// they come from the registers just polled, on a copy, so a state message never pairs new
// registers with derived values of the poll before.
const RegisterCell* WithDerivedValues(const DeviceEntry& entry, const DeviceType* type) {
    const RegisterCell* window = entry.registers.load(std::memory_order_relaxed);
    const int32_t length = entry.window_length.load(std::memory_order_relaxed);
    if (window == nullptr || type->derive == nullptr || length <= 0 || length > kDeriveCopySize)
        return window;
    for (int32_t k = 0; k < length; ++k)
        g_derive_copy[static_cast<size_t>(k)].store(window[k].load(std::memory_order_relaxed),
                                                    std::memory_order_relaxed);
    type->derive(g_derive_copy.data(), type);
    return g_derive_copy.data();
}

void Wake() {
    g_wake.notify_one();
}

// ---- Publishing (publisher thread) ----

bool Publish(const std::string& topic, const char* payload, size_t length, bool retain, int qos = 0,
             int* mid = nullptr) {
    if (g_publisher.client == nullptr || !g_connected.load(std::memory_order_acquire)) return false;
    const int rc = mosquitto_publish(g_publisher.client, mid, topic.c_str(),
                                     static_cast<int>(length), payload, qos, retain);
    return rc == MOSQ_ERR_SUCCESS;
}

bool PublishText(const std::string& topic, const char* text, bool retain) {
    return Publish(topic, text, std::strlen(text), retain);
}

std::string DeviceTopic(const char* id, const char* leaf) {
    return g_publisher.prefix + "/" + id + "/" + leaf;
}

// The Home Assistant device of a slot: the display unit for its members, else the unit.
void WriteHaDevice(JsonWriter* json, const Slot& slot) {
    json->Key("device");
    json->BeginObject();
    json->Key("identifiers");
    json->BeginArray();
    if (slot.display_member) {
        json->String(g_publisher.node.c_str());
    } else {
        const std::string id = g_publisher.node + "_" + slot.id;
        json->String(id.c_str());
    }
    json->EndArray();
    json->Key("manufacturer");
    json->String("Veltra");
    if (slot.display_member) {
        char name[64];
        std::snprintf(name, sizeof name, "Display unit %d", static_cast<int>(slot.unit_id));
        json->Key("name");
        json->String(name);
        json->Key("model");
        json->String("Display unit");
    } else {
        json->Key("name");
        json->String(slot.name[0] != '\0' ? slot.name : slot.id);
        json->Key("model");
        json->String(slot.type != nullptr && slot.type->page_layout != nullptr
                         ? slot.type->page_layout->short_name
                         : "");
        json->Key("via_device");
        json->String(g_publisher.node.c_str());
    }
    json->EndObject();
}

void WriteAvailability(JsonWriter* json, const Slot& slot) {
    json->Key("availability");
    json->BeginArray();
    json->BeginObject();
    json->Key("topic");
    json->String((g_publisher.prefix + "/status").c_str());
    json->EndObject();
    json->BeginObject();
    json->Key("topic");
    json->String(DeviceTopic(slot.id, "availability").c_str());
    json->EndObject();
    json->EndArray();
    json->Key("availability_mode");
    json->String("all");
}

// A column's unit or class, where empty means none.
// A key with its text, left out when the column has none (states and codes).
void WriteIfGiven(JsonWriter* json, const char* key, const char* text) {
    if (text == nullptr || text[0] == '\0') return;
    json->Key(key);
    json->String(text);
}

// The ids and the state topic every discovery entry of a device carries.
void WriteEntityIds(JsonWriter* json, const std::string& unique, const Slot& slot) {
    json->Key("unique_id");
    json->String(unique.c_str());
    json->Key("object_id");
    json->String(unique.c_str());
    json->Key("state_topic");
    json->String(DeviceTopic(slot.id, "state").c_str());
}

bool PublishDiscovery(const Slot& slot) {
    const LogLayout* layout = slot.type != nullptr ? slot.type->log_columns : nullptr;
    if (layout == nullptr) return true;
    bool ok = true;
    char payload[2048];
    for (int32_t c = 0; c < layout->column_count && c < kMaxColumns; ++c) {
        const LogColumn& column = layout->columns[c];
        char column_name[sizeof column.name + 1];
        std::snprintf(column_name, sizeof column_name, "%.*s", int(sizeof column.name),
                      column.name);
        const std::string object = std::string(slot.id) + "_" + column_name;
        const std::string unique = g_publisher.node + "_" + object;
        JsonWriter json(payload, sizeof payload);
        json.BeginObject();
        json.Key("name");
        // Members of the display unit share one Home Assistant device; their name tells them apart.
        const std::string entity =
            slot.display_member ? std::string(slot.name) + " " + column_name : column_name;
        json.String(entity.c_str());
        WriteEntityIds(&json, unique, slot);
        WriteAvailability(&json, slot);
        json.Key("value_template");
        json.String((std::string("{{ value_json.") + column_name + " }}").c_str());
        WriteIfGiven(&json, "unit_of_measurement", column.unit);
        WriteIfGiven(&json, "device_class", column.device_class);
        WriteIfGiven(&json, "state_class", column.state_class);
        WriteHaDevice(&json, slot);
        json.EndObject();
        const std::string topic =
            "homeassistant/sensor/" + g_publisher.node + "/" + object + "/config";
        ok = json.Ok() && Publish(topic, json.Text(), json.Length(), true) && ok;
    }
    if (IsSwitchUnit(slot.type)) {
        const std::string object = std::string(slot.id) + "_MODE_select";
        const std::string unique = g_publisher.node + "_" + object;
        const std::string topic =
            "homeassistant/select/" + g_publisher.node + "/" + object + "/config";
        if (!g_publisher.config.writes) {
            // An empty retained config removes a select left from a run with writes on.
            return Publish(topic, "", 0, true) && ok;
        }
        JsonWriter json(payload, sizeof payload);
        json.BeginObject();
        json.Key("name");
        json.String("Switch mode");
        WriteEntityIds(&json, unique, slot);
        json.Key("value_template");
        json.String("{{ {0: 'OFF', 1: 'ON', 2: 'AUTO'}.get(value_json.MODE, 'OFF') }}");
        json.Key("command_topic");
        json.String(DeviceTopic(slot.id, "set").c_str());
        json.Key("command_template");
        json.String("{\"mode\": \"{{ value }}\"}");
        json.Key("options");
        json.BeginArray();
        json.String("OFF");
        json.String("AUTO");
        json.String("ON");
        json.EndArray();
        WriteAvailability(&json, slot);
        WriteHaDevice(&json, slot);
        json.EndObject();
        ok = json.Ok() && Publish(topic, json.Text(), json.Length(), true) && ok;
    }
    return ok;
}

bool PublishState(const Slot& slot) {
    const LogLayout* layout = slot.type != nullptr ? slot.type->log_columns : nullptr;
    if (layout == nullptr) return true;
    char payload[1024];
    JsonWriter json(payload, sizeof payload);
    json.BeginObject();
    json.Key("time");
    json.String(slot.time);
    for (int32_t c = 0; c < layout->column_count && c < kMaxColumns; ++c) {
        char column_name[sizeof layout->columns[c].name + 1];
        std::snprintf(column_name, sizeof column_name, "%.*s", int(sizeof layout->columns[c].name),
                      layout->columns[c].name);
        json.Key(column_name);
        json.Number(slot.values[c]);
    }
    json.EndObject();
    if (!json.Ok()) return true; // cannot happen with the tables' sizes; never send a cut text
    if (!Publish(DeviceTopic(slot.id, "state"), json.Text(), json.Length(), true)) return false;
    g_state_messages.fetch_add(1, std::memory_order_relaxed);
    return true;
}

bool PublishAvailability(const char* id, bool online) {
    return PublishText(DeviceTopic(id, "availability"), online ? "online" : "offline", true);
}

// One pass: what changed since the last pass, or everything after a (re)connect.
void PublishChanges() {
    const uint64_t connects = g_connect_count.load(std::memory_order_acquire);
    if (connects != g_publisher.seen_connect) {
        if (!PublishText(g_publisher.prefix + "/status", "online", true)) return;
        g_publisher.seen_connect = connects;
        for (Published& p : g_publisher.published)
            p.known = false;
    }
    const Clock::time_point now = Clock::now();
    const int32_t limit = std::max(g_publisher.copy_count, g_publisher.published_count);
    for (int32_t i = 0; i < limit; ++i) {
        const Slot& slot = g_publisher.copy[static_cast<size_t>(i)];
        Published& done = g_publisher.published[static_cast<size_t>(i)];
        const bool present = i < g_publisher.copy_count && slot.id[0] != '\0';
        if (std::strcmp(done.id, present ? slot.id : "") != 0) {
            // The index now holds another device or none: the old one is gone.
            if (done.id[0] != '\0' && !PublishAvailability(done.id, false)) return;
            done = Published{};
            std::snprintf(done.id, sizeof done.id, "%s", present ? slot.id : "");
        }
        if (!present) continue;
        // Discovery names the device as its tile does, so it waits for the GUI task's names.
        const bool named = slot.name[0] != '\0' || g_publisher.hooks.device_name == nullptr;
        if (named && (!done.known || done.name_sequence != slot.name_sequence)) {
            if (g_publisher.config.discovery && !PublishDiscovery(slot)) return;
            done.name_sequence = slot.name_sequence;
        }
        if (!done.known || done.online != slot.online) {
            if (!PublishAvailability(slot.id, slot.online)) return;
            done.online = slot.online;
        }
        const bool changed = done.value_sequence != slot.value_sequence;
        if (!done.known || (changed && now - done.last_state >= kStateInterval)) {
            if (slot.value_sequence != 0 && !PublishState(slot)) return;
            done.value_sequence = slot.value_sequence;
            done.last_state = now;
        }
        done.known = true;
    }
    g_publisher.published_count = g_publisher.copy_count;
}

void PublishEvents() {
    std::array<char, kEventSize> event{};
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(g_shared.mutex);
            if (g_shared.event_count == 0) return;
            event = g_shared.events[static_cast<size_t>(g_shared.event_first)];
        }
        if (!PublishText(g_publisher.prefix + "/events", event.data(), false)) return;
        std::lock_guard<std::mutex> lock(g_shared.mutex);
        g_shared.event_first = (g_shared.event_first + 1) % kEventCapacity;
        --g_shared.event_count;
    }
}

// ---- Commands (network thread) ----

void Refuse(const char* topic, const char* reason) {
    g_commands_refused.fetch_add(1, std::memory_order_relaxed);
    DBG_Printf("MQTT: command on %s refused: %s\n", topic, reason);
    char payload[512];
    JsonWriter json(payload, sizeof payload);
    json.BeginObject();
    json.Key("topic");
    json.String(topic);
    json.Key("error");
    json.String(reason);
    json.EndObject();
    if (json.Ok() && g_publisher.client != nullptr)
        mosquitto_publish(g_publisher.client, nullptr, (g_publisher.prefix + "/errors").c_str(),
                          static_cast<int>(json.Length()), json.Text(), 0, false);
}

void OnCommand(const char* topic, const char* payload, size_t length) {
    // Topic <prefix>/<device>/set; the subscription guarantees the prefix and the last level.
    const size_t prefix_length = g_publisher.prefix.size() + 1;
    const size_t topic_length = std::strlen(topic);
    if (topic_length <= prefix_length + 4) return Refuse(topic, "unknown device");
    const std::string device(topic + prefix_length, topic_length - prefix_length - 4);

    const Clock::time_point now = Clock::now();
    if (now - g_publisher.command_window >= std::chrono::seconds(1)) {
        g_publisher.command_window = now;
        g_publisher.commands_in_window = 0;
    }
    if (++g_publisher.commands_in_window > kCommandsPerSecond)
        return Refuse(topic, "more than 10 commands a second");
    if (!g_publisher.config.writes) return Refuse(topic, "writes are off (WRITES=0)");
    char mode[8];
    if (!JSON_ParseModeCommand(payload, length, mode, sizeof mode))
        return Refuse(topic, "malformed command: expected {\"mode\": \"OFF\"|\"AUTO\"|\"ON\"}");

    int32_t index = -1, unit_id = 0;
    const DeviceType* type = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_shared.mutex);
        for (int32_t i = 0; i < g_shared.count; ++i) {
            const Slot& slot = g_shared.slots[static_cast<size_t>(i)];
            if (device == slot.id) {
                index = i;
                unit_id = slot.unit_id;
                type = slot.type;
                break;
            }
        }
    }
    if (index < 0) return Refuse(topic, "unknown device");
    if (!IsSwitchUnit(type)) return Refuse(topic, "the device is not a switch unit");
    // The list may have been refilled since the hand-over.
    const DeviceEntry& entry = g_device_list.entries[static_cast<size_t>(index)];
    if (entry.unit_id.load(std::memory_order_relaxed) != unit_id ||
        entry.type.load(std::memory_order_acquire) != type)
        return Refuse(topic, "unknown device");
    if (entry.state.load(std::memory_order_relaxed) != 1)
        return Refuse(topic, "the device does not answer");
    // Only what a button of this device's page writes, and only while the page shows it.
    const PageLayout* layout = type->page_layout;
    for (int32_t k = 0; layout != nullptr && k < layout->element_count; ++k) {
        const PageElement& e = layout->elements[k];
        if (e.kind != PE_KIND_BUTTON || std::strncmp(e.label, mode, sizeof e.label) != 0) continue;
        if (e.second_register > 0) {
            const RegisterCell* window = entry.registers.load(std::memory_order_relaxed);
            if (window == nullptr || Reg_GetValue(e.second_register, e.value_type, window) == 0)
                return Refuse(topic, "the device's page does not offer this button now");
        }
        if (g_publisher.hooks.post_write == nullptr ||
            g_publisher.hooks.post_write(unit_id, e.value_register,
                                         static_cast<uint16_t>(e.button_value)) != 0)
            return Refuse(topic, "the write queue is full");
        g_commands_posted.fetch_add(1, std::memory_order_relaxed);
        DBG_Printf("MQTT: %s set to %s\n", device.c_str(), mode);
        return;
    }
    Refuse(topic, "no button of this device writes that value");
}

void OnMessage(struct mosquitto*, void*, const struct mosquitto_message* message) {
    if (message == nullptr || message->topic == nullptr) return;
    const size_t length = message->payloadlen > 0 ? static_cast<size_t>(message->payloadlen) : 0;
    OnCommand(message->topic, static_cast<const char*>(message->payload), length);
}

void OnConnect(struct mosquitto* client, void*, int rc) {
    if (rc != 0) {
        DBG_Printf("MQTT: broker refused the connection: %s\n", mosquitto_connack_string(rc));
        return;
    }
    mosquitto_subscribe(client, nullptr, (g_publisher.prefix + "/+/set").c_str(), 0);
    g_connected.store(true, std::memory_order_release);
    g_connect_count.fetch_add(1, std::memory_order_acq_rel);
    DBG_Printf("MQTT: connected to %s:%d\n", g_publisher.config.host.c_str(),
               g_publisher.config.port);
    Wake();
}

void OnDisconnect(struct mosquitto*, void*, int rc) {
    g_connected.store(false, std::memory_order_release);
    if (rc != 0) DBG_Printf("MQTT: connection to the broker lost; connecting again\n");
}

void OnPublish(struct mosquitto*, void*, int mid) {
    if (mid == g_offline_mid.load(std::memory_order_acquire))
        g_offline_sent.store(true, std::memory_order_release);
}

// ---- Client life (publisher thread) ----

void DestroyClient() {
    if (g_publisher.client == nullptr) return;
    const bool connected = g_connected.load(std::memory_order_acquire);
    if (connected) {
        // A clean goodbye: the last will only speaks for connections that break.
        int mid = 0;
        g_offline_sent.store(false);
        g_offline_mid.store(-1);
        if (mosquitto_publish(g_publisher.client, &mid, (g_publisher.prefix + "/status").c_str(), 7,
                              "offline", 1, true) == MOSQ_ERR_SUCCESS) {
            g_offline_mid.store(mid, std::memory_order_release);
            for (int i = 0; i < 100 && !g_offline_sent.load(std::memory_order_acquire); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    mosquitto_disconnect(g_publisher.client);
    // A network thread waiting out a reconnect pause is not waited for.
    if (g_publisher.loop_started) mosquitto_loop_stop(g_publisher.client, !connected);
    g_publisher.loop_started = false;
    mosquitto_destroy(g_publisher.client);
    g_publisher.client = nullptr;
    g_connected.store(false, std::memory_order_release);
}

bool CreateClient(const std::string& prefix) {
    Publisher& p = g_publisher;
    p.prefix = prefix;
    std::string node = prefix;
    std::replace(node.begin(), node.end(), '/', '_');
    MQTT_TopicSafe(node.data());
    p.node = node;
    char client_id[96];
    std::snprintf(client_id, sizeof client_id, "veltra-%.60s-%d", node.c_str(),
                  static_cast<int>(getpid()));
    p.client = mosquitto_new(client_id, true, nullptr);
    if (p.client == nullptr) {
        DBG_Printf("MQTT: cannot create the client\n");
        return false;
    }
    mosquitto_connect_callback_set(p.client, OnConnect);
    mosquitto_disconnect_callback_set(p.client, OnDisconnect);
    mosquitto_message_callback_set(p.client, OnMessage);
    mosquitto_publish_callback_set(p.client, OnPublish);
    mosquitto_reconnect_delay_set(p.client, 1, 60, false); // 1 s, 2 s, 3 s ... 60 s
    const std::string status = prefix + "/status";
    mosquitto_will_set(p.client, status.c_str(), 7, "offline", 1, true);
    if (!p.config.user.empty())
        mosquitto_username_pw_set(p.client, p.config.user.c_str(),
                                  p.config.password.empty() ? nullptr : p.config.password.c_str());
    if (p.config.tls) {
        const char* cafile = p.config.cafile.empty() ? nullptr : p.config.cafile.c_str();
        const char* capath = cafile == nullptr ? "/etc/ssl/certs" : nullptr;
        if (mosquitto_tls_set(p.client, cafile, capath, nullptr, nullptr, nullptr) !=
            MOSQ_ERR_SUCCESS) {
            DBG_Printf("MQTT: cannot use the certificate authority file '%s'\n",
                       p.config.cafile.c_str());
            mosquitto_destroy(p.client);
            p.client = nullptr;
            return false;
        }
    }
    for (Published& done : p.published)
        done = Published{};
    p.published_count = 0;
    // The next successful connect (counted by the network thread) republishes everything.
    p.seen_connect = g_connect_count.load(std::memory_order_acquire);
    p.loop_started = false;
    p.next_attempt = Clock::now();
    p.attempt_pause = 0;
    return true;
}

// The first connect is made here; once it got going, the network thread keeps the connection
// and makes every later reconnect itself, with the same growing pauses.
void TryFirstConnect() {
    Publisher& p = g_publisher;
    if (p.loop_started || Clock::now() < p.next_attempt) return;
    const int rc =
        mosquitto_connect_async(p.client, p.config.host.c_str(), p.config.port, kKeepAliveSeconds);
    if (rc != MOSQ_ERR_SUCCESS) {
        if (p.attempt_pause == 0)
            DBG_Printf("MQTT: broker %s:%d not reached (%s); trying again\n", p.config.host.c_str(),
                       p.config.port,
                       rc == MOSQ_ERR_ERRNO ? std::strerror(errno) : mosquitto_strerror(rc));
        p.attempt_pause = std::min(p.attempt_pause + 1, 60);
        p.next_attempt = Clock::now() + std::chrono::seconds(p.attempt_pause);
        return;
    }
    if (mosquitto_loop_start(p.client) != MOSQ_ERR_SUCCESS) {
        DBG_Printf("MQTT: cannot start the network thread\n");
        p.next_attempt = Clock::now() + std::chrono::seconds(60);
        return;
    }
    p.loop_started = true;
}

void PublisherMain() {
    APP_NameThread("mqtt-publisher");
    bool failed = false;
    while (!g_stop.load(std::memory_order_acquire)) {
        {
            std::unique_lock<std::mutex> lock(g_wake_mutex);
            g_wake.wait_for(lock, kPublisherTick,
                            [] { return g_stop.load(std::memory_order_acquire); });
        }
        if (g_stop.load(std::memory_order_acquire)) break;
        std::string identity;
        {
            std::lock_guard<std::mutex> lock(g_shared.mutex);
            g_publisher.copy_count = g_shared.count;
            for (int32_t i = 0; i < g_shared.count; ++i)
                g_publisher.copy[static_cast<size_t>(i)] = g_shared.slots[static_cast<size_t>(i)];
            identity = g_shared.identity;
        }
        std::string prefix = g_publisher.config.prefix;
        if (prefix.empty() && !identity.empty()) prefix = "veltra/" + identity;
        if (prefix.empty() || failed) continue; // waits for the display unit's identity
        if (g_publisher.client != nullptr && prefix != g_publisher.prefix) DestroyClient();
        if (g_publisher.client == nullptr && !CreateClient(prefix)) {
            failed = true; // a setup that cannot work; said once
            continue;
        }
        TryFirstConnect();
        if (!g_connected.load(std::memory_order_acquire)) continue;
        PublishChanges();
        PublishEvents();
    }
    DestroyClient();
}

} // namespace

int MQTT_Start(const MqttConfig& config, const MqttHooks& hooks) {
    if (!config.enabled || g_running.load()) return 0;
    mosquitto_lib_init();
    {
        // A publisher started again in the same process begins with nothing handed over.
        std::lock_guard<std::mutex> lock(g_shared.mutex);
        for (Slot& slot : g_shared.slots)
            slot = Slot{};
        g_shared.count = 0;
        g_shared.identity.clear();
        g_shared.event_first = g_shared.event_count = 0;
    }
    for (Slot& slot : g_master_slots)
        slot = Slot{};
    g_publisher.prefix.clear();
    g_publisher.command_window = Clock::time_point{};
    g_publisher.commands_in_window = 0;
    g_publisher.config = config;
    g_publisher.hooks = hooks;
    g_stop.store(false);
    try {
        g_thread = std::thread(PublisherMain);
    } catch (...) {
        DBG_Printf("MQTT: cannot start the publisher thread\n");
        mosquitto_lib_cleanup();
        return -1;
    }
    g_running.store(true, std::memory_order_release);
    return 0;
}

void MQTT_Stop() {
    if (!g_running.load(std::memory_order_acquire)) return;
    {
        std::lock_guard<std::mutex> lock(g_wake_mutex);
        g_stop.store(true, std::memory_order_release);
    }
    g_wake.notify_one();
    g_thread.join();
    mosquitto_lib_cleanup();
    g_running.store(false, std::memory_order_release);
}

bool MQTT_Running() {
    return g_running.load(std::memory_order_acquire);
}

void MQTT_TakeValues() {
    MQTT_TakeDevices(0, DEV_LIST_SIZE);
}

void MQTT_TakeDevices(int32_t first, int32_t count) {
    if (!g_running.load(std::memory_order_acquire)) return;
    const int32_t listed = ListCount();
    const int32_t begin = std::clamp(first, 0, listed);
    const int32_t end = static_cast<int32_t>(
        std::clamp<int64_t>(int64_t{first} + std::max(count, 0), begin, listed));
    char time[32];
    FormatClock(time, sizeof time);
    for (int32_t i = begin; i < end; ++i) {
        Slot& slot = g_master_slots[static_cast<size_t>(i)];
        const DeviceEntry& entry = g_device_list.entries[static_cast<size_t>(i)];
        if (MQTT_DeviceTopicName(i, slot.id, sizeof slot.id) != 0) continue;
        slot.type = entry.type.load(std::memory_order_acquire);
        slot.unit_id = entry.unit_id.load(std::memory_order_relaxed);
        slot.display_member = DEV_IsDisplayMember(entry);
        slot.online = entry.state.load(std::memory_order_relaxed) == 1;
        const RegisterCell* window = WithDerivedValues(entry, slot.type);
        const LogLayout* layout = slot.type->log_columns;
        for (int32_t c = 0; c < kMaxColumns; ++c) {
            slot.values[c][0] = '\0';
            if (c < layout->column_count)
                LOG_FormatColumn(layout->columns[c], window, slot.values[c], kValueSize);
        }
    }
    const std::string identity = listed > 0 ? DisplayIdentity() : std::string();
    {
        std::lock_guard<std::mutex> lock(g_shared.mutex);
        for (int32_t i = begin; i < end; ++i) {
            const Slot& mine = g_master_slots[static_cast<size_t>(i)];
            Slot& shared = g_shared.slots[static_cast<size_t>(i)];
            if (std::strcmp(mine.id, shared.id) != 0 || mine.type != shared.type) {
                shared = Slot{};
                std::memcpy(shared.id, mine.id, sizeof shared.id);
                shared.type = mine.type;
                shared.unit_id = mine.unit_id;
                shared.display_member = mine.display_member;
                shared.name_sequence = 1;
            }
            shared.online = mine.online;
            if (std::memcmp(shared.values, mine.values, sizeof shared.values) != 0 ||
                shared.value_sequence == 0) {
                std::memcpy(shared.values, mine.values, sizeof shared.values);
                std::memcpy(shared.time, time, sizeof shared.time);
                ++shared.value_sequence;
            }
        }
        if (end > g_shared.count) g_shared.count = end;
        if (listed > 0) g_shared.identity = identity;
    }
}

void MQTT_TakeNames() {
    if (!g_running.load(std::memory_order_acquire)) return;
    const int32_t count = ListCount();
    std::lock_guard<std::mutex> lock(g_shared.mutex);
    // After a lost gateway the list is empty: the publisher reports the devices gone.
    if (count < g_shared.count) {
        for (int32_t i = count; i < g_shared.count; ++i)
            g_shared.slots[static_cast<size_t>(i)] = Slot{};
        g_shared.count = count;
    }
    for (int32_t i = 0; i < g_shared.count; ++i) {
        Slot& slot = g_shared.slots[static_cast<size_t>(i)];
        if (slot.id[0] == '\0') continue;
        char name[kNameSize] = {};
        if (g_publisher.hooks.device_name == nullptr ||
            g_publisher.hooks.device_name(i, name, sizeof name) < 0)
            continue;
        if (std::strcmp(name, slot.name) != 0) {
            std::memcpy(slot.name, name, sizeof slot.name);
            ++slot.name_sequence;
        }
    }
}

void MQTT_TakeEvent(int32_t index, const char* alarm, bool raised) {
    if (!g_running.load(std::memory_order_acquire) || alarm == nullptr) return;
    char id[kIdSize];
    if (MQTT_DeviceTopicName(index, id, sizeof id) != 0) return;
    char name[kNameSize] = {};
    if (g_publisher.hooks.device_name != nullptr)
        g_publisher.hooks.device_name(index, name, sizeof name);
    char time[32];
    FormatClock(time, sizeof time);
    std::array<char, kEventSize> text{};
    JsonWriter json(text.data(), text.size());
    json.BeginObject();
    json.Key("device");
    json.String(id);
    json.Key("name");
    json.String(name);
    json.Key("alarm");
    json.String(alarm);
    json.Key("state");
    json.String(raised ? "raised" : "cleared");
    json.Key("time");
    json.String(time);
    json.EndObject();
    if (!json.Ok()) return;
    {
        std::lock_guard<std::mutex> lock(g_shared.mutex);
        if (g_shared.event_count == kEventCapacity) {
            g_shared.event_first = (g_shared.event_first + 1) % kEventCapacity;
            --g_shared.event_count;
            ++g_shared.events_dropped;
        }
        const int slot = (g_shared.event_first + g_shared.event_count) % kEventCapacity;
        g_shared.events[static_cast<size_t>(slot)] = text;
        ++g_shared.event_count;
    }
    Wake();
}

MqttCounters MQTT_Counters() {
    return {g_connect_count.load(), g_state_messages.load(), g_commands_posted.load(),
            g_commands_refused.load()};
}
