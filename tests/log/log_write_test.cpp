#include "log/log.h"

#include "base/dbg.h"
#include "config/settings.h"
#include "devices/device_list.h"
#include "tests/log/log_scratch.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string g_output;

void CaptureOutput(const char* text, int length) {
    g_output.append(text, length);
}

int g_hook_calls = 0;
int32_t g_lines_seen_by_hook = -1;

void CountLineAdded() {
    ++g_hook_calls;
    g_lines_seen_by_hook = LOG_LinesWritten();
}

// Sets the display unit's clock registers.
void SetClock(int year, int month, int day, int hour, int minute, int second) {
    RegisterCell* map = g_register_store.data();
    Reg_Set(map, 144, static_cast<uint16_t>(hour | minute << 8));
    Reg_Set(map, 145, static_cast<uint16_t>(second));
    Reg_Set(map, 154, static_cast<uint16_t>(month << 8));
    Reg_Set(map, 155, static_cast<uint16_t>(day | year << 8));
}

RegisterCell* Window(int32_t index) {
    return g_device_list.entries[index].registers.load();
}

// Runs the body in a child process (which may give up root rights first, so that file
// permissions apply) and gives its exit status: 0 passed, 77 could not drop rights.
template <typename Body> int InChild(bool drop_root, Body body) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (drop_root && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(77);
        ::_exit(body() ? 0 : 1);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

class LogWrite : public ::testing::Test {
  protected:
    void SetUp() override {
        DEV_Clear();
        DEV_BeginSearch();
        g_output.clear();
        g_hook_calls = 0;
        DBG_SetSink(CaptureOutput);
    }
    void TearDown() override {
        LOG_SetLineAddedHook(nullptr);
        DBG_SetSink(nullptr);
    }

    std::string LogFile() const { return ReadBytes(LOG_Path()); }

    LogScratch scratch_;
};

TEST_F(LogWrite, FileNumbersAdvanceAndWrapAfter9999) {
    // No settings file: the stored number is 0, so the first file is log1.csv.
    ASSERT_EQ(LOG_Init(), 0);
    EXPECT_EQ(LOG_Path(), scratch_.DataFile("log1.csv"));
    EXPECT_EQ(CONFIG_GetLogFileNr(), 1);

    ASSERT_EQ(CONFIG_SetLogFileNr(9999), 1);
    ASSERT_EQ(LOG_Init(), 0);
    EXPECT_EQ(LOG_Path(), scratch_.DataFile("log0.csv"));
    EXPECT_EQ(CONFIG_GetLogFileNr(), 0);
    EXPECT_EQ(ReadBytes(scratch_.DataFile("log0.csv")), "Time;\r\nFormat;\r\n");

    // A negative stored number compares as a large unsigned one.
    ASSERT_EQ(CONFIG_SetLogFileNr(-5), 1);
    ASSERT_EQ(LOG_Init(), 0);
    EXPECT_EQ(LOG_Path(), scratch_.DataFile("log0.csv"));

    // An old file of the same number is replaced whole.
    WriteBytes(scratch_.DataFile("log42.csv"), std::string(5000, 'x'));
    ASSERT_EQ(CONFIG_SetLogFileNr(41), 1);
    ASSERT_EQ(LOG_Init(), 0);
    EXPECT_EQ(ReadBytes(scratch_.DataFile("log42.csv")), "Time;\r\nFormat;\r\n");
}

TEST_F(LogWrite, CeltonAtUnit5HeadersAndScaledValues) {
    const int32_t celton = DEV_AppendDevice(5, DeviceTypeTable[DEV_TYPE_CELTON]);
    ASSERT_EQ(celton, 0);
    ASSERT_EQ(LOG_Init(), 0);
    const std::string headers = "Time;Celton:5:VOLTAGE;Celton:5:TEMP;Celton:5:LVP;Celton:5:OVP;"
                                "Celton:5:BL;\r\n"
                                "Format;%.2f;%.1f;%d;%d;%d;\r\n";
    EXPECT_EQ(LogFile(), headers);

    RegisterCell* w = Window(celton);
    Reg_Set(w, 7, 3251); // 3251 / 250 = 13.004
    Reg_Set(w, 8, 1000); // (1000 - 300) / 5 = 140.0
    Reg_Set(w, 14, 1);
    Reg_Set(w, 15, 0);
    Reg_Set(w, 12, 65535);
    ASSERT_EQ(LOG_Put(), 0);
    Reg_Set(w, 8, 0); // (0 - 300) / 5
    ASSERT_EQ(LOG_Put(), 0);
    // No display unit: its clock registers read as zeros.
    EXPECT_EQ(LogFile(), headers + "00-00-00 00:00:00;13.00;140.0;1;0;65535;\r\n"
                                   "00-00-00 00:00:00;13.00;-60.0;1;0;65535;\r\n");
    EXPECT_EQ(g_output, "");
}

TEST_F(LogWrite, DisplayGroupGoesWithoutUnitIdAndStampsItsClock) {
    ASSERT_EQ(DEV_CreateDisplayGroup(9), 0);
    ASSERT_EQ(DEV_AppendDevice(5, DeviceTypeTable[DEV_TYPE_CELTON]), DEV_GROUP_SIZE);
    ASSERT_EQ(LOG_Init(), 0);
    const std::string file = LogFile();
    EXPECT_EQ(file.rfind("Time;Quill:INPUT1;Quill:INPUT2;", 0), 0u) << file;
    EXPECT_NE(file.find(";Home:P_IN;Home:P_OUT;"), std::string::npos);
    EXPECT_NE(file.find(";Amprix 4:CURRENT;Levra 1:LEVEL;"), std::string::npos);
    EXPECT_NE(file.find(";Levra 4:LEVEL;Celton:5:VOLTAGE;"), std::string::npos);
    // "Graph" has no columns: 8 + 8 + 4 + 4 display columns, then the Celton's 5.
    const std::string first_line = file.substr(0, file.find("\r\n"));
    EXPECT_EQ(std::count(first_line.begin(), first_line.end(), ';'), 1 + 24 + 5);

    SetClock(25, 12, 24, 13, 7, 5);
    ASSERT_EQ(LOG_Put(), 0);
    const std::string data = LogFile().substr(file.size());
    EXPECT_EQ(data.rfind("25-12-24 13:07:05;", 0), 0u) << data;
    EXPECT_EQ(std::count(data.begin(), data.end(), ';'), 1 + 24 + 5);
    EXPECT_EQ(data.substr(data.size() - 2), "\r\n");
}

TEST_F(LogWrite, SignedAndFloatRegistersKeepTheirSign) {
    const int32_t rv = DEV_AppendDevice(7, DeviceTypeTable[DEV_TYPE_RV75_40]);
    ASSERT_GE(rv, 0);
    ASSERT_EQ(LOG_Init(), 0);
    const size_t headers = LogFile().size();
    RegisterCell* w = Window(rv);
    Reg_Set32(w, 800, static_cast<uint32_t>(-12345)); // CHG_CURRENT, 32 bits / 1000
    Reg_Set(w, 532, 400);                             // CHG_POWER
    Reg_Set(w, 536, 65535);                           // TEMP_INT, signed 16 bits
    Reg_Set(w, 537, static_cast<uint16_t>(-55));      // TEMP_BAT, signed / 10
    Reg_Set(w, 519, 0x12F0);                          // ERR, low byte
    Reg_Set(w, 528, 0x12F0);                          // OUT, high byte
    ASSERT_EQ(LOG_Put(), 0);
    EXPECT_EQ(LogFile().substr(headers), "00-00-00 00:00:00;-12.3;400;0.0;0;-1;-5.5;240;18;\r\n");
}

TEST_F(LogWrite, PutWithoutABegunFileWritesNothing) {
    // Before the first begin of the process, or, as here, after a begin that failed because
    // the data folder is gone: no line goes anywhere.
    std::filesystem::remove_all(scratch_.Data());
    EXPECT_EQ(LOG_Init(), -1);
    LOG_SetLineAddedHook(CountLineAdded);
    const int32_t lines = LOG_LinesWritten();
    EXPECT_EQ(LOG_Put(), -1);
    EXPECT_EQ(LOG_LinesWritten(), lines);
    EXPECT_EQ(g_hook_calls, 0);
    EXPECT_FALSE(std::filesystem::exists(scratch_.Data()));
}

TEST_F(LogWrite, EveryLineIsCountedAndAnnouncedAndANewFileCountsAfresh) {
    ASSERT_EQ(LOG_Init(), 0);
    LOG_SetLineAddedHook(CountLineAdded);
    for (int i = 1; i <= 3; ++i) {
        ASSERT_EQ(LOG_Put(), 0);
        EXPECT_EQ(LOG_LinesWritten(), i);
        // The history page is told after the line is in the file and counted.
        EXPECT_EQ(g_hook_calls, i);
        EXPECT_EQ(g_lines_seen_by_hook, i);
    }
    EXPECT_EQ(LogFile(), "Time;\r\nFormat;\r\n"
                         "00-00-00 00:00:00;\r\n00-00-00 00:00:00;\r\n00-00-00 00:00:00;\r\n");
    // After a reconnection the count describes the new file, whose lines the history reads.
    ASSERT_EQ(LOG_Init(), 0);
    EXPECT_EQ(LOG_LinesWritten(), 0);
    EXPECT_EQ(g_hook_calls, 3);
}

TEST_F(LogWrite, TheLargestDeviceListFitsOnALine) {
    for (int32_t unit = 1; unit <= DEV_LIST_SIZE; ++unit)
        ASSERT_GE(DEV_AppendDevice(unit, DeviceTypeTable[DEV_TYPE_RV100_30]), 0);
    ASSERT_EQ(LOG_Init(), 0);
    for (int32_t i = 0; i < DEV_LIST_SIZE; ++i)
        Reg_Set32(Window(i), 800, 0x80000000u); // the longest value text of the type
    ASSERT_EQ(LOG_Put(), 0);
    const std::string file = LogFile();
    const size_t fields = static_cast<size_t>(std::count(file.begin(), file.end(), ';'));
    EXPECT_EQ(fields, 3 * (1 + 8 * static_cast<size_t>(DEV_LIST_SIZE)));
    EXPECT_NE(file.find("RV100/30:265:OUT;\r\n"), std::string::npos);
    EXPECT_NE(file.find(";-2147483.8;"), std::string::npos);
}

TEST_F(LogWrite, AWriteStoppedPartWayLeavesOnlyWholeLines) {
    const int32_t celton = DEV_AppendDevice(5, DeviceTypeTable[DEV_TYPE_CELTON]);
    ASSERT_EQ(LOG_Init(), 0);
    ASSERT_EQ(LOG_Put(), 0);
    const std::string before = LogFile();
    Reg_Set(Window(celton), 7, 9997);

    // The file may grow by only 10 bytes: the write stops inside the line.
    const int status = InChild(false, [&] {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit {};
        limit.rlim_cur = limit.rlim_max = before.size() + 10;
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return false;
        LOG_SetLineAddedHook(CountLineAdded);
        return LOG_Put() == -1 && LOG_LinesWritten() == 1 && g_hook_calls == 0;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(LogFile(), before);
    // The next minute's line follows the last whole line.
    ASSERT_EQ(LOG_Put(), 0);
    EXPECT_EQ(LogFile(), before + "00-00-00 00:00:00;39.99;-60.0;0;0;0;\r\n");
}

TEST_F(LogWrite, AReadOnlyDataFolderFailsWithTheMessageAndKeepsTheOldLines) {
    ASSERT_EQ(LOG_Init(), 0);
    ASSERT_EQ(LOG_Put(), 0);
    const std::string old_path = LOG_Path();
    const std::string before = ReadBytes(old_path);
    ASSERT_EQ(::chmod(old_path.c_str(), 0444), 0);
    ASSERT_EQ(::chmod(scratch_.Root().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(scratch_.Data().c_str(), 0555), 0);

    const int status = InChild(true, [&] {
        // The old file cannot take a line; no new file can be begun.
        const bool put_refused = LOG_Put() == -1;
        const bool init_refused = LOG_Init() == -1;
        const bool message = g_output == "Error writing LogFileNr\n";
        // Nothing goes anywhere after a failed begin.
        const bool still_refused = LOG_Put() == -1;
        return put_refused && init_refused && message && still_refused;
    });
    ::chmod(scratch_.Data().c_str(), 0755);
    if (status == 77) GTEST_SKIP() << "cannot give up root rights here";
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadBytes(old_path), before);
    EXPECT_FALSE(std::filesystem::exists(scratch_.DataFile("log2.csv")));
}

// Every column is printed with its format and an int (divisor 1) or a double (any other
// divisor): a format that wants anything else would print garbage or worse.
TEST(LogColumns, EveryFormatTakesTheArgumentItsDivisorGives) {
    for (const DeviceType* type : DeviceTypeTable) {
        const LogLayout* layout = type->log_columns;
        ASSERT_NE(layout, nullptr);
        for (int32_t c = 0; c < layout->column_count; ++c) {
            const LogColumn& column = layout->columns[c];
            SCOPED_TRACE(std::string(layout->long_name) + ":" + column.name);
            ASSERT_NE(column.divisor, 0);
            ASSERT_LT(strnlen(column.format, sizeof column.format), sizeof column.format);
            int conversions = 0;
            char conversion = 0;
            for (const char* p = column.format; *p != '\0'; ++p) {
                if (*p != '%') continue;
                if (p[1] == '%') {
                    ++p;
                    continue;
                }
                ++p;
                while (*p != '\0' && std::strchr("-+ #0123456789.", *p) != nullptr)
                    ++p;
                conversion = *p;
                ++conversions;
                if (*p == '\0') break;
            }
            EXPECT_EQ(conversions, 1);
            if (column.divisor == 1)
                EXPECT_TRUE(conversion == 'd' || conversion == 'i') << column.format;
            else
                EXPECT_NE(std::strchr("feEgG", conversion), nullptr) << column.format;
        }
    }
}

} // namespace
