#include "tools/gateway-sim/sim_world.h"

#include <algorithm>
#include <cmath>
#include <ctime>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMaxStepSeconds = 10;
constexpr double kMaxSteps = 20000;
constexpr double kInternalOhm = 0.004;

bool IsRv(uint32_t t) {
    return t >= SIM_TYPE_RV100 && t <= SIM_TYPE_RV75;
}

// Local hour of day with its fraction.
double HourOfDay(double time) {
    const time_t seconds = static_cast<time_t>(std::floor(time));
    struct tm local {};
    localtime_r(&seconds, &local);
    return local.tm_hour + local.tm_min / 60.0 + (local.tm_sec + (time - seconds)) / 3600.0;
}

// Rest voltage of a 12.8 V lithium battery: flat in the middle, steep at both ends.
double RestVoltage(double soc) {
    double v = 12.9 + 0.5 * soc;
    if (soc > 0.95) v += (soc - 0.95) * 14;
    if (soc < 0.10) v -= (0.10 - soc) * 8;
    return v;
}

// Irradiance from 0 to 1: a sine from 6:00 to 18:00 with slowly passing clouds.
double Sun(double time) {
    const double hour = HourOfDay(time);
    if (hour <= 6 || hour >= 18) return 0;
    const double clouds = 0.82 + 0.18 * std::sin(time / 1300.0) * std::sin(time / 577.0);
    return std::sin(kPi * (hour - 6) / 12) * clouds;
}

// Power of the loads: a base, the fridge cycling, lights in the evening; shed when empty.
double LoadWatts(double time, double soc) {
    const double hour = HourOfDay(time);
    double watts = 45 + 6 * std::sin(time / 97.0);
    if (std::sin(time / 900.0) > 0.3) watts += 40;
    if (hour >= 18 && hour < 23) watts += 60;
    return soc < 0.12 ? 10 : watts;
}

// The instantaneous currents and voltage for the present state of charge.
void Settle(SimWorld* w, const SimScenario& scenario) {
    const double rest = RestVoltage(w->soc);
    w->load_w = LoadWatts(w->time, w->soc);
    w->load_a = w->load_w / rest;
    const double sun = Sun(w->time);

    int chargers = 0;
    for (int i = 0; i < scenario.count; i++)
        chargers += IsRv(scenario.devices[i].type_id);
    w->solar_a = 0;
    for (int i = 0; i < scenario.count; i++) {
        const SimDeviceConfig& d = scenario.devices[static_cast<size_t>(i)];
        w->charger_a[static_cast<size_t>(i)] = 0;
        w->charger_load_a[static_cast<size_t>(i)] = 0;
        if (!IsRv(d.type_id)) continue;
        const double rating = d.type_id == SIM_TYPE_RV75 ? 40 : 30;
        double amps = std::min(d.pv_watts * sun / rest, rating);
        // A full battery takes only what the loads draw.
        if (w->soc >= 0.995) amps = std::min(amps, w->load_a / chargers + 0.2);
        w->charger_a[static_cast<size_t>(i)] = amps;
        w->charger_load_a[static_cast<size_t>(i)] = 0.25 * w->load_a / chargers;
        w->solar_a += amps;
    }
    if (chargers == 0) {
        // Panels behind a controller the bus does not show.
        w->solar_a = std::min(w->pv_peak_w * sun / rest, 30.0);
        if (w->soc >= 0.995) w->solar_a = std::min(w->solar_a, w->load_a + 0.2);
    }
    w->battery_a = w->solar_a - w->load_a;
    w->battery_v = rest + w->battery_a * kInternalOhm;
    w->solar_w = w->solar_a * w->battery_v;
    const double hour = HourOfDay(w->time);
    w->ambient_c = 18 + 6 * std::sin(2 * kPi * (hour - 9) / 24) + 1.5 * std::sin(w->time / 2400.0);
}

} // namespace

void WORLD_Init(SimWorld* world, const SimScenario& scenario, double time) {
    *world = SimWorld{};
    world->time = time;
    double peak = 0;
    for (int i = 0; i < scenario.count; i++) {
        const SimDeviceConfig& d = scenario.devices[static_cast<size_t>(i)];
        if (IsRv(d.type_id)) peak += d.pv_watts;
    }
    if (peak > 0) world->pv_peak_w = peak;
    Settle(world, scenario);
}

void WORLD_Advance(SimWorld* world, const SimScenario& scenario, double time) {
    double span = time - world->time;
    if (!(span > 0)) return;
    // Long jumps (a fast clock, an idle bus) take larger steps rather than more of them.
    const double step = std::max(kMaxStepSeconds, span / kMaxSteps);
    while (span > 0) {
        const double dt = std::min(step, span);
        world->soc += world->battery_a * dt / 3600.0 / world->capacity_ah;
        world->soc = std::clamp(world->soc, 0.02, 1.0);
        world->charged_mas += world->solar_a * 1000.0 * dt;
        world->discharged_mas += world->load_a * 1000.0 * dt;
        world->time += dt;
        span -= dt;
        Settle(world, scenario);
    }
    world->time = time;
}

double WORLD_CounterMas(const SimWorld& world) {
    return -(1.0 - world.soc) * world.capacity_ah * 3600.0 * 1000.0;
}
