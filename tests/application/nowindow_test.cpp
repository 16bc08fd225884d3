// The program without a window, against the simulated gateway with a fast clock: it needs no
// display, connects to the given address by itself, searches and logs, connects again by itself
// after the gateway restarted, and ends with exit code 0 on SIGTERM.
#include "tests/util/scratch.h"
#include "tests/util/simulator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

pid_t StartProgram(const std::string& folder, int port) {
    const std::string gateway = "127.0.0.1:" + std::to_string(port);
    const std::string data = folder + "/data";
    const std::string output = folder + "/output.txt";
    const pid_t pid = fork();
    if (pid == 0) {
        unsetenv("DISPLAY");
        unsetenv("VELTRA_HOST");
        setenv("VELTRA_NO_MESSAGE_BOX", "1", 1);
        if (chdir(folder.c_str()) != 0) _exit(126);
        const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(out, 2);
        const std::string program = std::string(VELTRA_BINARY_DIR) + "/application/veltra-desktop";
        execl(program.c_str(), "veltra-desktop", "--no-window", "--gateway", gateway.c_str(),
              "--data-dir", data.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

// Data lines (after the two header lines) of the log file; 0 when there is none.
int DataLines(const std::string& path) {
    const std::string text = ReadBytes(path);
    int lines = 0;
    for (char c : text)
        lines += c == '\n';
    return lines > 2 ? lines - 2 : 0;
}

template <typename Condition> bool WaitFor(Condition condition, std::chrono::seconds limit) {
    const auto end = Clock::now() + limit;
    while (Clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

int WaitExit(pid_t pid, std::chrono::seconds limit) {
    const auto end = Clock::now() + limit;
    while (Clock::now() < end) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
}

} // namespace

TEST(NoWindow, LogsReconnectsByItselfAndEndsCleanlyOnSigterm) {
    ScratchFolder folder("veltra-nowindow");
    auto simulator = std::make_unique<Simulator>(std::vector<std::string>{"--clock-speed", "60"});
    const int port = simulator->port();
    ASSERT_GT(port, 0);
    const pid_t pid = StartProgram(folder.Path(), port);
    ASSERT_GT(pid, 0);
    const std::string first_log = folder.Path() + "/data/log1.csv";
    // The search takes some seconds; then a line every polling cycle (a new minute each time).
    EXPECT_TRUE(WaitFor([&] { return DataLines(first_log) >= 2; }, std::chrono::seconds(60)))
        << ReadBytes(folder.File("output.txt"));

    // The gateway goes away and comes back on its port: the program gets back to its pages and
    // begins the next log file, without any input.
    simulator.reset();
    simulator = std::make_unique<Simulator>(
        std::vector<std::string>{"--port", std::to_string(port), "--clock-speed", "60"});
    const auto restarted = Clock::now();
    // The pages are built again when the next log file is begun.
    const std::string second_log = folder.Path() + "/data/log2.csv";
    EXPECT_TRUE(WaitFor([&] { return Exists(second_log); }, std::chrono::seconds(30)))
        << ReadBytes(folder.File("output.txt"));
    const auto back =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - restarted);
    EXPECT_LE(back.count(), 15000) << "back on the pages later than 15 s after the restart";
    EXPECT_TRUE(WaitFor([&] { return DataLines(second_log) >= 1; }, std::chrono::seconds(30)));

    kill(pid, SIGTERM);
    const int code = WaitExit(pid, std::chrono::seconds(10));
    if (code == -1) kill(pid, SIGKILL);
    EXPECT_EQ(code, 0);
}
