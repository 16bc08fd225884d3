// The MQTT publisher's pure parts: broker addresses and settings, the password file's
// permissions, the JSON it writes and the one command it accepts, the Home Assistant table of
// every log column and the devices' topic names.
#include "mqtt/mqtt.h"
#include "mqtt/mqtt_columns.h"
#include "mqtt/mqtt_config.h"
#include "mqtt/mqtt_json.h"
#include "tests/mqtt/broker_util.h"
#include "tests/util/scratch.h"

#include "config/ini.h"
#include "devices/device_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <sys/stat.h>

TEST(MqttConfig, BrokerAddresses) {
    struct Case {
        const char* url;
        bool ok;
        bool tls;
        const char* host;
        int port;
    };
    const Case cases[] = {
        {"mqtt://broker.local", true, false, "broker.local", 1883},
        {"mqtt://10.0.0.2:1884", true, false, "10.0.0.2", 1884},
        {"mqtts://broker", true, true, "broker", 8883},
        {"mqtts://broker:8884/", true, true, "broker", 8884},
        {"mqtt://[::1]:1885", true, false, "::1", 1885},
        {"http://broker", false, false, "", 0},
        {"mqtt://", false, false, "", 0},
        {"mqtt://broker:0", false, false, "", 0},
        {"mqtt://broker:65536", false, false, "", 0},
        {"mqtt://broker:12a", false, false, "", 0},
        {"mqtt://broker/topic", false, false, "", 0},
        {"mqtt://bro ker", false, false, "", 0},
        {"broker:1883", false, false, "", 0},
    };
    for (const Case& c : cases) {
        MqttConfig config;
        std::string error;
        EXPECT_EQ(MQTT_ParseUrl(c.url, &config, &error), c.ok) << c.url;
        if (!c.ok) {
            EXPECT_FALSE(error.empty()) << c.url;
            continue;
        }
        EXPECT_EQ(config.tls, c.tls) << c.url;
        EXPECT_EQ(config.host, c.host) << c.url;
        EXPECT_EQ(config.port, c.port) << c.url;
    }
}

TEST(MqttConfig, OffWithoutBrokerAndSectionValuesOtherwise) {
    ScratchFolder folder("veltra-mqtt-config");
    const std::string ini = folder.File("config.ini");
    MqttConfig config;
    std::string error;
    ASSERT_TRUE(MQTT_LoadConfig(ini, "", &config, &error)); // no file at all
    EXPECT_FALSE(config.enabled);

    INI_PutString("MQTT", "BROKER", "mqtt://127.0.0.1:1999", ini.c_str());
    ASSERT_TRUE(MQTT_LoadConfig(ini, "", &config, &error)) << error;
    EXPECT_TRUE(config.enabled);
    EXPECT_EQ(config.port, 1999);
    EXPECT_TRUE(config.prefix.empty()); // the display unit's identity decides later
    EXPECT_TRUE(config.discovery);
    EXPECT_FALSE(config.writes);

    INI_PutString("MQTT", "PREFIX", "site/boat", ini.c_str());
    INI_PutString("MQTT", "DISCOVERY", "0", ini.c_str());
    INI_PutString("MQTT", "WRITES", "1", ini.c_str());
    ASSERT_TRUE(MQTT_LoadConfig(ini, "mqtts://other:8884", &config, &error)) << error;
    EXPECT_EQ(config.host, "other"); // the command line comes first
    EXPECT_TRUE(config.tls);
    EXPECT_EQ(config.prefix, "site/boat");
    EXPECT_FALSE(config.discovery);
    EXPECT_TRUE(config.writes);

    for (const char* bad : {"site/#", "a//b", "/lead", "trail/", "plus+"}) {
        INI_PutString("MQTT", "PREFIX", bad, ini.c_str());
        EXPECT_FALSE(MQTT_LoadConfig(ini, "", &config, &error)) << bad;
        EXPECT_FALSE(config.enabled) << bad;
    }
}

TEST(MqttConfig, PasswordFileOnlyWhenNobodyElseCanReadIt) {
    ScratchFolder folder("veltra-mqtt-password");
    const std::string file = folder.File("password");
    WriteBytes(file, "s3cret\nsecond line\n");
    std::string password, error;

    chmod(file.c_str(), 0644);
    EXPECT_FALSE(MQTT_ReadPasswordFile(file, &password, &error));
    EXPECT_NE(error.find("chmod 600"), std::string::npos) << error;
    EXPECT_TRUE(password.empty());
    chmod(file.c_str(), 0640);
    EXPECT_FALSE(MQTT_ReadPasswordFile(file, &password, &error));

    chmod(file.c_str(), 0600);
    ASSERT_TRUE(MQTT_ReadPasswordFile(file, &password, &error)) << error;
    EXPECT_EQ(password, "s3cret");

    EXPECT_FALSE(MQTT_ReadPasswordFile(folder.File("missing"), &password, &error));
    EXPECT_FALSE(MQTT_ReadPasswordFile(folder.Path(), &password, &error)); // a folder

    // The whole setting refuses to start with a world-readable file.
    const std::string ini = folder.File("config.ini");
    INI_PutString("MQTT", "BROKER", "mqtt://127.0.0.1", ini.c_str());
    INI_PutString("MQTT", "USER", "veltra", ini.c_str());
    INI_PutString("MQTT", "PASSWORD_FILE", file.c_str(), ini.c_str());
    chmod(file.c_str(), 0604);
    MqttConfig config;
    EXPECT_FALSE(MQTT_LoadConfig(ini, "", &config, &error));
    EXPECT_FALSE(config.enabled);
    chmod(file.c_str(), 0400);
    ASSERT_TRUE(MQTT_LoadConfig(ini, "", &config, &error)) << error;
    EXPECT_EQ(config.user, "veltra");
    EXPECT_EQ(config.password, "s3cret");
}

TEST(MqttJson, WriterEscapesAndNeverSendsACutText) {
    char buffer[256];
    JsonWriter json(buffer, sizeof buffer);
    json.BeginObject();
    json.Key("name");
    json.String("Bank \"A\"\\1\n\t\x01");
    json.Key("values");
    json.BeginArray();
    json.Number(" 13.30");
    json.Number("-0.5");
    json.Number("nan");
    json.Number("1e5");
    json.Integer(-42);
    json.EndArray();
    json.EndObject();
    ASSERT_TRUE(json.Ok());
    EXPECT_STREQ(json.Text(),
                 "{\"name\":\"Bank \\\"A\\\"\\\\1\\u000a\\u0009\\u0001\",\"values\":[13.30,-0.5,"
                 "null,null,-42]}");
    EXPECT_TRUE(IsValidJson(json.Text()));

    char small[16];
    JsonWriter cut(small, sizeof small);
    cut.BeginObject();
    cut.Key("a rather long key");
    cut.EndObject();
    EXPECT_FALSE(cut.Ok());
    EXPECT_LT(std::strlen(small), sizeof small);
}

TEST(MqttJson, OnlyTheModeCommandIsAccepted) {
    char mode[8];
    const char* accepted[] = {"{\"mode\":\"ON\"}", " { \"mode\" : \"AUTO\" } \n",
                              "{\"mode\":\"OFF\"}", "{\"mode\":\"MAYBE\"}"};
    for (const char* text : accepted)
        EXPECT_TRUE(JSON_ParseModeCommand(text, std::strlen(text), mode, sizeof mode)) << text;
    EXPECT_TRUE(JSON_ParseModeCommand("{\"mode\":\"ON\"}", 13, mode, sizeof mode));
    EXPECT_STREQ(mode, "ON");

    const char* refused[] = {"ON",
                             "",
                             "{}",
                             "{\"mode\":\"on\"}",
                             "{\"mode\":1}",
                             "{\"mode\":\"ON\",\"x\":1}",
                             "{\"mode\":\"ON\"} trailing",
                             "{\"mode\":\"ON\"",
                             "{\"Mode\":\"ON\"}",
                             "{\"mode\":\"O\\u004e\"}",
                             "{\"mode\":\"WAYTOOLONGWORD\"}",
                             "[\"ON\"]",
                             "{\"mode\":\"ON\"}}"};
    for (const char* text : refused)
        EXPECT_FALSE(JSON_ParseModeCommand(text, std::strlen(text), mode, sizeof mode)) << text;
    // The payload's length counts, not a terminator: bytes after it are never read.
    const char embedded[] = "{\"mode\":\"ON\"}\0garbage";
    EXPECT_TRUE(JSON_ParseModeCommand(embedded, 13, mode, sizeof mode));
    EXPECT_FALSE(JSON_ParseModeCommand(embedded, sizeof embedded - 1, mode, sizeof mode));
    EXPECT_FALSE(JSON_ParseModeCommand(embedded, 12, mode, sizeof mode));
}

TEST(MqttColumns, EveryLogColumnHasItsHomeAssistantEntry) {
    const std::set<std::string> classes = {"voltage",     "current", "power",   "battery",
                                           "temperature", "energy",  "duration"};
    // The states, flags and error codes: the only columns that may go without a unit.
    const std::set<std::string> codes = {"ERR",  "OUT",   "LVP",    "OVP",   "BL",
                                         "MODE", "STATE", "SWITCH", "HEATER"};
    // A column name means one quantity in every family that logs it.
    std::map<std::string, std::string> quantity_of;
    for (const DeviceType* type : DeviceTypeTable) {
        ASSERT_NE(type, nullptr);
        const LogLayout* layout = type->log_columns;
        if (layout == nullptr) continue;
        EXPECT_LE(layout->column_count, 8) << layout->long_name; // the publisher's slot width
        for (int32_t c = 0; c < layout->column_count; ++c) {
            const LogColumn& column = layout->columns[c];
            const std::string where = std::string(layout->long_name) + ":" + column.name;
            ASSERT_NE(column.unit, nullptr) << where;
            ASSERT_NE(column.device_class, nullptr) << where;
            ASSERT_NE(column.state_class, nullptr) << where;
            const std::string unit = column.unit;
            const std::string device_class = column.device_class;
            const std::string state_class = column.state_class;
            EXPECT_EQ(unit.empty(), codes.count(column.name) == 1) << where;
            if (!device_class.empty()) {
                EXPECT_TRUE(classes.count(device_class)) << where;
                EXPECT_FALSE(unit.empty()) << where;
                EXPECT_FALSE(state_class.empty()) << where;
            }
            // A value with a unit is a measured number; a code without one gets no statistics.
            EXPECT_EQ(unit.empty(), state_class.empty()) << where;
            const std::string quantity = unit + "|" + device_class + "|" + state_class;
            const auto known = quantity_of.emplace(column.name, quantity);
            EXPECT_EQ(known.first->second, quantity) << where;
        }
    }
    // Home Assistant takes the unit as UTF-8, whatever the display's own texts use.
    EXPECT_EQ(quantity_of["TEMP"], "\xC2\xB0"
                                   "C|temperature|measurement");
    EXPECT_EQ(quantity_of["COUNT"], "Ah||total");
}

TEST(MqttColumns, TopicNamesAreStableUniqueAndSafe) {
    DEV_BeginSearch();
    g_register_store[0].store(DEV_DISPLAY_TYPE_ID);
    ASSERT_EQ(DEV_CreateDisplayGroup(1), 0);
    int32_t unit = 2;
    for (int t = DEV_TYPE_FIRST_SEARCHED; t < DEV_TYPE_COUNT; ++t)
        ASSERT_GE(DEV_AppendDevice(unit++, DeviceTypeTable[t]), 0);
    std::set<std::string> names;
    const int32_t count = g_device_list.device_count.load();
    for (int32_t i = 0; i < count; ++i) {
        char name[48];
        const DeviceType* type = g_device_list.entries[i].type.load();
        if (MQTT_DeviceTopicName(i, name, sizeof name) != 0) {
            EXPECT_EQ(type->log_columns->column_count, 0) << i; // only Graph logs nothing
            continue;
        }
        EXPECT_TRUE(names.insert(name).second) << name;
        for (const char* p = name; *p != 0; ++p)
            EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(*p)) || *p == '-' || *p == '_')
                << name;
    }
    EXPECT_TRUE(names.count("Amprix_1_1") && names.count("Amprix_1_4") && names.count("Levra_1_4"));
    EXPECT_TRUE(names.count("RV100-30_2")) << "a '/' never reaches a topic";
    EXPECT_TRUE(names.count("Brantel_10"));
    char too_small[4];
    EXPECT_EQ(MQTT_DeviceTopicName(count - 1, too_small, sizeof too_small), -1);
    EXPECT_STREQ(too_small, "");
    EXPECT_EQ(MQTT_DeviceTopicName(DEV_LIST_SIZE, too_small, sizeof too_small), -1);
}

// Without a broker the publisher is not there at all: no thread, nothing taken over.
TEST(MqttConfig, NoBrokerNoThread) {
    auto threads = [] {
        const std::string status = ReadBytes("/proc/self/status");
        const size_t at = status.find("Threads:");
        return at == std::string::npos ? -1 : std::atoi(status.c_str() + at + 8);
    };
    const int before = threads();
    EXPECT_EQ(MQTT_Start(MqttConfig{}, MqttHooks{}), 0);
    EXPECT_FALSE(MQTT_Running());
    MQTT_TakeValues();
    MQTT_TakeNames();
    MQTT_TakeEvent(0, "OVP", true);
    EXPECT_EQ(threads(), before);
    MQTT_Stop();
}
