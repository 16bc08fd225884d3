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

// The program's toolkit configuration: the 160 KiB heap and the 800 x 480 display.
void GUI_ConfigureMemory() {
    alignas(8) static uint8_t arena[0x28000];
    GUI_ALLOC_SetArena(arena, sizeof arena);
    GUI_SetDefaultFont(&FONT_16);
}

void GUI_ConfigureDisplay() {
    GUI_SetDisplayConfig(HOST_XSIZE, HOST_YSIZE, HOST_BUFFER_COUNT);
}

namespace {

constexpr int32_t kLines = 64 * 721; // 46,144
constexpr double kBudgetMs = 150.0;

std::string g_folder;
int32_t g_points = 0;

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
}

bool WriteLog() {
    std::string pattern = "/tmp/veltra-history-bench-XXXXXX";
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

void Quiet(const char*, int) {}

void PageProc(WM_MSG_RECORD* msg) {
    if (msg->msg_id == WM_MSG_PAINT) {
        GUI_SetBackColor(0x000000);
        GUI_ClearWindow();
        return;
    }
    WM_FallbackProc(msg);
}

// The "Graph" page with the first two columns (a float and an integer one) over 32 days.
bool BuildPage() {
    GUI_InitToolkit();
    WM_EnableBufferedUpdate(1);
    const WM_HANDLE page = WM_CreateWindowAsChild(2, 60, 796, 420, 0, WM_CF_VISIBLE, PageProc, 0);
    if (HISTORY_Build(page) != 0) return false;
    DROPDOWN_Select(WM_FindChildById(page, HISTORY_ID_RANGE), HISTORY_RANGE_COUNT - 1);
    GUI_ExecAll();
    return true;
}

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
    if (!WriteLog()) {
        std::fprintf(stderr, "cannot write the log in %s\n", g_folder.c_str());
        return 1;
    }
    DBG_SetSink(Quiet); // the page's diagnostics on every load
    if (!BuildPage()) {
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
