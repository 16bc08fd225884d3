// The connection task against the gateway simulator, with the test thread in the master
// task's place: one transaction at a time through the shared context.
#include "base/queue.h"
#include "base/lifecycle.h"
#include "comm/gateway.h"
#include "comm/master.h"
#include "comm/mb_frame.h"
#include "tests/comm/comm_test_util.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <cstdlib>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Reads `count` registers of a unit from address 0 through the connection task; the check's
// code, with the first register in *first.
int Read(int unit, int count, uint16_t* first = nullptr) {
    MB_MasterContext* context = &g_mb_context;
    MB_BuildReadRequest(static_cast<uint8_t>(unit), 0, static_cast<uint16_t>(count), context);
    Master_WaitResponse();
    uint16_t registers[125] = {};
    const int code = MB_StoreRegisters(context, registers, count);
    MB_ClearResponse(context);
    if (first != nullptr) *first = registers[0];
    return code;
}

bool Connected() {
    return MB_GetConnected(&g_mb_context) == 1;
}

// Connects to the simulator and expects the one STATUS_OK.
void Connect(const Simulator& simulator) {
    PostConnect(simulator.port_text());
    ASSERT_EQ(TakeStatuses(1), std::vector<int32_t>{STATUS_OK});
    ASSERT_TRUE(Connected());
}

TEST(GatewayTask, ConnectsReportsOkAndCarriesReadsAndWrites) {
    Simulator simulator({});
    DiagnosticCapture diagnostics;
    Tasks tasks(false);
    Connect(simulator);
    EXPECT_EQ(diagnostics.Count("start Modbus connection\n"), 1);

    uint16_t type_id = 0;
    EXPECT_EQ(Read(1, 1, &type_id), 0);
    EXPECT_EQ(type_id, 2048);
    EXPECT_EQ(Read(2, 100, &type_id), 0);
    EXPECT_EQ(type_id, 1024);

    const uint16_t value = 4321;
    MB_BuildWriteRequest(3, 60, &value, 1, &g_mb_context);
    Master_WaitResponse();
    EXPECT_EQ(MB_CheckWriteResponse(&g_mb_context), 0);
    MB_BuildReadRequest(3, 60, 1, &g_mb_context);
    Master_WaitResponse();
    uint16_t registers[61] = {};
    EXPECT_EQ(MB_StoreRegisters(&g_mb_context, registers, 61), 0);
    MB_ClearResponse(&g_mb_context);
    EXPECT_EQ(registers[60], 4321);

    // An absent unit answers with an exception, which fails the check but not the connection.
    EXPECT_EQ(Read(60, 1), MB_ERROR_BYTE_COUNT);
    EXPECT_TRUE(Connected());
    EXPECT_TRUE(DrainStatuses().empty());
}

// A fault that strikes the third request: what that request's check gives.
struct Fault {
    const char* name;
    std::vector<std::string> options;
    int third_code;
    bool leaves_stale_bytes; // bytes of the third answer stay for the fourth request to discard
};

void PrintTo(const Fault& fault, std::ostream* out) {
    *out << fault.name;
}

class GatewayFault : public ::testing::TestWithParam<Fault> {};

TEST_P(GatewayFault, FailsOnlyItsOwnTransactionAndTheNextRequestSucceeds) {
    Simulator simulator(GetParam().options);
    DiagnosticCapture diagnostics;
    Tasks tasks(false);
    Connect(simulator);
    for (int request = 1; request <= 5; ++request) {
        SCOPED_TRACE(request);
        uint16_t type_id = 0;
        const int code = Read(2, 10, &type_id);
        if (request == 3) {
            EXPECT_EQ(code, GetParam().third_code);
        } else {
            EXPECT_EQ(code, 0);
            EXPECT_EQ(type_id, 1024);
        }
    }
    EXPECT_TRUE(Connected());
    EXPECT_TRUE(DrainStatuses().empty());
    EXPECT_EQ(diagnostics.Count(" stale bytes discarded\n"), GetParam().leaves_stale_bytes ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, GatewayFault,
    ::testing::Values(Fault{"WrongTransactionId", {"--wrong-tid", "3"}, 11, false},
                      Fault{"ProtocolIdOne", {"--bad-protocol", "3"}, 12, false},
                      Fault{"WrongUnitId", {"--wrong-unit", "3"}, 3, false},
                      // The header's length 0 ends the exchange; the rest is discarded later.
                      Fault{"LengthZero", {"--length-zero", "3"}, 5, true},
                      // Junk read as a header: an impossible length, or a frame that is not
                      // this transaction's.
                      Fault{"JunkGivesBadLength", {"--junk", "9/3"}, 11, true},
                      Fault{"JunkGivesShortFrame", {"--junk", "3/3"}, 11, true},
                      // The first copy is the answer; the second is discarded before request 4.
                      Fault{"SentTwice", {"--twice", "3"}, 0, true},
                      Fault{"SplitByteByByte", {"--split", "1", "--split-pause", "2"}, 0, false},
                      Fault{"SplitInThreeByteSegments", {"--split", "3/3"}, 0, false}),
    [](const ::testing::TestParamInfo<Fault>& fault) { return fault.param.name; });

TEST(GatewayTask, DroppedConnectionEndsTheWaitReportsOnceAndAcceptsANewConnect) {
    Simulator simulator({"--drop-after", "2"});
    DiagnosticCapture diagnostics;
    Tasks tasks(false);
    Connect(simulator);
    EXPECT_EQ(Read(2, 1), 0);
    EXPECT_EQ(Read(2, 1), 0);
    EXPECT_NE(Read(2, 1), 0);
    EXPECT_FALSE(Connected());
    EXPECT_EQ(diagnostics.Count("send/receife data failed\n"), 2);
    // A request while the connection is down ends at once and is never sent later.
    EXPECT_NE(Read(2, 1), 0);
    // The loss is reported once, before the task takes the next connect.
    EXPECT_EQ(TakeStatuses(1), std::vector<int32_t>{STATUS_FAILED});

    PostConnect(simulator.port_text());
    EXPECT_EQ(TakeStatuses(1), std::vector<int32_t>{STATUS_OK});
    EXPECT_TRUE(DrainStatuses().empty());
    uint16_t type_id = 0;
    EXPECT_EQ(Read(2, 1, &type_id), 0);
    EXPECT_EQ(type_id, 1024);
}

TEST(GatewayTask, SilentUnitEndsInTheReceiveTimeoutAndALostConnection) {
    Gateway_SetTimeoutsForTests(300, 300);
    Simulator simulator({"--silent", "5"});
    DiagnosticCapture diagnostics;
    Tasks tasks(false);
    Connect(simulator);
    EXPECT_EQ(Read(2, 1), 0);
    EXPECT_NE(Read(5, 1), 0);
    EXPECT_FALSE(Connected());
    EXPECT_EQ(diagnostics.Count("receive failed with error: 110\n"), 1);
    EXPECT_EQ(TakeStatuses(1), std::vector<int32_t>{STATUS_FAILED});
}

TEST(GatewayTask, ResponseShorterThanItsLengthFieldIsIncompleteUntilTheTimeout) {
    Gateway_SetTimeoutsForTests(300, 300);
    Simulator simulator({"--length-long", "2"});
    DiagnosticCapture diagnostics;
    Tasks tasks(false);
    Connect(simulator);
    EXPECT_EQ(Read(2, 1), 0);
    EXPECT_NE(Read(2, 1), 0);
    EXPECT_FALSE(Connected());
    EXPECT_EQ(TakeStatuses(1), std::vector<int32_t>{STATUS_FAILED});
}

TEST(GatewayTask, UnresolvableHostReportsTwoFailuresAndALaterConnectWorks) {
    Simulator simulator({});
    DiagnosticCapture diagnostics;
    Tasks tasks(false);
    PostConnect(simulator.port_text(), "gateway.invalid");
    EXPECT_EQ(TakeStatuses(2), (std::vector<int32_t>{STATUS_FAILED, STATUS_FAILED}));
    EXPECT_EQ(diagnostics.Count("getaddrinfo failed with error: "), 1);
    Connect(simulator);
    EXPECT_EQ(Read(1, 1), 0);
}

TEST(GatewayTask, RefusedConnectionReportsTwoFailures) {
    // A bound port that nobody listens on refuses the connection.
    const int blocker = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(blocker, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    socklen_t length = sizeof address;
    getsockname(blocker, reinterpret_cast<sockaddr*>(&address), &length);

    DiagnosticCapture diagnostics;
    Tasks tasks(false);
    PostConnect(std::to_string(ntohs(address.sin_port)));
    EXPECT_EQ(TakeStatuses(2), (std::vector<int32_t>{STATUS_FAILED, STATUS_FAILED}));
    EXPECT_EQ(diagnostics.Count("Unable to connect to server!\n"), 1);
    close(blocker);
}

TEST(GatewayTask, CloseCommandShutsDownInOrder) {
    Simulator simulator({});
    DiagnosticCapture diagnostics;
    Tasks tasks(false);
    Connect(simulator);
    EXPECT_EQ(Read(1, 1), 0);
    PostClose();
    EXPECT_EQ(TakeStatuses(1), std::vector<int32_t>{STATUS_FAILED});
    EXPECT_FALSE(Connected());
    EXPECT_EQ(diagnostics.Count("Connection closed\n"), 1);
    EXPECT_EQ(diagnostics.Count("close connection without errors\n"), 1);
}

TEST(GatewayTask, PortFromTheEnvironmentWins) {
    Simulator simulator({});
    setenv("VELTRA_GATEWAY_PORT", simulator.port_text().c_str(), 1);
    Tasks tasks(false);
    PostConnect("1");
    EXPECT_EQ(TakeStatuses(1), std::vector<int32_t>{STATUS_OK});
    EXPECT_EQ(Read(1, 1), 0);
    tasks.Stop();
    unsetenv("VELTRA_GATEWAY_PORT"); // later cases connect to the port they name
}

TEST(GatewayTask, StopEndsAnExchangeInFlight) {
    Simulator simulator({"--silent", "5"});
    DiagnosticCapture diagnostics;
    Tasks tasks(false);
    Connect(simulator);
    std::atomic<bool> posted{false};
    std::thread master([&] {
        MB_BuildReadRequest(5, 0, 1, &g_mb_context);
        posted.store(true);
        Master_WaitResponse();
    });
    // In flight once posted and taken by the connection task.
    ASSERT_TRUE(WaitFor([&] { return posted.load() && !g_mb_context.exchange_pending.load(); }));
    tasks.Stop();
    master.join();
    EXPECT_EQ(MB_GetError(&g_mb_context), 1);
    EXPECT_EQ(diagnostics.Count("receive failed with error: 125\n"), 1) << diagnostics.Text();
}

} // namespace
