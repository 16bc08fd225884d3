#include "tests/e2e/e2e_util.h"

#include <png.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace e2e {

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kDarkGreen = 0x006600;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kGreen = 0x00FF00;

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::vector<std::string> Split(const std::string& line, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(line);
    while (std::getline(in, part, separator))
        parts.push_back(part);
    return parts;
}

bool ToNumber(const std::string& text, double* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    *value = std::strtod(text.c_str(), &end);
    return end != nullptr && *end == '\0' && std::isfinite(*value);
}

// The range a column of the `full` scenario can hold, by the column's own name.
bool RangeOf(const std::string& column, double* low, double* high) {
    static const std::map<std::string, std::pair<double, double>> kRanges = {
        {"VOLTAGE", {10.0, 16.0}},   {"INPUT1", {10.0, 16.0}},     {"INPUT2", {0.0, 16.0}},
        {"INPUT3", {0.0, 16.0}},     {"INPUT4", {0.0, 16.0}},      {"UMIN", {0.0, 5.0}},
        {"UMAX", {0.0, 5.0}},        {"UDELTA", {0.0, 5.0}},       {"BAL", {0.0, 5.0}},
        {"SOC", {0.0, 100.0}},       {"LEVEL", {0.0, 100.0}},      {"P_IN", {0.0, 5000.0}},
        {"P_OUT", {0.0, 5000.0}},    {"CHG_POWER", {0.0, 2000.0}}, {"LOAD_POWER", {0.0, 2000.0}},
        {"CHG_CURRENT", {0.0, 100.0}}, {"LOAD_CURRENT", {0.0, 100.0}}, {"CURRENT", {-400.0, 400.0}},
        {"I_IN", {0.0, 400.0}},      {"I_OUT", {0.0, 400.0}},      {"COUNT", {-400.0, 400.0}},
        {"TEMP", {-30.0, 90.0}},     {"TEMP_INT", {-30.0, 90.0}},  {"TEMP_BAT", {-30.0, 90.0}},
        {"LVP", {0.0, 1.0}},         {"OVP", {0.0, 1.0}},          {"BL", {0.0, 1.0}},
        {"ERR", {0.0, 1.0}},         {"OUT", {0.0, 1.0}},          {"HEATER", {0.0, 1.0}},
        {"SWITCH", {0.0, 1.0}},      {"STATE", {0.0, 3.0}},        {"MODE", {0.0, 3.0}},
    };
    const auto found = kRanges.find(column);
    if (found == kRanges.end()) return false;
    *low = found->second.first;
    *high = found->second.second;
    return true;
}

// The column's own name: the text after the last colon of its header field.
std::string ColumnName(const std::string& header) {
    const size_t colon = header.rfind(':');
    return colon == std::string::npos ? header : header.substr(colon + 1);
}

// The lowest and highest of the display unit's readings of one value over some log lines.
struct HomeSpan {
    double low = NAN, high = NAN;
    void Add(const std::string& field) {
        double value = 0;
        // 0 is a register not read yet.
        if (!ToNumber(field, &value) || value == 0.0) return;
        low = std::isnan(low) ? value : std::min(low, value);
        high = std::isnan(high) ? value : std::max(high, value);
    }
    // True as well when there is nothing to compare with.
    bool Holds(double value, double slack) const {
        return std::isnan(low) || (value >= low - slack && value <= high + slack);
    }
    std::string Text() const { return std::to_string(low) + " to " + std::to_string(high); }
};

} // namespace

fs::path ProgramPath() {
    return fs::path(VELTRA_BINARY_DIR) / "application" / "veltra-desktop";
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

ProgramSession::ProgramSession(const std::string& name) {
    scratch_ = fs::temp_directory_path() /
               ("veltra-e2e-" + name + "-" + std::to_string(getpid()));
    fs::remove_all(scratch_);
    fs::create_directories(scratch_ / "appdata");
    fs::create_directories(scratch_ / "work");
    // SDL opens libdbus and X11, which keep buffers to the end; they are not ours to leak.
    std::ofstream(scratch_ / "lsan.supp") << "leak:libdbus-1.so\nleak:libX11.so\n";
}

ProgramSession::~ProgramSession() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    std::error_code ignored;
    fs::remove_all(scratch_, ignored);
}

bool ProgramSession::StartServer(std::string* why_not) {
    return xvfb_.Start(why_not);
}

bool ProgramSession::StartProgram(int port, const std::vector<std::string>& arguments,
                                  const fs::path& program) {
    const std::string out = (scratch_ / "stdout.txt").string();
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        // The program goes with the test process, also when that is killed.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(1);
        setenv("APPDATA", (scratch_ / "appdata").c_str(), 1);
        setenv("VELTRA_NO_MESSAGE_BOX", "1", 1);
        if (port > 0) setenv("VELTRA_GATEWAY_PORT", std::to_string(port).c_str(), 1);
        unsetenv("VELTRA_HOST");
        const std::string lsan = "suppressions=" + (scratch_ / "lsan.supp").string();
        setenv("LSAN_OPTIONS", lsan.c_str(), 1);
        if (chdir((scratch_ / "work").c_str()) != 0) _exit(126);
        if (!freopen(out.c_str(), "w", stdout)) _exit(125);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>("veltra-desktop"));
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    if (pid_ < 0) return false;
    const auto end = Clock::now() + std::chrono::seconds(30);
    while (Clock::now() < end && Alive()) {
        if (xvfb_.FindWindow(kTitle, &window_)) return true;
        Sleep(50);
    }
    return false;
}

bool ProgramSession::Alive() const {
    if (pid_ <= 0) return false;
    int status = 0;
    return waitpid(pid_, &status, WNOHANG) == 0;
}

int ProgramSession::Stop(int limit_s) {
    if (pid_ <= 0) return -1;
    kill(pid_, SIGTERM);
    const auto end = Clock::now() + std::chrono::seconds(limit_s);
    while (Clock::now() < end) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
        }
        Sleep(20);
    }
    return -1;
}

uint32_t ProgramSession::At(int x, int y) const {
    return screen_.At(window_.x + 1 + x, window_.y + 1 + y);
}

bool ProgramSession::WaitFor(const std::function<bool()>& check, int seconds) {
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    while (Clock::now() < end) {
        std::string why_not;
        if (xvfb_.Screenshot(&screen_, &why_not) && check()) return true;
        Sleep(100);
    }
    return false;
}

void ProgramSession::Click(int x, int y) {
    xvfb_.MovePointer(window_.x + 1 + x, window_.y + 1 + y);
    XVFB_Run("xdotool click 1");
}

void ProgramSession::Drag(int x0, int y0, int x1, int y1) {
    xvfb_.MovePointer(window_.x + 1 + x0, window_.y + 1 + y0);
    XVFB_Run("xdotool mousedown 1");
    // In steps, as a finger moves.
    for (int i = 1; i <= 8; ++i) {
        xvfb_.MovePointer(window_.x + 1 + x0 + (x1 - x0) * i / 8,
                          window_.y + 1 + y0 + (y1 - y0) * i / 8);
        Sleep(20);
    }
    XVFB_Run("xdotool mouseup 1");
}

void ProgramSession::Wheel(int x, int y, int notches) {
    if (notches == 0) return;
    xvfb_.MovePointer(window_.x + 1 + x, window_.y + 1 + y);
    XVFB_Run("xdotool click --repeat " + std::to_string(notches > 0 ? notches : -notches) +
             " --delay 20 " + (notches > 0 ? "4" : "5"));
}

void ProgramSession::Keys(const std::string& arguments) {
    XVFB_Run("xdotool " + arguments);
}

void ProgramSession::SaveScreen(const std::string& name) const {
    if (screen_.width < window_.x + 801 || screen_.height < window_.y + 481) return;
    std::vector<png_byte> rgb(800 * 480 * 3);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 800; ++x) {
            const uint32_t p = At(x, y);
            png_byte* out = &rgb[size_t(y * 800 + x) * 3];
            out[0] = png_byte(p >> 16), out[1] = png_byte(p >> 8), out[2] = png_byte(p);
        }
    png_image info{};
    info.version = PNG_IMAGE_VERSION;
    info.width = 800;
    info.height = 480;
    info.format = PNG_FORMAT_RGB;
    const std::string path = std::string(VELTRA_BINARY_DIR) + "/" + name;
    png_image_write_to_file(&info, path.c_str(), 0, rgb.data(), 0, nullptr);
}

bool ProgramSession::ConnectPageShown() const {
    return At(30, 195) == kWhite && At(380, 195) != 0x000000;
}

bool ProgramSession::PagesShown() const {
    // The selected first tab is light where the connect page has its dark green band; the
    // tabs beside it are dark green; no address field.
    const uint32_t tab = At(6, 66);
    const bool light =
        ((tab >> 16) & 0xFF) > 0xC0 && ((tab >> 8) & 0xFF) > 0xC0 && (tab & 0xFF) > 0xC0;
    return light && At(30, 195) != kWhite && At(600, 65) == kDarkGreen;
}

bool ProgramSession::BannerShown() const {
    int white = 0;
    for (int y = 5; y < 45; ++y)
        for (int x = 200; x < 500; ++x)
            white += At(x, y) == kWhite;
    return white > 100;
}

int ProgramSession::GreenListPixels() const {
    int n = 0;
    for (int y = 90; y < 390; ++y)
        for (int x = 4; x < 300; ++x)
            n += At(x, y) == kGreen;
    return n;
}

bool ProgramSession::Connect(int seconds) {
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    while (Clock::now() < end && Alive()) {
        if (!WaitFor([&] { return ConnectPageShown() || PagesShown(); }, 10)) continue;
        if (PagesShown()) return true;
        Click(kConnectX, kConnectY);
        // The search over 70 unit ids takes several seconds.
        if (WaitFor([&] { return PagesShown(); }, 25)) return true;
    }
    return false;
}

bool ProgramSession::AnswersInput() {
    Click(kInfoOpenX, kInfoOpenY);
    const bool opened = WaitFor([&] { return GreenListPixels() > 200; }, 10);
    Click(kInfoCloseX, kInfoCloseY);
    return opened && WaitFor([&] { return PagesShown(); }, 10);
}

std::string ProgramSession::Output() const {
    return ReadFile(scratch_ / "stdout.txt");
}

bool ProgramSession::WaitForOutput(const std::string& text, size_t from, int seconds) {
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    while (Clock::now() < end) {
        const std::string out = Output();
        if (out.size() > from && out.find(text, from) != std::string::npos) return true;
        Sleep(100);
    }
    return false;
}

size_t ProgramSession::Count(const std::string& text, const std::string& what, size_t from) {
    size_t n = 0;
    for (size_t at = text.find(what, from); at != std::string::npos;
         at = text.find(what, at + what.size()))
        ++n;
    return n;
}

std::vector<fs::path> ProgramSession::LogFiles() const {
    std::vector<std::pair<int, fs::path>> found;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(DataFolder(), error)) {
        int number = 0;
        char tail = 0;
        const std::string name = entry.path().filename().string();
        if (std::sscanf(name.c_str(), "log%d.cs%c", &number, &tail) == 2 && tail == 'v' &&
            name == "log" + std::to_string(number) + ".csv")
            found.emplace_back(number, entry.path());
    }
    std::sort(found.begin(), found.end());
    std::vector<fs::path> paths;
    for (const auto& item : found)
        paths.push_back(item.second);
    return paths;
}

namespace {

// "dd-dd-dd dd:dd:dd" (no <regex>: GCC warns about its insides under the sanitizers).
bool IsStamp(const std::string& text) {
    static constexpr char kShape[] = "00-00-00 00:00:00";
    if (text.size() != sizeof kShape - 1) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (kShape[i] == '0' ? !digit : text[i] != kShape[i]) return false;
    }
    return true;
}

} // namespace

CsvLog ReadCsv(const fs::path& path, bool allow_open_end) {
    CsvLog log;
    const std::string bytes = ReadFile(path);
    size_t start = 0;
    int line_number = 0;
    std::string last_stamp;
    while (start < bytes.size()) {
        const size_t end = bytes.find('\n', start);
        if (end == std::string::npos) {
            if (!allow_open_end)
                log.problems.push_back("the file ends in a partial line: " +
                                       bytes.substr(start, 60));
            break;
        }
        const std::string line = bytes.substr(start, end - start);
        start = end + 1;
        ++line_number;
        if (line.size() < 2 || line.compare(line.size() - 2, 2, ";\r") != 0) {
            log.problems.push_back("line " + std::to_string(line_number) +
                                   " is not whole: " + line.substr(0, 60));
            continue;
        }
        std::vector<std::string> fields = Split(line.substr(0, line.size() - 2), ';');
        if (line_number == 1) {
            log.names = fields;
        } else if (line_number == 2) {
            log.formats = fields;
        } else if (fields.size() != log.names.size()) {
            log.problems.push_back("line " + std::to_string(line_number) + " has " +
                                   std::to_string(fields.size()) + " fields, the header " +
                                   std::to_string(log.names.size()));
        } else if (!IsStamp(fields[0])) {
            log.problems.push_back("line " + std::to_string(line_number) + ": time " + fields[0]);
        } else {
            // The stamp's fields are fixed width, so text order is time order.
            if (!last_stamp.empty() && fields[0] <= last_stamp)
                log.problems.push_back("line " + std::to_string(line_number) + ": time " +
                                       fields[0] + " after " + last_stamp);
            last_stamp = fields[0];
            log.rows.push_back(std::move(fields));
        }
    }
    if (log.names.empty() || log.names[0] != "Time") log.problems.push_back("no header line 1");
    if (log.formats.empty() || log.formats[0] != "Format") log.problems.push_back("no header 2");
    return log;
}

CsvLog ReadNewestLog(const ProgramSession& session) {
    const std::vector<fs::path> files = session.LogFiles();
    return files.empty() ? CsvLog{} : ReadCsv(files.back(), true);
}

std::vector<std::string> CheckRow(const CsvLog& log, size_t row) {
    std::vector<std::string> problems;
    if (row >= log.rows.size()) return {"no such row"};
    const std::vector<std::string>& fields = log.rows[row];
    // A line holds each device's value from its own read: the display unit is read first in a
    // polling cycle, the other devices up to a cycle later, and a failed request leaves a value
    // a cycle older. So a device's battery values lie within what the display unit read from
    // two lines before to two lines after, and the last line, whose next display unit read is
    // not logged, cannot be compared.
    HomeSpan voltage, soc;
    const bool bracketed = row + 1 < log.rows.size();
    if (bracketed) {
        const size_t first = row >= 2 ? row - 2 : 0;
        const size_t last = std::min(log.rows.size() - 1, row + 2);
        for (size_t r = first; r <= last; ++r) {
            for (size_t i = 1; i < log.rows[r].size() && i < log.names.size(); ++i) {
                if (log.names[i] == "Home:VOLTAGE") voltage.Add(log.rows[r][i]);
                if (log.names[i] == "Home:SOC") soc.Add(log.rows[r][i]);
            }
        }
    }
    for (size_t i = 1; i < fields.size() && i < log.names.size(); ++i) {
        const std::string column = ColumnName(log.names[i]);
        double value = 0, low = 0, high = 0;
        const std::string where = log.rows[row][0] + " " + log.names[i] + " = " + fields[i];
        if (!ToNumber(fields[i], &value)) {
            problems.push_back(where + " is not a number");
            continue;
        }
        // A register not read yet (its device failed since the search) holds 0.
        if (value == 0.0) continue;
        if (RangeOf(column, &low, &high) && (value < low || value > high))
            problems.push_back(where + " is outside " + std::to_string(low) + " to " +
                               std::to_string(high));
        // Every meter, protector and the display unit measure the one battery.
        if (column == "VOLTAGE" && !voltage.Holds(value, 0.5))
            problems.push_back(where + " differs from Home:VOLTAGE " + voltage.Text());
        if (column == "SOC" && !soc.Holds(value, 8.0))
            problems.push_back(where + " differs from Home:SOC " + soc.Text());
    }
    return problems;
}

} // namespace e2e
