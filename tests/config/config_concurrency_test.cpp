// The master task reads names while the GUI task stores them: a reader meets the old or the
// new file, never a missing one.
#include "config/settings.h"

#include "base/datafolder.h"
#include "tests/util/scratch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

TEST(ConfigConcurrency, ReaderAlwaysFindsTheOldOrTheNewName) {
    ScratchFolder folder;
    ::setenv("APPDATA", folder.Path().c_str(), 1);
    DATA_CreateFolder();
    CONFIG_Init();
    const ConfigIdentity unit{{1, 2, 3, 4, 5, 6}};
    ASSERT_EQ(CONFIG_SetDeviceName(unit, 4, "Name A"), 1);

    std::atomic<bool> done{false};
    std::atomic<int> reads{0};
    std::atomic<int> bad_reads{0};
    std::thread reader([&] {
        char name[CONFIG_NAME_SIZE];
        while (!done.load(std::memory_order_acquire)) {
            CONFIG_GetDeviceName(unit, 4, name, sizeof name);
            if (std::strcmp(name, "Name A") != 0 && std::strcmp(name, "Name B") != 0)
                bad_reads.fetch_add(1);
            reads.fetch_add(1);
        }
    });
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(CONFIG_SetDeviceName(unit, 4, i % 2 ? "Name A" : "Name B"), 1);
    // Let the reader make at least one pass before it stops.
    while (reads.load() == 0)
        std::this_thread::yield();
    done.store(true, std::memory_order_release);
    reader.join();
    EXPECT_EQ(bad_reads.load(), 0);
}

} // namespace
