#include "devices/device_types.h"
#include "devices/reg_access.h"

#include "base/dbg.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <limits>
#include <string>

namespace {

std::string g_diagnostics;

class RegAccess : public ::testing::Test {
  protected:
    void SetUp() override {
        g_diagnostics.clear();
        DBG_SetSink([](const char* text, int length) { g_diagnostics.append(text, length); });
    }
    void TearDown() override { DBG_SetSink(nullptr); }

    void SetFloat(int32_t index, float value) {
        Reg_Set32(window.data(), index, std::bit_cast<uint32_t>(value));
    }
    int64_t Get(int32_t index, uint32_t type) { return Reg_GetValue(index, type, window.data()); }

    std::array<RegisterCell, 16> window{};
};

constexpr int64_t kInt32Min = std::numeric_limits<int32_t>::min();

TEST_F(RegAccess, SixteenAndEightBitTypesKeepOrExtendTheirSign) {
    Reg_Set(window.data(), 1, 0xFFFF);
    EXPECT_EQ(Get(1, REG_TYPE_U16), 65535);
    EXPECT_EQ(Get(1, REG_TYPE_S16), -1);
    Reg_Set(window.data(), 1, 0x8000);
    EXPECT_EQ(Get(1, REG_TYPE_S16), -32768);
    Reg_Set(window.data(), 1, 0x7FFF);
    EXPECT_EQ(Get(1, REG_TYPE_S16), 32767);

    Reg_Set(window.data(), 2, 0x12F0);
    EXPECT_EQ(Get(2, REG_TYPE_U8_HIGH), 0x12);
    EXPECT_EQ(Get(2, REG_TYPE_U8_LOW), 240);
    EXPECT_EQ(Get(2, REG_TYPE_S8_LOW), -16);
    EXPECT_EQ(Get(2, REG_TYPE_S8_HIGH), 18);
    Reg_Set(window.data(), 2, 0xF07F);
    EXPECT_EQ(Get(2, REG_TYPE_S8_HIGH), -16);
    EXPECT_EQ(Get(2, REG_TYPE_U8_HIGH), 240);
    EXPECT_EQ(Get(2, REG_TYPE_S8_LOW), 127);
    EXPECT_TRUE(g_diagnostics.empty());
}

TEST_F(RegAccess, ThirtyTwoBitTypesTakeTheLowWordFirstAndExtendTheSign) {
    Reg_Set(window.data(), 3, 0x5678);
    Reg_Set(window.data(), 4, 0x1234);
    EXPECT_EQ(Get(3, REG_TYPE_S32), 0x12345678);
    EXPECT_EQ(Get(3, REG_TYPE_S32_ALT), 0x12345678);

    Reg_Set(window.data(), 3, 0x0000);
    Reg_Set(window.data(), 4, 0x8000);
    EXPECT_EQ(Get(3, REG_TYPE_S32), kInt32Min);
    EXPECT_EQ(Get(3, REG_TYPE_S32_ALT), kInt32Min);

    Reg_Set32(window.data(), 3, 0xFFFFFFFFu);
    EXPECT_EQ(Get(3, REG_TYPE_S32), -1);
    EXPECT_EQ(Reg_Get(window.data(), 3), 0xFFFF);
    EXPECT_EQ(Reg_Get(window.data(), 4), 0xFFFF);
}

TEST_F(RegAccess, FloatTypeIsTimesThousandTruncatedTowardZero) {
    Reg_Set(window.data(), 5, 0x0000);
    Reg_Set(window.data(), 6, 0x3FC0); // 1.5
    EXPECT_EQ(Get(5, REG_TYPE_FLOAT), 1500);
    SetFloat(5, -1.5f);
    EXPECT_EQ(Get(5, REG_TYPE_FLOAT), -1500);
    SetFloat(5, -0.0004f);
    EXPECT_EQ(Get(5, REG_TYPE_FLOAT), 0);
    SetFloat(5, 12.3456f);
    EXPECT_EQ(Get(5, REG_TYPE_FLOAT), 12345);
    SetFloat(5, -12.3456f);
    EXPECT_EQ(Get(5, REG_TYPE_FLOAT), -12345);
    SetFloat(5, 2000000.0f);
    EXPECT_EQ(Get(5, REG_TYPE_FLOAT), 2000000000);
}

TEST_F(RegAccess, FloatTypeGivesLowestNumberForNanAndOutOfRange) {
    Reg_Set32(window.data(), 5, 0x7FC00000u); // quiet NaN
    EXPECT_EQ(Get(5, REG_TYPE_FLOAT), kInt32Min);
    Reg_Set32(window.data(), 5, 0xFFFFFFFFu); // NaN with the sign bit
    EXPECT_EQ(Get(5, REG_TYPE_FLOAT), kInt32Min);
    SetFloat(5, std::numeric_limits<float>::infinity());
    EXPECT_EQ(Get(5, REG_TYPE_FLOAT), kInt32Min);
    SetFloat(5, 3000000.0f); // 3e9 does not fit 32 bits
    EXPECT_EQ(Get(5, REG_TYPE_FLOAT), kInt32Min);
    SetFloat(5, -3000000.0f);
    EXPECT_EQ(Get(5, REG_TYPE_FLOAT), kInt32Min);
    // The product is rounded to single precision (2147483520, not 2147483500) and still fits.
    SetFloat(5, 2147483.5f);
    EXPECT_EQ(Get(5, REG_TYPE_FLOAT), 2147483520);
}

TEST_F(RegAccess, SixtyFourBitTypeUsesAllFourWordsLowestFirst) {
    Reg_Set(window.data(), 7, 0x1111);
    Reg_Set(window.data(), 8, 0x2222);
    Reg_Set(window.data(), 9, 0x3333);
    Reg_Set(window.data(), 10, 0x4444);
    EXPECT_EQ(Get(7, REG_TYPE_U64), 0x4444333322221111);
    for (int32_t i = 7; i <= 10; ++i)
        Reg_Set(window.data(), i, 0xFFFF);
    EXPECT_EQ(Get(7, REG_TYPE_U64), -1);
    Reg_Set(window.data(), 10, 0x0000);
    EXPECT_EQ(Get(7, REG_TYPE_U64), 0x0000FFFFFFFFFFFF);
}

TEST_F(RegAccess, IndexBelowOneGivesZeroAndItsMessage) {
    for (RegisterCell& cell : window)
        cell.store(0x7777);
    EXPECT_EQ(Get(0, REG_TYPE_U16), 0);
    EXPECT_EQ(g_diagnostics, "No Valid Value Register\n");
    g_diagnostics.clear();
    EXPECT_EQ(Get(-5, REG_TYPE_S32), 0);
    EXPECT_EQ(g_diagnostics, "No Valid Value Register\n");
}

TEST_F(RegAccess, UnsupportedTypesGiveZeroAndTheirMessage) {
    for (RegisterCell& cell : window)
        cell.store(0x7777);
    for (uint32_t type : {0u, 9u, 10u, 11u, 14u, 0xFFFFFFFFu}) {
        g_diagnostics.clear();
        EXPECT_EQ(Get(1, type), 0) << type;
        EXPECT_EQ(g_diagnostics, "UNKNOWN REG TYPE\n") << type;
    }
}

TEST_F(RegAccess, GetValueOrGivesTheDefaultSilentlyOnlyBelowIndexOne) {
    Reg_Set(window.data(), 1, 0xFFFF);
    EXPECT_EQ(Reg_GetValueOr(0, REG_TYPE_U16, window.data(), -1), -1);
    EXPECT_EQ(Reg_GetValueOr(-3, REG_TYPE_U16, window.data(), 250), 250);
    EXPECT_TRUE(g_diagnostics.empty());
    EXPECT_EQ(Reg_GetValueOr(1, REG_TYPE_S16, window.data(), 250), -1);
    EXPECT_EQ(Reg_GetValueOr(1, 9, window.data(), 250), 0);
    EXPECT_EQ(g_diagnostics, "UNKNOWN REG TYPE\n");
}

} // namespace
