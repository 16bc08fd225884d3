// A tile's buttons against the gateway simulator: the press travels through the master queue
// and the connection task to the device, and the next poll shows the device's new state on
// the page.
#include "base/lifecycle.h"
#include "base/queue.h"
#include "comm/gateway.h"
#include "comm/master.h"
#include "pages/devicepage.h"
#include "tests/pages/devicepage_golden_util.h"
#include "tests/util/simulator.h"

#include <gtest/gtest.h>

#include <chrono>
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

} // namespace
