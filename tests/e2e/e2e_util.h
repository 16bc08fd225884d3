// The real veltra-desktop on a private Xvfb server, as the end-to-end tests drive it: its own
// data and working folders, its standard output in a file, xdotool for the pointer and the
// keys, screenshots from the server's frame buffer, and the data log read back as a user
// would open it. The program is always ended by its own process id when the session goes,
// also when a test fails half-way.
#pragma once

#include "tests/gui/host/xvfb_session.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace e2e {

namespace fs = std::filesystem;

inline constexpr const char* kTitle = "veltraDesktop - v1.07.00";

// Points of the display the tests press (display coordinates).
inline constexpr int kConnectX = 445, kConnectY = 210;     // CONNECT
inline constexpr int kGermanX = 445, kGermanY = 285;       // DEUTSCH
inline constexpr int kEnglishX = 615, kEnglishY = 285;     // ENGLISH
inline constexpr int kInfoOpenX = 770, kInfoOpenY = 30;    // the information window's button
inline constexpr int kInfoCloseX = 35, kInfoCloseY = 445;  // and its close button

fs::path ProgramPath();

class ProgramSession {
  public:
    // `name` makes the scratch folder's name readable.
    explicit ProgramSession(const std::string& name);
    ~ProgramSession(); // kills the program, removes the scratch folder
    ProgramSession(const ProgramSession&) = delete;
    ProgramSession& operator=(const ProgramSession&) = delete;

    // Starts Xvfb; false with a reason (the caller skips or fails).
    bool StartServer(std::string* why_not);
    // Starts the program with its own folders; the gateway port goes in through
    // VELTRA_GATEWAY_PORT (0: not set). Waits for its window; false when none appears.
    bool StartProgram(int port, const std::vector<std::string>& arguments = {},
                      const fs::path& program = ProgramPath());
    // Ends the program with SIGTERM; its exit code, 1000 + signal, or -1 when it did not end.
    int Stop(int limit_s = 15);
    bool Alive() const;
    pid_t pid() const { return pid_; }

    // Screen: the last screenshot's display pixel (0xRRGGBB) and waiting for a condition.
    uint32_t At(int x, int y) const;
    bool WaitFor(const std::function<bool()>& check, int seconds = 30);
    void Click(int x, int y);
    void Drag(int x0, int y0, int x1, int y1);
    // Turns the mouse wheel with the pointer at (x, y): notches away from the user (X button
    // 4) when positive, towards the user (button 5) when negative.
    void Wheel(int x, int y, int notches);
    void Keys(const std::string& xdotool_arguments);
    // Writes the last screenshot's display area as a PNG into the build folder.
    void SaveScreen(const std::string& name) const;

    // What the screens look like.
    bool ConnectPageShown() const; // the white address field and the CONNECT button
    bool PagesShown() const;       // the device pages with the first tab selected
    bool BannerShown() const;      // the white status banner at the top
    int GreenListPixels() const;   // the information window's lines

    // Presses CONNECT until the pages show; false after `seconds`.
    bool Connect(int seconds = 60);
    // Opens the information window and closes it again: the GUI task answers input.
    bool AnswersInput();

    // The program's standard output so far, and waiting for a text in it after `from`.
    std::string Output() const;
    bool WaitForOutput(const std::string& text, size_t from, int seconds);
    static size_t Count(const std::string& text, const std::string& what, size_t from = 0);

    fs::path Scratch() const { return scratch_; }
    fs::path DataFolder() const { return scratch_ / "appdata" / "Ovalo"; }
    // The data-log files, by number.
    std::vector<fs::path> LogFiles() const;

  private:
    XvfbSession xvfb_;
    XvfbWindow window_;
    XvfbImage screen_;
    fs::path scratch_;
    pid_t pid_ = -1;
};

std::string ReadFile(const fs::path& path);

// A data-log file read back: the two header lines and the data lines split into fields.
struct CsvLog {
    std::vector<std::string> names;   // header line 1, "Time" first
    std::vector<std::string> formats; // header line 2, "Format" first
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> problems; // lines not whole, wrong field counts, times not rising
};
// `allow_open_end`: the last line may still be being written and is then left out.
CsvLog ReadCsv(const fs::path& path, bool allow_open_end);
// The session's newest data-log file read back (its last line may still be open); empty when
// there is none yet.
CsvLog ReadNewestLog(const ProgramSession& session);

// Problems with the values of a row of the `full` scenario: a value outside what its column
// can hold, or a battery voltage or state of charge that disagrees with the display unit's
// (they all measure the one battery; as the devices are read one after another, each is
// compared with what the display unit read over the neighbouring rows, and the last row with
// no later read to bracket it is not compared). A value copied into another device's or
// register's place shows here. A value of exactly 0 is a register not read yet and passes.
std::vector<std::string> CheckRow(const CsvLog& log, size_t row);

} // namespace e2e
