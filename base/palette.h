// The named colours of the pages, the drawn elements and the device catalogue, as 0xBBGGRR
// (blue in the high byte, red in the low one). Plain numbers, so that the device tables, which
// sit below the toolkit, use the same names as the drawing code.
#pragma once

#include <cstdint>

constexpr uint32_t PALETTE_BLACK = 0x000000;
constexpr uint32_t PALETTE_WHITE = 0xFFFFFF;
constexpr uint32_t PALETTE_GREEN = 0x00FF00;
constexpr uint32_t PALETTE_RED = 0x0000FF;
constexpr uint32_t PALETTE_BLUE = 0xFF0000;
constexpr uint32_t PALETTE_DARK_BLUE = 0x800000;
constexpr uint32_t PALETTE_YELLOW = 0x00FFFF;
constexpr uint32_t PALETTE_GREY = 0x808080;
constexpr uint32_t PALETTE_DARK_GREY = 0x404040;
constexpr uint32_t PALETTE_DARK_GREEN = 0x006600;  // the top band, tabs and tile frames
constexpr uint32_t PALETTE_LIGHT_BLUE = 0xF5D0A9;  // an unlit bulb
constexpr uint32_t PALETTE_ORANGE = 0xFF944D;      // battery cell tops, the switch's marks
constexpr uint32_t PALETTE_DARK_ORANGE = 0xFF6600; // battery cell bottoms
// The on-screen keyboard.
constexpr uint32_t PALETTE_KEY_FRAME = 0x1AC39D;
constexpr uint32_t PALETTE_KEY_FRAME_PRESSED = 0x275BEA;
constexpr uint32_t PALETTE_KEY_FILL = 0x613600;
