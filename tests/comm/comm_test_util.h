// Shared by the comm tests: the gateway simulator as a child process, captured diagnostics,
// the GUI queue's status messages and the running connection and master tasks.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include <sys/types.h>

#include "tests/util/scratch.h"
#include "tests/util/simulator.h"

// Collects everything written through DBG_Printf from construction on.
class DiagnosticCapture {
  public:
    DiagnosticCapture();
    ~DiagnosticCapture();
    std::string Text() const;
    int Count(const std::string& piece) const;
};

// Takes the GUI queue's status messages that arrive within `limit_ms`, stopping early once
// `count` arrived. The limit only guards against a broken build hanging the test.
std::vector<int32_t> TakeStatuses(int count, int limit_ms = 15000);
// Every status message now in the GUI queue.
std::vector<int32_t> DrainStatuses();

// Posts a connect command for 127.0.0.1 (or `host`) and the port text.
void PostConnect(const std::string& port, const char* host = "127.0.0.1");
void PostClose();

// The queues, the connection task and (optionally) the master task; the tasks are stopped
// and joined when the object goes, then the stop is withdrawn and the gateway's timeouts are
// the default again, so the next case starts its own tasks.
class Tasks {
  public:
    explicit Tasks(bool with_master);
    ~Tasks();
    void Stop();

  private:
    std::thread connection_;
    std::thread master_;
};

// Waits (bounded by limit_ms) until the condition holds; true when it did.
template <typename Condition> bool WaitFor(Condition condition, int limit_ms = 15000) {
    for (int waited = 0; waited < limit_ms; ++waited) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return condition();
}

// Writes a scenario file into the folder; returns its path.
std::string WriteScenario(const ScratchFolder& folder, const char* name, const char* text);
