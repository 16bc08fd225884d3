// The real program against every fault the simulated gateway can make. For each one: the
// program keeps running and answering input, shows what belongs to that fault (the failed
// device's diagnostic, or for a lost connection the banner and the connect page), recovers
// (polling goes on, or CONNECT brings the pages back), and every line of the data log is
// whole, in time order, and holds values that fit their columns and agree with each other,
// and the tiles show the values the log holds, so no value has landed in another device's or
// register's place.
#include "tests/e2e/e2e_util.h"
#include "tests/e2e/screen_text.h"
#include "tests/util/simulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using e2e::ProgramSession;

enum class Outcome {
    Kept, // single bad answers: the device's request fails, the connection stays
    Lost, // the connection ends: banner, connect page, CONNECT again
    // Either of the two: the client waits for the byte a too long MBAP length promises until
    // its receive timeout ends the connection, or it could drop the one bad answer.
    KeptOrLost,
};

// The connection task says "send/receife data failed" twice when it gives a connection up; on a
// busy machine another task's line may come between the two.
constexpr const char* kLostLine = "send/receife data failed\n";

// Waits until the connection task has said twice, after `from`, that it gave up.
bool LostSaid(ProgramSession& session, size_t from, int seconds) {
    return session.WaitFor(
        [&] { return ProgramSession::Count(session.Output(), kLostLine, from) >= 2; }, seconds);
}

struct FaultCase {
    std::string name;
    std::vector<std::string> options; // besides --clock-speed 60
    Outcome outcome;
    const char* diagnostic; // a line the program prints when the fault strikes
    int tab_x = -1;         // the tab of the struck device's page: its tile must grey and recover
};

// Test names and failures show the case by its name, not as bytes.
void PrintTo(const FaultCase& fault, std::ostream* out) {
    *out << fault.name;
}

// Faults strike every Nth request counted from the first; N above 70 lets the search over
// unit ids 1 to 70 run through untouched, so every case starts from the whole device list.
// A polling cycle of the full scenario is 73 requests: N = 97 moves the strike through the
// cycle instead of failing the same request (and the rest of its device) every time.
// One case a line or two, easier to scan than one field a line.
// clang-format off
const FaultCase kCases[] = {
    {"DropAfterRequests", {"--scenario", "full", "--drop-after", "260"}, Outcome::Lost,
     "receive failed: connection closed by the gateway"},
    {"DelayBeyondTimeout", {"--scenario", "full", "--delay", "11000/200"}, Outcome::Lost,
     "receive failed with error: 110"},
    {"LateAnswer", {"--scenario", "full", "--late", "11000/200"}, Outcome::Lost,
     "receive failed with error: 110"},
    // Requests to unit 9 whose number is a multiple of 5 go unanswered: its search request
    // (the ninth) and its first poll pass, one of the next few cycles meets the silence.
    {"SilentUnit", {"--scenario", "full", "--silent", "9/5"}, Outcome::Lost,
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
    // Every 300th request: the search and the first poll (about 145 requests) get through.
    {"MbapLengthLong", {"--scenario", "full", "--length-long", "300"}, Outcome::KeptOrLost,
     "receive failed with error: 110"},
};
// clang-format on

// The default scenario's pages: Home, Quill, Graph, Amprix, RV100/30, the Celton of unit 3,
// then the Celton of unit 4.
constexpr int kSecondCeltonTabX = 548;
constexpr int kTabY = 74;
// The first tile's name field: dark green while its device answers, grey while it does not.
constexpr int kNameFieldX = 20, kNameFieldY = 100;
constexpr uint32_t kOnline = 0x006600, kOffline = 0x808080;
constexpr int kHomeTabX = 40;
// The second Celton's battery voltage on its page ("13.17 V"), and its log column.
constexpr int kBatteryTextX0 = 5, kBatteryTextY0 = 130, kBatteryTextX1 = 100, kBatteryTextY1 = 180;
constexpr uint32_t kValueGreen = 0x00FF00;
constexpr const char* kSecondCeltonVoltage = "Celton:4:VOLTAGE";

// One case per exception code, on the small scenario's second protector (unit 4): requests to
// it whose number is a multiple of 3 fail. Its search request (the fourth) passes, and as a
// polling cycle of that scenario is 40 requests, every third cycle fails.
std::vector<FaultCase> ExceptionCases() {
    std::vector<FaultCase> cases;
    for (int code = 1; code <= 11; ++code) {
        cases.push_back(
            {"ExceptionCode" + std::to_string(code),
             {"--scenario", "default", "--exception", "4:" + std::to_string(code) + "/3"},
             Outcome::Kept,
             "Slave id:4 MB Error!",
             kSecondCeltonTabX});
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

// Data lines in the newest log file so far.
size_t RowsInNewest(const ProgramSession& session) {
    return e2e::ReadNewestLog(session).rows.size();
}

bool WaitForRows(const ProgramSession& session, size_t count, int seconds) {
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    while (Clock::now() < end) {
        if (RowsInNewest(session) >= count) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return false;
}

// The devices named by the Modbus event lines after `from` that end with `ending`, in order.
std::vector<std::string> ModbusEventDevices(const std::string& out, size_t from,
                                            const std::string& ending) {
    std::vector<std::string> devices;
    for (size_t at = out.find(" Modbus ", from); at != std::string::npos;
         at = out.find(" Modbus ", at + 1)) {
        const size_t begin = out.rfind('\n', at) + 1; // 0 when it is the first line
        const size_t end = out.find('\n', at);
        if (end == std::string::npos) break;
        const std::string line = out.substr(begin, end - begin);
        if (line.size() > ending.size() &&
            line.compare(line.size() - ending.size(), ending.size(), ending) == 0)
            devices.push_back(out.substr(begin, at - begin));
    }
    return devices;
}

// A value a tile shows, with the log column of the same register and how far it may lie
// outside what the log held around the screenshot (currents follow the loads within a cycle).
struct ShownValue {
    std::string text; // as read from the screen, e.g. "Ubat:  12.35 V"
    std::string column;
    double slack;
};

// The Home tile's value lines, each the display unit's own register.
struct HomeLine {
    const char* label;
    const char* column;
    double slack;
};
constexpr HomeLine kHomeLines[] = {{"Ubat:", "Home:VOLTAGE", 0.05},
                                   {"Ibat:", "Home:CURRENT", 1.0},
                                   {"Iin:", "Home:I_IN", 1.0},
                                   {"Iout:", "Home:I_OUT", 1.0},
                                   {"Cnt:", "Home:COUNT", 0.5}};
constexpr const char* kHomeAlphabet = "UbatIinouC:0123456789.-VAh";

// The number in a shown text: after the label's colon when there is one, before the unit.
bool NumberIn(const std::string& text, double* value) {
    const size_t colon = text.find(':');
    const char* begin = text.c_str() + (colon == std::string::npos ? 0 : colon + 1);
    char* end = nullptr;
    *value = std::strtod(begin, &end);
    return end != begin && (*end == ' ' || *end == '\0');
}

// Every shown value lies within what its log column held in the rows written just before and
// just after the screenshot (`rows_before` rows were in the newest file when it was taken).
void CheckShownAgainstLog(const ProgramSession& session, size_t rows_before,
                          const std::vector<ShownValue>& shown, const std::string& picture) {
    // Rows written after it show where the values went next; when the connection ends before
    // they come, the rows before it must do.
    WaitForRows(session, rows_before + 2, 20);
    const e2e::CsvLog log = e2e::ReadNewestLog(session);
    ASSERT_FALSE(log.names.empty()) << "no log file";
    const size_t first = rows_before > 3 ? rows_before - 3 : 0;
    const size_t last = std::min(log.rows.size(), rows_before + 2);
    bool all_agree = true;
    for (const ShownValue& v : shown) {
        double value = 0;
        if (!NumberIn(v.text, &value)) {
            ADD_FAILURE() << "no number read for " << v.column << ": \"" << v.text << "\"";
            all_agree = false;
            continue;
        }
        const auto at = std::find(log.names.begin(), log.names.end(), v.column);
        ASSERT_NE(at, log.names.end()) << "no log column " << v.column;
        const size_t column = size_t(at - log.names.begin());
        double low = 1e300, high = -1e300;
        for (size_t r = first; r < last; ++r) {
            double logged = 0;
            if (column >= log.rows[r].size() || !NumberIn(log.rows[r][column], &logged)) continue;
            low = std::min(low, logged), high = std::max(high, logged);
        }
        ASSERT_LE(low, high) << "no logged " << v.column << " around the screenshot";
        const bool agrees = value >= low - v.slack && value <= high + v.slack;
        EXPECT_TRUE(agrees) << "the screen shows \"" << v.text << "\", the log held " << low
                            << " to " << high << " in " << v.column;
        all_agree = all_agree && agrees;
    }
    if (!all_agree) session.SaveScreen(picture);
}

// The Home tile's five lines against the log.
void CheckHomeValues(ProgramSession& session, const std::string& picture) {
    session.Click(kHomeTabX, kTabY);
    std::vector<ShownValue> shown;
    size_t rows_before = 0;
    const bool read = session.WaitFor(
        [&] {
            rows_before = RowsInNewest(session);
            shown.clear();
            for (const HomeLine& line : kHomeLines) {
                int x = 0, y = 0;
                if (!e2e::ShowsText(session, e2e::RenderText(line.label, FONT_8X16), 0, 80, 80, 260,
                                    &x, &y))
                    return false;
                shown.push_back({e2e::ReadText(session, FONT_8X16, x, y, kHomeAlphabet),
                                 line.column, line.slack});
            }
            return true;
        },
        15);
    if (!read) session.SaveScreen(picture);
    ASSERT_TRUE(read) << "the Home tile's value lines were not found";
    CheckShownAgainstLog(session, rows_before, shown, picture);
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
    const size_t rows_at_connect = RowsInNewest(session);
    const auto started = Clock::now();
    std::string seen;
    double recovery_s = 0;

    bool lost = fault.outcome == Outcome::Lost;
    if (fault.outcome == Outcome::KeptOrLost)
        lost = LostSaid(session, connected_at, 45);

    if (lost) {
        // The connection task ends the connection and says why; the banner tells the user and
        // the connect page comes back.
        ASSERT_TRUE(session.WaitForOutput(fault.diagnostic, connected_at, 60))
            << "no \"" << fault.diagnostic << "\"; the program said:\n"
            << session.Output().substr(connected_at, 3000);
        ASSERT_TRUE(LostSaid(session, connected_at, 15))
            << "the connection task did not say it gave up; the program said:\n"
            << session.Output().substr(connected_at, 3000);
        const auto lost_at = Clock::now();
        EXPECT_TRUE(session.WaitFor([&] { return session.BannerShown(); }, 20))
            << "no banner after the loss";
        ASSERT_TRUE(session.WaitFor([&] { return session.ConnectPageShown(); }, 30))
            << "no connect page after the loss";
        session.SaveScreen("e2e_fault_" + fault.name + "_lost.png");
        // CONNECT brings the pages back with a new log file, and the program answers input.
        ASSERT_TRUE(session.Connect(60)) << "no pages after CONNECT";
        recovery_s = Seconds(lost_at);
        EXPECT_TRUE(session.AnswersInput()) << "the information window did not open and close";
        EXPECT_GE(session.LogFiles().size(), 2u) << "no new log file after reconnecting";
        // Soon: a gateway that drops every connection after a while leaves only that long.
        CheckHomeValues(session, "e2e_fault_" + fault.name + "_home.png");
        seen = std::string("\"") + fault.diagnostic +
               "\", banner, connect page; CONNECT brings the pages back";
    } else {
        const bool struck = fault.diagnostic != nullptr && fault.outcome == Outcome::Kept;
        seen = "nothing: the answers are read whole";
        if (struck) {
            // The event scan reports the device's Modbus alarm once when it comes and once
            // when it goes; the time between the two is the recovery time.
            std::string device;
            ASSERT_TRUE(session.WaitFor(
                [&] {
                    const auto came = ModbusEventDevices(session.Output(), connected_at, " raised");
                    if (!came.empty()) device = came.front();
                    return !came.empty();
                },
                30))
                << "no Modbus event line came";
            const auto came_at = Clock::now();
            EXPECT_TRUE(session.WaitFor(
                [&] {
                    const auto went =
                        ModbusEventDevices(session.Output(), connected_at, " cleared");
                    return std::find(went.begin(), went.end(), device) != went.end();
                },
                30))
                << "the Modbus event of " << device << " did not go";
            recovery_s = Seconds(came_at);
            EXPECT_TRUE(session.WaitForOutput(fault.diagnostic, connected_at, 40))
                << "no \"" << fault.diagnostic << "\"; the program said:\n"
                << session.Output().substr(connected_at, 3000);
            seen = std::string("\"") + fault.diagnostic + "\", \"" + device +
                   " Modbus ... raised\", then \"... cleared\"";
        }
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
            seen += ", its tile grey, then green again";
            // Its battery voltage is the one its log column holds.
            const size_t rows_before = RowsInNewest(session);
            const std::string voltage =
                e2e::FindAndReadText(session, FONT_20B, kBatteryTextX0, kBatteryTextY0,
                                     kBatteryTextX1, kBatteryTextY1, "0123456789.-V ", kValueGreen);
            CheckShownAgainstLog(session, rows_before, {{voltage, kSecondCeltonVoltage, 0.05}},
                                 "e2e_fault_" + fault.name + "_tile.png");
            session.Click(kHomeTabX, kTabY); // back to Home
        }
        CheckHomeValues(session, "e2e_fault_" + fault.name + "_home.png");
        // Polling goes on: new log lines keep coming while the fault strikes again and again.
        EXPECT_TRUE(WaitForRows(session, rows_at_connect + 3, 40)) << "the log stopped";
        EXPECT_TRUE(session.AnswersInput()) << "the information window did not open and close";
        EXPECT_TRUE(session.PagesShown());
        // The connection held.
        const std::string out = session.Output();
        EXPECT_EQ(ProgramSession::Count(out, "start Modbus connection", connected_at), 0u)
            << out.substr(connected_at, 3000);
        if (!struck) {
            EXPECT_EQ(ProgramSession::Count(out, "MB Error!", connected_at), 0u)
                << out.substr(connected_at, 3000);
        }
    }

    EXPECT_TRUE(session.Alive());
    const size_t rows = CheckLogs(session);
    EXPECT_GE(rows, 2u);
    EXPECT_EQ(session.Stop(), 0);
    std::printf("fault row | %s | %s | %.1f s | %zu log lines, Home's 5 shown values%s | %.0f s\n",
                fault.name.c_str(), seen.c_str(), recovery_s, rows,
                fault.tab_x >= 0 ? ", the tile's voltage" : "", Seconds(started));
}

INSTANTIATE_TEST_SUITE_P(Gateway, FaultMatrix, ::testing::ValuesIn(AllCases()),
                         [](const ::testing::TestParamInfo<FaultCase>& param_info) {
                             return param_info.param.name;
                         });

} // namespace
