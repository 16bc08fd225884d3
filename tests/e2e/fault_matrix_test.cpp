// The real program against every fault the simulated gateway can make. For each one: the
// program keeps running and answering input, shows what belongs to that fault (the failed
// device's diagnostic, or for a lost connection the banner and the connect page), recovers
// (polling goes on, or CONNECT brings the pages back), and every line of the data log is
// whole, in time order, and holds values that fit their columns and agree with each other,
// so no value has landed in another device's or register's place.
#include "tests/e2e/e2e_util.h"
#include "tests/util/simulator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using e2e::ProgramSession;

enum class Outcome {
    Kept, // single bad answers: the device's request fails, the connection stays
    Lost, // the connection ends: banner, connect page, CONNECT again
};

struct FaultCase {
    std::string name;
    std::vector<std::string> options; // besides --clock-speed 60
    Outcome outcome;
    const char* diagnostic; // a line the program prints when the fault strikes
    int tab_x = -1;         // the tab of the struck device's page: its tile must grey and recover
};

// Faults strike every Nth request counted from the first; N above 70 lets the search over
// unit ids 1 to 70 run through untouched, so every case starts from the whole device list.
// A polling cycle of the full scenario is 73 requests: N = 97 moves the strike through the
// cycle instead of failing the same request (and the rest of its device) every time.
const FaultCase kCases[] = {
    {"DropAfterRequests", {"--scenario", "full", "--drop-after", "260"}, Outcome::Lost,
     "receive failed: connection closed by the gateway"},
    {"DelayBeyondTimeout", {"--scenario", "full", "--delay", "11000/200"}, Outcome::Lost,
     "receive failed with error: 110"},
    {"LateAnswer", {"--scenario", "full", "--late", "11000/200"}, Outcome::Lost,
     "receive failed with error: 110"},
    // The unit is silent in every third cycle; when that is the first poll after the search,
    // the search fails and CONNECT is pressed again.
    {"SilentUnit", {"--scenario", "full", "--silent", "9/3"}, Outcome::Lost,
     "receive failed with error: 110"},
    {"ByteByByte", {"--scenario", "full", "--split", "1/3", "--split-pause", "2"}, Outcome::Kept,
     nullptr},
    {"SplitHeader", {"--scenario", "full", "--split", "4/3"}, Outcome::Kept, nullptr},
    {"JunkBeforeAnswer", {"--scenario", "full", "--junk", "3/97"}, Outcome::Kept, "MB Error!"},
    {"AnswerTwice", {"--scenario", "full", "--twice", "97"}, Outcome::Kept, nullptr},
    {"WrongTransactionId", {"--scenario", "full", "--wrong-tid", "97"}, Outcome::Kept,
     "MB ERROR TRANSACTION IDENT"},
    {"ProtocolIdOne", {"--scenario", "full", "--bad-protocol", "97"}, Outcome::Kept,
     "MB ERROR PROTOCOLL ID"},
    {"WrongUnitId", {"--scenario", "full", "--wrong-unit", "97"}, Outcome::Kept,
     "MB ERROR SLAVE ADRESS"},
    {"MbapLengthZero", {"--scenario", "full", "--length-zero", "97"}, Outcome::Kept,
     "MB Error!"},
    {"MbapLengthLong", {"--scenario", "full", "--length-long", "97"}, Outcome::Kept,
     "MB Error!"},
};

// The default scenario's pages: Home, Quill, Graph, Amprix, RV100/30, then the Celton of
// unit 3.
constexpr int kFirstCeltonTabX = 470;
constexpr int kTabY = 74;
// The first tile's name field: dark green while its device answers, grey while it does not.
constexpr int kNameFieldX = 20, kNameFieldY = 100;
constexpr uint32_t kOnline = 0x006600, kOffline = 0x808080;

// One case per exception code, on the small scenario's first protector (unit 3). Every
// other request fails; the search's request to unit 3 is the third and passes.
std::vector<FaultCase> ExceptionCases() {
    std::vector<FaultCase> cases;
    for (int code = 1; code <= 11; ++code) {
        cases.push_back({"ExceptionCode" + std::to_string(code),
                         {"--scenario", "default", "--exception", "3:" + std::to_string(code) + "/2"},
                         Outcome::Kept, "Slave id:3 MB Error!", kFirstCeltonTabX});
    }
    return cases;
}

std::vector<FaultCase> AllCases() {
    std::vector<FaultCase> cases(std::begin(kCases), std::end(kCases));
    for (const FaultCase& c : ExceptionCases())
        cases.push_back(c);
    return cases;
}

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// Every line of every log file whole and rising, every value in its place; the row count.
size_t CheckLogs(const ProgramSession& session) {
    size_t rows = 0;
    const std::vector<e2e::fs::path> files = session.LogFiles();
    for (size_t f = 0; f < files.size(); ++f) {
        const bool last = f + 1 == files.size();
        const e2e::CsvLog log = e2e::ReadCsv(files[f], last);
        for (const std::string& problem : log.problems)
            ADD_FAILURE() << files[f].filename() << ": " << problem;
        for (size_t r = 0; r < log.rows.size(); ++r)
            for (const std::string& problem : e2e::CheckRow(log, r))
                ADD_FAILURE() << files[f].filename() << ": " << problem;
        rows += log.rows.size();
    }
    return rows;
}

// New data lines in the newest log file since `rows_before`.
size_t RowsInNewest(const ProgramSession& session) {
    const std::vector<e2e::fs::path> files = session.LogFiles();
    if (files.empty()) return 0;
    return e2e::ReadCsv(files.back(), true).rows.size();
}

bool WaitForRows(const ProgramSession& session, size_t count, int seconds) {
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    while (Clock::now() < end) {
        if (RowsInNewest(session) >= count) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return false;
}

class FaultMatrix : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultMatrix, KeepsRunningShowsTheFaultAndRecovers) {
    const FaultCase& fault = GetParam();
    if (!XVFB_HaveProgram("Xvfb") || !XVFB_HaveProgram("xdotool"))
        GTEST_SKIP() << "Xvfb or xdotool is not installed";
    std::vector<std::string> options = {"--clock-speed", "60"};
    options.insert(options.end(), fault.options.begin(), fault.options.end());
    Simulator simulator(options);
    ASSERT_GT(simulator.port(), 0);

    ProgramSession session("fault-" + fault.name);
    std::string why_not;
    ASSERT_TRUE(session.StartServer(&why_not)) << why_not;
    ASSERT_TRUE(session.StartProgram(0, {"--gateway", "127.0.0.1:" + simulator.port_text()}));
    ASSERT_TRUE(session.Connect(90)) << "no pages; the program said:\n"
                                     << session.Output().substr(0, 3000);
    const size_t connected_at = session.Output().size();
    const auto started = Clock::now();
    std::string seen;
    double recovery_s = 0;

    if (fault.outcome == Outcome::Lost) {
        // The connection task ends the connection and says why; the banner tells the user and
        // the connect page comes back.
        ASSERT_TRUE(session.WaitForOutput(fault.diagnostic, connected_at, 60))
            << "no \"" << fault.diagnostic << "\"; the program said:\n"
            << session.Output().substr(connected_at, 3000);
        ASSERT_TRUE(
            session.WaitForOutput("send/receife data failed\nsend/receife data failed\n",
                                  connected_at, 15));
        const auto lost = Clock::now();
        EXPECT_TRUE(session.WaitFor([&] { return session.BannerShown(); }, 20))
            << "no banner after the loss";
        ASSERT_TRUE(session.WaitFor([&] { return session.ConnectPageShown(); }, 30))
            << "no connect page after the loss";
        session.SaveScreen("e2e_fault_" + fault.name + "_lost.png");
        // CONNECT brings the pages back with a new log file, and the program answers input.
        ASSERT_TRUE(session.Connect(60)) << "no pages after CONNECT";
        recovery_s = Seconds(lost);
        EXPECT_TRUE(session.AnswersInput()) << "the information window did not open and close";
        EXPECT_GE(session.LogFiles().size(), 2u) << "no new log file after reconnecting";
        seen = "banner, connect page; CONNECT brings the pages back";
    } else {
        if (fault.diagnostic != nullptr) {
            ASSERT_TRUE(session.WaitForOutput(fault.diagnostic, connected_at, 40))
                << "no \"" << fault.diagnostic << "\"; the program said:\n"
                << session.Output().substr(connected_at, 3000);
            seen = std::string("\"") + fault.diagnostic + "\", the device's state 0";
        } else {
            seen = "nothing: the answers are read whole";
        }
        const auto struck = Clock::now();
        if (fault.tab_x >= 0) {
            // The device's tile greys while its requests fail and turns green again.
            session.Click(fault.tab_x, kTabY);
            EXPECT_TRUE(session.WaitFor(
                [&] { return session.At(kNameFieldX, kNameFieldY) == kOffline; }, 30))
                << "the tile did not grey";
            session.SaveScreen("e2e_fault_" + fault.name + "_grey.png");
            EXPECT_TRUE(session.WaitFor(
                [&] { return session.At(kNameFieldX, kNameFieldY) == kOnline; }, 30))
                << "the tile did not come back";
            seen += ", its tile grey and green again";
            session.Click(40, kTabY); // back to Home
        }
        // Polling goes on: new log lines keep coming while the fault strikes again and again.
        const size_t rows = RowsInNewest(session);
        EXPECT_TRUE(WaitForRows(session, rows + 2, 40)) << "the log stopped";
        recovery_s = Seconds(struck);
        EXPECT_TRUE(session.AnswersInput()) << "the information window did not open and close";
        EXPECT_TRUE(session.PagesShown());
        // The connection held.
        const std::string out = session.Output();
        EXPECT_EQ(ProgramSession::Count(out, "start Modbus connection"), 1u)
            << out.substr(connected_at, 3000);
        if (fault.diagnostic == nullptr) {
            EXPECT_EQ(ProgramSession::Count(out, "MB Error!", connected_at), 0u)
                << out.substr(connected_at, 3000);
        }
    }

    EXPECT_TRUE(session.Alive());
    const size_t rows = CheckLogs(session);
    EXPECT_GE(rows, 2u);
    EXPECT_EQ(session.Stop(), 0);
    std::printf("fault row | %s | %s | %.1f s | %zu log lines checked | %.0f s\n", fault.name.c_str(),
                seen.c_str(), recovery_s, rows, Seconds(started));
}

INSTANTIATE_TEST_SUITE_P(Gateway, FaultMatrix, ::testing::ValuesIn(AllCases()),
                         [](const ::testing::TestParamInfo<FaultCase>& param_info) {
                             return param_info.param.name;
                         });

} // namespace
