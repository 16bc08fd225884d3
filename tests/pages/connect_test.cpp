// The connect page: the address field's key filter, the connect action and the wait for the
// connection and the device search, driven step by step with replies put into the GUI queue.
#include "tests/pages/devicepage_golden_util.h"

#include "base/queue.h"
#include "config/settings.h"
#include "elements/status.h"
#include "gui/toolkit/lang/gui_lang.h"
#include "gui/toolkit/widgets/button.h"
#include "gui/toolkit/widgets/edit.h"
#include "gui/toolkit/widgets/text.h"
#include "pages/connect.h"
#include "pages/mainscreen.h"

#include <string>
#include <vector>

namespace {

// ---- The key filter, on the buffer alone -----------------------------------------------------

std::string Filter(std::string start, const std::string& keys, bool* last_accepted = nullptr) {
    char buffer[CONNECT_ADDRESS_SIZE] = {};
    start.copy(buffer, CONNECT_ADDRESS_SIZE - 1);
    for (char key : keys) {
        const CONNECT_FilterResult r = CONNECT_FilterKey(buffer, key == '<' ? 8 : key);
        if (last_accepted) *last_accepted = r.accepted;
    }
    return buffer;
}

TEST(ConnectFilter, DotsComeAfterThreeDigitsOrWhenTypedAfterOneOrTwo) {
    EXPECT_EQ(Filter("", "192"), "192.");
    EXPECT_EQ(Filter("", "1.5"), "1.5");
    EXPECT_EQ(Filter("", "192168001160"), "192.168.001.160");
    EXPECT_EQ(Filter("", ".1..2"), "1.2");   // no dot without a digit before it
    EXPECT_EQ(Filter("", "1a-/ 2"), "12");   // only digits, dots and backspace count
    EXPECT_EQ(Filter("1.2.3.4", "."), "1.2.3.4"); // the last group takes no dot
}

TEST(ConnectFilter, TheLastGroupTakesThreeDigitsThenOnlyBackspace) {
    bool accepted = false;
    EXPECT_EQ(Filter("10.0.0.1", "2", &accepted), "10.0.0.12");
    EXPECT_TRUE(accepted);
    for (char key : std::string("0123456789.a ")) {
        EXPECT_EQ(Filter("10.0.0.123", std::string(1, key), &accepted), "10.0.0.123") << key;
        EXPECT_FALSE(accepted);
    }
    EXPECT_EQ(Filter("10.0.0.123", "<", &accepted), "10.0.0.12");
    EXPECT_TRUE(accepted);
    EXPECT_EQ(Filter("10.0.0.123", "<<<<"), "10.0.0");
    EXPECT_EQ(Filter("", "<<"), "");
    EXPECT_EQ(Filter("1", "<<"), "");
}

TEST(ConnectFilter, AStoredTextOfAnyShapeNeverOverrunsTheBuffer) {
    // The settings may hold 19 characters of anything.
    EXPECT_EQ(Filter("1234567890123456789", "9"), "1234567890123456789");
    EXPECT_EQ(Filter("ab12", "3"), "ab123.");
    char unterminated[CONNECT_ADDRESS_SIZE];
    std::fill(std::begin(unterminated), std::end(unterminated), '7');
    CONNECT_FilterKey(unterminated, '1');
    EXPECT_STREQ(unterminated, "1"); // a text without its end counts as empty
}

// ---- The page ---------------------------------------------------------------------------------

std::vector<std::string> Lines(const char* prefix) {
    std::string data;
    for (int n = 0; n < 194; ++n) data += std::string(prefix) + std::to_string(n) + "\n";
    return {data};
}

void NoSleep(int) {}

class ConnectTest : public pagetest::PageTest {
  protected:
    void SetUp() override {
        PageTest::SetUp();
        GUI_Lang_SetCount(2);
        const std::string en = Lines("en ")[0], de = Lines("de ")[0];
        GUI_Lang_Load(en.data(), int(en.size()), 0);
        GUI_Lang_Load(de.data(), int(de.size()), 1);
        GUI_Lang_Select(0);
        CONNECT_SetSleepForTests(NoSleep);
        MAINSCREEN_ForgetForTests();
        STATUS_Create();
    }
    void TearDown() override {
        CONNECT_End();
        CONNECT_SetSleepForTests(nullptr);
        PageTest::TearDown();
    }
    void Begin(int rebuild = 0) {
        CONNECT_Begin(parent, rebuild);
        Exec();
    }
    void Reply(int32_t status) {
        const StatusMessage reply{0, 0, status};
        QUEUE_Send(&g_gui_queue, &reply);
    }
    bool StepWith(int32_t status) {
        Reply(status);
        return CONNECT_Step();
    }
    void PressConnect() { Click(445, 210); }
    // Connect requests taken from the connection queue since the last call.
    std::vector<std::string> ConnectRequests() {
        std::vector<std::string> hosts;
        GatewayMessage m{};
        while (QUEUE_Receive(&g_connection_queue, &m) == 0)
            if (m.command == GW_CMD_CONNECT)
                hosts.push_back(std::string(m.host) + ":" + m.service);
        return hosts;
    }
    int SearchRequests() {
        int n = 0;
        MasterMessage m{};
        while (QUEUE_Receive(&g_master_queue, &m) == 0) {
            EXPECT_EQ(m.kind, MB_CMD_SEARCH_BUS);
            EXPECT_EQ(m.max_devices, 250);
            ++n;
        }
        return n;
    }
    std::string Widget(int id) {
        char text[64] = {};
        const WM_HANDLE w = WM_FindChildById(CONNECT_Window(), id);
        if (id == CONNECT_ID_ADDRESS)
            EDIT_ReadText(w, text, sizeof text);
        else if (id == CONNECT_ID_HINT || id == CONNECT_ID_CAPTION)
            TEXT_ReadText(w, text, sizeof text);
        else
            BUTTON_ReadText(w, text, sizeof text);
        return text;
    }
    std::string Banner() {
        char text[64] = {};
        TEXT_ReadText(STATUS_Handle(), text, sizeof text);
        return WM_IsVisible(STATUS_Handle()) ? text : "(hidden) " + std::string(text);
    }
    std::string StoredAddress() {
        char text[CONFIG_IP_ADDRESS_SIZE] = {};
        CONFIG_GetIpAddress(text, sizeof text);
        return text;
    }
    void TypeAddress(const std::string& keys) {
        for (int i = 0; i < 20; ++i) Key(8);
        for (char c : keys) Key(c);
    }
};

TEST_F(ConnectTest, TheFieldProposesTheStoredAddressAndFiltersTheKeys) {
    Begin();
    EXPECT_EQ(WM_GetFocusedWindow(), WM_FindChildById(CONNECT_Window(), CONNECT_ID_ADDRESS));
    EXPECT_EQ(Widget(CONNECT_ID_ADDRESS), "192.168.1.160");
    EXPECT_EQ(Widget(CONNECT_ID_HINT), "en 182");
    EXPECT_EQ(Widget(CONNECT_ID_CAPTION), "en 19");
    EXPECT_EQ(MAINSCREEN_PageWindow(MAIN_CONNECT_SLOT), CONNECT_Window());
    TypeAddress("192");
    EXPECT_EQ(Widget(CONNECT_ID_ADDRESS), "192.");
    TypeAddress("1x.5");
    EXPECT_EQ(Widget(CONNECT_ID_ADDRESS), "1.5");
}

TEST_F(ConnectTest, ConnectTwiceBeforeTheReplySendsOneRequestAndEnterIsConnect) {
    Begin();
    PressConnect();
    PressConnect();
    Key(13);
    EXPECT_EQ(ConnectRequests(), std::vector<std::string>{"192.168.1.160:502"});
    EXPECT_EQ(Banner(), "en 187");
    EXPECT_FALSE(WM_IsEnabled(WM_FindChildById(CONNECT_Window(), CONNECT_ID_ADDRESS)));

    // A failure lets the next CONNECT, here the Enter key, send again.
    EXPECT_FALSE(StepWith(STATUS_FAILED));
    EXPECT_EQ(Banner(), "(hidden) en 183");
    EXPECT_TRUE(WM_IsEnabled(WM_FindChildById(CONNECT_Window(), CONNECT_ID_ADDRESS)));
    Key(13);
    EXPECT_EQ(ConnectRequests().size(), 1u);
}

TEST_F(ConnectTest, TheAddressIsStoredOnlyAfterASuccessfulConnection) {
    Begin();
    TypeAddress("10005");
    EXPECT_EQ(Widget(CONNECT_ID_ADDRESS), "100.05");
    PressConnect();
    EXPECT_FALSE(StepWith(STATUS_FAILED));
    EXPECT_EQ(StoredAddress(), "192.168.1.160");
    EXPECT_EQ(SearchRequests(), 0);

    PressConnect();
    EXPECT_EQ(ConnectRequests().size(), 2u);
    EXPECT_FALSE(StepWith(STATUS_OK));
    EXPECT_EQ(StoredAddress(), "100.05");
    EXPECT_EQ(SearchRequests(), 1);
    EXPECT_TRUE(StepWith(STATUS_OK)); // the search succeeded: the page is done
    CONNECT_End();
    EXPECT_EQ(CONNECT_Window(), 0);
    EXPECT_EQ(MAINSCREEN_PageWindow(MAIN_CONNECT_SLOT), 0);
    EXPECT_FALSE(WM_IsVisible(STATUS_Handle()));
}

TEST_F(ConnectTest, ASearchFailureShowsItsTextAndTheNextConnectSendsANewRequest) {
    Begin();
    PressConnect();
    EXPECT_EQ(ConnectRequests().size(), 1u);
    EXPECT_FALSE(StepWith(STATUS_OK));
    EXPECT_EQ(SearchRequests(), 1);
    EXPECT_FALSE(StepWith(STATUS_FAILED));
    EXPECT_EQ(Banner(), "(hidden) en 185");
    // The still open connection is closed, or the connection task would ignore the next
    // connect command; its report of the close is no connection failure to show.
    GatewayMessage close{};
    ASSERT_EQ(QUEUE_Receive(&g_connection_queue, &close), 0);
    EXPECT_EQ(close.command, GW_CMD_CLOSE);
    EXPECT_FALSE(StepWith(STATUS_FAILED));
    EXPECT_EQ(Banner(), "(hidden) en 185");
    EXPECT_FALSE(CONNECT_Step()); // nothing arrives: still waiting
    PressConnect();
    EXPECT_EQ(ConnectRequests(), std::vector<std::string>{"192.168.1.160:502"});
    EXPECT_EQ(SearchRequests(), 0);
}

TEST_F(ConnectTest, TheWaitSleepsLongerOnlyWhileNothingIsUnderWay) {
    Begin();
    EXPECT_EQ(CONNECT_StepSleepMs(), CONNECT_IDLE_SLEEP_MS);
    PressConnect();
    EXPECT_EQ(CONNECT_StepSleepMs(), CONNECT_BUSY_SLEEP_MS); // the connect reply is awaited
    EXPECT_FALSE(StepWith(STATUS_OK));
    EXPECT_EQ(CONNECT_StepSleepMs(), CONNECT_BUSY_SLEEP_MS); // and the search's
    EXPECT_FALSE(StepWith(STATUS_FAILED));
    EXPECT_EQ(CONNECT_StepSleepMs(), CONNECT_IDLE_SLEEP_MS); // back to the user
    EXPECT_FALSE(StepWith(STATUS_FAILED));                   // the close's report
    EXPECT_EQ(CONNECT_StepSleepMs(), CONNECT_IDLE_SLEEP_MS);
}

TEST_F(ConnectTest, ConnectDuringTheSearchSearchesOnceMoreBeforeThePageEnds) {
    Begin();
    PressConnect();
    EXPECT_EQ(ConnectRequests().size(), 1u);
    EXPECT_FALSE(StepWith(STATUS_OK));
    EXPECT_EQ(SearchRequests(), 1);
    PressConnect(); // while the search runs
    EXPECT_EQ(SearchRequests(), 1);
    EXPECT_TRUE(ConnectRequests().empty());
    EXPECT_FALSE(StepWith(STATUS_OK)); // the first search's answer
    EXPECT_FALSE(StepWith(STATUS_OK)); // the repeated search's, taken as the connection
    EXPECT_EQ(SearchRequests(), 1);
    EXPECT_TRUE(StepWith(STATUS_OK));
}

TEST_F(ConnectTest, TheLanguageButtonsStoreTheLanguageAndChangeBothCaptionsAtOnce) {
    GUI_Lang_Select(1);
    Begin();
    EXPECT_EQ(Widget(CONNECT_ID_CAPTION), "de 19");
    Click(615, 285); // ENGLISH
    EXPECT_EQ(CONFIG_GetLanguage(), 0);
    EXPECT_EQ(GUI_Lang_GetSelected(), 0);
    EXPECT_EQ(Widget(CONNECT_ID_CAPTION), "en 19");
    EXPECT_EQ(Widget(CONNECT_ID_HINT), "en 182");
    EXPECT_EQ(Widget(CONNECT_ID_CONNECT), "CONNECT");
    EXPECT_EQ(Widget(CONNECT_ID_GERMAN), "DEUTSCH");
    Click(445, 285); // DEUTSCH
    EXPECT_EQ(CONFIG_GetLanguage(), 1);
    EXPECT_EQ(Widget(CONNECT_ID_HINT), "de 182");
    EXPECT_EQ(debug.Count("processbuttonLog: WM_NOTIFICATION_CLICKED\n"), 2);
    EXPECT_TRUE(ConnectRequests().empty());
}

TEST_F(ConnectTest, AfterALostGatewayThePageOpensWithTheLostConnectionBanner) {
    Begin(1);
    EXPECT_EQ(Banner(), "en 188");
    PressConnect();
    EXPECT_EQ(Banner(), "en 187");
}

} // namespace
