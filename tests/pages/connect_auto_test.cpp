// The connect page reconnecting by itself: off unless asked for; after a lost gateway (or at
// start, when asked for) it connects at once, then after every failure again when 10 s counted
// down in the banner have run out, until the user edits the address.
#include "tests/pages/devicepage_golden_util.h"

#include "base/queue.h"
#include "elements/status.h"
#include "gui/toolkit/draw/gui_context.h"
#include "gui/toolkit/lang/gui_lang.h"
#include "gui/toolkit/widgets/text.h"
#include "pages/connect.h"
#include "pages/mainscreen.h"

#include <string>
#include <vector>

namespace {

int g_now_ms = 0;
int FakeClock() { return g_now_ms; }
void NoSleep(int) {}

class ConnectAuto : public pagetest::PageTest {
  protected:
    void SetUp() override {
        PageTest::SetUp();
        std::string en, de;
        for (int n = 0; n < 194; ++n) {
            en += "en " + std::to_string(n) + "\n";
            de += "de " + std::to_string(n) + "\n";
        }
        GUI_Lang_SetCount(2);
        GUI_Lang_Load(en.data(), int(en.size()), 0);
        GUI_Lang_Load(de.data(), int(de.size()), 1);
        GUI_Lang_Select(0);
        CONNECT_SetSleepForTests(NoSleep);
        MAINSCREEN_ForgetForTests();
        STATUS_Create();
        g_now_ms = 1000;
        GUI_SetClock(FakeClock);
    }
    void TearDown() override {
        CONNECT_End();
        CONNECT_SetAutoConnect(false, false);
        CONNECT_SetSleepForTests(nullptr);
        GUI_SetClock(nullptr);
        PageTest::TearDown();
    }
    // Steps the page while the clock moves on by `ms`, 100 ms at a time.
    void RunFor(int ms) {
        for (int t = 0; t < ms; t += 100) {
            g_now_ms += 100;
            CONNECT_Step();
        }
    }
    bool Reply(int32_t status) {
        const StatusMessage reply{0, 0, status};
        QUEUE_Send(&g_gui_queue, &reply);
        return CONNECT_Step();
    }
    int ConnectRequests() {
        int n = 0;
        GatewayMessage m{};
        while (QUEUE_Receive(&g_connection_queue, &m) == 0) {
            if (m.command == GW_CMD_CONNECT) ++n;
            if (m.command == GW_CMD_CLOSE) ++closes;
        }
        return n;
    }
    int closes = 0;
    std::string Banner() {
        char text[64] = {};
        TEXT_ReadText(STATUS_Handle(), text, sizeof text);
        return WM_IsVisible(STATUS_Handle()) ? text : "(hidden) " + std::string(text);
    }
};

TEST_F(ConnectAuto, OffUnlessAskedFor) {
    CONNECT_Begin(parent, 1);
    RunFor(30000);
    EXPECT_EQ(ConnectRequests(), 0);
    EXPECT_EQ(Banner(), "en 188"); // the lost-connection banner stays, as always
}

TEST_F(ConnectAuto, AfterALossConnectsAtOnceThenEveryTenSecondsUntilSearched) {
    CONNECT_SetAutoConnect(true, false);
    CONNECT_Begin(parent, 1);
    RunFor(100);
    EXPECT_EQ(ConnectRequests(), 1);
    EXPECT_EQ(Banner(), "en 187"); // connecting

    // The gateway is still away: both failure reports, then the countdown.
    EXPECT_FALSE(Reply(STATUS_FAILED));
    EXPECT_FALSE(Reply(STATUS_FAILED));
    RunFor(100);
    EXPECT_EQ(Banner(), "Reconnecting in 10 s");
    RunFor(3000);
    EXPECT_EQ(Banner(), "Reconnecting in 7 s");
    RunFor(6800);
    EXPECT_EQ(ConnectRequests(), 0);
    RunFor(100);
    EXPECT_EQ(ConnectRequests(), 1);

    // Connected, but the search fails: the connection is closed, counted down and tried again.
    EXPECT_FALSE(Reply(STATUS_OK));
    EXPECT_FALSE(Reply(STATUS_FAILED));
    RunFor(9900);
    EXPECT_EQ(ConnectRequests(), 0);
    EXPECT_EQ(closes, 1);
    RunFor(100);
    EXPECT_EQ(ConnectRequests(), 1);
    EXPECT_FALSE(Reply(STATUS_OK));
    EXPECT_TRUE(Reply(STATUS_OK)); // searched: the page is done
}

TEST_F(ConnectAuto, EditingTheAddressStopsItAndTheCountdownIsGerman) {
    CONNECT_SetAutoConnect(true, false);
    GUI_Lang_Select(1);
    CONNECT_Begin(parent, 1);
    RunFor(100);
    EXPECT_FALSE(Reply(STATUS_FAILED));
    RunFor(2000);
    EXPECT_EQ(Banner(), "Neuer Verbindungsversuch in 8 s");
    Key(8);
    EXPECT_EQ(Banner().rfind("(hidden)", 0), 0u);
    RunFor(30000);
    EXPECT_EQ(ConnectRequests(), 1); // the first attempt only
}

TEST_F(ConnectAuto, AtStartConnectsAtOnceOnlyWhenAskedFor) {
    CONNECT_SetAutoConnect(true, false);
    CONNECT_Begin(parent, 0);
    RunFor(20000);
    EXPECT_EQ(ConnectRequests(), 0); // after a loss only

    CONNECT_End();
    CONNECT_SetAutoConnect(true, true);
    CONNECT_Begin(parent, 0);
    RunFor(100);
    EXPECT_EQ(ConnectRequests(), 1);
}

} // namespace

namespace {

// Language files with the countdown's words (text 194) give the banner its words; the files
// above, written before that text existed, get the program's own.
TEST_F(ConnectAuto, TheCountdownTakesItsWordsFromTheLanguageFileWhenItHasThem) {
    std::string en, de;
    for (int n = 0; n < 195; ++n) {
        en += "en " + std::to_string(n) + "\n";
        de += n == GUI_TEXT_RECONNECTING_IN ? "% Neu in\n" : "de " + std::to_string(n) + "\n";
    }
    GUI_Lang_Load(en.data(), int(en.size()), GUI_LANG_ENGLISH);
    GUI_Lang_Load(de.data(), int(de.size()), GUI_LANG_GERMAN);
    CONNECT_SetAutoConnect(true, false);
    CONNECT_Begin(parent, 1);
    RunFor(100);
    EXPECT_FALSE(Reply(STATUS_FAILED));
    RunFor(100);
    EXPECT_EQ(Banner(), "en 194 10 s");
    // The text is shown as it is, a "%" included.
    GUI_Lang_Select(GUI_LANG_GERMAN);
    RunFor(1000);
    EXPECT_EQ(Banner(), "% Neu in 9 s");
}

} // namespace
