#include "tools/gateway-sim/sim_options.h"

#include <arpa/inet.h>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>
#include <sys/stat.h>

namespace {

constexpr const char* kHelp =
    R"(usage: gateway-sim [--listen ADDR] [--port N] [--scenario FILE] [--clock-speed X]
                   [--start [YYYY-MM-DDT]HH:MM[:SS]] [fault options]

A Modbus TCP gateway with a simulated bus of devices behind it. It answers function codes 3
(read holding registers) and 16 (write multiple registers) for every unit id of its scenario,
one client at a time; unit ids without a device get exception 0x0B (gateway target device
failed to respond). When ready it prints one line "listening on ADDR:PORT". SIGINT and SIGTERM
end it with exit code 0.

  --listen ADDR        IPv4 address to listen on (default 127.0.0.1; 0.0.0.0 for all)
  --port N             TCP port (default 5020); 0 picks a free port, printed when ready
  --scenario FILE      scenario file, or the name of a shipped one: default, wide, full
                       (default: default)
  --clock-speed X      the simulated time, the display unit's clock and the day curve of
                       the solar power run X times faster than the host clock (default 1;
                       60 shows a new minute every second)
  --start TIME         start the simulated clock at this local time instead of the host's:
                       HH:MM[:SS] on the host's date, or YYYY-MM-DDTHH:MM[:SS]; the same
                       start gives the same sun, loads and battery whenever it runs
  --help               this text

Fault options (N: the fault strikes every Nth request, counted over all connections from 1;
without /N it strikes every request):
  --drop-after N       close each connection after answering N requests
  --delay MS[/N]       wait MS milliseconds before answering
  --late MS[/N]        the same, meant to answer after the client's timeout (e.g. 11000)
  --split BYTES[/N]    send the response in segments of BYTES bytes (1: byte by byte)
  --split-pause MS     pause between segments (default 5)
  --silent UNITS[/N]   never answer requests for these unit ids (e.g. 3,5-7)
  --junk COUNT[/N]     send COUNT junk bytes before the response
  --wrong-tid N        answer with a transaction id one above the request's
  --twice N            send the response twice in one write
  --bad-protocol N     answer with protocol id 1
  --wrong-unit N       answer with a unit id one above the request's
  --length-zero N      answer with an MBAP length of 0
  --length-long N      answer with an MBAP length one larger than the data
  --exception UNITS[:CODE][/N]
                       answer exception CODE (1 to 11, default 4, server failure) for
                       these units
  --alarm UNIT:KINDS[:PERIOD_MS]
                       drive the device at UNIT into alarm and out again: off for one period,
                       on for the next (default 10000 ms). KINDS: ov, uv, temp, joined by +
                       (e.g. 3:ov+temp:5000). Repeatable, up to 16 times.
  --fault-window FIRST-LAST
                       the faults above (not --drop-after or --alarm) strike only requests
                       FIRST to LAST, counted as they count (e.g. 200-400)

Scenario file: one device per line, "UNIT TYPE [KEY=VALUE ...]", "#" starts a comment.
TYPE is a type id or one of quill, rv100, rv140, rv75, celton, celtonactive, celtonv2,
celton103, celton104, brant, brantv2, corvo500, corvo501, corvo502, corvo510, corvo511,
corvo512. Options: quill amprix=K1,K2,K3,K4 levra=F1,F2,F3,F4 selector=S ip=A.B.C.D
id=24HEXDIGITS; rv* pv=WATTS; brant, brantv2 mode=off|on|auto; corvo*
role=battery|load|solar.
)";

bool FileExists(const char* path) {
    struct stat st {};
    return stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

bool ParseClockSpeed(const char* text, double* speed) {
    char* end = nullptr;
    const double v = strtod(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(v) || v <= 0 || v > 100000) return false;
    *speed = v;
    return true;
}

// Reads exactly `digits` decimal digits at *text and moves past them.
bool Digits(const char** text, int digits, int* value) {
    int v = 0;
    for (int i = 0; i < digits; i++) {
        const char c = (*text)[i];
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    *text += digits;
    *value = v;
    return true;
}

bool Expect(const char** text, char c) {
    if (**text != c) return false;
    ++*text;
    return true;
}

int DaysInMonth(int year, int month) {
    constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

} // namespace

bool SIMOPT_ParseStart(const char* text, SimStart* start) {
    if (text == nullptr || start == nullptr) return false;
    SimStart s;
    const char* at = text;
    if (strlen(text) >= 10 && text[4] == '-') {
        if (!Digits(&at, 4, &s.year) || !Expect(&at, '-') || !Digits(&at, 2, &s.month) ||
            !Expect(&at, '-') || !Digits(&at, 2, &s.day))
            return false;
        if (*at != 'T' && *at != ' ') return false;
        ++at;
        if (s.year < 2000 || s.year > 2099 || s.month < 1 || s.month > 12 || s.day < 1 ||
            s.day > DaysInMonth(s.year, s.month))
            return false;
        s.has_date = true;
    }
    if (!Digits(&at, 2, &s.hour) || !Expect(&at, ':') || !Digits(&at, 2, &s.minute)) return false;
    if (*at == ':' && (!Expect(&at, ':') || !Digits(&at, 2, &s.second))) return false;
    if (*at != '\0' || s.hour > 23 || s.minute > 59 || s.second > 59) return false;
    s.set = true;
    *start = s;
    return true;
}

double SIMOPT_StartTime(const SimStart& start, double host_now) {
    if (!start.set) return host_now;
    const time_t now = static_cast<time_t>(std::floor(host_now));
    struct tm local {};
    localtime_r(&now, &local);
    if (start.has_date) {
        local.tm_year = start.year - 1900;
        local.tm_mon = start.month - 1;
        local.tm_mday = start.day;
    }
    local.tm_hour = start.hour;
    local.tm_min = start.minute;
    local.tm_sec = start.second;
    local.tm_isdst = -1; // summer time as it is on that day
    return static_cast<double>(mktime(&local));
}

int SIMOPT_Parse(int argc, char** argv, SimOptions* options, char* error, size_t error_size) {
    if (options == nullptr || argv == nullptr) return -1;
    for (int i = 1; i < argc; i++) {
        const char* arg = argv[i];
        if (arg == nullptr) continue;
        // "--name=value" or "--name value".
        char name[32] = "";
        const char* value = nullptr;
        const char* equals = strchr(arg, '=');
        if (equals != nullptr && strncmp(arg, "--", 2) == 0) {
            snprintf(name, sizeof name, "%.*s", static_cast<int>(equals - arg), arg);
            value = equals + 1;
        } else {
            snprintf(name, sizeof name, "%s", arg);
        }
        const std::string_view option(name);
        if (option == "--help" || option == "-h") {
            options->help = true;
            continue;
        }
        // Every other option takes a value.
        if (value == nullptr && i + 1 < argc) value = argv[++i];

        if (option == "--listen") {
            in_addr address{};
            if (value == nullptr || strlen(value) >= sizeof options->listen ||
                inet_pton(AF_INET, value, &address) != 1) {
                snprintf(error, error_size, "--listen needs an IPv4 address");
                return -1;
            }
            snprintf(options->listen, sizeof options->listen, "%s", value);
        } else if (option == "--port") {
            char* end = nullptr;
            const long port = value != nullptr ? strtol(value, &end, 10) : -1;
            if (value == nullptr || end == value || *end != '\0' || port < 0 || port > 65535) {
                snprintf(error, error_size, "--port needs a number from 0 to 65535");
                return -1;
            }
            options->port = static_cast<int>(port);
        } else if (option == "--scenario") {
            if (value == nullptr || *value == '\0') {
                snprintf(error, error_size, "--scenario needs a file or a name");
                return -1;
            }
            options->scenario = value;
        } else if (option == "--clock-speed") {
            if (value == nullptr || !ParseClockSpeed(value, &options->clock_speed)) {
                snprintf(error, error_size, "--clock-speed needs a number above 0, at most 100000");
                return -1;
            }
        } else if (option == "--start") {
            if (value == nullptr || !SIMOPT_ParseStart(value, &options->start)) {
                snprintf(error, error_size,
                         "--start needs a local time HH:MM[:SS] or YYYY-MM-DDTHH:MM[:SS]");
                return -1;
            }
        } else {
            const int rc = FAULT_ParseOption(name, value, &options->faults, error, error_size);
            if (rc == 1) {
                snprintf(error, error_size, "unknown option \"%.40s\" (see --help)", arg);
                return -1;
            }
            if (rc != 0) return -1;
        }
    }
    return 0;
}

void SIMOPT_PrintHelp(FILE* out) {
    fputs(kHelp, out);
}

int SIMOPT_FindScenario(const char* scenario, const char* executable, char* path,
                        size_t path_size) {
    if (scenario == nullptr || path == nullptr || path_size == 0) return -1;
    if (FileExists(scenario)) {
        if (snprintf(path, path_size, "%s", scenario) >= static_cast<int>(path_size)) return -1;
        return 0;
    }
    if (strchr(scenario, '/') != nullptr) return -1;
    if (executable != nullptr) {
        const char* slash = strrchr(executable, '/');
        const int folder = slash != nullptr ? static_cast<int>(slash - executable) : 0;
        const int n = snprintf(path, path_size, "%.*s%sscenarios/%s.scn", folder, executable,
                               slash != nullptr ? "/" : "", scenario);
        if (n > 0 && n < static_cast<int>(path_size) && FileExists(path)) return 0;
        // Installed: <prefix>/bin/gateway-sim, <prefix>/share/veltra-desktop/scenarios.
        const int m = snprintf(path, path_size, "%.*s%s../share/veltra-desktop/scenarios/%s.scn",
                               folder, executable, slash != nullptr ? "/" : "", scenario);
        if (m > 0 && m < static_cast<int>(path_size) && FileExists(path)) return 0;
    }
#ifdef GATEWAY_SIM_SCENARIO_DIR
    const int n = snprintf(path, path_size, "%s/%s.scn", GATEWAY_SIM_SCENARIO_DIR, scenario);
    if (n > 0 && n < static_cast<int>(path_size) && FileExists(path)) return 0;
#endif
    return -1;
}
