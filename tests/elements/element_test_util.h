// Shared by the element tests: capture of the diagnostic output, colours as the frame holds
// them and parameter records filled like a device page fills them.
#pragma once

#include "elements/element_params.h"

#include <cstdint>
#include <string>
#include <vector>

namespace elementtest {

// Collects everything written through DBG_Printf while alive.
class DebugOutput {
  public:
    DebugOutput();
    ~DebugOutput();
    std::vector<std::string> lines;
};

// GUI_COLOUR (0xBBGGRR) as the frame buffer holds it (0xRRGGBB).
constexpr uint32_t Px(GUI_COLOUR c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kYellow = 0xFFFF00;
constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kBlue = 0x0000FF;
constexpr uint32_t kGrey = 0x808080;
constexpr uint32_t kDarkGrey = 0x404040;
constexpr uint32_t kBlack = 0x000000;

// A record with the given rectangle and range, value font FONT_20B, format "%d", divisor 1,
// thresholds that colour everything green, ring width 10.
ELEMENT_PARAMS Params(int x0, int y0, int w, int h, int32_t value, int32_t min, int32_t max);

} // namespace elementtest
