// Register maps of the simulated slave devices: what each device type answers, refreshed
// from the world before every request, and how a device takes a write.
#pragma once

#include <cstdint>

#include "tools/gateway-sim/sim_scenario.h"
#include "tools/gateway-sim/sim_world.h"

// Alarm conditions a device can be driven into (several at once).
constexpr uint32_t SIM_ALARM_OV = 1;   // over voltage
constexpr uint32_t SIM_ALARM_UV = 2;   // under voltage
constexpr uint32_t SIM_ALARM_TEMP = 4; // over temperature

struct SimDevice {
    const SimDeviceConfig* config = nullptr;
    int index = 0;             // position in the scenario
    uint16_t* regs = nullptr;  // the register map, indexed by register address
    uint8_t* pinned = nullptr; // per register: 1 once written by a client (keeps its value)
    int count = 0;             // registers in the map
    SimSwitchMode mode = SimSwitchMode::Auto; // switch units
    uint32_t alarms = 0;                      // SIM_ALARM_* in force
};

// Registers in the map of a device type (requests beyond it get an address exception).
int SIMDEV_MapSize(uint32_t type_id);

// Binds a device to its scenario entry and its register and pin storage (count entries
// each, zeroed here).
void SIMDEV_Init(SimDevice* device, const SimDeviceConfig* config, int index, uint16_t* regs,
                 uint8_t* pinned, int count);

// Writes the device's present values from the world at the simulated time.
void SIMDEV_Refresh(SimDevice* device, const SimWorld& world, double time);

// 0 when the device takes a write of count values from start, else the Modbus exception code
// it answers (3 for a switch mode it does not know).
int SIMDEV_CheckWrite(const SimDevice& device, int start, const uint16_t* values, int count);

// After a write landed in the map: switch modes follow their register, every other written
// register keeps the written value from now on.
void SIMDEV_AfterWrite(SimDevice* device, int start, int count);
