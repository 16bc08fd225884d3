// The whole-file log reader: time stamps both ways, and a file with every kind of damage read
// to its end with each bad line reported by number and the good ones used.
#include "log/log_scan.h"

#include "tests/util/scratch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(LogScanTime, StampsReadAndWriteTheCalendar) {
    int64_t t = 0;
    ASSERT_TRUE(LOGSCAN_ParseTime("00-01-01 00:00:00", &t));
    EXPECT_EQ(t, 0);
    ASSERT_TRUE(LOGSCAN_ParseTime("24-02-29 23:59:59", &t)); // a leap day
    EXPECT_EQ(t, LOGSCAN_Seconds(2024, 3, 1, 0, 0, 0) - 1);
    char text[24];
    LOGSCAN_FormatTime(t, text, sizeof text);
    EXPECT_STREQ(text, "2024-02-29 23:59:59");
    // Every minute of a non-leap and a leap year goes there and back.
    for (int64_t s = LOGSCAN_Seconds(2023, 1, 1, 0, 0, 0); s < LOGSCAN_Seconds(2025, 1, 1, 0, 0, 0);
         s += 3599) {
        LOGSCAN_FormatTime(s, text, sizeof text);
        int64_t back = -1;
        ASSERT_TRUE(LOGSCAN_ParseTime(std::string(text + 2), &back)) << text;
        ASSERT_EQ(back, s);
    }
    // Not times: the writer's zeros without a display unit, impossible dates, damaged text.
    for (const char* bad : {"00-00-00 00:00:00", "23-02-29 10:00:00", "26-13-01 10:00:00",
                            "26-04-31 10:00:00", "26-01-01 24:00:00", "26-01-01 10:60:00",
                            "26-01-01 10:00", "26-01-01 10:00:0x", "26/01/01 10:00:00", ""})
        EXPECT_FALSE(LOGSCAN_ParseTime(bad, &t)) << bad;
}

struct Message {
    int64_t line;
    std::string text;
};

void Collect(void* context, const char*, int64_t line, const char* message) {
    static_cast<std::vector<Message>*>(context)->push_back({line, message});
}

TEST(LogScanFile, BadLinesAreReportedByNumberAndTheRestIsUsed) {
    ScratchFolder folder("veltra-scan");
    const std::string path = folder.File("log4.csv");
    WriteBytes(path, "Time;A:1:V;A:1:I;\r\n"          // 1
                     "Format;%.2f;%d;\r\n"            // 2
                     "26-12-08 10:00:00;12.50;3;\r\n" // 3 good
                     "26-12-08 10:01:00;12.60;\r\n"   // 4 too few
                     "26-12-08 10:02:00;1;2;3;\r\n"   // 5 too many
                     "26-12-08 10:03:00;1;2;x\r\n"    // 6 text after the last field
                     "\r\n"                           // 7 empty
                     "26-13-08 10:04:00;1;2;\r\n"     // 8 bad time
                     "26-12-08 10:05:00;12.70;4;\n"   // 9 good, bare line feed
                     "Time;A:1:I;B:2:V;\r\n"          // 10 new header
                     "Format;%d;%.1f;\r\n"            // 11
                     "26-12-08 10:06:00;5;13.1;\r\n"  // 12 good under the new header
                     "26-12-08 10:07:00;6;1");        // 13 unfinished
    LogScan scan;
    std::vector<Message> messages;
    scan.report = Collect;
    scan.context = &messages;
    ASSERT_EQ(LOGSCAN_Open(&scan, path), 0);
    EXPECT_EQ(scan.names, (std::vector<std::string>{"A:1:V", "A:1:I"}));
    std::vector<std::string> used;
    while (LOGSCAN_Next(&scan) == 1) {
        std::string line = std::to_string(scan.line_number) + ":";
        const int i = LOGSCAN_Column(&scan, "A:1:I");
        line += std::string(scan.fields[static_cast<size_t>(i)]);
        used.push_back(line);
    }
    EXPECT_EQ(used, (std::vector<std::string>{"3:3", "9:4", "12:5"}));
    EXPECT_EQ(scan.formats, (std::vector<std::string>{"%d", "%.1f"}));
    EXPECT_EQ(LOGSCAN_Column(&scan, "A:1:V"), -1);
    EXPECT_EQ(scan.header_changes, 1);
    EXPECT_EQ(scan.lines_skipped, 6);
    std::vector<std::string> texts;
    for (const Message& m : messages)
        texts.push_back(std::to_string(m.line) + " " + m.text);
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "4 2 fields where the header has 3: too few, skipped",
                         "5 4 fields where the header has 3: too many, skipped",
                         "6 4 fields where the header has 3: too many, skipped",
                         "7 empty line, skipped",
                         "8 bad time stamp \"26-13-08 10:04:00\", skipped",
                         "10 the header changes here; its 2 columns are used from here on",
                         "13 last line unfinished (no line end), skipped",
                     }));
    LOGSCAN_Close(&scan);

    // Missing, unreadable and foreign files say so and give nothing.
    messages.clear();
    EXPECT_EQ(LOGSCAN_Open(&scan, folder.File("log5.csv")), -1);
    std::filesystem::create_directory(folder.File("log6.csv"));
    EXPECT_EQ(LOGSCAN_Open(&scan, folder.File("log6.csv")), -1);
    WriteBytes(folder.File("log7.csv"), "hello\n");
    EXPECT_EQ(LOGSCAN_Open(&scan, folder.File("log7.csv")), -2);
    EXPECT_EQ(LOGSCAN_Next(&scan), 0);
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].text, "cannot be read: No such file or directory");
    EXPECT_EQ(messages[1].text, "cannot be read: Is a directory");
    EXPECT_EQ(messages[2].text, "no log header (the first line does not begin with \"Time;\")");
}

TEST(LogScanFile, LinesAcrossManyReadBlocksAndOneTooLongLine) {
    ScratchFolder folder("veltra-scan");
    std::string text = "Time;V;\r\nFormat;%d;\r\n";
    for (int i = 0; i < 40000; ++i) {
        char line[48];
        std::snprintf(line, sizeof line, "26-12-%02d %02d:%02d:00;%d;\r\n", 1 + i / 1440,
                      i / 60 % 24, i % 60, i);
        text += line;
        if (i == 20000) text += std::string(600 * 1024, 'x') + "\r\n"; // a line of 600 KiB
    }
    WriteBytes(folder.File("log1.csv"), text);
    LogScan scan;
    ASSERT_EQ(LOGSCAN_Open(&scan, folder.File("log1.csv")), 0);
    int expected = 0;
    while (LOGSCAN_Next(&scan) == 1) {
        ASSERT_EQ(std::string(scan.fields[1]), std::to_string(expected)) << scan.line_number;
        ++expected;
    }
    EXPECT_EQ(expected, 40000);
    EXPECT_EQ(scan.lines_skipped, 1);
}

} // namespace
