// The history page's largest load: 32 days of minutes (46,144 lines) of a 70-column log, two
// columns of every line read through the log readers and converted as the page converts them.
// The reference, in the same run and on the same file: cut -d';' -f2,3 with its output thrown
// away.
#include "log/log.h"

#include "base/datafolder.h"
#include "config/settings.h"
#include "devices/device_list.h"

#include "bench/bench_log_util.h"
#include "bench/bench_util.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using benchlog::kLines;

std::string g_folder;

void BM_HistoryLoad(benchmark::State& state) {
    char first[32];
    char second[32];
    for (auto _ : state) {
        if (LOG_OpenRead() != 0 || LOG_SeekLinesFromEnd(kLines) != 0) {
            state.SkipWithError("log not readable");
            return;
        }
        int32_t points = 0;
        int64_t sum = 0;
        // Column 1 is a float column, column 2 an integer one, as the page converts them.
        while (LOG_GetField(1, first, sizeof first) == 0 &&
               LOG_GetField(2, second, sizeof second) == 0) {
            sum += static_cast<int32_t>(std::strtof(first, nullptr) * 1000.0f);
            sum += std::strtol(second, nullptr, 10);
            ++points;
        }
        LOG_CloseRead();
        if (points != kLines) state.SkipWithError("wrong number of lines read");
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_HistoryLoad)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CutReference(benchmark::State& state) {
    const std::string path = LOG_Path();
    for (auto _ : state) {
        if (!benchutil::RunCut(path, "2,3")) {
            state.SkipWithError("cut failed");
            return;
        }
    }
}
BENCHMARK(BM_CutReference)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    g_folder = benchlog::WriteLog("log-bench");
    if (g_folder.empty()) {
        std::fprintf(stderr, "cannot write the log in a temporary folder\n");
        return 1;
    }
    std::error_code ignored;
    std::printf("log: %d lines, %d columns, %ju bytes\n", kLines + 2, 70,
                static_cast<uintmax_t>(std::filesystem::file_size(LOG_Path(), ignored)));
    benchutil::Reporter reporter(/*real_ms=*/true);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const auto load = reporter.times.find("BM_HistoryLoad/real_time");
    const auto cut = reporter.times.find("BM_CutReference/real_time");
    if (load != reporter.times.end() && cut != reporter.times.end())
        std::printf("history load %.1f ms, cut -d';' -f2,3 %.1f ms: %.2f x the time of cut\n",
                    load->second, cut->second, load->second / cut->second);
    std::filesystem::remove_all(g_folder, ignored);
    return 0;
}
