// The data-log check the end-to-end tests apply to every line, on lines recorded from a run
// with the battery charging fast: the devices are read one after another, so within one line
// the meters read later in the polling cycle show a fuller battery than the display unit.
#include "tests/e2e/e2e_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

e2e::CsvLog ChargingLog() {
    e2e::CsvLog log;
    log.names = {"Time", "Home:VOLTAGE", "Home:SOC", "Corvo:12:VOLTAGE", "Corvo:12:SOC"};
    log.formats = {"Format", "%.2f", "%.1f", "%.3f", "%.1f"};
    // One line per polling cycle, about 17 simulated minutes apart at clock speed 60.
    log.rows = {{"26-12-09 11:20:43", "13.57", "70.1", "13.605", "79.7"},
                {"26-12-09 11:38:08", "13.57", "70.1", "13.605", "79.7"},
                {"26-12-09 11:55:06", "13.60", "81.6", "13.586", "89.1"},
                {"26-12-09 12:11:24", "13.61", "90.8", "14.305", "99.2"}};
    return log;
}

std::string Problems(const e2e::CsvLog& log) {
    std::string text;
    for (size_t r = 0; r < log.rows.size(); ++r)
        for (const std::string& problem : e2e::CheckRow(log, r))
            text += problem + "\n";
    return text;
}

TEST(LogCheck, MetersReadLaterInTheCycleAgreeWithTheDisplayUnitsNeighbouringLines) {
    // Corvo's 79.7 % against Home's 70.1 % in the same line is a later read, not a fault; the
    // last line has no later display unit read to compare with.
    EXPECT_EQ(Problems(ChargingLog()), "");
}

TEST(LogCheck, FindsAValueInAnotherPlaceOrOutsideItsColumn) {
    e2e::CsvLog log = ChargingLog();
    log.rows[1][3] = "12.100"; // a voltage far below all the display unit read around it
    log.rows[2][4] = "35.0";   // a state of charge the battery had not had for hours
    log.rows[3][3] = "17.500"; // the last line is still checked against its column's range
    const std::string problems = Problems(log);
    EXPECT_NE(problems.find("11:38:08 Corvo:12:VOLTAGE = 12.100 differs"), std::string::npos)
        << problems;
    EXPECT_NE(problems.find("11:55:06 Corvo:12:SOC = 35.0 differs"), std::string::npos) << problems;
    EXPECT_NE(problems.find("12:11:24 Corvo:12:VOLTAGE = 17.500 is outside"), std::string::npos)
        << problems;
    EXPECT_EQ(std::count(problems.begin(), problems.end(), '\n'), 3) << problems;
}

} // namespace
