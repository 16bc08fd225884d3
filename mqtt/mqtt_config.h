// The MQTT publisher's settings: the broker from --mqtt or from section "MQTT" of config.ini
// (BROKER, PREFIX, USER, PASSWORD_FILE, CAFILE, DISCOVERY, WRITES). Without a broker the
// publisher stays off: no thread, no socket.
#pragma once

#include <string>

struct MqttConfig {
    bool enabled = false; // a broker is configured
    bool tls = false;     // mqtts://
    std::string host;
    int port = 1883;
    std::string prefix; // empty: "veltra/<display unit identity>" once the unit is known
    std::string user;
    std::string password;  // read from PASSWORD_FILE
    std::string cafile;    // empty: the system's certificate authorities (/etc/ssl/certs)
    bool discovery = true; // Home Assistant discovery messages
    bool writes = false;   // switch commands from the broker
};

// "mqtt://host[:port]" (port 1883) or "mqtts://host[:port]" (port 8883). False with a one-line
// reason for anything else: other schemes, an empty host, a port outside 1 to 65535, a path.
bool MQTT_ParseUrl(const std::string& url, MqttConfig* config, std::string* error);

// A topic prefix the publisher can use: 1 to 100 characters, no "+", "#", control characters,
// and no empty level ("a//b", a leading or trailing "/").
bool MQTT_PrefixValid(const std::string& prefix);

// Reads the password file's first line (without its line end, at most 255 characters). The
// file must be a regular file that neither its group nor others may read or write; such a
// file is refused with the reason, so a password is never taken from a file others can read.
bool MQTT_ReadPasswordFile(const std::string& path, std::string* password, std::string* error);

// The whole configuration: `url` (from --mqtt, empty when not given) comes before BROKER of the
// settings file. Returns false with a reason when a broker is configured but something is
// wrong (the publisher then stays off); true otherwise, with config->enabled telling whether a
// broker is configured.
bool MQTT_LoadConfig(const std::string& settings_path, const std::string& url, MqttConfig* config,
                     std::string* error);
