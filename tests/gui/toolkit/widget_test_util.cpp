#include "tests/gui/toolkit/widget_test_util.h"

namespace widgettest {

void WidgetTest::SetUp() {
    WmTest::SetUp();
    parent = Create(0, 0, 800, 480, 0, WM_CF_VISIBLE, 0x303030);
    Exec();
    log.clear();
}

std::vector<int> WidgetTest::Codes(WM_HANDLE source) const {
    std::vector<int> out;
    for (const wmtest::Logged& e : log) {
        if (e.win == parent && e.msg_id == WM_MSG_NOTIFY_PARENT &&
            (source == 0 || e.source == source) && e.value != WM_NOTIFICATION_CHILD_REMOVED &&
            e.value != WM_NOTIFICATION_FOCUS_GAINED && e.value != WM_NOTIFICATION_FOCUS_LOST) {
            out.push_back(e.value);
        }
    }
    return out;
}

void WidgetTest::Key(int key) {
    GUI_PostKey(key, 1);
    GUI_PostKey(key, 0);
    Exec();
}

void WidgetTest::Click(int x, int y) {
    Pointer(x, y, 1);
    Pointer(x, y, 0);
}

} // namespace widgettest
