// Graph: a data area inside margins with a grid, time-series curves of int16 values plotted
// one pixel per value with the newest at the right edge, numbered axes, and an overlay function
// the owner draws with at three stages of each paint.
#pragma once

#include "gui/toolkit/wm/wm.h"

#include <cstdint>

using GRAPH_HSERIES = GUI_HMEM;
using GRAPH_HAXIS = GUI_HMEM;

// Curves and axes one graph holds; further attachments are refused.
constexpr int GRAPH_MAX_SERIES = 8;
constexpr int GRAPH_MAX_AXES = 4;

// Colour indexes: data area, border, frame line around the data area, grid lines.
constexpr int GRAPH_CI_DATA = 0;
constexpr int GRAPH_CI_BORDER = 1;
constexpr int GRAPH_CI_FRAME = 2;
constexpr int GRAPH_CI_GRID = 3;

// The stages of a paint the overlay function is called at.
constexpr int GRAPH_STAGE_BACKGROUND = 0;  // after filling the data area
constexpr int GRAPH_STAGE_BEFORE_DATA = 1; // after grid and border
constexpr int GRAPH_STAGE_AFTER_ALL = 2;   // last, clipped to the whole graph
using GRAPH_OVERLAY_FN = void (*)(WM_HANDLE graph, int stage);

WM_HANDLE GRAPH_Make(int x0, int y0, int x_size, int y_size, WM_HANDLE parent, uint32_t flags,
                     int type_flags, int id);
WM_HANDLE GRAPH_CreateUser(int x0, int y0, int x_size, int y_size, WM_HANDLE parent, uint32_t flags,
                           int type_flags, int id, int user_bytes);
void GRAPH_PutMargins(WM_HANDLE win, int left, int top, int right, int bottom);
// Returns the previous colour; an index of 4 or more is ignored (returns 0).
GUI_COLOUR GRAPH_PutColor(WM_HANDLE win, GUI_COLOUR colour, int index);
void GRAPH_ShowGrid(WM_HANDLE win, int on);
void GRAPH_PutGridSpacingX(WM_HANDLE win, int pixels);
void GRAPH_PutGridSpacingY(WM_HANDLE win, int pixels);
void GRAPH_PutOverlayFn(WM_HANDLE win, GRAPH_OVERLAY_FN fn);
// The graph owns what is attached to it from then on and frees it with itself.
void GRAPH_Attach(WM_HANDLE win, GRAPH_HSERIES series);
void GRAPH_AttachAxis(WM_HANDLE win, GRAPH_HAXIS axis);
// The data area (the client area less the margins), in the graph's coordinates.
void GRAPH_GetDataRect(WM_HANDLE win, GUI_RECT* rect);
// The graph's window procedure, for procedures that replace it and chain to it.
void GRAPH_DefaultProc(WM_MSG_RECORD* msg);
int GRAPH_ReadUserBytes(WM_HANDLE win, void* buffer, int n);
int GRAPH_WriteUserBytes(WM_HANDLE win, const void* buffer, int n);

// A curve for up to capacity values (1 to 32767), starting with the given ones (values may be
// null, count 0). 0 when the heap has no room.
GRAPH_HSERIES GRAPH_SERIES_Create(GUI_COLOUR colour, int capacity, const int16_t* values,
                                  int count);
// A curve value that is no point: the curve has a gap there (no line across it).
constexpr int16_t GRAPH_NO_VALUE = 0x7FFF;

// Appends a value; when full, the oldest is dropped. Ignored unless attached to a graph.
void GRAPH_SERIES_Push(GRAPH_HSERIES series, int16_t value);
void GRAPH_SERIES_Clear(GRAPH_HSERIES series);
// Copies the value at the index: 0, or 1 when not attached or the index is not a stored value.
int GRAPH_SERIES_ReadAt(GRAPH_HSERIES series, int16_t* value, int index);
int GRAPH_SERIES_Count(GRAPH_HSERIES series);
// Frees a series that was never attached (an attached one goes with its graph).
void GRAPH_SERIES_Delete(GRAPH_HSERIES series);

// An axis at position (y of a horizontal axis, x of a vertical one, in the graph's
// coordinates) with labels every tick_distance pixels (at least 1); orientation 0 horizontal,
// 1 vertical. 0 when the heap has no room.
GRAPH_HAXIS GRAPH_AXIS_Create(int position, int text_align, int orientation, int tick_distance);
// label = (pixel distance - offset) x factor, with the decimals (0 to 9).
void GRAPH_AXIS_PutFactor(GRAPH_HAXIS axis, float factor);
void GRAPH_AXIS_PutDecimals(GRAPH_HAXIS axis, int decimals);
void GRAPH_AXIS_PutOffset(GRAPH_HAXIS axis, int pixels);
void GRAPH_AXIS_PutTextColor(GRAPH_HAXIS axis, GUI_COLOUR colour);
void GRAPH_AXIS_PutFont(GRAPH_HAXIS axis, const GUI_FONTDEF* font);
void GRAPH_AXIS_Delete(GRAPH_HAXIS axis);
