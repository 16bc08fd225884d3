// The handle heap: blocks, locks, stale handles and the arena limit.
#include "gui/toolkit/core/gui_alloc.h"
#include "gui/toolkit/core/gui_report.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<std::pair<bool, std::string>> g_reports;
void Capture(bool is_error, const char* text) {
    g_reports.emplace_back(is_error, text);
}

constexpr const char* kFreeDeref = "GUI_Alloc:\nDereferencing free block in GUI_ALLOC_h2p().";
constexpr const char* kNoMemory = "GUI_Alloc:\nNot enough memory available in _Alloc().";

class AllocTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_reports.clear();
        GUI_SetReportHook(Capture);
        GUI_ALLOC_SetArena(arena_, sizeof arena_);
    }
    void TearDown() override { GUI_SetReportHook(nullptr); }
    int Count(const char* text, bool is_error) const {
        int n = 0;
        for (const auto& r : g_reports)
            n += r.second == text && r.first == is_error;
        return n;
    }
    alignas(8) static inline uint8_t arena_[0x28000];
};

TEST_F(AllocTest, BlocksAreZeroedLockedAndKeepTheirContents) {
    const GUI_HMEM a = GUI_ALLOC_AllocZero(100);
    ASSERT_GT(a, 0);
    EXPECT_EQ(GUI_ALLOC_GetSize(a), 100);
    auto* p = static_cast<uint8_t*>(GUI_ALLOC_h2p(a));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 8, 0u);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(p[i], 0);
    std::memset(p, 0xAB, 100);
    GUI_ALLOC_UnlockH(a);
    EXPECT_TRUE(g_reports.empty());
}

TEST_F(AllocTest, StaleAndForeignHandlesAreReportedNeverDereferenced) {
    const GUI_HMEM a = GUI_ALLOC_AllocZero(16);
    GUI_ALLOC_Free(a);
    EXPECT_EQ(GUI_ALLOC_h2p(a), nullptr);
    // The slot is reused with a new generation; the old handle stays stale.
    const GUI_HMEM b = GUI_ALLOC_AllocZero(16);
    EXPECT_NE(a, b);
    EXPECT_EQ(GUI_ALLOC_h2p(a), nullptr);
    EXPECT_FALSE(GUI_ALLOC_IsValid(a));
    EXPECT_TRUE(GUI_ALLOC_IsValid(b));
    for (GUI_HMEM foreign : {-1, -0x7FFFFFFF, 0x7FFFFFFF, b + 1, b ^ (1 << 20)}) {
        EXPECT_EQ(GUI_ALLOC_h2p(foreign), nullptr) << foreign;
        EXPECT_EQ(GUI_ALLOC_GetSize(foreign), 0);
    }
    EXPECT_EQ(Count(kFreeDeref, true), 7);

    EXPECT_EQ(GUI_ALLOC_h2p(0), nullptr);
    EXPECT_EQ(
        Count("GUI_Alloc:\nGUI_ALLOC_h2p: illegal argument (0 handle) in GUI_ALLOC_h2p().", true),
        1);
    GUI_ALLOC_Free(a);
    EXPECT_EQ(Count("GUI_Alloc:\nBlock already free in _Free().", true), 1);
}

TEST_F(AllocTest, UnlockingMoreThanLockedIsReported) {
    const GUI_HMEM a = GUI_ALLOC_AllocZero(8);
    const GUI_HMEM b = GUI_ALLOC_AllocZero(8);
    GUI_ALLOC_UnlockH(a);
    EXPECT_EQ(Count("GUI_Alloc:\nUnderflow of locked handles in GUI_ALLOC_UnlockH().", true), 1);
    ASSERT_NE(GUI_ALLOC_h2p(a), nullptr);
    GUI_ALLOC_UnlockH(b);
    EXPECT_EQ(Count("GUI_Alloc:\nBlock is already unlocked in GUI_ALLOC_UnlockH().", true), 1);
    GUI_ALLOC_UnlockH(a);
    EXPECT_EQ(g_reports.size(), 2u);
}

TEST_F(AllocTest, FreeingALockedBlockKeepsItsMemoryUntilTheLastUnlock) {
    const int32_t empty = GUI_ALLOC_GetNumFreeBytes();
    const GUI_HMEM a = GUI_ALLOC_AllocZero(64);
    auto* p = static_cast<uint8_t*>(GUI_ALLOC_h2p(a));
    GUI_ALLOC_Free(a);
    EXPECT_EQ(Count("GUI_Alloc:\nBlock to be deleted is already locked in _Free().", true), 1);
    EXPECT_FALSE(GUI_ALLOC_IsValid(a));
    // The pointer still in use is not handed out again.
    const GUI_HMEM b = GUI_ALLOC_AllocZero(64);
    auto* q = static_cast<uint8_t*>(GUI_ALLOC_h2p(b));
    EXPECT_TRUE(q + 64 <= p || p + 64 <= q);
    GUI_ALLOC_UnlockH(b);
    GUI_ALLOC_Free(b);
    GUI_ALLOC_UnlockH(a);
    EXPECT_EQ(GUI_ALLOC_GetNumFreeBytes(), empty);
}

TEST_F(AllocTest, TheArenaLimitIsRealAndFreedSpaceComesBack) {
    const int32_t empty = GUI_ALLOC_GetNumFreeBytes();
    EXPECT_LE(empty, 0x28000);
    EXPECT_GT(empty, 0x28000 - 16);
    std::vector<GUI_HMEM> blocks;
    for (GUI_HMEM h; (h = GUI_ALLOC_AllocZero(1000)) != 0;)
        blocks.push_back(h);
    EXPECT_EQ(blocks.size(), size_t(empty / (1000 + GUI_ALLOC_BLOCK_OVERHEAD)));
    EXPECT_EQ(Count(kNoMemory, false), 1);
    for (GUI_HMEM h : blocks)
        GUI_ALLOC_Free(h);
    EXPECT_EQ(GUI_ALLOC_GetNumFreeBytes(), empty);
    EXPECT_NE(GUI_ALLOC_AllocZero(empty - GUI_ALLOC_BLOCK_OVERHEAD), 0);
    EXPECT_EQ(GUI_ALLOC_AllocZero(1), 0);
    EXPECT_EQ(GUI_ALLOC_AllocZero(-5), 0);
}

TEST_F(AllocTest, OddArenasAndNoArena) {
    alignas(8) static uint8_t small[1003];
    GUI_ALLOC_SetArena(small + 1, 1001); // misaligned start, size not a multiple of 4
    EXPECT_LE(GUI_ALLOC_GetNumFreeBytes(), 1000 - 7);
    const GUI_HMEM h = GUI_ALLOC_AllocZero(16);
    auto* p = static_cast<uint8_t*>(GUI_ALLOC_h2p(h));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 8, 0u);
    EXPECT_GE(p, small + 1);
    EXPECT_LE(p + 16, small + 1 + 1000);
    GUI_ALLOC_UnlockH(h);

    GUI_ALLOC_SetArena(nullptr, 0);
    EXPECT_EQ(GUI_ALLOC_AllocZero(4), 0);
    EXPECT_EQ(Count(kNoMemory, false), 1);
    // A handle of the arena before is stale now.
    EXPECT_FALSE(GUI_ALLOC_IsValid(h));
}

TEST_F(AllocTest, RunningOutOfBlockDescriptorsIsReported) {
    int n = 0;
    while (GUI_ALLOC_AllocZero(1) != 0)
        ++n;
    EXPECT_EQ(n, GUI_ALLOC_MAX_BLOCKS);
    EXPECT_EQ(Count("GUI_Alloc:\nNo memory block available in _Alloc().", false), 1);
}

TEST_F(AllocTest, BlocksNeverOverlapThroughAllocFreeChurn) {
    std::mt19937 rng(7);
    struct Live {
        GUI_HMEM h;
        int size;
        uint8_t tag;
    };
    std::vector<Live> live;
    auto check = [](const Live& b) {
        auto* p = static_cast<uint8_t*>(GUI_ALLOC_h2p(b.h));
        bool ok = p != nullptr;
        for (int i = 0; ok && i < b.size; ++i)
            ok = p[i] == b.tag;
        GUI_ALLOC_UnlockH(b.h);
        return ok;
    };
    for (int round = 0; round < 4000; ++round) {
        if (!live.empty() && (rng() % 3 == 0 || live.size() > 400)) {
            const size_t i = rng() % live.size();
            ASSERT_TRUE(check(live[i]));
            GUI_ALLOC_Free(live[i].h);
            live.erase(live.begin() + long(i));
            continue;
        }
        const int size = int(rng() % 700);
        const GUI_HMEM h = GUI_ALLOC_AllocZero(size);
        if (h == 0) continue;
        const uint8_t tag = uint8_t(round);
        std::memset(GUI_ALLOC_h2p(h), tag, size_t(size));
        GUI_ALLOC_UnlockH(h);
        live.push_back({h, size, tag});
    }
    for (const Live& b : live)
        ASSERT_TRUE(check(b));
}

} // namespace
