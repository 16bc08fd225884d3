#include "application/src/gui_loop.h"
#include "base/queue.h"
#include "base/dbg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace {

// Records what the loop asks of the rest of the program, pass by pass.
struct Recorder {
    int pass = 0;
    ClockBytes clock{};
    bool have_clock = true;
    int log_result = 0;
    int selected = 0;
    std::vector<std::pair<int, int>> ticks;     // (pass, page)
    std::vector<std::pair<int, int>> refreshes; // (pass, page)
    std::vector<int> updates, scans, resets, log_writes;
    std::vector<std::string> date_times;
    int exec_count = 0;
    std::string diagnostics;
};
Recorder* g_rec = nullptr;

GuiLoopActions RecordingActions() {
    return GuiLoopActions{
        [](ClockBytes* c) {
            *c = g_rec->clock;
            return g_rec->have_clock;
        },
        [](const char* date, const char* time) {
            g_rec->date_times.push_back(std::string(date) + " " + time);
        },
        [] {
            g_rec->log_writes.push_back(g_rec->pass);
            return g_rec->log_result;
        },
        [] { return g_rec->selected; },
        [](int page, int message) {
            if (message == MSG_PAGE_TICK) g_rec->ticks.push_back({g_rec->pass, page});
            if (message == MSG_PAGE_REFRESH) g_rec->refreshes.push_back({g_rec->pass, page});
        },
        [] { g_rec->updates.push_back(g_rec->pass); },
        [] { g_rec->scans.push_back(g_rec->pass); },
        [] { g_rec->resets.push_back(g_rec->pass); },
        [] { ++g_rec->exec_count; },
    };
}

class GuiLoop : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(QUEUE_Init(), 0);
        g_rec = &rec;
        DBG_SetSink([](const char* text, int length) { g_rec->diagnostics.append(text, length); });
    }
    void TearDown() override {
        DBG_SetSink(nullptr);
        g_rec = nullptr;
    }
    void RunPasses(int count) {
        for (int i = 0; i < count; ++i) {
            ++rec.pass;
            GUILOOP_Pass(&state, actions);
        }
    }
    Recorder rec;
    GuiLoopState state;
    GuiLoopActions actions = RecordingActions();
};

TEST_F(GuiLoop, CountdownsFireOnTheirPasses) {
    RunPasses(2000);
    ASSERT_GE(rec.ticks.size(), 3u);
    EXPECT_EQ(rec.ticks[0].first, 1);
    EXPECT_EQ(rec.ticks[1].first, 201);
    EXPECT_EQ(rec.ticks[2].first, 401);
    EXPECT_EQ(rec.ticks.size(), 10u);

    ASSERT_EQ(rec.refreshes.size(), 200u);
    for (size_t i = 0; i < rec.refreshes.size(); ++i)
        EXPECT_EQ(rec.refreshes[i].first, static_cast<int>(10 * (i + 1)));
    // Device updates run every 10 passes even with nothing in the device list.
    ASSERT_EQ(rec.updates.size(), 200u);
    EXPECT_EQ(rec.updates.front(), 10);
    EXPECT_EQ(rec.scans, (std::vector<int>{1000, 2000}));
    EXPECT_EQ(rec.exec_count, 2000);
}

TEST_F(GuiLoop, TickUsesThePageIndexAsLastStored) {
    rec.selected = 3;
    RunPasses(9);
    EXPECT_EQ(rec.ticks[0].second, 0);
    RunPasses(1); // pass 10 reads the selection
    EXPECT_EQ(rec.refreshes.back(), std::make_pair(10, 3));
    rec.selected = 5; // changes only at the next refresh
    RunPasses(191);
    EXPECT_EQ(rec.ticks[1], std::make_pair(201, 5)); // refresh on pass 200 stored 5
    EXPECT_EQ(state.current_page, 5);
}

TEST_F(GuiLoop, ClockWatchWaitsForTheFirstChangeOfMinute) {
    rec.clock = {12, 0, 30, 7, 12, 26};
    RunPasses(50);
    EXPECT_TRUE(rec.date_times.empty());
    EXPECT_TRUE(rec.log_writes.empty());

    rec.clock.minute = 1;
    RunPasses(1);
    EXPECT_EQ(rec.date_times, (std::vector<std::string>{"07.12.26 12:01"}));
    EXPECT_EQ(rec.log_writes, (std::vector<int>{51}));
    // The line's derived columns are computed in its own pass (pass 51 is no 10-pass reload).
    EXPECT_EQ(std::count(rec.updates.begin(), rec.updates.end(), 51), 1);
    RunPasses(100);
    EXPECT_EQ(rec.log_writes.size(), 1u);

    rec.clock = {13, 0, 0, 8, 1, 27}; // back to minute 0 is a change too
    RunPasses(1);
    EXPECT_EQ(rec.date_times.back(), "08.01.27 13:00");
    EXPECT_EQ(rec.log_writes.size(), 2u);
}

TEST_F(GuiLoop, NoDisplayUnitMeansNoClockWork) {
    rec.have_clock = false;
    rec.clock.minute = 9;
    RunPasses(20);
    EXPECT_TRUE(rec.log_writes.empty());
}

TEST_F(GuiLoop, FailedLogLineIsReportedAndTheLoopGoesOn) {
    rec.clock.minute = 4;
    rec.log_result = -1;
    RunPasses(3);
    EXPECT_EQ(rec.diagnostics, "ERROR WRITING LOGFILE\n");
    EXPECT_EQ(rec.exec_count, 3);
}

TEST_F(GuiLoop, EachFailedStatusGivesOneResetOthersAreDropped) {
    StatusMessage ok{0, 0, STATUS_OK};
    StatusMessage failed{0, 0, STATUS_FAILED};
    ASSERT_EQ(QUEUE_Send(&g_gui_queue, &ok), 0);
    RunPasses(1);
    EXPECT_TRUE(rec.resets.empty());
    EXPECT_EQ(g_gui_queue.count, 0);

    ASSERT_EQ(QUEUE_Send(&g_gui_queue, &failed), 0);
    ASSERT_EQ(QUEUE_Send(&g_gui_queue, &failed), 0);
    RunPasses(5);
    EXPECT_EQ(rec.resets, (std::vector<int>{2, 3}));
}

} // namespace
