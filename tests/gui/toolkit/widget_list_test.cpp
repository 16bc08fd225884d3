// List boxes, drop-down lists and their scroll bars: selection rules, notifications, pointer
// choice, the mouse wheel, disabled items, the growing-log use, colours by index.
#include "tests/gui/toolkit/widget_test_util.h"

#include "gui/toolkit/core/gui_alloc.h"
#include "gui/toolkit/widgets/dropdown.h"
#include "gui/toolkit/widgets/gui_array.h"
#include "gui/toolkit/widgets/listbox.h"
#include "gui/toolkit/widgets/scrollbar.h"
#include "gui/toolkit/widgets/widget.h"

#include <string>

using namespace widgettest;

namespace {

using V = std::vector<int>;

class ListTest : public WidgetTest {
  protected:
    void SetUp() override {
        WidgetTest::SetUp();
        WIDGET_SetDefaultEffect(&WIDGET_EFFECT_FLAT);
    }
};

// ---- List box ------------------------------------------------------------------------------

TEST_F(ListTest, SelectClampsPastTheEndAndNotifiesOnlyOnAChange) {
    const char* items[] = {"a", "b", "c", nullptr};
    const WM_HANDLE list = LISTBOX_Make(10, 10, 200, 100, parent, WM_CF_VISIBLE, 0, 5, items);
    EXPECT_EQ(LISTBOX_Count(list), 3);
    EXPECT_EQ(LISTBOX_Selected(list), -1);
    LISTBOX_Select(list, 10);
    EXPECT_EQ(LISTBOX_Selected(list), 2);
    LISTBOX_Select(list, 2);
    EXPECT_EQ(Codes(list), (V{WM_NOTIFICATION_CHANGED}));
    LISTBOX_Select(list, -3);
    EXPECT_EQ(LISTBOX_Selected(list), -1);
    LISTBOX_PutItemDisabled(list, 1, 1);
    LISTBOX_Select(list, 1);
    EXPECT_EQ(LISTBOX_Selected(list), -1);
    EXPECT_EQ(Codes(list), (V{4, 4}));
}

TEST_F(ListTest, AGrowingLogFollowsItsNewestLineWithAScrollBarOnlyWhenNeeded) {
    const WM_HANDLE list = LISTBOX_Make(2, 86, 796, 310, parent, WM_CF_VISIBLE, 0, 2650, nullptr);
    LISTBOX_AutoScrollV(list, 1);
    LISTBOX_PutFont(list, &FONT_16);
    LISTBOX_PutFillColor(list, LISTBOX_CI_UNSEL, 0x000000);
    LISTBOX_PutTextColor(list, LISTBOX_CI_UNSEL, 0x00FF00);
    const int rows = 310 / (16 + 4); // 15 lines of 20 pixels
    for (int i = 0; i < rows; ++i) {
        LISTBOX_Append(list, ("line " + std::to_string(i)).c_str());
        LISTBOX_Select(list, LISTBOX_Count(list) - 1);
    }
    Exec();
    const WM_HANDLE bar = WM_FindChildById(list, SCROLLBAR_ID_VERTICAL);
    EXPECT_TRUE(bar == 0 || !WM_IsVisible(bar));
    EXPECT_EQ(LISTBOX_TopLine(list), 0);
    EXPECT_EQ(At(400, 86 + 300), 0x000000u); // empty space below the lines: unselected fill
    for (int i = rows; i < 40; ++i) {
        LISTBOX_Append(list, ("line " + std::to_string(i)).c_str());
        LISTBOX_Select(list, LISTBOX_Count(list) - 1);
    }
    Exec();
    ASSERT_NE(WM_FindChildById(list, SCROLLBAR_ID_VERTICAL), 0);
    EXPECT_TRUE(WM_IsVisible(WM_FindChildById(list, SCROLLBAR_ID_VERTICAL)));
    EXPECT_EQ(WM_GetWindowSizeX(WM_FindChildById(list, SCROLLBAR_ID_VERTICAL)),
              SCROLLBAR_GetDefaultWidth());
    EXPECT_EQ(LISTBOX_TopLine(list), 40 - rows);
    // The newest line is on show, in the selected colours, at the bottom.
    EXPECT_EQ(At(10, 86 + (rows - 1) * 20 + 2), Px(0x808080));
    EXPECT_EQ(At(10, 86 + 2), 0x000000u);
}

TEST_F(ListTest, TheScrollBarMovesTheLines) {
    const WM_HANDLE list = LISTBOX_Make(10, 10, 200, 100, parent, WM_CF_VISIBLE, 0, 5, nullptr);
    LISTBOX_AutoScrollV(list, 1);
    LISTBOX_PutScrollbarWidth(list, 40);
    for (int i = 0; i < 30; ++i)
        LISTBOX_Append(list, "x");
    Exec();
    const WM_HANDLE bar = WM_FindChildById(list, SCROLLBAR_ID_VERTICAL);
    ASSERT_NE(bar, 0);
    EXPECT_EQ(WM_GetWindowSizeX(bar), 40);
    Click(190, 105); // the down arrow at the bottom
    EXPECT_EQ(LISTBOX_TopLine(list), 1);
    Click(190, 15); // the up arrow
    EXPECT_EQ(LISTBOX_TopLine(list), 0);
    Click(190, 72); // the track below the thumb (arrows 33 high, thumb 24): a page down
    EXPECT_GT(LISTBOX_TopLine(list), 1);
}

TEST_F(ListTest, TheWheelScrollsTheLinesAndLeavesTheSelectionAndTheWindowBehind) {
    const WM_HANDLE list = LISTBOX_Make(10, 10, 200, 100, parent, WM_CF_VISIBLE, 0, 5, nullptr);
    LISTBOX_AutoScrollV(list, 1);
    for (int i = 0; i < 30; ++i)
        LISTBOX_Append(list, ("line " + std::to_string(i)).c_str());
    LISTBOX_Select(list, 4);
    Exec();
    ClearLog();
    const int h = FONT_13.line_distance + 4;
    const int rows = 100 / h;
    auto selected_row_y = [&](int row) { return 10 + row * h + 2; };
    EXPECT_EQ(At(14, selected_row_y(4)), Px(0x808080));

    Wheel(50, 50, -1); // towards the user: further down the list
    EXPECT_EQ(LISTBOX_TopLine(list), WM_WHEEL_LINES);
    EXPECT_EQ(LISTBOX_Selected(list), 4);
    // The selected line moved up by three rows on the screen, and the scroll bar followed.
    EXPECT_EQ(At(14, selected_row_y(4 - WM_WHEEL_LINES)), Px(0x808080));
    EXPECT_NE(At(14, selected_row_y(4)), Px(0x808080));
    const WM_HANDLE bar = WM_FindChildById(list, SCROLLBAR_ID_VERTICAL);
    EXPECT_EQ(SCROLLBAR_GetValue(bar), WM_WHEEL_LINES);

    // Over the scroll bar it is the list's turn as well; the ends hold.
    Wheel(205, 50, -20);
    EXPECT_EQ(LISTBOX_TopLine(list), 30 - rows);
    Wheel(50, 50, 1);
    EXPECT_EQ(LISTBOX_TopLine(list), 30 - rows - WM_WHEEL_LINES);
    Wheel(50, 50, 20);
    EXPECT_EQ(LISTBOX_TopLine(list), 0);
    Wheel(50, 50, 1);
    EXPECT_EQ(LISTBOX_TopLine(list), 0);
    // Scrolling is no choice: the parent was told nothing, not even at the ends.
    EXPECT_TRUE(Codes().empty());
    EXPECT_EQ(Count(parent, WM_MSG_WHEEL), 0);
    // A tilt sideways is not the list's.
    Wheel(50, 50, 0, 1);
    EXPECT_EQ(Count(parent, WM_MSG_WHEEL), 1);
}

TEST_F(ListTest, APressSelectsTheEnabledLineUnderThePointer) {
    const char* items[] = {"zero", "one", "two", nullptr};
    const WM_HANDLE list = LISTBOX_Make(10, 10, 200, 100, parent, WM_CF_VISIBLE, 0, 5, items);
    Exec();
    const int h = FONT_13.line_distance + 4;
    Click(50, 10 + h + 2);
    EXPECT_EQ(LISTBOX_Selected(list), 1);
    LISTBOX_PutItemDisabled(list, 2, 1);
    Click(50, 10 + 2 * h + 2);
    EXPECT_EQ(LISTBOX_Selected(list), 1);
    EXPECT_EQ(Codes(list), (V{4, 2}));
}

TEST_F(ListTest, ColoursOutsideTheFourIndexesAreIgnored) {
    const WM_HANDLE list = LISTBOX_Make(10, 10, 200, 100, parent, WM_CF_VISIBLE, 0, 5, nullptr);
    LISTBOX_PutFillColor(list, 0, 0x123456);
    Exec();
    const uint32_t before = At(50, 50);
    LISTBOX_PutFillColor(list, 4, 0x00FF00);
    LISTBOX_PutTextColor(list, 4, 0x00FF00);
    LISTBOX_PutFillColor(list, -1, 0x00FF00);
    EXPECT_EQ(WM_GetNumInvalidWindows(), 0);
    for (int i = 0; i < 4; ++i)
        EXPECT_NE(LISTBOX_GetFillColor(list, i), 0x00FF00u);
    Exec();
    EXPECT_EQ(At(50, 50), before);
    EXPECT_EQ(before, Px(0x123456));
}

TEST_F(ListTest, AFullHeapLeavesTheListAsItWasWithAWarning) {
    const WM_HANDLE list = LISTBOX_Make(10, 10, 200, 100, parent, WM_CF_VISIBLE, 0, 5, nullptr);
    LISTBOX_Append(list, "kept");
    std::vector<GUI_HMEM> hog;
    while (GUI_HMEM h = GUI_ALLOC_AllocZero(64))
        hog.push_back(h);
    while (GUI_HMEM h = GUI_ALLOC_AllocZero(8))
        hog.push_back(h);
    reports.clear();
    LISTBOX_Append(list, "a line that does not fit any more");
    EXPECT_EQ(LISTBOX_Count(list), 1);
    EXPECT_EQ(CountReports("GUI_ARRAY:\nFailed to alloc buffer in GUI_ARRAY_AddItem()"), 1);
    for (GUI_HMEM h : hog)
        GUI_ALLOC_Free(h);
    char text[8];
    LISTBOX_ReadItemText(list, 0, text, sizeof text);
    EXPECT_STREQ(text, "kept");
}

TEST_F(ListTest, DeletingLinesKeepsTheSelectionOnItsLine) {
    const char* items[] = {"a", "b", "c", "d", nullptr};
    const WM_HANDLE list = LISTBOX_Make(10, 10, 200, 100, parent, WM_CF_VISIBLE, 0, 5, items);
    LISTBOX_Select(list, 2);
    LISTBOX_DeleteItem(list, 0);
    EXPECT_EQ(LISTBOX_Selected(list), 1);
    char text[4];
    LISTBOX_ReadItemText(list, 1, text, sizeof text);
    EXPECT_STREQ(text, "c");
    LISTBOX_DeleteItem(list, 1);
    EXPECT_EQ(LISTBOX_Selected(list), -1);
    EXPECT_EQ(LISTBOX_Count(list), 2);
}

// ---- Drop-down list --------------------------------------------------------------------------

class DropTest : public ListTest {
  protected:
    void SetUp() override {
        ListTest::SetUp();
        drop = DROPDOWN_CreateUser(40, 35, 250, 150, parent, WM_CF_VISIBLE, 1, 385, 4);
        DROPDOWN_PutFont(drop, &FONT_20B);
        DROPDOWN_PutScrollbarWidth(drop, 40);
        for (const char* s :
             {"Voltage", "Current", "Power", "Temperature", "SOC", "Energy", "Load", "Solar"})
            DROPDOWN_Append(drop, s);
        Exec();
        ClearLog();
    }
    // The screen row of item i of the open list.
    int ItemY(int i) const { return 35 + closed_height + i * (20 + 4) + 10; }
    const int closed_height = 20 + 2 * (1 + 3);
    WM_HANDLE drop = 0;
};

TEST_F(DropTest, TheClosedFieldIsOneLineOfItsFontHigh) {
    EXPECT_EQ(WM_GetWindowSizeY(drop), closed_height);
    EXPECT_EQ(WM_GetWindowSizeX(drop), 250);
}

TEST_F(DropTest, SelectClampsNotifiesOnceAndNotAtAllForTheSelectedItem) {
    EXPECT_EQ(DROPDOWN_Selected(drop), 0);
    DROPDOWN_Select(drop, 100);
    EXPECT_EQ(DROPDOWN_Selected(drop), 7);
    EXPECT_EQ(Codes(drop), (V{4}));
    DROPDOWN_Select(drop, 7);
    DROPDOWN_Select(drop, 8);
    EXPECT_EQ(Codes(drop), (V{4}));
    const WM_HANDLE empty = DROPDOWN_Make(0, 0, 100, 100, parent, WM_CF_VISIBLE, 0, 1);
    DROPDOWN_Select(empty, 5);
    EXPECT_EQ(DROPDOWN_Selected(empty), 0);
    EXPECT_TRUE(Codes(empty).empty());
}

TEST_F(DropTest, PressingOpensTheListBelowAndChoosingAnItemSelectsAndCloses) {
    Click(100, 45);
    ASSERT_EQ(DROPDOWN_IsExpanded(drop), 1);
    const WM_HANDLE list = DROPDOWN_GetListbox(drop);
    GUI_RECT r;
    WM_GetWindowRect(list, &r);
    EXPECT_EQ(r.y0, 35 + closed_height);
    EXPECT_EQ(r.y1 - r.y0 + 1, 150);
    EXPECT_EQ(r.x0, 40);
    EXPECT_EQ(LISTBOX_Selected(list), 0);
    const WM_HANDLE bar = WM_FindChildById(list, SCROLLBAR_ID_VERTICAL);
    ASSERT_NE(bar, 0);
    EXPECT_EQ(WM_GetWindowSizeX(bar), 40);
    Click(100, ItemY(2));
    EXPECT_EQ(DROPDOWN_IsExpanded(drop), 0);
    EXPECT_EQ(DROPDOWN_Selected(drop), 2);
    EXPECT_EQ(Codes(drop), (V{4}));
    Exec();
    EXPECT_FALSE(WM_IsWindow(list)); // the list is gone with its heap copies
    // Choosing the item already selected tells nothing.
    Click(100, 45);
    Click(100, ItemY(2));
    EXPECT_EQ(Codes(drop), (V{4}));
}

TEST_F(DropTest, AListThatDoesNotFitBelowTheFieldOpensAboveIt) {
    WM_MoveTo(drop, 40, 420); // below the field only 480 - 448 = 32 lines are left
    Exec();
    Click(100, 430);
    ASSERT_EQ(DROPDOWN_IsExpanded(drop), 1);
    const WM_HANDLE list = DROPDOWN_GetListbox(drop);
    GUI_RECT r;
    WM_GetWindowRect(list, &r);
    EXPECT_EQ(r.y1, 419);
    EXPECT_EQ(r.y1 - r.y0 + 1, 150);
    // Its items are chosen where they are drawn.
    Click(100, r.y0 + 2 * (20 + 4) + 10);
    EXPECT_EQ(DROPDOWN_IsExpanded(drop), 0);
    EXPECT_EQ(DROPDOWN_Selected(drop), 2);
    EXPECT_EQ(Codes(drop), (V{4}));
}

TEST(DropPlace, BelowElseAboveElseTheLargerSideShortened) {
    struct Case {
        int field_y0, field_y1, height;
        DROPDOWN_PLACE want;
    };
    const Case cases[] = {
        {35, 62, 150, {63, 150}},    // fits below
        {302, 329, 150, {330, 150}}, // exactly to the last row
        {303, 330, 150, {153, 150}}, // one row short below: above
        {420, 447, 150, {270, 150}}, // near the bottom: above
        {330, 357, 330, {0, 330}},   // exactly from the first row
        {200, 227, 300, {228, 252}}, // fits on neither side: the larger, shortened
        {300, 327, 400, {0, 300}},   {35, 62, 0, {63, 1}}, // at least one row
    };
    for (const Case& c : cases) {
        const DROPDOWN_PLACE p = DROPDOWN_PlaceList(c.field_y0, c.field_y1, c.height, 479);
        EXPECT_EQ(p.y0, c.want.y0) << "field at " << c.field_y0 << ", list " << c.height;
        EXPECT_EQ(p.height, c.want.height) << "field at " << c.field_y0 << ", list " << c.height;
    }
}

std::vector<std::pair<int, int>> g_parent_keys; // key, pressed count

void KeyRecorder(WM_MSG_RECORD* msg) {
    if (msg->msg_id == WM_MSG_KEY) {
        const auto* k = static_cast<const WM_KEY_EVENT*>(msg->data.p);
        g_parent_keys.emplace_back(k->key, k->pressed_cnt);
        return;
    }
    wmtest::RecordProc(msg);
}

TEST_F(DropTest, KeysTheFieldDoesNotUseReachTheParentPressesAndReleasesAlike) {
    using K = std::vector<std::pair<int, int>>;
    g_parent_keys.clear();
    WM_ReplaceCallback(parent, KeyRecorder);
    ASSERT_EQ(WM_GiveFocus(drop), 0);
    Key('A');
    Key(27); // nothing to close
    EXPECT_EQ(g_parent_keys, (K{{'A', 1}, {'A', 0}, {27, 1}, {27, 0}}));

    // Enter opens the list on its press; its release stays with the field and the list.
    g_parent_keys.clear();
    Key(13);
    ASSERT_EQ(DROPDOWN_IsExpanded(drop), 1);
    EXPECT_TRUE(g_parent_keys.empty());
    // In the open list Escape closes it; a key neither uses goes on to the field's parent.
    Key('B');
    EXPECT_EQ(g_parent_keys, (K{{'B', 1}}));
    g_parent_keys.clear();
    GUI_PostKey(27, 1);
    Exec();
    EXPECT_EQ(DROPDOWN_IsExpanded(drop), 0);
    EXPECT_EQ(WM_GetFocusedWindow(), drop);
    EXPECT_TRUE(g_parent_keys.empty());
    EXPECT_TRUE(Codes(drop).empty());
}

TEST_F(DropTest, ADisabledItemCannotBeChosenWithThePointerButByTheProgram) {
    DROPDOWN_PutItemDisabled(drop, 1, 1);
    EXPECT_EQ(DROPDOWN_IsItemDisabled(drop, 1), 1);
    EXPECT_EQ(DROPDOWN_IsItemDisabled(drop, 2), 0);
    Click(100, 45);
    Click(100, ItemY(1));
    EXPECT_EQ(DROPDOWN_IsExpanded(drop), 1); // still open
    EXPECT_EQ(DROPDOWN_Selected(drop), 0);
    EXPECT_TRUE(Codes(drop).empty());
    // Greyed in the open list.
    const int y = ItemY(1);
    bool grey = false;
    for (int x = 45; x < 200; ++x)
        grey = grey || At(x, y) == Px(0xA0A0A0);
    EXPECT_TRUE(grey);
    DROPDOWN_Select(drop, 1);
    EXPECT_EQ(DROPDOWN_Selected(drop), 1);
    EXPECT_EQ(Codes(drop), (V{4}));
    DROPDOWN_PutItemDisabled(drop, 1, 0);
    EXPECT_EQ(DROPDOWN_IsItemDisabled(drop, 1), 0);
}

TEST_F(DropTest, APressOutsideTheOpenListClosesItWithoutAChange) {
    Click(100, 45);
    ASSERT_EQ(DROPDOWN_IsExpanded(drop), 1);
    Click(600, 400);
    Exec();
    EXPECT_EQ(DROPDOWN_IsExpanded(drop), 0);
    EXPECT_TRUE(Codes(drop).empty());
    // The screen under the list is the parent's again.
    EXPECT_EQ(At(100, ItemY(3)), 0x303030u);
    // Pressing the field again while open closes it too.
    Click(100, 45);
    Click(100, 45);
    EXPECT_EQ(DROPDOWN_IsExpanded(drop), 0);
}

TEST_F(DropTest, TheWheelScrollsTheOpenListWhereverThePointerIsAndAChoiceFollowsIt) {
    // A column list as long as the Graph tab's: far more items than the list shows.
    for (int i = 0; i < 120; ++i)
        DROPDOWN_Append(drop, ("Device:VALUE" + std::to_string(i)).c_str());
    // Closed, the field leaves the wheel to the window behind it.
    Wheel(100, 45, -1);
    EXPECT_EQ(DROPDOWN_IsExpanded(drop), 0);
    EXPECT_EQ(Count(parent, WM_MSG_WHEEL), 1);
    Click(100, 45);
    ASSERT_EQ(DROPDOWN_IsExpanded(drop), 1);
    const WM_HANDLE list = DROPDOWN_GetListbox(drop);
    EXPECT_EQ(At(42, ItemY(0)), Px(0xD77800)); // the selected item 0, in the focus colour
    // Over the list.
    Wheel(100, ItemY(2), -2);
    EXPECT_EQ(LISTBOX_TopLine(list), 2 * WM_WHEEL_LINES);
    Wheel(600, 400, -1); // beside it, over the catcher
    EXPECT_EQ(LISTBOX_TopLine(list), 3 * WM_WHEEL_LINES);
    EXPECT_EQ(Count(parent, WM_MSG_WHEEL), 1); // nothing more got through to the parent
    // Still open, nothing chosen, and the items drawn are the scrolled ones: the first row
    // shows item 9 ("Device:VALUE1"), whose press chooses it.
    EXPECT_EQ(DROPDOWN_IsExpanded(drop), 1);
    EXPECT_EQ(DROPDOWN_Selected(drop), 0);
    EXPECT_TRUE(Codes(drop).empty());
    EXPECT_EQ(At(42, ItemY(0)), Px(0xFFFFFF));
    char text[32] = {};
    LISTBOX_ReadItemText(list, 3 * WM_WHEEL_LINES, text, sizeof text);
    EXPECT_STREQ(text, "Device:VALUE1");
    Click(100, ItemY(0));
    EXPECT_EQ(DROPDOWN_IsExpanded(drop), 0);
    EXPECT_EQ(DROPDOWN_Selected(drop), 3 * WM_WHEEL_LINES);
    EXPECT_EQ(Codes(drop), (V{4}));
}

TEST_F(DropTest, TheScrollBarWidthReachesAnOpenListAtOnce) {
    Click(100, 45);
    const WM_HANDLE bar = WM_FindChildById(DROPDOWN_GetListbox(drop), SCROLLBAR_ID_VERTICAL);
    DROPDOWN_PutScrollbarWidth(drop, 25);
    EXPECT_EQ(WM_GetWindowSizeX(bar), 25);
}

TEST_F(DropTest, UserBytesHoldThePartnersHandle) {
    const int32_t partner = 1234;
    EXPECT_EQ(DROPDOWN_WriteUserBytes(drop, &partner, 4), 4);
    int32_t back = 0;
    EXPECT_EQ(DROPDOWN_ReadUserBytes(drop, &back, 4), 4);
    EXPECT_EQ(back, 1234);
}

TEST_F(DropTest, DeletingAnOpenDropDownFreesEverything) {
    const int32_t before = GUI_ALLOC_GetNumFreeBytes();
    const WM_HANDLE d = DROPDOWN_Make(300, 35, 125, 150, parent, WM_CF_VISIBLE, 1, 384);
    DROPDOWN_Append(d, "12 Hours");
    DROPDOWN_Append(d, "24 Hours");
    DROPDOWN_Expand(d);
    Exec();
    WM_DeleteWindow(d);
    Exec();
    EXPECT_EQ(GUI_ALLOC_GetNumFreeBytes(), before);
    reports.clear();
    DROPDOWN_Append(parent, "x");
    EXPECT_EQ(
        CountReports("DROPDOWN:\nWrong handle type or Object not init'ed in DROPDOWN_LockH()"), 1);
    LISTBOX_Append(drop, "x");
    EXPECT_EQ(CountReports("LISTBOX:\nWrong handle type or Object not init'ed in LISTBOX_LockH()"),
              1);
    SCROLLBAR_PutValue(drop, 1);
    EXPECT_EQ(CountReports("SCROLLBAR: Wrong handle type or Object not init'ed"), 1);
    EXPECT_EQ(DROPDOWN_Count(drop), 8);
}

// ---- Item lists --------------------------------------------------------------------------------

TEST(GuiArray, ItemsKeepTextsAndFlagsThroughAppendsAndDeletes) {
    alignas(8) static uint8_t arena[4096];
    GUI_ALLOC_SetArena(arena, sizeof arena);
    GUI_HMEM a = 0;
    EXPECT_EQ(GUI_ARRAY_GetCount(a), 0);
    EXPECT_EQ(GUI_ARRAY_GetText(a, 0), nullptr);
    GUI_ARRAY_AddItem(&a, "one", 0);
    GUI_ARRAY_AddItem(&a, "", GUI_ARRAY_DISABLED);
    GUI_ARRAY_AddItem(&a, nullptr, 0);
    GUI_ARRAY_AddItem(&a, "three", 0);
    EXPECT_EQ(GUI_ARRAY_GetCount(a), 4);
    EXPECT_STREQ(GUI_ARRAY_GetText(a, 3), "three");
    EXPECT_EQ(GUI_ARRAY_GetFlags(a, 1), GUI_ARRAY_DISABLED);
    EXPECT_EQ(GUI_ARRAY_DeleteItem(&a, 0), 0);
    EXPECT_EQ(GUI_ARRAY_DeleteItem(&a, 5), 1);
    EXPECT_STREQ(GUI_ARRAY_GetText(a, 0), "");
    EXPECT_EQ(GUI_ARRAY_GetFlags(a, 0), GUI_ARRAY_DISABLED);
    EXPECT_STREQ(GUI_ARRAY_GetText(a, 2), "three");
    EXPECT_EQ(GUI_ARRAY_GetText(a, 3), nullptr);
    EXPECT_EQ(GUI_ARRAY_GetText(a, -1), nullptr);
    GUI_ARRAY_Free(&a);
    EXPECT_EQ(GUI_ALLOC_GetNumUsedBlocks(), 0);
}

} // namespace
