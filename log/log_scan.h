// Whole log files read line by line: the header's column names, then per data line its time and
// its fields, in one pass through a buffer of fixed size (memory stays flat however long the
// file). Used by the history page for the files before the current one and by veltra-log.
//
// Every line that cannot be used is reported through the scan's report function with the
// file, the line number and the reason, counted and skipped; the rest of the file is still
// read: a line with too few or too many fields, a bad time stamp, an unfinished last line (no
// line end: the writer was stopped in the middle of it) and a line longer than the buffer. A
// new header inside the file ("Time;..." again) is reported and its columns are used from there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A log time stamp "YY-MM-DD HH:MM:SS" (year 2000 + YY) as seconds since 2000-01-01 00:00:00.
// False, *seconds untouched, for text that is not one (a field out of range, a missing digit).
bool LOGSCAN_ParseTime(std::string_view text, int64_t* seconds);

// Seconds since 2000-01-01 as "YYYY-MM-DD HH:MM:SS" (20 bytes with the zero); a negative time
// or one after 2099 gives the same form with the fields it has, never more than size - 1 bytes.
void LOGSCAN_FormatTime(int64_t seconds, char* buffer, size_t size);

// Seconds since 2000-01-01 of a calendar date and time (no range check).
int64_t LOGSCAN_Seconds(int year, int month, int day, int hour, int minute, int second);

using LOGSCAN_ReportFn = void (*)(void* context, const char* path, int64_t line,
                                  const char* message);

struct LogScan {
    // Set by the caller before LOGSCAN_Open; a null function reports nothing.
    LOGSCAN_ReportFn report = nullptr;
    void* context = nullptr;

    // The header in force: column names and formats, "Time" and "Format" left out.
    std::vector<std::string> names;
    std::vector<std::string> formats;
    int32_t header_changes = 0; // new headers met inside the file so far

    // The data line last read by LOGSCAN_Next: its number in the file (from 1), its time and its
    // fields (fields[0] the time stamp, fields[i] the column names[i - 1]); the views point into
    // the scan's buffer and hold until the next call.
    int64_t line_number = 0;
    int64_t time = 0;
    std::vector<std::string_view> fields;

    // Fields after this index are checked (their count) but not given out, which saves the
    // time of splitting 70 columns when two are read. Set by the caller; kept by LOGSCAN_Open.
    size_t last_field = SIZE_MAX;

    int64_t lines_used = 0;    // data lines given out
    int64_t lines_skipped = 0; // lines reported and skipped

    // Internal.
    std::string path;
    int fd = -1;
    std::vector<char> buffer;
    size_t begin = 0;
    size_t end = 0;
    bool at_eof = false;
    bool expect_format = false;
};

// Opens a log file and reads its two header lines. 0; -1 when the file is missing or cannot be
// read; -2 when it does not begin with a header ("Time;..."). Both failures are reported.
int LOGSCAN_Open(LogScan* scan, const std::string& path);

// Reads up to the next usable data line: 1 one is ready, 0 the end of the file, -1 a read
// error (reported).
int LOGSCAN_Next(LogScan* scan);

// Closes the file (the header stays readable). Harmless when nothing is open.
void LOGSCAN_Close(LogScan* scan);

// The field index of a column of the header in force (1 for the first column), -1 when the
// header has no column of that name.
int LOGSCAN_Column(const LogScan* scan, std::string_view name);
