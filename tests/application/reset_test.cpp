// The reset after a lost gateway, step by step on the headless display: the notice, the pages
// and everything the search found cleared, and the main screen built again through the connect
// page, which here finds its replies already waiting.
#include "tests/gui/toolkit/widget_test_util.h"
#include "tests/util/scratch.h"

#include "application/src/gui_task.h"
#include "base/datafolder.h"
#include "base/queue.h"
#include "config/settings.h"
#include "devices/device_list.h"
#include "elements/status.h"
#include "gui/toolkit/lang/gui_lang.h"
#include "gui/toolkit/widgets/multipage.h"
#include "gui/toolkit/widgets/text.h"
#include "log/log.h"
#include "pages/connect.h"
#include "pages/mainscreen.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Pause {
    int ms;
    std::string banner; // the banner's text while it is shown, "" while hidden
};
std::vector<Pause> g_pauses;

void RecordPause(int ms) {
    char text[64] = {};
    if (WM_IsVisible(STATUS_Handle())) TEXT_ReadText(STATUS_Handle(), text, sizeof text);
    g_pauses.push_back({ms, text});
}

class ResetTest : public widgettest::WidgetTest {
  protected:
    void SetUp() override {
        WidgetTest::SetUp();
        ASSERT_EQ(QUEUE_Init(), 0);
        DATA_SetFolder(scratch_.Path().c_str());
        CONFIG_Init();
        std::string texts;
        for (int n = 0; n < 194; ++n) texts += "text " + std::to_string(n) + "\n";
        GUI_Lang_SetCount(2);
        GUI_Lang_Load(texts.data(), int(texts.size()), 0);
        GUI_Lang_Select(0);
        g_pauses.clear();
        GUITASK_SetSleepForTests(RecordPause);
        CONNECT_SetSleepForTests(RecordPause);
        MAINSCREEN_ForgetForTests();
        DEV_Clear();
    }
    void TearDown() override {
        GUITASK_SetSleepForTests(nullptr);
        CONNECT_SetSleepForTests(nullptr);
        MAINSCREEN_ForgetForTests();
        DEV_Clear();
        DATA_SetFolder(nullptr);
        WidgetTest::TearDown();
    }
    void Reply(int32_t status) {
        const StatusMessage reply{0, 0, status};
        QUEUE_Send(&g_gui_queue, &reply);
    }
    ScratchFolder scratch_{"veltra-reset"};
};

TEST_F(ResetTest, ALostGatewayClearsEverythingAndBuildsTheScreenAgainThroughTheConnectPage) {
    // A screen as after a search: the display unit and five Celtons.
    DEV_BeginSearch();
    Reg_Set(g_register_store.data(), 0, DEV_DISPLAY_TYPE_ID);
    DEV_CreateDisplayGroup(1);
    for (int unit = 2; unit < 7; ++unit) DEV_AppendDevice(unit, DEV_FindSearchType(100));
    MAINSCREEN_CreateFrame(WM_GetRootWin());
    STATUS_Create();
    ASSERT_EQ(LOG_Init(), 0);
    const std::string first_log = LOG_Path();
    MAINSCREEN_BuildPages();
    Exec();
    const WM_HANDLE main_window = MAINSCREEN_MainWindow();
    const WM_HANDLE old_pages = MAINSCREEN_Multipage();
    ASSERT_GT(MULTIPAGE_PageCount(old_pages), 3);
    ASSERT_NE(MAINSCREEN_NameField(0, 0), 0);

    // The connect page will find the connection's and the search's replies waiting.
    Reply(STATUS_OK);
    Reply(STATUS_OK);
    GUITASK_ResetAfterLoss();
    Exec();

    // The notice for a second, then the connect page opens with it again; then "connected".
    ASSERT_EQ(g_pauses.size(), 3u);
    EXPECT_EQ(g_pauses[0].ms, 1000);
    EXPECT_EQ(g_pauses[0].banner, "text 188");
    EXPECT_EQ(g_pauses[1].ms, 1000);
    EXPECT_EQ(g_pauses[1].banner, "text 188");
    EXPECT_EQ(g_pauses[2].ms, 500);
    EXPECT_EQ(g_pauses[2].banner, "text 184");
    EXPECT_FALSE(WM_IsVisible(STATUS_Handle()));

    // Everything of the old screen is gone; the main window survives.
    EXPECT_FALSE(WM_IsWindow(old_pages));
    EXPECT_EQ(MAINSCREEN_MainWindow(), main_window);
    EXPECT_TRUE(WM_IsWindow(main_window));
    EXPECT_EQ(g_device_list.device_count.load(), 0);
    EXPECT_EQ(Reg_Get(g_register_store.data(), 0), 0);
    EXPECT_EQ(MAINSCREEN_NameField(0, 0), 0);
    EXPECT_EQ(CONNECT_Window(), 0);
    // The search found nothing this time: a new, empty multipage and a new log file.
    EXPECT_TRUE(WM_IsWindow(MAINSCREEN_Multipage()));
    EXPECT_EQ(MULTIPAGE_PageCount(MAINSCREEN_Multipage()), 0);
    EXPECT_NE(LOG_Path(), first_log);
    // The search was asked for once, with the address the connect page proposed.
    MasterMessage search{};
    EXPECT_EQ(QUEUE_Receive(&g_master_queue, &search), 0);
    EXPECT_EQ(search.kind, MB_CMD_SEARCH_BUS);
    char address[CONFIG_IP_ADDRESS_SIZE] = {};
    CONFIG_GetIpAddress(address, sizeof address);
    EXPECT_STREQ(address, "192.168.1.160");
}

} // namespace
