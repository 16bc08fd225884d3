#include "logexport/logexport.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

namespace {

void ScanReport(void* context, const char* path, int64_t line, const char* message) {
    LOGX_Message(static_cast<LogxReport*>(context), path, line, message);
}

// "log<N>.csv" with N 0 to 9999 written as the program writes it (no leading zeros).
bool LogNumber(const char* name, int32_t* number) {
    if (std::strncmp(name, "log", 3) != 0) return false;
    const char* digits = name + 3;
    size_t n = 0;
    while (digits[n] >= '0' && digits[n] <= '9')
        ++n;
    if (n == 0 || n > 4 || (n > 1 && digits[0] == '0') || std::strcmp(digits + n, ".csv") != 0)
        return false;
    *number = std::atoi(std::string(digits, n).c_str());
    return true;
}

// The time of the last whole line with a time stamp, from the file's tail.
bool LastTime(const std::string& path, int64_t* seconds) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    bool found = false;
    if (::fstat(fd, &st) == 0 && st.st_size > 0) {
        const off_t tail = std::min<off_t>(st.st_size, 64 * 1024);
        std::string text(static_cast<size_t>(tail), '\0');
        const ssize_t got = ::pread(fd, text.data(), text.size(), st.st_size - tail);
        if (got > 0) {
            text.resize(static_cast<size_t>(got));
            // Only lines that ended: an unfinished last line does not count.
            size_t end = text.rfind('\n');
            while (end != std::string::npos && end > 0 && !found) {
                const size_t start = text.rfind('\n', end - 1);
                const size_t from = start == std::string::npos ? 0 : start + 1;
                if (start != std::string::npos || tail == st.st_size)
                    found = LOGSCAN_ParseTime(std::string_view(text).substr(from, 17), seconds);
                if (start == std::string::npos) break;
                end = start;
            }
        }
    }
    ::close(fd);
    return found;
}

void AddDevices(LogxFile* file) {
    for (const std::string& column : file->columns) {
        std::string device = LOGX_DeviceOf(column);
        if (std::find(file->devices.begin(), file->devices.end(), device) == file->devices.end())
            file->devices.push_back(std::move(device));
    }
}

bool InSpan(const LogxFile& f, const LogxSpan& span) {
    return f.readable && f.lines > 0 && f.last >= span.from && f.first <= span.to;
}

} // namespace

void LOGX_Message(LogxReport* report, const char* path, int64_t line, const char* message) {
    if (report == nullptr || report->quiet || report->out == nullptr) return;
    if (line > 0)
        std::fprintf(report->out, "%s%s:%lld: %s\n", report->prefix, path,
                     static_cast<long long>(line), message);
    else
        std::fprintf(report->out, "%s%s: %s\n", report->prefix, path, message);
}

bool LOGX_ParseUserTime(std::string_view text, bool end_of_span, int64_t* seconds) {
    if (LOGSCAN_ParseTime(text, seconds)) return true;
    // YYYY-MM-DD[( |T)HH:MM[:SS]]: made into the log's form and checked by its parser.
    if (text.size() == 19) {
        if (text.substr(0, 2) != "20" || (text[10] != ' ' && text[10] != 'T')) return false;
        std::string log(text.substr(2));
        log[8] = ' ';
        return LOGSCAN_ParseTime(log, seconds);
    }
    if (text.size() != 10 && text.size() != 16) return false;
    if (text[4] != '-' || text.substr(0, 2) != "20") return false;
    std::string log(text.substr(2, 8));
    if (text.size() == 16) {
        if (text[10] != ' ' && text[10] != 'T') return false;
        log += ' ';
        log += text.substr(11, 5);
        log += ":00";
    } else {
        log += " 00:00:00";
    }
    if (!LOGSCAN_ParseTime(log, seconds)) return false;
    if (end_of_span) *seconds += text.size() == 10 ? 86399 : 59;
    return true;
}

bool LOGX_ListFiles(const std::string& folder, bool whole, LogxReport* report,
                    std::vector<LogxFile>* files, void (*progress)(size_t done, size_t total)) {
    files->clear();
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        char message[160];
        std::snprintf(message, sizeof message, "the data folder cannot be read: %s",
                      std::strerror(errno));
        LOGX_Message(report, folder.c_str(), 0, message);
        return false;
    }
    while (const dirent* entry = ::readdir(dir)) {
        LogxFile f;
        if (!LogNumber(entry->d_name, &f.number)) continue;
        f.path = folder + "/" + entry->d_name;
        files->push_back(std::move(f));
    }
    ::closedir(dir);

    LogScan scan;
    size_t done = 0;
    for (LogxFile& f : *files) {
        if (progress != nullptr && done > 0) progress(done, files->size());
        ++done;
        scan.report = ScanReport;
        scan.context = report;
        if (LOGSCAN_Open(&scan, f.path) != 0) {
            ++report->skipped;
            continue;
        }
        // Without `whole` the bad lines are reported when the export reads them.
        if (!whole) scan.report = nullptr;
        f.readable = true;
        f.columns = scan.names;
        AddDevices(&f);
        if (whole) {
            int32_t changes = 0;
            int rc;
            while ((rc = LOGSCAN_Next(&scan)) == 1) {
                if (f.lines++ == 0) f.first = scan.time;
                f.last = scan.time;
                if (scan.header_changes != changes) {
                    changes = scan.header_changes;
                    f.columns.insert(f.columns.end(), scan.names.begin(), scan.names.end());
                    AddDevices(&f);
                }
            }
            report->skipped += scan.lines_skipped + (rc < 0 ? 1 : 0);
        } else if (LOGSCAN_Next(&scan) == 1) {
            f.first = scan.time;
            f.lines = 1; // at least
            if (!LastTime(f.path, &f.last) || f.last < f.first) f.last = f.first;
        }
        LOGSCAN_Close(&scan);
    }
    std::stable_sort(files->begin(), files->end(), [](const LogxFile& a, const LogxFile& b) {
        const bool a_lines = a.readable && a.lines > 0;
        const bool b_lines = b.readable && b.lines > 0;
        if (a_lines != b_lines) return a_lines;
        if (a_lines && a.first != b.first) return a.first < b.first;
        return a.number < b.number;
    });
    return true;
}

std::string LOGX_DeviceOf(std::string_view column) {
    const size_t last = column.rfind(':');
    return std::string(last == std::string_view::npos ? column : column.substr(0, last));
}

std::vector<std::string> LOGX_Columns(const std::vector<LogxFile>& files, const LogxSpan& span) {
    std::vector<std::string> out;
    std::unordered_set<std::string> seen;
    for (const LogxFile& f : files) {
        if (!InSpan(f, span)) continue;
        for (const std::string& c : f.columns)
            if (seen.insert(c).second) out.push_back(c);
    }
    return out;
}

int64_t LOGX_Export(const std::vector<LogxFile>& files, const std::vector<std::string>& columns,
                    const LogxSpan& span, LogxReport* report, LogxRowFn fn, void* context,
                    void (*progress)(size_t done, size_t total)) {
    LogxRow row;
    row.cells.assign(columns.size(), std::string());
    row.present.assign(columns.size(), false);
    bool pending = false;
    int64_t rows = 0;
    const int64_t every = std::max(1, span.every);
    std::vector<int> index(columns.size(), -1);
    LogScan scan;
    scan.report = ScanReport;
    scan.context = report;

    const auto flush = [&]() -> bool {
        if (!pending) return true;
        pending = false;
        ++rows;
        return fn(context, row);
    };
    size_t done = 0;
    for (const LogxFile& f : files) {
        ++done;
        if (!InSpan(f, span)) continue;
        if (LOGSCAN_Open(&scan, f.path) != 0) {
            ++report->skipped;
            continue;
        }
        int32_t changes = -1;
        int rc;
        while ((rc = LOGSCAN_Next(&scan)) == 1) {
            if (scan.header_changes != changes) {
                changes = scan.header_changes;
                scan.last_field = 0;
                for (size_t c = 0; c < columns.size(); ++c) {
                    index[c] = LOGSCAN_Column(&scan, columns[c]);
                    scan.last_field =
                        std::max(scan.last_field, static_cast<size_t>(std::max(index[c], 0)));
                }
            }
            const int64_t t = scan.time;
            if (t < span.from || t > span.to) continue;
            if (every > 1) {
                const int64_t minute = t >= 0 ? t / 60 : (t - 59) / 60;
                if (minute % every != 0) continue;
            }
            if (pending && t < row.time) {
                char a[24], b[24], message[96];
                LOGSCAN_FormatTime(t, a, sizeof a);
                LOGSCAN_FormatTime(row.time, b, sizeof b);
                std::snprintf(message, sizeof message,
                              "time %s is before the line before it (%s), skipped", a, b);
                LOGX_Message(report, f.path.c_str(), scan.line_number, message);
                ++report->skipped;
                continue;
            }
            if (!pending || t != row.time) {
                if (!flush()) {
                    LOGSCAN_Close(&scan);
                    return -1;
                }
                pending = true;
                row.time = t;
                row.file = static_cast<int32_t>(done - 1);
                std::fill(row.present.begin(), row.present.end(), false);
                for (std::string& cell : row.cells)
                    cell.clear();
            }
            // Lines of the same time are joined: a column already filled keeps its value.
            for (size_t c = 0; c < columns.size(); ++c) {
                if (index[c] < 0 || row.present[c]) continue;
                row.cells[c].assign(scan.fields[static_cast<size_t>(index[c])]);
                row.present[c] = true;
            }
        }
        report->skipped += scan.lines_skipped + (rc < 0 ? 1 : 0);
        LOGSCAN_Close(&scan);
        if (progress != nullptr) progress(done, files.size());
    }
    if (!flush()) return -1;
    return rows;
}

bool LOGX_Number(std::string_view field, double* value) {
    while (!field.empty() && field.front() == ' ')
        field.remove_prefix(1);
    if (field.empty()) return false;
    const auto result = std::from_chars(field.data(), field.data() + field.size(), *value);
    return result.ec == std::errc() && result.ptr == field.data() + field.size();
}

const char* LOGX_UnitOf(std::string_view column) {
    const size_t colon = column.rfind(':');
    const std::string_view name =
        colon == std::string_view::npos ? column : column.substr(colon + 1);
    static const struct {
        const char* name;
        const char* unit;
    } kUnits[] = {
        {"TEMP", "\xB0"
                 "C"},
        {"TEMP_BAT", "\xB0"
                     "C"},
        {"TEMP_INT", "\xB0"
                     "C"},
        {"CHG_CURRENT", "A"},
        {"CURRENT", "A"},
        {"I_IN", "A"},
        {"I_OUT", "A"},
        {"LOAD_CURRENT", "A"},
        {"CHG_POWER", "W"},
        {"LOAD_POWER", "W"},
        {"P_IN", "W"},
        {"P_OUT", "W"},
        {"LEVEL", "%"},
        {"SOC", "%"},
        {"BAL", "V"},
        {"INPUT1", "V"},
        {"INPUT2", "V"},
        {"INPUT3", "V"},
        {"INPUT4", "V"},
        {"UDELTA", "V"},
        {"UMAX", "V"},
        {"UMIN", "V"},
        {"VOLTAGE", "V"},
        {"COUNT", "Ah"},
    };
    for (const auto& u : kUnits)
        if (name == u.name) return u.unit;
    return "";
}

bool LOGX_CsvBegin(LogxCsv* csv, std::FILE* out, const std::vector<std::string>& columns) {
    csv->out = out;
    csv->failed = false;
    std::fputs("Time", out);
    for (const std::string& c : columns) {
        std::fputc(';', out);
        std::fputs(c.c_str(), out);
    }
    std::fputc('\n', out);
    csv->failed = std::ferror(out) != 0;
    return !csv->failed;
}

bool LOGX_CsvRow(void* context, const LogxRow& row) {
    auto* csv = static_cast<LogxCsv*>(context);
    char line[4096];
    LOGSCAN_FormatTime(row.time, line, sizeof line);
    size_t n = std::strlen(line);
    for (size_t c = 0; c < row.cells.size(); ++c) {
        const std::string& cell = row.cells[c];
        if (n + 1 + cell.size() >= sizeof line) { // a field longer than any the log writes
            std::fwrite(line, 1, n, csv->out);
            n = 0;
        }
        line[n++] = ';';
        if (cell.size() < sizeof line - 1) {
            std::memcpy(line + n, cell.data(), cell.size());
            n += cell.size();
        } else {
            std::fwrite(line, 1, n, csv->out);
            std::fwrite(cell.data(), 1, cell.size(), csv->out);
            n = 0;
        }
    }
    line[n++] = '\n';
    if (std::fwrite(line, 1, n, csv->out) != n) csv->failed = true;
    return !csv->failed;
}
