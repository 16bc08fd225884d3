// The connection task: it alone owns the TCP socket to the Modbus TCP gateway. It opens the
// connection on a connect command, then carries the master task's exchanges one at a time
// until a socket failure, a close command or the end of the process.
#pragma once

// Task body: serves the connection queue until the process is asked to end.
void GatewayTask();

// The TCP port for every connection from now on, in place of the connect command's port and of
// VELTRA_GATEWAY_PORT (the command line's --gateway ADDRESS:PORT); empty or nullptr goes back
// to those. Called before the tasks start.
void Gateway_SetPort(const char* port);

// Opens the connection, reports STATUS_OK (or STATUS_FAILED when it cannot be opened) and
// serves commands until it ends: 0 after an orderly close, 1 otherwise.
int Gateway_RunConnection(const char* host, const char* port);

// Resolves the host and connects to the first address that accepts; 0 connected, 1 failed.
int Gateway_Open(const char* host, const char* port);

// Discards stale bytes, sends the context's request and reads one whole response into it:
// 0 response received; 1 failed but the connection stays (short send, bad MBAP length);
// -1 the connection was closed (socket failure, timeout, gateway gone).
int Gateway_Exchange();

// Shuts the sending direction, reads until the gateway closes, closes the socket: 0 after an
// orderly shutdown, 1 when the shutdown failed.
int Gateway_Close(char* buffer, int buffer_size);

// For tests only: the receive and send timeouts in milliseconds (10000 each by default), so
// that timeout cases do not take 10 s each. Takes effect at the next connection.
void Gateway_SetTimeoutsForTests(int receive_ms, int send_ms);
