// One read of 100 registers from the gateway simulator on loopback: through our client, and in
// the same run through libmodbus's client (the reference). The master task's 100 ms pause
// before each request is left out; its 10 ms look-again wait is measured separately.
#include "base/queue.h"
#include "base/dbg.h"
#include "base/lifecycle.h"
#include "comm/gateway.h"
#include "comm/master.h"
#include "comm/mb_frame.h"

#include <benchmark/benchmark.h>
#include <modbus/modbus.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

constexpr int kUnit = 2; // the charge controller of the default scenario
constexpr int kCount = 100;

// The simulator, started once for the whole run and killed at exit.
struct SimulatorProcess {
    pid_t pid = -1;
    int port = 0;
    int out = -1;
    SimulatorProcess() {
        const char* path = VELTRA_BINARY_DIR "/tools/gateway-sim/gateway-sim";
        int pipe_fds[2];
        if (pipe2(pipe_fds, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
        // A fixed start time: the same simulated day at any hour.
        char* argv[] = {const_cast<char*>(path),
                        const_cast<char*>("--port"),
                        const_cast<char*>("0"),
                        const_cast<char*>("--start"),
                        const_cast<char*>("2026-06-15T08:30"),
                        nullptr};
        if (posix_spawn(&pid, path, &actions, nullptr, argv, environ) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(pipe_fds[1]);
        out = pipe_fds[0];
        std::string line;
        while (pid > 0 && line.find('\n') == std::string::npos) {
            pollfd wait{out, POLLIN, 0};
            char c;
            if (poll(&wait, 1, 10000) <= 0 || read(out, &c, 1) != 1) break;
            line += c;
        }
        const size_t colon = line.rfind(':');
        if (colon != std::string::npos) port = std::atoi(line.c_str() + colon + 1);
    }
    ~SimulatorProcess() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        if (out >= 0) close(out);
    }
};

SimulatorProcess& Simulator() {
    static SimulatorProcess simulator;
    return simulator;
}

void Quiet(const char*, int) {}

void BM_LibmodbusRead100(benchmark::State& state) {
    modbus_t* ctx = modbus_new_tcp("127.0.0.1", Simulator().port);
    if (ctx == nullptr || modbus_connect(ctx) != 0) {
        state.SkipWithError("libmodbus cannot connect");
        if (ctx != nullptr) modbus_free(ctx);
        return;
    }
    modbus_set_slave(ctx, kUnit);
    uint16_t registers[kCount];
    for (auto _ : state) {
        if (modbus_read_registers(ctx, 0, kCount, registers) != kCount) {
            state.SkipWithError("libmodbus read failed");
            break;
        }
        benchmark::DoNotOptimize(registers[0]);
    }
    modbus_close(ctx);
    modbus_free(ctx);
}

// Our client's request, exchange, checks and copy, on the calling thread.
void BM_OurClientRead100(benchmark::State& state) {
    DBG_SetSink(Quiet);
    const std::string port = std::to_string(Simulator().port);
    if (Gateway_Open("127.0.0.1", port.c_str()) != 0) {
        state.SkipWithError("cannot connect");
        return;
    }
    MB_MasterContext* context = &g_mb_context;
    uint16_t registers[kCount];
    for (auto _ : state) {
        MB_BuildReadRequest(kUnit, 0, kCount, context);
        GatewayMessage message{};
        QUEUE_Receive(&g_connection_queue, &message);
        context->exchange_pending.store(false);
        if (Gateway_Exchange() != 0 || MB_StoreRegisters(context, registers, kCount) != 0) {
            state.SkipWithError("read failed");
            break;
        }
        MB_ClearResponse(context);
        benchmark::DoNotOptimize(registers[0]);
    }
    char buffer[512];
    Gateway_Close(buffer, sizeof buffer);
}

// The connection task runs from the first use to the end of the run (a stop is for good).
std::thread g_connection;

void StartConnectionTask() {
    if (g_connection.joinable()) return;
    g_connection = std::thread(GatewayTask);
    GatewayMessage connect{};
    connect.command = GW_CMD_CONNECT;
    std::snprintf(connect.host, sizeof connect.host, "127.0.0.1");
    std::snprintf(connect.service, sizeof connect.service, "%d", Simulator().port);
    QUEUE_Send(&g_connection_queue, &connect);
    StatusMessage status{};
    for (int waited = 0; waited < 10000 && QUEUE_Receive(&g_gui_queue, &status) != 0; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// The same read handed from the master task's side to the running connection task, whose
// answer the master task notices with its 10 ms look-again wait.
void BM_OurTasksRead100(benchmark::State& state) {
    DBG_SetSink(Quiet);
    StartConnectionTask();
    MB_MasterContext* context = &g_mb_context;
    uint16_t registers[kCount];
    for (auto _ : state) {
        MB_BuildReadRequest(kUnit, 0, kCount, context);
        Master_WaitResponse();
        if (MB_StoreRegisters(context, registers, kCount) != 0) {
            state.SkipWithError("read failed");
            break;
        }
        MB_ClearResponse(context);
    }
}

} // namespace

BENCHMARK(BM_LibmodbusRead100)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OurClientRead100)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OurTasksRead100)->Unit(benchmark::kMicrosecond)->Iterations(50);

int main(int argc, char** argv) {
    // The client benchmarks share the one queue set with the connection task.
    QUEUE_Init();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    APP_RequestStop();
    if (g_connection.joinable()) g_connection.join();
    return 0;
}
