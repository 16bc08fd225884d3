#include "tools/gateway-sim/sim_device.h"

#include <cmath>
#include <cstring>
#include <ctime>

namespace {

constexpr int kQuillMapSize = 12000;
constexpr int kThresholdRecords = 20;

bool IsRv(uint32_t t) {
    return t >= SIM_TYPE_RV100 && t <= SIM_TYPE_RV75;
}
bool IsCorvo(uint32_t t) {
    return (t >= 500 && t <= 502) || (t >= 510 && t <= 512);
}

// Writers that leave registers a client has written, and addresses beyond the map, alone.
void Put16(SimDevice* d, int reg, int64_t value) {
    if (reg < 0 || reg >= d->count || d->pinned[reg]) return;
    d->regs[reg] = static_cast<uint16_t>(static_cast<uint64_t>(value) & 0xFFFF);
}

// Multi-register values go low word first.
void Put32(SimDevice* d, int reg, int64_t value) {
    const uint32_t v = static_cast<uint32_t>(static_cast<uint64_t>(value));
    Put16(d, reg, v & 0xFFFF);
    Put16(d, reg + 1, v >> 16);
}

void Put64(SimDevice* d, int reg, int64_t value) {
    const uint64_t v = static_cast<uint64_t>(value);
    for (int i = 0; i < 4; i++)
        Put16(d, reg + i, static_cast<int64_t>((v >> (16 * i)) & 0xFFFF));
}

void PutFloat(SimDevice* d, int reg, float value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    Put32(d, reg, bits);
}

int64_t Round(double v) {
    return static_cast<int64_t>(std::lround(v));
}

uint16_t Get(const SimDevice* d, int reg) {
    return reg >= 0 && reg < d->count ? d->regs[reg] : 0;
}

// Small fixed differences between devices of one installation, from the unit id.
int VoltJitterMv(const SimDevice* d) {
    return (d->config->unit_id * 37) % 11 - 5;
}

// Each device's own temperature, drifting slowly around the air temperature.
double DeviceTemp(const SimDevice* d, const SimWorld& w, double warmer, double time) {
    const int unit = d->config->unit_id;
    return w.ambient_c + warmer + ((unit * 13) % 7 - 3) * 0.3 +
           std::sin(time / 1500.0 + unit) * 1.0;
}

// The voltage a protector or meter reads, driven past the display unit's thresholds while an
// over or under voltage alarm is in force.
int64_t SeenVoltageMv(const SimDevice* d, const SimWorld& w) {
    if (d->alarms & SIM_ALARM_OV) return SIM_HIGH_THRESHOLD_MV + 150;
    if (d->alarms & SIM_ALARM_UV) return SIM_LOW_THRESHOLD_MV - 150;
    return Round(w.battery_v * 1000) + VoltJitterMv(d);
}

bool Balancing(const SimWorld& w) {
    return w.battery_v > 13.9 && w.battery_a > 0.5;
}

void QuillHeader(SimDevice* d, int block) {
    const SimDeviceConfig& c = *d->config;
    Put16(d, block + 0, SIM_TYPE_QUILL);
    for (int i = 0; i < 3; i++)
        Put32(d, block + 2 + 2 * i, c.identity[static_cast<size_t>(i)]);
    Put16(d, block + 9, 1);
    Put16(d, block + 10, 7);
    Put16(d, block + 11, 0);
    Put32(d, block + 12, 19200);
    Put16(d, block + 14, 101);
    Put16(d, block + 15, 1);
    Put16(d, block + 16, c.unit_id);
    Put16(d, block + 18, 0);
}

// Full scale of a current sensor kind in mA (0: none fitted).
int64_t AmprixFullScale(uint8_t kind) {
    switch (kind) {
        case 2:
        case 7:
            return 100000;
        case 3:
        case 8:
            return 200000;
        case 4:
        case 9:
            return 400000;
        case 5:
        case 10:
            return 600000;
        default:
            return 0;
    }
}

void RefreshQuill(SimDevice* d, const SimWorld& w, double time) {
    const SimDeviceConfig& c = *d->config;
    for (int block = 0; block < kQuillMapSize; block += 1000) {
        if (block != 1000) QuillHeader(d, block);
    }
    // The unit's own registers.
    Put16(d, 25, c.selector);
    for (int k = 0; k < 4; k++) {
        Put32(d, 56 + 2 * k, 16000);
        Put16(d, 64 + 10 * k, c.amprix_kinds[static_cast<size_t>(k)]);
    }
    const time_t seconds = static_cast<time_t>(std::floor(time));
    struct tm local {};
    localtime_r(&seconds, &local);
    Put16(d, 144, local.tm_hour | (local.tm_min << 8));
    Put16(d, 145, local.tm_sec);
    Put16(d, 154, (local.tm_mon + 1) << 8);
    Put16(d, 155, local.tm_mday | ((local.tm_year % 100) << 8));
    // One octet per byte in register memory order: the low byte comes first.
    Put16(d, 159, c.ip[0] | (c.ip[1] << 8));
    Put16(d, 160, c.ip[2] | (c.ip[3] << 8));
    for (int s = 0; s < kThresholdRecords; s++) {
        Put32(d, 522 + 26 * s, SIM_LOW_THRESHOLD_MV);
        Put32(d, 524 + 26 * s, SIM_HIGH_THRESHOLD_MV);
    }
    const int64_t battery_mv = Round(w.battery_v * 1000);
    Put32(d, 1020, battery_mv);
    Put32(d, 1022, 12650 + Round(std::sin(time / 3000.0) * 20)); // the starter battery
    Put32(d, 1024, 0);
    Put32(d, 1026, 0);
    Put16(d, 1028, w.soc > 0.12 ? 1 : 0); // load output, shed when the battery is low
    Put16(d, 1029, Balancing(w) ? 1 : 0); // charge relay: on while balancing
    Put16(d, 1030, 0);
    Put16(d, 1031, 0);
    // Four cells; the spread widens as the battery nears full or empty.
    const int64_t cell = battery_mv / 4;
    const int64_t spread = 4 + (w.soc > 0.95 || w.soc < 0.1 ? 20 : 0);
    Put32(d, 1032, cell - spread / 2);
    Put32(d, 1034, cell + spread / 2);
    Put32(d, 1036, spread);
    Put32(d, 1038, Balancing(w) ? cell : 0);

    // Home view.
    constexpr int home = 2000;
    Put32(d, home + 20, Round(w.solar_w));
    // The input gauge's scale: all panels' peak, warning at 90 % and alarm at 95 %.
    const int64_t input_max = (Round(w.pv_peak_w) + 99) / 100 * 100;
    Put32(d, home + 22, input_max);
    Put32(d, home + 24, input_max / 100 * 90);
    Put32(d, home + 26, input_max / 100 * 95);
    Put32(d, home + 28, Round(w.load_w));
    Put32(d, home + 30, 1000);
    Put32(d, home + 32, 800);
    Put32(d, home + 34, 900);
    Put32(d, home + 36, Round(w.soc * 1000));
    Put32(d, home + 42, battery_mv);
    Put32(d, home + 44, Round(w.battery_a * 1000));
    Put32(d, home + 46, Round(w.solar_a * 1000));
    Put32(d, home + 48, Round(w.load_a * 1000));
    const int64_t counter_mah = Round(WORLD_CounterMas(w) / 3600.0);
    Put32(d, home + 50, counter_mah);
    Put64(d, home + 52, counter_mah * 3600);
    double hours_left = w.load_a > 0.05 ? w.soc * w.capacity_ah / w.load_a : 0;
    if (hours_left > 99 * 24) hours_left = 99 * 24;
    const int64_t minutes_left = Round(hours_left * 60);
    Put16(d, home + 56, minutes_left / (24 * 60));
    Put16(d, home + 57, (minutes_left / 60) % 24);
    Put16(d, home + 58, minutes_left % 60);

    // Current sensors: 1 the solar input, 2 the loads, 3 and 4 two load circuits.
    const double sensor_a[4] = {w.solar_a, w.load_a, w.load_a * 0.4, w.load_a * 0.2};
    for (int k = 0; k < 4; k++) {
        const int block = 4000 + 1000 * k;
        const int64_t full = AmprixFullScale(c.amprix_kinds[static_cast<size_t>(k)]);
        Put32(d, block + 20, full > 0 ? Round(sensor_a[k] * 1000) : 0);
        Put32(d, block + 22, 0);
        Put32(d, block + 24, full);
        Put32(d, block + 26, -1);
        Put32(d, block + 28, full > 0 ? full / 100 * 90 : 1);
        Put32(d, block + 30, -1);
        Put32(d, block + 32, full > 0 ? full / 100 * 95 : 1);
    }

    // Level sensors in percent: fresh water and fuel used up, grey water filling, each
    // emptied or refilled every few days.
    const double hours = time / 3600.0;
    const double levels[4] = {95 - std::fmod(hours, 48) * 1.8, 5 + std::fmod(hours + 20, 60) * 1.4,
                              90 - std::fmod(hours, 200) * 0.4, 80 - std::fmod(hours + 7, 36) * 2};
    for (int k = 0; k < 4; k++) {
        const int block = 8000 + 1000 * k;
        const bool fitted = c.levra_fitted[static_cast<size_t>(k)];
        Put32(d, block + 20, fitted ? Round(levels[k]) : 0);
        Put32(d, block + 22, 0);
        Put32(d, block + 24, fitted ? 100 : 0);
        Put32(d, block + 26, fitted ? 10 : 0);
        Put32(d, block + 28, fitted ? 90 : 0);
        Put32(d, block + 30, fitted ? 5 : 0);
        Put32(d, block + 32, fitted ? 95 : 0);
    }
}

// The float value a controller reports, as the program reads it back (x 1000, truncated).
int32_t Milli(float value) {
    return static_cast<int32_t>(value * 1000.0f);
}

void RefreshRv(SimDevice* d, const SimWorld& w, double time) {
    const uint32_t type = d->config->type_id;
    const int rating = type == SIM_TYPE_RV75 ? 40 : 30;
    const double charge_a = w.charger_a[static_cast<size_t>(d->index)];
    const double load_a = w.charger_load_a[static_cast<size_t>(d->index)];
    const bool hot = (d->alarms & SIM_ALARM_TEMP) != 0;
    const bool load_cut = (d->alarms & SIM_ALARM_UV) != 0 || w.soc < 0.12;

    // No external current channels: kinds 0 and values 0.
    for (int j = 0; j < 4; j++) {
        Put16(d, 201 + 4 * j, 0);
        PutFloat(d, 538 + 2 * j, 0.0f);
    }
    const float volts = static_cast<float>(w.battery_v);
    const float charge = static_cast<float>(charge_a);
    const float load = static_cast<float>(load_cut ? 0.0 : load_a);
    PutFloat(d, 546, volts);
    PutFloat(d, 552, charge);
    PutFloat(d, 554, load);
    Put16(d, 532, Round(charge_a * w.battery_v));
    Put16(d, 533, Round(load * w.battery_v));
    Put16(d, 536, Round(hot ? 72 : DeviceTemp(d, w, 4 + charge_a * 0.5, time)));
    Put16(d, 537, Round(DeviceTemp(d, w, 2, time) * 10));
    Put16(d, 519, hot ? 1 : 0);
    Put16(d, 528, (load_cut ? 5 : 1) << 8); // load output: 1 on, 5 off by low voltage
    Put16(d, 827, 0);

    // The controller's own scale registers, as the program derives them from the above.
    const int32_t s2 = Milli(charge);
    const int32_t s1 = Milli(load);
    const int32_t p = Milli(volts);
    Put32(d, 800, s2);
    Put32(d, 802, s1);
    const int32_t t = rating * 1000;
    const int32_t x = static_cast<int32_t>(static_cast<uint32_t>(p * rating) / 1000u);
    Put32(d, 804, t);
    Put16(d, 806, x);
    Put32(d, 824, t / 100 * 95);
    Put16(d, 826, x * 95 / 100);
    Put32(d, 808, t / 100 * 90);
    Put16(d, 810, x * 90 / 100);
    Put32(d, 812, t);
    Put16(d, 814, x);
    Put32(d, 820, t / 100 * 95);
    Put16(d, 822, x * 95 / 100);
    Put32(d, 816, t / 100 * 90);
    Put16(d, 818, x * 90 / 100);
}

void RefreshCelton(SimDevice* d, const SimWorld& w, double time) {
    const uint32_t type = d->config->type_id;
    const int64_t mv = SeenVoltageMv(d, w);
    const bool hot = (d->alarms & SIM_ALARM_TEMP) != 0;
    const bool lvp = (d->alarms & SIM_ALARM_UV) != 0;
    const bool ovp = (d->alarms & SIM_ALARM_OV) != 0;
    const double celsius = hot ? 65 : DeviceTemp(d, w, 3 + std::fabs(w.battery_a) * 0.04, time);
    const int balancing = Balancing(w) ? 1 : 0;
    Put16(d, 190, 0);

    if (type == SIM_TYPE_CELTON_103 || type == SIM_TYPE_CELTON_104) {
        Put16(d, 100, mv);
        Put16(d, 101, Round(celsius * 10));
        Put16(d, 28, 600);
        Put16(d, 29, 500);
        Put16(d, 103, hot ? 1 : 0);
        Put16(d, 104, 0);
        Put16(d, 105, 0);
        Put16(d, 106, 0);
        Put16(d, 110, lvp ? 1 : 0);
        Put16(d, 111, ovp ? 1 : 0);
        Put16(d, 117, 15000);
        Put16(d, 118, 10000);
        Put16(d, 119, SIM_HIGH_THRESHOLD_MV);
        Put16(d, 120, 14400);
        Put16(d, 121, SIM_LOW_THRESHOLD_MV);
        Put16(d, 122, 12000);
        Put16(d, 127, hot && type == SIM_TYPE_CELTON_103 ? 2 : 0);
        Put16(d, 199, balancing);
        return;
    }

    Put16(d, 9, hot ? 1 : 0);
    Put16(d, 14, lvp ? 1 : 0);
    Put16(d, 15, ovp ? 1 : 0);
    // Limits: upper warning, high end, low end, upper alarm, lower alarm, lower warning.
    const int64_t limits_mv[7] = {
        14400, 15000, 10000, SIM_HIGH_THRESHOLD_MV, 0, SIM_LOW_THRESHOLD_MV, 12000};
    if (type == SIM_TYPE_CELTON) {
        // Voltage in 4 mV steps, temperature in 0.2 degree steps from -60 degrees.
        Put16(d, 7, mv / 4);
        Put16(d, 8, Round(celsius * 5) + 300);
        for (int i = 0; i < 7; i++) {
            if (i != 4) Put16(d, 31 + i, limits_mv[i] / 4);
        }
        Put16(d, 40, 60 * 5 + 300);
        Put16(d, 41, 50 * 5 + 300);
        Put16(d, 12, balancing);
        Put16(d, 107, balancing);
    } else if (type == SIM_TYPE_CELTON_ACTIVE) {
        // Temperature in 0.1 degree steps from -60 degrees; 13 is the state (1 balancing,
        // 7 over temperature).
        Put16(d, 7, mv);
        Put16(d, 8, Round(celsius * 10) + 600);
        for (int i = 0; i < 7; i++) {
            if (i != 4) Put16(d, 31 + i, limits_mv[i]);
        }
        Put16(d, 40, 60 * 10 + 600);
        Put16(d, 41, 50 * 10 + 600);
        Put16(d, 13, hot ? 7 : balancing);
    } else if (type == SIM_TYPE_CELTON_V2) {
        // Signed 0.1 degree steps; the limits are compensated by temperature around 25.0.
        const int64_t tenths = Round(celsius * 10);
        Put16(d, 7, mv);
        Put16(d, 8, tenths);
        for (int i = 0; i < 7; i++) {
            if (i != 4) Put16(d, 31 + i, limits_mv[i]);
        }
        Put16(d, 40, 600);
        Put16(d, 41, 500);
        Put16(d, 44, 250);
        for (int r = 45; r <= 50; r++)
            Put16(d, r, -3);
        Put16(d, 12, balancing);
        const int delta =
            (static_cast<int>(Get(d, 44)) - 600) / 10 - (static_cast<int>(Get(d, 8)) - 600) / 10;
        auto coefficient = [d](int reg) { return static_cast<int16_t>(Get(d, reg)); };
        Put16(d, 100, Get(d, 32) + coefficient(45) * delta);
        Put16(d, 101, Get(d, 33) + coefficient(46) * delta);
        Put16(d, 102, Get(d, 36) + coefficient(49) * delta);
        Put16(d, 103, Get(d, 34) + coefficient(47) * delta);
        Put16(d, 104, Get(d, 37) + coefficient(50) * delta);
        Put16(d, 105, Get(d, 31) + coefficient(48) * delta);
        Put16(d, 107, Get(d, 12) != 0 ? 1 : 0);
    }
}

// Whether a switch unit's output is closed in its present mode.
bool SwitchClosed(const SimDevice* d, const SimWorld& w) {
    if (d->alarms & (SIM_ALARM_TEMP | SIM_ALARM_UV)) return false;
    switch (d->mode) {
        case SimSwitchMode::On:
            return true;
        case SimSwitchMode::Off:
            return false;
        case SimSwitchMode::Auto:
            return w.soc > 0.15;
    }
    return false;
}

void RefreshBrant(SimDevice* d, const SimWorld& w, double time) {
    const bool closed = SwitchClosed(d, w);
    const int a = (d->alarms & SIM_ALARM_OV) ? 0 : 1;
    const int b = (d->alarms & SIM_ALARM_UV) ? 0 : 1;
    const int mode_code = d->mode == SimSwitchMode::Off ? 0 : d->mode == SimSwitchMode::On ? 1 : 2;
    Put16(d, 14, Round(DeviceTemp(d, w, closed ? 5 + w.load_a * 0.1 : 2, time) * 10));
    Put16(d, 17, 0);
    Put16(d, 18, (d->alarms & SIM_ALARM_TEMP) ? 3 : mode_code);
    Put16(d, 19, b);
    Put16(d, 20, a);
    Put16(d, 31, closed ? 1 : 0);
    Put16(d, 37, closed ? Round(w.load_a * 0.5) : 0);
    Put16(d, 100, b != 1 ? 1 : 0);
    Put16(d, 101, a != 1 ? 1 : 0);
}

void RefreshBrantV2(SimDevice* d, const SimWorld& w, double time) {
    const bool closed = SwitchClosed(d, w);
    const int lvp = (d->alarms & SIM_ALARM_UV) ? 1 : 0;
    const int ovp = (d->alarms & SIM_ALARM_OV) ? 1 : 0;
    const int faults = (d->alarms & SIM_ALARM_TEMP) ? 1 : 0; // bit 0: over temperature
    int mode_code = 30;
    int led = 2;
    if (d->mode == SimSwitchMode::Off) mode_code = 20, led = 0;
    if (d->mode == SimSwitchMode::On) mode_code = 10, led = 1;
    Put16(d, 16, mode_code);
    Put16(d, 21, 16); // manual on allowed
    Put16(d, 22, led);
    Put16(d, 100, lvp);
    Put16(d, 101, ovp);
    Put16(d, 108, closed ? Round(w.load_a * 0.4) : 0);
    Put16(d, 113, Round(((d->alarms & SIM_ALARM_TEMP) ? 82 : DeviceTemp(d, w, 6, time)) * 10));
    Put16(d, 117, closed ? 1 : 0);
    Put16(d, 123, faults);
    // Flag registers, as the program derives them from the above.
    Put16(d, 145, lvp && ovp ? 2 : lvp);
    Put16(d, 146, lvp && ovp ? 2 : ovp);
    Put16(d, 148, (Get(d, 21) & 16) ? 1 : 0);
    const uint16_t f = Get(d, 123);
    Put16(d, 140, f & 1);
    Put16(d, 141, (f >> 1) & 1);
    Put16(d, 142, (f >> 2) & 1);
    Put16(d, 143, (f >> 3) & 1);
    Put16(d, 144, (f >> 13) & 1);
    Put16(d, 147, (f >> 12) & 1);
    Put16(d, 149, (f & (16 | 64 | 128 | 512 | 1024 | 2048)) ? 1 : 0);
}

void RefreshCorvo(SimDevice* d, const SimWorld& w, double time) {
    double amps = w.battery_a;
    double counter_mas = WORLD_CounterMas(w);
    if (d->config->role == SimCorvoRole::Load) {
        amps = -w.load_a;
        counter_mas = -w.discharged_mas;
    } else if (d->config->role == SimCorvoRole::Solar) {
        amps = w.solar_a;
        counter_mas = w.charged_mas;
    }
    const bool hot = (d->alarms & SIM_ALARM_TEMP) != 0;
    Put16(d, 103, Round((hot ? 75 : DeviceTemp(d, w, 1 + std::fabs(amps) * 0.02, time)) * 100));
    Put32(d, 108, Round(w.battery_v * 1000) + VoltJitterMv(d));
    Put32(d, 114, Round(amps * 1000));
    Put64(d, 124, static_cast<int64_t>(counter_mas));
    Put32(d, 128, Round(w.soc * 100000));
    Put16(d, 130, (d->alarms & SIM_ALARM_OV) ? 1 : 0);
    Put16(d, 131, (d->alarms & SIM_ALARM_UV) ? 1 : 0);
    if (d->config->type_id <= SIM_TYPE_CORVO_502) Put16(d, 236, 0);
    Put16(d, 237, 12000);
    Put16(d, 238, 14400);
    Put16(d, 239, 11500);
    Put16(d, 240, 14800);
    Put16(d, 241, 16000);
    Put32(d, 242, -150000);
    Put32(d, 244, 150000);
    Put32(d, 246, -180000);
    Put32(d, 248, 180000);
    Put32(d, 250, 200000);
    Put32(d, 252, -200000);
}

} // namespace

int SIMDEV_MapSize(uint32_t type_id) {
    if (type_id == SIM_TYPE_QUILL) return kQuillMapSize;
    if (IsRv(type_id)) return 828;
    if (IsCorvo(type_id)) return 300;
    if (type_id == SIM_TYPE_BRANT) return 102;
    if (type_id == SIM_TYPE_BRANT_V2) return 150;
    if (type_id >= SIM_TYPE_CELTON && type_id <= SIM_TYPE_CELTON_104) return 200;
    return 0;
}

void SIMDEV_Init(SimDevice* device, const SimDeviceConfig* config, int index, uint16_t* regs,
                 uint8_t* pinned, int count) {
    *device = SimDevice{};
    device->config = config;
    device->index = index;
    device->regs = regs;
    device->pinned = pinned;
    device->count = count;
    device->mode = config->mode;
    std::memset(regs, 0, sizeof(uint16_t) * static_cast<size_t>(count));
    std::memset(pinned, 0, static_cast<size_t>(count));
}

void SIMDEV_Refresh(SimDevice* device, const SimWorld& world, double time) {
    if (device == nullptr || device->config == nullptr || device->count < 1) return;
    const uint32_t type = device->config->type_id;
    Put16(device, 0, type);
    if (type == SIM_TYPE_QUILL)
        RefreshQuill(device, world, time);
    else if (IsRv(type))
        RefreshRv(device, world, time);
    else if (type >= SIM_TYPE_CELTON && type <= SIM_TYPE_CELTON_104)
        RefreshCelton(device, world, time);
    else if (type == SIM_TYPE_BRANT)
        RefreshBrant(device, world, time);
    else if (type == SIM_TYPE_BRANT_V2)
        RefreshBrantV2(device, world, time);
    else if (IsCorvo(type))
        RefreshCorvo(device, world, time);
}

int SIMDEV_CheckWrite(const SimDevice& device, int start, const uint16_t* values, int count) {
    const uint32_t type = device.config->type_id;
    for (int i = 0; i < count; i++) {
        const int reg = start + i;
        if (type == SIM_TYPE_BRANT && reg == 18 && values[i] > 2) return 3;
        if (type == SIM_TYPE_BRANT_V2 && reg == 16 && values[i] != 10 && values[i] != 20 &&
            values[i] != 30) {
            return 3;
        }
    }
    return 0;
}

void SIMDEV_AfterWrite(SimDevice* device, int start, int count) {
    const uint32_t type = device->config->type_id;
    for (int reg = start; reg < start + count && reg < device->count; reg++) {
        if (reg < 0) continue;
        const uint16_t value = device->regs[reg];
        if (type == SIM_TYPE_BRANT && reg == 18) {
            device->mode = value == 0   ? SimSwitchMode::Off
                           : value == 1 ? SimSwitchMode::On
                                        : SimSwitchMode::Auto;
        } else if (type == SIM_TYPE_BRANT_V2 && reg == 16) {
            device->mode = value == 20   ? SimSwitchMode::Off
                           : value == 10 ? SimSwitchMode::On
                                         : SimSwitchMode::Auto;
        } else {
            device->pinned[reg] = 1;
        }
    }
}
