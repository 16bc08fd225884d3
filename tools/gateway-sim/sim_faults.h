// Fault injection of the gateway simulator: what goes wrong on the wire, for which request,
// and the alarm schedules that drive devices into alarm and out again.
#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>

// A fault with a value (ms, bytes, ...) that strikes every `every`-th request; 0: off.
struct SimFault {
    int value = 0;
    int every = 0;
};

struct SimAlarmSchedule {
    int unit_id = 0;
    uint32_t alarms = 0; // SIM_ALARM_*
    int period_ms = 0;   // off for one period, on for the next, and so on
};

constexpr int SIM_MAX_ALARM_SCHEDULES = 16;

struct SimFaults {
    int drop_after = 0;     // close each connection after this many requests
    SimFault delay;         // ms before the answer
    SimFault late;          // ms before the answer (meant to exceed the client's timeout)
    SimFault split;         // segment size in bytes
    int split_pause_ms = 5; // pause between segments
    std::bitset<256> silent_units;
    int silent_every = 0;
    SimFault junk; // junk bytes sent before the response
    int wrong_tid_every = 0;
    int twice_every = 0;
    int bad_protocol_every = 0;
    int wrong_unit_every = 0;
    int length_zero_every = 0;
    int length_long_every = 0;
    std::bitset<256> exception_units;
    int exception_code = 4;
    int exception_every = 0;
    std::array<SimAlarmSchedule, SIM_MAX_ALARM_SCHEDULES> schedules{};
    int schedule_count = 0;
    // The request faults strike only requests window_first to window_last; 0 and 0: all.
    int window_first = 0;
    int window_last = 0;
};

// Parses the value of one fault option ("--delay" with "200/5", ...) into the faults. 0 when
// taken; 1 when the name is no fault option; -1 with a message (bounded) on a bad value.
int FAULT_ParseOption(const char* name, const char* value, SimFaults* faults, char* error,
                      size_t error_size);

// True when a fault that strikes every `every`-th request strikes request number n (from 1).
bool FAULT_Strikes(int every, uint64_t n);

// True when request n lies in the fault window (always, without a window). Outside it no
// request fault strikes; the alarm schedules and --drop-after go on.
bool FAULT_InWindow(const SimFaults& faults, uint64_t n);

// The alarms a unit is in at the given milliseconds since start, by its schedules.
uint32_t FAULT_AlarmsAt(const SimFaults& faults, int unit_id, int64_t elapsed_ms);

// Applies the header faults that strike request n to a response frame (MBAP header first) in
// place: wrong transaction id, protocol id 1, wrong unit id, length 0 or one too large.
void FAULT_MangleHeader(const SimFaults& faults, uint64_t n, uint8_t* frame, size_t length);

// True when any fault that changes or splits the response bytes strikes request n.
bool FAULT_ChangesBytes(const SimFaults& faults, uint64_t n);
