#include "tests/comm/comm_test_util.h"

#include "base/queue.h"
#include "base/dbg.h"
#include "base/lifecycle.h"
#include "comm/gateway.h"
#include "comm/master.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::mutex g_capture_lock;
std::string g_captured;

void CaptureSink(const char* text, int length) {
    std::lock_guard<std::mutex> guard(g_capture_lock);
    g_captured.append(text, static_cast<size_t>(length));
}

} // namespace

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
    if (!connection_.joinable() && !master_.joinable()) return;
    APP_RequestStop();
    if (connection_.joinable()) connection_.join();
    if (master_.joinable()) master_.join();
    // The next case starts its own tasks, with the default timeouts.
    APP_ResetStop();
    Gateway_SetTimeoutsForTests(10000, 10000);
}

std::string WriteScenario(const ScratchFolder& folder, const char* name, const char* text) {
    const std::string path = folder.Path() + "/" + name;
    std::ofstream(path) << text;
    return path;
}
