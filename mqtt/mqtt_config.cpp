#include "mqtt/mqtt_config.h"

#include "config/ini.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kSection = "MQTT";
constexpr size_t kMaxPrefix = 100;
constexpr size_t kMaxPassword = 255;

bool ParsePort(const std::string& text, int* port) {
    if (text.empty() || text.size() > 5) return false;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > 65535) return false;
    *port = value;
    return true;
}

std::string GetString(const std::string& path, const char* key) {
    char value[512];
    INI_GetString(kSection, key, "", value, sizeof value, path.c_str());
    return value;
}

} // namespace

bool MQTT_ParseUrl(const std::string& url, MqttConfig* config, std::string* error) {
    std::string rest;
    bool tls = false;
    if (url.rfind("mqtt://", 0) == 0) {
        rest = url.substr(7);
    } else if (url.rfind("mqtts://", 0) == 0) {
        rest = url.substr(8);
        tls = true;
    } else {
        *error = "broker '" + url + "' must start with mqtt:// or mqtts://";
        return false;
    }
    if (!rest.empty() && rest.back() == '/') rest.pop_back();
    int port = tls ? 8883 : 1883;
    std::string host = rest;
    if (!rest.empty() && rest[0] == '[') { // [IPv6]:port
        const size_t close = rest.find(']');
        if (close == std::string::npos) {
            *error = "broker '" + url + "' has an unclosed '['";
            return false;
        }
        host = rest.substr(1, close - 1);
        const std::string after = rest.substr(close + 1);
        if (!after.empty() && (after[0] != ':' || !ParsePort(after.substr(1), &port))) {
            *error = "broker '" + url + "' has a bad port";
            return false;
        }
    } else if (const size_t colon = rest.rfind(':'); colon != std::string::npos) {
        host = rest.substr(0, colon);
        if (!ParsePort(rest.substr(colon + 1), &port)) {
            *error = "broker '" + url + "' has a bad port (1 to 65535)";
            return false;
        }
    }
    if (host.empty() || host.size() > 253) {
        *error = "broker '" + url + "' has no host";
        return false;
    }
    for (char c : host) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_' || c == ':';
        if (!ok) {
            *error = "broker '" + url + "' has a bad host name";
            return false;
        }
    }
    config->enabled = true;
    config->tls = tls;
    config->host = host;
    config->port = port;
    return true;
}

bool MQTT_PrefixValid(const std::string& prefix) {
    if (prefix.empty() || prefix.size() > kMaxPrefix) return false;
    if (prefix.front() == '/' || prefix.back() == '/') return false;
    if (prefix.find("//") != std::string::npos) return false;
    for (unsigned char c : prefix)
        if (c < 32 || c == 127 || c == '+' || c == '#') return false;
    return true;
}

bool MQTT_ReadPasswordFile(const std::string& path, std::string* password, std::string* error) {
    // Checked on the open descriptor, so the file read is the file checked.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        *error = "cannot open the password file '" + path + "': " + std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        *error = "the password file '" + path + "' is not a regular file";
        return false;
    }
    if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        ::close(fd);
        *error = "the password file '" + path +
                 "' can be read or written by others; make it readable by its owner only "
                 "(chmod 600)";
        return false;
    }
    char buffer[kMaxPassword + 2];
    size_t length = 0;
    while (length < sizeof buffer) {
        const ssize_t n = ::read(fd, buffer + length, sizeof buffer - length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        length += static_cast<size_t>(n);
    }
    ::close(fd);
    size_t end = 0;
    while (end < length && buffer[end] != '\n' && buffer[end] != '\r')
        ++end;
    if (end > kMaxPassword) {
        *error = "the password in '" + path + "' is longer than 255 characters";
        return false;
    }
    password->assign(buffer, end);
    return true;
}

bool MQTT_LoadConfig(const std::string& settings_path, const std::string& url, MqttConfig* config,
                     std::string* error) {
    *config = MqttConfig{};
    const std::string broker = url.empty() ? GetString(settings_path, "BROKER") : url;
    if (broker.empty()) return true; // off
    MqttConfig loaded;
    if (!MQTT_ParseUrl(broker, &loaded, error)) return false;
    loaded.prefix = GetString(settings_path, "PREFIX");
    if (!loaded.prefix.empty() && !MQTT_PrefixValid(loaded.prefix)) {
        *error = "PREFIX '" + loaded.prefix + "' is not a usable topic prefix";
        return false;
    }
    loaded.user = GetString(settings_path, "USER");
    const std::string password_file = GetString(settings_path, "PASSWORD_FILE");
    if (!password_file.empty() && !MQTT_ReadPasswordFile(password_file, &loaded.password, error))
        return false;
    loaded.cafile = GetString(settings_path, "CAFILE");
    loaded.discovery = INI_GetLong(kSection, "DISCOVERY", 1, settings_path.c_str()) != 0;
    loaded.writes = INI_GetLong(kSection, "WRITES", 0, settings_path.c_str()) == 1;
    *config = loaded;
    return true;
}
