// The settings file "config.ini" in the data folder (gateway address, language, number of the
// current data-log file) and the names file of each display unit, "conf" + its identity in 24
// hexadecimal digits + ".ini", beside it (the custom names of the unit's built-in pages and of
// the devices on the bus). Getters give the default when the file, section or key is missing;
// setters print their message when the value cannot be stored and return 1 done, 0 failed.
#pragma once

#include <array>
#include <cstdint>
#include <string>

constexpr int CONFIG_IP_ADDRESS_SIZE = 20; // the address reads back as at most 19 characters
constexpr int CONFIG_NAME_SIZE = 30;       // a custom name reads back as at most 29 characters

// The display unit's 96-bit identity: registers 2 to 7 of its register map, in that order.
// They form three 32-bit numbers, each low word first (2-3, 4-5, 6-7). All zero until the
// display unit has been read.
struct ConfigIdentity {
    std::array<uint16_t, 6> words{};
};

// Forms the settings path from the data folder; called once at start. A settings function
// called before forms it on first use.
void CONFIG_Init();
std::string CONFIG_SettingsPath();

// The identity as "%08X%08X%08X" of its three numbers: 24 characters and the terminator.
void CONFIG_FormatIdentity(const ConfigIdentity& identity, char text[25]);
// The names file: the settings path without its last 6 characters ("config.ini" leaves
// "conf"), then the 24 hexadecimal digits and ".ini".
std::string CONFIG_NamesFilePath(const ConfigIdentity& identity);

// "NETWORK" / "IPAdress", default "192.168.1.160"; returns the length of the text.
int CONFIG_GetIpAddress(char* buffer, int size);
int CONFIG_SetIpAddress(const char* address);
// An address to read back instead of the stored one (the command line's --gateway), until the
// next CONFIG_SetIpAddress stores one; nothing is written. Empty or nullptr proposes nothing.
void CONFIG_ProposeIpAddress(const char* address);

// "GUI" / "LANGUAGE": the language's index, 0 English, 1 German (GUI_LANGUAGE, whose module
// sits above this one); default 0.
int32_t CONFIG_GetLanguage();
int CONFIG_SetLanguage(int32_t language);

// "MODBUS" / "actLogFile", default 0; a negative number is reported and returned as it is.
int32_t CONFIG_GetLogFileNr();
int CONFIG_SetLogFileNr(int32_t number);

// Section "CUSTOM_NAMES", key = the built-in page's device key ("QUILL", "HOME", "GRAPH",
// "AMPRX1" to "AMPRX4", "LEVEL1" to "LEVEL4"), default empty; returns the length of the name.
int CONFIG_GetPageName(const ConfigIdentity& identity, const char* page_key, char* buffer,
                       int size);
int CONFIG_SetPageName(const ConfigIdentity& identity, const char* page_key, const char* name);

// Section "DEVICE_<index in the device list>", key "CNAME", default empty; returns the length.
int CONFIG_GetDeviceName(const ConfigIdentity& identity, int device_index, char* buffer, int size);
int CONFIG_SetDeviceName(const ConfigIdentity& identity, int device_index, const char* name);
