// The gateway simulator from the outside: the running executable, talked to by libmodbus's
// client (a Modbus implementation we did not write), by mbpoll and by raw sockets where the
// bytes on the wire are the point.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <modbus/modbus.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <memory>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "tests/util/simulator.h"
#include "tools/gateway-sim/sim_scenario.h"

namespace {

const char* kSimulator = VELTRA_BINARY_DIR "/tools/gateway-sim/gateway-sim";

// A libmodbus client connected to a simulator.
struct Client {
    modbus_t* ctx = nullptr;
    explicit Client(int port, int timeout_ms = 3000) {
        ctx = modbus_new_tcp("127.0.0.1", port);
        modbus_set_response_timeout(ctx, static_cast<uint32_t>(timeout_ms / 1000),
                                    static_cast<uint32_t>(timeout_ms % 1000) * 1000);
        EXPECT_EQ(modbus_connect(ctx), 0) << modbus_strerror(errno);
    }
    ~Client() {
        modbus_close(ctx);
        modbus_free(ctx);
    }
    // Reads count registers of a unit; -1 on failure with the errno kept in `error`.
    int Read(int unit, int address, int count, uint16_t* out) {
        modbus_set_slave(ctx, unit);
        const int rc = modbus_read_registers(ctx, address, count, out);
        error = rc < 0 ? errno : 0;
        return rc;
    }
    int Write(int unit, int address, uint16_t value) {
        modbus_set_slave(ctx, unit);
        const int rc = modbus_write_registers(ctx, address, 1, &value);
        error = rc < 0 ? errno : 0;
        return rc;
    }
    uint16_t Get(int unit, int address) {
        uint16_t v = 0xDEAD;
        EXPECT_EQ(Read(unit, address, 1, &v), 1)
            << "unit " << unit << " register " << address << ": " << modbus_strerror(error);
        return v;
    }
    int error = 0;
};

// A plain TCP connection for looking at the bytes themselves.
struct RawConnection {
    int fd = -1;
    explicit RawConnection(int port) {
        fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        const int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    ~RawConnection() { close(fd); }
    void SendRead(uint16_t tid, uint8_t unit, uint16_t address, uint16_t count) {
        const uint8_t frame[12] = {static_cast<uint8_t>(tid >> 8),
                                   static_cast<uint8_t>(tid),
                                   0,
                                   0,
                                   0,
                                   6,
                                   unit,
                                   3,
                                   static_cast<uint8_t>(address >> 8),
                                   static_cast<uint8_t>(address),
                                   static_cast<uint8_t>(count >> 8),
                                   static_cast<uint8_t>(count)};
        ASSERT_EQ(send(fd, frame, sizeof frame, MSG_NOSIGNAL), 12);
    }
    // Receives until `want` bytes came or nothing more arrives within limit_ms; the pieces
    // as recv returned them.
    std::vector<std::vector<uint8_t>> Receive(size_t want, int limit_ms = 3000) {
        std::vector<std::vector<uint8_t>> pieces;
        size_t total = 0;
        while (total < want) {
            pollfd wait{fd, POLLIN, 0};
            if (poll(&wait, 1, limit_ms) <= 0) break;
            uint8_t buffer[600];
            const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            pieces.emplace_back(buffer, buffer + got);
            total += static_cast<size_t>(got);
        }
        return pieces;
    }
    std::vector<uint8_t> ReceiveBytes(size_t want, int limit_ms = 3000) {
        std::vector<uint8_t> all;
        for (const auto& piece : Receive(want, limit_ms))
            all.insert(all.end(), piece.begin(), piece.end());
        return all;
    }
};

SimScenario LoadScenario(const char* name) {
    SimScenario s;
    char error[300] = "";
    const std::string path =
        std::string(VELTRA_SOURCE_DIR) + "/tools/gateway-sim/scenarios/" + name + ".scn";
    EXPECT_EQ(SCN_Load(path.c_str(), &s, error, sizeof error), 0) << error;
    return s;
}

// The expected answer to "read register 0, count 1" of a type.
std::vector<uint8_t> TypeIdFrame(uint16_t tid, uint8_t unit, uint16_t type) {
    return {static_cast<uint8_t>(tid >> 8),  static_cast<uint8_t>(tid), 0, 0, 0, 5, unit, 3, 2,
            static_cast<uint8_t>(type >> 8), static_cast<uint8_t>(type)};
}

TEST(GatewaySimProcess, EveryScenarioDeviceAnswersItsTypeId) {
    for (const char* name : {"default", "wide", "full"}) {
        Simulator sim({"--scenario", name});
        ASSERT_GT(sim.port(), 0) << name << ": " << sim.ready_line();
        Client client(sim.port());
        const SimScenario scenario = LoadScenario(name);
        ASSERT_GT(scenario.count, 0);
        for (int i = 0; i < scenario.count; i++) {
            const SimDeviceConfig& d = scenario.devices[static_cast<size_t>(i)];
            EXPECT_EQ(client.Get(d.unit_id, 0), d.type_id) << name << " unit " << d.unit_id;
        }
        // What the search reads of each of unit ids 1 to 70: a type id or exception 0x0B.
        for (int unit = 1; unit <= 70; unit++) {
            uint16_t v = 0;
            const int rc = client.Read(unit, 0, 1, &v);
            if (SCN_FindUnit(scenario, unit) != nullptr) {
                EXPECT_EQ(rc, 1) << name << " unit " << unit;
            } else {
                EXPECT_EQ(rc, -1) << name << " unit " << unit;
                EXPECT_EQ(client.error, EMBXGTAR) << name << " unit " << unit;
            }
        }
    }
}

TEST(GatewaySimProcess, AbsentUnitAndOtherRefusalsAreExceptions) {
    Simulator sim({"--exception", "2:6/2"});
    ASSERT_GT(sim.port(), 0) << sim.ready_line();
    {
        // One client at a time: this connection ends before the next one is served.
        RawConnection raw(sim.port());
        raw.SendRead(0x1234, 69, 0, 1); // request 1
        EXPECT_EQ(raw.ReceiveBytes(9),
                  (std::vector<uint8_t>{0x12, 0x34, 0, 0, 0, 3, 69, 0x83, 0x0B}));
    }
    Client client(sim.port());
    uint16_t v[130];
    // Request 2: a whole poll of the display unit's member block works.
    EXPECT_EQ(client.Read(1, 2000, 59, v), 59);
    EXPECT_EQ(v[0], 2048);
    // Requests 3 and 4: unit 2 answers the configured exception on every second request.
    EXPECT_EQ(client.Read(2, 0, 1, v), 1);
    EXPECT_EQ(client.Read(2, 0, 1, v), -1);
    EXPECT_EQ(client.error, EMBXSBUSY);
    // Beyond a device's map, and more than a frame can carry.
    EXPECT_EQ(client.Read(3, 150, 100, v), -1);
    EXPECT_EQ(client.error, EMBXILADD);
    EXPECT_EQ(client.Read(1, 0, 126, v), -1);
}

TEST(GatewaySimProcess, FaultsStrikeOnlyInsideTheirWindow) {
    Simulator sim({"--exception", "2", "--fault-window", "3-4"});
    ASSERT_GT(sim.port(), 0) << sim.ready_line();
    Client client(sim.port());
    uint16_t v = 0;
    EXPECT_EQ(client.Read(2, 0, 1, &v), 1); // requests 1 and 2: before the window
    EXPECT_EQ(client.Read(2, 0, 1, &v), 1);
    EXPECT_EQ(client.Read(2, 0, 1, &v), -1); // 3 and 4: inside
    EXPECT_EQ(client.error, EMBXSFAIL);
    EXPECT_EQ(client.Read(2, 0, 1, &v), -1);
    EXPECT_EQ(client.Read(2, 0, 1, &v), 1); // 5: after it, the unit answers again
    EXPECT_EQ(v, 1024);                     // the RV100/30's type id
}

TEST(GatewaySimProcess, WriteWithByteCountAtOddsWithItsQuantityIsRefused) {
    Simulator sim({});
    ASSERT_GT(sim.port(), 0) << sim.ready_line();
    RawConnection raw(sim.port());
    // Quantity 2, byte count 2, one value: unit 5 register 18.
    const uint8_t frame[15] = {0, 9, 0, 0, 0, 9, 5, 16, 0, 18, 0, 2, 2, 0, 0};
    ASSERT_EQ(send(raw.fd, frame, sizeof frame, MSG_NOSIGNAL), 15);
    EXPECT_EQ(raw.ReceiveBytes(9), (std::vector<uint8_t>{0, 9, 0, 0, 0, 3, 5, 0x90, 3}));
    raw.SendRead(10, 5, 18, 1);
    EXPECT_EQ(raw.ReceiveBytes(11), (std::vector<uint8_t>{0, 10, 0, 0, 0, 5, 5, 3, 2, 0, 2}))
        << "the mode is still auto";
}

TEST(GatewaySimProcess, WritesSwitchTheStateRegistersThePagesShow) {
    Simulator sim({});
    ASSERT_GT(sim.port(), 0) << sim.ready_line();
    Client client(sim.port());
    // Brant at unit 5: register 18 (0 off, 1 on, 2 auto), output state in 31.
    EXPECT_EQ(client.Get(5, 18), 2);
    ASSERT_EQ(client.Write(5, 18, 0), 1);
    EXPECT_EQ(client.Get(5, 18), 0);
    EXPECT_EQ(client.Get(5, 31), 0);
    ASSERT_EQ(client.Write(5, 18, 1), 1);
    EXPECT_EQ(client.Get(5, 18), 1);
    EXPECT_EQ(client.Get(5, 31), 1);
    EXPECT_EQ(client.Write(5, 18, 9), -1);
    EXPECT_EQ(client.error, EMBXILVAL);
    EXPECT_EQ(client.Get(5, 18), 1);
    // BrantV2 at unit 6: register 16 (20 off, 30 auto, 10 on), LED state in 22.
    ASSERT_EQ(client.Write(6, 16, 20), 1);
    EXPECT_EQ(client.Get(6, 22), 0);
    EXPECT_EQ(client.Get(6, 117), 0);
    ASSERT_EQ(client.Write(6, 16, 10), 1);
    EXPECT_EQ(client.Get(6, 16), 10);
    EXPECT_EQ(client.Get(6, 22), 1);
    // Another register keeps what was written.
    ASSERT_EQ(client.Write(7, 236, 77), 1);
    EXPECT_EQ(client.Get(7, 236), 77);
    EXPECT_EQ(client.Get(7, 236), 77);
}

TEST(GatewaySimProcess, WriteSingleRegisterIsHonouredAndEchoed) {
    Simulator sim({});
    ASSERT_GT(sim.port(), 0) << sim.ready_line();
    {
        // The answer echoes the request: unit 5 (Brant), register 18 := 0 (off).
        RawConnection raw(sim.port());
        const uint8_t frame[12] = {0, 3, 0, 0, 0, 6, 5, 6, 0, 18, 0, 0};
        ASSERT_EQ(send(raw.fd, frame, sizeof frame, MSG_NOSIGNAL), 12);
        EXPECT_EQ(raw.ReceiveBytes(12), std::vector<uint8_t>(frame, frame + 12));
    }
    Client client(sim.port());
    EXPECT_EQ(client.Get(5, 18), 0);
    EXPECT_EQ(client.Get(5, 31), 0) << "the output follows the mode as after function 16";
    modbus_set_slave(client.ctx, 5);
    EXPECT_EQ(modbus_write_register(client.ctx, 18, 1), 1);
    EXPECT_EQ(client.Get(5, 31), 1);
    // The same refusals as a write of several registers.
    EXPECT_EQ(modbus_write_register(client.ctx, 18, 9), -1);
    EXPECT_EQ(errno, EMBXILVAL);
    EXPECT_EQ(modbus_write_register(client.ctx, 5000, 1), -1);
    EXPECT_EQ(errno, EMBXILADD);
    modbus_set_slave(client.ctx, 60);
    EXPECT_EQ(modbus_write_register(client.ctx, 18, 1), -1);
    EXPECT_EQ(errno, EMBXGTAR);
    EXPECT_EQ(client.Get(5, 18), 1);
}

TEST(GatewaySimProcess, SplitResponsesArriveInSegmentsAndReassemble) {
    Simulator sim({"--split", "1", "--split-pause", "25"});
    ASSERT_GT(sim.port(), 0) << sim.ready_line();
    {
        RawConnection raw(sim.port());
        raw.SendRead(7, 2, 0, 1);
        const auto pieces = raw.Receive(11);
        std::vector<uint8_t> all;
        for (const auto& p : pieces)
            all.insert(all.end(), p.begin(), p.end());
        EXPECT_EQ(all, TypeIdFrame(7, 2, 1024));
        // Byte by byte with pauses: the header itself came in more than one piece.
        EXPECT_GE(pieces.size(), 3u);
        EXPECT_LT(pieces.front().size(), 7u);
    }
    // A client that reassembles by the announced length reads a whole poll.
    Client client(sim.port());
    uint16_t regs[100];
    ASSERT_EQ(client.Read(1, 0, 20, regs), 20) << modbus_strerror(client.error);
    EXPECT_EQ(regs[0], 2048);
    EXPECT_EQ(regs[16], 1);
}

TEST(GatewaySimProcess, ClockRunsOneMinutePerSecondAtSpeedSixty) {
    Simulator sim({"--clock-speed", "60"});
    ASSERT_GT(sim.port(), 0) << sim.ready_line();
    Client client(sim.port());
    using Clock = std::chrono::steady_clock;
    auto seconds_of_day = [&client]() {
        uint16_t r[2] = {0, 0};
        EXPECT_EQ(client.Read(1, 144, 2, r), 2);
        return (r[0] & 0xFF) * 3600 + (r[0] >> 8) * 60 + (r[1] & 0xFF);
    };
    const auto a0 = Clock::now();
    const int first = seconds_of_day();
    const auto a1 = Clock::now();
    // Real time has to pass for a clock in another process; about one simulated minute.
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    const auto b0 = Clock::now();
    const int second = seconds_of_day();
    const auto b1 = Clock::now();
    const int advanced = (second - first + 86400) % 86400;
    auto secs = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };
    EXPECT_GE(advanced, 60 * secs(b0 - a1) - 1);
    EXPECT_LE(advanced, 60 * secs(b1 - a0) + 1);
    EXPECT_GE(advanced, 60);
}

// --start sets the display unit's clock and the simulated world with it: the sun shines at the
// simulated noon and not at the simulated midnight, whatever the host's hour.
TEST(GatewaySimProcess, StartSetsTheClockAndTheDay) {
    uint16_t clock[12] = {};
    uint16_t solar_watts[2] = {};
    {
        Simulator noon({"--start", "2026-06-15T12:34:56"});
        ASSERT_GT(noon.port(), 0) << noon.ready_line();
        Client client(noon.port());
        ASSERT_EQ(client.Read(1, 144, 12, clock), 12);
        // A few seconds may have passed on a busy host.
        const int seconds = (clock[0] & 0xFF) * 3600 + (clock[0] >> 8) * 60 + clock[1];
        EXPECT_GE(seconds, 12 * 3600 + 34 * 60 + 56);
        EXPECT_LE(seconds, 12 * 3600 + 35 * 60 + 26);
        EXPECT_EQ(clock[10] >> 8, 6);
        EXPECT_EQ(clock[11], 15 | (26 << 8));
        ASSERT_EQ(client.Read(1, 2020, 2, solar_watts), 2);
        EXPECT_NE(solar_watts[0] | solar_watts[1], 0) << "no sun at noon";
    }
    Simulator midnight({"--start", "2026-06-15T00:00"});
    ASSERT_GT(midnight.port(), 0) << midnight.ready_line();
    Client client(midnight.port());
    ASSERT_EQ(client.Read(1, 144, 1, clock), 1);
    EXPECT_EQ(clock[0], 0);
    ASSERT_EQ(client.Read(1, 2020, 2, solar_watts), 2);
    EXPECT_EQ(solar_watts[0] | solar_watts[1], 0) << "sun at midnight";
}

// The library the faketime command preloads, or "" when faketime is not installed.
std::string FaketimeLibrary() {
    FILE* out = popen("faketime -f +0 printenv LD_PRELOAD 2>/dev/null", "r");
    if (out == nullptr) return "";
    char line[512] = "";
    const bool read = fgets(line, sizeof line, out) != nullptr;
    pclose(out);
    std::string library = read ? line : "";
    while (!library.empty() && library.back() == '\n')
        library.pop_back();
    return library;
}

// The host clock that processes started while it lives see (this process keeps the real one);
// only the wall clock is moved, as the simulator's pauses run on the monotonic one.
struct FakeHostClock {
    FakeHostClock(const std::string& library, const char* moment) {
        setenv("LD_PRELOAD", library.c_str(), 1);
        setenv("FAKETIME", moment, 1);
        setenv("FAKETIME_DONT_FAKE_MONOTONIC", "1", 1);
    }
    ~FakeHostClock() {
        unsetenv("LD_PRELOAD");
        unsetenv("FAKETIME");
        unsetenv("FAKETIME_DONT_FAKE_MONOTONIC");
    }
};

// Started at night on one day and late in the evening of the next, the simulator shows the
// host's date but the time of day from --start, and the sun of that time.
TEST(GatewaySimProcess, TheSimulatedDayDoesNotFollowTheHostsHour) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer's run-time must be loaded first, before faketime's";
#endif
    const std::string library = FaketimeLibrary();
    if (library.empty()) GTEST_SKIP() << "faketime is not installed";
    struct Moment {
        const char* host;
        int day; // of March 2031
    };
    for (const Moment& moment :
         {Moment{"@2031-03-04 03:00:00", 4}, Moment{"@2031-03-05 23:00:00", 5}}) {
        std::unique_ptr<Simulator> sim;
        {
            FakeHostClock clock(library, moment.host);
            sim = std::make_unique<Simulator>(std::vector<std::string>{"--start", "12:00"});
        }
        ASSERT_GT(sim->port(), 0) << sim->ready_line();
        Client client(sim->port());
        uint16_t r[12] = {};
        ASSERT_EQ(client.Read(1, 144, 12, r), 12);
        EXPECT_EQ(r[0], 12) << moment.host << ": not 12:00";
        EXPECT_EQ(r[10] >> 8, 3) << moment.host << ": the host's month";
        EXPECT_EQ(r[11], moment.day | (31 << 8)) << moment.host << ": the host's day";
        uint16_t solar_watts[2] = {};
        ASSERT_EQ(client.Read(1, 2020, 2, solar_watts), 2);
        EXPECT_NE(solar_watts[0] | solar_watts[1], 0) << moment.host << ": no sun at noon";
    }
}

TEST(GatewaySimProcess, DropClosesTheConnectionAfterNRequestsAndTheNextClientIsServed) {
    Simulator sim({"--drop-after", "3"});
    ASSERT_GT(sim.port(), 0) << sim.ready_line();
    {
        Client client(sim.port(), 1000);
        uint16_t v;
        for (int i = 0; i < 3; i++)
            EXPECT_EQ(client.Read(2, 0, 1, &v), 1) << i;
        EXPECT_EQ(client.Read(2, 0, 1, &v), -1);
    }
    Client next(sim.port());
    EXPECT_EQ(next.Get(3, 0), SIM_TYPE_CELTON);
}

TEST(GatewaySimProcess, SigtermAndSigintEndThePromptlyWithExitCodeZero) {
    for (int signal_number : {SIGTERM, SIGINT}) {
        Simulator sim({"--late", "5000"});
        ASSERT_GT(sim.port(), 0) << sim.ready_line();
        // Even while it holds back an answer.
        RawConnection raw(sim.port());
        raw.SendRead(1, 1, 0, 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_EQ(kill(sim.pid(), signal_number), 0);
        const int status = sim.WaitExit(2000);
        ASSERT_NE(status, -1) << "still running";
        EXPECT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
}

TEST(GatewaySimProcess, TwoSimulatorsOnPortZeroListenOnTwoPorts) {
    Simulator one({});
    Simulator two({"--scenario", "full"});
    ASSERT_GT(one.port(), 0);
    ASSERT_GT(two.port(), 0);
    EXPECT_NE(one.port(), two.port());
    Client a(one.port());
    Client b(two.port());
    EXPECT_EQ(a.Get(3, 0), SIM_TYPE_CELTON);
    EXPECT_EQ(b.Get(3, 0), SIM_TYPE_RV140);
}

TEST(GatewaySimProcess, HeaderFaultsChangeTheirFieldOnTheirRequestsOnly) {
    const std::vector<uint8_t> good = TypeIdFrame(2, 2, 1024);
    struct Case {
        const char* option;
        std::vector<uint8_t> expected;
    };
    auto with = [&good](size_t at, uint8_t value) {
        std::vector<uint8_t> frame = good;
        frame.at(at) = value;
        return frame;
    };
    std::vector<uint8_t> twice = good;
    twice.insert(twice.end(), good.begin(), good.end());
    const Case cases[] = {
        {"--wrong-tid", with(1, 3)},   {"--bad-protocol", with(3, 1)}, {"--wrong-unit", with(6, 3)},
        {"--length-zero", with(5, 0)}, {"--length-long", with(5, 6)},  {"--twice", twice},
    };
    for (const Case& c : cases) {
        Simulator sim({c.option, "2"});
        ASSERT_GT(sim.port(), 0) << c.option;
        RawConnection raw(sim.port());
        for (uint16_t tid = 1; tid <= 3; tid++) {
            raw.SendRead(tid, 2, 0, 1);
            const std::vector<uint8_t> want = tid == 2 ? c.expected : TypeIdFrame(tid, 2, 1024);
            EXPECT_EQ(raw.ReceiveBytes(want.size()), want) << c.option << " request " << tid;
        }
    }
    Simulator sim({"--junk", "5/1"});
    RawConnection raw(sim.port());
    raw.SendRead(9, 2, 0, 1);
    const std::vector<uint8_t> bytes = raw.ReceiveBytes(16);
    ASSERT_EQ(bytes.size(), 16u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 5, bytes.end()), TypeIdFrame(9, 2, 1024));
}

TEST(GatewaySimProcess, SilentAndLateUnitsLeaveTheClientWaiting) {
    Simulator sim({"--silent", "3", "--late", "400/4"});
    ASSERT_GT(sim.port(), 0) << sim.ready_line();
    RawConnection raw(sim.port());
    raw.SendRead(1, 3, 0, 1); // request 1: unit 3 is silent
    EXPECT_TRUE(raw.ReceiveBytes(1, 300).empty());
    raw.SendRead(2, 2, 0, 1); // the connection still serves others
    EXPECT_EQ(raw.ReceiveBytes(11), TypeIdFrame(2, 2, 1024));
    raw.SendRead(3, 2, 0, 1);
    EXPECT_EQ(raw.ReceiveBytes(11), TypeIdFrame(3, 2, 1024));
    raw.SendRead(4, 2, 0, 1); // request 4: late, so nothing within 150 ms, then the answer
    EXPECT_TRUE(raw.ReceiveBytes(1, 150).empty());
    EXPECT_EQ(raw.ReceiveBytes(11), TypeIdFrame(4, 2, 1024));
}

TEST(GatewaySimProcess, AlarmScheduleMakesAlarmsComeAndGo) {
    Simulator sim({"--alarm", "3:ov:100", "--alarm", "5:temp:100"});
    ASSERT_GT(sim.port(), 0) << sim.ready_line();
    Client client(sim.port());
    bool seen_on = false;
    bool seen_off = false;
    bool brant_error = false;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!(seen_on && seen_off && brant_error) && std::chrono::steady_clock::now() < until) {
        const uint16_t ovp = client.Get(3, 15);
        if (ovp == 1) {
            seen_on = true;
            EXPECT_GE(client.Get(3, 7) * 4, 14600) << "voltage past the high threshold";
        } else {
            seen_off = true;
        }
        brant_error = brant_error || client.Get(5, 18) == 3;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(seen_on);
    EXPECT_TRUE(seen_off);
    EXPECT_TRUE(brant_error);
}

TEST(GatewaySimProcess, MbpollReadsTheDisplayUnitAndAController) {
    if (access("/usr/bin/mbpoll", X_OK) != 0) GTEST_SKIP() << "mbpoll is not installed";
    Simulator sim({});
    ASSERT_GT(sim.port(), 0) << sim.ready_line();
    const std::string command = "/usr/bin/mbpoll -m tcp -a 2 -r 0 -c 1 -0 -1 -t 4 -p " +
                                std::to_string(sim.port()) + " 127.0.0.1 2>&1";
    FILE* out = popen(command.c_str(), "r");
    ASSERT_NE(out, nullptr);
    std::string text;
    char buffer[256];
    while (fgets(buffer, sizeof buffer, out) != nullptr)
        text += buffer;
    EXPECT_EQ(pclose(out), 0) << text;
    EXPECT_NE(text.find("[0]: \t1024"), std::string::npos) << text;
}

TEST(GatewaySimProcess, MbpollWritesOneValueToABrantAndReadsItBack) {
    if (access("/usr/bin/mbpoll", X_OK) != 0) GTEST_SKIP() << "mbpoll is not installed";
    Simulator sim({});
    ASSERT_GT(sim.port(), 0) << sim.ready_line();
    const std::string target =
        " -m tcp -a 5 -r 18 -0 -1 -t 4 -p " + std::to_string(sim.port()) + " 127.0.0.1";
    const auto run = [](const std::string& command, std::string* text) {
        FILE* out = popen((command + " 2>&1").c_str(), "r");
        if (out == nullptr) return -1;
        char buffer[256];
        while (fgets(buffer, sizeof buffer, out) != nullptr)
            *text += buffer;
        return pclose(out);
    };
    std::string written;
    EXPECT_EQ(run("/usr/bin/mbpoll" + target + " 1", &written), 0) << written;
    EXPECT_NE(written.find("Written 1 references"), std::string::npos) << written;
    std::string read;
    EXPECT_EQ(run("/usr/bin/mbpoll" + target, &read), 0) << read;
    EXPECT_NE(read.find("[18]: \t1"), std::string::npos) << read;
}

TEST(GatewaySimProcess, BadArgumentsAndHelp) {
    const std::string run = std::string(kSimulator);
    EXPECT_EQ(WEXITSTATUS(system((run + " --port 99999 2>/dev/null").c_str())), 2);
    EXPECT_EQ(WEXITSTATUS(system((run + " --scenario nothing-like-it 2>/dev/null").c_str())), 2);
    FILE* out = popen((run + " --help").c_str(), "r");
    ASSERT_NE(out, nullptr);
    std::string text;
    char buffer[256];
    while (fgets(buffer, sizeof buffer, out) != nullptr)
        text += buffer;
    EXPECT_EQ(pclose(out), 0);
    for (const char* word : {"--listen", "--port", "--scenario", "--clock-speed", "--start",
                             "--drop-after", "--split", "--silent", "--late", "--wrong-tid",
                             "--junk", "--twice", "--bad-protocol", "--wrong-unit", "--length-zero",
                             "--length-long", "--exception", "--alarm", "--fault-window",
                             "listening on"}) {
        EXPECT_NE(text.find(word), std::string::npos) << word;
    }
}

} // namespace
