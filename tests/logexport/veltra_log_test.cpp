// veltra-log run as the user runs it, over data folders of generated log files: the listing,
// the columns of a span, the CSV joined over files whose columns differ (checked against the
// files' own lines), the plot, every kind of bad input with its message and exit code, and that
// nothing but the asked file is written.
#include "log/log_scan.h"

#include "tests/util/scratch.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string kTool = std::string(VELTRA_BINARY_DIR) + "/tools/veltra-log/veltra-log";

struct ToolRun {
    int code = -1;
    std::string out;
    std::string err;
};

ToolRun Tool(const ScratchFolder& work, const std::string& args) {
    const std::string out = work.File("stdout.txt");
    const std::string err = work.File("stderr.txt");
    const std::string command = kTool + " " + args + " >" + out + " 2>" + err;
    const int status = std::system(command.c_str());
    ToolRun r;
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = ReadBytes(out);
    r.err = ReadBytes(err);
    return r;
}

// A log file as the program writes it: the columns' values of minute i are i x 10 + column.
std::string LogText(const std::vector<std::string>& columns, int64_t first, int lines,
                    int64_t step = 60) {
    std::string text = "Time;";
    for (const std::string& c : columns)
        text += c + ";";
    text += "\r\nFormat;";
    for (size_t c = 0; c < columns.size(); ++c)
        text += "%d;";
    text += "\r\n";
    for (int i = 0; i < lines; ++i) {
        char stamp[24];
        LOGSCAN_FormatTime(first + i * step, stamp, sizeof stamp);
        text += std::string(stamp + 2) + ";";
        for (size_t c = 0; c < columns.size(); ++c)
            text += std::to_string(i * 10 + static_cast<int>(c)) + ";";
        text += "\r\n";
    }
    return text;
}

std::set<std::string> Listing(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(
            entry.path().filename().string() + ":" +
            std::to_string(
                std::filesystem::last_write_time(entry.path()).time_since_epoch().count()));
    return names;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

class VeltraLog : public ::testing::Test {
  protected:
    std::string Data(const std::string& name) const { return data.File(name); }
    ScratchFolder data{"veltra-logdata"};
    ScratchFolder work{"veltra-logwork"};
    const int64_t t0 = LOGSCAN_Seconds(2026, 12, 8, 23, 0, 0);
};

TEST_F(VeltraLog, ExportJoinsFilesByColumnNameAndTimeWithTheirOwnValues) {
    // Three connections: the second lacks "Bank:5:TEMP" and has its columns in another order;
    // 20 and 5 minutes without a line between them; numbering wrapped (log9999 before log0).
    WriteBytes(Data("log9998.csv"), LogText({"Home:SOC", "Bank:5:VOLTAGE", "Bank:5:TEMP"}, t0, 30));
    WriteBytes(Data("log9999.csv"),
               LogText({"Bank:5:VOLTAGE", "Brant:6:CURRENT", "Home:SOC"}, t0 + 50 * 60, 40));
    WriteBytes(Data("log0.csv"),
               LogText({"Home:SOC", "Bank:5:VOLTAGE", "Bank:5:TEMP"}, t0 + 95 * 60, 30));
    const std::set<std::string> before = Listing(data.Path());

    ToolRun r = Tool(work, "--data-dir " + data.Path() + " files");
    EXPECT_EQ(r.code, 0) << r.err;
    const std::vector<std::string> files = Lines(r.out);
    ASSERT_EQ(files.size(), 4u);
    EXPECT_EQ(files[1],
              "log9998.csv  2026-12-08 23:00:00  2026-12-08 23:29:00       30  Home, Bank:5");
    EXPECT_EQ(files[2].substr(0, 12), "log9999.csv ");
    EXPECT_NE(files[2].find("     40  Bank:5, Brant:6, Home"), std::string::npos) << files[2];
    EXPECT_EQ(files[3].substr(0, 12), "log0.csv    ");

    r = Tool(work,
             "--data-dir " + data.Path() + " columns --from '26-12-08 23:40:00' --to 2026-12-09");
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(Lines(r.out), (std::vector<std::string>{"Bank:5:VOLTAGE", "Brant:6:CURRENT",
                                                      "Home:SOC", "Bank:5:TEMP"}));

    // Across both joins, into the next day.
    const std::string csv = work.File("out.csv");
    r = Tool(work, "--data-dir " + data.Path() +
                       " export --from '2026-12-08 23:25' --to '2026-12-09 00:40'"
                       " --columns Bank:5:TEMP,Home:SOC,Nothing:X --csv " +
                       csv);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::vector<std::string> rows = Lines(ReadBytes(csv));
    ASSERT_EQ(rows.size(), 1u + 5 + 40 + 6);
    EXPECT_EQ(rows[0], "Time;Bank:5:TEMP;Home:SOC;Nothing:X");
    // Minute i of a file holds i x 10 + the column's place in that file.
    EXPECT_EQ(rows[1], "2026-12-08 23:25:00;252;250;");
    EXPECT_EQ(rows[5], "2026-12-08 23:29:00;292;290;");
    EXPECT_EQ(rows[6], "2026-12-08 23:50:00;;2;"); // no TEMP in the second file
    EXPECT_EQ(rows[45], "2026-12-09 00:29:00;;392;");
    EXPECT_EQ(rows[46], "2026-12-09 00:35:00;2;0;");
    EXPECT_EQ(rows.back(), "2026-12-09 00:40:00;52;50;");

    // Every 15 minutes: only the rows at quarter hours.
    r = Tool(work, "--data-dir " + data.Path() +
                       " export --from 2026-12-08 --to 2026-12-09 --columns Home:SOC --every 15"
                       " --csv -");
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(Lines(r.out), (std::vector<std::string>{
                                "Time;Home:SOC", "2026-12-08 23:00:00;0", "2026-12-08 23:15:00;150",
                                "2026-12-09 00:00:00;102", "2026-12-09 00:15:00;252",
                                "2026-12-09 00:45:00;100", "2026-12-09 01:00:00;250"}));

    // The data folder holds what it held, unchanged.
    EXPECT_EQ(Listing(data.Path()), before);
}

TEST_F(VeltraLog, BadInputIsNamedByFileAndLineAndTheRestIsExported) {
    std::string a = LogText({"V", "I"}, t0, 5);
    a += "26-12-08 23:05:00;1;\r\n";       // line 8: too few fields
    a += "26-12-08 23:06:00;1;2;3;\r\n";   // line 9: too many
    a += "26-12-08 23:01:30;7;7;\r\n";     // line 10: before the line before it
    a += "Time;I;V;\r\nFormat;%d;%d;\r\n"; // line 11: the header changes
    a += "26-12-08 23:07:00;70;71;\r\n";   // line 13: good, columns swapped
    a += "26-12-08 23:08:00;8";            // line 14: unfinished
    WriteBytes(Data("log1.csv"), a);
    std::filesystem::create_directory(Data("log2.csv")); // unreadable
    WriteBytes(Data("log3.csv"), "not a log\n");

    const std::string csv = work.File("out.csv");
    ToolRun r =
        Tool(work, "--data-dir " + data.Path() +
                       " export --from 2026-12-08 --to 2026-12-08 --columns V,I --csv " + csv);
    EXPECT_EQ(r.code, 1); // something was skipped
    EXPECT_EQ(Lines(ReadBytes(csv)),
              (std::vector<std::string>{"Time;V;I", "2026-12-08 23:00:00;0;1",
                                        "2026-12-08 23:01:00;10;11", "2026-12-08 23:02:00;20;21",
                                        "2026-12-08 23:03:00;30;31", "2026-12-08 23:04:00;40;41",
                                        "2026-12-08 23:07:00;71;70"}));
    const std::string log1 = "veltra-log: " + Data("log1.csv");
    for (const std::string& message :
         {log1 + ":8: 2 fields where the header has 3: too few, skipped",
          log1 + ":9: 4 fields where the header has 3: too many, skipped",
          log1 + ":10: time 2026-12-08 23:01:30 is before the line before it "
                 "(2026-12-08 23:04:00), skipped",
          log1 + ":11: the header changes here; its 2 columns are used from here on",
          log1 + ":14: last line unfinished (no line end), skipped"})
        EXPECT_NE(r.err.find(message + "\n"), std::string::npos) << message << "\n" << r.err;
    EXPECT_EQ(r.err.find(":9: ") < r.err.find(":10: "), true);

    // The listing names the unreadable and the foreign file.
    r = Tool(work, "--data-dir " + data.Path() + " files");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find(Data("log2.csv") + ": cannot be read: Is a directory"), std::string::npos);
    EXPECT_NE(r.err.find(Data("log3.csv") + ":1: no log header"), std::string::npos);
    EXPECT_NE(r.out.find("log2.csv     (unreadable or no log header)"), std::string::npos);

    // A span with no data.
    r = Tool(work, "--data-dir " + data.Path() +
                       " export --from 2027-01-01 --to 2027-01-02 --columns V --csv -");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("veltra-log: no data between 2027-01-01 00:00:00 and 2027-01-02 "
                         "23:59:59 in " +
                         data.Path()),
              std::string::npos);
    EXPECT_EQ(r.out, "Time;V\n");

    // A missing folder, and bad command lines.
    EXPECT_EQ(Tool(work, "--data-dir " + data.File("none") + " files").code, 3);
    for (const char* bad :
         {"", "frobnicate", "export --from 2026-12-08 --columns V --csv -",
          "export --from 2026-12-08 --to 2026-12-09 --csv -",
          "export --from 26-12-08 --to 2026-12-09 --columns V --csv -",
          "export --from 2026-12-09 --to 2026-12-08 --columns V --csv -",
          "export --from 2026-12-08 --to 2026-12-09 --columns A,B,C,D,E --png -",
          "export --from 2026-12-08 --to 2026-12-09 --columns V --every 0 --csv -",
          "--size 10x10 files", "--bogus files"}) {
        r = Tool(work, std::string("--data-dir ") + data.Path() + " " + bad);
        EXPECT_EQ(r.code, 2) << bad;
        EXPECT_NE(r.err.find("(veltra-log --help)"), std::string::npos) << bad;
    }
    r = Tool(work, "--help");
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("Usage: veltra-log"), std::string::npos);
}

// The plot's pixels: each curve in its colour, nothing over the minutes without a line.
TEST_F(VeltraLog, PlotShowsTheCurvesAndTheGapBetweenConnections) {
    // 23:00 to 23:39, then nothing until 00:20: the middle third of two hours.
    WriteBytes(Data("log1.csv"), LogText({"Bank:5:VOLTAGE", "Brant:6:CURRENT"}, t0, 40));
    WriteBytes(Data("log2.csv"), LogText({"Bank:5:VOLTAGE", "Brant:6:CURRENT"}, t0 + 80 * 60, 41));
    const std::string png = work.File("plot.png");
    const ToolRun r = Tool(work, "--data-dir " + data.Path() +
                                     " export --from '2026-12-08 23:00' --to '2026-12-09 01:00'"
                                     " --columns Bank:5:VOLTAGE,Brant:6:CURRENT --png " +
                                     png + " --size 900x400");
    ASSERT_EQ(r.code, 0) << r.err;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, png.c_str()));
    image.format = PNG_FORMAT_RGB;
    std::vector<png_byte> rgb(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
    ASSERT_EQ(image.width, 900u);
    ASSERT_EQ(image.height, 400u);
    // Count the curve pixels per third of the width: the middle third is the gap.
    const auto count = [&](int x0, int x1, int r_, int g_, int b_) {
        int n = 0;
        for (int y = 50; y < 360; ++y) // inside the data area
            for (int x = x0; x < x1; ++x) {
                const png_byte* p =
                    &rgb[(static_cast<size_t>(y) * 900 + static_cast<size_t>(x)) * 3];
                n += p[0] == r_ && p[1] == g_ && p[2] == b_;
            }
        return n;
    };
    // Data area from x 58 to 841: 2 hours, so the gap is at 1/3 .. 2/3 of it (plus a margin).
    const int x0 = 58, w = 841 - 58;
    EXPECT_GT(count(x0 + 10, x0 + w / 3 - 10, 0, 255, 0), 100);         // green: the voltage
    EXPECT_GT(count(x0 + 2 * w / 3 + 10, x0 + w - 10, 255, 0, 0), 100); // red: the current
    EXPECT_EQ(count(x0 + w / 3 + 10, x0 + 2 * w / 3 - 10, 0, 255, 0), 0);
    EXPECT_EQ(count(x0 + w / 3 + 10, x0 + 2 * w / 3 - 10, 255, 0, 0), 0);
    png_image_free(&image);
}

} // namespace
