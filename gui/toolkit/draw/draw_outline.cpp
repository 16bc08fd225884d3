// Outlines of straight edges filled with exact area coverage. Curves become chords that
// straddle the curve, close enough that a pixel's coverage is off by about one level in 255
// at most.
//
// The fill runs a row at a time over the edges crossing the row. Each edge adds, in every
// pixel cell it passes, the height it crosses there (its cover, which also reaches every pixel
// to its right) and that height times the part of the cell right of it (its area). A sweep
// over the touched cells in x order then gives each touched pixel cover-so-far plus its area,
// and fills the runs between touched cells as plain spans: the coverage is constant there.
#include "gui/toolkit/draw/draw_internal.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace gui_draw {
namespace {

struct Edge {
    double x0, y0, x1, y1; // y0 < y1
    double dxdy;
    double dydx; // infinite for an upright edge
    int dir;     // +1 if the outline runs downwards here, -1 upwards
};

Edge g_edges[kMaxOutlineEdges];
int g_edge_count = 0;
bool g_broken = false; // too many edges or a non-finite point: the outline draws nothing
double g_minx, g_miny, g_maxx, g_maxy;
double g_first_x, g_first_y, g_last_x, g_last_y;
bool g_open = false;

// One row of cells, indexed by column - g_clip.x0, and a bit per touched cell: walking the
// set bits visits the cells in x order without sorting them.
constexpr int kRowCells = GUI_MAX_TARGET_SIZE + 1;
constexpr int kRowWords = (kRowCells + 63) / 64;
double g_cover[kRowCells];
double g_area[kRowCells];
uint64_t g_touched[kRowWords];
int g_first_word = kRowWords; // the touched words lie in [g_first_word, g_last_word]
int g_last_word = -1;
double g_left_cover = 0; // cover of the edge parts left of the clip box

// Edges by the clip row they start in, and the edges crossing the current row.
int g_head[GUI_MAX_TARGET_SIZE];
int g_next[kMaxOutlineEdges];
int g_active[kMaxOutlineEdges];

void AddEdge(double xa, double ya, double xb, double yb) {
    if (ya == yb) return; // a horizontal edge covers nothing
    if (g_edge_count >= kMaxOutlineEdges) {
        g_broken = true;
        return;
    }
    Edge& e = g_edges[g_edge_count++];
    e.dir = ya < yb ? 1 : -1;
    if (ya > yb) {
        std::swap(xa, xb);
        std::swap(ya, yb);
    }
    e.x0 = xa;
    e.y0 = ya;
    e.x1 = xb;
    e.y1 = yb;
    e.dxdy = (xb - xa) / (yb - ya);
    e.dydx = xa == xb ? 1e300 : (yb - ya) / (xb - xa);
}

inline void Cell(int col, double cover, double mid) {
    const int i = col - g_clip.x0;
    const int w = i >> 6;
    const uint64_t bit = uint64_t{1} << (i & 63);
    if ((g_touched[w] & bit) == 0) {
        g_touched[w] |= bit;
        g_first_word = std::min(g_first_word, w);
        g_last_word = std::max(g_last_word, w);
        g_cover[i] = 0;
        g_area[i] = 0;
    }
    g_cover[i] += cover;
    g_area[i] += cover * (col + 1 - mid);
}

// A piece of an edge with slope dydx inside the current row, from (xa, ya) to (xb, yb),
// ya < yb.
void AddPiece(double xa, double ya, double xb, double yb, double dydx, int dir) {
    const double lo = g_clip.x0;
    const double hi = g_clip.x1 + 1.0;
    double xl = xa, yl = ya, xr = xb, yr = yb;
    if (xl > xr) {
        std::swap(xl, xr);
        std::swap(yl, yr);
    }
    if (xr <= lo) {
        g_left_cover += dir * (yb - ya);
        return;
    }
    if (xl >= hi) return; // reaches no pixel of the box
    // From here on xl < xr, so the edge is not upright and dydx is finite.
    if (xl < lo) {
        const double ys = yl + (lo - xl) * dydx;
        g_left_cover += dir * std::fabs(ys - yl);
        xl = lo;
        yl = ys;
    }
    if (xr > hi) {
        yr = yl + (hi - xl) * dydx;
        xr = hi;
    }
    int col = static_cast<int>(xl); // xl >= 0
    if (xr <= col + 1.0) {
        Cell(col, dir * std::fabs(yr - yl), (xl + xr) / 2);
        return;
    }
    double x = xl, y = yl;
    for (;;) {
        const double nx = std::min(col + 1.0, xr);
        const double ny = nx >= xr ? yr : yl + (nx - xl) * dydx;
        Cell(col, dir * std::fabs(ny - y), (x + nx) / 2);
        if (nx >= xr) break;
        x = nx;
        y = ny;
        ++col;
    }
}

// Coverage to 1/4096 steps first, so that values a rounding error apart (mirror images of one
// shape) blend alike.
inline uint32_t Alpha(double coverage, uint32_t opacity) {
    const double c = std::min(std::fabs(coverage), 1.0);
    const uint32_t level = static_cast<uint32_t>(c * 4096.0 + 0.5);
    return (opacity * level + 2048) >> 12;
}

// Returns whether it wrote anything.
inline bool Run(uint32_t* row, int x0, int x1, double coverage, Paint paint) {
    const uint32_t alpha = Alpha(coverage, paint.opacity);
    if (alpha == 0) return false;
    if (alpha >= 255) {
        FillRun(row + x0, x1 - x0 + 1, paint.pixel);
    } else {
        for (int x = x0; x <= x1; ++x)
            row[x] = Blend(row[x], paint.pixel, alpha);
    }
    return true;
}

void FlushRow(int y, Paint paint) {
    if (g_first_word > g_last_word && Alpha(g_left_cover, 255) == 0) {
        g_left_cover = 0;
        return;
    }
    uint32_t* row = ClipRow(y);
    double acc = g_left_cover;
    int x = g_clip.x0;
    bool changed = false;
    for (int w = g_first_word; w <= g_last_word; ++w) {
        uint64_t bits = g_touched[w];
        g_touched[w] = 0;
        while (bits != 0) {
            const int i = w * 64 + std::countr_zero(bits);
            bits &= bits - 1;
            const int col = g_clip.x0 + i;
            if (col > x) changed |= Run(row, x, col - 1, acc, paint);
            const uint32_t alpha = Alpha(acc + g_area[i], paint.opacity);
            if (alpha != 0) {
                row[col] = alpha >= 255 ? paint.pixel : Blend(row[col], paint.pixel, alpha);
                changed = true;
            }
            acc += g_cover[i];
            x = col + 1;
        }
    }
    if (x <= g_clip.x1) changed |= Run(row, x, g_clip.x1, acc, paint);
    if (changed) MarkChanged();
    g_first_word = kRowWords;
    g_last_word = -1;
    g_left_cover = 0;
}

void FillClipBox(Paint paint) {
    const int rows = g_clip.y1 - g_clip.y0 + 1;
    const double top = g_clip.y0, bottom = g_clip.y1 + 1.0;
    std::fill(g_head, g_head + rows, -1);
    for (int i = g_edge_count - 1; i >= 0; --i) {
        const Edge& e = g_edges[i];
        if (e.y1 <= top || e.y0 >= bottom) continue;
        const double start = std::floor(e.y0) - top;
        const int r = start <= 0 ? 0 : static_cast<int>(start);
        g_next[i] = g_head[r];
        g_head[r] = i;
    }
    int active = 0;
    for (int r = 0; r < rows; ++r) {
        for (int i = g_head[r]; i >= 0; i = g_next[i])
            g_active[active++] = i;
        const double ya0 = g_clip.y0 + r, yb0 = ya0 + 1.0;
        int kept = 0;
        for (int k = 0; k < active; ++k) {
            const Edge& e = g_edges[g_active[k]];
            const double ya = std::max(e.y0, ya0);
            const double yb = std::min(e.y1, yb0);
            if (ya < yb) {
                const double xa = ya == e.y0 ? e.x0 : e.x0 + (ya - e.y0) * e.dxdy;
                const double xb = yb == e.y1 ? e.x1 : e.x0 + (yb - e.y0) * e.dxdy;
                AddPiece(xa, ya, xb, yb, e.dydx, e.dir);
            }
            if (e.y1 > yb0) g_active[kept++] = g_active[k];
        }
        active = kept;
        FlushRow(g_clip.y0 + r, paint);
    }
}

// cos(k * 90 / n degrees) for k = 0 .. n, the quarter turn every round contour is made of.
// A few of them are kept: a gauge's ring and its value arc, or the corners of the round
// rectangles of a tile, ask for the same few again and again.
constexpr int kQuarterTables = 4;
double g_quarter[kQuarterTables][kMaxQuarterChords + 1];
int g_quarter_n[kQuarterTables] = {};
int g_quarter_next = 0; // the table to replace next

const double* QuarterTable(int n) {
    for (int t = 0; t < kQuarterTables; ++t)
        if (g_quarter_n[t] == n) return g_quarter[t];
    const int t = g_quarter_next;
    g_quarter_next = (t + 1) % kQuarterTables;
    for (int k = 0; k < n; ++k)
        g_quarter[t][k] = std::cos(k * (M_PI / 2) / n);
    g_quarter[t][n] = 0;
    g_quarter_n[t] = n;
    return g_quarter[t];
}

void Include(double x0, double y0, double x1, double y1) {
    g_minx = std::min(g_minx, x0);
    g_miny = std::min(g_miny, y0);
    g_maxx = std::max(g_maxx, x1);
    g_maxy = std::max(g_maxy, y1);
}

} // namespace

int QuarterChords(double radius) {
    if (!(radius > 0)) return 2;
    // Straddling chords of angle t stray from the circle by radius * tan(t / 4)^2.
    const double t = 4.0 * std::atan(std::sqrt(kMaxChordStray / radius));
    const double n = std::ceil((M_PI / 2) / t);
    return static_cast<int>(std::clamp(n, 2.0, double{kMaxQuarterChords}));
}

double ChordStray(double radius, int quarter_chords) {
    const double c = std::cos((M_PI / 4) / quarter_chords);
    return radius * (1 - c) / (1 + c);
}

double StraddleScale(int quarter_chords) {
    return 2.0 / (1.0 + std::cos((M_PI / 4) / quarter_chords));
}

void OutlineBegin() {
    g_edge_count = 0;
    g_broken = false;
    g_open = false;
    g_minx = g_miny = 1e30;
    g_maxx = g_maxy = -1e30;
}

void OutlineClose() {
    if (!g_open) return;
    AddEdge(g_last_x, g_last_y, g_first_x, g_first_y);
    g_open = false;
}

void OutlineMoveTo(double x, double y) {
    OutlineClose();
    if (!std::isfinite(x) || !std::isfinite(y)) {
        g_broken = true;
        return;
    }
    g_first_x = g_last_x = x;
    g_first_y = g_last_y = y;
    Include(x, y, x, y);
    g_open = true;
}

void OutlineLineTo(double x, double y) {
    if (!g_open) return OutlineMoveTo(x, y);
    if (!std::isfinite(x) || !std::isfinite(y)) {
        g_broken = true;
        return;
    }
    AddEdge(g_last_x, g_last_y, x, y);
    g_last_x = x;
    g_last_y = y;
    Include(x, y, x, y);
}

void OutlineRoundBox(double cl, double ct, double cr, double cb, double rx, double ry,
                     bool reverse) {
    OutlineClose();
    if (!std::isfinite(cl + ct + cr + cb + rx + ry)) {
        g_broken = true;
        return;
    }
    const int n = QuarterChords(std::max(rx, ry));
    const double* c = QuarterTable(n);
    const double s = StraddleScale(n);
    // One quarter's points from 3 o'clock (i = 0) to 12 o'clock (i = n), from the corner
    // centre. The ends stay on the curve: they are its extremes, and the straight sides of a
    // box continue from them; the chords between them straddle it.
    double px[kMaxQuarterChords + 1];
    double py[kMaxQuarterChords + 1];
    for (int i = 0; i <= n; ++i) {
        const double f = i == 0 || i == n ? 1.0 : s;
        px[i] = rx * f * c[i];
        py[i] = ry * f * c[n - i];
    }
    // Only the edges and their directions matter to the fill, not their order: the four
    // quarters counter-clockwise on screen, then the left and right sides (top and bottom are
    // level and cover nothing). Reversed, every edge runs the other way.
    auto edge = [reverse](double xa, double ya, double xb, double yb) {
        if (reverse) {
            AddEdge(xb, yb, xa, ya);
        } else {
            AddEdge(xa, ya, xb, yb);
        }
    };
    for (int i = 0; i < n; ++i) {
        edge(cr + px[i], ct - py[i], cr + px[i + 1], ct - py[i + 1]);
        edge(cl - px[i + 1], ct - py[i + 1], cl - px[i], ct - py[i]);
        edge(cl - px[i], cb + py[i], cl - px[i + 1], cb + py[i + 1]);
        edge(cr + px[i + 1], cb + py[i + 1], cr + px[i], cb + py[i]);
    }
    edge(cl - rx, ct, cl - rx, cb);
    edge(cr + rx, cb, cr + rx, ct);
    Include(cl - rx, ct - ry, cr + rx, cb + ry);
}

void OutlineEllipseArc(double cx, double cy, double rx, double ry, double t0, double t1,
                       bool first) {
    const int quarter = QuarterChords(std::max(rx, ry));
    const double s = StraddleScale(quarter);
    const double sweep = t1 - t0;
    const int n = std::max(1, static_cast<int>(std::ceil(std::fabs(sweep) / (M_PI / 2) * quarter)));
    const double step = sweep / n;
    const double cs = std::cos(step), sn = std::sin(step);
    double u = std::cos(t0), v = std::sin(t0);
    for (int k = 0; k <= n; ++k) {
        if (k == n) {
            u = std::cos(t1);
            v = std::sin(t1);
        }
        const double f = k == 0 || k == n ? 1.0 : s; // the ends stay on the curve
        const double x = cx + rx * f * u, y = cy - ry * f * v;
        if (k == 0 && first) {
            OutlineMoveTo(x, y);
        } else {
            OutlineLineTo(x, y);
        }
        const double nu = u * cs - v * sn;
        v = u * sn + v * cs;
        u = nu;
    }
}

void OutlineFill(const Box& limit, Paint paint) {
    OutlineClose();
    if (g_broken || g_edge_count == 0 || paint.opacity == 0) return;
    auto clampi = [](double v) { return static_cast<int>(std::clamp(v, -1e6, 1e6)); };
    const Box bounds{std::max(limit.x0, clampi(std::floor(g_minx))),
                     std::max(limit.y0, clampi(std::floor(g_miny))),
                     std::min(limit.x1, clampi(std::ceil(g_maxx))),
                     std::min(limit.y1, clampi(std::ceil(g_maxy)))};
    ForEachClip(bounds, [&] { FillClipBox(paint); });
}

} // namespace gui_draw
