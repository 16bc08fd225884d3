// Pointer input, capture, the modal window, motion and the mouse wheel.
#include "tests/gui/toolkit/wm_test_util.h"

#include "gui/host/host.h"

using namespace wmtest;

namespace {

class PointerTest : public WmTest {
  protected:
    void SetUp() override {
        WmTest::SetUp();
        page = Create(0, 0, 800, 480, 0, WM_CF_VISIBLE);
        button = Create(100, 100, 80, 40, page, WM_CF_VISIBLE);
        other = Create(300, 100, 80, 40, page, WM_CF_VISIBLE);
        Exec();
        log.clear();
    }
    WM_HANDLE page = 0;
    WM_HANDLE button = 0;
    WM_HANDLE other = 0;
};

TEST_F(PointerTest, PressAndReleaseInWindowCoordinatesAndTheAncestorsHear) {
    Pointer(110, 120, 1);
    Pointer(112, 121, 1);
    Pointer(112, 121, 0);
    const auto msgs = Messages(button, WM_MSG_POINTER);
    ASSERT_EQ(msgs.size(), 3u);
    EXPECT_EQ(msgs[0].pointer.x, 10);
    EXPECT_EQ(msgs[0].pointer.y, 20);
    EXPECT_EQ(msgs[0].pointer.pressed, 1);
    EXPECT_EQ(msgs[2].pointer.x, 12);
    EXPECT_EQ(msgs[2].pointer.pressed, 0);
    const auto told = Messages(page, WM_MSG_CHILD_POINTER);
    ASSERT_EQ(told.size(), 3u);
    EXPECT_EQ(told[0].source, button);
    EXPECT_EQ(told[0].pointer.x, 10);
    EXPECT_EQ(Count(page, WM_MSG_POINTER), 0);
    EXPECT_EQ(WM_GetCaptureWin(), 0);
}

TEST_F(PointerTest, DraggingOffAPressedWindowGivesItNullAndNoRelease) {
    Pointer(110, 120, 1);
    Pointer(150, 120, 1); // still on it
    Pointer(320, 120, 1); // onto the other window
    Pointer(330, 120, 1);
    Pointer(330, 120, 0); // released over the other window
    const auto msgs = Messages(button, WM_MSG_POINTER);
    ASSERT_EQ(msgs.size(), 3u);
    EXPECT_FALSE(msgs[1].null_data);
    EXPECT_TRUE(msgs[2].null_data);
    for (const Logged& m : msgs)
        EXPECT_FALSE(!m.null_data && m.pointer.pressed == 0);
    // The press belonged to the button: the other window sees neither the drag nor a release.
    EXPECT_EQ(Count(other, WM_MSG_POINTER), 0);
}

TEST_F(PointerTest, TheCaptureHoldsOutsideTheDisplay) {
    Pointer(110, 120, 1);
    Pointer(-1, -1, 1);
    const auto msgs = Messages(button, WM_MSG_POINTER);
    ASSERT_EQ(msgs.size(), 2u);
    EXPECT_TRUE(msgs[1].null_data);
}

TEST_F(PointerTest, MovesWithoutAButtonDeliverNothing) {
    for (int x = 90; x < 400; x += 15)
        Pointer(x, 120, 0);
    Pointer(-1, -1, 0);
    EXPECT_EQ(Count(button, WM_MSG_POINTER) + Count(other, WM_MSG_POINTER), 0);
    EXPECT_EQ(Count(page, WM_MSG_POINTER) + Count(page, WM_MSG_CHILD_POINTER), 0);
    EXPECT_EQ(WM_GetCaptureWin(), 0);
}

TEST_F(PointerTest, TheHostsMouseInputArrivesInOrder) {
    HOST_MouseEvent(110, 120, 0, false);
    HOST_MouseEvent(110, 120, HOST_BUTTON_LEFT, false);
    HOST_MouseEvent(110, 120, 0, false);
    Exec();
    const auto msgs = Messages(button, WM_MSG_POINTER);
    ASSERT_EQ(msgs.size(), 2u);
    EXPECT_EQ(msgs[0].pointer.pressed, 1);
    EXPECT_EQ(msgs[1].pointer.pressed, 0);
    EXPECT_EQ(msgs[1].pointer.x, 10);
}

TEST_F(PointerTest, AModalWindowKeepsPressesOffOtherWindows) {
    const WM_HANDLE panel = Create(500, 200, 200, 200, page, WM_CF_VISIBLE);
    const WM_HANDLE item = Create(10, 10, 50, 50, panel, WM_CF_VISIBLE);
    WM_SetModalWin(panel);
    Pointer(110, 120, 1);
    Pointer(110, 120, 0);
    EXPECT_EQ(Count(button, WM_MSG_POINTER), 0);
    EXPECT_EQ(Count(page, WM_MSG_CHILD_POINTER), 0);
    Pointer(520, 220, 1);
    Pointer(520, 220, 0);
    EXPECT_EQ(Count(item, WM_MSG_POINTER), 2);

    // Making a window modal takes the capture from a window outside it.
    WM_SetModalWin(0);
    Pointer(110, 120, 1);
    WM_SetModalWin(panel);
    const auto msgs = Messages(button, WM_MSG_POINTER);
    ASSERT_EQ(msgs.size(), 2u);
    EXPECT_TRUE(msgs[1].null_data);
    EXPECT_EQ(WM_GetCaptureWin(), 0);
    Pointer(110, 120, 0);
    EXPECT_EQ(Count(button, WM_MSG_POINTER), 2);
}

TEST_F(PointerTest, AnIllegalLayerIsReportedAndTheStateStillHandled) {
    const WM_POINTER_STATE state{110, 120, 1, 7};
    GUI_PID_StoreState(&state);
    Exec();
    EXPECT_EQ(
        CountReports("WM_Touch:\nIllegal value in StateNew.Layer in function WM_HandlePID()!"), 1);
    EXPECT_EQ(Count(button, WM_MSG_POINTER), 1);
}

TEST_F(PointerTest, DeletingTheCapturingWindowEndsThePress) {
    Pointer(110, 120, 1);
    WM_DeleteWindow(button);
    Pointer(320, 120, 1);
    Pointer(320, 120, 0);
    EXPECT_EQ(Count(other, WM_MSG_POINTER), 0);
    Pointer(320, 120, 1);
    EXPECT_EQ(Count(other, WM_MSG_POINTER), 1);
}

// A recording window that uses every wheel turn it gets.
void UsesWheel(WM_MSG_RECORD* msg) {
    if (msg->msg_id == WM_MSG_WHEEL) static_cast<WM_WHEEL_EVENT*>(msg->data.p)->used = 1;
    RecordProc(msg);
}

TEST_F(PointerTest, AWheelTurnGoesUpFromTheWindowUnderThePointerUntilOneUsesIt) {
    const WM_HANDLE root = WM_GetRootWin();
    WM_ReplaceCallback(page, UsesWheel);
    const WM_PROC root_proc = WM_ReplaceCallback(root, RecordProc);
    Wheel(110, 120, -2);
    const auto at_button = Messages(button, WM_MSG_WHEEL);
    ASSERT_EQ(at_button.size(), 1u);
    EXPECT_EQ(at_button[0].wheel.x, 10); // in the button's own coordinates
    EXPECT_EQ(at_button[0].wheel.y, 20);
    EXPECT_EQ(at_button[0].wheel.dy, -2);
    EXPECT_EQ(at_button[0].wheel.dx, 0);
    const auto at_page = Messages(page, WM_MSG_WHEEL);
    ASSERT_EQ(at_page.size(), 1u);
    EXPECT_EQ(at_page[0].wheel.x, 110);
    EXPECT_EQ(at_page[0].wheel.used, 1);
    EXPECT_EQ(Count(root, WM_MSG_WHEEL), 0); // used: it goes no further
    // A turn is no press: nothing gets a pointer message or the capture.
    EXPECT_EQ(Count(button, WM_MSG_POINTER) + Count(page, WM_MSG_CHILD_POINTER), 0);
    EXPECT_EQ(WM_GetCaptureWin(), 0);

    // Under a modal window only the modal window and what lies in it hear the wheel.
    const WM_HANDLE panel = Create(500, 200, 200, 200, page, WM_CF_VISIBLE);
    const WM_HANDLE item = Create(10, 10, 50, 50, panel, WM_CF_VISIBLE);
    WM_SetModalWin(panel);
    log.clear();
    Wheel(520, 220, 1, -1);
    EXPECT_EQ(Count(item, WM_MSG_WHEEL), 1);
    EXPECT_EQ(Messages(panel, WM_MSG_WHEEL).at(0).wheel.dx, -1);
    EXPECT_EQ(Count(page, WM_MSG_WHEEL), 0);
    Wheel(110, 120, 1); // outside the modal window
    EXPECT_EQ(Count(button, WM_MSG_WHEEL) + Count(page, WM_MSG_WHEEL), 0);
    WM_SetModalWin(0);

    // Beyond the display there is nothing to turn.
    log.clear();
    Wheel(800, 120, 1);
    Wheel(-1, 5, 1);
    EXPECT_TRUE(Messages(page, WM_MSG_WHEEL).empty());
    WM_ReplaceCallback(root, root_proc);
}

class MotionTest : public WmTest {
  protected:
    void SetUp() override {
        WmTest::SetUp();
        WM_EnableMotion(1);
        WM_SetMotionThreshold(10);
        wide = Create(0, 0, 1200, 480, 0, WM_CF_VISIBLE | WM_CF_DRAG_X);
        tile = Create(100, 100, 100, 100, wide, WM_CF_VISIBLE);
        Exec();
    }
    void Move(int x, int y, int pressed, int after_ms = 10) {
        now_ms += after_ms;
        Pointer(x, y, pressed);
    }
    WM_HANDLE wide = 0;
    WM_HANDLE tile = 0;
};

TEST_F(MotionTest, AWideWindowFollowsTheDragOnlyBeyondTheThreshold) {
    Move(400, 200, 1);
    Move(390, 205, 1); // 10 pixels: not yet
    EXPECT_EQ(WM_GetWindowOrgX(wide), 0);
    EXPECT_EQ(WM_GetMotionState(), 1);
    Move(389, 230, 1); // 11 pixels: the drag starts; y is not an allowed axis
    EXPECT_EQ(WM_GetMotionState(), 2);
    EXPECT_EQ(WM_GetWindowOrgX(wide), -11);
    EXPECT_EQ(WM_GetWindowOrgY(wide), 0);
    Move(300, 230, 1);
    EXPECT_EQ(WM_GetWindowOrgX(wide), -100);
    EXPECT_EQ(WM_GetWindowOrgX(tile), 0);
    Move(0, 230, 1); // bounded: the page keeps the screen covered
    EXPECT_EQ(WM_GetWindowOrgX(wide), -400);
    Move(0, 230, 0, 500); // a slow release: no glide
    EXPECT_EQ(WM_GetMotionState(), 0);
    EXPECT_EQ(WM_GetWindowOrgX(wide), -400);
    EXPECT_EQ(WM_GetNumInvalidWindows(), 0);
}

TEST_F(MotionTest, APressOnADescendantDragsTheMovableAncestor) {
    Move(150, 150, 1);
    Move(120, 150, 1);
    EXPECT_EQ(WM_GetWindowOrgX(wide), -30);
    Move(120, 150, 0, 300);
}

TEST_F(MotionTest, AFlickGlidesAndComesToRest) {
    Move(600, 200, 1);
    Move(580, 200, 1, 10);
    Move(560, 200, 1, 10);
    Move(540, 200, 1, 10);
    Move(540, 200, 0, 10);
    EXPECT_EQ(WM_GetMotionState(), 3);
    const int released_at = WM_GetWindowOrgX(wide);
    EXPECT_EQ(released_at, -60);
    int last = released_at;
    int steps = 0;
    while (WM_GetMotionState() == 3 && steps < 1000) {
        now_ms += 16;
        Exec();
        const int x = WM_GetWindowOrgX(wide);
        EXPECT_LE(x, last); // keeps the direction of the flick
        last = x;
        ++steps;
    }
    EXPECT_EQ(WM_GetMotionState(), 0);
    EXPECT_LT(last, released_at - 50);
    EXPECT_GE(last, -400);
    now_ms += 1000;
    Exec();
    EXPECT_EQ(WM_GetWindowOrgX(wide), last);
}

TEST_F(MotionTest, WithoutMotionEnabledAPressIsReportedAndNothingMoves) {
    WM_EnableMotion(0);
    Move(400, 200, 1);
    Move(300, 200, 1);
    Move(300, 200, 0);
    EXPECT_EQ(WM_GetWindowOrgX(wide), 0);
    EXPECT_EQ(CountReports("WM_Motion:\nNo motion handler in _ProcessMotion()!"), 1);
    EXPECT_EQ(CountReports("WM_Motion:\nNo motion handler in _GetPos()!"), 1);
    EXPECT_FALSE(reports.front().is_error);
}

TEST_F(MotionTest, MotionFlagsCanBeClearedAndSetAgain) {
    WM_SetMotionFlags(wide, WM_CF_DRAG_X | WM_CF_VISIBLE, 0);
    EXPECT_TRUE(WM_IsVisible(wide));
    Move(400, 200, 1);
    Move(300, 200, 1);
    Move(300, 200, 0, 300);
    EXPECT_EQ(WM_GetWindowOrgX(wide), 0);
    WM_SetMotionFlags(wide, WM_CF_DRAG_Y, 1);
    Move(400, 300, 1);
    Move(400, 200, 1);
    // The window is as high as the screen: it may not leave it uncovered.
    EXPECT_EQ(WM_GetWindowOrgY(wide), 0);
    Move(400, 200, 0, 300);
}

} // namespace

namespace {

TEST_F(MotionTest, ADragThatStartsOnAWindowTakesItsPressAway) {
    Move(150, 150, 1);
    Move(148, 150, 1);
    Move(120, 150, 1); // the drag starts
    Move(100, 150, 1);
    Move(100, 150, 0, 300);
    const auto msgs = Messages(tile, WM_MSG_POINTER);
    ASSERT_EQ(msgs.size(), 4u); // press, two moves, then the press is withdrawn
    EXPECT_TRUE(msgs[3].null_data);
    EXPECT_EQ(WM_GetWindowOrgX(wide), -50);
}

} // namespace

namespace {

TEST_F(MotionTest, TheWheelMovesAWideWindowSidewaysWithinItsBounds) {
    Wheel(150, 150, -2); // over the tile, turned towards the user: the next part comes in
    EXPECT_EQ(Count(tile, WM_MSG_WHEEL), 1); // the tile had the first say
    EXPECT_EQ(WM_GetWindowOrgX(wide), -2 * WM_WHEEL_PIXELS);
    Wheel(400, 300, 0, -1); // a tilt to the left shows what lies left
    EXPECT_EQ(WM_GetWindowOrgX(wide), -WM_WHEEL_PIXELS);
    EXPECT_EQ(WM_GetWindowOrgY(wide), 0);
    Wheel(400, 300, 9); // bounded: back at the start and no further
    EXPECT_EQ(WM_GetWindowOrgX(wide), 0);

    // While the pointer holds the window down the drag decides, not the wheel.
    Move(400, 200, 1);
    Wheel(400, 200, -1);
    EXPECT_EQ(WM_GetWindowOrgX(wide), 0);
    Move(400, 200, 0, 300);
    // A turn stops a glide where it is and moves on from there.
    Move(600, 200, 1);
    Move(560, 200, 1, 10);
    Move(540, 200, 1, 10);
    Move(540, 200, 0, 10);
    ASSERT_EQ(WM_GetMotionState(), 3);
    Wheel(400, 300, -1);
    EXPECT_EQ(WM_GetMotionState(), 0);
    const int after = WM_GetWindowOrgX(wide);
    EXPECT_EQ(after, -60 - WM_WHEEL_PIXELS);
    now_ms += 500;
    Exec();
    EXPECT_EQ(WM_GetWindowOrgX(wide), after);

    // Without motion the window stays where it is, as with a drag.
    WM_EnableMotion(0);
    Wheel(400, 300, -1);
    EXPECT_EQ(WM_GetWindowOrgX(wide), after);
    EXPECT_TRUE(reports.empty());
}

} // namespace
