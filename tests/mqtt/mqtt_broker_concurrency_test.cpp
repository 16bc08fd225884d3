// The publisher against a real Mosquitto broker, with threads in the places of the master task
// (changing registers and handing over each cycle's values) and the GUI task (names, alarm
// lines) while the broker is read by a listening client. Also runs under ThreadSanitizer.
#include "mqtt/mqtt.h"
#include "tests/mqtt/broker_util.h"
#include "tests/util/scratch.h"

#include "devices/derived.h"
#include "devices/device_list.h"
#include "log/log.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr const char* kPrefix = "test/site";
constexpr int32_t kCeltonUnit = 3, kBrantUnit = 5, kBrantV2Unit = 6;

struct Write {
    int32_t unit_id, address;
    uint16_t value;
};
std::mutex g_writes_mutex;
std::vector<Write> g_writes;
std::atomic<int> g_name_generation{0};

int RecordWrite(int32_t unit_id, int32_t address, uint16_t value) {
    std::lock_guard<std::mutex> lock(g_writes_mutex);
    g_writes.push_back({unit_id, address, value});
    return 0;
}

std::vector<Write> Writes() {
    std::lock_guard<std::mutex> lock(g_writes_mutex);
    return g_writes;
}

int Name(int index, char* buffer, int size) {
    const DeviceEntry& entry = g_device_list.entries[static_cast<size_t>(index)];
    return std::snprintf(buffer, static_cast<size_t>(size), "%s%s:%d", entry.name,
                         g_name_generation.load() > 0 ? " renamed" : "",
                         static_cast<int>(entry.unit_id.load()));
}

// A display unit (identity words set), a Celton, a Brant and a BrantV2, as a search leaves them.
void FillDeviceList() {
    DEV_BeginSearch();
    RegisterCell* map = g_register_store.data();
    Reg_Set(map, 0, static_cast<uint16_t>(DEV_DISPLAY_TYPE_ID));
    for (int k = 0; k < 6; ++k)
        Reg_Set(map, 2 + k, static_cast<uint16_t>(0x1111 * (k + 1)));
    ASSERT_EQ(DEV_CreateDisplayGroup(1), 0);
    ASSERT_GE(DEV_AppendDevice(kCeltonUnit, DeviceTypeTable[DEV_TYPE_CELTON]), 0);
    ASSERT_GE(DEV_AppendDevice(kBrantUnit, DeviceTypeTable[DEV_TYPE_BRANT]), 0);
    ASSERT_GE(DEV_AppendDevice(kBrantV2Unit, DeviceTypeTable[DEV_TYPE_BRANT_V2]), 0);
    const int32_t count = g_device_list.device_count.load();
    g_device_list.polled_count.store(count);
}

DeviceEntry& Entry(int32_t unit_id) {
    for (int32_t i = g_device_list.device_count.load() - 1; i >= 0; --i)
        if (g_device_list.entries[i].unit_id.load() == unit_id) return g_device_list.entries[i];
    return g_device_list.entries[0];
}

// The state the log would write for the device now: {"COLUMN":value,...} without the time.
std::string ExpectedValues(const DeviceEntry& entry) {
    const LogLayout* layout = entry.type.load()->log_columns;
    std::string text;
    for (int32_t c = 0; c < layout->column_count; ++c) {
        char field[64];
        LOG_FormatColumn(layout->columns[c], entry.registers.load(), field, sizeof field);
        const char* number = field;
        while (*number == ' ')
            ++number;
        text += ",\"" + std::string(layout->columns[c].name) + "\":" + number;
    }
    return text + "}";
}

std::string ValuesOf(const std::string& state) {
    const size_t comma = state.find(',');
    return comma == std::string::npos ? "" : state.substr(comma);
}

// Plays the master task (a cycle every 20 ms, moving the Celton's voltage) and the GUI task
// (names every 50 ms) until stopped.
class Tasks {
  public:
    Tasks() {
        master_ = std::thread([this] {
            uint16_t voltage = 3000;
            while (!stop_.load()) {
                if (move_.load()) Reg_Set(Entry(kCeltonUnit).registers.load(), 7, ++voltage);
                MQTT_TakeValues();
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
        gui_ = std::thread([this] {
            while (!stop_.load()) {
                MQTT_TakeNames();
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        });
    }
    ~Tasks() { Stop(); }
    void Stop() {
        stop_.store(true);
        if (master_.joinable()) master_.join();
        if (gui_.joinable()) gui_.join();
    }
    void Hold() { move_.store(false); }

  private:
    std::atomic<bool> stop_{false};
    std::atomic<bool> move_{true};
    std::thread master_, gui_;
};

MqttConfig Config(const TestBroker& broker, bool writes) {
    MqttConfig config;
    std::string error;
    EXPECT_TRUE(MQTT_ParseUrl(broker.Url(), &config, &error)) << error;
    config.prefix = kPrefix;
    config.writes = writes;
    return config;
}

std::string Topic(const std::string& device, const std::string& leaf) {
    return std::string(kPrefix) + "/" + device + "/" + leaf;
}

size_t CountPrefix(const std::vector<ReceivedMessage>& messages, const std::string& prefix) {
    size_t n = 0;
    for (const ReceivedMessage& m : messages)
        n += m.topic.rfind(prefix, 0) == 0 && !m.payload.empty();
    return n;
}

} // namespace

TEST(MqttBroker, PublishesStateAvailabilityDiscoveryEventsAndSurvivesBrokerRestarts) {
    ScratchFolder folder("veltra-mqtt-broker");
    TestBroker broker(folder.Path());
    ASSERT_TRUE(broker.Start());
    FillDeviceList();
    Listener listener(broker.port());
    ASSERT_TRUE(listener.Connected());
    ASSERT_EQ(MQTT_Start(Config(broker, false), {RecordWrite, Name}), 0);
    Tasks tasks;

    // Status, then for every device with logged values its discovery, availability and state.
    ASSERT_TRUE(
        listener.WaitFor([&] { return listener.Last("test/site/status") == "online"; }, 10));
    ASSERT_TRUE(listener.WaitFor(
        [&] { return !listener.Last(Topic("BrantelV2_6", "state")).empty(); }, 10));
    int columns = 0;
    for (int32_t i = 0; i < g_device_list.device_count.load(); ++i)
        columns += g_device_list.entries[i].type.load()->log_columns->column_count;
    ASSERT_TRUE(listener.WaitFor(
        [&] {
            return CountPrefix(listener.Messages(), "homeassistant/sensor/") >= size_t(columns);
        },
        10));
    size_t discovery = 0;
    for (const ReceivedMessage& m : listener.Messages()) {
        if (m.topic.rfind("homeassistant/sensor/", 0) != 0) continue;
        ++discovery;
        EXPECT_TRUE(IsValidJson(m.payload)) << m.payload;
        for (const char* key :
             {"name", "unique_id", "state_topic", "availability", "value_template", "device"})
            EXPECT_NE(JsonMember(m.payload, key), "") << key << " in " << m.payload;
        if (m.topic.find("Celton_3_VOLTAGE") != std::string::npos) {
            EXPECT_EQ(JsonMember(m.payload, "device_class"), "\"voltage\"");
            EXPECT_EQ(JsonMember(m.payload, "unit_of_measurement"), "\"V\"");
            EXPECT_EQ(JsonMember(m.payload, "state_class"), "\"measurement\"");
            EXPECT_NE(m.payload.find("\"via_device\":\"test_site\""), std::string::npos);
            EXPECT_NE(m.payload.find("\"model\":\"Celton\""), std::string::npos);
            EXPECT_NE(m.payload.find("\"name\":\"Celton:3\""), std::string::npos) << m.payload;
        }
    }
    EXPECT_EQ(discovery, size_t(columns)) << "one per logged column, no more";
    EXPECT_EQ(listener.Last(Topic("Celton_3", "availability")), "online");
    // Writes are off: no select is offered (an empty retained config removes an old one).
    EXPECT_EQ(CountPrefix(listener.Messages(), "homeassistant/select/"), 0u);

    // The state follows the values, at most once a second per device.
    listener.Clear();
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    const size_t states = listener.On(Topic("Celton_3", "state")).size();
    EXPECT_GE(states, 2u);
    EXPECT_LE(states, 4u);
    tasks.Hold();
    const DeviceEntry& celton = Entry(kCeltonUnit);
    EXPECT_TRUE(listener.WaitFor(
        [&] {
            return ValuesOf(listener.Last(Topic("Celton_3", "state"))) == ExpectedValues(celton);
        },
        5))
        << listener.Last(Topic("Celton_3", "state")) << " against " << ExpectedValues(celton);
    for (const std::string& state : {listener.Last(Topic("Celton_3", "state"))})
        EXPECT_TRUE(IsValidJson(state)) << state;

    // Availability follows the device's state; a rename updates the discovery name.
    Entry(kBrantUnit).state.store(0);
    EXPECT_TRUE(listener.WaitFor(
        [&] { return listener.Last(Topic("Brantel_5", "availability")) == "offline"; }, 5));
    Entry(kBrantUnit).state.store(1);
    EXPECT_TRUE(listener.WaitFor(
        [&] { return listener.Last(Topic("Brantel_5", "availability")) == "online"; }, 5));
    g_name_generation.store(1);
    EXPECT_TRUE(listener.WaitFor(
        [&] {
            const std::string config =
                listener.Last("homeassistant/sensor/test_site/Brantel_5_MODE/config");
            return config.find("\"name\":\"Brant renamed:5\"") != std::string::npos;
        },
        5));

    // An alarm line becomes an event, not retained.
    MQTT_TakeEvent(g_device_list.device_count.load() - 2, "OVP", true);
    EXPECT_TRUE(listener.WaitFor([&] { return !listener.On("test/site/events").empty(); }, 5));
    const std::vector<ReceivedMessage> events = listener.On("test/site/events");
    ASSERT_FALSE(events.empty());
    EXPECT_TRUE(IsValidJson(events[0].payload)) << events[0].payload;
    EXPECT_EQ(JsonMember(events[0].payload, "device"), "\"Brantel_5\"");
    EXPECT_EQ(JsonMember(events[0].payload, "alarm"), "\"OVP\"");
    EXPECT_EQ(JsonMember(events[0].payload, "state"), "\"raised\"");
    EXPECT_FALSE(events[0].retained);

    // The broker goes away and comes back: everything retained is there again.
    for (int restart = 0; restart < 3; ++restart) {
        broker.Kill();
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        ASSERT_TRUE(broker.Start());
        Listener fresh(broker.port());
        ASSERT_TRUE(fresh.Connected());
        EXPECT_TRUE(fresh.WaitFor(
            [&] {
                return fresh.Last("test/site/status") == "online" &&
                       ValuesOf(fresh.Last(Topic("Celton_3", "state"))) == ExpectedValues(celton) &&
                       fresh.Last(Topic("Brantel_5", "availability")) == "online" &&
                       CountPrefix(fresh.Messages(), "homeassistant/sensor/") == size_t(columns);
            },
            8))
            << "restart " << restart;
    }

    // A clean end says so on the status topic (the last will is for broken connections).
    Listener last(broker.port());
    tasks.Stop();
    MQTT_Stop();
    EXPECT_TRUE(last.WaitFor([&] { return last.Last("test/site/status") == "offline"; }, 5));
    EXPECT_FALSE(MQTT_Running());
}

// Right after a poll a charge controller's window holds the device's raw registers 800 and up;
// the current sums logged from there are computed by the GUI task moments later. The state
// handed over at that moment still carries the sums of the registers just polled.
TEST(MqttBroker, DerivedValuesComeFromTheRegistersJustPolled) {
    ScratchFolder folder("veltra-mqtt-derived");
    TestBroker broker(folder.Path());
    ASSERT_TRUE(broker.Start());
    FillDeviceList();
    constexpr int32_t kRvUnit = 9;
    ASSERT_GE(DEV_AppendDevice(kRvUnit, DeviceTypeTable[DEV_TYPE_RV100_30]), 0);
    g_device_list.polled_count.store(g_device_list.device_count.load());
    DeviceEntry& rv = Entry(kRvUnit);
    RegisterCell* window = rv.registers.load();
    Listener listener(broker.port());
    ASSERT_TRUE(listener.Connected());
    ASSERT_EQ(MQTT_Start(Config(broker, false), {RecordWrite, Name}), 0);

    for (uint32_t bits : {0x41484148u, 0x42004200u}) { // the same float in either word order
        Reg_Set32(window, 552, bits);
        Reg_Set32(window, 554, bits);
        for (int32_t k = 800; k < 828; ++k)
            Reg_Set(window, k, 0x7777); // what the device itself answers there
        MQTT_TakeValues();
        DEV_UpdateAll();
        const std::string expected = ExpectedValues(rv);
        EXPECT_TRUE(listener.WaitFor(
            [&] { return ValuesOf(listener.Last(Topic("RV100-30_9", "state"))) == expected; }, 5))
            << listener.Last(Topic("RV100-30_9", "state")) << " against " << expected;
        listener.Clear();
    }
    MQTT_Stop();
}

TEST(MqttBroker, CommandsOnlyWithWritesOnAndOnlyWhatAButtonWrites) {
    ScratchFolder folder("veltra-mqtt-commands");
    TestBroker broker(folder.Path());
    ASSERT_TRUE(broker.Start());
    FillDeviceList();
    Listener listener(broker.port());
    ASSERT_EQ(MQTT_Start(Config(broker, true), {RecordWrite, Name}), 0);
    Tasks tasks;
    ASSERT_TRUE(listener.WaitFor(
        [&] { return !listener.Last(Topic("BrantelV2_6", "state")).empty(); }, 10));
    // Each switch unit offers its mode as a select.
    ASSERT_TRUE(listener.WaitFor(
        [&] {
            return !listener.Last("homeassistant/select/test_site/Brantel_5_MODE_select/config")
                        .empty() &&
                   !listener.Last("homeassistant/select/test_site/BrantelV2_6_MODE_select/config")
                        .empty();
        },
        5));
    const std::string select =
        listener.Last("homeassistant/select/test_site/Brantel_5_MODE_select/config");
    EXPECT_TRUE(IsValidJson(select)) << select;
    EXPECT_EQ(JsonMember(select, "command_topic"), "\"test/site/Brantel_5/set\"");
    {
        std::lock_guard<std::mutex> lock(g_writes_mutex);
        g_writes.clear();
    }

    listener.Publish(Topic("Brantel_5", "set"), "{\"mode\":\"ON\"}");
    listener.Publish(Topic("BrantelV2_6", "set"), "{\"mode\": \"AUTO\"}");
    ASSERT_TRUE(listener.WaitFor([&] { return Writes().size() == 2; }, 5));
    EXPECT_EQ(Writes()[0].unit_id, kBrantUnit);
    EXPECT_EQ(Writes()[0].address, 18);
    EXPECT_EQ(Writes()[0].value, 1);
    EXPECT_EQ(Writes()[1].unit_id, kBrantV2Unit);
    EXPECT_EQ(Writes()[1].address, 16);
    EXPECT_EQ(Writes()[1].value, 30);
    std::this_thread::sleep_for(std::chrono::milliseconds(1100)); // a new second for the limit

    // Each of these is refused with a line on the errors topic, and nothing is written.
    const std::pair<std::string, std::string> refused[] = {
        {Topic("Brantel_5", "set"), "{\"mode\":\"MAYBE\"}"},
        {Topic("Celton_3", "set"), "{\"mode\":\"ON\"}"},
        {Topic("Nobody_44", "set"), "{\"mode\":\"ON\"}"},
        {Topic("Brantel_5", "set"), "ON"},
        {Topic("Brantel_5", "set"), "{\"mode\":\"ON\""},
    };
    listener.Clear();
    for (const auto& [topic, payload] : refused)
        listener.Publish(topic, payload);
    EXPECT_TRUE(listener.WaitFor([&] { return listener.On("test/site/errors").size() == 5; }, 5));
    for (const ReceivedMessage& error : listener.On("test/site/errors"))
        EXPECT_TRUE(IsValidJson(error.payload)) << error.payload;
    EXPECT_EQ(Writes().size(), 2u);
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));

    // A burst: at most 10 in a second go through, every other one is refused.
    listener.Clear();
    for (int i = 0; i < 100; ++i)
        listener.Publish(Topic("Brantel_5", "set"), "{\"mode\":\"OFF\"}");
    EXPECT_TRUE(listener.WaitFor(
        [&] { return listener.On("test/site/errors").size() + (Writes().size() - 2) == 100; }, 10));
    EXPECT_LE(Writes().size() - 2, 10u);
    EXPECT_GE(listener.On("test/site/errors").size(), 90u);
    tasks.Stop();
    MQTT_Stop();
}

TEST(MqttBroker, WritesOffRefusesEveryCommand) {
    ScratchFolder folder("veltra-mqtt-writes-off");
    TestBroker broker(folder.Path());
    ASSERT_TRUE(broker.Start());
    FillDeviceList();
    Listener listener(broker.port());
    {
        std::lock_guard<std::mutex> lock(g_writes_mutex);
        g_writes.clear();
    }
    ASSERT_EQ(MQTT_Start(Config(broker, false), {RecordWrite, Name}), 0);
    Tasks tasks;
    ASSERT_TRUE(
        listener.WaitFor([&] { return listener.Last("test/site/status") == "online"; }, 10));
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // subscribed after the connect
    listener.Publish(Topic("Brantel_5", "set"), "{\"mode\":\"ON\"}");
    ASSERT_TRUE(listener.WaitFor([&] { return !listener.On("test/site/errors").empty(); }, 5));
    EXPECT_NE(listener.Last("test/site/errors").find("WRITES=0"), std::string::npos)
        << listener.Last("test/site/errors");
    EXPECT_TRUE(Writes().empty());
    tasks.Stop();
    MQTT_Stop();
}

// TLS with a certificate authority made here: trusted with CAFILE, refused without it.
TEST(MqttBroker, TlsConnectsWithTheCertificateAuthorityAndRefusesWithoutIt) {
    ScratchFolder folder("veltra-mqtt-tls");
    const std::string dir = folder.Path();
    const std::string make =
        "cd '" + dir +
        "' && "
        "openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.crt -days 2 "
        "-subj /CN=veltra-test-ca >/dev/null 2>&1 && "
        "openssl req -newkey rsa:2048 -nodes -keyout server.key -out server.csr "
        "-subj /CN=127.0.0.1 >/dev/null 2>&1 && "
        "printf 'subjectAltName=IP:127.0.0.1\\n' > san.ext && "
        "openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial "
        "-out server.crt -days 2 -extfile san.ext >/dev/null 2>&1";
    if (std::system(make.c_str()) != 0) GTEST_SKIP() << "openssl could not make certificates";
    TestBroker broker(dir, "cafile " + dir + "/ca.crt\ncertfile " + dir + "/server.crt\nkeyfile " +
                               dir + "/server.key\n");
    ASSERT_TRUE(broker.Start());
    FillDeviceList();
    Tasks tasks;

    MqttConfig config;
    std::string error;
    ASSERT_TRUE(
        MQTT_ParseUrl("mqtts://127.0.0.1:" + std::to_string(broker.port()), &config, &error));
    config.prefix = kPrefix;
    const uint64_t before = MQTT_Counters().connects;
    ASSERT_EQ(MQTT_Start(config, {RecordWrite, Name}), 0); // no CAFILE: the system's authorities
    std::this_thread::sleep_for(std::chrono::seconds(4));
    EXPECT_EQ(MQTT_Counters().connects, before) << "a certificate nobody vouches for is refused";
    MQTT_Stop();

    config.cafile = dir + "/ca.crt";
    ASSERT_EQ(MQTT_Start(config, {RecordWrite, Name}), 0);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (MQTT_Counters().connects == before && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_GT(MQTT_Counters().connects, before);
    tasks.Stop();
    MQTT_Stop();
}
