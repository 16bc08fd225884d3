// Shared by the drawing module's sources only: the clipped span layer every shape ends in.
#pragma once

#include "gui/toolkit/core/gui_lock.h"
#include "gui/toolkit/draw/gui_context.h"

#include <cstddef>
#include <cstdint>
#include <cwchar>

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

// d mixed towards s by a / 255, per channel, rounded.
inline uint32_t Blend(uint32_t d, uint32_t s, uint32_t a) {
    const uint32_t na = 255 - a;
    uint32_t rb = (s & 0xFF00FFu) * a + (d & 0xFF00FFu) * na + 0x800080u;
    rb = ((rb + ((rb >> 8) & 0xFF00FFu)) >> 8) & 0xFF00FFu;
    uint32_t g = ((s >> 8) & 0xFFu) * a + ((d >> 8) & 0xFFu) * na + 0x80u;
    g = ((g + (g >> 8)) >> 8) & 0xFFu;
    return rb | (g << 8);
}

// glibc's wmemset stores 32-bit units with vector instructions; the plain loop does not get
// vectorised at our optimisation level, and filling spans is most of the drawing time.
static_assert(sizeof(wchar_t) == sizeof(uint32_t));
inline void FillRun(uint32_t* p, int n, uint32_t v) {
    std::wmemset(reinterpret_cast<wchar_t*>(p), static_cast<wchar_t>(v), static_cast<size_t>(n));
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
// Whether any clip rectangle meets the bounding box: shapes skip building their outline when
// none does (windows repainted in part, tiles scrolled off the display).
bool AnyClipMeets(const Box& bounds);
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
// non-zero rule: at factor 2 or more each pixel by the area covered, at factor 1 the pixels
// whose centres lie inside.
// At most GUI_MAX_POLYGON_POINTS + 4 points.
void RasterPolygon(const double* xs, const double* ys, int count, int factor, Paint paint);

// The quadrilateral of a line of the given width between two pixel centres, extended by half
// a pixel beyond each end, filled at the given factor.
void RasterThickLine(int x0, int y0, int x1, int y1, int width, int factor, Paint paint);

// Outlines: closed contours of straight edges in screen coordinates (continuous: pixel x
// covers [x, x + 1)), filled by the non-zero rule with each pixel blended by the exact area
// the outline covers in it. Overlapping parts of one outline add up and are capped at full
// cover. One outline at a time, built and filled within one operation.
constexpr int kMaxOutlineEdges = 8192; // more: the outline draws nothing
constexpr int kMaxQuarterChords = 512;
// How far a chord may stray from the curve it stands for, in pixels: the area it misjudges
// in a pixel stays within about one level of 255.
constexpr double kMaxChordStray = 1.0 / 512;

void OutlineBegin();
void OutlineMoveTo(double x, double y); // closes the contour before
void OutlineLineTo(double x, double y);
void OutlineClose();
// A box whose corners are quarter ellipses with radii (rx, ry) around the corner centres
// (cl, ct), (cr, ct), (cr, cb), (cl, cb), as one contour; an ellipse when the centres meet.
// Reverse runs it the other way round (a hole in an outline around it).
void OutlineRoundBox(double cl, double ct, double cr, double cb, double rx, double ry,
                     bool reverse);
// Points of the ellipse from parameter t0 to t1 (radians, counter-clockwise on screen; the
// point at t is (cx + rx cos t, cy - ry sin t)); first starts a contour, else it continues.
void OutlineEllipseArc(double cx, double cy, double rx, double ry, double t0, double t1,
                       bool first);
// Fills the outline within the limit box and the clip rectangles; it stays for another fill
// until the next OutlineBegin.
void OutlineFill(const Box& limit, Paint paint);

// The chords per quarter turn for a curve of this radius, so that they stray at most
// kMaxChordStray (fewer only beyond kMaxQuarterChords); at least 2.
int QuarterChords(double radius);
// The chord ends lie this factor outside the curve, so the chords straddle it: their ends as
// far outside as their middles inside.
double StraddleScale(int quarter_chords);
// How far such straddling chords stray from a circle of this radius.
double ChordStray(double radius, int quarter_chords);

} // namespace gui_draw
