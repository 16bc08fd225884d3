// The gateway simulator as a child process for tests: started with --port 0, the fixed start
// time below and the given options, ready once it printed its "listening on ADDR:PORT" line,
// killed when the object goes.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// The moment every test's simulated clock starts at, unless the test gives its own --start: the
// sun, the loads and the battery then follow the same course whatever the host's time of day.
// Morning, so that solar charging moves the values while a test runs; not on a full hour, as
// the program takes the clock's minute 0 for a clock not read yet and logs nothing in it.
inline constexpr const char* kSimulatorStart = "2026-06-15T08:30";

class Simulator {
  public:
    // Fails the current test (non-fatally) when no ready line with a port arrives.
    explicit Simulator(std::vector<std::string> options);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    int port() const { return port_; }
    std::string port_text() const { return std::to_string(port_); }
    pid_t pid() const { return pid_; }
    const std::string& ready_line() const { return ready_line_; }
    // Waits (bounded) for the process to end; its wait status, or -1 when it did not end.
    int WaitExit(int limit_ms);

  private:
    pid_t pid_ = -1;
    int out_ = -1;
    int port_ = 0;
    std::string ready_line_;
};
