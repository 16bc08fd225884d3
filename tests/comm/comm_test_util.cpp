#include "tests/comm/comm_test_util.h"

#include "application/src/queue.h"
#include "application/src/tools/dbg.h"
#include "application/src/tools/lifecycle.h"
#include "comm/gateway.h"
#include "comm/master.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

const char* kSimulator = VELTRA_BINARY_DIR "/tools/gateway-sim/gateway-sim";

std::mutex g_capture_lock;
std::string g_captured;

void CaptureSink(const char* text, int length) {
    std::lock_guard<std::mutex> guard(g_capture_lock);
    g_captured.append(text, static_cast<size_t>(length));
}

} // namespace

Simulator::Simulator(const std::vector<std::string>& options) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    std::vector<std::string> args = {kSimulator, "--port", "0"};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const int spawned = posix_spawn(&pid_, kSimulator, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    out_ = out[0];
    if (spawned != 0) {
        pid_ = -1;
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

DiagnosticCapture::DiagnosticCapture() {
    {
        std::lock_guard<std::mutex> guard(g_capture_lock);
        g_captured.clear();
    }
    DBG_SetSink(CaptureSink);
}

DiagnosticCapture::~DiagnosticCapture() {
    DBG_SetSink(nullptr);
}

std::string DiagnosticCapture::Text() const {
    std::lock_guard<std::mutex> guard(g_capture_lock);
    return g_captured;
}

int DiagnosticCapture::Count(const std::string& piece) const {
    const std::string text = Text();
    int count = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
        ++count;
    return count;
}

ScratchFolder::ScratchFolder() {
    char pattern[] = "/tmp/veltra-comm-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made != nullptr) path_ = made;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::vector<int32_t> TakeStatuses(int count, int limit_ms) {
    std::vector<int32_t> statuses;
    WaitFor(
        [&] {
            StatusMessage message{};
            while (QUEUE_Receive(&g_gui_queue, &message) == 0)
                statuses.push_back(message.status);
            return static_cast<int>(statuses.size()) >= count;
        },
        limit_ms);
    return statuses;
}

std::vector<int32_t> DrainStatuses() {
    std::vector<int32_t> statuses;
    StatusMessage message{};
    while (QUEUE_Receive(&g_gui_queue, &message) == 0)
        statuses.push_back(message.status);
    return statuses;
}

void PostConnect(const std::string& port, const char* host) {
    GatewayMessage message{};
    message.origin = 1;
    message.command = GW_CMD_CONNECT;
    std::snprintf(message.host, sizeof message.host, "%s", host);
    std::snprintf(message.service, sizeof message.service, "%s", port.c_str());
    ASSERT_EQ(QUEUE_Send(&g_connection_queue, &message), 0);
}

void PostClose() {
    GatewayMessage message{};
    message.command = GW_CMD_CLOSE;
    ASSERT_EQ(QUEUE_Send(&g_connection_queue, &message), 0);
}

Tasks::Tasks(bool with_master) {
    EXPECT_EQ(QUEUE_Init(), 0);
    connection_ = std::thread(GatewayTask);
    if (with_master) master_ = std::thread(MasterTask);
}

Tasks::~Tasks() {
    Stop();
}

void Tasks::Stop() {
    APP_RequestStop();
    if (connection_.joinable()) connection_.join();
    if (master_.joinable()) master_.join();
}

std::string WriteScenario(const ScratchFolder& folder, const char* name, const char* text) {
    const std::string path = folder.path() + "/" + name;
    std::ofstream(path) << text;
    return path;
}
