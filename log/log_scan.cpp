#include "log/log_scan.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Room for the longest line the writer makes (256 KiB) and a read block behind it.
constexpr size_t kBufferSize = 512 * 1024;
constexpr size_t kReadSize = 128 * 1024;

void Report(LogScan* scan, int64_t line, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

void Report(LogScan* scan, int64_t line, const char* format, ...) {
    if (scan->report == nullptr) return;
    char message[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    scan->report(scan->context, scan->path.c_str(), line, message);
}

// A short piece of a hostile field for a message: printable bytes only, at most 24 of them.
std::string Shown(std::string_view text) {
    std::string out;
    for (char ch : text.substr(0, 24))
        out += (ch >= 32 && ch < 127) ? ch : '?';
    if (text.size() > 24) out += "...";
    return out;
}

// Reads more of the file behind the unread bytes; false at the end of the file or on an error
// (*error tells them apart).
bool Fill(LogScan* scan, bool* error) {
    *error = false;
    if (scan->at_eof) return false;
    if (scan->begin > 0) {
        std::memmove(scan->buffer.data(), scan->buffer.data() + scan->begin,
                     scan->end - scan->begin);
        scan->end -= scan->begin;
        scan->begin = 0;
    }
    const size_t room = std::min(kReadSize, scan->buffer.size() - scan->end);
    if (room == 0) return false;
    ssize_t got;
    do {
        got = ::read(scan->fd, scan->buffer.data() + scan->end, room);
    } while (got < 0 && errno == EINTR);
    if (got < 0) *error = true;
    if (got <= 0) {
        scan->at_eof = true;
        return false;
    }
    scan->end += static_cast<size_t>(got);
    return true;
}

enum class Line { kFound, kUnfinished, kTooLong, kEnd, kError };

// The next raw line without its line end (and without a carriage return before it).
Line NextRaw(LogScan* scan, std::string_view* line) {
    size_t searched = scan->begin;
    for (;;) {
        const char* start = scan->buffer.data() + scan->begin;
        const char* from = scan->buffer.data() + searched;
        const auto* nl = static_cast<const char*>(std::memchr(from, '\n', scan->end - searched));
        if (nl != nullptr) {
            size_t length = static_cast<size_t>(nl - start);
            scan->begin += length + 1;
            if (length > 0 && start[length - 1] == '\r') --length;
            *line = std::string_view(start, length);
            return Line::kFound;
        }
        searched = scan->end;
        const size_t held = scan->end - scan->begin;
        if (held >= scan->buffer.size() - 1) {
            // Longer than any line the writer makes: drop it up to its line end.
            scan->begin = scan->end = 0;
            bool error = false;
            for (;;) {
                if (!Fill(scan, &error)) return error ? Line::kError : Line::kTooLong;
                const auto* end_of_long =
                    static_cast<const char*>(std::memchr(scan->buffer.data(), '\n', scan->end));
                if (end_of_long != nullptr) {
                    scan->begin = static_cast<size_t>(end_of_long - scan->buffer.data()) + 1;
                    return Line::kTooLong;
                }
                scan->begin = scan->end = 0;
            }
        }
        bool error = false;
        const size_t before = scan->begin;
        if (!Fill(scan, &error)) {
            if (error) return Line::kError;
            if (scan->end == scan->begin) return Line::kEnd;
            *line = std::string_view(scan->buffer.data() + scan->begin, scan->end - scan->begin);
            scan->begin = scan->end;
            return Line::kUnfinished;
        }
        searched -= before - scan->begin; // the bytes moved to the front
    }
}

// The fields of a line, each without its ";"; *rest is what follows the last ";".
void Split(std::string_view line, std::vector<std::string_view>* fields, std::string_view* rest) {
    fields->clear();
    size_t pos = 0;
    for (;;) {
        const auto* semi =
            static_cast<const char*>(std::memchr(line.data() + pos, ';', line.size() - pos));
        if (semi == nullptr) break;
        const size_t at = static_cast<size_t>(semi - line.data());
        fields->push_back(line.substr(pos, at - pos));
        pos = at + 1;
    }
    *rest = line.substr(pos);
}

// The set bits of a 16-bit mask (without relying on a POPCNT instruction).
inline size_t BitsSet(unsigned mask) {
    mask = mask - ((mask >> 1) & 0x5555u);
    mask = (mask & 0x3333u) + ((mask >> 2) & 0x3333u);
    mask = (mask + (mask >> 4)) & 0x0F0Fu;
    return static_cast<size_t>((mask + (mask >> 8)) & 0x1Fu);
}

// One pass over a data line: counts its separators and gives out the fields 0 to `last` (each
// without its ";"). Sixteen bytes at a time where the machine has SSE2: a log line is 70
// short fields, and this is most of the time an export or a long history load takes.
size_t CountAndSplit(std::string_view line, size_t last, std::vector<std::string_view>* fields) {
    fields->clear();
    const char* data = line.data();
    const size_t n = line.size();
    size_t count = 0;
    size_t start = 0; // of the field being read
    size_t i = 0;
    const auto found = [&](size_t at) {
        if (count <= last) fields->emplace_back(data + start, at - start);
        start = at + 1;
        ++count;
    };
#if defined(__SSE2__)
    const __m128i semi = _mm_set1_epi8(';');
    for (; i + 16 <= n; i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, semi)));
        if (count > last) {
            count += BitsSet(mask);
            continue;
        }
        while (mask != 0) {
            found(i + static_cast<size_t>(__builtin_ctz(mask)));
            mask &= mask - 1;
        }
    }
#endif
    for (; i < n; ++i)
        if (data[i] == ';') found(i);
    return count;
}

bool StartsWith(std::string_view text, std::string_view head) {
    return text.size() >= head.size() && text.substr(0, head.size()) == head;
}

void ReadNames(LogScan* scan, std::string_view line, std::vector<std::string>* out) {
    std::string_view rest;
    Split(line, &scan->fields, &rest);
    out->clear();
    for (size_t i = 1; i < scan->fields.size(); ++i)
        out->emplace_back(scan->fields[i]);
    if (!rest.empty()) out->emplace_back(rest); // a last name without its ";"
    scan->fields.clear();
}

int TwoDigits(std::string_view text, size_t at) {
    const char a = text[at];
    const char b = text[at + 1];
    if (a < '0' || a > '9' || b < '0' || b > '9') return -1;
    return (a - '0') * 10 + (b - '0');
}

} // namespace

int64_t LOGSCAN_Seconds(int year, int month, int day, int hour, int minute, int second) {
    // Days from the civil calendar (proleptic Gregorian), counted from 2000-01-01.
    const int64_t y = static_cast<int64_t>(year) - (month <= 2 ? 1 : 0);
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t mp = (month + 9) % 12;
    const int64_t doy = (153 * mp + 2) / 5 + day - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const int64_t days = era * 146097 + doe - 730425; // 730425: 2000-03-01 based offset
    return days * 86400 + hour * 3600 + minute * 60 + second;
}

bool LOGSCAN_ParseTime(std::string_view text, int64_t* seconds) {
    if (text.size() != 17 || text[2] != '-' || text[5] != '-' || text[8] != ' ' ||
        text[11] != ':' || text[14] != ':')
        return false;
    int v[6];
    for (int i = 0; i < 6; ++i)
        if ((v[i] = TwoDigits(text, static_cast<size_t>(i) * 3)) < 0) return false;
    static constexpr int kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (v[1] < 1 || v[1] > 12 || v[2] < 1 || v[2] > kDays[v[1] - 1] || v[3] > 23 || v[4] > 59 ||
        v[5] > 59)
        return false;
    const int year = 2000 + v[0];
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    if (v[1] == 2 && v[2] == 29 && !leap) return false;
    *seconds = LOGSCAN_Seconds(year, v[1], v[2], v[3], v[4], v[5]);
    return true;
}

void LOGSCAN_FormatTime(int64_t seconds, char* buffer, size_t size) {
    if (buffer == nullptr || size == 0) return;
    int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
    const int64_t rem = seconds - days * 86400;
    // Civil date from days since 2000-01-01.
    const int64_t z = days + 730425;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t day = doy - (153 * mp + 2) / 5 + 1;
    const int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    if (year >= 0 && year <= 9999 && size >= 20) {
        // By hand: an export formats one per row.
        const auto put2 = [&](size_t at, int64_t v) {
            buffer[at] = static_cast<char>('0' + v / 10);
            buffer[at + 1] = static_cast<char>('0' + v % 10);
        };
        put2(0, year / 100);
        put2(2, year % 100);
        put2(5, month);
        put2(8, day);
        put2(11, rem / 3600);
        put2(14, rem / 60 % 60);
        put2(17, rem % 60);
        buffer[4] = buffer[7] = '-';
        buffer[10] = ' ';
        buffer[13] = buffer[16] = ':';
        buffer[19] = '\0';
        return;
    }
    std::snprintf(buffer, size, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld",
                  static_cast<long long>(year), static_cast<long long>(month),
                  static_cast<long long>(day), static_cast<long long>(rem / 3600),
                  static_cast<long long>(rem / 60 % 60), static_cast<long long>(rem % 60));
}

int LOGSCAN_Open(LogScan* scan, const std::string& path) {
    LOGSCAN_Close(scan);
    scan->path = path;
    scan->names.clear();
    scan->formats.clear();
    scan->fields.clear();
    scan->header_changes = 0;
    scan->line_number = 0;
    scan->lines_used = 0;
    scan->lines_skipped = 0;
    scan->begin = scan->end = 0;
    scan->at_eof = false;
    scan->expect_format = false;
    scan->fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (scan->fd < 0) {
        Report(scan, 0, "cannot be read: %s", std::strerror(errno));
        return -1;
    }
    scan->buffer.resize(kBufferSize);
    std::string_view line;
    const Line got = NextRaw(scan, &line);
    if (got == Line::kError) {
        Report(scan, 0, "cannot be read: %s", std::strerror(errno));
        LOGSCAN_Close(scan);
        return -1;
    }
    scan->line_number = 1;
    if ((got != Line::kFound && got != Line::kUnfinished) || !StartsWith(line, "Time;")) {
        Report(scan, 1, "no log header (the first line does not begin with \"Time;\")");
        LOGSCAN_Close(scan);
        return -2;
    }
    ReadNames(scan, line, &scan->names);
    scan->expect_format = true;
    return 0;
}

int LOGSCAN_Next(LogScan* scan) {
    if (scan->fd < 0) return 0;
    for (;;) {
        std::string_view line;
        const Line got = NextRaw(scan, &line);
        if (got == Line::kEnd) return 0;
        if (got == Line::kError) {
            Report(scan, scan->line_number + 1, "read error: %s", std::strerror(errno));
            return -1;
        }
        const int64_t number = ++scan->line_number;
        if (got == Line::kTooLong) {
            Report(scan, number, "line too long, skipped");
            ++scan->lines_skipped;
            continue;
        }
        if (scan->expect_format) {
            scan->expect_format = false;
            if (StartsWith(line, "Format;")) {
                ReadNames(scan, line, &scan->formats);
                continue;
            }
            scan->formats.assign(scan->names.size(), std::string());
        }
        if (got == Line::kUnfinished) {
            Report(scan, number, "last line unfinished (no line end), skipped");
            ++scan->lines_skipped;
            return 0;
        }
        if (StartsWith(line, "Time;")) {
            ReadNames(scan, line, &scan->names);
            ++scan->header_changes;
            scan->expect_format = true;
            Report(scan, number, "the header changes here; its %zu columns are used from here on",
                   scan->names.size());
            continue;
        }
        const size_t expected = scan->names.size() + 1;
        const size_t separators = CountAndSplit(line, scan->last_field, &scan->fields);
        const bool ends_in_separator = !line.empty() && line.back() == ';';
        if (!ends_in_separator || separators != expected) {
            const size_t have = separators + (ends_in_separator || line.empty() ? 0 : 1);
            if (line.empty())
                Report(scan, number, "empty line, skipped");
            else
                Report(scan, number, "%zu fields where the header has %zu: too %s, skipped", have,
                       expected, have < expected ? "few" : "many");
            ++scan->lines_skipped;
            continue;
        }
        if (!LOGSCAN_ParseTime(scan->fields[0], &scan->time)) {
            Report(scan, number, "bad time stamp \"%s\", skipped", Shown(scan->fields[0]).c_str());
            ++scan->lines_skipped;
            continue;
        }
        ++scan->lines_used;
        return 1;
    }
}

void LOGSCAN_Close(LogScan* scan) {
    if (scan->fd >= 0) ::close(scan->fd);
    scan->fd = -1;
}

int LOGSCAN_Column(const LogScan* scan, std::string_view name) {
    for (size_t i = 0; i < scan->names.size(); ++i)
        if (scan->names[i] == name) return static_cast<int>(i) + 1;
    return -1;
}
