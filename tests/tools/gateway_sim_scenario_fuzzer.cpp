// Scenario text from a file: any bytes must parse or be refused with a message, never crash.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "tools/gateway-sim/sim_faults.h"
#include "tools/gateway-sim/sim_scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static SimScenario scenario;
    char error[128];
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (SCN_Parse(text, &scenario, error, sizeof error) == 0) {
        for (int i = 0; i < scenario.count; i++) {
            if (SCN_FindUnit(scenario, scenario.devices[static_cast<size_t>(i)].unit_id) ==
                nullptr) {
                __builtin_trap();
            }
        }
    } else if (memchr(error, '\0', sizeof error) == nullptr) {
        __builtin_trap();
    }
    // The same bytes as the value of a fault option.
    char value[64];
    const size_t n = size < sizeof value - 1 ? size : sizeof value - 1;
    memcpy(value, data, n);
    value[n] = '\0';
    SimFaults faults;
    for (const char* name : {"--silent", "--exception", "--alarm", "--delay"}) {
        FAULT_ParseOption(name, value, &faults, error, sizeof error);
    }
    return 0;
}
