// The window tree, messages, focus, keys, dialogs and timers.
#include "tests/gui/toolkit/wm_test_util.h"

#include "gui/host/host.h"
#include "gui/toolkit/core/gui_alloc.h"

#include <functional>

using namespace wmtest;

namespace {

constexpr const char* kNesting =
    "WM__SendMessage:\nMax. message nesting exceeded, Message skipped in WM__SendMessage().";

class WindowTest : public WmTest {};

TEST_F(WindowTest, ParentZeroIsTheRootAndZeroSizesTakeTheParentsSize) {
    const WM_HANDLE page = Create(0, 0, 0, 0, 0, WM_CF_VISIBLE);
    EXPECT_EQ(WM_GetParentWin(page), WM_GetRootWin());
    EXPECT_EQ(WM_GetWindowSizeX(page), 800);
    EXPECT_EQ(WM_GetWindowSizeY(page), 480);

    const WM_HANDLE panel = Create(100, 50, 200, 100, page, WM_CF_VISIBLE);
    const WM_HANDLE strip = Create(10, 20, 0, 30, panel, WM_CF_VISIBLE);
    GUI_RECT r;
    ASSERT_TRUE(WM_GetWindowRect(strip, &r));
    EXPECT_EQ(r.x0, 110);
    EXPECT_EQ(r.y0, 70);
    EXPECT_EQ(r.x1, 110 + 200 - 1);
    EXPECT_EQ(r.y1, 70 + 30 - 1);

    // -1: no parent at all; the position stays as given.
    const WM_HANDLE loose = Create(5, 6, 7, 8, -1, WM_CF_VISIBLE);
    EXPECT_EQ(WM_GetParentWin(loose), 0);
    EXPECT_EQ(WM_GetWindowOrgX(loose), 5);
    EXPECT_EQ(WM_GetWindowSizeY(loose), 8);
}

TEST_F(WindowTest, CreationMasksFlagsSendsCreateAndStacksBelowOnTopSiblings) {
    const WM_HANDLE page = Create(0, 0, 800, 480, 0, 0xFFFFFFFF & ~WM_CF_ON_TOP);
    EXPECT_EQ(WM_GetFlags(page) & ~WM_CF_MASK, 0u);
    EXPECT_EQ(Count(page, WM_MSG_CREATE), 1);

    const WM_HANDLE a = Create(0, 0, 10, 10, page, WM_CF_VISIBLE);
    const WM_HANDLE top = Create(0, 0, 10, 10, page, WM_CF_VISIBLE | WM_CF_ON_TOP);
    const WM_HANDLE b = Create(0, 0, 10, 10, page, WM_CF_VISIBLE);
    // Bottom to top: a, b (topmost of the plain ones), then the on-top window.
    EXPECT_EQ(WM_GetFirstChild(page), a);
    EXPECT_EQ(WM_GetNextSibling(a), b);
    EXPECT_EQ(WM_GetNextSibling(b), top);

    WM_SetOnTop(a, 1);
    EXPECT_EQ(WM_GetFirstChild(page), b);
    EXPECT_EQ(WM_GetNextSibling(top), a);
    WM_SetOnTop(a, 0);
    EXPECT_EQ(WM_GetNextSibling(b), a);
    EXPECT_EQ(WM_GetNextSibling(a), top);
}

TEST_F(WindowTest, DeletionReachesEveryDescendantAndNotifiesTheParent) {
    const WM_HANDLE page = Create(0, 0, 800, 480, 0, WM_CF_VISIBLE);
    const WM_HANDLE panel = Create(10, 10, 300, 200, page, WM_CF_VISIBLE);
    const WM_HANDLE child = Create(5, 5, 50, 50, panel, WM_CF_VISIBLE);
    const WM_HANDLE grandchild = Create(1, 1, 10, 10, child, WM_CF_VISIBLE);
    WM_GiveFocus(grandchild);
    Exec();
    log.clear();

    WM_DeleteWindow(panel);
    for (WM_HANDLE h : {panel, child, grandchild}) {
        EXPECT_EQ(Count(h, WM_MSG_DELETE), 1);
        EXPECT_FALSE(WM_IsWindow(h));
    }
    const auto notes = Messages(page, WM_MSG_NOTIFY_PARENT);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].value, WM_NOTIFICATION_CHILD_REMOVED);
    EXPECT_EQ(notes[0].source, panel);
    EXPECT_EQ(WM_GetFocusedWindow(), 0);
    EXPECT_EQ(WM_GetFirstChild(page), 0);
    EXPECT_EQ(WM_GetNumInvalidWindows(), 1); // the page, under the panel's area
    Exec();
    const auto paints = Messages(page, WM_MSG_PAINT);
    ASSERT_FALSE(paints.empty());

    // A stale handle is reported as a warning; 0 does nothing.
    reports.clear();
    WM_DeleteWindow(panel);
    WM_DeleteWindow(0);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_FALSE(reports[0].is_error);
    EXPECT_EQ(reports[0].text, "WM:\nInvalid handle in WM_DeleteWindow()");
}

void DeleteSelfOnUser(WM_MSG_RECORD* msg) {
    if (msg->msg_id == WM_MSG_USER)
        WM_DeleteWindow(msg->target);
    else
        RecordProc(msg);
}

TEST_F(WindowTest, AWindowMayDeleteItselfAndDeferredDeletionWaitsForTheCycle) {
    const WM_HANDLE page = Create(0, 0, 800, 480, 0, WM_CF_VISIBLE);
    const WM_HANDLE self = Create(0, 0, 10, 10, page, WM_CF_VISIBLE);
    WM_ReplaceCallback(self, DeleteSelfOnUser);
    WM_SendBareMessage(self, WM_MSG_USER);
    EXPECT_FALSE(WM_IsWindow(self));

    const WM_HANDLE later = Create(0, 0, 10, 10, page, WM_CF_VISIBLE);
    WM_MarkForDeletion(later);
    EXPECT_TRUE(WM_IsWindow(later));
    Exec();
    EXPECT_FALSE(WM_IsWindow(later));
    EXPECT_EQ(Count(later, WM_MSG_DELETE), 1);
}

int g_depth = 0;
void Recurse(WM_MSG_RECORD* msg) {
    if (msg->msg_id != WM_MSG_USER) return WM_FallbackProc(msg);
    ++g_depth;
    WM_SendBareMessage(msg->target, WM_MSG_USER);
}

TEST_F(WindowTest, TheTwentyFirstNestedSendIsDroppedAndTheSenderGoesOn) {
    const WM_HANDLE win = WM_CreateWindowAsChild(0, 0, 10, 10, 0, 0, Recurse, 0);
    g_depth = 0;
    WM_SendBareMessage(win, WM_MSG_USER);
    EXPECT_EQ(g_depth, 20);
    EXPECT_EQ(CountReports(kNesting), 1);
    EXPECT_TRUE(reports.back().is_error);
    // Every level returned: the next send starts from the bottom again.
    g_depth = 0;
    WM_SendBareMessage(win, WM_MSG_USER);
    EXPECT_EQ(g_depth, 20);
}

TEST_F(WindowTest, FallbackAnswersAndIdsOfPlainWindows) {
    const WM_HANDLE plain = WM_CreateWindowAsChild(10, 20, 30, 40, 0, WM_CF_VISIBLE, nullptr, 0);
    EXPECT_EQ(WM_GetWinId(plain), 0);

    WM_MSG_RECORD msg{};
    msg.msg_id = WM_MSG_GET_CLIENT;
    WM__SendMessage(plain, &msg);
    EXPECT_EQ(msg.data.h, plain);
    EXPECT_EQ(msg.target, plain);

    msg = {};
    msg.msg_id = WM_MSG_GET_BKCOLOR;
    WM__SendMessage(plain, &msg);
    EXPECT_EQ(msg.data.colour, 0x0FFFFFFFu);

    GUI_RECT inside{};
    msg = {};
    msg.msg_id = WM_MSG_GET_INSIDE_RECT;
    msg.data.p = &inside;
    WM__SendMessage(plain, &msg);
    EXPECT_EQ(inside.x0, 0);
    EXPECT_EQ(inside.x1, 29);
    EXPECT_EQ(inside.y1, 39);
    EXPECT_EQ(msg.data.p, nullptr);

    const WM_HANDLE panel = Create(0, 0, 100, 100, 0, WM_CF_VISIBLE, 0, 0);
    const WM_HANDLE first = Create(0, 0, 10, 10, panel, WM_CF_VISIBLE, 0, 7);
    const WM_HANDLE deep = Create(0, 0, 5, 5, first, WM_CF_VISIBLE, 0, 9);
    const WM_HANDLE second = Create(0, 0, 10, 10, panel, WM_CF_VISIBLE, 0, 9);
    EXPECT_EQ(WM_GetWinId(first), 7);
    EXPECT_EQ(WM_FindChildById(panel, 9), deep); // depth first, bottom-most child first
    EXPECT_NE(WM_FindChildById(panel, 9), second);
    EXPECT_EQ(WM_FindChildById(panel, 42), 0);
    EXPECT_EQ(WM_FindChildById(0, 7), 0);
}

TEST_F(WindowTest, EnableChangesAreSentOnceAndOperationsOnZeroDoNothing) {
    const WM_HANDLE win = Create(0, 0, 10, 10, 0, WM_CF_VISIBLE);
    WM_DisableWin(win);
    WM_DisableWin(win);
    WM_EnableWin(win);
    WM_EnableWin(win);
    const auto changes = Messages(win, WM_MSG_ENABLE_CHANGED);
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].value, 0);
    EXPECT_EQ(changes[1].value, 1);

    WM_ShowWin(0);
    WM_HideWin(0);
    WM_InvalidateWin(0);
    WM_TellParent(0, 1);
    EXPECT_EQ(WM_GetWinId(0), 0);
    EXPECT_EQ(WM_GetParentWin(0), 0);
    EXPECT_EQ(WM_GiveFocus(0), 1);
    EXPECT_TRUE(reports.empty());
}

void RefuseFocus(WM_MSG_RECORD* msg) {
    RecordProc(msg);
    if (msg->msg_id == WM_MSG_SET_FOCUS) msg->data.v = 1;
}

TEST_F(WindowTest, FocusAndKeys) {
    const WM_HANDLE page = Create(0, 0, 800, 480, 0, WM_CF_VISIBLE);
    const WM_HANDLE field = Create(10, 10, 100, 20, page, WM_CF_VISIBLE);
    const WM_HANDLE stubborn = Create(10, 40, 100, 20, page, WM_CF_VISIBLE);
    WM_ReplaceCallback(stubborn, RefuseFocus);

    // No focus: the key is dropped.
    GUI_PostKey('a', 1);
    Exec();
    EXPECT_EQ(Count(field, WM_MSG_KEY) + Count(page, WM_MSG_KEY), 0);

    EXPECT_EQ(WM_GiveFocus(field), 0);
    EXPECT_EQ(WM_GiveFocus(field), 1); // already there
    EXPECT_EQ(WM_GiveFocus(stubborn), 1);
    EXPECT_EQ(WM_GetFocusedWindow(), field);
    const auto focus = Messages(field, WM_MSG_SET_FOCUS);
    ASSERT_EQ(focus.size(), 2u);
    EXPECT_EQ(focus[0].value, 1);
    EXPECT_EQ(focus[1].value, 0);

    // The recording procedure passes keys on, so they climb to the page.
    log.clear();
    GUI_PostKey(13, 1);
    GUI_PostKey(13, 0);
    Exec();
    ASSERT_EQ(Count(field, WM_MSG_KEY), 2);
    EXPECT_EQ(Count(page, WM_MSG_KEY), 2);
}

TEST_F(WindowTest, KeysFromTheHostReachTheFocusedWindow) {
    const WM_HANDLE field = Create(10, 10, 100, 20, 0, WM_CF_VISIBLE);
    WM_GiveFocus(field);
    HOST_TextInput("x");
    Exec();
    EXPECT_GE(Count(field, WM_MSG_KEY), 1);
}

WM_HANDLE CreateItem(const WM_DIALOG_ITEM* item, WM_HANDLE parent, int x0, int y0, WM_PROC cb) {
    const WM_HANDLE win =
        WM_CreateWindowAsChild(item->x0 + x0, item->y0 + y0, item->x_size, item->y_size, parent,
                               item->flags, cb ? cb : RecordProc, sizeof(TestData));
    if (void* p = GUI_ALLOC_h2p(win)) {
        static_cast<TestData*>(static_cast<void*>(static_cast<WM_Obj*>(p) + 1))->id = item->id;
        GUI_ALLOC_UnlockH(win);
    }
    return win;
}

WM_HANDLE FailItem(const WM_DIALOG_ITEM*, WM_HANDLE, int, int, WM_PROC) {
    return 0;
}

TEST_F(WindowTest, DialogFromTable) {
    const WM_DIALOG_ITEM items[] = {
        {CreateItem, "Dialog", 0, 100, 50, 300, 200, 0, 0, 0},
        {CreateItem, "A", 11, 10, 10, 50, 20, 0, 0, 0},
        {CreateItem, "B", 12, 10, 40, 50, 20, 0, 0, 0},
    };
    const WM_HANDLE dialog = GUI_CreateDialogFromTable(items, 3, RecordProc, 0, 5, 5);
    ASSERT_NE(dialog, 0);
    EXPECT_TRUE(WM_IsVisible(dialog));
    EXPECT_EQ(WM_GetWindowOrgX(dialog), 105);
    const WM_HANDLE a = WM_FindChildById(dialog, 11);
    const WM_HANDLE b = WM_FindChildById(dialog, 12);
    ASSERT_NE(a, 0);
    ASSERT_NE(b, 0);
    EXPECT_TRUE(WM_IsVisible(b));
    EXPECT_EQ(WM_GetWindowOrgY(b), 50 + 5 + 40);
    EXPECT_EQ(Count(dialog, WM_MSG_INIT_DIALOG), 1);
    EXPECT_EQ(WM_GetFocusedWindow(), a);

    const WM_DIALOG_ITEM broken[] = {
        {CreateItem, "Dialog", 0, 0, 0, 100, 100, 0, 0, 0},
        {FailItem, "X", 1, 0, 0, 10, 10, 0, 0, 0},
    };
    const int blocks = GUI_ALLOC_GetNumUsedBlocks();
    EXPECT_EQ(GUI_CreateDialogFromTable(broken, 2, nullptr, 0, 0, 0), 0);
    EXPECT_EQ(GUI_ALLOC_GetNumUsedBlocks(), blocks);
}

TEST_F(WindowTest, TimersFireOnceWhenDueAndDieWithTheirWindow) {
    const WM_HANDLE field = Create(0, 0, 10, 10, 0, WM_CF_VISIBLE);
    const WM_HTIMER timer = WM_CreateTimer(field, 3, 500);
    ASSERT_NE(timer, 0);
    EXPECT_EQ(WM_GetTimerId(timer), 3);
    now_ms += 499;
    Exec();
    EXPECT_EQ(Count(field, WM_MSG_TIMER), 0);
    now_ms += 1;
    Exec();
    Exec();
    ASSERT_EQ(Count(field, WM_MSG_TIMER), 1);
    EXPECT_EQ(Messages(field, WM_MSG_TIMER)[0].value, timer);
    WM_RestartTimer(timer, 500);
    now_ms += 500;
    Exec();
    EXPECT_EQ(Count(field, WM_MSG_TIMER), 2);

    WM_RestartTimer(timer, 10);
    WM_DeleteWindow(field);
    EXPECT_EQ(WM_GetTimerId(timer), 0);
    now_ms += 100;
    Exec(); // nothing to send to
}

TEST_F(WindowTest, ArenaFullReturnsZeroWithTheReportAndDeletingFreesIt) {
    std::vector<WM_HANDLE> wins;
    for (int i = 0; i < 10000; ++i) {
        const WM_HANDLE w = WM_CreateWindowAsChild(0, 0, 10, 10, 0, 0, nullptr, 40);
        if (w == 0) break;
        wins.push_back(w);
    }
    ASSERT_LT(wins.size(), 10000u);
    EXPECT_GT(wins.size(), 1000u);
    EXPECT_EQ(CountReports("GUI_Alloc:\nNot enough memory available in _Alloc()."), 1);
    EXPECT_EQ(CountReports("WM:\nNo memory to create window in WM_CreateWindowAsChild()"), 1);
    const size_t created = wins.size();
    for (WM_HANDLE w : wins)
        WM_DeleteWindow(w);
    wins.clear();
    for (size_t i = 0; i < created; ++i) {
        const WM_HANDLE w = WM_CreateWindowAsChild(0, 0, 10, 10, 0, 0, nullptr, 40);
        ASSERT_NE(w, 0);
        wins.push_back(w);
    }
    Exec();
}

} // namespace

namespace {

TEST_F(WindowTest, StartUpReportsALackingConfigurationAndGoesOn) {
    config.display = false;
    config.font = false;
    reports.clear();
    GUI_InitToolkit();
    EXPECT_EQ(CountReports("GUI_Core:\nNo display driver has been added in _InitContext()."), 1);
    EXPECT_EQ(CountReports("GUI_Core:\nNo default font has been defined in _InitContext()."), 1);
    // Windows still work; there is only nothing to draw on.
    const WM_HANDLE win = Create(0, 0, 10, 10, 0, WM_CF_VISIBLE);
    Exec();
    EXPECT_EQ(Count(win, WM_MSG_PAINT), 1);

    config = Config{};
    reports.clear();
    GUI_InitToolkit();
    EXPECT_TRUE(reports.empty());
    EXPECT_FALSE(WM_IsWindow(win)); // a new start drops the old windows
    EXPECT_NE(WM_GetRootWin(), 0);
}

} // namespace
