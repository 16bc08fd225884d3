// The simulated installation behind the gateway: one battery charged by the solar charge
// controllers and drained by the loads. Every device reads its values from this one world,
// so the display unit, the meters and the battery protectors agree.
#pragma once

#include <array>

#include "tools/gateway-sim/sim_scenario.h"

struct SimWorld {
    double time = 0;          // simulated time of the last advance, seconds since the epoch
    double capacity_ah = 200; // battery capacity
    double soc = 0.65;        // state of charge, 0 to 1
    double battery_v = 0;     // terminal voltage
    double battery_a = 0;     // battery current, positive while charging
    double solar_a = 0;       // sum of the charge controllers' output currents
    double solar_w = 0;       // sum of their output power
    double load_a = 0;        // current drawn by the loads
    double load_w = 0;
    double ambient_c = 20;     // air temperature around the installation
    double pv_peak_w = 400;    // peak power of all panels together
    double charged_mas = 0;    // charge delivered by the solar side since start, mAs
    double discharged_mas = 0; // charge drawn by the loads since start, mAs
    // Per scenario device index: output and load-output current of each charge controller.
    std::array<double, SIM_MAX_DEVICES> charger_a{};
    std::array<double, SIM_MAX_DEVICES> charger_load_a{};
};

// Low and high battery voltage thresholds of the display unit's threshold records, mV.
constexpr int SIM_LOW_THRESHOLD_MV = 11800;
constexpr int SIM_HIGH_THRESHOLD_MV = 14600;

// Sets the world to its start state at the given simulated time.
void WORLD_Init(SimWorld* world, const SimScenario& scenario, double time);

// Moves the world on to the given simulated time (never backwards), integrating the charge.
void WORLD_Advance(SimWorld* world, const SimScenario& scenario, double time);

// The charge counter relative to a full battery, mAs (0 when full, negative below).
double WORLD_CounterMas(const SimWorld& world);
