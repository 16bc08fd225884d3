// The real program: started with an empty data root, it creates its data folder, runs its
// tasks and ends with exit code 0 on SIGTERM, saying which signal from which process ended it.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

pid_t StartProgram(const fs::path& appdata) {
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("APPDATA", appdata.c_str(), 1);
        setenv("VELTRA_HOST", "headless", 1);
        setenv("VELTRA_NO_MESSAGE_BOX", "1", 1);
        if (chdir(VELTRA_SOURCE_DIR) != 0) _exit(126);
        if (!std::freopen((appdata / "output.txt").c_str(), "w", stderr)) _exit(125);
        const std::string program = std::string(VELTRA_BINARY_DIR) + "/application/veltra-desktop";
        execl(program.c_str(), "veltra-desktop", static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

// Waits up to the limit for the child; -1 when it is still running.
int WaitExit(pid_t pid, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
}

class Process : public ::testing::TestWithParam<int> {};

TEST_P(Process, CreatesDataFolderAndEndsCleanlyOnSignal) {
    const fs::path appdata =
        fs::temp_directory_path() /
        ("veltra-process-" + std::to_string(getpid()) + "-" + std::to_string(GetParam()));
    fs::remove_all(appdata);
    fs::create_directories(appdata);

    const pid_t pid = StartProgram(appdata);
    ASSERT_GT(pid, 0);
    const auto folder = appdata / "Ovalo";
    for (int i = 0; i < 250 && !fs::is_directory(folder); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(fs::is_directory(folder));
    // Still running: the tasks loop until asked to end.
    EXPECT_EQ(WaitExit(pid, std::chrono::milliseconds(300)), -1);

    kill(pid, GetParam());
    const int code = WaitExit(pid, std::chrono::seconds(10));
    if (code == -1) kill(pid, SIGKILL);
    EXPECT_EQ(code, 0);
    std::ifstream in(appdata / "output.txt");
    const std::string output((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
    EXPECT_NE(output.find("ending on signal " + std::to_string(GetParam()) + " from process " +
                          std::to_string(getpid()) + "\n"),
              std::string::npos)
        << output;
    fs::remove_all(appdata);
}

INSTANTIATE_TEST_SUITE_P(Signals, Process, ::testing::Values(SIGTERM, SIGINT));

} // namespace
