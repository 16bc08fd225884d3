// gateway-sim: a Modbus TCP gateway with a simulated bus of devices, for trying the program
// without hardware and for testing its communication against a peer we did not write.
#include <climits>
#include <csignal>
#include <cstdio>
#include <unistd.h>

#include "tools/gateway-sim/sim_options.h"
#include "tools/gateway-sim/sim_scenario.h"
#include "tools/gateway-sim/sim_server.h"

namespace {

void OnSignal(int) {
    SIMSRV_RequestStop();
}

SimOptions g_options;
SimScenario g_scenario;

} // namespace

int main(int argc, char** argv) {
    char error[300] = "";
    if (SIMOPT_Parse(argc, argv, &g_options, error, sizeof error) != 0) {
        fprintf(stderr, "gateway-sim: %s\n", error);
        return 2;
    }
    if (g_options.help) {
        SIMOPT_PrintHelp(stdout);
        return 0;
    }
    // Started through PATH, argv[0] has no folder; the scenarios are found from the real one.
    char executable[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", executable, sizeof executable - 1);
    if (length > 0) executable[length] = '\0';
    char path[4096];
    if (SIMOPT_FindScenario(g_options.scenario, length > 0 ? executable : argv[0], path,
                            sizeof path) != 0) {
        fprintf(stderr, "gateway-sim: no scenario \"%s\"\n", g_options.scenario);
        return 2;
    }
    if (SCN_Load(path, &g_scenario, error, sizeof error) != 0) {
        fprintf(stderr, "gateway-sim: %s\n", error);
        return 2;
    }

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);

    return SIMSRV_Run(g_options, g_scenario);
}
