// Values computed from polled registers and written back into the device's own window, where
// pages, the log and the event scan read them like any other register.
#pragma once

#include "devices/device_types.h"
#include "devices/reg_access.h"

// Celton 100 and 102: register 107 := 1 while register 12 is not 0.
void DEV_CeltonStateFlag(RegisterCell* window);
// Celton 102: the limits at 100 to 105, compensated for the temperature difference.
void DEV_CeltonCompensate(RegisterCell* window);
// Brant: the protection states at 100 and 101 from registers 19, 20 and the mode at 17.
void DEV_BrantSwitchStates(RegisterCell* window);
// BrantV2: the LED flags at 140 to 149 from registers 21, 100, 101 and 123.
void DEV_BrantV2SwitchFlags(RegisterCell* window);
// RV charge controllers: the sums, capacities and 90 % / 95 % marks at 800 to 826.
void DEV_ChargerScales(RegisterCell* window, const DeviceType* type);

// Runs each listed device's DeviceType::derive on its window (called by the GUI task's
// loop every 10 passes).
void DEV_UpdateAll();
