// Edit fields: text length limits, key editing in both modes, the key filter, the cursor blink
// on the toolkit's clock, alignment.
#include "tests/gui/toolkit/widget_test_util.h"

#include "gui/host/host.h"
#include "gui/toolkit/widgets/edit.h"

#include <string>

using namespace widgettest;

namespace {

class EditTest : public WidgetTest {
  protected:
    void SetUp() override {
        WidgetTest::SetUp();
        edit = EDIT_Make(20, 185, 320, 50, parent, WM_CF_VISIBLE, 0, 3649, 16);
        WM_GiveFocus(edit);
        Exec();
        ClearLog();
    }
    std::string Text(int size = 200) const {
        std::string s(size_t(size), '\0');
        const int n = EDIT_ReadText(edit, s.data(), size);
        s.resize(size_t(n));
        return s;
    }
    void Type(const char* s) {
        for (; *s; ++s)
            Key(uint8_t(*s));
    }
    WM_HANDLE edit = 0;
};

TEST_F(EditTest, PutTextCutsToTheMaximumLengthAndReadTextToTheBuffer) {
    EDIT_PutText(edit, "12345678901234567890");
    EXPECT_EQ(Text(), "1234567890123456");
    EXPECT_EQ(EDIT_GetCursor(edit), 16);
    EDIT_PutMaxLen(edit, 120);
    const std::string long_text(120, 'a');
    EDIT_PutText(edit, long_text.c_str());
    char buffer[101];
    EXPECT_EQ(EDIT_ReadText(edit, buffer, sizeof buffer), 100);
    EXPECT_EQ(std::string(buffer), std::string(100, 'a'));
    EDIT_PutText(edit, nullptr);
    EXPECT_EQ(Text(), "");
    EXPECT_EQ(EDIT_ReadText(edit, buffer, 0), 0);
}

TEST_F(EditTest, AShorterMaximumLengthCutsThePresentText) {
    EDIT_PutText(edit, "192.168.1.160");
    EDIT_PutMaxLen(edit, 7);
    EXPECT_EQ(Text(), "192.168");
    EXPECT_EQ(EDIT_GetCursor(edit), 7);
    Type("9");
    EXPECT_EQ(Text(), "192.168"); // full
}

TEST_F(EditTest, KeysEditInInsertMode) {
    Type("abcd");
    EXPECT_EQ(Text(), "abcd");
    Key(EDIT_KEY_LEFT);
    Key(EDIT_KEY_LEFT);
    Type("X");
    EXPECT_EQ(Text(), "abXcd");
    Key(EDIT_KEY_BACKSPACE);
    EXPECT_EQ(Text(), "abcd");
    Key(EDIT_KEY_DELETE);
    EXPECT_EQ(Text(), "abd");
    Key(EDIT_KEY_UP);
    EXPECT_EQ(Text(), "abe");
    Key(EDIT_KEY_DOWN);
    Key(EDIT_KEY_DOWN);
    EXPECT_EQ(Text(), "abc");
    for (int i = 0; i < 5; ++i)
        Key(EDIT_KEY_LEFT);
    EXPECT_EQ(EDIT_GetCursor(edit), 0);
    Key(EDIT_KEY_BACKSPACE); // nothing left of the cursor
    EXPECT_EQ(Text(), "abc");
    for (int i = 0; i < 5; ++i)
        Key(EDIT_KEY_RIGHT);
    EXPECT_EQ(EDIT_GetCursor(edit), 3);
    Key(EDIT_KEY_DELETE); // nothing under the cursor
    EXPECT_EQ(Text(), "abc");
    Type("defghijklmnopqrstuvw");
    EXPECT_EQ(Text(), "abcdefghijklmnop");
}

TEST_F(EditTest, OverwriteModeReplacesAndKeepsTheCursorOnTheLastCharacterWhenFull) {
    EDIT_PutText(edit, "0123456789abcdef");
    Key(EDIT_KEY_INSERT);
    EXPECT_EQ(EDIT_GetOverwrite(edit), 1);
    EXPECT_EQ(EDIT_GetCursor(edit), 15);
    Type("Z");
    EXPECT_EQ(Text(), "0123456789abcdeZ");
    EXPECT_EQ(EDIT_GetCursor(edit), 15);
    EDIT_PutText(edit, "abc");
    Key(EDIT_KEY_LEFT);
    Key(EDIT_KEY_LEFT);
    Type("XY");
    EXPECT_EQ(Text(), "aXY");
    Key(EDIT_KEY_INSERT);
    Type("Q");
    EXPECT_EQ(Text(), "aXYQ");
}

TEST_F(EditTest, NavigationKeysAndEnterGoToTheParentAndReleasesAreIgnored) {
    for (int key : {9, 10, 13, 27, 33, 34})
        Key(key);
    const auto keys = Messages(parent, WM_MSG_KEY);
    ASSERT_EQ(keys.size(), 6u); // the presses only
    EXPECT_EQ(Text(), "");
}

TEST_F(EditTest, TheKeyFilterReplacesTheFieldsOwnEditing) {
    static std::vector<int> seen;
    seen.clear();
    EDIT_PutKeyFilter(edit, [](WM_HANDLE win, int key) {
        seen.push_back(key);
        if (key >= '0' && key <= '9') {
            char buffer[20];
            const int n = EDIT_ReadText(win, buffer, sizeof buffer);
            if (n < 15) {
                buffer[n] = char(key);
                buffer[n + 1] = '.';
                buffer[n + 2] = '\0';
            }
            EDIT_PutText(win, buffer);
        }
    });
    Type("1a2");
    Key(EDIT_KEY_BACKSPACE);
    Key(13); // still to the parent, not to the filter
    EXPECT_EQ(Text(), "1.2.");
    EXPECT_EQ(seen, (std::vector<int>{'1', 'a', '2', 8}));
    EDIT_PutKeyFilter(edit, nullptr);
    Type("x");
    EXPECT_EQ(Text(), "1.2.x");
}

// The cursor's column in the shown frame: the pixels of the text colour in the field that
// were not there without a cursor.
int CursorPixels(const EditTest*, WM_HANDLE, int x0, int x1, int y0, int y1) {
    const uint32_t* p = HOST_GetFrameBuffer(HOST_GetShownBuffer());
    int n = 0;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            n += p[y * HOST_XSIZE + x] == 0x000000u;
    return n;
}

TEST_F(EditTest, TheCursorBlinksEveryPeriodOnTheToolkitClockOnlyWhileFocused) {
    // Empty field, left aligned: the cursor is the only dark thing in it.
    const int on = CursorPixels(this, edit, 25, 330, 190, 230);
    EXPECT_GT(on, 0);
    EDIT_Blink(edit, 500, 1);
    Exec();
    now_ms += 499;
    Exec();
    EXPECT_EQ(CursorPixels(this, edit, 25, 330, 190, 230), on);
    now_ms += 1;
    Exec();
    EXPECT_EQ(CursorPixels(this, edit, 25, 330, 190, 230), 0);
    now_ms += 500;
    Exec();
    EXPECT_EQ(CursorPixels(this, edit, 25, 330, 190, 230), on);
    EDIT_Blink(edit, 500, 0);
    now_ms += 500;
    Exec();
    EXPECT_EQ(CursorPixels(this, edit, 25, 330, 190, 230), on);
    const WM_HANDLE other = EDIT_Make(20, 300, 100, 30, parent, WM_CF_VISIBLE, 0, 2, 5);
    WM_GiveFocus(other);
    Exec();
    EXPECT_EQ(CursorPixels(this, edit, 25, 330, 190, 230), 0);
}

TEST_F(EditTest, AlignmentPlacesTheTextInTheField) {
    EDIT_PutFont(edit, &FONT_24B);
    EDIT_PutText(edit, "WWW");
    WM_GiveFocus(parent); // no cursor
    auto extent = [&](int* left, int* right) {
        *left = 800;
        *right = -1;
        for (int y = 190; y < 230; ++y)
            for (int x = 25; x < 335; ++x)
                if (At(x, y) == 0) {
                    *left = std::min(*left, x);
                    *right = std::max(*right, x);
                }
    };
    int l, r;
    EDIT_PutAlign(edit, GUI_ALIGN_LEFT | GUI_ALIGN_VCENTER);
    Exec();
    extent(&l, &r);
    EXPECT_LT(l, 40);
    EDIT_PutAlign(edit, GUI_ALIGN_HCENTER | GUI_ALIGN_VCENTER);
    Exec();
    extent(&l, &r);
    EXPECT_NEAR((l + r) / 2, 180, 3);
    EDIT_PutAlign(edit, GUI_ALIGN_RIGHT | GUI_ALIGN_VCENTER);
    Exec();
    extent(&l, &r);
    EXPECT_GT(r, 320);
}

TEST_F(EditTest, APressPutsTheCursorAtTheCharacterAndTakesTheFocus) {
    EDIT_PutFont(edit, &FONT_8X16); // 8 pixels per character
    EDIT_PutText(edit, "abcdefgh");
    WM_GiveFocus(parent);
    // The text starts 7 pixels in: frame 2 (3D), line 1, padding 4.
    Click(20 + 7 + 3 * 8 + 1, 200);
    EXPECT_EQ(WM_GetFocusedWindow(), edit);
    EXPECT_EQ(EDIT_GetCursor(edit), 3);
}

} // namespace
