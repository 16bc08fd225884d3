// Alarms that come and go on the gateway simulator's schedule reach the information window as
// lines in the selected language, with the device's name as its tile shows it.
#include "base/lifecycle.h"
#include "base/queue.h"
#include "comm/gateway.h"
#include "comm/master.h"
#include "gui/toolkit/lang/gui_lang.h"
#include "gui/toolkit/widgets/listbox.h"
#include "pages/event.h"
#include "pages/info.h"
#include "tests/pages/devicepage_golden_util.h"
#include "tests/util/simulator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>

namespace {

int32_t TakeStatus() {
    StatusMessage status{};
    for (int waited = 0; waited < 20000; waited += 2) {
        if (QUEUE_Receive(&g_gui_queue, &status) == 0) return status.status;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return 0;
}

bool ListHas(const std::string& line) {
    char text[128];
    for (int i = 0; i < LISTBOX_Count(INFO_List()); ++i) {
        text[0] = '\0';
        LISTBOX_ReadItemText(INFO_List(), i, text, sizeof text);
        if (line == text) return true;
    }
    return false;
}

class EventOnSimulator : public pagetest::PageTest {
  protected:
    void SetUp() override {
        PageTest::SetUp();
        Event_Reset();
        Master_SetPauseForTests(1);
        INFO_Create(WM_GetRootWin());
        // The shipped German texts, selected.
        std::ifstream file(std::string(VELTRA_SOURCE_DIR) + "/Data_Media/l_de.txt",
                           std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(file), {}};
        ASSERT_FALSE(bytes.empty());
        GUI_Lang_SetCount(2);
        ASSERT_EQ(GUI_Lang_Load(bytes.data(), static_cast<int>(bytes.size()), 1), 0);
        GUI_Lang_Select(1);
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

    std::thread connection_;
    std::thread master_;
};

TEST_F(EventOnSimulator, ScheduledAlarmsComeAndGoInTheInformationWindow) {
    // The Celton at unit 3: over voltage and over temperature for 1.5 s in every 3 s.
    Simulator simulator({"--alarm", "3:ov+temp:1500"});
    ASSERT_GT(simulator.port(), 0);
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
    const int32_t index = DEV_FindUnit(3);
    ASSERT_GE(index, 0);
    std::snprintf(g_device_list.entries[size_t(index)].custom_name, DEV_CUSTOM_NAME_SIZE, "Bug");

    // The GUI task's once-a-second scan, run faster here.
    const char* wanted[] = {"Bug:3 OVP Alarm gekommen", "Bug:3 OVP Alarm gegangen",
                            "Bug:3 Temperature \xDC"
                            "bertemperatur gekommen",
                            "Bug:3 Temperature \xDC"
                            "bertemperatur gegangen"};
    bool all = false;
    for (int waited = 0; waited < 15000 && !all; waited += 50) {
        Event_Check();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        all = true;
        for (const char* line : wanted)
            all = all && ListHas(line);
    }
    for (const char* line : wanted)
        EXPECT_TRUE(ListHas(line)) << line;
    // Nothing else on the bus has an alarm.
    std::istringstream diagnostics(debug.Text());
    for (std::string line; std::getline(diagnostics, line);) {
        const bool event = line.size() > 9 && (line.compare(line.size() - 9, 9, " gekommen") == 0 ||
                                               line.compare(line.size() - 9, 9, " gegangen") == 0);
        if (event) {
            EXPECT_EQ(line.rfind("Bug:3 ", 0), 0u) << line;
        }
    }
}

} // namespace
