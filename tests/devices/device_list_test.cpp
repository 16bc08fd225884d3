#include "devices/device_list.h"

#include "base/dbg.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string g_diagnostics;

// Each test runs in its own process, but the store is cleared anyway so that the cases do
// not depend on that.
class DeviceListTest : public ::testing::Test {
  protected:
    void SetUp() override {
        DEV_Clear();
        g_diagnostics.clear();
        DBG_SetSink([](const char* text, int length) { g_diagnostics.append(text, length); });
    }
    void TearDown() override { DBG_SetSink(nullptr); }

    static RegisterCell* Map() { return g_register_store.data(); }
    static int64_t Value(int32_t block, int32_t reg) {
        return Reg_GetValue(reg, REG_TYPE_S32, Map() + block);
    }
};

TEST_F(DeviceListTest, DisplayUnitBecomesElevenMembersOverItsBlocks) {
    DEV_BeginSearch();
    constexpr int32_t kUnit = 7;
    ASSERT_EQ(DEV_CreateDisplayGroup(kUnit), 0);
    ASSERT_EQ(g_device_list.device_count.load(), 11);

    const int32_t blocks[11] = {0, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000, 10000, 11000};
    const int types[11] = {DEV_TYPE_QUILL,  DEV_TYPE_HOME,   DEV_TYPE_GRAPH,  DEV_TYPE_AMPRIX,
                           DEV_TYPE_AMPRIX, DEV_TYPE_AMPRIX, DEV_TYPE_AMPRIX, DEV_TYPE_LEVRA,
                           DEV_TYPE_LEVRA,  DEV_TYPE_LEVRA,  DEV_TYPE_LEVRA};
    const char* names[11] = {"Quill",    "Home",    "Graph",   "Amprix 1", "Amprix 2", "Amprix 3",
                             "Amprix 4", "Levra 1", "Levra 2", "Levra 3",  "Levra 4"};
    for (int k = 0; k < 11; ++k) {
        SCOPED_TRACE(k);
        const DeviceEntry& entry = g_device_list.entries[k];
        EXPECT_EQ(entry.unit_id.load(), kUnit);
        EXPECT_EQ(entry.state.load(), 1);
        EXPECT_EQ(entry.type.load(), DeviceTypeTable[types[k]]);
        EXPECT_EQ(entry.registers.load(), Map() + blocks[k]);
        EXPECT_EQ(entry.window_length.load(), k == 0 ? 12000 : 1000);
        EXPECT_STREQ(entry.name, names[k]);
        EXPECT_STREQ(entry.custom_name, "");
        EXPECT_TRUE(DEV_IsDisplayMember(entry));
        // Common header of every block.
        const RegisterCell* block = Map() + blocks[k];
        EXPECT_EQ(Reg_Get(block, 0), 2048);
        EXPECT_EQ(Reg_Get(block, 9), 1);
        EXPECT_EQ(Reg_Get(block, 10), 6);
        EXPECT_EQ(Reg_Get(block, 11), 0);
        EXPECT_EQ(Value(blocks[k], 12), 19200);
        EXPECT_EQ(Reg_Get(block, 14), 101);
        EXPECT_EQ(Reg_Get(block, 15), 1);
        EXPECT_EQ(Reg_Get(block, 16), kUnit);
    }
    // A lookup of the unit id finds the "Quill" member, whose window is the whole map.
    EXPECT_EQ(DEV_FindUnit(kUnit), 0);
    EXPECT_EQ(DEV_FindUnit(8), -1);
}

TEST_F(DeviceListTest, HeaderOverwritesAStaleIdentityAndKeepsOtherRegisters) {
    for (int32_t r = 0; r < 40; ++r)
        Reg_Set(Map() + 3000, r, 0xABCD);
    DEV_BeginSearch();
    DEV_CreateDisplayGroup(3);
    const RegisterCell* graph = Map() + 3000;
    for (int32_t r = 2; r <= 7; ++r)
        EXPECT_EQ(Reg_Get(graph, r), 0) << r;
    EXPECT_EQ(Reg_Get(graph, 1), 0xABCD);
    EXPECT_EQ(Reg_Get(graph, 17), 0xABCD);
}

TEST_F(DeviceListTest, AmprixFullScaleFollowsTheSensorKind) {
    struct Case {
        uint16_t kind_register; // low byte is the kind
        int64_t full, warning, alarm;
    };
    const Case cases[4] = {
        {2, 100000, 90000, 95000},
        {0x1208, 200000, 180000, 190000}, // the high byte is not part of the kind
        {10, 600000, 540000, 570000},
        {6, 0, 1, 1}, // unknown kind
    };
    for (int k = 0; k < 4; ++k)
        Reg_Set(Map(), 64 + 10 * k, cases[k].kind_register);
    DEV_BeginSearch();
    DEV_CreateDisplayGroup(1);
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(k);
        const int32_t block = 4000 + 1000 * k;
        EXPECT_EQ(Value(block, 20), 0);
        EXPECT_EQ(Value(block, 22), 0);
        EXPECT_EQ(Value(block, 24), cases[k].full);
        EXPECT_EQ(Value(block, 26), -1);
        EXPECT_EQ(Value(block, 28), cases[k].warning);
        EXPECT_EQ(Value(block, 30), -1);
        EXPECT_EQ(Value(block, 32), cases[k].alarm);
    }
}

TEST_F(DeviceListTest, AmprixKindsOfEveryRange) {
    const uint16_t kinds[] = {3, 4, 5, 7, 9, 0, 1, 11};
    const int64_t full[] = {200000, 400000, 600000, 100000, 400000, 0, 0, 0};
    for (std::size_t i = 0; i < std::size(kinds); ++i) {
        SCOPED_TRACE(kinds[i]);
        DEV_Clear();
        Reg_Set(Map(), 64, kinds[i]);
        DEV_BeginSearch();
        DEV_CreateDisplayGroup(1);
        EXPECT_EQ(Value(4000, 24), full[i]);
    }
}

TEST_F(DeviceListTest, LevraDefaultsAndNames) {
    const char* names[4] = {"Tank 1", nullptr, "A name far longer than nineteen", "Tank 4"};
    DEV_BeginSearch();
    DEV_CreateDisplayGroup(2, names);
    for (int k = 0; k < 4; ++k) {
        const int32_t block = 8000 + 1000 * k;
        const int64_t expected[7] = {0, 0, 10000, 10, 90, 5, 95};
        for (int i = 0; i < 7; ++i)
            EXPECT_EQ(Value(block, 20 + 2 * i), expected[i]) << k;
    }
    EXPECT_STREQ(g_device_list.entries[7].name, "Tank 1");
    EXPECT_STREQ(g_device_list.entries[8].name, "Levra 2");
    EXPECT_STREQ(g_device_list.entries[9].name, "A name far longer t"); // 19 characters
    EXPECT_STREQ(g_device_list.entries[10].name, "Tank 4");
}

TEST_F(DeviceListTest, HomeCounterStartsFromTheAmpereHourCounter) {
    Reg_Set32(Map() + 2000, 50, static_cast<uint32_t>(-2500000)); // -2500 Ah in mAh
    DEV_BeginSearch();
    DEV_CreateDisplayGroup(1);
    EXPECT_EQ(Reg_GetValue(52, REG_TYPE_U64, Map() + 2000), -2500000LL * 3600);

    DEV_Clear();
    Reg_Set32(Map() + 2000, 50, 0x7FFFFFFF);
    DEV_BeginSearch();
    DEV_CreateDisplayGroup(1);
    EXPECT_EQ(Reg_GetValue(52, REG_TYPE_U64, Map() + 2000), 0x7FFFFFFFLL * 3600);
}

TEST_F(DeviceListTest, OrdinaryDevicesGetConsecutiveWindowsAfterTheDisplayMap) {
    DEV_BeginSearch();
    const DeviceType* rv = DEV_FindSearchType(1024);
    const DeviceType* brant = DEV_FindSearchType(200);
    EXPECT_EQ(DEV_AppendDevice(5, rv), 0);
    EXPECT_EQ(DEV_CreateDisplayGroup(6), 1);
    EXPECT_EQ(DEV_AppendDevice(9, brant), 12);
    EXPECT_EQ(DEV_AppendDevice(10, rv), 13);
    EXPECT_EQ(g_device_list.device_count.load(), 14);

    const DeviceEntry* e = g_device_list.entries.data();
    EXPECT_EQ(e[0].registers.load(), Map() + 12000);
    EXPECT_EQ(e[12].registers.load(), Map() + 12000 + 828);
    EXPECT_EQ(e[13].registers.load(), Map() + 12000 + 828 + 102); // Brant's window, not poll
    EXPECT_EQ(e[0].window_length.load(), 828);
    EXPECT_EQ(e[12].window_length.load(), 102);
    EXPECT_STREQ(e[0].name, "RV100/30");
    EXPECT_STREQ(e[12].name, "Brant");
    EXPECT_EQ(e[12].unit_id.load(), 9);
    EXPECT_EQ(e[12].state.load(), 1);
    EXPECT_FALSE(DEV_IsDisplayMember(e[0]));
    EXPECT_EQ(DEV_FindUnit(10), 13);
    EXPECT_EQ(DEV_FindUnit(6), 1);

    // A new search fills the list and the store from the start again.
    DEV_BeginSearch();
    EXPECT_EQ(DEV_AppendDevice(11, brant), 0);
    EXPECT_EQ(e[0].registers.load(), Map() + 12000);
    EXPECT_STREQ(e[0].name, "Brant");
    EXPECT_EQ(g_device_list.device_count.load(), 1);
}

TEST_F(DeviceListTest, FullListOrStoreRefusesWithAMessage) {
    DEV_BeginSearch();
    const DeviceType* celton = DEV_FindSearchType(100);
    for (int i = 0; i < DEV_LIST_SIZE - 10; ++i)
        ASSERT_EQ(DEV_AppendDevice(1, celton), i);
    // Ten entries left: no room for a display group, nothing changed.
    EXPECT_EQ(DEV_CreateDisplayGroup(3), -1);
    EXPECT_EQ(g_device_list.device_count.load(), DEV_LIST_SIZE - 10);
    EXPECT_EQ(g_diagnostics, "Device list full, slave id:3 not added\n");
    for (int i = DEV_LIST_SIZE - 10; i < DEV_LIST_SIZE; ++i)
        ASSERT_EQ(DEV_AppendDevice(1, celton), i);
    g_diagnostics.clear();
    EXPECT_EQ(DEV_AppendDevice(4, celton), -1);
    EXPECT_EQ(g_device_list.device_count.load(), DEV_LIST_SIZE);
    EXPECT_EQ(g_diagnostics, "Device list full, slave id:4 not added\n");

    // 253 windows of 1000 and one of 828 leave 172 registers at the end of the store.
    DEV_BeginSearch();
    g_diagnostics.clear();
    const DeviceType* graph = DeviceTypeTable[DEV_TYPE_GRAPH];
    for (int i = 0; i < 253; ++i)
        ASSERT_EQ(DEV_AppendDevice(1, graph), i);
    ASSERT_EQ(DEV_AppendDevice(1, DEV_FindSearchType(1024)), 253);
    EXPECT_EQ(DEV_AppendDevice(2, graph), -1);
    EXPECT_EQ(g_diagnostics, "Register store full, slave id:2 not added\n");
    EXPECT_EQ(DEV_AppendDevice(2, celton), 254); // a smaller window still fits
    EXPECT_EQ(g_device_list.entries[254].registers.load() + 109 + 63, Map() + REG_STORE_SIZE);
}

TEST_F(DeviceListTest, ClearEmptiesStoreListAndCounts) {
    DEV_BeginSearch();
    DEV_CreateDisplayGroup(4);
    DEV_AppendDevice(5, DEV_FindSearchType(500));
    g_device_list.polled_count.store(12);
    DeviceEntry& entry = g_device_list.entries[11];
    std::snprintf(entry.custom_name, sizeof entry.custom_name, "Shunt");
    entry.widgets_made = 1;
    entry.tile_widget_count = 2;
    entry.tile_widgets[1] = 77;
    entry.greyed = 1;
    Reg_Set(Map(), REG_STORE_SIZE - 1, 5);

    DEV_Clear();
    EXPECT_EQ(g_device_list.device_count.load(), 0);
    EXPECT_EQ(g_device_list.polled_count.load(), 0);
    for (const RegisterCell& cell : g_register_store)
        ASSERT_EQ(cell.load(), 0);
    for (const DeviceEntry& e : g_device_list.entries) {
        ASSERT_EQ(e.unit_id.load(), 0);
        ASSERT_EQ(e.state.load(), 0);
        ASSERT_EQ(e.type.load(), nullptr);
        ASSERT_EQ(e.registers.load(), nullptr);
        ASSERT_EQ(e.name[0], '\0');
        ASSERT_EQ(e.custom_name[0], '\0');
        ASSERT_EQ(e.widgets_made, 0);
        ASSERT_EQ(e.tile_widget_count, 0);
        ASSERT_EQ(e.tile_widgets[1], 0);
        ASSERT_EQ(e.greyed, 0);
    }
    // The next device goes to the first window again.
    EXPECT_EQ(DEV_AppendDevice(5, DEV_FindSearchType(500)), 0);
    EXPECT_EQ(g_device_list.entries[0].registers.load(), Map() + 12000);
}

TEST_F(DeviceListTest, ClockComesFromTheDisplayMapBytes) {
    DeviceClock clock{1, 1, 1, 1, 1, 1};
    EXPECT_FALSE(DEV_ReadClock(&clock)); // no display unit yet
    EXPECT_EQ(clock.minute, 1);

    DEV_BeginSearch();
    DEV_CreateDisplayGroup(1);
    Reg_Set(Map(), 144, (34 << 8) | 13); // minute 34, hour 13
    Reg_Set(Map(), 145, (99 << 8) | 56); // second 56 in the low byte
    Reg_Set(Map(), 154, (11 << 8) | 99); // month 11 in the high byte
    Reg_Set(Map(), 155, (25 << 8) | 30); // year 25, day 30
    ASSERT_TRUE(DEV_ReadClock(&clock));
    EXPECT_EQ(clock.hour, 13);
    EXPECT_EQ(clock.minute, 34);
    EXPECT_EQ(clock.second, 56);
    EXPECT_EQ(clock.day, 30);
    EXPECT_EQ(clock.month, 11);
    EXPECT_EQ(clock.year, 25);

    DEV_Clear();
    EXPECT_FALSE(DEV_ReadClock(&clock));
}

} // namespace
