// Palette bitmaps (the button widget's pictures).
#include "gui/toolkit/draw/draw_internal.h"
#include "gui/toolkit/draw/gui_draw.h"

using namespace gui_draw;

void GUI_BlitPicture(const GUI_PICTURE* picture, int x, int y) {
    DrawScope scope;
    if (!scope.ok() || picture == nullptr || picture->data == nullptr ||
        picture->palette == nullptr || picture->palette->colours == nullptr)
        return;
    const int bpp = picture->bits_per_pixel;
    if (bpp != 1 && bpp != 2 && bpp != 4 && bpp != 8) return;
    if (picture->bytes_per_line * 8 < picture->x_size * bpp) return;
    const GUI_CONTEXT* c = scope.ctx();
    const GUI_LOGPALETTE& pal = *picture->palette;
    const int sx = x + c->origin_x;
    const int sy = y + c->origin_y;
    const unsigned mask = (1u << bpp) - 1;
    ForEachClip(Box{sx, sy, sx + picture->x_size - 1, sy + picture->y_size - 1}, [&] {
        for (int row = g_clip.y0 - sy; row <= g_clip.y1 - sy; ++row) {
            const uint8_t* line = picture->data + row * picture->bytes_per_line;
            // Runs of one palette index become one span.
            int col = g_clip.x0 - sx;
            const int last = g_clip.x1 - sx;
            while (col <= last) {
                const int bit = col * bpp;
                const unsigned index = (line[bit >> 3] >> (8 - bpp - (bit & 7))) & mask;
                int end = col + 1;
                while (end <= last) {
                    const int b = end * bpp;
                    if (((line[b >> 3] >> (8 - bpp - (b & 7))) & mask) != index) break;
                    ++end;
                }
                const bool transparent = index == 0 && pal.has_trans != 0;
                if (!transparent && static_cast<int>(index) < pal.num_entries)
                    FillSpan(sx + col, sx + end - 1, sy + row, MakePaint(pal.colours[index]));
                col = end;
            }
        }
    });
}
