// The drawing context: colours, pen, text state, origin and clipping of the thread that draws,
// and the display target every drawing operation writes into.
#pragma once

#include "gui/toolkit/gui_font.h"

#include <cstdint>

// 0xAABBGGRR: red in the low byte; alpha 0x00 is opaque, 0xFF invisible (alpha mode only).
using GUI_COLOUR = uint32_t;

// Inclusive on all sides: (x0, y0, x1, y1) covers x1 - x0 + 1 columns.
struct GUI_RECT {
    int16_t x0;
    int16_t y0;
    int16_t x1;
    int16_t y1;
};

struct GUI_POINT {
    int16_t x;
    int16_t y;
};

// Text modes (flags; 6 draws only the glyph pixels, in the background colour).
constexpr int GUI_TEXTMODE_NORMAL = 0;
constexpr int GUI_TEXTMODE_TRANSPARENT = 2;
constexpr int GUI_TEXTMODE_REVERSED = 4;

// Text alignment: horizontal in bits 0-1, vertical in bits 2-3.
constexpr int GUI_ALIGN_LEFT = 0;
constexpr int GUI_ALIGN_RIGHT = 1;
constexpr int GUI_ALIGN_HCENTER = 2;
constexpr int GUI_ALIGN_HORIZONTAL = 3;
constexpr int GUI_ALIGN_TOP = 0;
constexpr int GUI_ALIGN_BASELINE = 4;
constexpr int GUI_ALIGN_BOTTOM = 8;
constexpr int GUI_ALIGN_VCENTER = 12;
constexpr int GUI_ALIGN_VERTICAL = 12;

// Clip rectangles one paint may set; see GUI_SetClipRects for the overflow policy.
constexpr int GUI_MAX_CLIP_RECTS = 8;
// The widest and highest target the line buffers of the drawing code serve.
constexpr int GUI_MAX_TARGET_SIZE = 4096;

// The frame buffer drawn into: pixels 0x00RRGGBB (blue in the low byte), rows top to bottom,
// stride in pixels. `changed` (may be null) is called once after each operation that changed
// pixels: the host's change counter.
struct GUI_DISPLAY {
    uint32_t* pixels;
    int width;
    int height;
    int stride;
    void (*changed)();
};

struct GUI_CONTEXT {
    GUI_COLOUR draw_colour;
    GUI_COLOUR back_colour;
    uint8_t line_width;
    int16_t text_mode;
    int16_t text_align;
    const GUI_FONTDEF* font;
    int16_t text_x; // window coordinates of the next character cell's top-left corner
    int16_t text_y;
    int origin_x; // screen position of the window being painted
    int origin_y;
    GUI_RECT clip[GUI_MAX_CLIP_RECTS]; // screen coordinates
    int clip_count;
    bool clip_whole; // no clip rectangles: the whole display
    uint8_t aa_factor;
    uint8_t hires; // high-resolution coordinates; never switched on
    bool alpha_mode;
    const GUI_DISPLAY* display;
};

// The current context. Starts at a built-in context; the toolkit lock switches it per thread.
extern GUI_CONTEXT* GUI_pContext;

// Fills a context with the defaults: white on black, line width 1, normal text mode, left/top
// alignment, the configured default font, origin (0, 0), the whole display as clip, AA factor
// 3, alpha mode off, the configured display. Reports "GUI_Core:" errors when no display or no
// default font is configured (the context is filled all the same). Returns 0, or 1 after an
// error.
int GUI_InitContext(GUI_CONTEXT* context);

// Configuration, before GUI_InitContext: the default font of new contexts.
void GUI_SetDefaultFont(const GUI_FONTDEF* font);

// Points the drawing at a frame buffer (stride in pixels, at least width); null pixels remove
// the target, after which nothing is drawn. Width and height must be 1 to
// GUI_MAX_TARGET_SIZE. The buffered update switches the target between the host's buffers
// with this. Returns 0, or -1 (target unchanged) for bad parameters.
int GUI_SetDrawTarget(uint32_t* pixels, int width, int height, int stride, void (*changed)());
// The configured display record (pixels null when none).
const GUI_DISPLAY* GUI_GetDisplay();

// The window manager before each paint: the screen position of the window (coordinates of
// every operation are added to it) ...
void GUI_SetOrigin(int x, int y);
// ... and the clip rectangle in screen coordinates; null means the whole display.
void GUI_SetClipRect(const GUI_RECT* rect);
// Several clip rectangles (screen coordinates); each shape is drawn once per rectangle that
// meets it, so they should not overlap. 0 rectangles draw nothing. More than
// GUI_MAX_CLIP_RECTS are refused: returns -1 and nothing is drawn until the next setter.
int GUI_SetClipRects(const GUI_RECT* rects, int count);


// The clock behind GUI_NowMs; by default (and after null) the host's HOST_GetTime.
using GUI_ClockFn = int (*)();
void GUI_SetClock(GUI_ClockFn fn);
