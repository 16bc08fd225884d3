// Alarm words: the bits a device family's alarm word sets and what its computation reads.
// Each family file gives its types an alarm word function; the event module compares the
// words and forms the lines.
#pragma once

#include "devices/reg_access.h"

#include <cstdint>
#include <initializer_list>

// Alarm bits, reported in this order: OVP, LVP, Modbus, temperature 1, temperature 4. Bit 8
// (a protector's own flag) changes the word but forms no line.
constexpr uint32_t ALARM_OVP = 64;
constexpr uint32_t ALARM_LVP = 32;
constexpr uint32_t ALARM_MODBUS = 16;
constexpr uint32_t ALARM_TEMPERATURE_1 = 1;
constexpr uint32_t ALARM_TEMPERATURE_4 = 4;
constexpr uint32_t ALARM_FLAG_8 = 8;

// A device's register window as an alarm word reads it: registers as unsigned 16-bit values,
// 0 for an index outside the window (a short window never makes a read leave it).
struct AlarmRegisters {
    const RegisterCell* window = nullptr;
    int32_t length = 0;

    uint32_t operator()(int32_t index) const {
        if (window == nullptr || index < 1 || index >= length) return 0;
        return Reg_Get(window, index);
    }
    bool AnyIsOne(std::initializer_list<int32_t> registers) const {
        for (const int32_t r : registers)
            if ((*this)(r) == 1) return true;
        return false;
    }
};

// OVP when the voltage (in mV) reaches the high threshold, LVP when it is down to the low one
// (both may be set), against the threshold record that register 25 of the display unit's map
// selects. 0 without a display unit or when the record lies beyond the registers polled from
// it (the thresholds are then unknown).
uint32_t ALARM_VoltageBits(uint32_t volts, const RegisterCell* display_map);
