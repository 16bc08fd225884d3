// Command line of the gateway simulator.
#pragma once

#include <cstddef>
#include <cstdio>

#include "tools/gateway-sim/sim_faults.h"

constexpr int SIM_DEFAULT_PORT = 5020;

struct SimOptions {
    char listen[16] = "127.0.0.1";    // IPv4 address to listen on
    int port = SIM_DEFAULT_PORT;      // 0: any free port
    const char* scenario = "default"; // scenario file, or the name of a shipped one
    double clock_speed = 1;           // how much faster than the host the simulated clock runs
    bool help = false;
    SimFaults faults;
};

// Parses the arguments (argv[0] is skipped). 0 on success; -1 with a message (bounded to
// error_size) on an unknown option or a bad value.
int SIMOPT_Parse(int argc, char** argv, SimOptions* options, char* error, size_t error_size);

// Writes the --help text.
void SIMOPT_PrintHelp(FILE* out);

// Finds the scenario file: the text itself when such a file exists; else, for a bare name,
// "<name>.scn" in the "scenarios" folder beside the executable, then in the installed share
// folder ("../share/veltra-desktop/scenarios" from the executable's), then in the source tree.
// 0 with the path in `path`, -1 when none exists.
int SIMOPT_FindScenario(const char* scenario, const char* executable, char* path, size_t path_size);
