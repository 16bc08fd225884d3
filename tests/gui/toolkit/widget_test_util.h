// Widget tests: the window manager's test start (heap, display, clock, captured reports) with a
// recording parent window that collects the widgets' notifications.
#pragma once

#include "tests/gui/toolkit/wm_test_util.h"

#include <utility>
#include <vector>

namespace widgettest {

class WidgetTest : public wmtest::WmTest {
  protected:
    void SetUp() override;
    // The codes the parent was told, in order, from the given source (0: any); child removal
    // and focus codes left out.
    std::vector<int> Codes(WM_HANDLE source = 0) const;
    void ClearLog() { log.clear(); }
    // A key press and its release through the key queue.
    void Key(int key);
    void Click(int x, int y);
    uint32_t At(int x, int y) const { return ShownAt(x, y); }
    WM_HANDLE parent = 0; // 800 x 480, dark grey, at (0, 0)
};

// GUI_COLOUR (0xBBGGRR) as the frame buffer holds it (0xRRGGBB).
constexpr uint32_t Px(uint32_t c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

} // namespace widgettest
