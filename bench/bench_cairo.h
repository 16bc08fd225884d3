// The cairo side of the benchmarks: one 800 x 480 ARGB32 surface for the whole run, our
// colours (0xBBGGRR) as cairo sources, and a round rectangle path.
#pragma once

#include "gui/toolkit/draw/gui_draw.h"

#include <cairo.h>
#include <cmath>

namespace benchcairo {

struct Cairo {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 800, 480);
    cairo_t* cr = cairo_create(surface);
    ~Cairo() {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
};

inline Cairo& C() {
    static Cairo c;
    return c;
}

inline void Rgb(cairo_t* cr, GUI_COLOUR c) {
    cairo_set_source_rgb(cr, (c & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0,
                         ((c >> 16) & 0xFF) / 255.0);
}

inline void RoundRect(cairo_t* cr, double x0, double y0, double x1, double y1, double r) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x1 - r, y0 + r, r, -M_PI / 2, 0);
    cairo_arc(cr, x1 - r, y1 - r, r, 0, M_PI / 2);
    cairo_arc(cr, x0 + r, y1 - r, r, M_PI / 2, M_PI);
    cairo_arc(cr, x0 + r, y0 + r, r, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

} // namespace benchcairo
