// The program without a window, against the simulated gateway with a fast clock: it needs no
// display, connects to the given address by itself, searches and logs, connects again by itself
// after the gateway restarted, and ends with exit code 0 on SIGTERM. With --web it serves the
// pages it draws without a window.
#include "tests/util/logger.h"
#include "tests/util/scratch.h"
#include "tests/util/simulator.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <png.h>

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
    const pid_t pid = StartLogger(folder.Path(), port);
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

TEST(NoWindow, ServesThePagesToABrowser) {
    ScratchFolder folder("veltra-nowindow-web");
    Simulator simulator(std::vector<std::string>{"--clock-speed", "60"});
    ASSERT_GT(simulator.port(), 0);
    const pid_t pid = StartLogger(folder.Path(), simulator.port(), {"--web", "0"});
    ASSERT_GT(pid, 0);
    // "Browser view (view only): http://127.0.0.1:PORT/?token=32 hex digits", read by hand: GCC
    // warns about <regex>'s insides in the sanitizer build.
    std::string port, token;
    const auto printed = [&](const std::string& text) {
        const std::string head = "Browser view (view only): http://127.0.0.1:";
        const size_t at = text.find(head);
        if (at == std::string::npos) return false;
        const size_t digits = at + head.size();
        const size_t end = text.find("/?token=", digits);
        if (end == std::string::npos || end == digits || end - digits > 5) return false;
        for (size_t i = digits; i < end; ++i)
            if (text[i] < '0' || text[i] > '9') return false;
        const std::string hex = text.substr(end + 8, 32);
        if (hex.size() != 32 || hex.find_first_not_of("0123456789abcdef") != std::string::npos)
            return false;
        port = text.substr(digits, end - digits);
        token = hex;
        return true;
    };
    std::string output;
    EXPECT_TRUE(WaitFor(
        [&] {
            output = ReadBytes(folder.File("output.txt"));
            return printed(output);
        },
        std::chrono::seconds(20)))
        << output;
    const std::string log = folder.Path() + "/data/log1.csv";
    EXPECT_TRUE(WaitFor([&] { return DataLines(log) >= 1; }, std::chrono::seconds(60)));

    if (!port.empty()) {
        // The first record of the stream is the whole display: the pages with their tabs.
        httplib::Client client("127.0.0.1", std::stoi(port));
        client.set_read_timeout(20, 0);
        std::string stream;
        client.Get("/stream", {{"Authorization", "Bearer " + token}},
                   [&](const char* data, size_t size) {
                       stream.append(data, size);
                       return stream.size() < 6 ||
                              stream.size() <
                                  4 + (size_t{uint8_t(stream[0])} << 24 |
                                       size_t{uint8_t(stream[1])} << 16 |
                                       size_t{uint8_t(stream[2])} << 8 | uint8_t(stream[3]));
                   });
        ASSERT_GT(stream.size(), 6u);
        EXPECT_EQ(stream[4], 0); // row 0
        EXPECT_EQ(stream[5], 0);
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        ASSERT_TRUE(png_image_begin_read_from_memory(&image, stream.data() + 6, stream.size() - 6));
        image.format = PNG_FORMAT_RGB;
        std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
        ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
        ASSERT_EQ(image.width, 800u);
        ASSERT_EQ(image.height, 480u);
        const size_t tab = (65 * 800 + 600) * 3; // a tab that is not selected: dark green
        EXPECT_EQ(rgb[tab], 0x00);
        EXPECT_EQ(rgb[tab + 1], 0x66);
        EXPECT_EQ(rgb[tab + 2], 0x00);
    }
    kill(pid, SIGTERM);
    const int code = WaitExit(pid, std::chrono::seconds(10));
    if (code == -1) kill(pid, SIGKILL);
    EXPECT_EQ(code, 0);
}
