// A tile's buttons against the gateway simulator: the press travels through the master queue
// and the connection task to the device, and the next poll shows the device's new state on
// the page.
#include "base/lifecycle.h"
#include "base/queue.h"
#include "comm/gateway.h"
#include "comm/master.h"
#include "gui/toolkit/widgets/multipage.h"
#include "gui/toolkit/widgets/text.h"
#include "pages/devicepage.h"
#include "pages/mainscreen.h"
#include "tests/pages/devicepage_golden_util.h"
#include "tests/util/scratch.h"
#include "tests/util/simulator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace {

using pagetest::PageTest;
using widgettest::Px;

template <typename Condition> bool WaitFor(Condition condition, int limit_ms = 20000) {
    for (int waited = 0; waited < limit_ms; waited += 2) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return condition();
}

// The next status message of the GUI queue within the limit, or 0.
int32_t TakeStatus() {
    StatusMessage status{};
    const bool got = WaitFor([&] { return QUEUE_Receive(&g_gui_queue, &status) == 0; });
    return got ? status.status : 0;
}

class PageOnSimulator : public PageTest {
  protected:
    void SetUp() override {
        PageTest::SetUp();
        Master_SetPauseForTests(1);
        connection_ = std::thread(GatewayTask);
        master_ = std::thread(MasterTask);
    }
    void TearDown() override {
        APP_RequestStop();
        connection_.join();
        master_.join();
        APP_ResetStop();
        Master_SetPauseForTests(100);
        PageTest::TearDown();
    }

    // Connects to the simulator and searches the bus; the found devices are polled from now on.
    void ConnectAndSearch(const Simulator& simulator) {
        GatewayMessage connect{};
        connect.origin = 1;
        connect.command = GW_CMD_CONNECT;
        std::snprintf(connect.host, sizeof connect.host, "127.0.0.1");
        std::snprintf(connect.service, sizeof connect.service, "%s", simulator.port_text().c_str());
        ASSERT_EQ(QUEUE_Send(&g_connection_queue, &connect), 0);
        ASSERT_EQ(TakeStatus(), STATUS_OK);
        MasterMessage search{};
        search.kind = MB_CMD_SEARCH_BUS;
        search.max_devices = 250;
        ASSERT_EQ(QUEUE_Send(&g_master_queue, &search), 0);
        ASSERT_EQ(TakeStatus(), STATUS_OK);
    }

    std::thread connection_;
    std::thread master_;
};

TEST_F(PageOnSimulator, ButtonsSwitchTheBrantAndThePageFollowsThePoll) {
    Simulator simulator({"--scenario", "full"});
    ASSERT_GT(simulator.port(), 0);
    ConnectAndSearch(simulator);
    const int32_t index = DEV_FindUnit(10);
    ASSERT_GE(index, 0);
    DeviceEntry& brant = g_device_list.entries[static_cast<size_t>(index)];
    ASSERT_EQ(brant.type.load(), DEV_FindSearchType(200));
    const RegisterCell* registers = brant.registers.load();
    ASSERT_TRUE(WaitFor([&] { return Reg_Get(registers, 18) == 1; })); // started in "on"
    MakePage(DEV_FindSearchType(200));

    // "AUTO" button and lamp of the tile at (5, 5) of the page at (2, 60).
    const int button_x = 2 + 5 + 10 + 40, auto_y = 60 + 5 + 90 + 20;
    const int lamp_x = 2 + 5 + 100 + 1;
    Repaint();
    EXPECT_EQ(At(lamp_x, auto_y), Px(0x808080));
    Click(button_x, auto_y);
    EXPECT_EQ(debug.Count("WM_NOTIFICATION_RELEASED from Device Brant, Widget AUTO\n"), 1);
    ASSERT_TRUE(WaitFor([&] { return Reg_Get(registers, 18) == 2; }));
    Repaint();
    EXPECT_EQ(At(lamp_x, auto_y), Px(0x00FF00));

    // Two quick presses: both are written, the last one pressed stays.
    const int on_y = 60 + 5 + 140 + 20, off_y = 60 + 5 + 40 + 20;
    debug.Clear();
    Click(button_x, on_y);
    Click(button_x, off_y);
    ASSERT_TRUE(WaitFor([&] { return debug.Count("Send Ok\n") >= 2; }));
    ASSERT_TRUE(WaitFor([&] { return Reg_Get(registers, 18) == 0; }));
    // Polling cycles later (a cycle takes a few milliseconds here) the device still says "off".
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(Reg_Get(registers, 18), 0);
    Repaint();
    EXPECT_EQ(At(lamp_x, off_y), Px(0x00FF00));
    EXPECT_EQ(At(lamp_x, auto_y), Px(0x808080));
}

// Three meters on one page, the middle one failing for a while: each tile keeps its own name
// field and its own value text before, while and after its neighbour is offline. The page is
// the main screen's own, painted as the program paints it.
TEST_F(PageOnSimulator, TilesKeepTheirTextsWhileANeighbourIsOffline) {
    ScratchFolder folder("veltra-three-meters");
    const std::string scenario = folder.File("three-meters.scn");
    FILE* file = std::fopen(scenario.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs("11 corvo500 role=battery\n12 corvo500 role=load\n13 corvo500 role=solar\n", file);
    std::fclose(file);
    // A polling cycle is six requests; the search is about seventy. Unit 12 fails from request
    // 300 to 600: well after the search, for some fifty cycles.
    Master_SetPauseForTests(5);
    Simulator simulator({"--scenario", scenario, "--exception", "12", "--fault-window", "300-600"});
    ASSERT_GT(simulator.port(), 0);
    ConnectAndSearch(simulator);
    const int32_t units[3] = {11, 12, 13};
    int32_t index[3] = {};
    for (int k = 0; k < 3; ++k) {
        index[k] = DEV_FindUnit(units[k]);
        ASSERT_GE(index[k], 0) << units[k];
    }
    auto online = [&](int k) {
        return g_device_list.entries[static_cast<size_t>(index[k])].state.load() == 1;
    };

    MAINSCREEN_ForgetForTests();
    MAINSCREEN_CreateFrame(WM_GetRootWin());
    MAINSCREEN_BuildPages();
    const WM_HANDLE win = MAINSCREEN_PageWindowOfType(DEV_TYPE_CORVO_500);
    const int pg = MAINSCREEN_PageOfWindow(win);
    ASSERT_GE(pg, 0);
    MULTIPAGE_ShowPage(MAINSCREEN_Multipage(), pg);
    Exec();

    // Tile k: its name field in slot 2k, its "CNT" value text (drawn on a grey box, no widget)
    // counted in slot 2k + 1. Tiles are 220 wide with 5 between them.
    auto check = [&](const char* phase) {
        bool was_online[3];
        for (int k = 0; k < 3; ++k)
            was_online[k] = online(k);
        WM_InvalidateWin(win);
        Exec();
        for (int k = 0; k < 3; ++k) {
            const WM_HANDLE field = MAINSCREEN_NameField(pg, 2 * k);
            ASSERT_NE(field, 0) << phase << ": tile " << k;
            char text[64] = "";
            TEXT_ReadText(field, text, sizeof text);
            EXPECT_EQ(std::string(text), "Corvo:" + std::to_string(units[k]))
                << phase << ": tile " << k;
            int32_t device = -1;
            TEXT_ReadUserBytes(field, &device, sizeof device);
            EXPECT_EQ(device, index[k]) << phase << ": tile " << k;
            const int tile_x = 5 + k * 225;
            EXPECT_EQ(WM_GetWindowOrgX(field) - WM_GetWindowOrgX(win), tile_x + 3) << phase;
            EXPECT_EQ(MAINSCREEN_NameField(pg, 2 * k + 1), 0)
                << phase << ": no second field on " << k;
            // The value text's grey box on the tile of a meter that answers, nothing on the
            // one that does not (unless its state changed during the paint).
            if (online(k) != was_online[k]) continue;
            const uint32_t box =
                At(WM_GetWindowOrgX(win) + tile_x + 10 + 3, WM_GetWindowOrgY(win) + 5 + 310 + 3);
            if (online(k))
                EXPECT_EQ(box, Px(0x808080)) << phase << ": value text of tile " << k;
            else
                EXPECT_EQ(box, Px(0x000000)) << phase << ": offline tile " << k;
        }
        EXPECT_EQ(MAINSCREEN_NameField(pg, 6), 0) << phase;
    };

    ASSERT_TRUE(WaitFor([&] { return online(0) && online(1) && online(2); }));
    check("before");
    ASSERT_TRUE(WaitFor([&] { return !online(1); }));
    for (int paint = 0; paint < 5; ++paint) {
        check("while offline");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_GE(debug.Count("Slave id:12 MB Error!"), 1);
    ASSERT_TRUE(WaitFor([&] { return online(1); }));
    check("after");
    MAINSCREEN_ForgetForTests();
}

} // namespace
