// The on-screen keyboard driven by pointer presses on its keys, as a user would, and by the
// computer's keyboard through the host.
#include "tests/gui/toolkit/widget_test_util.h"

#include "elements/keyboard.h"
#include "gui/host/host.h"
#include "gui/toolkit/gui_font.h"
#include "gui/toolkit/widgets/button.h"
#include "gui/toolkit/widgets/edit.h"

#include <SDL_keycode.h>

#include <string>
#include <vector>

using namespace widgettest;

namespace {

struct Done {
    std::string text;
    WM_HANDLE owner;
};
std::vector<Done> g_done;

void RecordDone(const char* text, WM_HANDLE owner) { g_done.push_back({text, owner}); }

// Centres of keys by their place in the layout.
struct Point {
    int x, y;
};
Point LetterKey(char c) {
    const std::string rows[3] = {"qwertzuiop", "asdfghjkl", "^yxcvbnm"};
    const int x0[3] = {37, 75, 37};
    for (int r = 0; r < 3; ++r) {
        const size_t k = rows[r].find(c);
        if (k != std::string::npos) return {x0[r] + 75 * int(k) + 32, 175 + 75 * r + 32};
    }
    return {-1, -1};
}
constexpr Point kShift = {37 + 32, 325 + 32};
constexpr Point kBackspace = {37 + 600 + 32, 325 + 32};
constexpr Point kClear = {37 + 675 + 32, 325 + 32};
constexpr Point kSpace = {405, 432};
constexpr Point kCancel = {45, 435};
constexpr Point kConfirm = {755, 435};

class KeyboardTest : public WidgetTest {
  protected:
    void SetUp() override {
        WidgetTest::SetUp();
        g_done.clear();
    }
    WM_HANDLE Open(int max_len, const char* initial) {
        const WM_HANDLE dialog = KEYBOARD_Open(parent, RecordDone, max_len, initial);
        Exec();
        return dialog;
    }
    void Press(Point p) {
        Click(p.x, p.y);
        Exec();
    }
    void Type(const std::string& letters) {
        for (char c : letters) Press(LetterKey(c));
    }
    std::string Text() {
        char text[128] = {};
        EDIT_ReadText(WM_FindChildById(KEYBOARD_Handle(), KEYBOARD_ID_EDIT), text, sizeof text);
        return text;
    }
    std::string Label(int id) {
        char text[16] = {};
        BUTTON_ReadText(WM_FindChildById(KEYBOARD_Handle(), id), text, sizeof text);
        return text;
    }
};

TEST_F(KeyboardTest, TheTableHasTheGermanLayoutAndEveryKeyWhereItBelongs) {
    const WM_HANDLE dialog = Open(0, "");
    ASSERT_NE(dialog, 0);
    EXPECT_TRUE(WM_GetFlags(dialog) & WM_CF_ON_TOP);
    EXPECT_EQ(WM_GetFocusedWindow(), WM_FindChildById(dialog, KEYBOARD_ID_EDIT));
    // z sits in the first row after t, y opens the third row after shift.
    const WM_HANDLE z = WM_FindChildById(dialog, KEYBOARD_ID_A + 25);
    EXPECT_EQ(WM_GetWindowOrgX(z), 37 + 75 * 5);
    EXPECT_EQ(WM_GetWindowOrgY(z), 175);
    const WM_HANDLE y = WM_FindChildById(dialog, KEYBOARD_ID_A + 24);
    EXPECT_EQ(WM_GetWindowOrgX(y), 37 + 75);
    EXPECT_EQ(WM_GetWindowOrgY(y), 325);
    EXPECT_EQ(Label(KEYBOARD_ID_0 + 9), "9");
    EXPECT_EQ(Label(KEYBOARD_ID_CLEAR), "CLR");
    // The keys draw their own look: dark blue fill inside the green frame.
    EXPECT_EQ(At(LetterKey('q').x - 20, LetterKey('q').y + 20), Px(0x613600));
    EXPECT_EQ(At(37, 175 + 32), Px(0x1AC39D));
    // The confirm picture: white ring on black, green behind it only while pressed.
    EXPECT_EQ(At(755, 405 + 3), Px(0xFFFFFF));
    EXPECT_EQ(At(755 - 25, 435 - 25), Px(0x000000));
}

TEST_F(KeyboardTest, ShiftTypesUpperCaseAndRelabelsTheLettersUntilPressedAgain) {
    Open(0, "");
    Press(kShift);
    EXPECT_EQ(Label(KEYBOARD_ID_A), "A");
    EXPECT_EQ(Label(KEYBOARD_ID_A + 25), "Z");
    Type("a");
    EXPECT_EQ(Text(), "A");
    // For looking at: the keyboard with shift on.
    HOST_WritePNG(VELTRA_BINARY_DIR "/keyboard_shift.png", HOST_GetShownBuffer());
    Press(kShift);
    EXPECT_EQ(Label(KEYBOARD_ID_A), "a");
    Type("b");
    Press(kSpace);
    Press({37 + 32, 132}); // digit 0
    EXPECT_EQ(Text(), "Ab 0");
    // A new keyboard starts in lower case again.
    Press(kShift);
    Open(0, "");
    EXPECT_EQ(Label(KEYBOARD_ID_A), "a");
}

TEST_F(KeyboardTest, TheSpaceBarShowsThreeOfItsSixUnderscores) {
    Open(0, "");
    // The underscores are the only frame-coloured pixels inside the key's inner area.
    int first = -1, last = -1;
    for (int y = 405; y < 460; ++y)
        for (int x = 215; x < 595; ++x)
            if (At(x, y) != Px(0x613600)) {
                if (first < 0 || x < first) first = x;
                if (x > last) last = x;
            }
    GUI_SelectFont(&FONT_24);
    const int three = GUI_GetTextWidth("___");
    ASSERT_GT(first, 0);
    EXPECT_NEAR(last - first + 1, three, 3);
    EXPECT_NEAR((first + last) / 2, 405, 3); // centred on the key
}

TEST_F(KeyboardTest, ConfirmCallsTheDoneFunctionOnceWithTheTextAndTheOwnerCancelCallsNothing) {
    const WM_HANDLE dialog = Open(30, "abc");
    EXPECT_EQ(Text(), "abc");
    Press(kConfirm);
    ASSERT_EQ(g_done.size(), 1u);
    EXPECT_EQ(g_done[0].text, "abc");
    EXPECT_EQ(g_done[0].owner, parent);
    EXPECT_FALSE(WM_IsWindow(dialog));
    EXPECT_EQ(KEYBOARD_Handle(), 0);

    const WM_HANDLE second = Open(30, "xyz");
    Type("q");
    Press(kCancel);
    EXPECT_EQ(g_done.size(), 1u);
    EXPECT_FALSE(WM_IsWindow(second));
    // What lay beneath is shown again.
    EXPECT_EQ(At(400, 300), Px(0x303030));
}

TEST_F(KeyboardTest, BackspaceClearAndTheLengthLimits) {
    Open(0, "ab");
    Press(kBackspace);
    EXPECT_EQ(Text(), "a");
    Press(kBackspace);
    Press(kBackspace); // on an empty field: nothing
    EXPECT_EQ(Text(), "");
    Type("xy");
    Press(kClear);
    EXPECT_EQ(Text(), "");

    // The 81st character is refused by the keys.
    const std::string eighty(80, 'k');
    Open(0, eighty.c_str());
    Type("m");
    EXPECT_EQ(Text(), eighty);
    Press(kBackspace);
    Type("mn");
    EXPECT_EQ(Text(), std::string(79, 'k') + "m");

    // A maximum length of 5 is the result buffer: four characters.
    Open(5, "");
    Type("qwertz");
    EXPECT_EQ(Text(), "qwer");
    Press(kConfirm);
    ASSERT_EQ(g_done.size(), 1u);
    EXPECT_EQ(g_done[0].text, "qwer");

    // 0, 100 and more mean 100 (taken as a byte: 356 is 100 as well).
    for (int max_len : {0, 100, 250, 356}) {
        const std::string long_text(120, 'a');
        Open(max_len, long_text.c_str());
        EXPECT_EQ(Text().size(), 99u) << max_len;
    }
}

TEST_F(KeyboardTest, TypingOnTheRealKeyboardReachesTheField) {
    Open(0, "");
    Key('H');
    Key('i');
    Type("q"); // the pointer keys give the focus back to the field
    Key('.');
    EXPECT_EQ(Text(), "Hiq.");
}

// A key of the computer's keyboard as the SDL window hands it over: key down, the text it
// types (if any), key up.
void HostKey(SDL_Scancode scancode, SDL_Keycode keycode, const char* text = nullptr) {
    HOST_KeyDown(scancode, keycode, KMOD_NONE);
    if (text != nullptr) HOST_TextInput(text);
    HOST_KeyUp(scancode, keycode, KMOD_NONE);
}

TEST_F(KeyboardTest, EnterConfirmsAndEscapeCancelsLikeTheCheckMarkAndTheArrow) {
    const WM_HANDLE dialog = Open(30, "ab");
    HostKey(SDL_SCANCODE_C, SDLK_c, "c");
    HostKey(SDL_SCANCODE_RETURN, SDLK_RETURN);
    Exec();
    ASSERT_EQ(g_done.size(), 1u);
    EXPECT_EQ(g_done[0].text, "abc");
    EXPECT_EQ(g_done[0].owner, parent);
    EXPECT_FALSE(WM_IsWindow(dialog));
    EXPECT_EQ(KEYBOARD_Handle(), 0);

    const WM_HANDLE second = Open(30, "xyz");
    Type("q");
    HostKey(SDL_SCANCODE_ESCAPE, SDLK_ESCAPE);
    Exec();
    EXPECT_EQ(g_done.size(), 1u);
    EXPECT_FALSE(WM_IsWindow(second));
    EXPECT_EQ(At(400, 300), Px(0x303030)); // what lay beneath is shown again

    // A held Enter repeats its press: the name is taken once, and the keypad's Enter is Enter.
    Open(30, "once");
    HOST_KeyDown(SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, KMOD_NONE);
    HOST_KeyDown(SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, KMOD_NONE);
    HOST_KeyDown(SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, KMOD_NONE);
    HOST_KeyUp(SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, KMOD_NONE);
    Exec();
    ASSERT_EQ(g_done.size(), 2u);
    EXPECT_EQ(g_done[1].text, "once");
    EXPECT_EQ(KEYBOARD_Handle(), 0);
}

} // namespace
