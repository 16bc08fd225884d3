// The log files of a data folder read for export (veltra-log and the Graph tab's save key):
// the files listed with their times, the column names of a span, and one table over all files
// of a span, joined by column name and time, handed row by row to a CSV writer or a plot.
//
// It only reads the data folder. Every line or file it cannot use is reported on the report
// function (file, line, reason) and counted; the rest is still used.
#pragma once

#include "log/log_scan.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

// Where messages go, and what was skipped.
struct LogxReport {
    std::FILE* out = stderr;
    int64_t skipped = 0; // lines and files reported as not used
    bool quiet = false;  // count only (tests of the counts)
    const char* prefix = "veltra-log: ";
};
void LOGX_Message(LogxReport* report, const char* path, int64_t line, const char* message);

// A time given on the command line: as the log writes it ("YY-MM-DD HH:MM:SS") or
// "YYYY-MM-DD", "YYYY-MM-DD HH:MM" or "YYYY-MM-DD HH:MM:SS" (also with "T" for the blank). A date
// alone is its first second, or with end_of_span its last. Seconds since 2000-01-01; false for
// anything else.
bool LOGX_ParseUserTime(std::string_view text, bool end_of_span, int64_t* seconds);

// One log file of the data folder.
struct LogxFile {
    int32_t number = 0;
    std::string path;
    bool readable = false; // it has a header (else the rest is unknown)
    int64_t first = 0;     // first and last time of its data lines (lines > 0)
    int64_t last = 0;
    int64_t lines = 0;                // data lines used
    std::vector<std::string> devices; // the devices of its columns, in header order
    std::vector<std::string> columns; // its first header's column names
};

// The files "log<N>.csv" (N 0 to 9999) of a folder, oldest first (by their first time; files
// without lines by number at the end). With `whole` every file is read through (line counts,
// devices, every bad line reported); without, only its header, first and last line.
// `progress` (may be null) is called after each file.
// False when the folder cannot be read (reported).
bool LOGX_ListFiles(const std::string& folder, bool whole, LogxReport* report,
                    std::vector<LogxFile>* files,
                    void (*progress)(size_t done, size_t total) = nullptr);

// The device of a column name: "Bank:5:VOLTAGE" -> "Bank:5", "Home:SOC" -> "Home".
std::string LOGX_DeviceOf(std::string_view column);

// A row of the table: its time and one field per asked column (empty where absent).
struct LogxRow {
    int64_t time = 0;
    int32_t file = 0; // the file of its first line, by its place in the list
    std::vector<std::string> cells;
    std::vector<bool> present;
};

// Called for every row in time order; false stops the export (the output failed).
using LogxRowFn = bool (*)(void* context, const LogxRow& row);

struct LogxSpan {
    int64_t from = INT64_MIN; // inclusive
    int64_t to = INT64_MAX;   // inclusive
    int every = 1;            // rows at minutes that are multiples of this
};

// Streams the rows of the span over all files: lines at the same time are joined, a line older
// than the row before it is reported and skipped. `progress` (may be null) is called after
// each file with the files done and the total. Returns the number of rows, or -1 when fn
// stopped it.
int64_t LOGX_Export(const std::vector<LogxFile>& files, const std::vector<std::string>& columns,
                    const LogxSpan& span, LogxReport* report, LogxRowFn fn, void* context,
                    void (*progress)(size_t done, size_t total) = nullptr);

// The column names found in the span's files, in the order first met.
std::vector<std::string> LOGX_Columns(const std::vector<LogxFile>& files, const LogxSpan& span);

// A field as a number (the log's "12.50", "-3"); false for an empty or non-numeric field.
bool LOGX_Number(std::string_view field, double* value);

// The unit of a column, from its name's last part ("VOLTAGE" V, "TEMP" degrees, ...); empty
// when not known.
const char* LOGX_UnitOf(std::string_view column);

// ---- CSV ----
// "Time;A;B;..." then one line per row: "YYYY-MM-DD HH:MM:SS;value;value", an empty field
// where the column was absent, "\n" line ends.
struct LogxCsv {
    std::FILE* out = nullptr;
    bool failed = false;
};
bool LOGX_CsvBegin(LogxCsv* csv, std::FILE* out, const std::vector<std::string>& columns);
bool LOGX_CsvRow(void* csv, const LogxRow& row); // a LogxRowFn

// ---- The plot ----
// Up to four curves over the span, drawn with the program's own drawing code and fonts into a
// picture of width x height (320 x 200 to 4096 x 4096): a time axis, one value axis per unit,
// a legend, and gaps where no line was logged: between two files (connections) more than a
// minute and a half apart, and inside a file where no line came for a quarter of an hour. Rows are
// folded into one slot per pixel column as they come, so memory does not grow with the span.
constexpr int LOGX_PLOT_MAX_CURVES = 4;
struct LogxPlot;
LogxPlot* LOGX_PlotBegin(const std::vector<std::string>& columns, int64_t from, int64_t to,
                         int every, int width, int height);
bool LOGX_PlotRow(void* plot, const LogxRow& row); // a LogxRowFn
// Draws (into a buffer of its own, with a fresh drawing context; a program that draws on
// screen too puts its target and context back after) and writes the PNG ("-": standard output); 0,
// or -1 when it cannot be written. Frees the plot.
int LOGX_PlotFinish(LogxPlot* plot, const char* path);
