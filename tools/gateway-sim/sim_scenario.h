// Scenarios of the gateway simulator: which unit ids answer on the bus, as which device type,
// with which per-device options. A scenario is a small text file, one device per line.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

// Unit ids 1 to 247 can carry a device; one device per unit id.
constexpr int SIM_MAX_DEVICES = 247;

// Writes the text of a parse error into the caller's buffer (nothing when it is null).
void SIM_Fail(char* error, size_t error_size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Type ids of the devices the simulator knows.
constexpr uint32_t SIM_TYPE_QUILL = 2048;
constexpr uint32_t SIM_TYPE_RV100 = 1024;
constexpr uint32_t SIM_TYPE_RV140 = 1025;
constexpr uint32_t SIM_TYPE_RV75 = 1026;
constexpr uint32_t SIM_TYPE_CELTON = 100;
constexpr uint32_t SIM_TYPE_CELTON_ACTIVE = 101;
constexpr uint32_t SIM_TYPE_CELTON_V2 = 102;
constexpr uint32_t SIM_TYPE_CELTON_103 = 103;
constexpr uint32_t SIM_TYPE_CELTON_104 = 104;
constexpr uint32_t SIM_TYPE_BRANT = 200;
constexpr uint32_t SIM_TYPE_BRANT_V2 = 201;
constexpr uint32_t SIM_TYPE_CORVO_500 = 500;
constexpr uint32_t SIM_TYPE_CORVO_501 = 501;
constexpr uint32_t SIM_TYPE_CORVO_502 = 502;
constexpr uint32_t SIM_TYPE_CORVO_510 = 510;
constexpr uint32_t SIM_TYPE_CORVO_511 = 511;
constexpr uint32_t SIM_TYPE_CORVO_512 = 512;

// What a meter's shunt measures.
enum class SimCorvoRole : uint8_t { Battery, Load, Solar };

// Switch modes of the switch units, as the user sets them.
enum class SimSwitchMode : uint8_t { Off, On, Auto };

struct SimDeviceConfig {
    int unit_id = 0;
    uint32_t type_id = 0;
    // Display unit: kinds of the four current sensors (0: none), the four level sensors
    // (true: fitted), the threshold record selector, the IP address, the 96-bit identity.
    std::array<uint8_t, 4> amprix_kinds{};
    std::array<bool, 4> levra_fitted{};
    uint16_t selector = 0;
    std::array<uint8_t, 4> ip{192, 168, 1, 161};
    std::array<uint32_t, 3> identity{};
    // Meters.
    SimCorvoRole role = SimCorvoRole::Battery;
    // Switch units.
    SimSwitchMode mode = SimSwitchMode::Auto;
    // Charge controllers: peak power of the panels in W.
    int pv_watts = 0;
};

struct SimScenario {
    int count = 0;
    std::array<SimDeviceConfig, SIM_MAX_DEVICES> devices{};
};

// The type id for a type name ("quill", "rv100", "celton", "corvo500", ...) or a decimal
// type id of a known type; 0 when the text names no known type.
uint32_t SCN_TypeFromName(std::string_view name);

// True for the type ids of the table of known types.
bool SCN_IsKnownType(uint32_t type_id);

// Parses scenario text into the scenario (emptied first). 0 on success; -1 with a message
// naming the line in error (bounded to error_size) on the first bad line.
int SCN_Parse(std::string_view text, SimScenario* scenario, char* error, size_t error_size);

// Reads and parses a scenario file (at most 64 KiB). 0 or -1 with a message as above.
int SCN_Load(const char* path, SimScenario* scenario, char* error, size_t error_size);

// The device of a unit id, or nullptr.
const SimDeviceConfig* SCN_FindUnit(const SimScenario& scenario, int unit_id);
