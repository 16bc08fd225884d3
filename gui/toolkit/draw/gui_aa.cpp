// Anti-aliased shapes. At factors 2 to 6 each shape is built as an outline and every pixel
// is blended by the exact area the shape covers in it (draw_outline.cpp). Factor 1 draws
// without anti-aliasing: a pixel is drawn when its centre lies in the shape. Geometry is
// continuous: pixel (x, y) covers [x, x + 1) x [y, y + 1), so integer centres and radii sit on
// pixel centres and a circle is symmetric about its centre pixel.
#include "gui/toolkit/draw/draw_internal.h"
#include "gui/toolkit/draw/gui_draw.h"

#include "base/dbg.h"

#include <algorithm>
#include <cmath>

namespace gui_draw {
namespace {

constexpr double kInf = 1e30;

// One row without anti-aliasing: a shape gives its x intervals on the row's centre line
// (disjoint, in any order) and the pixels whose centres they hold are filled.
class CentreRow {
  public:
    CentreRow(int y, Paint paint) : y_(y), paint_(paint) {}

    // Fills the pixels whose centres lie in [xa, xb).
    void Add(double xa, double xb) const {
        const double fa = std::max(std::ceil(xa - 0.5), static_cast<double>(g_clip.x0));
        const double fb = std::min(std::ceil(xb - 0.5), g_clip.x1 + 1.0);
        if (!(fa < fb)) return; // also rejects NaN
        FillSpan(static_cast<int>(fa), static_cast<int>(fb) - 1, y_, paint_);
    }

  private:
    int y_;
    Paint paint_;
};

// Runs a shape's interval producer over the centre line of every row of every clip box it
// meets.
template <class Rows> void RasterCentres(const Box& bounds, Paint paint, Rows&& rows) {
    if (paint.opacity == 0) return;
    ForEachClip(bounds, [&] {
        for (int py = g_clip.y0; py <= g_clip.y1; ++py)
            rows(py + 0.5, CentreRow(py, paint));
    });
}

Box BoundsOf(double x0, double y0, double x1, double y1) {
    auto clampi = [](double v) { return static_cast<int>(std::clamp(v, -1e6, 1e6)); };
    return Box{clampi(std::floor(x0)), clampi(std::floor(y0)), clampi(std::ceil(x1)),
               clampi(std::ceil(y1))};
}

struct Interval {
    double lo;
    double hi;
};

// {x : a * x + b >= 0} on one sample row.
Interval HalfLine(double a, double b) {
    if (a > 0) return {-b / a, kInf};
    if (a < 0) return {-kInf, -b / a};
    return b >= 0 ? Interval{-kInf, kInf} : Interval{kInf, -kInf};
}

// Direction of the ellipse point at the angle (degrees, y up); exact at the quadrants.
void Direction(int deg, double rx, double ry, double* x, double* y) {
    switch (((deg % 360) + 360) % 360) {
        case 0:
            *x = rx, *y = 0;
            return;
        case 90:
            *x = 0, *y = ry;
            return;
        case 180:
            *x = -rx, *y = 0;
            return;
        case 270:
            *x = 0, *y = -ry;
            return;
        default:
            break;
    }
    const double rad = deg * (M_PI / 180.0);
    *x = rx * std::cos(rad);
    *y = ry * std::sin(rad);
}

int Factor(const GUI_CONTEXT* c) {
    return std::clamp(int{c->aa_factor}, 1, 6);
}

int Width(const GUI_CONTEXT* c) {
    return std::max(1, int{c->line_width});
}

// The filled disc of radius r + 0.5 around the centre of pixel (xc, yc), screen coordinates:
// a circle of pixel radius r spans 2r + 1 pixels.
void Disc(int xc, int yc, int r, Paint paint) {
    const double cx = xc + 0.5, cy = yc + 0.5, rr = r + 0.5;
    if (!AnyClipMeets(BoundsOf(cx - rr, cy - rr, cx + rr, cy + rr))) return;
    OutlineBegin();
    OutlineRoundBox(cx, cy, cx, cy, rr, rr, false);
    OutlineFill(Box{-kBoxLimit, -kBoxLimit, kBoxLimit, kBoxLimit}, paint);
}

// An angle difference moved into (0, 2 pi]: how far counter-clockwise the second ray lies.
double Turn(double d) {
    d = std::fmod(d, 2 * M_PI);
    if (d <= 0) d += 2 * M_PI;
    return d;
}

// The parameter of the point where the ray from the centre through (dx, dy) (y up) meets the
// ellipse with radii (ex, ey).
double RayParameter(double dx, double dy, double ex, double ey) {
    return std::atan2(dy / ey, dx / ex);
}

} // namespace

void RasterPolygon(const double* xs, const double* ys, int count, int factor, Paint paint) {
    if (count < 3 || count > GUI_MAX_POLYGON_POINTS + 4) return;
    double minx = kInf, miny = kInf, maxx = -kInf, maxy = -kInf;
    for (int i = 0; i < count; ++i) {
        if (!std::isfinite(xs[i]) || !std::isfinite(ys[i])) return;
        minx = std::min(minx, xs[i]);
        maxx = std::max(maxx, xs[i]);
        miny = std::min(miny, ys[i]);
        maxy = std::max(maxy, ys[i]);
    }
    if (factor > 1) {
        if (!AnyClipMeets(BoundsOf(minx, miny, maxx, maxy))) return;
        OutlineBegin();
        for (int i = 0; i < count; ++i)
            OutlineLineTo(xs[i], ys[i]);
        return OutlineFill(Box{-kBoxLimit, -kBoxLimit, kBoxLimit, kBoxLimit}, paint);
    }
    RasterCentres(BoundsOf(minx, miny, maxx, maxy), paint, [&](double sy, const CentreRow& row) {
        double cx[GUI_MAX_POLYGON_POINTS + 4];
        int dir[GUI_MAX_POLYGON_POINTS + 4];
        int n = 0;
        for (int i = 0; i < count; ++i) {
            const int j = i + 1 < count ? i + 1 : 0;
            const double ya = ys[i];
            const double yb = ys[j];
            if (ya == yb) continue;
            if (sy < std::min(ya, yb) || sy >= std::max(ya, yb)) continue;
            const double x = xs[i] + (sy - ya) * (xs[j] - xs[i]) / (yb - ya);
            // Insertion keeps the crossings sorted by x.
            int k = n++;
            while (k > 0 && cx[k - 1] > x) {
                cx[k] = cx[k - 1];
                dir[k] = dir[k - 1];
                --k;
            }
            cx[k] = x;
            dir[k] = yb > ya ? 1 : -1;
        }
        int winding = 0;
        double start = 0;
        for (int k = 0; k < n; ++k) {
            const int before = winding;
            winding += dir[k];
            if (before == 0 && winding != 0) start = cx[k];
            if (before != 0 && winding == 0) row.Add(start, cx[k]);
        }
    });
}

void RasterThickLine(int x0, int y0, int x1, int y1, int width, int factor, Paint paint) {
    const double ax = x0 + 0.5, ay = y0 + 0.5, bx = x1 + 0.5, by = y1 + 0.5;
    double ux = bx - ax, uy = by - ay;
    const double len = std::hypot(ux, uy);
    if (len > 0) {
        ux /= len;
        uy /= len;
    } else {
        ux = 1;
        uy = 0;
    }
    const double hw = width / 2.0;
    const double nx = -uy * hw, ny = ux * hw;
    const double sx = ax - ux * 0.5, sy = ay - uy * 0.5;
    const double ex = bx + ux * 0.5, ey = by + uy * 0.5;
    const double xs[4] = {sx + nx, ex + nx, ex - nx, sx - nx};
    const double ys[4] = {sy + ny, ey + ny, ey - ny, sy - ny};
    RasterPolygon(xs, ys, 4, factor, paint);
}

} // namespace gui_draw

using namespace gui_draw;

void GUI_DrawLineAA(int x0, int y0, int x1, int y1) {
    DrawScope scope;
    if (!scope.ok()) return;
    const GUI_CONTEXT* c = scope.ctx();
    RasterThickLine(x0 + c->origin_x, y0 + c->origin_y, x1 + c->origin_x, y1 + c->origin_y,
                    Width(c), Factor(c), MakePaint(c->draw_colour));
}

void GUI_FillCircleAA(int xc, int yc, int r) {
    DrawScope scope;
    if (!scope.ok() || r < 0) return;
    const GUI_CONTEXT* c = scope.ctx();
    const Paint paint = MakePaint(c->draw_colour);
    xc += c->origin_x;
    yc += c->origin_y;
    const int factor = Factor(c);
    if (factor > 1) return Disc(xc, yc, r, paint);
    // Without anti-aliasing: the rows' half-width f shrinks while i^2 + f^2 > r^2 + r/2.
    ForEachClip(Box{xc - r, yc - r, xc + r, yc + r}, [&] {
        for (int i = 0; i <= r; ++i) {
            const int f = CircleHalfWidth(r, i);
            FillSpan(xc - f, xc + f, yc - i, paint);
            if (i != 0) FillSpan(xc - f, xc + f, yc + i, paint);
        }
    });
}

void GUI_FillPolygonAA(const GUI_POINT* points, int count, int x, int y) {
    PARAM_CHECK(count <= GUI_MAX_POLYGON_POINTS);
    DrawScope scope;
    if (!scope.ok() || points == nullptr || count < 3) return;
    const GUI_CONTEXT* c = scope.ctx();
    double xs[GUI_MAX_POLYGON_POINTS];
    double ys[GUI_MAX_POLYGON_POINTS];
    for (int i = 0; i < count; ++i) {
        xs[i] = static_cast<double>(points[i].x) + x + c->origin_x + 0.5;
        ys[i] = static_cast<double>(points[i].y) + y + c->origin_y + 0.5;
    }
    RasterPolygon(xs, ys, count, Factor(c), MakePaint(c->draw_colour));
}

void GUI_DrawArcAA(int xc, int yc, int rx, int ry, int a0, int a1) {
    DrawScope scope;
    if (!scope.ok() || rx < 0 || ry < 0) return;
    const GUI_CONTEXT* c = scope.ctx();
    // a0 into 0..359, a1 moved by the same turns; the arc runs counter-clockwise.
    const long long turns = ((a0 % 360) + 360) % 360 - static_cast<long long>(a0);
    const long long start = a0 + turns;
    const long long end = a1 + turns;
    if (end <= start) return;
    const long long sweep = end - start;

    const double half = Width(c) / 2.0;
    const double cx = xc + c->origin_x + 0.5;
    const double cy = yc + c->origin_y + 0.5;
    const double ox = rx + half, oy = ry + half;
    const double ix = rx - half, iy = ry - half;
    const bool hole = ix > 0 && iy > 0;
    double ux, uy, vx, vy;
    Direction(static_cast<int>(start % 360), std::max(rx, 1), std::max(ry, 1), &ux, &uy);
    Direction(static_cast<int>(end % 360), std::max(rx, 1), std::max(ry, 1), &vx, &vy);

    if (Factor(c) > 1) {
        if (!AnyClipMeets(BoundsOf(cx - ox, cy - oy, cx + ox, cy + oy))) return;
        OutlineBegin();
        if (sweep >= 360) {
            OutlineRoundBox(cx, cy, cx, cy, ox, oy, false);
            if (hole) OutlineRoundBox(cx, cy, cx, cy, ix, iy, true);
        } else {
            // Along the outer ellipse between the rays, back along the inner one (or through
            // the centre when the width closes the hole).
            const double t0 = RayParameter(ux, uy, ox, oy);
            const double t1 = t0 + Turn(RayParameter(vx, vy, ox, oy) - t0);
            OutlineEllipseArc(cx, cy, ox, oy, t0, t1, true);
            if (hole) {
                const double s0 = RayParameter(ux, uy, ix, iy);
                const double s1 = s0 + Turn(RayParameter(vx, vy, ix, iy) - s0);
                OutlineEllipseArc(cx, cy, ix, iy, s1, s0, false);
            } else {
                OutlineLineTo(cx, cy);
            }
        }
        return OutlineFill(Box{-kBoxLimit, -kBoxLimit, kBoxLimit, kBoxLimit},
                           MakePaint(c->draw_colour));
    }
    RasterCentres(BoundsOf(cx - ox, cy - oy, cx + ox, cy + oy), MakePaint(c->draw_colour),
                  [&](double sy, const CentreRow& row) {
                      const double dy = sy - cy;
                      if (std::fabs(dy) >= oy) return;
                      const double ho = ox * std::sqrt(1.0 - (dy / oy) * (dy / oy));
                      Interval ring[2];
                      int rings = 0;
                      if (hole && std::fabs(dy) < iy) {
                          const double hi = ix * std::sqrt(1.0 - (dy / iy) * (dy / iy));
                          ring[rings++] = {cx - ho, cx - hi};
                          ring[rings++] = {cx + hi, cx + ho};
                      } else {
                          ring[rings++] = {cx - ho, cx + ho};
                      }
                      // The sector on this row (y up): ccw of u and, within the sweep, before v.
                      Interval sector[2];
                      int sectors = 0;
                      if (sweep >= 360) {
                          sector[sectors++] = {-kInf, kInf};
                      } else {
                          const double py = -dy;
                          // cross(u, p) >= 0 and cross(p, v) >= 0, as half-lines of p.x - cx.
                          Interval hu = HalfLine(-uy, ux * py);
                          Interval hv = HalfLine(vy, -vx * py);
                          if (sweep <= 180) {
                              sector[sectors++] = {std::max(hu.lo, hv.lo), std::min(hu.hi, hv.hi)};
                          } else if (hu.lo <= hv.hi && hv.lo <= hu.hi) {
                              sector[sectors++] = {std::min(hu.lo, hv.lo), std::max(hu.hi, hv.hi)};
                          } else {
                              sector[sectors++] = hu;
                              sector[sectors++] = hv;
                          }
                          for (int s = 0; s < sectors; ++s) {
                              sector[s].lo = sector[s].lo <= -kInf ? -kInf : sector[s].lo + cx;
                              sector[s].hi = sector[s].hi >= kInf ? kInf : sector[s].hi + cx;
                          }
                      }
                      for (int r = 0; r < rings; ++r) {
                          for (int s = 0; s < sectors; ++s) {
                              const double lo = std::max(ring[r].lo, sector[s].lo);
                              const double hi = std::min(ring[r].hi, sector[s].hi);
                              if (lo < hi) row.Add(lo, hi);
                          }
                      }
                  });
}

void GUI_FillRoundRectAA(int x0, int y0, int x1, int y1, int r) {
    DrawScope scope;
    if (!scope.ok() || r < 0 || x1 - x0 < 2 * r || y1 - y0 < 2 * r) return;
    GUI_CONTEXT* c = scope.ctx();
    // Round rectangles are drawn at factor 4 whatever the context says.
    const uint8_t saved = c->aa_factor;
    c->aa_factor = 4;
    x0 += c->origin_x;
    x1 += c->origin_x;
    y0 += c->origin_y;
    y1 += c->origin_y;
    const Paint paint = MakePaint(c->draw_colour);
    if (r == 0) {
        // Square corners: every pixel of the rectangle is covered whole.
        ForEachClip(Box{x0, y0, x1, y1}, [&] { FillBox(x0, y0, x1, y1, paint); });
        c->aa_factor = saved;
        return;
    }
    // Corner circles of radius r + 0.5 around the centres of the pixels r in from the corners,
    // so a corner spans r + 1 pixels like a circle of radius r.
    if (!AnyClipMeets(Box{x0, y0, x1, y1})) {
        c->aa_factor = saved;
        return;
    }
    const double rr = r + 0.5;
    OutlineBegin();
    OutlineRoundBox(x0 + r + 0.5, y0 + r + 0.5, x1 - r + 0.5, y1 - r + 0.5, rr, rr, false);
    // Only the corner rows need coverage; the rows between them are solid.
    const int solid0 = y0 + r + 1, solid1 = y1 - r - 1;
    if (solid0 > solid1) {
        OutlineFill(Box{x0, y0, x1, y1}, paint);
    } else {
        OutlineFill(Box{x0, y0, x1, solid0 - 1}, paint);
        ForEachClip(Box{x0, solid0, x1, solid1}, [&] { FillBox(x0, solid0, x1, solid1, paint); });
        OutlineFill(Box{x0, solid1 + 1, x1, y1}, paint);
    }
    c->aa_factor = saved;
}
