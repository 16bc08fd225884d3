// Command line of the gateway simulator.
#pragma once

#include <cstddef>
#include <cstdio>

#include "tools/gateway-sim/sim_faults.h"

constexpr int SIM_DEFAULT_PORT = 5020;

// A fixed moment for the simulated clock to start at, local time. Without a date it is the
// host's date of the day the simulator starts.
struct SimStart {
    bool set = false;
    bool has_date = false;
    int year = 0, month = 0, day = 0; // when has_date
    int hour = 0, minute = 0, second = 0;
};

struct SimOptions {
    char listen[16] = "127.0.0.1";    // IPv4 address to listen on
    int port = SIM_DEFAULT_PORT;      // 0: any free port
    const char* scenario = "default"; // scenario file, or the name of a shipped one
    double clock_speed = 1;           // how much faster than the host the simulated clock runs
    SimStart start;                   // unset: the simulated clock starts at the host's time
    bool help = false;
    SimFaults faults;
};

// Parses the arguments (argv[0] is skipped). 0 on success; -1 with a message (bounded to
// error_size) on an unknown option or a bad value.
int SIMOPT_Parse(int argc, char** argv, SimOptions* options, char* error, size_t error_size);

// Parses a --start value: "HH:MM[:SS]" or "YYYY-MM-DD[T| ]HH:MM[:SS]" (years 2000 to 2099).
// false on anything else, including a day the month does not have.
bool SIMOPT_ParseStart(const char* text, SimStart* start);

// The simulated time to start at, seconds since the epoch: `host_now` when no start was given,
// else the given local time (on the host's date of `host_now` when it has no date).
double SIMOPT_StartTime(const SimStart& start, double host_now);

// Writes the --help text.
void SIMOPT_PrintHelp(FILE* out);

// Finds the scenario file: the text itself when such a file exists; else, for a bare name,
// "<name>.scn" in the "scenarios" folder beside the executable, then in the installed share
// folder ("../share/veltra-desktop/scenarios" from the executable's), then in the source tree.
// 0 with the path in `path`, -1 when none exists.
int SIMOPT_FindScenario(const char* scenario, const char* executable, char* path, size_t path_size);
