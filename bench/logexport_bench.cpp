// 32 days of a 70-column log over 40 files (one per connection, 10 minutes without a line
// between them), read two ways:
// - the Graph tab's "32 Days" load, whose current file is the 40th and which walks back through
//   the other 39 (budget 150 ms and at most 0.5 x cut -d';' -f2,3 over the same files);
// - veltra-log export of four columns over the whole span to CSV, the real program run as the
//   user runs it (budget 1 s and at most 1.5 x cut -d';' -f1,... of the same columns). Its peak
//   resident memory is printed for 4 and for 32 days: streaming keeps it flat.
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
#include "log/log_scan.h"

#include "bench/bench_log_util.h"
#include "bench/bench_gui_program.h"
#include "bench/bench_util.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr int kFiles = 40;
constexpr int kGapMinutes = 10;
constexpr double kLoadBudgetMs = 150.0;
constexpr double kExportBudgetMs = 1000.0;

std::string g_folder;
std::vector<std::string> g_paths;
std::string g_from;
std::string g_to;
std::string g_columns;
std::string g_cut_fields;
int32_t g_points = 0;
long g_rss_kib[2] = {0, 0};

void Quiet(const char*, int) {}

// The display unit's clock registers at a time (seconds since 2000).
void SetClock(int64_t seconds) {
    char text[24];
    LOGSCAN_FormatTime(seconds, text, sizeof text); // "YYYY-MM-DD HH:MM:SS"
    const auto two = [&](int at) { return (text[at] - '0') * 10 + (text[at + 1] - '0'); };
    RegisterCell* map = g_register_store.data();
    Reg_Set(map, 144, static_cast<uint16_t>(two(11) | two(14) << 8));
    Reg_Set(map, 145, static_cast<uint16_t>(two(17)));
    Reg_Set(map, 154, static_cast<uint16_t>(two(5) << 8));
    Reg_Set(map, 155, static_cast<uint16_t>(two(8) | two(2) << 8));
}

bool WriteFiles() {
    std::string pattern = "/tmp/veltra-logexport-bench-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) return false;
    g_folder = pattern;
    ::setenv("APPDATA", pattern.c_str(), 1);
    DATA_CreateFolder();
    CONFIG_Init();
    benchlog::BuildDeviceList();
    const int per_file = benchlog::kLines / kFiles + 1;
    const int64_t start = LOGSCAN_Seconds(2026, 11, 7, 0, 0, 0);
    int64_t minute = 0;
    for (int f = 0; f < kFiles; ++f) {
        if (LOG_Init() != 0) return false;
        g_paths.push_back(LOG_Path());
        for (int i = 0; i < per_file; ++i, ++minute) {
            benchlog::MoveRegisters(static_cast<int32_t>(minute));
            SetClock(start + minute * 60);
            if (LOG_Put() != 0) return false;
        }
        minute += kGapMinutes;
    }
    char text[24];
    LOGSCAN_FormatTime(start + (minute - kGapMinutes - 1) * 60, text, sizeof text);
    g_to = text;
    LOGSCAN_FormatTime(start + (minute - kGapMinutes - 1) * 60 - (64 * 721 - 1) * 60, text,
                       sizeof text);
    g_from = text;
    return true;
}

// Runs a program with its output thrown away; its peak resident memory in KiB into *rss.
bool Spawn(const std::vector<std::string>& args, long* rss = nullptr) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    struct rusage usage {};
    const bool ok = spawned == 0 && ::wait4(child, &status, 0, &usage) == child &&
                    WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (rss != nullptr) *rss = usage.ru_maxrss;
    return ok;
}

std::vector<std::string> Cut(const std::string& fields) {
    std::vector<std::string> args = {"cut", "-d;", "-f" + fields};
    args.insert(args.end(), g_paths.begin(), g_paths.end());
    return args;
}

std::vector<std::string> Export(const std::string& from) {
    const std::string folder = std::filesystem::path(g_paths[0]).parent_path().string();
    return {VELTRA_LOG_TOOL, "--data-dir", folder, "export", "--from", from, "--to", g_to,
            "--columns", g_columns, "--csv", "-"};
}

void BM_HistoryLoadFiles(benchmark::State& state) {
    for (auto _ : state) {
        if (HISTORY_Load() != 0) {
            state.SkipWithError("log not readable");
            return;
        }
    }
    g_points = GRAPH_SERIES_Count(HISTORY_Series(0));
}
BENCHMARK(BM_HistoryLoadFiles)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CutTwoColumns(benchmark::State& state) {
    for (auto _ : state)
        if (!Spawn(Cut("2,3"))) return state.SkipWithError("cut failed");
}
BENCHMARK(BM_CutTwoColumns)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ExportCsv(benchmark::State& state) {
    for (auto _ : state)
        if (!Spawn(Export(g_from), &g_rss_kib[1])) return state.SkipWithError("export failed");
    // The same over 4 days, for the memory.
    Spawn(Export(g_to.substr(0, 8) + "01 00:00:00"), &g_rss_kib[0]);
}
BENCHMARK(BM_ExportCsv)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CutExportColumns(benchmark::State& state) {
    for (auto _ : state)
        if (!Spawn(Cut(g_cut_fields))) return state.SkipWithError("cut failed");
}
BENCHMARK(BM_CutExportColumns)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (!WriteFiles()) {
        std::fprintf(stderr, "cannot write the logs in a temporary folder\n");
        return 1;
    }
    // Four columns spread over the line: the time, then fields 2, 20, 40 and 70.
    if (LOG_OpenRead() == 0) {
        for (int field : {1, 19, 39, 69}) {
            char name[128];
            if (LOG_GetLine(0, field, name, sizeof name) == 0)
                g_columns += (g_columns.empty() ? "" : ",") + std::string(name);
        }
        LOG_CloseRead();
    }
    g_cut_fields = "1,2,20,40,70";
    DBG_SetSink(Quiet);
    if (!bench_gui::BuildHistoryPage()) {
        std::fprintf(stderr, "cannot build the history page\n");
        return 1;
    }
    std::error_code ignored;
    uintmax_t bytes = 0;
    for (const std::string& p : g_paths)
        bytes += std::filesystem::file_size(p, ignored);
    std::printf("logs: %d files, %ju bytes, span %s to %s\n", kFiles, bytes, g_from.c_str(),
                g_to.c_str());
    benchutil::Reporter reporter(/*real_ms=*/true);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    int result = 0;
    const auto time = [&](const char* name) {
        const auto it = reporter.times.find(std::string(name) + "/real_time");
        return it == reporter.times.end() ? -1.0 : it->second;
    };
    const double load = time("BM_HistoryLoadFiles");
    const double cut2 = time("BM_CutTwoColumns");
    const double csv = time("BM_ExportCsv");
    const double cut5 = time("BM_CutExportColumns");
    if (load > 0 && cut2 > 0) {
        const bool ok = load <= kLoadBudgetMs && load <= 0.5 * cut2;
        std::printf("history load over %d files (%d points) %.1f ms, cut -f2,3 %.1f ms: %.2f x; "
                    "budget %.0f ms and 0.5 x: %s\n",
                    kFiles, g_points, load, cut2, load / cut2, kLoadBudgetMs,
                    ok ? "within" : "OVER");
        if (!ok) result = 1;
    }
    if (csv > 0 && cut5 > 0) {
        const bool ok = csv <= kExportBudgetMs && csv <= 1.5 * cut5;
        std::printf("veltra-log export, 32 days, 4 columns: %.1f ms, cut -f%s %.1f ms: %.2f x; "
                    "budget %.0f ms and 1.5 x: %s; peak memory 4 days %ld KiB, 32 days %ld KiB\n",
                    csv, g_cut_fields.c_str(), cut5, csv / cut5, kExportBudgetMs,
                    ok ? "within" : "OVER", g_rss_kib[0], g_rss_kib[1]);
        if (!ok) result = 1;
    }
    if (std::getenv("VELTRA_BENCH_KEEP") == nullptr) std::filesystem::remove_all(g_folder, ignored);
    return result;
}
