// Widgets changed from another task while the GUI task repaints and takes input: the master
// task appends information lines and sets the title text during a search.
#include "tests/gui/toolkit/widget_test_util.h"

#include "gui/toolkit/widgets/dropdown.h"
#include "gui/toolkit/widgets/listbox.h"
#include "gui/toolkit/widgets/text.h"

#include <atomic>
#include <cstdio>
#include <thread>

using namespace widgettest;

namespace {

class WidgetConcurrency : public WidgetTest {};

TEST_F(WidgetConcurrency, LinesAppendedByAnotherTaskArriveWholeWhileTheGuiRepaints) {
    const WM_HANDLE list = LISTBOX_Make(2, 86, 796, 310, parent, WM_CF_VISIBLE, 0, 2650, nullptr);
    LISTBOX_AutoScrollV(list, 1);
    const WM_HANDLE title = TEXT_Make(5, 5, 790, 75, parent, WM_CF_VISIBLE, 0, 2649, "");
    const WM_HANDLE drop = DROPDOWN_Make(600, 420, 150, 100, parent, WM_CF_VISIBLE, 1, 1);
    DROPDOWN_Append(drop, "a");
    DROPDOWN_Append(drop, "b");
    constexpr int kLines = 300;
    std::atomic<bool> done{false};
    std::thread master([&] {
        for (int i = 0; i < kLines; ++i) {
            char line[64];
            std::snprintf(line, sizeof line, "Device found at unit id %d", i);
            LISTBOX_Append(list, line);
            LISTBOX_Select(list, LISTBOX_Count(list) - 1);
            std::snprintf(line, sizeof line, "IP: 192.168.001.%03d", i % 256);
            TEXT_PutText(title, line);
        }
        done = true;
    });
    for (int pass = 0; pass < 5000 && !done; ++pass) {
        Click(650, 430); // opens and closes the drop-down list
        Exec();
    }
    master.join();
    Exec();
    EXPECT_EQ(LISTBOX_Count(list), kLines);
    EXPECT_EQ(LISTBOX_Selected(list), kLines - 1);
    char text[64];
    LISTBOX_ReadItemText(list, kLines - 1, text, sizeof text);
    EXPECT_STREQ(text, "Device found at unit id 299");
}

} // namespace
