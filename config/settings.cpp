#include "config/settings.h"

#include "base/datafolder.h"
#include "base/dbg.h"
#include "config/ini.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

namespace {

constexpr const char* kDefaultIpAddress = "192.168.1.160";
constexpr size_t kCutForNamesFile = 6; // "config.ini" leaves "conf"

// Formed by the GUI task at start; the master task reads it for the names files.
std::mutex g_path_lock;
std::string g_settings_path;
std::string g_proposed_address; // under g_path_lock

void ProposeNothing() {
    std::lock_guard<std::mutex> guard(g_path_lock);
    g_proposed_address.clear();
}

std::string SettingsPath() {
    std::lock_guard<std::mutex> guard(g_path_lock);
    if (g_settings_path.empty()) g_settings_path = DATA_FilePath("config.ini");
    return g_settings_path;
}

// Buffers larger than the stored capacity still get at most that many characters.
int Capped(int size, int capacity) {
    return std::min(size, capacity);
}

void DeviceSection(int device_index, char section[24]) {
    std::snprintf(section, 24, "DEVICE_%d", device_index);
}

} // namespace

void CONFIG_Init() {
    std::lock_guard<std::mutex> guard(g_path_lock);
    g_settings_path = DATA_FilePath("config.ini");
}

std::string CONFIG_SettingsPath() {
    return SettingsPath();
}

void CONFIG_FormatIdentity(const ConfigIdentity& identity, char text[25]) {
    uint32_t numbers[3];
    for (int i = 0; i < 3; ++i)
        numbers[i] = static_cast<uint32_t>(identity.words[2 * i]) |
                     static_cast<uint32_t>(identity.words[2 * i + 1]) << 16;
    std::snprintf(text, 25, "%08X%08X%08X", numbers[0], numbers[1], numbers[2]);
}

std::string CONFIG_NamesFilePath(const ConfigIdentity& identity) {
    std::string path = SettingsPath();
    path.resize(path.size() > kCutForNamesFile ? path.size() - kCutForNamesFile : 0);
    char text[25];
    CONFIG_FormatIdentity(identity, text);
    return path + text + ".ini";
}

void CONFIG_ProposeIpAddress(const char* address) {
    std::lock_guard<std::mutex> guard(g_path_lock);
    g_proposed_address = address ? address : "";
    if (g_proposed_address.size() >= CONFIG_IP_ADDRESS_SIZE)
        g_proposed_address.resize(CONFIG_IP_ADDRESS_SIZE - 1);
}

int CONFIG_GetIpAddress(char* buffer, int size) {
    PARAM_CHECK(buffer != nullptr && size > 0, 0);
    {
        std::lock_guard<std::mutex> guard(g_path_lock);
        if (!g_proposed_address.empty()) {
            const int capacity = Capped(size, CONFIG_IP_ADDRESS_SIZE);
            std::snprintf(buffer, capacity, "%s", g_proposed_address.c_str());
            return std::min(static_cast<int>(g_proposed_address.size()), capacity - 1);
        }
    }
    return INI_GetString("NETWORK", "IPAdress", kDefaultIpAddress, buffer,
                         Capped(size, CONFIG_IP_ADDRESS_SIZE), SettingsPath().c_str());
}

int CONFIG_SetIpAddress(const char* address) {
    PARAM_CHECK(address != nullptr, 0);
    const int done = INI_PutString("NETWORK", "IPAdress", address, SettingsPath().c_str());
    if (!done) DBG_Printf("Error writing IP adress to logfile\n");
    ProposeNothing(); // from now on the stored address is the one to show
    return done;
}

int32_t CONFIG_GetLanguage() {
    return INI_GetLong("GUI", "LANGUAGE", 0, SettingsPath().c_str());
}

int CONFIG_SetLanguage(int32_t language) {
    const int done = INI_PutLong("GUI", "LANGUAGE", language, SettingsPath().c_str());
    if (!done) DBG_Printf("Error writing language to ini\n");
    return done;
}

int32_t CONFIG_GetLogFileNr() {
    const int32_t number = INI_GetLong("MODBUS", "actLogFile", 0, SettingsPath().c_str());
    if (number < 0) DBG_Printf("Error reding LogFileNr\n");
    return number;
}

int CONFIG_SetLogFileNr(int32_t number) {
    const int done = INI_PutLong("MODBUS", "actLogFile", number, SettingsPath().c_str());
    if (!done) DBG_Printf("Error writing LogFileNr\n");
    return done;
}

int CONFIG_GetPageName(const ConfigIdentity& identity, const char* page_key, char* buffer,
                       int size) {
    PARAM_CHECK(page_key != nullptr && *page_key != '\0' && buffer != nullptr && size > 0, 0);
    return INI_GetString("CUSTOM_NAMES", page_key, "", buffer, Capped(size, CONFIG_NAME_SIZE),
                         CONFIG_NamesFilePath(identity).c_str());
}

int CONFIG_SetPageName(const ConfigIdentity& identity, const char* page_key, const char* name) {
    PARAM_CHECK(page_key != nullptr && *page_key != '\0' && name != nullptr, 0);
    const int done =
        INI_PutString("CUSTOM_NAMES", page_key, name, CONFIG_NamesFilePath(identity).c_str());
    if (!done) DBG_Printf("Error writing custom name into INI-file\n");
    return done;
}

int CONFIG_GetDeviceName(const ConfigIdentity& identity, int device_index, char* buffer, int size) {
    PARAM_CHECK(device_index >= 0 && buffer != nullptr && size > 0, 0);
    char section[24];
    DeviceSection(device_index, section);
    return INI_GetString(section, "CNAME", "", buffer, Capped(size, CONFIG_NAME_SIZE),
                         CONFIG_NamesFilePath(identity).c_str());
}

int CONFIG_SetDeviceName(const ConfigIdentity& identity, int device_index, const char* name) {
    PARAM_CHECK(device_index >= 0 && name != nullptr, 0);
    char section[24];
    DeviceSection(device_index, section);
    const int done = INI_PutString(section, "CNAME", name, CONFIG_NamesFilePath(identity).c_str());
    if (!done) DBG_Printf("Error write device custom name\n");
    return done;
}
