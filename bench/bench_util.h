// Helpers shared by the benchmarks: a reporter that remembers each run's time, the table of
// ours against the reference measured in the same run, and `cut` as the reference of a log read.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <initializer_list>
#include <map>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace benchutil {

// Keeps the console output and remembers each run's time per iteration: CPU time in ns (what
// other processes on a shared machine disturb least), or with `real_ms` the wall time in the
// benchmark's own unit, for references that run in a child process.
class Reporter : public benchmark::ConsoleReporter {
  public:
    explicit Reporter(bool real_ms = false) : real_ms_(real_ms) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            times[run.benchmark_name()] =
                real_ms_ ? run.GetAdjustedRealTime()
                         : run.GetAdjustedCPUTime() /
                               benchmark::GetTimeUnitMultiplier(run.time_unit) * 1e9;
        }
    }
    std::map<std::string, double> times;

  private:
    bool real_ms_;
};

// One row per name measured both as BM_Ours_<name> and BM_Cairo_<name>: microseconds of each
// and their ratio; `after_row` is called with the name and our time (ns) after each row.
inline void PrintRatioTable(const Reporter& reporter, const char* what,
                            std::initializer_list<const char*> names,
                            const std::function<void(const char*, double)>& after_row = {}) {
    std::printf("\n%-12s %12s %12s %8s\n", what, "ours (us)", "cairo (us)", "ratio");
    for (const char* name : names) {
        const auto ours = reporter.times.find(std::string("BM_Ours_") + name);
        const auto cairo = reporter.times.find(std::string("BM_Cairo_") + name);
        if (ours == reporter.times.end() || cairo == reporter.times.end()) continue;
        std::printf("%-12s %12.1f %12.1f %8.2f\n", name, ours->second / 1000, cairo->second / 1000,
                    ours->second / cairo->second);
        if (after_row) after_row(name, ours->second);
    }
}

// Runs `cut -d; -f<fields> <path>` with its output thrown away; false when it did not run
// or failed.
inline bool RunCut(const std::string& path, const char* fields) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    std::string field_option = std::string("-f") + fields;
    char* const argv[] = {const_cast<char*>("cut"), const_cast<char*>("-d;"), field_option.data(),
                          const_cast<char*>(path.c_str()), nullptr};
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, "cut", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    return spawned == 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

} // namespace benchutil
