// veltra-log: lists the data folder's log files and exports any span of them as one CSV table
// or as a plot. It only reads the data folder; the one file it writes is the one asked for.
//
// Exit codes: 0 everything read was used; 1 done, but lines or files were skipped (each named
// on standard error) or the span held no data; 2 a bad command line; 3 the data folder could
// not be read or the output not written.
#include "base/datafolder.h"
#include "gui/toolkit/draw/gui_draw.h"
#include "gui/toolkit/gui_font.h"
#include "logexport/logexport.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kExitSkipped = 1;
constexpr int kExitUsage = 2;
constexpr int kExitFailed = 3;

const char* const kHelp =
    "Usage: veltra-log [--data-dir DIR] COMMAND [OPTIONS]\n"
    "Reads the data logs of VeltraDesktop (log0.csv ... log9999.csv) and never writes into the\n"
    "data folder except the file asked for.\n"
    "\n"
    "Commands:\n"
    "  files                       every log file with its first and last time, its lines\n"
    "                              and its devices\n"
    "  columns [--from T] [--to T] the column names found in that span\n"
    "  export --from T --to T --columns A,B,... [--every N] --csv FILE | --png FILE\n"
    "         [--size WxH]         one table over all files of the span, joined by column\n"
    "                              name and time, sorted, empty fields where a column was\n"
    "                              absent; or a plot of up to four of the columns (time axis,\n"
    "                              one value axis per unit, legend, gaps where nothing was\n"
    "                              logged), 800x480 unless --size says otherwise\n"
    "\n"
    "Options:\n"
    "  --data-dir DIR   the data folder (default: the program's, <root>/Ovalo)\n"
    "  --from T, --to T the span, both inclusive; T as the log writes it (YY-MM-DD HH:MM:SS)\n"
    "                   or YYYY-MM-DD[ HH:MM[:SS]]; a date alone as --to means the whole day\n"
    "  --every N        only the minutes that are multiples of N\n"
    "  FILE             - for standard output\n"
    "  --help, --version\n"
    "\n"
    "Exit codes: 0 all used; 1 lines or files skipped (named on standard error) or no data in\n"
    "the span; 2 bad command line; 3 the folder could not be read or the output not written.\n";

struct Options {
    std::string command;
    std::string data_dir;
    std::string from_text;
    std::string to_text;
    std::vector<std::string> columns;
    int every = 1;
    std::string csv;
    std::string png;
    int width = 800;
    int height = 480;
};

int Usage(const char* message) {
    std::fprintf(stderr, "veltra-log: %s (veltra-log --help)\n", message);
    return kExitUsage;
}

std::vector<std::string> SplitColumns(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        out.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return out;
}

// Returns -1 when parsed, else the exit code.
int Parse(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&](std::string* out) {
            if (i + 1 >= argc) return false;
            *out = argv[++i];
            return true;
        };
        std::string v;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("veltra-log %s\n", VELTRA_VERSION);
            return 0;
        }
        if (arg == "--data-dir") {
            if (!value(&o->data_dir) || o->data_dir.empty())
                return Usage("--data-dir needs a folder");
        } else if (arg == "--from") {
            if (!value(&o->from_text)) return Usage("--from needs a time");
        } else if (arg == "--to") {
            if (!value(&o->to_text)) return Usage("--to needs a time");
        } else if (arg == "--columns") {
            if (!value(&v) || v.empty()) return Usage("--columns needs column names");
            o->columns = SplitColumns(v);
        } else if (arg == "--every") {
            if (!value(&v)) return Usage("--every needs a number");
            char* end = nullptr;
            const long n = std::strtol(v.c_str(), &end, 10);
            if (end == v.c_str() || *end != '\0' || n < 1 || n > 1000000)
                return Usage("--every needs a number from 1 to 1000000");
            o->every = static_cast<int>(n);
        } else if (arg == "--csv") {
            if (!value(&o->csv) || o->csv.empty()) return Usage("--csv needs a file (or -)");
        } else if (arg == "--png") {
            if (!value(&o->png) || o->png.empty()) return Usage("--png needs a file (or -)");
        } else if (arg == "--size") {
            if (!value(&v) || std::sscanf(v.c_str(), "%dx%d", &o->width, &o->height) != 2 ||
                o->width < 320 || o->height < 200 || o->width > 4096 || o->height > 4096)
                return Usage("--size needs WxH from 320x200 to 4096x4096");
        } else if (!arg.empty() && arg[0] != '-' && o->command.empty()) {
            o->command = arg;
        } else {
            return Usage(("unknown option " + arg).c_str());
        }
    }
    if (o->command.empty()) return Usage("no command (files, columns or export)");
    if (o->command != "files" && o->command != "columns" && o->command != "export")
        return Usage(("unknown command " + o->command).c_str());
    return -1;
}

// A progress line on a terminal once the work has taken a second.
std::chrono::steady_clock::time_point g_start;
bool g_progress_shown = false;
void Progress(size_t done, size_t total) {
    if (!::isatty(2)) return;
    if (std::chrono::steady_clock::now() - g_start < std::chrono::seconds(1)) return;
    std::fprintf(stderr, "\rveltra-log: %zu of %zu files read ", done, total);
    g_progress_shown = true;
}
void EndProgress() {
    if (g_progress_shown) std::fputs("\r\033[K", stderr);
    g_progress_shown = false;
}

int Files(const std::vector<LogxFile>& files) {
    std::printf("%-12s %-19s  %-19s  %7s  %s\n", "file", "first", "last", "lines", "devices");
    for (const LogxFile& f : files) {
        const char* name = std::strrchr(f.path.c_str(), '/');
        name = name != nullptr ? name + 1 : f.path.c_str();
        if (!f.readable) {
            std::printf("%-12s (unreadable or no log header)\n", name);
            continue;
        }
        char first[24] = "-", last[24] = "-";
        if (f.lines > 0) {
            LOGSCAN_FormatTime(f.first, first, sizeof first);
            LOGSCAN_FormatTime(f.last, last, sizeof last);
        }
        std::string devices;
        for (const std::string& d : f.devices)
            devices += (devices.empty() ? "" : ", ") + d;
        std::printf("%-12s %-19s  %-19s  %7lld  %s\n", name, first, last,
                    static_cast<long long>(f.lines), devices.c_str());
    }
    return 0;
}

struct Outputs {
    LogxCsv csv;
    bool with_csv = false;
    LogxPlot* plot = nullptr;
};

bool BothRows(void* context, const LogxRow& row) {
    auto* o = static_cast<Outputs*>(context);
    if (o->with_csv && !LOGX_CsvRow(&o->csv, row)) return false;
    if (o->plot != nullptr) LOGX_PlotRow(o->plot, row);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    const int parsed = Parse(argc, argv, &o);
    if (parsed >= 0) return parsed;
    g_start = std::chrono::steady_clock::now();
    GUI_SetDefaultFont(&FONT_13); // the plot's drawing context starts with it
    const std::string folder = o.data_dir.empty() ? DATA_Folder() : o.data_dir;

    LogxSpan span;
    span.every = o.every;
    if (!o.from_text.empty() && !LOGX_ParseUserTime(o.from_text, false, &span.from))
        return Usage(("--from: not a time: " + o.from_text).c_str());
    if (!o.to_text.empty() && !LOGX_ParseUserTime(o.to_text, true, &span.to))
        return Usage(("--to: not a time: " + o.to_text).c_str());
    if (span.from > span.to) return Usage("--from is after --to");
    if (o.command == "export") {
        if (o.from_text.empty() || o.to_text.empty()) return Usage("export needs --from and --to");
        if (o.columns.empty()) return Usage("export needs --columns");
        if (o.csv.empty() && o.png.empty()) return Usage("export needs --csv FILE or --png FILE");
        if (o.csv == "-" && o.png == "-") return Usage("only one of --csv and --png can be -");
        if (!o.png.empty() && o.columns.size() > LOGX_PLOT_MAX_CURVES)
            return Usage("a plot takes at most four columns");
    }

    LogxReport report;
    std::vector<LogxFile> files;
    const bool listed = LOGX_ListFiles(folder, o.command == "files", &report, &files, Progress);
    EndProgress();
    if (!listed) return kExitFailed;
    if (o.command == "files") {
        Files(files);
        return report.skipped > 0 ? kExitSkipped : 0;
    }
    if (o.command == "columns") {
        const std::vector<std::string> names = LOGX_Columns(files, span);
        for (const std::string& n : names)
            std::printf("%s\n", n.c_str());
        if (names.empty()) {
            std::fprintf(stderr, "veltra-log: no log file in %s has lines in that span\n",
                         folder.c_str());
            return kExitSkipped;
        }
        return 0;
    }

    Outputs out;
    std::FILE* csv_file = nullptr;
    std::vector<char> csv_buffer(1 << 20);
    if (!o.csv.empty()) {
        csv_file = o.csv == "-" ? stdout : std::fopen(o.csv.c_str(), "wb");
        if (csv_file == nullptr) {
            std::fprintf(stderr, "veltra-log: %s cannot be written: %s\n", o.csv.c_str(),
                         std::strerror(errno));
            return kExitFailed;
        }
        std::setvbuf(csv_file, csv_buffer.data(), _IOFBF, csv_buffer.size());
        out.with_csv = true;
        LOGX_CsvBegin(&out.csv, csv_file, o.columns);
    }
    if (!o.png.empty())
        out.plot = LOGX_PlotBegin(o.columns, span.from, span.to, o.every, o.width, o.height);
    const int64_t rows = LOGX_Export(files, o.columns, span, &report, BothRows, &out, Progress);
    EndProgress();

    int result = report.skipped > 0 ? kExitSkipped : 0;
    if (rows == 0) {
        char a[24], b[24];
        LOGSCAN_FormatTime(span.from, a, sizeof a);
        LOGSCAN_FormatTime(span.to, b, sizeof b);
        std::fprintf(stderr, "veltra-log: no data between %s and %s in %s\n", a, b, folder.c_str());
        result = kExitSkipped;
    }
    if (csv_file != nullptr) {
        const bool flushed = std::fflush(csv_file) == 0 && !out.csv.failed;
        const bool closed = csv_file == stdout || std::fclose(csv_file) == 0;
        if (rows < 0 || !flushed || !closed) {
            std::fprintf(stderr, "veltra-log: %s could not be written whole\n", o.csv.c_str());
            result = kExitFailed;
        }
    }
    if (out.plot != nullptr && LOGX_PlotFinish(out.plot, o.png.c_str()) != 0) {
        std::fprintf(stderr, "veltra-log: %s could not be written\n", o.png.c_str());
        result = kExitFailed;
    }
    return result;
}
