// The history page's largest load: 32 days of minutes (46,144 lines) of a 70-column log, two
// columns of every line read through the log readers and converted as the page converts them.
// The reference, in the same run and on the same file: cut -d';' -f2,3 with its output thrown
// away.
#include "log/log.h"

#include "base/datafolder.h"
#include "config/settings.h"
#include "devices/device_list.h"

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

constexpr int32_t kLines = 64 * 721; // 46,144

std::string g_folder;

// Display group (24 columns), three charge controllers (24), two BrantV2 (14) and two meters
// (8): 70 columns after the time stamp.
void BuildDeviceList() {
    DEV_Clear();
    DEV_BeginSearch();
    DEV_CreateDisplayGroup(1);
    for (int32_t unit = 2; unit <= 4; ++unit)
        DEV_AppendDevice(unit, DeviceTypeTable[DEV_TYPE_RV100_30]);
    for (int32_t unit = 5; unit <= 6; ++unit)
        DEV_AppendDevice(unit, DeviceTypeTable[DEV_TYPE_BRANT_V2]);
    for (int32_t unit = 7; unit <= 8; ++unit)
        DEV_AppendDevice(unit, DeviceTypeTable[DEV_TYPE_CORVO_500]);
}

// Changing values of realistic width in every register a column reads.
void MoveRegisters(int32_t minute) {
    const int32_t count = g_device_list.device_count.load();
    for (int32_t i = 0; i < count; ++i) {
        const DeviceEntry& entry = g_device_list.entries[i];
        const LogLayout* layout = entry.type.load()->log_columns;
        RegisterCell* window = entry.registers.load();
        for (int32_t c = 0; c < layout->column_count; ++c) {
            const LogColumn& column = layout->columns[c];
            const uint32_t value =
                static_cast<uint32_t>(12000 + (minute * 37 + i * 101 + c) % 9000);
            if (column.second_register >= 0)
                Reg_Set32(window, column.reg, value * 3);
            else
                Reg_Set(window, column.reg, static_cast<uint16_t>(value));
        }
    }
    RegisterCell* map = g_register_store.data();
    Reg_Set(map, 144, static_cast<uint16_t>(((minute / 60) % 24) | (minute % 60) << 8));
    Reg_Set(map, 155, static_cast<uint16_t>((1 + (minute / 1440) % 28) | 25 << 8));
}

bool WriteLog() {
    std::string pattern = "/tmp/veltra-log-bench-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) return false;
    g_folder = pattern;
    ::setenv("APPDATA", g_folder.c_str(), 1);
    DATA_CreateFolder();
    CONFIG_Init();
    BuildDeviceList();
    if (LOG_Init() != 0) return false;
    for (int32_t minute = 0; minute < kLines; ++minute) {
        MoveRegisters(minute);
        if (LOG_Put() != 0) return false;
    }
    return true;
}

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
    if (!WriteLog()) {
        std::fprintf(stderr, "cannot write the log in %s\n", g_folder.c_str());
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
