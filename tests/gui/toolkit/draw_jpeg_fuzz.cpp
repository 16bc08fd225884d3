// Fuzz target: JPEG data drawn onto a small frame. Any input must end in a picture, a warning
// or nothing, never a crash, a hang or a write outside the frame.
#include "gui/toolkit/core/gui_report.h"
#include "gui/toolkit/draw/gui_draw.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

constexpr int kW = 96;
constexpr int kH = 64;
// A guard band of rows after the frame: anything written there is a fault.
constexpr int kGuardRows = 4;
constexpr uint32_t kGuard = 0xA5A5A5;

void Quiet(bool, const char*) {}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::vector<uint32_t> pixels(static_cast<size_t>(kW) * (kH + kGuardRows), kGuard);
    static const bool ready = [] {
        GUI_SetReportHook(Quiet);
        return true;
    }();
    (void)ready;
    GUI_SetDrawTarget(pixels.data(), kW, kH, kW, nullptr);
    GUI_DrawJPEG(data, size, -3, -2);
    for (size_t i = static_cast<size_t>(kW) * kH; i < pixels.size(); ++i)
        if (pixels[i] != kGuard) __builtin_trap();
    return 0;
}
