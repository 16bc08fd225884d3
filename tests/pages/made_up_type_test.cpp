// A device type that exists only in this test, made the way every type is: a family file of
// its own (family_gizmo.cpp) and one table line. Its page draws its tile, the data log gets its
// column and the event scan reports its alarm, with no other file knowing the type.
#include "devices/device_types.h"
#include "gui/toolkit/lang/gui_lang.h"
#include "log/log.h"
#include "pages/devicepage.h"
#include "pages/event.h"
#include "tests/pages/devicepage_golden_util.h"

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// The Gizmo's table line, written like a line of DEV_TYPE_LIST in devices/device_types.h but
// kept in the test's own extension of the list so that the program never has the type. The
// line declares the record the family file defines and gives its place in the table.
#define GIZMO_TYPE_LIST(X) X(GIZMO, Gizmo)
GIZMO_TYPE_LIST(DEV_TYPE_DECLARE)

namespace {

constexpr std::array kTypesWithGizmo{DEV_TYPE_LIST(DEV_TYPE_ENTRY) GIZMO_TYPE_LIST(DEV_TYPE_ENTRY)};
static_assert(kTypesWithGizmo.size() == DEV_TYPE_COUNT + 1);

using pagetest::PageTest;
using widgettest::Px;

std::string ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST_F(PageTest, AMadeUpFamilyFileGivesATilePageALogColumnAndAnAlarmWord) {
    std::string texts;
    for (int n = 0; n < 200; ++n)
        texts += (n == EVENT_TEXT_CAME    ? std::string("came")
                  : n == EVENT_TEXT_ALARM ? std::string("alarm")
                                          : "T" + std::to_string(n)) +
                 "\n";
    GUI_Lang_SetCount(1);
    GUI_Lang_Load(texts.data(), static_cast<int>(texts.size()), 0);
    GUI_Lang_Select(0);
    Event_Reset();

    const DeviceType* gizmo = kTypesWithGizmo[DEV_TYPE_COUNT];
    ASSERT_EQ(gizmo, &DEVTYPE_Gizmo);
    ASSERT_EQ(gizmo->type_id, 777u);

    DEV_BeginSearch();
    const int32_t index = DEV_AppendDevice(9, gizmo);
    ASSERT_GE(index, 0);
    DeviceEntry& entry = g_device_list.entries[static_cast<size_t>(index)];
    RegisterCell* window = entry.registers.load();
    Reg_Set(window, 10, 1234);
    Reg_Set(window, 11, 1);

    // The page: the OVP lamp at (10, 160) of the tile at (5, 5) is in alarm, so its border
    // blinks between red and grey.
    MakePage(gizmo);
    const int bx = 2 + 5 + 10 + 1, by = 60 + 5 + 160 + 12;
    std::vector<uint32_t> seen;
    for (int tick = 0; tick < 2; ++tick) {
        DEVPAGE_OnPageTick();
        Repaint();
        seen.push_back(At(bx, by));
    }
    EXPECT_TRUE((seen[0] == Px(0x0000FF) && seen[1] == Px(0x808080)) ||
                (seen[1] == Px(0x0000FF) && seen[0] == Px(0x808080)))
        << std::hex << seen[0] << " " << seen[1];

    // The log: its column in the header and its value in the line.
    ASSERT_EQ(LOG_Init(), 0);
    ASSERT_EQ(LOG_Put(), 0);
    const std::string text = ReadAll(LOG_Path());
    EXPECT_EQ(text.rfind("Time;Gizmo:9:POWER;\r\n", 0), 0u) << text;
    EXPECT_NE(text.find(";1234;\r\n"), std::string::npos) << text;

    // The alarm: watched, its word has OVP, and the scan reports it once.
    EXPECT_TRUE(Event_IsWatched(gizmo));
    EXPECT_EQ(Event_AlarmWord(entry, g_register_store.data()), EVENT_OVP);
    debug.Clear();
    Event_Check();
    EXPECT_EQ(debug.Count("Gizmo:9 OVP alarm came\n"), 1);
}

} // namespace
