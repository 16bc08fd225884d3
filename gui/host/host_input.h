// Pointer and key translation of the display host, as plain functions over small state records.
// The SDL window and the headless host both go through these, so the tests of the headless
// host cover exactly what the window does with real input.
#pragma once

#include "gui/host/host.h"

#include <array>
#include <cstdint>

constexpr HOST_PointerState HOST_POINTER_NONE = {-1, -1, 0};

// Turns a mouse position relative to the display's top-left pixel and the button mask into a
// pointer state: (-1, -1) unless 0 <= x < xsize and 0 <= y < ysize; a double click gives
// pressed 128, otherwise left 1, right 2, middle 4.
HOST_PointerState HOST_TranslatePointer(int client_x, int client_y, unsigned buttons,
                                        bool double_click, int xsize, int ysize);

// A window coordinate of a window drawn `scale` times enlarged, as a display coordinate: the
// display starts at origin x scale, and each display pixel covers scale window pixels. Rounds
// down, so a position left of or above the display stays negative (outside).
int HOST_WindowToDisplay(int window_coordinate, int origin, int scale);

// The two-step delivery: the window stores the newest state in `stored`; on every mouse event
// and every tick HOST_DeliverPointer compares it with the state it delivered last.
struct HOST_PointerDelivery {
    HOST_PointerState stored = HOST_POINTER_NONE;
    HOST_PointerState delivered = HOST_POINTER_NONE; // what the comparison last saw
    HOST_PointerState step1 = HOST_POINTER_NONE;     // the last state of step 1
};

// Fills out[] with the states to hand to the toolkit and returns how many (0 to 2): when the
// stored state differs from the delivered one, first the state itself (unless step 1 gave it
// last), then its touch view (x and y -1 while nothing is pressed).
int HOST_DeliverPointer(HOST_PointerDelivery* delivery, HOST_PointerState out[2]);

// Key translation. Keys of the special-key table give their code at once; Shift+Tab gives 10;
// Ctrl and Alt give nothing; every other key waits for the text input that follows its key
// down, and a text of exactly one Latin-1 character gives that character's code. A key up
// repeats the code its key down gave, so presses and releases always pair up. Keys that give
// neither a table code nor a character (function keys, Windows key, ...) give nothing.
constexpr int HOST_SCANCODE_COUNT = 512;

struct HOST_KeyTranslator {
    std::array<uint16_t, HOST_SCANCODE_COUNT> down_code{}; // code of each held key, 0 if none
    int pending_scancode = -1;                             // a key down that waits for its text
};

// Each returns the key code to deliver, or 0 when there is nothing to deliver.
int HOST_TranslateKeyDown(HOST_KeyTranslator* keys, int scancode, int32_t keycode,
                          uint16_t modifiers);
int HOST_TranslateKeyUp(HOST_KeyTranslator* keys, int scancode, int32_t keycode,
                        uint16_t modifiers);
// For text input: *release_now is set when no key down waits for this text (input methods,
// synthetic text), so the caller delivers the release at once.
int HOST_TranslateText(HOST_KeyTranslator* keys, const char* utf8, bool* release_now);

// Ctrl+S, the save key of the Graph tab: it gives no key code but is counted for the
// application (HOST_TakeSaveKey).
bool HOST_IsSaveKey(int32_t keycode, uint16_t modifiers);
