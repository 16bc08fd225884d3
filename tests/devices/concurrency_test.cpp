#include "devices/derived.h"
#include "devices/device_list.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

// What the master task does in a poll: find the entry, copy registers into its window, set
// its state. Entries cleared by the GUI task are skipped.
void PollOnce(uint16_t value) {
    const int32_t count = g_device_list.device_count.load(std::memory_order_acquire);
    for (int32_t i = 0; i < count; ++i) {
        DeviceEntry& entry = g_device_list.entries[i];
        RegisterCell* window = entry.registers.load(std::memory_order_relaxed);
        const DeviceType* type = entry.type.load(std::memory_order_relaxed);
        if (window == nullptr || type == nullptr) continue;
        for (int32_t r = 1; r < type->poll_count; ++r)
            Reg_Set(window, r, value);
        entry.state.store(value & 1, std::memory_order_relaxed);
    }
}

// The GUI task reads every element's value while the master task polls, and runs the derived
// registers and the clock watch; a lost gateway then clears the model under the running poll.
TEST(DevicesConcurrency, PollingWritesAndGuiReadsShareTheStore) {
    DEV_Clear();
    DEV_BeginSearch();
    DEV_CreateDisplayGroup(1);
    for (uint32_t id : {1024u, 100u, 102u, 200u, 201u, 500u})
        ASSERT_GE(DEV_AppendDevice(static_cast<int32_t>(id % 70) + 2, DEV_FindSearchType(id)), 0);
    g_device_list.polled_count.store(g_device_list.device_count.load());

    constexpr int kPolls = 300;
    std::atomic<bool> cleared{false};
    std::thread master([&] {
        for (int i = 1; i <= kPolls; ++i)
            PollOnce(static_cast<uint16_t>(i));
        while (!cleared.load())
            PollOnce(0xFFFF);
        PollOnce(1); // after the clear: finds nothing to write
    });

    for (int pass = 0; pass < 100; ++pass) {
        DEV_UpdateAll();
        DeviceClock clock{};
        DEV_ReadClock(&clock);
        const int32_t count = g_device_list.device_count.load(std::memory_order_acquire);
        for (int32_t i = 0; i < count; ++i) {
            const DeviceEntry& entry = g_device_list.entries[i];
            const PageLayout* layout = entry.type.load()->page_layout;
            const RegisterCell* window = entry.registers.load();
            (void)entry.state.load(std::memory_order_relaxed);
            for (int32_t n = 0; n < layout->element_count; ++n) {
                const PageElement& e = layout->elements[n];
                if (e.value_register > 0 && e.value_type == REG_TYPE_U16) {
                    const int64_t value = Reg_GetValue(e.value_register, e.value_type, window);
                    ASSERT_GE(value, 0);
                    ASSERT_LE(value, 0xFFFF);
                }
            }
        }
    }
    DEV_Clear();
    cleared.store(true);
    master.join();
    EXPECT_EQ(g_device_list.device_count.load(), 0);
    EXPECT_EQ(g_device_list.entries[11].registers.load(), nullptr);
}

} // namespace
