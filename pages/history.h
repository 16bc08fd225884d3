// The history graph page: two columns of the current data log drawn as two curves over a
// chosen time range (12 hours to 32 days, one point per 1 to 64 logged minutes), with a time
// axis, a value axis per curve, three drop-down lists to pick the columns and the range, and a
// readout cursor that shows both values under the pointer.
//
// Everything runs on the GUI task: the build and the loads from the page, the per-minute update
// from the data log's line-added hook. The log file is opened and closed by each operation.
#pragma once

#include "gui/toolkit/widgets/graph.h"
#include "gui/toolkit/wm/wm.h"

#include <cstdint>

// Widget ids on the "Graph" page window.
constexpr int HISTORY_ID_GRAPH = 544;
constexpr int HISTORY_ID_STATUS = 352;
constexpr int HISTORY_ID_TIME_LABEL = 353;
constexpr int HISTORY_ID_CURVE1_LABEL = 354;
constexpr int HISTORY_ID_CURVE2_LABEL = 355;
constexpr int HISTORY_ID_RANGE = 384;
constexpr int HISTORY_ID_CURVE1 = 385;
constexpr int HISTORY_ID_CURVE2 = 386;

// Creates the page's widgets on the page window (the curve lists are filled from the log's
// first header line). Returns 0, or -1 when the log cannot be opened (nothing is built).
// The caller loads the history right after.
int HISTORY_Build(WM_HANDLE page);

// Reads the log again into the curves for the current selections. 0, or -1 when the page is
// not built or the log cannot be opened (the curves keep what they show).
int HISTORY_Load();

// The data log's line-added hook: install it with LOG_SetLineAddedHook(HISTORY_AddLine).
// Adds the newest logged line at the range's pace and rescales when it leaves the range.
void HISTORY_AddLine();

// The reaction to a drop-down change code: a change reloads the history.
void processbuttonScrollLeft(int code);

// The device page hands every notification of ids 384 to 386 here. A change of a curve list
// also disables the chosen column in the other curve's list. Returns 1 when the id is one of
// the page's lists, 0 otherwise.
int HISTORY_OnNotify(int id, int code);

// The save key (Ctrl+S) on the Graph tab: the span and the two columns on show, over every log
// file of the span, go into the data folder as "history_YYYYMMDD_HHMMSS_mmm.csv" and ".png"
// (named like the screenshots), and the status banner says so for two seconds. Nothing happens
// unless the page is on show (or `shown_or_not`). 0, or -1 when nothing was written.
int HISTORY_SaveSpan(bool shown_or_not = false);
// The base name ("history_...") of the files the last save wrote, empty before one.
const char* HISTORY_LastSaveName();

// The curve (0 or 1) as the graph holds it, 0 before the page is built.
GRAPH_HSERIES HISTORY_Series(int curve);

// ---- Arithmetic (pure, no widgets) ----------------------------------------------------------

constexpr int HISTORY_POINTS = 721;     // points per curve, one per pixel of the data area
constexpr int HISTORY_RING_SLOTS = 722; // pairs kept for a replay
constexpr int HISTORY_RANGE_COUNT = 7;

// The time ranges in list order: the text shown and the logged minutes per point.
struct HistoryRange {
    const char* text;
    int32_t step;
};
extern const HistoryRange HISTORY_Ranges[HISTORY_RANGE_COUNT];

// Rounds a curve's minimum and maximum (min <= 0 <= max, as the page folds its values from 0)
// out to axis limits: multiples of 3, 5 or 4 per decade, the negative side a fifth, a half or
// the same as the positive side.
void HISTORY_RoundRange(int32_t* min, int32_t* max);

// How a curve of a rounded range is drawn: pixels per unit over the 300-pixel curve height,
// and its value axis.
struct HistoryScale {
    float factor;      // pixels per value unit
    int axis_offset;   // pixels from the bottom to the value 0
    float axis_factor; // value per pixel as the axis labels show it
    int decimals;
};
HistoryScale HISTORY_ComputeScale(int32_t min, int32_t max, bool is_float);

// The curve pixel of a value: (value - min) x factor, rounded half away from zero, held in
// the 16 bits of a curve value.
int16_t HISTORY_ScaleValue(int32_t value, int32_t min, float factor);

// A logged field as the page holds it: a float column x 1000 in single precision, truncated;
// an integer column as a decimal number. Out-of-range text is clamped, no number gives 0.
int32_t HISTORY_ParseValue(const char* text, bool is_float);

// The stored value shown again in a readout box ("%.1f" of a float column, "%d" otherwise).
void HISTORY_FormatReadout(char* buffer, int size, int16_t stored, float factor, int32_t min,
                           bool is_float);

// The ring of the last pairs: appending past the last slot wraps to slot 0; a full ring drops
// its oldest pending pair.
struct HistoryPair {
    int32_t v[2];
    bool gap = false; // no line at this point's minutes: drawn as a gap, never read out
};
struct HistoryRing {
    HistoryPair slot[HISTORY_RING_SLOTS];
    int write = 0;
    int read = 0;
    int32_t count = 0; // pairs appended since the ring was emptied
};
void HISTORY_RingClear(HistoryRing* ring);
void HISTORY_RingAppend(HistoryRing* ring, HistoryPair pair);
bool HISTORY_RingPending(const HistoryRing* ring);
HistoryPair HISTORY_RingRead(HistoryRing* ring);
// Moves the read position to the oldest of the newest 721 pairs, for a full replay.
void HISTORY_RingRewind(HistoryRing* ring);

// The curve index under a cursor at pixel column c of the data area (0 to 720) for a curve
// of `stored` values drawn with the newest at column 720; -1 over the empty part.
int HISTORY_CursorIndex(int column, int stored);

// Where the two readout boxes go (top-left corners in graph coordinates) for a cursor at x and
// the two points' y, inside a graph of the given size with its data-area margins.
struct HistoryBox {
    int x;
    int y;
};
constexpr int HISTORY_BOX_W = 50;
constexpr int HISTORY_BOX_H = 20;
void HISTORY_PlaceBoxes(int cursor_x, int y1, int y2, int graph_w, int graph_h, HistoryBox* box1,
                        HistoryBox* box2);
