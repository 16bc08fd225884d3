#include "log/log.h"

#include "base/dbg.h"
#include "devices/device_list.h"
#include "tests/log/log_model.h"
#include "tests/log/log_scratch.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

// A log in the written form: headers, then data lines "t<i>;<i>;<i*10>;<i*100>;".
std::string SampleLog(int lines, const char* line_end) {
    std::string text = std::string("Time;A;B;C;") + line_end + "Format;%d;%.1f;%d;" + line_end;
    for (int i = 0; i < lines; ++i)
        text += "t" + std::to_string(i) + ";" + std::to_string(i) + ";" + std::to_string(i * 10) +
                ";" + std::to_string(i * 100) + ";" + line_end;
    return text;
}

class LogRead : public ::testing::Test {
  protected:
    void SetUp() override {
        DEV_Clear();
        ASSERT_EQ(LOG_Init(), 0);
    }
    void TearDown() override { LOG_CloseRead(); }

    // Puts the bytes into the current log file and opens it for the readers.
    void Use(const std::string& bytes) {
        LOG_CloseRead();
        WriteBytes(LOG_Path(), bytes);
        ASSERT_EQ(LOG_OpenRead(), 0);
    }

    std::string Line(int32_t line, int32_t field, int32_t size = 64) {
        std::vector<char> buffer(static_cast<size_t>(size), 'x');
        last_result_ = LOG_GetLine(line, field, buffer.data(), size);
        return buffer.data();
    }
    std::string Next(int32_t size = 64) {
        std::vector<char> buffer(static_cast<size_t>(size), 'x');
        last_result_ = LOG_GetNextField(buffer.data(), size);
        return buffer.data();
    }
    std::string Field(int32_t field, int32_t size = 64) {
        std::vector<char> buffer(static_cast<size_t>(size), 'x');
        last_result_ = LOG_GetField(field, buffer.data(), size);
        return buffer.data();
    }

    // Reads fields a and b of every line from count lines before the end, as the history page
    // loads its two curves.
    std::vector<std::pair<std::string, std::string>> History(int32_t count, int32_t a, int32_t b) {
        std::vector<std::pair<std::string, std::string>> pairs;
        if (LOG_SeekLinesFromEnd(count) != 0) return pairs;
        for (;;) {
            const std::string first = Field(a);
            if (last_result_ != 0) break;
            const std::string second = Field(b);
            if (last_result_ != 0) break;
            pairs.emplace_back(first, second);
        }
        return pairs;
    }

    LogScratch scratch_;
    int last_result_ = 99;
};

TEST_F(LogRead, GetLineFindsFieldsAndTellsMissingOnes) {
    Use("a;bb;\r\nx;\r\nlast;one");
    EXPECT_EQ(Line(0, 1), "bb");
    EXPECT_EQ(last_result_, 0);
    // A two-field line has no field 3; field 2 is the empty rest after the last ";".
    EXPECT_EQ(Line(0, 3), "");
    EXPECT_EQ(last_result_, -1);
    EXPECT_EQ(Line(0, 2), "");
    EXPECT_EQ(last_result_, 0);
    EXPECT_EQ(Line(1, 0), "x");
    EXPECT_EQ(last_result_, 0);
    // The last line has no line end and still reads whole.
    EXPECT_EQ(Line(2, 1), "one");
    EXPECT_EQ(last_result_, 0);
    EXPECT_EQ(Line(3, 0), "");
    EXPECT_EQ(last_result_, -1);
}

TEST_F(LogRead, AFieldLongerThanTheBufferGivesMinus2AndReadsOnInPieces) {
    Use("0123456789;next;\r\n");
    EXPECT_EQ(Line(0, 0, 4), "012");
    EXPECT_EQ(last_result_, -2);
    // The characters that did not fit come next.
    EXPECT_EQ(Next(4), "345");
    EXPECT_EQ(last_result_, -2);
    EXPECT_EQ(Next(5), "6789");
    EXPECT_EQ(last_result_, 0);
    EXPECT_EQ(Next(), "next");
    EXPECT_EQ(last_result_, 0);
    // A field that fills the buffer exactly fits.
    EXPECT_EQ(Line(0, 1, 5), "next");
    EXPECT_EQ(last_result_, 0);
    EXPECT_EQ(Line(0, 1, 1), "");
    EXPECT_EQ(last_result_, -2);
}

TEST_F(LogRead, HeaderNamesReadAsTheHistoryPageFillsItsLists) {
    for (const char* line_end : {"\r\n", "\n"}) {
        SCOPED_TRACE(line_end[0] == '\r' ? "CRLF" : "LF");
        Use(SampleLog(2, line_end));
        std::vector<std::string> names{Line(0, 1)};
        ASSERT_EQ(last_result_, 0);
        for (;;) {
            const std::string name = Next();
            if (last_result_ != 0) break;
            names.push_back(name);
        }
        EXPECT_EQ(last_result_, -1); // the line ended
        EXPECT_EQ(names, (std::vector<std::string>{"A", "B", "C"}));
        EXPECT_EQ(Line(1, 2), "%.1f");
        EXPECT_EQ(LOG_ReaderLine(), 1);
        EXPECT_EQ(LOG_ReaderField(), 3);
    }
}

TEST_F(LogRead, GetNextFieldReportsLineEndsAndTheEndOfTheFile) {
    Use("a;b\r\nc;");
    EXPECT_EQ(Line(0, 0), "a");
    EXPECT_EQ(Next(), "b");
    EXPECT_EQ(last_result_, -1);
    EXPECT_EQ(LOG_ReaderLine(), 1);
    EXPECT_EQ(Next(), "c");
    EXPECT_EQ(last_result_, 0);
    // The unfinished last line ends like any other before the end of the file.
    EXPECT_EQ(Next(), "");
    EXPECT_EQ(last_result_, -1);
    EXPECT_EQ(Next(), "");
    EXPECT_EQ(last_result_, -3);
}

TEST_F(LogRead, SeekFromTheEndLandsOnTheSameLineWithCrLfAndBareLf) {
    for (const char* line_end : {"\r\n", "\n"}) {
        SCOPED_TRACE(line_end[0] == '\r' ? "CRLF" : "LF");
        Use(SampleLog(5, line_end));
        ASSERT_EQ(LOG_SeekLinesFromEnd(1), 0);
        EXPECT_EQ(Field(0), "t4");
        ASSERT_EQ(LOG_SeekLinesFromEnd(5), 0);
        // Counted from this run's lines written (none here): 0 + 2 - 5.
        EXPECT_EQ(LOG_ReaderLine(), -3);
        EXPECT_EQ(LOG_ReaderField(), 0);
        EXPECT_EQ(Field(0), "t0");
        // Header line 2 is the 6th line from the end; header line 1 has no line before it.
        ASSERT_EQ(LOG_SeekLinesFromEnd(6), 0);
        EXPECT_EQ(Field(0), "Format");
        EXPECT_EQ(LOG_SeekLinesFromEnd(7), -1);
        EXPECT_EQ(Field(0), ""); // left at the end, nothing to misread
        EXPECT_EQ(last_result_, -1);
        // 0 lines from the end: nothing follows.
        ASSERT_EQ(LOG_SeekLinesFromEnd(0), 0);
        EXPECT_EQ(Next(), "");
        EXPECT_EQ(last_result_, -3);
    }
    // Without a final line end the last line is still the last line.
    Use("h;\nf;\nt0;1;\nt1;2;");
    ASSERT_EQ(LOG_SeekLinesFromEnd(1), 0);
    EXPECT_EQ(Field(1), "2");
    Use("");
    EXPECT_EQ(LOG_SeekLinesFromEnd(1), -1);
}

TEST_F(LogRead, TheHistoryLoopReadsTwoColumnsOfEveryLine) {
    const std::vector<std::pair<std::string, std::string>> expected{
        {"7", "700"}, {"8", "800"}, {"9", "900"}};
    for (const char* line_end : {"\r\n", "\n"}) {
        SCOPED_TRACE(line_end[0] == '\r' ? "CRLF" : "LF");
        Use(SampleLog(10, line_end));
        EXPECT_EQ(History(3, 1, 3), expected);
        // The same field twice in a row moves on to the next line's field.
        ASSERT_EQ(LOG_SeekLinesFromEnd(2), 0);
        EXPECT_EQ(Field(2), "80");
        EXPECT_EQ(Field(2), "90");
        EXPECT_EQ(Field(2), "");
        EXPECT_EQ(last_result_, -1);
    }
    Use(SampleLog(10, "\n").substr(0, SampleLog(10, "\n").size() - 1)); // no final line end
    EXPECT_EQ(History(3, 1, 3), expected);
}

TEST_F(LogRead, ReadersWithoutAnOpenFileReadNothing) {
    Use(SampleLog(3, "\r\n"));
    ASSERT_EQ(LOG_CloseRead(), 0);
    EXPECT_EQ(LOG_CloseRead(), -1);
    EXPECT_EQ(Line(0, 0), "");
    EXPECT_EQ(last_result_, -1);
    EXPECT_EQ(Field(0), "");
    EXPECT_EQ(last_result_, -1);
    EXPECT_EQ(Next(), "");
    EXPECT_EQ(last_result_, -1);
    EXPECT_EQ(LOG_SeekLinesFromEnd(1), -1);
}

// Large files cross the readers' blocks everywhere: a field or a line end on a block edge,
// a field longer than a block, runs of carriage returns. The readers must agree with the
// plain model on every call.
TEST_F(LogRead, BigFilesReadTheSameAsThePlainModel) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        std::string text;
        while (text.size() < 300000) {
            const int pick = static_cast<int>(random() % 100);
            if (pick < 60)
                text += std::string(random() % 12, static_cast<char>('a' + random() % 26));
            else if (pick < 80)
                text += ';';
            else if (pick < 88)
                text += "\r\n";
            else if (pick < 94)
                text += '\n';
            else if (pick < 97)
                text += std::string(1 + random() % 3, '\r');
            else if (pick < 99)
                text += std::string(random() % 3000, 'L');
            else
                text += std::string(70000 + random() % 2000, 'H');
        }
        Use(text);
        LogModel model(text, LOG_LinesWritten());
        std::vector<char> buffer(4096);
        for (int step = 0; step < 4000; ++step) {
            const int op = static_cast<int>(random() % 10);
            const int32_t size =
                1 + static_cast<int32_t>(random() % (random() % 4 == 0 ? 4000 : 16));
            std::fill(buffer.begin(), buffer.end(), 'x');
            int result = 0;
            LogModel::Result expected;
            if (op == 0) {
                const int32_t line = static_cast<int32_t>(random() % 40);
                const int32_t field = static_cast<int32_t>(random() % 8);
                result = LOG_GetLine(line, field, buffer.data(), size);
                expected = model.GetLine(line, field, size);
            } else if (op == 1) {
                const int32_t count = static_cast<int32_t>(random() % 30000);
                result = LOG_SeekLinesFromEnd(count);
                expected.code = model.SeekLinesFromEnd(count);
            } else if (op < 5) {
                result = LOG_GetNextField(buffer.data(), size);
                expected = model.GetNextField(size);
            } else {
                const int32_t field = static_cast<int32_t>(random() % 6);
                result = LOG_GetField(field, buffer.data(), size);
                expected = model.GetField(field, size);
            }
            ASSERT_EQ(result, expected.code) << "step " << step << " op " << op;
            if (op != 1) {
                ASSERT_EQ(std::string(buffer.data(), expected.text.size()), expected.text)
                    << "step " << step;
                ASSERT_EQ(buffer[expected.text.size()], '\0');
            }
            ASSERT_EQ(LOG_ReaderLine(), model.Line()) << "step " << step;
            ASSERT_EQ(LOG_ReaderField(), model.Field()) << "step " << step;
        }
    }
}

// What the log writes, the readers give back: the names, the formats and every value.
TEST_F(LogRead, WrittenLinesReadBack) {
    const int32_t celton = DEV_AppendDevice(5, DeviceTypeTable[DEV_TYPE_CELTON]);
    ASSERT_EQ(LOG_Init(), 0);
    RegisterCell* w = g_device_list.entries[celton].registers.load();
    for (int minute = 0; minute < 4; ++minute) {
        Reg_Set(w, 8, static_cast<uint16_t>(1000 + minute * 5)); // 140.0, 141.0, ...
        Reg_Set(w, 14, static_cast<uint16_t>(minute));
        ASSERT_EQ(LOG_Put(), 0);
    }
    ASSERT_EQ(LOG_OpenRead(), 0);
    EXPECT_EQ(Line(0, 2), "Celton:5:TEMP");
    EXPECT_EQ(Line(1, 2), "%.1f");
    // All four lines written: the history page's largest seek lands on the first data line.
    ASSERT_EQ(LOG_SeekLinesFromEnd(LOG_LinesWritten()), 0);
    EXPECT_EQ(LOG_ReaderLine(), 2);
    EXPECT_EQ(History(LOG_LinesWritten(), 2, 3),
              (std::vector<std::pair<std::string, std::string>>{
                  {"140.0", "0"}, {"141.0", "1"}, {"142.0", "2"}, {"143.0", "3"}}));
    EXPECT_EQ(LOG_CloseRead(), 0);
}

} // namespace
