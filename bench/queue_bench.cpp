// Cost of one send and receive through the shared queue lock, against a plain copy of the
// same record (the reference in the same run).
#include "base/queue.h"

#include <benchmark/benchmark.h>

#include <cstring>

static void BM_PlainCopy(benchmark::State& state) {
    MasterMessage source{MB_CMD_READ, 6, 0, 100, 0, nullptr, 0};
    MasterMessage target{};
    for (auto _ : state) {
        std::memcpy(&target, &source, sizeof target);
        benchmark::DoNotOptimize(target);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_PlainCopy);

static void BM_SendReceive(benchmark::State& state) {
    QUEUE_Init();
    MasterMessage message{MB_CMD_READ, 6, 0, 100, 0, nullptr, 0};
    for (auto _ : state) {
        QUEUE_Send(&g_master_queue, &message);
        QUEUE_Receive(&g_master_queue, &message);
        benchmark::DoNotOptimize(message);
    }
}
BENCHMARK(BM_SendReceive);

BENCHMARK_MAIN();
