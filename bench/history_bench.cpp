// The history page's largest load: "32 Days" over a log of 46,144 minutes (64 x 721 lines) of
// 70 columns, through HISTORY_Load on the headless display: read every line, keep every 64th
// point, round the ranges, replay 721 points into the curves and draw the page twice (status
// text shown, then hidden). Budget: 150 ms. The reference, in the same run and on the same
// file: cut -d';' -f2,3 with its output thrown away.
#include "pages/history.h"

#include "base/datafolder.h"
#include "base/dbg.h"
#include "config/settings.h"
#include "devices/device_list.h"
#include "devices/reg_access.h"
#include "gui/host/host.h"
#include "gui/toolkit/core/gui_alloc.h"
#include "gui/toolkit/core/gui_init.h"
#include "gui/toolkit/draw/gui_draw.h"
#include "gui/toolkit/gui_font.h"
#include "gui/toolkit/widgets/dropdown.h"
#include "log/log.h"

#include "bench/bench_log_util.h"
#include "bench/bench_gui_program.h"
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
constexpr double kBudgetMs = 150.0;

std::string g_folder;
int32_t g_points = 0;

void Quiet(const char*, int) {}

void BM_HistoryLoad(benchmark::State& state) {
    for (auto _ : state) {
        if (HISTORY_Load() != 0) {
            state.SkipWithError("log not readable");
            return;
        }
    }
    g_points = GRAPH_SERIES_Count(HISTORY_Series(0));
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
    g_folder = benchlog::WriteLog("history-bench");
    if (g_folder.empty()) {
        std::fprintf(stderr, "cannot write the log in a temporary folder\n");
        return 1;
    }
    DBG_SetSink(Quiet); // the page's diagnostics on every load
    if (!bench_gui::BuildHistoryPage()) {
        std::fprintf(stderr, "cannot build the history page\n");
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
    int result = 0;
    if (load != reporter.times.end() && cut != reporter.times.end()) {
        std::printf("history load (32 days, %d points) %.1f ms, cut -d';' -f2,3 %.1f ms: "
                    "%.2f x the time of cut; budget %.0f ms: %s\n",
                    g_points, load->second, cut->second, load->second / cut->second, kBudgetMs,
                    load->second <= kBudgetMs ? "within" : "OVER");
        if (load->second > kBudgetMs) result = 1;
    }
    std::filesystem::remove_all(g_folder, ignored);
    return result;
}
