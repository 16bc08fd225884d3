// The real program as a user meets it over days: a device renamed on the on-screen keyboard
// keeps its name in the names file and after a restart, its alarms come and go under that
// name in the information window, and the Graph tab shows the logged minutes and follows new
// ones. Texts on the screen are found by drawing them with the program's own fonts and looking
// for exactly those glyphs.
#include "tests/e2e/e2e_util.h"
#include "tests/e2e/screen_text.h"
#include "tests/util/simulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cctype>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using e2e::Glyphs;
using e2e::ProgramSession;
using e2e::RenderText;
using e2e::ShowsText;

// The default scenario's tabs (Home, Quill, Graph, Amprix, RV100/30, Celton, ...): the first
// Celton tab is the protector at unit 3.
constexpr int kGraphTabX = 184, kCeltonTabX = 464, kTabY = 74;
constexpr int kNameRowY = 100; // through the tiles' name fields
constexpr uint32_t kDarkGreen = 0x006600;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kKeyFill = 0x003661;  // the keyboard's keys
constexpr uint32_t kDataGrey = 0x404040; // the graph's data area
constexpr uint32_t kCurve1 = 0x00FF00, kCurve2 = 0xFF0000;

void Pause(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// The first tile's name field along the name row: its first and last column, the first run
// of dark green (and the white text it holds) wider than 40 pixels.
bool NameField(const ProgramSession& s, int* left, int* right) {
    *left = -1;
    for (int x = 0; x < 400; ++x) {
        const uint32_t p = s.At(x, kNameRowY);
        if (p == kDarkGreen || (p == kWhite && *left >= 0)) {
            if (*left < 0) *left = x;
            *right = x;
        } else if (*left >= 0 && *right - *left > 40) {
            return true;
        } else {
            *left = -1;
        }
    }
    return false;
}

bool FieldShows(const ProgramSession& s, const Glyphs& g) {
    int left = 0, right = 0;
    return NameField(s, &left, &right) && ShowsText(s, g, left, kNameRowY - 12, right, kNameRowY);
}

// The on-screen keyboard's keys by their labels: four rows of 65-pixel keys at a 75-pixel
// pitch, the letters in German order; "^" switches the case.
bool KeyCentre(char key, int* x, int* y) {
    static const struct {
        const char* keys;
        int left, top;
    } kRows[] = {{"0123456789", 37, 100},
                 {"qwertzuiop", 37, 175},
                 {"asdfghjkl", 75, 250},
                 {"^yxcvbnm", 37, 325}};
    for (const auto& row : kRows)
        for (int k = 0; row.keys[k] != '\0'; ++k)
            if (row.keys[k] == key) {
                *x = row.left + 75 * k + 32;
                *y = row.top + 32;
                return true;
            }
    return false;
}

void PressKey(ProgramSession& s, int x, int y) {
    s.Click(x, y);
    Pause(150);
}

// Clears the keyboard's line and types letters and digits, switching the case as needed.
void TypeOnKeyboard(ProgramSession& s, const std::string& text) {
    PressKey(s, 37 + 75 * 9 + 32, 325 + 32); // CLR
    bool upper = false;
    for (char c : text) {
        const bool wants_upper = c >= 'A' && c <= 'Z';
        int x = 0, y = 0;
        if (wants_upper != upper) {
            ASSERT_TRUE(KeyCentre('^', &x, &y));
            PressKey(s, x, y);
            upper = wants_upper;
        }
        ASSERT_TRUE(KeyCentre(wants_upper ? char(c - 'A' + 'a') : c, &x, &y)) << c;
        PressKey(s, x, y);
    }
}

bool KeyboardShown(const ProgramSession& s) {
    return s.At(45, 108) == kKeyFill && s.At(20, 20) == kWhite;
}

// The names file of the display unit: "conf" and its 24-digit identity.
std::string NamesFile(const ProgramSession& s) {
    std::error_code error;
    for (const auto& entry : e2e::fs::directory_iterator(s.DataFolder(), error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() != 4 + 24 + 4 || name.rfind("conf", 0) != 0 ||
            name.compare(28, 4, ".ini") != 0)
            continue;
        if (std::all_of(name.begin() + 4, name.begin() + 28,
                        [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); }))
            return e2e::ReadFile(entry.path());
    }
    return {};
}

class NamesHistoryEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!XVFB_HaveProgram("Xvfb") || !XVFB_HaveProgram("xdotool"))
            GTEST_SKIP() << "Xvfb or xdotool is not installed";
    }
    // On failure the last screen is kept in the build folder.
    bool WaitFor(ProgramSession& s, const std::function<bool()>& check, int seconds,
                 const char* failed_picture) {
        if (s.WaitFor(check, seconds)) return true;
        s.SaveScreen(failed_picture);
        return false;
    }
};

TEST_F(NamesHistoryEndToEnd, NameTypedOnTheKeyboardIsStoredComesBackAndNamesTheAlarms) {
    // The Celton at unit 3 goes over voltage for 5 s in every 10 s: longer than a polling
    // cycle, so every change is seen.
    Simulator simulator({"--alarm", "3:ov:5000"});
    ASSERT_GT(simulator.port(), 0);
    const std::vector<std::string> arguments = {"--gateway", "127.0.0.1:" + simulator.port_text()};
    ProgramSession session("names");
    std::string why_not;
    ASSERT_TRUE(session.StartServer(&why_not)) << why_not;
    ASSERT_TRUE(session.StartProgram(0, arguments)) << "no window";
    ASSERT_TRUE(session.Connect(60)) << session.Output().substr(0, 2000);

    const Glyphs before = RenderText("Celton:3", FONT_20B);
    const Glyphs after = RenderText("Bank:3", FONT_20B);
    session.Click(kCeltonTabX, kTabY);
    ASSERT_TRUE(WaitFor(
        session, [&] { return FieldShows(session, before); }, 15, "e2e_names_before.png"))
        << "the Celton tile does not show its default name";

    // A touch on the name field opens the keyboard with the name, the unit id cut off.
    int left = 0, right = 0;
    ASSERT_TRUE(NameField(session, &left, &right));
    session.Click((left + right) / 2, kNameRowY + 6);
    ASSERT_TRUE(WaitFor(
        session, [&] { return KeyboardShown(session); }, 10, "e2e_names_keyboard.png"))
        << "no keyboard";
    EXPECT_TRUE(ShowsText(session, RenderText("Celton", FONT_32B), 5, 5, 795, 60));
    TypeOnKeyboard(session, "Bank");
    EXPECT_TRUE(WaitFor(
        session, [&] { return ShowsText(session, RenderText("Bank", FONT_32B), 5, 5, 795, 60); }, 5,
        "e2e_names_typed.png"))
        << "the typed name is not on the keyboard's line";
    session.Click(725 + 30, 405 + 30); // confirm
    EXPECT_TRUE(WaitFor(
        session, [&] { return FieldShows(session, after); }, 10, "e2e_names_after.png"))
        << "the tile does not show the new name with its unit id";
    EXPECT_NE(NamesFile(session).find("CNAME=Bank\n"), std::string::npos) << NamesFile(session);

    // After a restart and a new connection the name is read back from the names file.
    ASSERT_EQ(session.Stop(), 0);
    ASSERT_TRUE(session.StartProgram(0, arguments)) << "no window after the restart";
    ASSERT_TRUE(session.Connect(60));
    session.Click(kCeltonTabX, kTabY);
    EXPECT_TRUE(WaitFor(
        session, [&] { return FieldShows(session, after); }, 15, "e2e_names_restarted.png"))
        << "the name did not come back";

    // Its alarms come and go under that name, in the diagnostic output and in the
    // information window.
    EXPECT_TRUE(session.WaitForOutput("Bank:3 OVP alarm raised", 0, 25));
    EXPECT_TRUE(session.WaitForOutput("Bank:3 OVP alarm cleared", 0, 25));
    session.Click(e2e::kInfoOpenX, e2e::kInfoOpenY);
    const Glyphs raised = RenderText("Bank:3 OVP alarm raised", FONT_16);
    const Glyphs cleared = RenderText("Bank:3 OVP alarm cleared", FONT_16);
    EXPECT_TRUE(WaitFor(
        session,
        [&] {
            return ShowsText(session, raised, 0, 86, 200, 400) &&
                   ShowsText(session, cleared, 0, 86, 200, 400);
        },
        10, "e2e_names_information.png"))
        << "the information window does not list the alarm lines";
    session.Click(e2e::kInfoCloseX, e2e::kInfoCloseY);
    EXPECT_EQ(session.Stop(), 0);
}

// The graph's data area on the row through its middle: first and last dark grey column.
bool DataArea(const ProgramSession& s, int* left, int* right) {
    *left = *right = -1;
    for (int x = 0; x < 800; ++x)
        if (s.At(x, 300) == kDataGrey) {
            if (*left < 0) *left = x;
            *right = x;
        }
    return *left >= 0 && *right - *left > 600;
}

// The columns of the data area that hold curve pixels: first and last.
bool CurveColumns(const ProgramSession& s, int left, int right, int* first, int* last) {
    *first = *last = -1;
    for (int x = left; x <= right; ++x)
        for (int y = 150; y < 470; ++y) {
            const uint32_t p = s.At(x, y);
            if (p == kCurve1 || p == kCurve2) {
                if (*first < 0) *first = x;
                *last = x;
                break;
            }
        }
    return *first >= 0;
}

size_t LoggedRows(const ProgramSession& s) {
    return e2e::ReadNewestLog(s).rows.size();
}

TEST_F(NamesHistoryEndToEnd, GraphShowsTheLoggedMinutesAndFollowsNewOnes) {
    // A new simulated minute every second: a log line with every polling cycle.
    Simulator simulator({"--clock-speed", "60"});
    ASSERT_GT(simulator.port(), 0);
    ProgramSession session("history");
    std::string why_not;
    ASSERT_TRUE(session.StartServer(&why_not)) << why_not;
    ASSERT_TRUE(session.StartProgram(0, {"--gateway", "127.0.0.1:" + simulator.port_text()}));
    ASSERT_TRUE(session.Connect(60));

    // Some minutes logged before the tab is opened.
    for (int i = 0; i < 300 && LoggedRows(session) < 3; ++i)
        Pause(100);
    ASSERT_GE(LoggedRows(session), 3u) << "the data log does not grow";
    session.Click(kGraphTabX, kTabY);
    int left = 0, right = 0;
    ASSERT_TRUE(WaitFor(
        session, [&] { return DataArea(session, &left, &right); }, 10, "e2e_history_none.png"))
        << "no graph";

    // Twelve hours over 721 columns: one column per logged minute, the newest at the right
    // edge. The log may gain a line between the screenshot and the count.
    int first = 0, last = 0;
    size_t shown = 0;
    const auto shows_the_log = [&] {
        // The screenshot was taken just before.
        const size_t rows_after = LoggedRows(session);
        if (!CurveColumns(session, left, right, &first, &last)) return false;
        shown = size_t(last - first + 1);
        return last >= right - 2 && shown + 1 >= rows_after && shown <= rows_after + 1;
    };
    ASSERT_TRUE(WaitFor(session, shows_the_log, 15, "e2e_history_first.png"))
        << "curve columns " << first << " to " << last << " of " << left << " to " << right << ", "
        << LoggedRows(session) << " logged lines";
    const size_t shown_first = shown;
    const int first_column = first, last_column = last;

    // New minutes come in at the right edge and push the curves to the left.
    EXPECT_TRUE(WaitFor(
        session, [&] { return shows_the_log() && shown >= shown_first + 2; }, 40,
        "e2e_history_follow.png"))
        << "shown " << shown << " columns, before " << shown_first << ", " << LoggedRows(session)
        << " logged lines";
    EXPECT_LT(first, first_column);
    EXPECT_EQ(last, last_column);
    session.SaveScreen("e2e_history.png");
    EXPECT_EQ(session.Stop(), 0);
}

// The gateway goes away twice (the simulator is stopped until the program has given it up,
// then let go on, its clock having run on) and the program connects again by itself each time:
// three log files. The Graph tab still shows the minutes of the first two connections, with the
// minutes between them empty, and Ctrl+S writes the span as CSV and PNG into the data folder.
TEST_F(NamesHistoryEndToEnd, GraphKeepsTheMinutesBeforeReconnectionsAndSavesThem) {
    Simulator simulator({"--clock-speed", "60"});
    ASSERT_GT(simulator.port(), 0);
    ProgramSession session("history-reconnect");
    std::string why_not;
    ASSERT_TRUE(session.StartServer(&why_not)) << why_not;
    ASSERT_TRUE(session.StartProgram(
        0, {"--gateway", "127.0.0.1:" + simulator.port_text(), "--auto-connect"}));
    ASSERT_TRUE(session.Connect(60));

    size_t before = 0; // the rows of the files before the current one
    for (int outage = 0; outage < 2; ++outage) {
        for (int i = 0; i < 300 && LoggedRows(session) < 5; ++i)
            Pause(100);
        ASSERT_GE(LoggedRows(session), 5u) << "the data log does not grow";
        before += LoggedRows(session);
        const size_t files = session.LogFiles().size();
        const size_t said = session.Output().size();
        ASSERT_EQ(::kill(simulator.pid(), SIGSTOP), 0);
        // The receive timeout ends the connection; the connect page may be on show only briefly
        // on a busy machine, so the program's own line tells that it gave the gateway up.
        const bool lost = session.WaitForOutput("receive failed", said, 40);
        ::kill(simulator.pid(), SIGCONT);
        ASSERT_TRUE(lost) << "the program did not notice the lost gateway";
        ASSERT_TRUE(WaitFor(
            session, [&] { return session.PagesShown() && session.LogFiles().size() > files; }, 60,
            "e2e_reconnect_back.png"))
            << "no reconnection";
    }
    for (int i = 0; i < 300 && LoggedRows(session) < 3; ++i)
        Pause(100);
    ASSERT_EQ(session.LogFiles().size(), 3u);

    session.Click(kGraphTabX, kTabY);
    int left = 0, right = 0;
    ASSERT_TRUE(WaitFor(
        session, [&] { return DataArea(session, &left, &right); }, 10, "e2e_reconnect_none.png"));
    // The curve reaches back over every logged minute and the outages between them, with empty
    // columns where nothing was logged.
    int first = 0, last = 0, empty = 0;
    const auto shows_all = [&] {
        const size_t rows = before + LoggedRows(session);
        if (!CurveColumns(session, left, right, &first, &last)) return false;
        empty = 0;
        for (int x = first; x <= last; ++x) {
            bool curve = false;
            for (int y = 150; y < 470 && !curve; ++y)
                curve = session.At(x, y) == kCurve1 || session.At(x, y) == kCurve2;
            empty += !curve;
        }
        return last >= right - 2 && size_t(last - first + 1) >= rows && empty >= 2;
    };
    EXPECT_TRUE(WaitFor(session, shows_all, 15, "e2e_reconnect_graph.png"))
        << "curve columns " << first << " to " << last << " (" << empty << " empty) for " << before
        << " earlier rows and " << LoggedRows(session) << " now";
    session.SaveScreen("e2e_reconnect_graph.png");

    // Ctrl+S: both files, named like the screenshots, and the banner for a while.
    const size_t out = session.Output().size();
    session.Keys("key ctrl+s");
    ASSERT_TRUE(session.WaitForOutput("History written to ", out, 20)) << session.Output();
    std::string csv, png;
    for (const auto& entry : e2e::fs::directory_iterator(session.DataFolder())) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("history_", 0) == 0 && name.size() > 4) {
            if (name.compare(name.size() - 4, 4, ".csv") == 0) csv = entry.path().string();
            if (name.compare(name.size() - 4, 4, ".png") == 0) png = entry.path().string();
        }
    }
    ASSERT_FALSE(csv.empty());
    ASSERT_FALSE(png.empty());
    const std::string table = e2e::ReadFile(csv);
    EXPECT_EQ(table.rfind("Time;", 0), 0u);
    EXPECT_GE(size_t(std::count(table.begin(), table.end(), '\n')), before + 1);
    EXPECT_EQ(e2e::ReadFile(png).substr(1, 3), "PNG");
    EXPECT_EQ(session.Stop(), 0);
}

} // namespace
