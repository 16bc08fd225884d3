#include "tests/util/simulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {
const char* kSimulator = VELTRA_BINARY_DIR "/tools/gateway-sim/gateway-sim";
}

Simulator::Simulator(std::vector<std::string> options) {
    const bool own_start = std::any_of(options.begin(), options.end(), [](const std::string& o) {
        return o == "--start" || o.rfind("--start=", 0) == 0;
    });
    if (!own_start) {
        options.insert(options.begin(), {"--start", kSimulatorStart});
    }
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "no pipe for the simulator";
        return;
    }
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        // The simulator goes with the test process, also when that is killed.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(1);
        dup2(out[1], STDOUT_FILENO);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(kSimulator));
        argv.push_back(const_cast<char*>("--port"));
        argv.push_back(const_cast<char*>("0"));
        for (std::string& option : options)
            argv.push_back(option.data());
        argv.push_back(nullptr);
        execv(kSimulator, argv.data());
        _exit(127);
    }
    close(out[1]);
    out_ = out[0];
    if (pid_ < 0) {
        ADD_FAILURE() << "cannot start " << kSimulator;
        return;
    }
    // The ready line; the bound only keeps a broken build from hanging the test.
    std::string line;
    while (line.find('\n') == std::string::npos) {
        pollfd wait{out_, POLLIN, 0};
        if (poll(&wait, 1, 10000) <= 0) break;
        char c;
        if (read(out_, &c, 1) != 1) break;
        line += c;
    }
    ready_line_ = line;
    const size_t colon = line.rfind(':');
    if (line.rfind("listening on ", 0) == 0 && colon != std::string::npos)
        port_ = std::atoi(line.c_str() + colon + 1);
    EXPECT_GT(port_, 0) << "simulator said: " << line;
}

Simulator::~Simulator() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
}

int Simulator::WaitExit(int limit_ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
    while (std::chrono::steady_clock::now() < until) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return status;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return -1;
}
