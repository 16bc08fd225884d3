// Immediate drawing on the current context: setters, text, shapes, bitmaps and JPEG.
// Every operation takes the toolkit lock, adds the drawing origin to its coordinates (window
// pixels) and draws only inside the clip rectangles and the display.
#pragma once

#include "gui/toolkit/draw/gui_context.h"

#include <cstddef>
#include <cstdint>

// Context setters and getters.
void GUI_SetDrawColor(GUI_COLOUR colour);
void GUI_SetBackColor(GUI_COLOUR colour);
GUI_COLOUR GUI_GetDrawColor();
GUI_COLOUR GUI_GetBackColor();
uint8_t GUI_SetLineWidth(uint8_t width); // returns the previous width
uint8_t GUI_GetLineWidth();
int GUI_SetTextDrawMode(int mode); // returns the previous mode
int GUI_SetTextAlign(int align);   // returns the previous alignment
int GUI_GetTextAlign();
// Selects the font unless null; returns the previously selected font (null only queries).
const GUI_FONTDEF* GUI_SelectFont(const GUI_FONTDEF* font);
int GUI_GetFontHeight(); // cell height x y magnification; 0 without a font
int GUI_GetFontLineDist();
int GUI_GetTextWidth(const char* text); // sum of the advances (the widest line)
// 1 to 6; other values are ignored. Returns the previous factor. At 2 to 6 anti-aliased shapes
// blend each pixel by the area they cover in it, alike for every factor; at 1 they draw the
// pixels whose centres they cover, without anti-aliasing.
int GUI_SetAAFactor(int factor);
int GUI_GetAAFactor();
// Alpha mode: colours set while it is on keep their alpha byte and blend with the screen.
// Returns 1 if the mode changed.
int GUI_EnableAlphaBlending(int on);
int GUI_NowMs(); // milliseconds since start

// Text output. Text is zero-terminated Latin-1; a newline starts the next line one line
// distance lower; a null text draws nothing.
void GUI_PrintAt(const char* text, int x, int y);
// As GUI_PrintAt, centred on x for this call only; y is the top of the text.
void GUI_PrintCenteredAt(const char* text, int x, int y);
void GUI_PrintInRect(const char* text, const GUI_RECT* rect, int align);
void GUI_PrintInRectMax(const char* text, const GUI_RECT* rect, int align, int max_chars);
void GUI_PrintCharAt(uint16_t c, int x, int y); // top-left of the cell at (x, y)
// Where the next character would go (window coordinates of its cell's top-left).
void GUI_GetTextPos(int* x, int* y);

// Shapes.
void GUI_ClearWindow(); // the whole clip area in the background colour
void GUI_FillRectangle(int x0, int y0, int x1, int y1);
void GUI_FillRectangleR(const GUI_RECT* rect);
void GUI_DrawPixel(int x, int y);
void GUI_DrawLinePlain(int x0, int y0, int x1, int y1);
void GUI_DrawLineAA(int x0, int y0, int x1, int y1);
void GUI_OutlineCircle(int xc, int yc, int r);
void GUI_FillCircleAA(int xc, int yc, int r);
// The points are offsets added to (x, y); at most GUI_MAX_POLYGON_POINTS.
constexpr int GUI_MAX_POLYGON_POINTS = 256;
void GUI_FillPolygonAA(const GUI_POINT* points, int count, int x, int y);
// Degrees, 0 at 3 o'clock, counter-clockwise; an end below the start draws nothing.
void GUI_DrawArcAA(int xc, int yc, int rx, int ry, int a0, int a1);
void GUI_DrawRoundRect(int x0, int y0, int x1, int y1, int r);
void GUI_DrawRoundFrame(int x0, int y0, int x1, int y1, int r, int w);
void GUI_FillRoundRectAA(int x0, int y0, int x1, int y1, int r);
void GUI_FillGradientH(int x0, int y0, int x1, int y1, GUI_COLOUR c0, GUI_COLOUR c1);
void GUI_FillGradientV(int x0, int y0, int x1, int y1, GUI_COLOUR c0, GUI_COLOUR c1);
void GUI_FillRoundRectGradient(int x0, int y0, int x1, int y1, int r, GUI_COLOUR c0, GUI_COLOUR c1);

// Palette bitmaps.
struct GUI_LOGPALETTE {
    int32_t num_entries;
    uint8_t has_trans; // entry 0 is transparent
    const GUI_COLOUR* colours;
};

struct GUI_PICTURE {
    uint16_t x_size;
    uint16_t y_size;
    uint16_t bytes_per_line;
    uint16_t bits_per_pixel; // 1, 2, 4 or 8; most significant bits leftmost
    const uint8_t* data;
    const GUI_LOGPALETTE* palette;
    const void* methods; // null for palette bitmaps
};

void GUI_BlitPicture(const GUI_PICTURE* picture, int x, int y);

// Decodes a JPEG held in memory and draws it with its top-left at (x, y). A corrupt or
// truncated file gives a "GUI_JPEG:" warning and draws what could be decoded, or nothing.
// Returns 0 when the whole picture was decoded, 1 otherwise.
int GUI_DrawJPEG(const void* data, size_t size, int x, int y);
// Reads a JPEG file whole and draws it: -1 (nothing drawn) when the file cannot be read,
// else the result of GUI_DrawJPEG.
int GUI_DrawJPEGFile(const char* path, int x, int y);
