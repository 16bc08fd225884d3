// The indicator lamp inside a window's paint: whatever covers the lamp is drawn again.
#include "elements/element.h"
#include "tests/gui/toolkit/wm_test_util.h"

using wmtest::WmTest;

namespace {

INDICATOR_PARAMS g_lamp{};

void PageProc(WM_MSG_RECORD* msg) {
    if (msg->msg_id != WM_MSG_PAINT) return wmtest::RecordProc(msg);
    wmtest::RecordProc(msg);
    ELEMENT_DrawIndicator(&g_lamp);
}

class IndicatorInPage : public WmTest {};

TEST_F(IndicatorInPage, WindowsCoveringTheLampArePaintedAgain) {
    const WM_HANDLE page = WM_CreateWindowAsChild(0, 0, 800, 480, 0, WM_CF_VISIBLE, PageProc, 0);
    const WM_HANDLE over = Create(90, 90, 120, 50, 0, WM_CF_VISIBLE, 0x00FF00);
    const WM_HANDLE away = Create(500, 300, 100, 100, 0, WM_CF_VISIBLE, 0xFF0000);
    g_lamp = INDICATOR_PARAMS{};
    g_lamp.x0 = 100, g_lamp.y0 = 100, g_lamp.xSize = 60, g_lamp.ySize = 25;
    g_lamp.state = INDICATOR_ON, g_lamp.font = FONT_13B, g_lamp.label = "LVP";
    g_lamp.colour1 = 0x808080, g_lamp.colour2 = 0x00FF00, g_lamp.border = 2;
    Exec();
    log.clear();

    WM_InvalidateWin(page);
    Exec();
    Exec();
    EXPECT_GE(Count(page, WM_MSG_PAINT), 1);
    EXPECT_GE(Count(over, WM_MSG_PAINT), 1);
    EXPECT_EQ(Count(away, WM_MSG_PAINT), 0);
    // The covering window is on show over the lamp.
    EXPECT_EQ(ShownAt(130, 112), 0x00FF00u);
    WM_DeleteWindow(over);
    WM_DeleteWindow(away);
    WM_DeleteWindow(page);
}

} // namespace
