// gateway-sim: a Modbus TCP gateway with a simulated bus of devices, for trying the program
// without hardware and for testing its communication against a peer we did not write.
#include <csignal>
#include <cstdio>

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
    char path[4096];
    if (SIMOPT_FindScenario(g_options.scenario, argv[0], path, sizeof path) != 0) {
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
