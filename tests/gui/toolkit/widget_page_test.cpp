// Multipages, dialogs on plain windows, the program's start-up defaults, and the whole
// program's widget tree in the 160 KiB heap.
#include "tests/gui/toolkit/widget_test_util.h"

#include "gui/toolkit/core/gui_alloc.h"
#include "gui/toolkit/draw/gui_draw.h"
#include "gui/toolkit/widgets/button.h"
#include "gui/toolkit/widgets/dropdown.h"
#include "gui/toolkit/widgets/edit.h"
#include "gui/toolkit/widgets/graph.h"
#include "gui/toolkit/widgets/listbox.h"
#include "gui/toolkit/widgets/multipage.h"
#include "gui/toolkit/widgets/scrollbar.h"
#include "gui/toolkit/widgets/text.h"
#include "gui/toolkit/widgets/widget.h"
#include "gui/toolkit/widgets/window.h"

#include <cstdio>
#include <string>

using namespace widgettest;

namespace {

using V = std::vector<int>;

class PageTest : public WidgetTest {
  protected:
    void SetUp() override {
        WidgetTest::SetUp();
        WIDGET_SetProgramDefaults();
    }
    // A page window as the main screen makes them: hidden, child of the multipage.
    WM_HANDLE MakePage(WM_HANDLE mp, GUI_COLOUR colour, int width = 798) {
        return Create(0, 0, width, 425, mp, 0, colour);
    }
};

// ---- Multipage --------------------------------------------------------------------------------

TEST_F(PageTest, FiveInsertedPagesLeaveTheFifthSelectedAndShowPageZeroShowsTheFirst) {
    const WM_HANDLE mp = MULTIPAGE_Create(2, 60, 796, 418, parent, WM_CF_VISIBLE, 0, 2055);
    std::vector<WM_HANDLE> pages;
    const char* titles[] = {"Home", "Quill", "Graph", "RV100/30", "Celton"};
    for (int i = 0; i < 5; ++i) {
        pages.push_back(MakePage(mp, 0x000010 * (i + 1)));
        MULTIPAGE_InsertPage(mp, pages.back(), titles[i]);
    }
    EXPECT_EQ(MULTIPAGE_Current(mp), 4);
    EXPECT_EQ(MULTIPAGE_PageCount(mp), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(WM_IsVisible(pages[size_t(i)]), i == 4) << i;
        EXPECT_EQ(WM_GetParentWin(pages[size_t(i)]), MULTIPAGE_Client(mp));
    }
    MULTIPAGE_ShowPage(mp, 0);
    EXPECT_EQ(MULTIPAGE_Current(mp), 0);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(WM_IsVisible(pages[size_t(i)]), i == 0) << i;
    EXPECT_EQ(WM_GetFocusedWindow(), pages[0]);
    // The page sits at the client's top-left, below the tab row.
    EXPECT_EQ(WM_GetWindowOrgY(pages[0]), 60 + MULTIPAGE_TabHeight(mp));
    EXPECT_EQ(WM_GetWindowOrgX(pages[0]), 2);
    // Invalid indexes and disabled pages change nothing.
    MULTIPAGE_ShowPage(mp, 5);
    MULTIPAGE_ShowPage(mp, -1);
    MULTIPAGE_EnablePage(mp, 2, 0);
    MULTIPAGE_ShowPage(mp, 2);
    EXPECT_EQ(MULTIPAGE_Current(mp), 0);
}

TEST_F(PageTest, InsertingWithoutAWindowTakesTheFirstChildThatIsNoPageYet) {
    const WM_HANDLE mp = MULTIPAGE_Create(0, 0, 400, 300, parent, WM_CF_VISIBLE, 0, 1);
    const WM_HANDLE client = MULTIPAGE_Client(mp);
    const WM_HANDLE a = Create(0, 0, 400, 200, client, 0, 0x0000FF);
    const WM_HANDLE b = Create(0, 0, 400, 200, client, 0, 0x00FF00);
    MULTIPAGE_InsertPage(mp, 0, "A");
    MULTIPAGE_InsertPage(mp, 0, "B");
    EXPECT_EQ(MULTIPAGE_PageWindow(mp, 0), a);
    EXPECT_EQ(MULTIPAGE_PageWindow(mp, 1), b);
    MULTIPAGE_InsertPage(mp, 0, "C"); // nothing left to take
    EXPECT_EQ(MULTIPAGE_PageCount(mp), 2);
}

TEST_F(PageTest, PressingATabShowsItsPageAndTheLookRecordsColourTheTabs) {
    MULTIPAGE_LOOK look;
    MULTIPAGE_ReadLook(&look, 0);
    EXPECT_EQ(look.fill, 0x808080u);
    EXPECT_EQ(look.upper_top, 0xF2F2F2u);
    EXPECT_EQ(look.frame, 0x959595u);
    look = MULTIPAGE_LOOK{0x000000, 0x006600, 0x006600, 0x006600, 0x006600, 0x006600, 0xFFFFFF};
    MULTIPAGE_PutLook(&look, 0);
    const WM_HANDLE mp = MULTIPAGE_Create(2, 60, 796, 418, parent, WM_CF_VISIBLE, 0, 2055);
    MULTIPAGE_PutFont(mp, &FONT_20B);
    const WM_HANDLE p0 = MakePage(mp, 0x000000);
    const WM_HANDLE p1 = MakePage(mp, 0x000000);
    MULTIPAGE_InsertPage(mp, p0, "Home");
    MULTIPAGE_InsertPage(mp, p1, "Quill");
    MULTIPAGE_ShowPage(mp, 0);
    Exec();
    const int th = MULTIPAGE_TabHeight(mp);
    EXPECT_EQ(th, 28);
    // "Home" is selected (white), "Quill" is dark green.
    const int home_w = GUI_GetTextWidth("Home"); // measured with the selected font below
    (void)home_w;
    EXPECT_EQ(At(6, 60 + th / 2 + 4), Px(0xFFFFFF));
    int quill_x = 0;
    for (int x = 2; x < 400 && quill_x == 0; ++x)
        if (At(x, 60 + th - 3) == Px(0x006600)) quill_x = x;
    ASSERT_GT(quill_x, 0);
    ClearLog();
    Click(quill_x + 5, 60 + th / 2);
    EXPECT_EQ(MULTIPAGE_Current(mp), 1);
    EXPECT_TRUE(WM_IsVisible(p1));
    EXPECT_FALSE(WM_IsVisible(p0));
    Exec();
    EXPECT_EQ(At(quill_x + 2, 60 + th / 2 + 4), Px(0xFFFFFF));
}

TEST_F(PageTest, OverflowingTabsGetTwoArrowsThatScrollTheRow) {
    const WM_HANDLE mp = MULTIPAGE_Create(0, 0, 300, 200, parent, WM_CF_VISIBLE, 0, 1);
    MULTIPAGE_PutFont(mp, &FONT_20B);
    for (int i = 0; i < 8; ++i)
        MULTIPAGE_InsertPage(mp, Create(0, 0, 300, 150, mp, 0),
                             ("Page " + std::to_string(i)).c_str());
    // The selected last tab was scrolled into view.
    EXPECT_GT(MULTIPAGE_FirstTab(mp), 0);
    const int th = MULTIPAGE_TabHeight(mp);
    const int s = (3 * 20 + 18) / 4;
    const int first = MULTIPAGE_FirstTab(mp);
    Click(300 - 2 * s + s / 2, th - s / 2); // left arrow
    EXPECT_EQ(MULTIPAGE_FirstTab(mp), first - 1);
    Click(300 - s / 2, th - s / 2); // right arrow
    EXPECT_EQ(MULTIPAGE_FirstTab(mp), first);
    EXPECT_EQ(MULTIPAGE_Current(mp), 7);
}

TEST_F(PageTest, ADeletedMultipageFreesItsTitlesAndPages) {
    const int32_t before = GUI_ALLOC_GetNumFreeBytes();
    const WM_HANDLE mp = MULTIPAGE_Create(0, 0, 300, 200, parent, WM_CF_VISIBLE, 0, 1);
    for (int i = 0; i < 3; ++i)
        MULTIPAGE_InsertPage(mp, Create(0, 0, 300, 150, mp, 0), "a title");
    WM_DeleteWindow(mp);
    EXPECT_EQ(GUI_ALLOC_GetNumFreeBytes(), before);
    reports.clear();
    MULTIPAGE_ShowPage(parent, 0);
    EXPECT_EQ(CountReports("MULTIPAGE: Wrong handle type or Object not init'ed"), 1);
}

// ---- Dialogs on plain windows ------------------------------------------------------------------

std::vector<int> g_dialog_notes;

void DialogProc(WM_MSG_RECORD* msg) {
    switch (msg->msg_id) {
        case WM_MSG_INIT_DIALOG:
            g_dialog_notes.push_back(-1);
            return;
        case WM_MSG_NOTIFY_PARENT:
            g_dialog_notes.push_back(WM_GetWinId(msg->source) * 10 + msg->data.v);
            return;
        default:
            WM_FallbackProc(msg);
    }
}

const WM_DIALOG_ITEM kDialog[] = {
    {WINDOW_CreateIndirect, "", 3748, 0, 0, 800, 480, 0, 0, 0},
    {EDIT_CreateIndirect, "", 3792, 5, 5, 790, 80, 2, 100, 0},
    {BUTTON_CreateIndirect, "q", 3765, 37, 175, 65, 65, 2, 0, 0},
    {TEXT_CreateIndirect, "label", 3, 200, 175, 100, 30, 2, 14, 4},
};

TEST_F(PageTest, ADialogTableBuildsAWindowWithItsItemsAndForwardsNotifications) {
    g_dialog_notes.clear();
    const WM_HANDLE dialog = GUI_CreateDialogFromTable(kDialog, 4, DialogProc, 0, 0, 0);
    ASSERT_NE(dialog, 0);
    EXPECT_EQ(WM_GetWinId(dialog), 3748);
    const WM_HANDLE edit = WM_FindChildById(dialog, 3792);
    ASSERT_NE(edit, 0);
    EXPECT_EQ(WM_GetFocusedWindow(), edit);
    EXPECT_EQ(g_dialog_notes.front(), -1);
    g_dialog_notes.clear();
    Click(50, 200);
    EXPECT_EQ(g_dialog_notes, (V{37651, 37652}));
    // The edit field took the parameter as its maximum length.
    const std::string long_text(150, 'x');
    EDIT_PutText(edit, long_text.c_str());
    char buffer[200];
    EXPECT_EQ(EDIT_ReadText(edit, buffer, sizeof buffer), 100);
    const WM_HANDLE label = WM_FindChildById(dialog, 3);
    int32_t word = 7;
    EXPECT_EQ(TEXT_WriteUserBytes(label, &word, 4), 4);
    const int32_t before_delete = GUI_ALLOC_GetNumUsedBlocks();
    EXPECT_GT(before_delete, 0);
    WM_DeleteWindow(dialog);
    EXPECT_FALSE(WM_IsWindow(edit));
}

TEST_F(PageTest, AWindowFillsItsBackgroundUnlessSeeThrough) {
    const WM_HANDLE w = WINDOW_CreateUser(100, 100, 50, 50, parent, WM_CF_VISIBLE, 9, nullptr, 0);
    Exec();
    EXPECT_EQ(WM_GetWinId(w), 9);
    WINDOW_PutBkColor(w, 0x0000FF);
    Exec();
    EXPECT_EQ(At(120, 120), Px(0x0000FF));
    const WM_HANDLE clear = WINDOW_CreateUser(200, 100, 50, 50, parent, 3, 10, nullptr, 0);
    WINDOW_PutBkColor(clear, 0x00FF00);
    Exec();
    EXPECT_EQ(At(220, 120), 0x303030u);
    reports.clear();
    WINDOW_PutBkColor(parent, 0);
    EXPECT_EQ(CountReports("WINDOW:\nWrong handle type or Object not init'ed in WINDOW_LockH()"),
              1);
}

// ---- Start-up defaults
// ---------------------------------------------------------------------------

TEST_F(PageTest, TheProgramsDefaultsApplyToWidgetsCreatedAfterThem) {
    const WM_HANDLE b = BUTTON_Make(100, 100, 100, 40, parent, WM_CF_VISIBLE, 0, 1);
    BUTTON_PutText(b, "MMMM");
    BUTTON_PutFont(b, &FONT_24B);
    const WM_HANDLE t = TEXT_Make(300, 100, 100, 40, parent, WM_CF_VISIBLE, 14, 2, "MMMM");
    TEXT_PutFont(t, &FONT_24B);
    Exec();
    // No button background: the parent shows; white text; no frame.
    EXPECT_EQ(At(101, 101), 0x303030u);
    bool white_button = false, white_text = false;
    for (int x = 100; x < 200; ++x)
        for (int y = 100; y < 140; ++y) {
            white_button = white_button || At(x, y) == 0xFFFFFFu;
            white_text = white_text || At(x + 200, y) == 0xFFFFFFu;
        }
    EXPECT_TRUE(white_button);
    EXPECT_TRUE(white_text);
    EXPECT_EQ(SCROLLBAR_GetDefaultWidth(), 25);
    EXPECT_EQ(WIDGET_GetDefaultEffect(), &WIDGET_EFFECT_FLAT);
    const WM_HANDLE mp = MULTIPAGE_Create(0, 200, 400, 200, parent, WM_CF_VISIBLE, 0, 3);
    EXPECT_EQ(MULTIPAGE_TabHeight(mp), 16 + 8);
}

// ---- The whole widget tree in the heap
// ------------------------------------------------------------

// The main screen with 21 device pages of a few dozen labels and buttons each, the information
// window, and the history graph with four full 721-point curves.
TEST_F(PageTest, TheProgramsWholeWidgetTreeFitsTheHeapAndDeletingItReturnsIt) {
    const int32_t free_before = GUI_ALLOC_GetNumFreeBytes();
    const int32_t blocks_before = GUI_ALLOC_GetNumUsedBlocks();
    reports.clear();
    const WM_HANDLE main_win = Create(0, 0, 800, 480, 0, WM_CF_VISIBLE, 0x000000);
    TEXT_Make(100, 5, 110, 40, main_win, 3, 12, 2050, "ZEIT");
    TEXT_Make(10, 5, 90, 40, main_win, 3, 12, 2051, "DATUM");
    BUTTON_Make(740, 0, 60, 60, main_win, 2, 0, 2053);
    const WM_HANDLE info = Create(0, 0, 800, 480, 0, 0, 0x000000);
    TEXT_Make(5, 5, 790, 75, info, 2, 0, 2649,
              "Ovalo Veltra - Rev. 01.07.00 ,\nIP: 192.168.001.160");
    const WM_HANDLE list = LISTBOX_Make(2, 86, 796, 310, info, 2, 0, 2650, nullptr);
    LISTBOX_AutoScrollV(list, 1);
    for (int i = 0; i < 40; ++i) {
        char line[80];
        std::snprintf(line, sizeof line, "Device %d found at unit id %d: RV100/30", i, i + 1);
        LISTBOX_Append(list, line);
        LISTBOX_Select(list, LISTBOX_Count(list) - 1);
    }
    BUTTON_Make(5, 415, 60, 60, info, 2, 0, 2648);
    TEXT_Make(200, 5, 300, 40, 0, 2, 14, 3449, "status");
    const WM_HANDLE mp = MULTIPAGE_Create(2, 60, 796, 418, main_win, 2, 0, 2055);
    MULTIPAGE_PutFont(mp, &FONT_20B);
    BUTTON_UseFlexLookByDefault();
    for (int p = 0; p < 21; ++p) {
        const WM_HANDLE page = Create(0, 0, 798, 425, mp, 0, 0x000000);
        for (int k = 0; k < 24; ++k) {
            char name[32];
            std::snprintf(name, sizeof name, "Celton %d:%d", p, k);
            const WM_HANDLE t =
                TEXT_CreateUser(5 + k * 30, 8, 90, 24, page, 2, 14, 4148 + k, name, 4);
            TEXT_WriteUserBytes(t, &k, 4);
        }
        for (int k = 0; k < 12; ++k) {
            const WM_HANDLE b = BUTTON_CreateUser(5 + k * 60, 300, 55, 40, page, 2, 0, 100 + k, 4);
            BUTTON_PutText(b, k % 2 ? "OFF" : "ON");
            BUTTON_WriteUserBytes(b, &k, 4);
        }
        MULTIPAGE_InsertPage(mp, page, "Celton");
    }
    // The history page's widgets on the last page.
    const WM_HANDLE graph_page = MULTIPAGE_PageWindow(mp, 20);
    const WM_HANDLE graph = GRAPH_Make(5, 61, 785, 325, graph_page, 2, 0, 544);
    for (int c = 0; c < 4; ++c) {
        const GRAPH_HSERIES s = GRAPH_SERIES_Create(0x00FF00, 721, nullptr, 0);
        GRAPH_Attach(graph, s);
        for (int i = 0; i < 721; ++i)
            GRAPH_SERIES_Push(s, int16_t(i % 300));
    }
    GRAPH_AttachAxis(graph, GRAPH_AXIS_Create(313, 2, 0, 60));
    GRAPH_AttachAxis(graph, GRAPH_AXIS_Create(32, 1, 1, 50));
    GRAPH_AttachAxis(graph, GRAPH_AXIS_Create(785, 1, 1, 50));
    const char* columns[] = {"V_Batt", "I_Batt", "P_Solar", "SOC", "Temp", "Load", "E_Day"};
    for (int d = 0; d < 2; ++d) {
        const WM_HANDLE drop =
            DROPDOWN_CreateUser(40 + 290 * d, 35, 250, 150, graph_page, 2, 1, 385 + d, 4);
        for (int rep = 0; rep < 10; ++rep)
            for (const char* c : columns)
                DROPDOWN_Append(drop, c);
    }
    const WM_HANDLE range = DROPDOWN_Make(620, 35, 125, 150, graph_page, 2, 1, 384);
    for (const char* r :
         {"12 Hours", "24 Hours", "2  Days", "4  Days", "8  Days", "16 Days", "32 Days"})
        DROPDOWN_Append(range, r);
    MULTIPAGE_ShowPage(mp, 20);
    Exec();
    const int32_t free_now = GUI_ALLOC_GetNumFreeBytes();
    std::printf("widget tree: %d of %d bytes used, %d blocks\n", free_before - free_now,
                free_before, GUI_ALLOC_GetNumUsedBlocks() - blocks_before);
    EXPECT_TRUE(reports.empty()) << reports.front().text;
    EXPECT_EQ(MULTIPAGE_PageCount(mp), 21);
    // The on-screen keyboard opens over all of it: a window, a 100-character field, 40 keys
    // and the two picture buttons.
    const WM_HANDLE keyboard = WINDOW_CreateUser(0, 0, 800, 480, 0, 2, 3748, nullptr, 0);
    EDIT_Make(5, 5, 790, 80, keyboard, 2, 0, 3792, 100);
    for (int k = 0; k < 42; ++k) {
        const WM_HANDLE key =
            BUTTON_Make(37 + 75 * (k % 10), 100 + 75 * (k / 10), 65, 65, keyboard, 2, 0, 3749 + k);
        BUTTON_PutText(key, "w");
    }
    Exec();
    EXPECT_TRUE(reports.empty()) << reports.front().text;
    std::printf("with the keyboard: %d bytes free\n", GUI_ALLOC_GetNumFreeBytes());
    WM_DeleteWindow(keyboard);
    WM_DeleteWindow(main_win);
    WM_DeleteWindow(info);
    WM_DeleteWindow(WM_FindChildById(WM_GetRootWin(), 3449));
    Exec();
    EXPECT_EQ(GUI_ALLOC_GetNumFreeBytes(), free_before);
    EXPECT_EQ(GUI_ALLOC_GetNumUsedBlocks(), blocks_before);
}

} // namespace
