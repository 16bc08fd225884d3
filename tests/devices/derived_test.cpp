#include "devices/derived.h"
#include "devices/device_list.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>

namespace {

class Derived : public ::testing::Test {
  protected:
    RegisterCell* W() { return window.data(); }
    void Set(int32_t index, int32_t value) { Reg_Set(W(), index, static_cast<uint16_t>(value)); }
    void SetFloat(int32_t index, float value) {
        Reg_Set32(W(), index, std::bit_cast<uint32_t>(value));
    }
    int64_t U16(int32_t index) { return Reg_GetValue(index, REG_TYPE_U16, W()); }
    int64_t S32(int32_t index) { return Reg_GetValue(index, REG_TYPE_S32, W()); }

    std::array<RegisterCell, 1000> window{};
};

struct Side {
    int64_t sum, capacity, power, capacity95, power95, capacity90, power90;
};

// Registers of side 2 (charge) and side 1 (load) of a charge controller.
Side Charge(RegisterCell* w) {
    auto s32 = [&](int32_t i) { return Reg_GetValue(i, REG_TYPE_S32, w); };
    auto u16 = [&](int32_t i) { return Reg_GetValue(i, REG_TYPE_U16, w); };
    return {s32(800), s32(804), u16(806), s32(824), u16(826), s32(808), u16(810)};
}
Side Load(RegisterCell* w) {
    auto s32 = [&](int32_t i) { return Reg_GetValue(i, REG_TYPE_S32, w); };
    auto u16 = [&](int32_t i) { return Reg_GetValue(i, REG_TYPE_U16, w); };
    return {s32(802), s32(812), u16(814), s32(820), u16(822), s32(816), u16(818)};
}

void ExpectSide(const Side& got, const Side& want) {
    EXPECT_EQ(got.sum, want.sum);
    EXPECT_EQ(got.capacity, want.capacity);
    EXPECT_EQ(got.power, want.power);
    EXPECT_EQ(got.capacity95, want.capacity95);
    EXPECT_EQ(got.power95, want.power95);
    EXPECT_EQ(got.capacity90, want.capacity90);
    EXPECT_EQ(got.power90, want.power90);
}

TEST_F(Derived, ChargerWithoutChannelsUsesItsOwnRating) {
    SetFloat(552, 2.0f);  // side 2 current
    SetFloat(554, 3.5f);  // side 1 current
    SetFloat(546, 12.0f); // power base
    DEV_ChargerScales(W(), DeviceTypeTable[DEV_TYPE_RV100_30]);
    // X = 12000 * 30 / 1000 = 360.
    ExpectSide(Charge(W()), {2000, 30000, 360, 28500, 342, 27000, 324});
    ExpectSide(Load(W()), {3500, 30000, 360, 28500, 342, 27000, 324});

    DEV_ChargerScales(W(), DeviceTypeTable[DEV_TYPE_RV140_30]);
    EXPECT_EQ(S32(804), 30000);

    DEV_ChargerScales(W(), DeviceTypeTable[DEV_TYPE_RV75_40]);
    ExpectSide(Charge(W()), {2000, 40000, 480, 38000, 456, 36000, 432});
    ExpectSide(Load(W()), {3500, 40000, 480, 38000, 456, 36000, 432});
}

TEST_F(Derived, ChargerChannelsAddToTheirSideByKind) {
    Set(201, 0x0506);      // channel 0: kind 6 in the low byte -> side 1, x10, 100
    Set(205, 11);          // channel 1: kind 11 -> side 2, x40, 400
    Set(209, 7);           // channel 2: kind 7 -> side 1, x20, 200
    Set(213, 12);          // channel 3: no kind
    SetFloat(538, 1.5f);   // 1500
    SetFloat(540, 2.0f);   // 2000
    SetFloat(542, 1.0f);   // 1000
    SetFloat(544, 100.0f); // ignored
    SetFloat(546, 1.0f);   // P = 1000
    DEV_ChargerScales(W(), DeviceTypeTable[DEV_TYPE_RV100_30]);
    // Side 2: 2000 x 40, capacity (400 + 30) x 1000.
    ExpectSide(Charge(W()), {80000, 430000, 430, 408500, 408, 387000, 387});
    // Side 1: 1500 x 10 + 1000 x 20, capacity (300 + 30) x 1000.
    ExpectSide(Load(W()), {35000, 330000, 330, 313500, 313, 297000, 297});

    Set(201, 9);
    Set(205, 10);
    Set(209, 8);
    DEV_ChargerScales(W(), DeviceTypeTable[DEV_TYPE_RV100_30]);
    EXPECT_EQ(S32(800), 1500 * 10 + 2000 * 20);
    EXPECT_EQ(S32(804), (100 + 200 + 30) * 1000);
    EXPECT_EQ(S32(802), 1000 * 40);
    EXPECT_EQ(S32(812), (400 + 30) * 1000);
}

TEST_F(Derived, ChargerSumsWrapAtThirtyTwoBits) {
    Set(201, 8);               // x40
    SetFloat(538, 2000000.0f); // 2e9 x 40 does not fit 32 bits
    DEV_ChargerScales(W(), DeviceTypeTable[DEV_TYPE_RV100_30]);
    EXPECT_EQ(static_cast<uint32_t>(S32(802)), static_cast<uint32_t>(80000000000LL));
}

TEST_F(Derived, BrantV2Flags) {
    Set(100, 1);
    Set(101, 1);
    DEV_BrantV2SwitchFlags(W());
    EXPECT_EQ(U16(145), 2);
    EXPECT_EQ(U16(146), 2);
    Set(101, 0);
    DEV_BrantV2SwitchFlags(W());
    EXPECT_EQ(U16(145), 1);
    EXPECT_EQ(U16(146), 0);

    Set(21, 0x0010);
    DEV_BrantV2SwitchFlags(W());
    EXPECT_EQ(U16(148), 1);
    Set(21, 0xFFEF);
    DEV_BrantV2SwitchFlags(W());
    EXPECT_EQ(U16(148), 0);

    Set(123, 0x3001); // bits 0, 12 and 13
    DEV_BrantV2SwitchFlags(W());
    EXPECT_EQ(U16(140), 1);
    EXPECT_EQ(U16(141), 0);
    EXPECT_EQ(U16(142), 0);
    EXPECT_EQ(U16(143), 0);
    EXPECT_EQ(U16(144), 1);
    EXPECT_EQ(U16(147), 1);
    EXPECT_EQ(U16(149), 0);
    Set(123, 0x000E); // bits 1 to 3
    DEV_BrantV2SwitchFlags(W());
    EXPECT_EQ(U16(140), 0);
    EXPECT_EQ(U16(141), 1);
    EXPECT_EQ(U16(142), 1);
    EXPECT_EQ(U16(143), 1);
    EXPECT_EQ(U16(149), 0);
    for (int fault : {16, 64, 128, 512, 1024, 2048}) {
        Set(123, fault);
        DEV_BrantV2SwitchFlags(W());
        EXPECT_EQ(U16(149), 1) << fault;
    }
    Set(123, 32 | 256 | 0x4000 | 0x8000);
    DEV_BrantV2SwitchFlags(W());
    EXPECT_EQ(U16(149), 0);
}

TEST_F(Derived, BrantStatesInBothModes) {
    Set(20, 5);
    Set(19, 7);
    for (int mode : {2, 3}) {
        Set(17, mode);
        DEV_BrantSwitchStates(W());
        EXPECT_EQ(U16(101), 5) << mode;
        EXPECT_EQ(U16(100), 7) << mode;
    }
    Set(17, 0);
    Set(20, 1);
    Set(19, 0);
    DEV_BrantSwitchStates(W());
    EXPECT_EQ(U16(101), 0);
    EXPECT_EQ(U16(100), 1);
    Set(17, 1);
    Set(20, 2);
    Set(19, 1);
    DEV_BrantSwitchStates(W());
    EXPECT_EQ(U16(101), 1);
    EXPECT_EQ(U16(100), 0);
}

class Celton : public Derived {
  protected:
    void SetUp() override {
        // Base limits and their signed temperature coefficients.
        const int32_t base[][3] = {{32, 1000, 1}, {33, 2000, -3},   {36, 3000, 10},
                                   {34, 4000, 0}, {37, 5000, -100}, {31, 6000, 7}};
        const int32_t coefficient_register[] = {45, 46, 49, 47, 50, 48};
        for (int i = 0; i < 6; ++i) {
            Set(base[i][0], base[i][1]);
            Set(coefficient_register[i], base[i][2]);
        }
    }
    void Expect(const int64_t (&values)[6]) {
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(U16(100 + i), values[i]) << 100 + i;
    }
};

TEST_F(Celton, CompensationWithoutTemperatureDifferenceCopiesTheBase) {
    Set(44, 700);
    Set(8, 700);
    DEV_CeltonCompensate(W());
    Expect({1000, 2000, 3000, 4000, 5000, 6000});
}

TEST_F(Celton, CompensationAddsCoefficientTimesSteps) {
    Set(44, 655);
    Set(8, 600);
    DEV_CeltonCompensate(W()); // D = 5
    Expect({1005, 1985, 3050, 4000, 4500, 6035});

    Set(44, 600);
    Set(8, 615);
    DEV_CeltonCompensate(W()); // D = 0 - 1 = -1
    Expect({999, 2003, 2990, 4000, 5100, 5993});
}

TEST_F(Celton, CompensationTruncatesTowardZeroAndKeepsLowSixteenBits) {
    Set(44, 595);
    Set(8, 600);
    DEV_CeltonCompensate(W()); // -0.5 truncates to 0
    Expect({1000, 2000, 3000, 4000, 5000, 6000});

    Set(32, 10);
    Set(45, -3);
    Set(44, 655);
    DEV_CeltonCompensate(W()); // 10 - 15 = -5
    EXPECT_EQ(U16(100), 65531);
}

TEST_F(Celton, StateFlagFollowsRegisterTwelve) {
    Set(107, 9);
    DEV_CeltonStateFlag(W());
    EXPECT_EQ(U16(107), 0);
    Set(12, 3);
    DEV_CeltonStateFlag(W());
    EXPECT_EQ(U16(107), 1);
}

// The whole-list pass runs each type's computation on its own window and no other.
TEST(DerivedUpdateAll, DispatchesByType) {
    DEV_Clear();
    DEV_BeginSearch();
    DEV_CreateDisplayGroup(1);
    const int celton = DEV_AppendDevice(2, DEV_FindSearchType(100));
    const int celton_v2 = DEV_AppendDevice(3, DEV_FindSearchType(102));
    const int corvo = DEV_AppendDevice(4, DEV_FindSearchType(500));
    const int rv = DEV_AppendDevice(5, DEV_FindSearchType(1026));
    const int brant = DEV_AppendDevice(6, DEV_FindSearchType(200));
    const int brant_v2 = DEV_AppendDevice(7, DEV_FindSearchType(201));
    const int celton_active = DEV_AppendDevice(8, DEV_FindSearchType(101));
    auto window = [](int index) { return g_device_list.entries[index].registers.load(); };
    for (int i = 0; i < g_device_list.device_count.load(); ++i) {
        Reg_Set(window(i), 12, 1);
        Reg_Set(window(i), 32, 1234);
        Reg_Set(window(i), 44, 600);
        Reg_Set(window(i), 8, 600);
    }
    Reg_Set(window(brant_v2), 123, 1);

    DEV_UpdateAll();
    EXPECT_EQ(Reg_Get(window(celton), 107), 1);
    EXPECT_EQ(Reg_Get(window(celton), 100), 0); // no compensation for type 100
    EXPECT_EQ(Reg_Get(window(celton_v2), 107), 1);
    EXPECT_EQ(Reg_Get(window(celton_v2), 100), 1234);
    EXPECT_EQ(Reg_Get(window(celton_active), 107), 0);
    EXPECT_EQ(Reg_Get(window(corvo), 107), 0);
    EXPECT_EQ(Reg_GetValue(804, REG_TYPE_S32, window(rv)), 40000);
    EXPECT_EQ(Reg_Get(window(brant), 100), 1);
    EXPECT_EQ(Reg_Get(window(brant_v2), 140), 1);
    // The display group's blocks are left alone.
    for (int k = 0; k < 11; ++k) {
        EXPECT_EQ(Reg_Get(window(k), 107), 0) << k;
        EXPECT_EQ(Reg_Get(window(k), 100), 0) << k;
    }
    EXPECT_EQ(Reg_Get(g_register_store.data(), 804), 0);
}

} // namespace
