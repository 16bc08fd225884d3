#include "tests/elements/element_test_util.h"

#include "base/dbg.h"
#include "gui/toolkit/gui_font.h"

namespace elementtest {
namespace {

DebugOutput* g_output = nullptr;

void Capture(const char* text, int length) {
    if (g_output != nullptr) g_output->lines.emplace_back(text, static_cast<size_t>(length));
}

} // namespace

DebugOutput::DebugOutput() {
    g_output = this;
    DBG_SetSink(Capture);
}

DebugOutput::~DebugOutput() {
    DBG_SetSink(nullptr);
    g_output = nullptr;
}

ELEMENT_PARAMS Params(int x0, int y0, int w, int h, int32_t value, int32_t min, int32_t max) {
    ELEMENT_PARAMS p{};
    p.x0 = x0;
    p.y0 = y0;
    p.xSize = w;
    p.ySize = h;
    p.value = value;
    p.min = min;
    p.max = max;
    p.value_font = FONT_20B;
    p.format = "%d";
    p.t1 = INT32_MIN;
    p.t2 = INT32_MIN;
    p.t3 = INT32_MAX;
    p.t4 = INT32_MAX;
    p.divisor = 1;
    p.ring_width = 10;
    p.label_mode = 1;
    p.caption_font = FONT_16B;
    p.caption = "CAPTION";
    return p;
}

} // namespace elementtest
