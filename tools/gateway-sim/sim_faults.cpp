#include "tools/gateway-sim/sim_faults.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "tools/gateway-sim/sim_device.h"

namespace {

// A decimal number from min to max; the whole text must be digits.
bool Number(std::string_view text, long min, long max, int* value) {
    if (text.empty() || text.size() > 9) return false;
    long v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v < min || v > max) return false;
    *value = static_cast<int>(v);
    return true;
}

// "VALUE" or "VALUE/N"; without /N the fault strikes every request.
bool ValueEvery(std::string_view text, long min, long max, SimFault* fault) {
    const size_t slash = text.find('/');
    int every = 1;
    if (slash != std::string_view::npos && !Number(text.substr(slash + 1), 1, 1000000, &every)) {
        return false;
    }
    int value = 0;
    if (!Number(text.substr(0, slash), min, max, &value)) return false;
    fault->value = value;
    fault->every = every;
    return true;
}

// "3,5-7,12": unit ids 0 to 255.
bool UnitList(std::string_view text, std::bitset<256>* units) {
    units->reset();
    while (true) {
        const size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        const size_t dash = item.find('-');
        int first = 0;
        int last = 0;
        if (!Number(item.substr(0, dash), 0, 255, &first)) return false;
        last = first;
        if (dash != std::string_view::npos && !Number(item.substr(dash + 1), 0, 255, &last)) {
            return false;
        }
        if (last < first) return false;
        for (int u = first; u <= last; u++)
            units->set(static_cast<size_t>(u));
        if (comma == std::string_view::npos) return true;
        text.remove_prefix(comma + 1);
    }
}

} // namespace

int FAULT_ParseOption(const char* name, const char* value, SimFaults* faults, char* error,
                      size_t error_size) {
    if (name == nullptr || faults == nullptr) return -1;
    const std::string_view option(name);
    struct EveryOption {
        std::string_view name;
        int SimFaults::*every;
    };
    static constexpr EveryOption kEveryOptions[] = {
        {"--wrong-tid", &SimFaults::wrong_tid_every},
        {"--twice", &SimFaults::twice_every},
        {"--bad-protocol", &SimFaults::bad_protocol_every},
        {"--wrong-unit", &SimFaults::wrong_unit_every},
        {"--length-zero", &SimFaults::length_zero_every},
        {"--length-long", &SimFaults::length_long_every},
    };
    bool known = option == "--drop-after" || option == "--delay" || option == "--late" ||
                 option == "--split" || option == "--split-pause" || option == "--silent" ||
                 option == "--junk" || option == "--exception" || option == "--alarm" ||
                 option == "--fault-window";
    for (const EveryOption& o : kEveryOptions)
        known = known || option == o.name;
    if (!known) return 1;
    if (value == nullptr) {
        SIM_Fail(error, error_size, "%s needs a value", name);
        return -1;
    }
    const std::string_view text(value);
    bool ok = false;
    if (option == "--drop-after") {
        ok = Number(text, 1, 1000000000, &faults->drop_after);
    } else if (option == "--delay") {
        ok = ValueEvery(text, 0, 600000, &faults->delay);
    } else if (option == "--late") {
        ok = ValueEvery(text, 0, 600000, &faults->late);
    } else if (option == "--split") {
        ok = ValueEvery(text, 1, 300, &faults->split);
    } else if (option == "--split-pause") {
        ok = Number(text, 0, 10000, &faults->split_pause_ms);
    } else if (option == "--junk") {
        ok = ValueEvery(text, 1, 300, &faults->junk);
    } else if (option == "--silent") {
        const size_t slash = text.find('/');
        faults->silent_every = 1;
        ok = UnitList(text.substr(0, slash), &faults->silent_units) &&
             (slash == std::string_view::npos ||
              Number(text.substr(slash + 1), 1, 1000000, &faults->silent_every));
    } else if (option == "--exception") {
        // UNITS[:CODE][/N]
        const size_t slash = text.find('/');
        const std::string_view head = text.substr(0, slash);
        const size_t colon = head.find(':');
        faults->exception_every = 1;
        faults->exception_code = 4;
        ok = UnitList(head.substr(0, colon), &faults->exception_units) &&
             (colon == std::string_view::npos ||
              Number(head.substr(colon + 1), 1, 11, &faults->exception_code)) &&
             (slash == std::string_view::npos ||
              Number(text.substr(slash + 1), 1, 1000000, &faults->exception_every));
    } else if (option == "--fault-window") {
        // FIRST-LAST, requests counted from 1
        const size_t dash = text.find('-');
        ok = dash != std::string_view::npos &&
             Number(text.substr(0, dash), 1, 1000000000, &faults->window_first) &&
             Number(text.substr(dash + 1), 1, 1000000000, &faults->window_last) &&
             faults->window_first <= faults->window_last;
    } else if (option == "--alarm") {
        // UNIT:KIND[+KIND...][:PERIOD_MS]
        if (faults->schedule_count >= SIM_MAX_ALARM_SCHEDULES) {
            SIM_Fail(error, error_size, "at most %d --alarm options", SIM_MAX_ALARM_SCHEDULES);
            return -1;
        }
        SimAlarmSchedule schedule;
        schedule.period_ms = 10000;
        const size_t colon = text.find(':');
        const size_t colon2 = colon == std::string_view::npos ? colon : text.find(':', colon + 1);
        ok = colon != std::string_view::npos &&
             Number(text.substr(0, colon), 1, 255, &schedule.unit_id);
        std::string_view kinds =
            ok ? text.substr(colon + 1, colon2 == std::string_view::npos ? std::string_view::npos
                                                                         : colon2 - colon - 1)
               : std::string_view();
        while (ok) {
            const size_t plus = kinds.find('+');
            const std::string_view kind = kinds.substr(0, plus);
            if (kind == "ov")
                schedule.alarms |= SIM_ALARM_OV;
            else if (kind == "uv")
                schedule.alarms |= SIM_ALARM_UV;
            else if (kind == "temp")
                schedule.alarms |= SIM_ALARM_TEMP;
            else
                ok = false;
            if (plus == std::string_view::npos) break;
            kinds.remove_prefix(plus + 1);
        }
        if (ok && colon2 != std::string_view::npos) {
            ok = Number(text.substr(colon2 + 1), 1, 86400000, &schedule.period_ms);
        }
        if (ok) faults->schedules[static_cast<size_t>(faults->schedule_count++)] = schedule;
    } else {
        for (const EveryOption& o : kEveryOptions) {
            if (option == o.name) ok = Number(text, 1, 1000000, &(faults->*o.every));
        }
    }
    if (!ok) {
        SIM_Fail(error, error_size, "bad value \"%.40s\" for %s (see --help)", value, name);
        return -1;
    }
    return 0;
}

bool FAULT_Strikes(int every, uint64_t n) {
    return every > 0 && n > 0 && n % static_cast<uint64_t>(every) == 0;
}

bool FAULT_InWindow(const SimFaults& faults, uint64_t n) {
    if (faults.window_first == 0 && faults.window_last == 0) return true;
    return n >= static_cast<uint64_t>(faults.window_first) &&
           n <= static_cast<uint64_t>(faults.window_last);
}

uint32_t FAULT_AlarmsAt(const SimFaults& faults, int unit_id, int64_t elapsed_ms) {
    uint32_t alarms = 0;
    for (int i = 0; i < faults.schedule_count; i++) {
        const SimAlarmSchedule& s = faults.schedules[static_cast<size_t>(i)];
        if (s.unit_id != unit_id || s.period_ms <= 0 || elapsed_ms < 0) continue;
        if ((elapsed_ms / s.period_ms) % 2 == 1) alarms |= s.alarms;
    }
    return alarms;
}

void FAULT_MangleHeader(const SimFaults& faults, uint64_t n, uint8_t* frame, size_t length) {
    if (frame == nullptr || length < 7) return;
    if (FAULT_Strikes(faults.wrong_tid_every, n)) {
        const uint16_t tid = static_cast<uint16_t>(((frame[0] << 8) | frame[1]) + 1);
        frame[0] = static_cast<uint8_t>(tid >> 8);
        frame[1] = static_cast<uint8_t>(tid & 0xFF);
    }
    if (FAULT_Strikes(faults.bad_protocol_every, n)) {
        frame[2] = 0;
        frame[3] = 1;
    }
    if (FAULT_Strikes(faults.wrong_unit_every, n)) frame[6] = static_cast<uint8_t>(frame[6] + 1);
    if (FAULT_Strikes(faults.length_zero_every, n)) {
        frame[4] = 0;
        frame[5] = 0;
    } else if (FAULT_Strikes(faults.length_long_every, n)) {
        const size_t announced = length - 6 + 1;
        frame[4] = static_cast<uint8_t>(announced >> 8);
        frame[5] = static_cast<uint8_t>(announced & 0xFF);
    }
}

bool FAULT_ChangesBytes(const SimFaults& faults, uint64_t n) {
    return FAULT_Strikes(faults.split.every, n) || FAULT_Strikes(faults.junk.every, n) ||
           FAULT_Strikes(faults.wrong_tid_every, n) || FAULT_Strikes(faults.twice_every, n) ||
           FAULT_Strikes(faults.bad_protocol_every, n) ||
           FAULT_Strikes(faults.wrong_unit_every, n) ||
           FAULT_Strikes(faults.length_zero_every, n) || FAULT_Strikes(faults.length_long_every, n);
}
