// Alarm words of the watched device types, the came and went lines they give in the
// information list and the diagnostic output, and the words kept across a refilled list.
#include "pages/event.h"

#include "gui/toolkit/lang/gui_lang.h"
#include "gui/toolkit/widgets/listbox.h"
#include "pages/info.h"
#include "tests/pages/devicepage_golden_util.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

class EventTest : public pagetest::PageTest {
  protected:
    void SetUp() override {
        PageTest::SetUp();
        Event_Reset();
        // Text n is "T<n>", except the words of the lines.
        std::string texts;
        for (int n = 0; n < 200; ++n) {
            const char* word = n == EVENT_TEXT_CAME    ? "came"
                               : n == EVENT_TEXT_WENT  ? "went"
                               : n == EVENT_TEXT_ALARM ? "alarm"
                                                       : nullptr;
            texts += (word != nullptr ? word : "T" + std::to_string(n)) + "\n";
        }
        GUI_Lang_SetCount(1);
        GUI_Lang_Load(texts.data(), static_cast<int>(texts.size()), 0);
        GUI_Lang_Select(0);
        INFO_Create(WM_GetRootWin());
        // A display unit at unit 1 with 11.8 V and 14.6 V in threshold record 0.
        ASSERT_EQ(DEV_CreateDisplayGroup(1), 0);
        map_ = g_register_store.data();
        Reg_Set(map_, 0, DEV_DISPLAY_TYPE_ID);
        Reg_Set32(map_, 522, 11800);
        Reg_Set32(map_, 524, 14600);
    }

    // The lines written to the diagnostic output since the last call.
    Lines Check() {
        debug.Clear();
        Event_Check();
        Lines lines;
        std::istringstream text(debug.Text());
        for (std::string line; std::getline(text, line);)
            lines.push_back(line);
        return lines;
    }

    // Appends a device in its normal state: answering, no alarm, a voltage between the
    // thresholds.
    DeviceEntry& Add(int unit, int type_index) {
        const int32_t index = DEV_AppendDevice(unit, DeviceTypeTable[size_t(type_index)]);
        EXPECT_GE(index, 0);
        DeviceEntry& entry = g_device_list.entries[size_t(index)];
        if (type_index == DEV_TYPE_CELTON) Reg_Set(W(entry), 7, 13000 / 4);
        if (type_index == DEV_TYPE_CELTON_V2 || type_index == DEV_TYPE_CELTON_101)
            Reg_Set(W(entry), 7, 13000);
        if (type_index == DEV_TYPE_CELTON_103 || type_index == DEV_TYPE_CELTON_104)
            Reg_Set(W(entry), 100, 13000);
        return entry;
    }
    static RegisterCell* W(DeviceEntry& entry) { return entry.registers.load(); }

    RegisterCell* map_ = nullptr;
};

TEST_F(EventTest, SilentDeviceGivesOneModbusLineWhenItStopsAndOneWhenItAnswersAgain) {
    DeviceEntry& celton = Add(3, DEV_TYPE_CELTON);
    EXPECT_EQ(Check(), Lines{});
    celton.state.store(0);
    EXPECT_EQ(Check(), Lines{"Celton:3 Modbus alarm came"});
    EXPECT_EQ(Check(), Lines{}) << "reported once";
    celton.state.store(1);
    EXPECT_EQ(Check(), Lines{"Celton:3 Modbus alarm went"});

    // The same lines in the information list, newest last.
    ASSERT_EQ(LISTBOX_Count(INFO_List()), 2);
    char text[64] = {};
    LISTBOX_ReadItemText(INFO_List(), 1, text, sizeof text);
    EXPECT_STREQ(text, "Celton:3 Modbus alarm went");
}

TEST_F(EventTest, OnlyTheBitsThatChangedAreReportedEvenWhenOneComesAndAnotherGoes) {
    DeviceEntry& brant = Add(6, DEV_TYPE_BRANT_V2);
    brant.state.store(0);
    Reg_Set(W(brant), 100, 1); // LVP
    EXPECT_EQ(Check(), (Lines{"BrantV2:6 LVP alarm came", "BrantV2:6 Modbus alarm came"}));
    // OVP comes while LVP and Modbus stay.
    Reg_Set(W(brant), 101, 1);
    EXPECT_EQ(Check(), Lines{"BrantV2:6 OVP alarm came"});
    // Now 64 against 64 + 32 + 16: LVP and Modbus went, nothing came.
    brant.state.store(1);
    Reg_Set(W(brant), 100, 0);
    EXPECT_EQ(Check(), (Lines{"BrantV2:6 LVP alarm went", "BrantV2:6 Modbus alarm went"}));

    // Current 64 after previous 16: OVP came and Modbus went (the difference, 48, would claim
    // LVP and Modbus came).
    DeviceEntry& other = Add(7, DEV_TYPE_BRANT_V2);
    other.state.store(0);
    EXPECT_EQ(Check(), Lines{"BrantV2:7 Modbus alarm came"});
    other.state.store(1);
    Reg_Set(W(other), 101, 1);
    EXPECT_EQ(Check(), (Lines{"BrantV2:7 OVP alarm came", "BrantV2:7 Modbus alarm went"}));
}

TEST_F(EventTest, FirstEvaluationReportsEverySetBitInTableOrder) {
    DeviceEntry& brant = Add(6, DEV_TYPE_BRANT_V2);
    brant.state.store(0);
    Reg_Set(W(brant), 140, 1); // temperature 4
    Reg_Set(W(brant), 149, 1); // temperature 1
    Reg_Set(W(brant), 100, 1);
    Reg_Set(W(brant), 101, 1);
    EXPECT_EQ(Check(), (Lines{"BrantV2:6 OVP alarm came", "BrantV2:6 LVP alarm came",
                              "BrantV2:6 Modbus alarm came", "BrantV2:6 Temperature T166 came",
                              "BrantV2:6 Temperature T167 came"}));
    EXPECT_EQ(Event_State(DEV_GROUP_SIZE)->previous, 64u + 32 + 16 + 1 + 4);
}

TEST_F(EventTest, EachFamilyReadsItsOwnRegisters) {
    DeviceEntry& rv = Add(2, DEV_TYPE_RV75_40);
    DeviceEntry& brant = Add(5, DEV_TYPE_BRANT);
    DeviceEntry& c101 = Add(8, DEV_TYPE_CELTON_101);
    DeviceEntry& c103 = Add(9, DEV_TYPE_CELTON_103);
    DeviceEntry& c104 = Add(10, DEV_TYPE_CELTON_104);
    Add(11, DEV_TYPE_CORVO_500); // meters have no alarms
    EXPECT_EQ(Check(), Lines{});
    Reg_Set(W(rv), 519, 0x21); // low four bits 1
    Reg_Set(W(brant), 18, 3);  // over temperature
    Reg_Set(W(c101), 13, 7);   // temperature 1
    Reg_Set(W(c103), 127, 2);  // temperature 1
    Reg_Set(W(c104), 127, 2);  // not a 104's register
    Reg_Set(W(c104), 104, 1);  // temperature 4
    EXPECT_EQ(Check(), (Lines{"RV75/40:2 Temperature T166 came", "Brant:5 Temperature T166 came",
                              "Celton:8 Temperature T166 came", "Celton:9 Temperature T166 came",
                              "Celton:10 Temperature T167 came"}));
    // Bit 8 alone changes the word but forms no line, coming and going.
    Reg_Set(W(c104), 106, 1);
    EXPECT_EQ(Check(), Lines{});
    EXPECT_EQ(Event_State(DEV_GROUP_SIZE + 4)->previous, 4u + 8);
    Reg_Set(W(c104), 106, 0);
    EXPECT_EQ(Check(), Lines{});
    EXPECT_EQ(Event_State(DEV_GROUP_SIZE + 4)->previous, 4u);
}

TEST_F(EventTest, VoltageBitsAtTheThresholdsOfTheSelectedRecord) {
    DeviceEntry& celton = Add(3, DEV_TYPE_CELTON); // V = register 7 x 4
    Reg_Set(W(celton), 7, 14600 / 4);
    EXPECT_EQ(Event_AlarmWord(celton, map_), EVENT_OVP) << "exactly the high threshold";
    Reg_Set(W(celton), 7, 14596 / 4);
    EXPECT_EQ(Event_AlarmWord(celton, map_), 0u);
    Reg_Set(W(celton), 7, 11800 / 4);
    EXPECT_EQ(Event_AlarmWord(celton, map_), EVENT_LVP) << "exactly the low threshold";
    Reg_Set(W(celton), 7, 11804 / 4);
    EXPECT_EQ(Event_AlarmWord(celton, map_), 0u);

    // Record 2 (at 574) selected by register 25: 12.0 V to 13.0 V.
    Reg_Set(map_, 25, 2);
    Reg_Set32(map_, 574, 12000);
    Reg_Set32(map_, 576, 13000);
    Reg_Set(W(celton), 7, 13000 / 4);
    EXPECT_EQ(Event_AlarmWord(celton, map_), EVENT_OVP);
    // Unsigned 32 bits: a high threshold with its top bit set is far above any voltage, and
    // a threshold at or above it makes both bits.
    Reg_Set32(map_, 576, 0x80000000u);
    EXPECT_EQ(Event_AlarmWord(celton, map_), 0u);
    Reg_Set32(map_, 574, 0xFFFFFFFFu);
    EXPECT_EQ(Event_AlarmWord(celton, map_), EVENT_LVP);

    // The other protectors compare their register as it is.
    DeviceEntry& v2 = Add(4, DEV_TYPE_CELTON_V2);
    DeviceEntry& c103 = Add(9, DEV_TYPE_CELTON_103);
    Reg_Set(map_, 25, 0);
    Reg_Set(W(v2), 7, 14600);
    Reg_Set(W(c103), 100, 11800);
    EXPECT_EQ(Event_AlarmWord(v2, map_), EVENT_OVP);
    EXPECT_EQ(Event_AlarmWord(c103, map_), EVENT_LVP);

    // Unknown thresholds give no voltage bits: a record beyond what is polled from the display
    // unit, or no display unit at all.
    Reg_Set(map_, 25, 21);
    EXPECT_EQ(Event_AlarmWord(v2, map_), 0u);
    Reg_Set(map_, 25, 0xFFFF);
    EXPECT_EQ(Event_AlarmWord(v2, map_), 0u);
    Reg_Set(map_, 25, 0);
    Reg_Set(map_, 0, 0);
    EXPECT_EQ(Event_AlarmWord(v2, map_), 0u);
}

TEST_F(EventTest, ARefilledListKeepsTheWordsOfTheSameDevicesOnly) {
    DeviceEntry& celton = Add(3, DEV_TYPE_CELTON);
    DeviceEntry& brant = Add(5, DEV_TYPE_BRANT);
    celton.state.store(0);
    brant.state.store(0);
    EXPECT_EQ(Check(), (Lines{"Celton:3 Modbus alarm came", "Brant:5 Modbus alarm came"}));

    // The gateway is lost and found again: the same devices, still silent, report nothing;
    // the index of the Celton now holds a controller, which starts without alarms.
    DEV_Clear();
    ASSERT_EQ(DEV_CreateDisplayGroup(1), 0);
    Reg_Set(map_, 0, DEV_DISPLAY_TYPE_ID);
    DeviceEntry& rv = Add(3, DEV_TYPE_RV100_30);
    DeviceEntry& same_brant = Add(5, DEV_TYPE_BRANT);
    rv.state.store(0);
    same_brant.state.store(0);
    EXPECT_EQ(Check(), Lines{"RV100/30:3 Modbus alarm came"});
    same_brant.state.store(1);
    EXPECT_EQ(Check(), Lines{"Brant:5 Modbus alarm went"});
}

TEST_F(EventTest, LinesNameTheDeviceAsItsTileDoes) {
    DeviceEntry& first = Add(3, DEV_TYPE_CELTON);
    DeviceEntry& second = Add(4, DEV_TYPE_CELTON);
    std::snprintf(second.custom_name, sizeof second.custom_name, "Boot gro\xDF");
    first.state.store(0);
    second.state.store(0);
    EXPECT_EQ(Check(), (Lines{"Celton:3 Modbus alarm came", "Boot gro\xDF:4 Modbus alarm came"}));
    // A text with a per cent sign is shown as it is.
    std::string file;
    for (int n = 0; n < 200; ++n)
        file += n == EVENT_TEXT_WENT ? "100% weg\n" : "T" + std::to_string(n) + "\n";
    GUI_Lang_Load(file.data(), static_cast<int>(file.size()), 0);
    first.state.store(1);
    EXPECT_EQ(Check(), Lines{"Celton:3 Modbus T165 100% weg"});
}

} // namespace
