// Pointer, wheel and key input as the window hands it to the toolkit: the translation functions
// and the queue behind HOST_MouseEvent / HOST_MouseWheel / HOST_KeyDown / HOST_TextInput, which
// the SDL window calls.
#include "gui/host/host.h"
#include "gui/host/host_input.h"

#include <SDL_keycode.h>
#include <gtest/gtest.h>

#include <vector>

namespace {

using State = HOST_PointerState;

std::vector<State> TakePointerStates() {
    std::vector<State> states;
    HOST_InputEvent event;
    while (HOST_PollInput(&event)) {
        EXPECT_EQ(event.kind, HOST_INPUT_POINTER);
        states.push_back(event.pointer);
    }
    return states;
}

struct Key {
    int code;
    int pressed;
    bool operator==(const Key&) const = default;
};

std::vector<Key> TakeKeys() {
    std::vector<Key> keys;
    HOST_InputEvent event;
    while (HOST_PollInput(&event)) {
        EXPECT_EQ(event.kind, HOST_INPUT_KEY);
        keys.push_back({event.key, event.pressed});
    }
    return keys;
}

void PressAndRelease(SDL_Scancode scancode, SDL_Keycode keycode, uint16_t modifiers) {
    HOST_KeyDown(scancode, keycode, modifiers);
    HOST_KeyUp(scancode, keycode, modifiers);
}

void TypeText(SDL_Scancode scancode, SDL_Keycode keycode, uint16_t modifiers, const char* text) {
    HOST_KeyDown(scancode, keycode, modifiers);
    HOST_TextInput(text);
    HOST_KeyUp(scancode, keycode, modifiers);
}

std::ostream& operator<<(std::ostream& out, const Key& k) {
    return out << "{" << k.code << "," << k.pressed << "}";
}

} // namespace

std::ostream& operator<<(std::ostream& out, const State& s) {
    return out << "(" << s.x << "," << s.y << "," << int(s.pressed) << ")";
}

TEST(HostPointer, TranslationKeepsOnlyPositionsOnTheDisplay) {
    EXPECT_EQ(HOST_TranslatePointer(0, 0, 0, false, 800, 480), (State{0, 0, 0}));
    EXPECT_EQ(HOST_TranslatePointer(799, 479, 0, false, 800, 480), (State{799, 479, 0}));
    // The first column and row beyond the display are outside it.
    EXPECT_EQ(HOST_TranslatePointer(800, 10, 0, false, 800, 480), (State{-1, -1, 0}));
    EXPECT_EQ(HOST_TranslatePointer(10, 480, 0, false, 800, 480), (State{-1, -1, 0}));
    EXPECT_EQ(HOST_TranslatePointer(-1, 10, HOST_BUTTON_LEFT, false, 800, 480), (State{-1, -1, 1}));
    EXPECT_EQ(HOST_TranslatePointer(70000, 10, 0, false, 800, 480), (State{-1, -1, 0}));
}

TEST(HostPointer, ScaledWindowPositionsMapBackToDisplayPixels) {
    // Scale 1: the display starts at window pixel 1.
    EXPECT_EQ(HOST_WindowToDisplay(0, 1, 1), -1);
    EXPECT_EQ(HOST_WindowToDisplay(1, 1, 1), 0);
    EXPECT_EQ(HOST_WindowToDisplay(800, 1, 1), 799);
    // Scale 3: the display starts at 3; window pixels 3..5 are display pixel 0, and the frame
    // pixels 0..2 stay outside instead of rounding to 0.
    EXPECT_EQ(HOST_WindowToDisplay(0, 1, 3), -1);
    EXPECT_EQ(HOST_WindowToDisplay(2, 1, 3), -1);
    EXPECT_EQ(HOST_WindowToDisplay(3, 1, 3), 0);
    EXPECT_EQ(HOST_WindowToDisplay(5, 1, 3), 0);
    EXPECT_EQ(HOST_WindowToDisplay(6, 1, 3), 1);
    EXPECT_EQ(HOST_WindowToDisplay(3 + 3 * 799 + 2, 1, 3), 799);
    EXPECT_EQ(HOST_WindowToDisplay(3 + 3 * 800, 1, 3), 800); // beyond: the translation drops it
    EXPECT_EQ(HOST_WindowToDisplay(-40, 1, 4), -11);
}

TEST(HostPointer, ScaleOutsideOneToFourIsIgnored) {
    HOST_SetScale(3);
    HOST_SetScale(0);
    HOST_SetScale(HOST_SCALE_MAX + 1);
    EXPECT_EQ(HOST_GetScale(), 3);
    HOST_SetScale(1);
    EXPECT_EQ(HOST_GetScale(), 1);
}

TEST(HostPointer, TranslationBuildsThePressedByte) {
    EXPECT_EQ(HOST_TranslatePointer(5, 5, HOST_BUTTON_RIGHT, false, 800, 480).pressed, 2);
    EXPECT_EQ(HOST_TranslatePointer(5, 5, HOST_BUTTON_MIDDLE, false, 800, 480).pressed, 4);
    EXPECT_EQ(HOST_TranslatePointer(5, 5, HOST_BUTTON_LEFT | HOST_BUTTON_RIGHT | HOST_BUTTON_MIDDLE,
                                    false, 800, 480)
                  .pressed,
              7);
    EXPECT_EQ(HOST_TranslatePointer(5, 5, HOST_BUTTON_LEFT, true, 800, 480).pressed, 128);
}

TEST(HostPointer, PlainMoveGivesThePositionThenNoContact) {
    HOST_MouseEvent(100, 50, 0, false);
    HOST_MouseEvent(101, 50, 0, false);
    const std::vector<State> expected = {{100, 50, 0}, {-1, -1, 0}, {101, 50, 0}, {-1, -1, 0}};
    EXPECT_EQ(TakePointerStates(), expected);
    // The ticks deliver nothing new while the mouse rests.
    HOST_Tick();
    HOST_Tick();
    EXPECT_TRUE(TakePointerStates().empty());
    EXPECT_EQ(HOST_GetPointerState(), (State{-1, -1, 0}));
}

TEST(HostPointer, DragOutsideWithTheButtonHeldKeepsThePressedBit) {
    HOST_MouseEvent(400, 240, HOST_BUTTON_LEFT, false); // press
    HOST_MouseEvent(790, 240, HOST_BUTTON_LEFT, false); // drag to the edge
    HOST_MouseEvent(830, 240, HOST_BUTTON_LEFT, false); // beyond it, mouse captured
    HOST_MouseEvent(900, -20, HOST_BUTTON_LEFT, false); // further out: nothing new
    HOST_MouseEvent(900, -20, 0, false);                // release out there
    const std::vector<State> expected = {{400, 240, 1}, {790, 240, 1}, {-1, -1, 1}, {-1, -1, 0}};
    EXPECT_EQ(TakePointerStates(), expected);
}

TEST(HostPointer, ReleaseInsideGivesTheLastPositionThenNoContact) {
    HOST_MouseEvent(10, 20, HOST_BUTTON_LEFT, false);
    HOST_MouseEvent(12, 22, HOST_BUTTON_LEFT, false);
    HOST_MouseEvent(12, 22, 0, false);
    const std::vector<State> expected = {{10, 20, 1}, {12, 22, 1}, {12, 22, 0}, {-1, -1, 0}};
    EXPECT_EQ(TakePointerStates(), expected);
}

TEST(HostPointer, DoubleClickGives128ThenTheButtonState) {
    HOST_MouseEvent(30, 30, HOST_BUTTON_LEFT, false);
    HOST_MouseEvent(30, 30, 0, false);
    HOST_MouseEvent(30, 30, HOST_BUTTON_LEFT, true);
    HOST_MouseEvent(30, 30, 0, false);
    const std::vector<State> expected = {{30, 30, 1},   {30, 30, 0}, {-1, -1, 0},
                                         {30, 30, 128}, {30, 30, 0}, {-1, -1, 0}};
    EXPECT_EQ(TakePointerStates(), expected);
}

TEST(HostPointer, DeliveryStepsFollowTheStoredState) {
    HOST_PointerDelivery delivery;
    State out[2];
    EXPECT_EQ(HOST_DeliverPointer(&delivery, out), 0); // nothing stored yet
    delivery.stored = {5, 6, 0};
    ASSERT_EQ(HOST_DeliverPointer(&delivery, out), 2);
    EXPECT_EQ(out[0], (State{5, 6, 0}));
    EXPECT_EQ(out[1], (State{-1, -1, 0}));
    EXPECT_EQ(HOST_DeliverPointer(&delivery, out), 0); // unchanged: the tick gives nothing
    // A press at the same place: step 1 gives it, the touch view is the same state.
    delivery.stored = {5, 6, 1};
    ASSERT_EQ(HOST_DeliverPointer(&delivery, out), 2);
    EXPECT_EQ(out[0], (State{5, 6, 1}));
    EXPECT_EQ(out[1], (State{5, 6, 1}));
}

TEST(HostPointer, AFullQueueLosesTheOldestEvents) {
    // Each move queues two states; the newest input must survive.
    for (int i = 0; i < HOST_INPUT_CAPACITY; ++i)
        HOST_MouseEvent(i % 700, 1, 0, false);
    EXPECT_EQ(HOST_GetDroppedInputCount(), HOST_INPUT_CAPACITY);
    const std::vector<State> states = TakePointerStates();
    ASSERT_EQ(states.size(), static_cast<size_t>(HOST_INPUT_CAPACITY));
    EXPECT_EQ(states[states.size() - 2], (State{(HOST_INPUT_CAPACITY - 1) % 700, 1, 0}));
    EXPECT_EQ(states.back(), (State{-1, -1, 0}));
}

TEST(HostKeys, TabShiftTabAndTheModifierKeys) {
    PressAndRelease(SDL_SCANCODE_TAB, SDLK_TAB, KMOD_NONE);
    PressAndRelease(SDL_SCANCODE_TAB, SDLK_TAB, KMOD_LSHIFT);
    PressAndRelease(SDL_SCANCODE_TAB, SDLK_TAB, KMOD_RSHIFT);
    PressAndRelease(SDL_SCANCODE_LCTRL, SDLK_LCTRL, KMOD_LCTRL);
    PressAndRelease(SDL_SCANCODE_RCTRL, SDLK_RCTRL, KMOD_RCTRL);
    PressAndRelease(SDL_SCANCODE_LALT, SDLK_LALT, KMOD_LALT);
    PressAndRelease(SDL_SCANCODE_RALT, SDLK_RALT, KMOD_RALT);
    const std::vector<Key> expected = {{9, 1}, {9, 0}, {10, 1}, {10, 0}, {10, 1}, {10, 0}};
    EXPECT_EQ(TakeKeys(), expected);
}

// Ctrl+S reaches no window: it is counted for the Graph tab's save, once per press. A plain
// "s" and Ctrl with another letter stay as they were.
TEST(HostKeys, CtrlSIsTheSaveKeyAndNothingElse) {
    EXPECT_FALSE(HOST_TakeSaveKey());
    HOST_KeyDown(SDL_SCANCODE_LCTRL, SDLK_LCTRL, KMOD_LCTRL);
    PressAndRelease(SDL_SCANCODE_S, SDLK_s, KMOD_LCTRL);
    PressAndRelease(SDL_SCANCODE_S, SDLK_s, KMOD_RCTRL | KMOD_SHIFT);
    PressAndRelease(SDL_SCANCODE_A, SDLK_a, KMOD_LCTRL);
    HOST_KeyUp(SDL_SCANCODE_LCTRL, SDLK_LCTRL, KMOD_NONE);
    TypeText(SDL_SCANCODE_S, SDLK_s, KMOD_NONE, "s");
    EXPECT_EQ(TakeKeys(), (std::vector<Key>{{'s', 1}, {'s', 0}}));
    EXPECT_TRUE(HOST_TakeSaveKey());
    EXPECT_TRUE(HOST_TakeSaveKey());
    EXPECT_FALSE(HOST_TakeSaveKey());
}

TEST(HostKeys, ShiftHeldOverTabGivesShiftThenTen) {
    HOST_KeyDown(SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, KMOD_NONE);
    HOST_KeyDown(SDL_SCANCODE_TAB, SDLK_TAB, KMOD_LSHIFT);
    // Shift released first: the Tab release still pairs with its press.
    HOST_KeyUp(SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, KMOD_NONE);
    HOST_KeyUp(SDL_SCANCODE_TAB, SDLK_TAB, KMOD_NONE);
    const std::vector<Key> expected = {{25, 1}, {10, 1}, {25, 0}, {10, 0}};
    EXPECT_EQ(TakeKeys(), expected);
}

TEST(HostKeys, SpecialKeyTable) {
    const struct {
        SDL_Scancode scancode;
        SDL_Keycode keycode;
        int code;
    } table[] = {
        {SDL_SCANCODE_LEFT, SDLK_LEFT, 16},     {SDL_SCANCODE_UP, SDLK_UP, 17},
        {SDL_SCANCODE_RIGHT, SDLK_RIGHT, 18},   {SDL_SCANCODE_DOWN, SDLK_DOWN, 19},
        {SDL_SCANCODE_HOME, SDLK_HOME, 23},     {SDL_SCANCODE_END, SDLK_END, 24},
        {SDL_SCANCODE_RSHIFT, SDLK_RSHIFT, 25}, {SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE, 8},
        {SDL_SCANCODE_INSERT, SDLK_INSERT, 29}, {SDL_SCANCODE_DELETE, SDLK_DELETE, 30},
        {SDL_SCANCODE_RETURN, SDLK_RETURN, 13}, {SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, 13},
        {SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, 27},
    };
    for (const auto& key : table) {
        PressAndRelease(key.scancode, key.keycode, KMOD_NONE);
        const std::vector<Key> expected = {{key.code, 1}, {key.code, 0}};
        EXPECT_EQ(TakeKeys(), expected) << "key code " << key.code;
    }
}

TEST(HostKeys, TextKeysGiveTheirLatin1Character) {
    TypeText(SDL_SCANCODE_A, SDLK_a, KMOD_NONE, "a");
    TypeText(SDL_SCANCODE_A, SDLK_a, KMOD_LSHIFT, "A");
    TypeText(SDL_SCANCODE_APOSTROPHE, SDLK_QUOTE, KMOD_NONE, "\xC3\xA4"); // a-umlaut, German layout
    TypeText(SDL_SCANCODE_GRAVE, SDLK_BACKQUOTE, KMOD_LSHIFT, "\xC2\xB0"); // degree sign
    TypeText(SDL_SCANCODE_SPACE, SDLK_SPACE, KMOD_NONE, " ");
    const std::vector<Key> expected = {{'a', 1},  {'a', 0},  {'A', 1},  {'A', 0}, {0xE4, 1},
                                       {0xE4, 0}, {0xB0, 1}, {0xB0, 0}, {' ', 1}, {' ', 0}};
    EXPECT_EQ(TakeKeys(), expected);
}

TEST(HostKeys, KeysWithoutACharacterOrCodeGiveNothing) {
    TypeText(SDL_SCANCODE_E, SDLK_e, KMOD_NONE, "\xE2\x82\xAC"); // euro sign: beyond Latin-1
    TypeText(SDL_SCANCODE_A, SDLK_a, KMOD_NONE, "ab");           // more than one character
    TypeText(SDL_SCANCODE_A, SDLK_a, KMOD_NONE, "\xC3");         // broken UTF-8
    PressAndRelease(SDL_SCANCODE_C, SDLK_c, KMOD_LCTRL);         // Ctrl+C: no text follows
    PressAndRelease(SDL_SCANCODE_F1, SDLK_F1, KMOD_NONE);
    PressAndRelease(SDL_SCANCODE_PAGEUP, SDLK_PAGEUP, KMOD_NONE);
    EXPECT_TRUE(TakeKeys().empty());
}

TEST(HostKeys, RepeatedPressesAndTextWithoutAKey) {
    // Auto-repeat: every key down with its text is a press; one release at the end.
    HOST_KeyDown(SDL_SCANCODE_X, SDLK_x, KMOD_NONE);
    HOST_TextInput("x");
    HOST_KeyDown(SDL_SCANCODE_X, SDLK_x, KMOD_NONE);
    HOST_TextInput("x");
    HOST_KeyUp(SDL_SCANCODE_X, SDLK_x, KMOD_NONE);
    // Text from an input method has no key: press and release at once.
    HOST_TextInput("\xC3\xA9");
    const std::vector<Key> expected = {{'x', 1}, {'x', 1}, {'x', 0}, {0xE9, 1}, {0xE9, 0}};
    EXPECT_EQ(TakeKeys(), expected);
}

TEST(HostKeys, OutOfRangeScancodesAreSafe) {
    HOST_KeyTranslator keys;
    EXPECT_EQ(HOST_TranslateKeyDown(&keys, -5, SDLK_a, KMOD_NONE), 0);
    bool release_now = false;
    EXPECT_EQ(HOST_TranslateText(&keys, "a", &release_now), 'a');
    EXPECT_TRUE(release_now);
    EXPECT_EQ(HOST_TranslateKeyDown(&keys, 100000, SDLK_TAB, KMOD_NONE), 9);
    EXPECT_EQ(HOST_TranslateKeyUp(&keys, 100000, SDLK_TAB, KMOD_NONE), 9);
    EXPECT_EQ(HOST_TranslateText(&keys, nullptr, &release_now), 0);
}

TEST(HostWheel, TurnsCarryThePointerAndAddUpAtOnePlaceUntilTheToolkitTakesThem) {
    struct Turn {
        int x, y, dx, dy;
        bool operator==(const Turn&) const = default;
    };
    auto take = [] {
        std::vector<Turn> turns;
        HOST_InputEvent event;
        while (HOST_PollInput(&event))
            if (event.kind == HOST_INPUT_WHEEL)
                turns.push_back({event.pointer.x, event.pointer.y, event.wheel_x, event.wheel_y});
        return turns;
    };
    HOST_MouseWheel(100, 50, 0, 1);
    HOST_MouseWheel(100, 50, 0, 2); // a fast spin: one entry
    HOST_MouseEvent(101, 50, 0, false);
    HOST_MouseWheel(101, 50, 1, -1); // after a move: an entry of its own
    HOST_MouseWheel(800, 10, 0, 1);  // beyond the display: nothing to turn
    HOST_MouseWheel(5, -1, 0, 1);
    HOST_MouseWheel(5, 5, 0, 0); // no notches
    EXPECT_EQ(take(), (std::vector<Turn>{{100, 50, 0, 3}, {101, 50, 1, -1}}));
    // Taken turns are not added to; however many pile up, they stay within the limit.
    HOST_MouseWheel(5, 5, 0, 1);
    EXPECT_EQ(take(), (std::vector<Turn>{{5, 5, 0, 1}}));
    HOST_MouseWheel(5, 5, 0, 1);
    HOST_MouseWheel(5, 5, -1000, 1000);
    HOST_MouseWheel(5, 5, 0, 50);
    EXPECT_EQ(take(), (std::vector<Turn>{{5, 5, -HOST_WHEEL_MAX, HOST_WHEEL_MAX}}));
}
