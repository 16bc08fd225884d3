// A parent that deletes a widget from inside one of its notifications: for every widget type
// and every code it sends, the widget must touch nothing of itself afterwards. Under
// AddressSanitizer the freed block is unusable, so any read or write stops the test; without
// it a block filled with a pattern takes the freed place and must come out unchanged.
#include "tests/gui/toolkit/widget_test_util.h"

#include "gui/toolkit/core/gui_alloc.h"
#include "gui/toolkit/gui_font.h"
#include "gui/toolkit/widgets/button.h"
#include "gui/toolkit/widgets/dropdown.h"
#include "gui/toolkit/widgets/edit.h"
#include "gui/toolkit/widgets/listbox.h"
#include "gui/toolkit/widgets/multipage.h"
#include "gui/toolkit/widgets/scrollbar.h"

#include <cstring>
#include <functional>
#include <string>

using namespace widgettest;

namespace {

constexpr uint8_t kPattern = 0x5A;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kFillFreedBlock = false; // the freed block stays poisoned instead
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kFillFreedBlock = false;
#else
constexpr bool kFillFreedBlock = true;
#endif
#else
constexpr bool kFillFreedBlock = true;
#endif

// What the deleting parent looks for, and what it did.
struct Trap {
    WM_HANDLE victim = 0;
    int code = 0;
    bool sprung = false;
    GUI_HMEM filler = 0; // takes the freed memory
    int32_t filler_size = 0;
};
Trap g_trap;

void DeletingParent(WM_MSG_RECORD* msg) {
    if (msg->msg_id == WM_MSG_NOTIFY_PARENT && !g_trap.sprung && msg->source == g_trap.victim &&
        msg->data.v == g_trap.code) {
        g_trap.sprung = true;
        const int32_t size = GUI_ALLOC_GetSize(msg->source);
        WM_DeleteWindow(msg->source);
        if (!kFillFreedBlock) return;
        g_trap.filler = GUI_ALLOC_AllocZero(size);
        g_trap.filler_size = size;
        if (void* p = GUI_ALLOC_h2p(g_trap.filler)) {
            std::memset(p, kPattern, size_t(size));
            GUI_ALLOC_UnlockH(g_trap.filler);
        }
        return;
    }
    wmtest::RecordProc(msg);
}

class DeleteInNotification : public WidgetTest {
  protected:
    void SetUp() override {
        WidgetTest::SetUp();
        g_trap = Trap{};
        blocks_before_ = GUI_ALLOC_GetNumUsedBlocks();
        holder = WM_CreateWindowAsChild(0, 0, 800, 480, parent, WM_CF_VISIBLE, DeletingParent, 0);
        // Something else that takes the focus.
        other = EDIT_Make(600, 20, 100, 30, holder, WM_CF_VISIBLE, 0, 9, 10);
    }

    // Arms the trap for the widget and code, runs the user's action and checks the outcome.
    void Expect(WM_HANDLE victim, int code, const std::string& what,
                const std::function<void()>& act) {
        SCOPED_TRACE(what);
        ASSERT_NE(victim, 0);
        Exec();
        reports.clear();
        g_trap.victim = victim;
        g_trap.code = code;
        act();
        Exec();
        Exec();
        EXPECT_TRUE(g_trap.sprung) << "code " << code << " never came";
        EXPECT_FALSE(WM_IsWindow(victim));
        for (const auto& r : reports)
            ADD_FAILURE() << "report: " << r.text;
        if (g_trap.filler != 0) {
            const auto* p = static_cast<const uint8_t*>(GUI_ALLOC_h2p(g_trap.filler));
            ASSERT_NE(p, nullptr);
            int changed = 0;
            for (int32_t i = 0; i < g_trap.filler_size; ++i)
                changed += p[i] != kPattern;
            GUI_ALLOC_UnlockH(g_trap.filler);
            EXPECT_EQ(changed, 0) << "the deleted widget wrote into freed memory";
            GUI_ALLOC_Free(g_trap.filler);
        }
        g_trap = Trap{};
    }

    void TearDown() override {
        // Nothing of the deleted widgets stays behind (an open list is deleted too).
        WM_DeleteWindow(holder);
        Exec();
        EXPECT_EQ(GUI_ALLOC_GetNumUsedBlocks(), blocks_before_);
        WidgetTest::TearDown();
    }

    void Drag(int x0, int y0, int x1, int y1) {
        Pointer(x0, y0, 1);
        Pointer(x1, y1, 1);
        Pointer(x1, y1, 0);
    }
    void Focus(WM_HANDLE win) { WM_GiveFocus(win); }

    WM_HANDLE holder = 0;
    WM_HANDLE other = 0;

  private:
    int blocks_before_ = 0;
};

WM_HANDLE MakeButton(WM_HANDLE parent) {
    const WM_HANDLE b = BUTTON_Make(100, 100, 120, 50, parent, WM_CF_VISIBLE, 0, 1);
    BUTTON_PutText(b, "Go");
    return b;
}

TEST_F(DeleteInNotification, Button) {
    for (int code : {WM_NOTIFICATION_CLICKED, WM_NOTIFICATION_RELEASED}) {
        Expect(MakeButton(holder), code, "pointer", [&] { Click(110, 110); });
        const WM_HANDLE b = MakeButton(holder);
        Focus(b);
        Expect(b, code, "Enter", [&] { Key(13); });
        const WM_HANDLE c = MakeButton(holder);
        Focus(c);
        Expect(c, code, "Space", [&] { Key(32); });
    }
    Expect(MakeButton(holder), WM_NOTIFICATION_POINTER_LEFT, "dragged off",
           [&] { Drag(110, 110, 500, 400); });
    const WM_HANDLE b = MakeButton(holder);
    Expect(b, WM_NOTIFICATION_FOCUS_GAINED, "focus gained", [&] { Focus(b); });
    EXPECT_EQ(WM_GetFocusedWindow(), 0);
    const WM_HANDLE c = MakeButton(holder);
    Focus(c);
    Expect(c, WM_NOTIFICATION_FOCUS_LOST, "focus lost", [&] { Focus(other); });
    EXPECT_EQ(WM_GetFocusedWindow(), other);
}

WM_HANDLE MakeList(WM_HANDLE parent) {
    const WM_HANDLE l = LISTBOX_Make(100, 100, 200, 100, parent, WM_CF_VISIBLE, 0, 2, nullptr);
    LISTBOX_AutoScrollV(l, 1);
    for (int i = 0; i < 20; ++i)
        LISTBOX_Append(l, ("line " + std::to_string(i)).c_str());
    return l;
}

TEST_F(DeleteInNotification, ListBox) {
    Expect(MakeList(holder), WM_NOTIFICATION_CHANGED, "pointer", [&] { Click(120, 110); });
    Expect(MakeList(holder), WM_NOTIFICATION_RELEASED, "release", [&] { Click(120, 110); });
    const WM_HANDLE l = MakeList(holder);
    Focus(l);
    Expect(l, WM_NOTIFICATION_CHANGED, "key", [&] { Key(19); });
    const WM_HANDLE m = MakeList(holder);
    Expect(m, WM_NOTIFICATION_FOCUS_GAINED, "focus gained", [&] { Focus(m); });
    const WM_HANDLE n = MakeList(holder);
    Focus(n);
    Expect(n, WM_NOTIFICATION_FOCUS_LOST, "focus lost", [&] { Focus(other); });
    const WM_HANDLE o = MakeList(holder);
    Expect(o, WM_NOTIFICATION_CHANGED, "program", [&] { LISTBOX_Select(o, 3); });
}

WM_HANDLE MakeDrop(WM_HANDLE parent) {
    const WM_HANDLE d = DROPDOWN_Make(100, 100, 200, 80, parent, WM_CF_VISIBLE, 1, 3);
    for (const char* item : {"one", "two", "three", "four"})
        DROPDOWN_Append(d, item);
    return d;
}

TEST_F(DeleteInNotification, DropDown) {
    const WM_HANDLE a = MakeDrop(holder);
    Expect(a, WM_NOTIFICATION_CHANGED, "program", [&] { DROPDOWN_Select(a, 2); });

    // Chosen with the keys in the open list.
    const WM_HANDLE b = MakeDrop(holder);
    Focus(b);
    Expect(b, WM_NOTIFICATION_CHANGED, "keys", [&] {
        Key(13); // opens
        Key(19);
        Key(13); // chooses
    });

    // Chosen with the pointer in the open list.
    const WM_HANDLE c = MakeDrop(holder);
    Expect(c, WM_NOTIFICATION_CHANGED, "pointer", [&] {
        Click(110, 105); // opens
        const WM_HANDLE list = DROPDOWN_GetListbox(c);
        ASSERT_NE(list, 0);
        const int row = FONT_13.line_distance + 4;
        Click(WM_GetWindowOrgX(list) + 10, WM_GetWindowOrgY(list) + row + row / 2);
    });

    const WM_HANDLE d = MakeDrop(holder);
    Expect(d, WM_NOTIFICATION_FOCUS_GAINED, "focus gained", [&] { Focus(d); });
    // Opening hands the focus to the list: the field loses it while its list is being built.
    const WM_HANDLE e = MakeDrop(holder);
    Focus(e);
    Expect(e, WM_NOTIFICATION_FOCUS_LOST, "focus lost on opening", [&] { Key(13); });
    const WM_HANDLE f = MakeDrop(holder);
    Focus(f);
    Expect(f, WM_NOTIFICATION_FOCUS_LOST, "focus lost", [&] { Focus(other); });
}

TEST_F(DeleteInNotification, ScrollBarAndMultipage) {
    auto bar = [&] {
        const WM_HANDLE s =
            SCROLLBAR_Create(100, 100, 25, 200, holder, WM_CF_VISIBLE, SCROLLBAR_CF_VERTICAL, 4);
        SCROLLBAR_PutNumItems(s, 50);
        SCROLLBAR_PutPageSize(s, 5);
        return s;
    };
    Expect(bar(), WM_NOTIFICATION_VALUE_MODIFIED, "arrow", [&] { Click(110, 295); });
    Expect(bar(), WM_NOTIFICATION_VALUE_MODIFIED, "page", [&] { Click(110, 250); });
    Expect(bar(), WM_NOTIFICATION_VALUE_MODIFIED, "drag", [&] { Drag(112, 135, 112, 200); });

    auto pages = [&] {
        const WM_HANDLE mp = MULTIPAGE_Create(100, 100, 400, 200, holder, WM_CF_VISIBLE, 0, 5);
        for (const char* title : {"A", "B"}) {
            const WM_HANDLE page =
                WM_CreateWindowAsChild(0, 0, 400, 150, holder, WM_CF_VISIBLE, nullptr, 0);
            MULTIPAGE_InsertPage(mp, page, title);
        }
        return mp;
    };
    const WM_HANDLE mp = pages();
    Expect(mp, WM_NOTIFICATION_CHANGED, "program", [&] { MULTIPAGE_ShowPage(mp, 0); });
    Expect(pages(), WM_NOTIFICATION_CHANGED, "tab", [&] { Click(104, 104); });
}

TEST_F(DeleteInNotification, Edit) {
    auto edit = [&] { return EDIT_Make(100, 100, 200, 30, holder, WM_CF_VISIBLE, 0, 6, 16); };
    Expect(edit(), WM_NOTIFICATION_FOCUS_GAINED, "pointer", [&] { Click(150, 110); });
    const WM_HANDLE e = edit();
    Expect(e, WM_NOTIFICATION_FOCUS_GAINED, "focus gained", [&] { Focus(e); });
    const WM_HANDLE f = edit();
    Focus(f);
    Expect(f, WM_NOTIFICATION_FOCUS_LOST, "focus lost", [&] { Click(650, 30); });
    EXPECT_EQ(WM_GetFocusedWindow(), other);
}

} // namespace
