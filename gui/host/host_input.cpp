#include "gui/host/host_input.h"

#include <SDL_keycode.h>

namespace {

constexpr int kKeyTab = 9;
constexpr int kKeyShiftTab = 10;

struct SpecialKey {
    int32_t keycode;
    int code;
};

// Keys that never come through text input. Enter and Escape give the characters a keyboard
// translation gives them (13 and 27).
constexpr SpecialKey kSpecialKeys[] = {
    {SDLK_LEFT, 16},     {SDLK_UP, 17},       {SDLK_RIGHT, 18},  {SDLK_DOWN, 19},
    {SDLK_HOME, 23},     {SDLK_END, 24},      {SDLK_LSHIFT, 25}, {SDLK_RSHIFT, 25},
    {SDLK_BACKSPACE, 8}, {SDLK_INSERT, 29},   {SDLK_DELETE, 30}, {SDLK_TAB, kKeyTab},
    {SDLK_RETURN, 13},   {SDLK_KP_ENTER, 13}, {SDLK_ESCAPE, 27},
};

bool IsIgnoredKey(int32_t keycode) {
    return keycode == SDLK_LCTRL || keycode == SDLK_RCTRL || keycode == SDLK_LALT ||
           keycode == SDLK_RALT;
}

// The table code of a key (0 when it is not in the table).
int SpecialCode(int32_t keycode, uint16_t modifiers) {
    for (const SpecialKey& key : kSpecialKeys) {
        if (key.keycode != keycode) continue;
        if (key.code == kKeyTab && (modifiers & KMOD_SHIFT) != 0) return kKeyShiftTab;
        return key.code;
    }
    return 0;
}

bool ValidScancode(int scancode) {
    return scancode >= 0 && scancode < HOST_SCANCODE_COUNT;
}

// Decodes UTF-8 text that holds exactly one character up to U+00FF; -1 for anything else
// (several characters, a character beyond Latin-1, broken encoding).
int SingleLatin1(const char* utf8) {
    const auto* s = reinterpret_cast<const unsigned char*>(utf8);
    if (s[0] == 0) return -1;
    if (s[0] < 0x80) return s[1] == 0 ? s[0] : -1;
    // Two-byte sequences 0xC2 0x80 .. 0xC3 0xBF cover U+0080 .. U+00FF.
    if ((s[0] == 0xC2 || s[0] == 0xC3) && (s[1] & 0xC0) == 0x80 && s[2] == 0)
        return ((s[0] & 0x1F) << 6) | (s[1] & 0x3F);
    return -1;
}

} // namespace

int HOST_WindowToDisplay(int window_coordinate, int origin, int scale) {
    if (scale < 1) scale = 1;
    const int offset = window_coordinate - origin * scale;
    // Integer division truncates toward zero; -1 .. -(scale-1) must stay outside.
    return offset >= 0 ? offset / scale : -((-offset + scale - 1) / scale);
}

HOST_PointerState HOST_TranslatePointer(int client_x, int client_y, unsigned buttons,
                                        bool double_click, int xsize, int ysize) {
    HOST_PointerState state{client_x, client_y, 0};
    // The display has the pixels 0 .. size-1; anything else is outside it.
    if (client_x < 0 || client_y < 0 || client_x >= xsize || client_y >= ysize) {
        state.x = -1;
        state.y = -1;
    }
    if (double_click) {
        state.pressed = 128;
    } else {
        if (buttons & HOST_BUTTON_LEFT) state.pressed |= 1;
        if (buttons & HOST_BUTTON_RIGHT) state.pressed |= 2;
        if (buttons & HOST_BUTTON_MIDDLE) state.pressed |= 4;
    }
    return state;
}

int HOST_DeliverPointer(HOST_PointerDelivery* delivery, HOST_PointerState out[2]) {
    if (delivery->stored == delivery->delivered) return 0;
    const HOST_PointerState state = delivery->stored;
    delivery->delivered = state;
    int count = 0;
    if (!(state == delivery->step1)) {
        delivery->step1 = state;
        out[count++] = state;
    }
    // A touch screen has no position without contact.
    HOST_PointerState touch = state;
    if (touch.pressed == 0) {
        touch.x = -1;
        touch.y = -1;
    }
    out[count++] = touch;
    return count;
}

int HOST_TranslateKeyDown(HOST_KeyTranslator* keys, int scancode, int32_t keycode,
                          uint16_t modifiers) {
    if (IsIgnoredKey(keycode)) return 0;
    const int code = SpecialCode(keycode, modifiers);
    if (code != 0) {
        if (ValidScancode(scancode)) keys->down_code[scancode] = static_cast<uint16_t>(code);
        keys->pending_scancode = -1;
        return code;
    }
    // The character comes with the text input right after this key down.
    keys->pending_scancode = ValidScancode(scancode) ? scancode : -1;
    return 0;
}

int HOST_TranslateKeyUp(HOST_KeyTranslator* keys, int scancode, int32_t keycode,
                        uint16_t modifiers) {
    if (IsIgnoredKey(keycode)) return 0;
    if (keys->pending_scancode == scancode) keys->pending_scancode = -1;
    if (ValidScancode(scancode) && keys->down_code[scancode] != 0) {
        const int code = keys->down_code[scancode];
        keys->down_code[scancode] = 0;
        return code;
    }
    // A table key pressed before the window had the focus still reports its release.
    return SpecialCode(keycode, modifiers);
}

int HOST_TranslateText(HOST_KeyTranslator* keys, const char* utf8, bool* release_now) {
    *release_now = true;
    const int pending = keys->pending_scancode;
    keys->pending_scancode = -1;
    if (utf8 == nullptr) return 0;
    const int code = SingleLatin1(utf8);
    if (code <= 0) return 0;
    if (pending >= 0) {
        keys->down_code[pending] = static_cast<uint16_t>(code);
        *release_now = false;
    }
    return code;
}

bool HOST_IsSaveKey(int32_t keycode, uint16_t modifiers) {
    return (keycode == SDLK_s) && (modifiers & KMOD_CTRL) != 0 && (modifiers & KMOD_ALT) == 0;
}
