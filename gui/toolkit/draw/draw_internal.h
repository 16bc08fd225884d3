// Shared by the drawing module's sources only: the clipped span layer every shape ends in.
#pragma once

#include "gui/toolkit/core/gui_lock.h"
#include "gui/toolkit/draw/gui_context.h"

#include <cstdint>

namespace gui_draw {

// Bounding boxes are kept within this distance so that walks over them stay bounded.
constexpr int kBoxLimit = 1 << 17;

// A colour ready for the frame buffer: pixel 0x00RRGGBB and opacity 0 (none) to 255.
struct Paint {
    uint32_t pixel;
    uint32_t opacity;
};

constexpr uint32_t ToPixel(GUI_COLOUR c) {
    return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}

// Opaque unless alpha mode is on, where the alpha byte says how transparent it is.
Paint MakePaint(GUI_COLOUR colour);

// The part of the screen the spans of the current pass may touch (inclusive, inside the
// display). Empty outside ForEachClip.
struct Box {
    int x0;
    int y0;
    int x1;
    int y1;
    bool Empty() const { return x0 > x1 || y0 > y1; }
};
extern Box g_clip;

// Holds the toolkit lock for one public operation; when it ends, a changed picture is
// reported to the display's change hook once. ok() is false when there is no target.
class DrawScope {
  public:
    DrawScope();
    ~DrawScope();
    DrawScope(const DrawScope&) = delete;
    DrawScope& operator=(const DrawScope&) = delete;
    bool ok() const { return display_ != nullptr; }
    GUI_CONTEXT* ctx() const { return GUI_pContext; }

  private:
    GUI_LockGuard lock_;
    const GUI_DISPLAY* display_;
};

// The screen box of the i-th clip rectangle met by the bounding box (screen coordinates);
// false when that rectangle misses it. ClipCount() is the number of rectangles to try.
int ClipCount();
bool ClipBoxFor(int index, const Box& bounds, Box* out);
bool InPass();
void SetPass(const Box* box); // null ends the pass

// Calls draw() once per clip rectangle meeting the bounding box, with g_clip set to their
// intersection with the display.
template <class Draw> void ForEachClip(const Box& bounds, Draw&& draw) {
    if (bounds.Empty()) return;
    const int n = ClipCount();
    for (int i = 0; i < n; ++i) {
        Box box;
        if (!ClipBoxFor(i, bounds, &box)) continue;
        SetPass(&box);
        draw();
    }
    SetPass(nullptr);
}

// Span writers, clipped to g_clip (screen coordinates, x1 inclusive).
void FillSpan(int x0, int x1, int y, Paint paint);
void PutPixel(int x, int y, Paint paint);
void FillBox(int x0, int y0, int x1, int y1, Paint paint);
// Copies opaque pixels; src[0] belongs to column x0.
void CopySpan(int x0, int y, const uint32_t* src, int count);

// Direct access for writers that have checked their box lies inside g_clip: the target row
// (screen y within g_clip), and the change mark such a writer must set.
uint32_t* ClipRow(int y);
void MarkChanged();

// Half-width of the integer circle rule: the largest f with i*i + f*f <= r*r + r/2, or -1.
int CircleHalfWidth(int r, int i);

// Fills a polygon (screen coordinates, continuous: pixel x covers [x, x + 1)) with the
// non-zero rule, sampled factor x factor times per pixel; factor 1 samples pixel centres.
// At most GUI_MAX_POLYGON_POINTS + 4 points.
void RasterPolygon(const double* xs, const double* ys, int count, int factor, Paint paint);

// The quadrilateral of a line of the given width between two pixel centres, extended by half
// a pixel beyond each end, filled at the given factor.
void RasterThickLine(int x0, int y0, int x1, int y1, int width, int factor, Paint paint);

} // namespace gui_draw
