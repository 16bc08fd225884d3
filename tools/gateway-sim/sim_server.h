// The gateway: a Modbus TCP server (libmodbus) that answers for every device of the
// scenario on one connection, one client at a time, with the configured faults.
#pragma once

#include "tools/gateway-sim/sim_options.h"
#include "tools/gateway-sim/sim_scenario.h"

// Serves until SIMSRV_RequestStop: 0 after a clean end, 1 when the scenario does not fit or
// the port cannot be opened (with a message on standard error). Prints "listening on
// ADDR:PORT" on standard output once clients can connect.
int SIMSRV_Run(const SimOptions& options, const SimScenario& scenario);

// Asks the server to end; safe to call from a signal handler.
void SIMSRV_RequestStop();
