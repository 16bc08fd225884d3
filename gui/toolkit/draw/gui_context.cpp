// The drawing context, its configuration and the toolkit's error and warning output.
#include "gui/toolkit/draw/gui_context.h"
#include "gui/toolkit/core/gui_report.h"

#include "gui/toolkit/core/gui_lock.h"
#include "gui/toolkit/draw/gui_draw.h"

#include "gui/host/host.h"

#include <atomic>

namespace {

GUI_DISPLAY g_display{};
const GUI_FONTDEF* g_default_font = nullptr;

std::atomic<GUI_ClockFn> g_clock{nullptr};

void FillDefaults(GUI_CONTEXT* c) {
    *c = GUI_CONTEXT{};
    c->draw_colour = 0xFFFFFF;
    c->back_colour = 0x000000;
    c->line_width = 1;
    c->text_mode = GUI_TEXTMODE_NORMAL;
    c->text_align = GUI_ALIGN_LEFT | GUI_ALIGN_TOP;
    c->font = g_default_font;
    c->clip_whole = true;
    c->aa_factor = 3;
    c->display = &g_display;
}

GUI_CONTEXT g_builtin_context = [] {
    GUI_CONTEXT c;
    FillDefaults(&c);
    return c;
}();

} // namespace

GUI_CONTEXT* GUI_pContext = &g_builtin_context;

int GUI_InitContext(GUI_CONTEXT* context) {
    if (context == nullptr) return 1;
    GUI_LockGuard lock;
    FillDefaults(context);
    int result = 0;
    if (g_display.pixels == nullptr) {
        GUI_ReportError("GUI_Core:\nNo display driver has been added in _InitContext().");
        result = 1;
    }
    if (g_default_font == nullptr) {
        GUI_ReportError("GUI_Core:\nNo default font has been defined in _InitContext().");
        result = 1;
    }
    return result;
}

void GUI_SetDefaultFont(const GUI_FONTDEF* font) {
    GUI_LockGuard lock;
    g_default_font = font;
}

int GUI_SetDrawTarget(uint32_t* pixels, int width, int height, int stride, void (*changed)()) {
    GUI_LockGuard lock;
    if (pixels == nullptr) {
        g_display = GUI_DISPLAY{};
        return 0;
    }
    if (width < 1 || height < 1 || width > GUI_MAX_TARGET_SIZE || height > GUI_MAX_TARGET_SIZE ||
        stride < width)
        return -1;
    g_display = GUI_DISPLAY{pixels, width, height, stride, changed};
    return 0;
}

const GUI_DISPLAY* GUI_GetDisplay() {
    return &g_display;
}

void GUI_SetOrigin(int x, int y) {
    GUI_LockGuard lock;
    GUI_pContext->origin_x = x;
    GUI_pContext->origin_y = y;
}

void GUI_SetClipRect(const GUI_RECT* rect) {
    GUI_LockGuard lock;
    GUI_CONTEXT* c = GUI_pContext;
    if (rect == nullptr) {
        c->clip_whole = true;
        c->clip_count = 0;
        return;
    }
    c->clip_whole = false;
    c->clip[0] = *rect;
    c->clip_count = 1;
}

int GUI_SetClipRects(const GUI_RECT* rects, int count) {
    GUI_LockGuard lock;
    GUI_CONTEXT* c = GUI_pContext;
    c->clip_whole = false;
    c->clip_count = 0;
    if (count < 0 || count > GUI_MAX_CLIP_RECTS || (count > 0 && rects == nullptr)) return -1;
    for (int i = 0; i < count; ++i)
        c->clip[i] = rects[i];
    c->clip_count = count;
    return 0;
}

void GUI_SetClock(GUI_ClockFn fn) {
    g_clock.store(fn);
}

int GUI_NowMs() {
    const GUI_ClockFn fn = g_clock.load();
    return fn != nullptr ? fn() : HOST_GetTime();
}
