#include "pages/history.h"

#include "base/datafolder.h"
#include "base/dbg.h"
#include "base/palette.h"
#include "config/settings.h"
#include "elements/status.h"
#include "gui/toolkit/core/gui_init.h"
#include "gui/toolkit/core/gui_lock.h"
#include "gui/toolkit/draw/gui_draw.h"
#include "gui/toolkit/gui_font.h"
#include "gui/toolkit/lang/gui_lang.h"
#include "gui/toolkit/widgets/dropdown.h"
#include "gui/toolkit/widgets/graph.h"
#include "gui/toolkit/widgets/text.h"
#include "devices/device_list.h"
#include "log/log.h"
#include "log/log_scan.h"
#include "logexport/logexport.h"
#include "pages/info.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <chrono>
#include <ctime>
#include <string>
#include <vector>

// The texts keep their double blanks: they line up in the list's font as on the display unit.
const HistoryRange HISTORY_Ranges[HISTORY_RANGE_COUNT] = {
    {"12 Hours", 1}, {"24 Hours", 2}, {"2  Days", 4},  {"4  Days", 8},
    {"8  Days", 16}, {"16 Days", 32}, {"32 Days", 64},
};

namespace {

// ---- Layout and colours ----

constexpr int kGraphX = 5;
constexpr int kGraphY = 61;
constexpr int kGraphW = 785;
constexpr int kGraphH = 325;
constexpr int kMarginLeft = 32;
constexpr int kMarginTop = 12;
constexpr int kMarginRight = 32;
constexpr int kMarginBottom = 12;
constexpr int kCurveHeight = 300; // pixels a curve spans from its minimum to its maximum

constexpr GUI_COLOUR kCurveColour[2] = {0x00FF00, 0x0000FF}; // green, red
constexpr GUI_COLOUR kWhite = PALETTE_WHITE;
constexpr GUI_COLOUR kYellow = PALETTE_YELLOW;
constexpr GUI_COLOUR kDarkGrey = PALETTE_DARK_GREY;
constexpr int kLabelAlign = GUI_ALIGN_RIGHT | GUI_ALIGN_VCENTER;
constexpr int kListTypeFlags = DROPDOWN_CF_AUTOSCROLLBAR;
constexpr int kListScrollbarWidth = 40;

// The readout cursor keeps off the left axis labels and the right margin.
constexpr int kCursorMinX = 35;
constexpr int16_t kNoValue = GRAPH_NO_VALUE;

// Column names and formats are short; a longer field is cut to this.
constexpr int kFieldSize = 128;

const char* const kStatusLoading = "processing database, please wait....";
const char* const kStatusRescale = "Rescale, please wait\n";

// ---- Page state (GUI task only) ----

struct Curve {
    WM_HANDLE list = 0;
    GRAPH_HSERIES series = 0;
    GRAPH_HAXIS axis = 0;
    int32_t field = 1;   // log field: the list's selection + 1 (field 0 is the time stamp)
    char name[128] = {}; // the column's name, to find it in the older files
    bool is_float = false;
    int32_t min = 0;
    int32_t max = 0;
    float factor = 1.0f;
};

struct Page {
    WM_HANDLE graph = 0;
    WM_HANDLE status = 0;
    WM_HANDLE range_list = 0;
    GRAPH_HAXIS time_axis = 0;
    Curve curve[2];
    int32_t step = 1;
    int32_t line_counter = 0;
    HistoryRing ring;
    int cursor_x = -1;
    int cursor_y = -1;
    bool building = false; // list selections made while building reload nothing
    bool busy = false;     // a load or rescale runs (the toolkit runs in between)
    bool reload_wanted = false;
};

Page g_page;

// The points found in the files before the current one, slot k at the span's k-th point.
struct OlderPoints {
    HistoryPair pair[HISTORY_POINTS];
    bool present[HISTORY_POINTS];
};
OlderPoints g_older;
char g_last_save[64] = "";
constexpr int kSaveBannerTimer = 4711; // hides the banner of a save
constexpr int kSaveBannerMs = 2000;
bool g_walked_before_first_line = false; // the walk guessed where the current file begins

// ---- Range arithmetic ----

// The first candidate k x unit x 10^d (k from 1 to last_k, decades d from 0 to 7) that is at
// least the value (or greater than it with `strictly`). False when none is.
bool FirstOnLadder(int64_t value, int64_t unit, int last_k, bool strictly, int64_t* found) {
    for (int decade = 0; decade < 8; ++decade, unit *= 10) {
        for (int k = 1; k <= last_k; ++k) {
            const int64_t c = k * unit;
            if (strictly ? c > value : c >= value) {
                *found = c;
                return true;
            }
        }
    }
    return false;
}

// Rounds `big` up on the ladders of 5s and of 4s, each with its smaller side (a fifth, a half)
// covering `small`. True when one of them did; `big` keeps the last rounding either way.
bool RoundWithShortSide(int64_t* big, int64_t* small) {
    int64_t c = 0;
    if (FirstOnLadder(*big, 5, 9, false, &c)) {
        *big = c;
        if (c / 5 >= *small) {
            *small = c / 5;
            return true;
        }
    }
    if (FirstOnLadder(*big, 4, 9, false, &c)) {
        *big = c;
        if (c / 2 >= *small) {
            *small = c / 2;
            return true;
        }
    }
    return false;
}

int32_t ClampToInt32(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

int16_t RoundToInt16(float v) {
    if (std::isnan(v)) return 0;
    const float r = std::round(v); // half away from zero
    return static_cast<int16_t>(std::clamp(r, -32768.0f, 32767.0f));
}

// ---- Debug output of the log operations ----

bool OpenLog() {
    if (LOG_OpenRead() == 0) return true;
    DBG_Printf("%s\n", LOG_Path().c_str());
    DBG_Printf("Open File to read write ...ERROR\n");
    return false;
}

void CloseLog() {
    if (LOG_CloseRead() == 0) return;
    DBG_Printf("%s\n", LOG_Path().c_str());
    DBG_Printf("Fileclose Error\n");
}

bool Built() {
    return g_page.graph != 0 && WM_IsWindow(g_page.graph);
}

// Shows a status text and lets the toolkit draw it before the work starts; null hides it.
void ShowStatus(const char* text) {
    if (g_page.status == 0) return;
    if (text != nullptr) {
        TEXT_PutText(g_page.status, text);
        WM_ShowWin(g_page.status);
    } else {
        TEXT_PutText(g_page.status, "");
        WM_HideWin(g_page.status);
    }
    GUI_ExecAll();
}

// ---- Reading the log ----

// Reads the two curves' fields of the line at the reader, lower field first (the readers only
// move forward); one read when both curves use the same field. False at the end of the file
// or on a reader error.
bool ReadPair(HistoryPair* pair, bool convert) {
    char text[2][kFieldSize];
    const int32_t f0 = g_page.curve[0].field;
    const int32_t f1 = g_page.curve[1].field;
    if (f0 == f1) {
        if (LOG_GetField(f0, text[0], kFieldSize) != 0) return false;
        std::memcpy(text[1], text[0], kFieldSize);
    } else {
        const int first = f0 < f1 ? 0 : 1;
        const int second = 1 - first;
        if (LOG_GetField(g_page.curve[first].field, text[first], kFieldSize) != 0) return false;
        if (LOG_GetField(g_page.curve[second].field, text[second], kFieldSize) != 0) return false;
    }
    if (convert) {
        for (int i = 0; i < 2; ++i)
            pair->v[i] = HISTORY_ParseValue(text[i], g_page.curve[i].is_float);
    }
    return true;
}

void FoldIntoRange(const HistoryPair& pair) {
    if (pair.gap) return;
    for (int i = 0; i < 2; ++i) {
        Curve& c = g_page.curve[i];
        c.min = std::min(c.min, pair.v[i]);
        c.max = std::max(c.max, pair.v[i]);
    }
}

// Rounds the curve's range and sets its scale and value axis.
void Rescale(Curve* c) {
    HISTORY_RoundRange(&c->min, &c->max);
    DBG_Printf("minval after%d\n", c->min);
    const HistoryScale scale = HISTORY_ComputeScale(c->min, c->max, c->is_float);
    c->factor = scale.factor;
    GRAPH_AXIS_PutOffset(c->axis, scale.axis_offset);
    GRAPH_AXIS_PutFactor(c->axis, scale.axis_factor);
    GRAPH_AXIS_PutDecimals(c->axis, scale.decimals);
    DBG_Printf("Scale = %f, Max = %d\n", static_cast<double>(c->factor), c->max);
}

void PushPair(const HistoryPair& pair) {
    for (int i = 0; i < 2; ++i) {
        const Curve& c = g_page.curve[i];
        GRAPH_SERIES_Push(c.series, pair.gap ? GRAPH_NO_VALUE
                                             : HISTORY_ScaleValue(pair.v[i], c.min, c.factor));
    }
}

void ReplayPending() {
    while (HISTORY_RingPending(&g_page.ring))
        PushPair(HISTORY_RingRead(&g_page.ring));
}

// ---- The files before the current one ----

int64_t MinuteOf(int64_t seconds) {
    return seconds >= 0 ? seconds / 60 : (seconds - 59) / 60;
}

// When the current file's first line was (or, while it has none, will be) written: its own
// time stamp, or the display unit's clock a minute on. False when neither is known.
bool CurrentFileStart(int32_t written, int64_t* seconds) {
    char text[kFieldSize];
    if (written > 0)
        return LOG_GetLine(2, 0, text, kFieldSize) == 0 && LOGSCAN_ParseTime(text, seconds);
    DeviceClock clock{};
    if (!DEV_ReadClock(&clock)) return false;
    std::snprintf(text, sizeof text, "%02d-%02d-%02d %02d:%02d:%02d", clock.year, clock.month,
                  clock.day, clock.hour, clock.minute, clock.second);
    if (!LOGSCAN_ParseTime(text, seconds)) return false;
    *seconds += 60;
    return true;
}

void ReportToDebug(void*, const char* path, int64_t line, const char* message) {
    DBG_Printf("%s:%lld: %s\n", path, static_cast<long long>(line), message);
}

// A span longer than the current file goes on in the files before it (by number, wrapping
// like the numbering) while they are older than the file after them and have both chosen
// columns under the same names. Positions count logged lines as the current file's do:
// position 1 is the current file's first line, and within a file each line is one position
// before the next. Between two files lie as many positions as minutes passed from the older
// one's last line to the newer one's first: the time without a connection, drawn as a gap.
// The span's points sit at the multiples of the step. Returns the slot of the oldest point
// found (HISTORY_POINTS when none); g_older holds them.
int WalkOlderFiles(int32_t written) {
    const int64_t step = g_page.step;
    std::fill(std::begin(g_older.present), std::end(g_older.present), false);
    g_walked_before_first_line = false;
    int64_t newer_time = 0; // the first line of the file after the one being read
    if (LOG_FileNumber() < 0 || !CurrentFileStart(written, &newer_time)) return HISTORY_POINTS;
    g_walked_before_first_line = written == 0;
    int64_t newer_position = 1;
    const int64_t lowest = written - step * HISTORY_POINTS + 1;
    const int64_t first = lowest + ((step - lowest % step) % step); // the first multiple
    // The two fields of a file's newest lines, as many as the span can still take (at most
    // 64 x 721), kept as text: only the lines that become points are converted.
    struct Fields {
        char text[2][24];
    };
    std::vector<Fields> tail(static_cast<size_t>(std::max<int64_t>(1, 1 - first)));
    int oldest = HISTORY_POINTS;

    LogScan scan;
    int32_t number = LOG_FileNumber();
    for (int32_t files = 0; files < LOG_FILE_NUMBER_LAST && newer_position > first; ++files) {
        number = number == 0 ? LOG_FILE_NUMBER_LAST : number - 1;
        scan.report = nullptr; // a missing or foreign file just ends the walk
        if (LOGSCAN_Open(&scan, LOG_FilePath(number)) != 0) break;
        scan.report = ReportToDebug;
        int column[2];
        const auto find_columns = [&] {
            for (int i = 0; i < 2; ++i)
                column[i] = LOGSCAN_Column(&scan, g_page.curve[i].name);
            scan.last_field = static_cast<size_t>(std::max({column[0], column[1], 0}));
            return column[0] > 0 && column[1] > 0;
        };
        bool stop = !find_columns();
        int32_t changes = 0;
        int64_t lines = 0;
        int64_t first_time = 0;
        int64_t last_time = 0;
        while (!stop && LOGSCAN_Next(&scan) == 1) {
            if (scan.header_changes != changes) {
                changes = scan.header_changes;
                if (!find_columns()) stop = true;
                if (stop) break;
            }
            if (lines == 0) first_time = scan.time;
            last_time = scan.time;
            Fields& kept = tail[static_cast<size_t>(lines % static_cast<int64_t>(tail.size()))];
            for (int i = 0; i < 2; ++i) {
                // Log numbers are short; a longer field is cut (the view is not terminated).
                const std::string_view field = scan.fields[static_cast<size_t>(column[i])];
                const size_t n = std::min(field.size(), sizeof kept.text[i] - 1);
                std::memcpy(kept.text[i], field.data(), n);
                kept.text[i][n] = '\0';
            }
            ++lines;
        }
        LOGSCAN_Close(&scan);
        // Not older than the file after it: a clock set back, or a foreign file.
        if (stop || (lines > 0 && last_time >= newer_time)) break;
        if (lines == 0) continue; // begun and lost before its first minute
        // At least one position apart, also when both lines fall into one minute.
        const int64_t last_position =
            newer_position - std::max<int64_t>(1, MinuteOf(newer_time) - MinuteOf(last_time));
        const int64_t held = std::min<int64_t>(lines, static_cast<int64_t>(tail.size()));
        for (int64_t back = 0; back < held; ++back) {
            const int64_t position = last_position - back;
            if (position < first) break;
            if ((position - first) % step != 0) continue;
            const int slot = static_cast<int>((position - first) / step);
            const int64_t line = lines - 1 - back;
            const Fields& kept =
                tail[static_cast<size_t>(line % static_cast<int64_t>(tail.size()))];
            for (int i = 0; i < 2; ++i)
                g_older.pair[slot].v[i] =
                    HISTORY_ParseValue(kept.text[i], g_page.curve[i].is_float);
            g_older.pair[slot].gap = false;
            g_older.present[slot] = true;
            oldest = std::min(oldest, slot);
        }
        newer_position = last_position - (lines - 1);
        newer_time = first_time;
    }
    return oldest;
}

int LoadOnce() {
    if (!OpenLog()) return -1;
    ShowStatus(kStatusLoading);

    const int range = std::clamp(DROPDOWN_Selected(g_page.range_list), 0, HISTORY_RANGE_COUNT - 1);
    g_page.step = HISTORY_Ranges[range].step;
    const int32_t written = LOG_LinesWritten();
    // A log without columns has nothing to show.
    const bool columns = DROPDOWN_Count(g_page.curve[0].list) > 0;
    const int32_t lines = columns ? std::min(g_page.step * HISTORY_POINTS, written) : 0;
    GRAPH_AXIS_PutFactor(g_page.time_axis, static_cast<float>(g_page.step) * (1.0f / 60.0f));

    for (Curve& c : g_page.curve) {
        c.field = std::max(DROPDOWN_Selected(c.list), 0) + 1;
        DBG_Printf("Clear Data on Graph, new selection, or new max!...");
        GRAPH_SERIES_Clear(c.series);
        char format[kFieldSize];
        c.is_float =
            LOG_GetLine(1, c.field, format, kFieldSize) == 0 && std::strchr(format, 'f') != nullptr;
        if (LOG_GetLine(0, c.field, c.name, sizeof c.name) != 0) c.name[0] = '\0';
        c.min = 0;
        c.max = 0;
    }

    HISTORY_RingClear(&g_page.ring);
    g_walked_before_first_line = false;
    // A current file shorter than the span: the points before it come from the older files,
    // and the minutes between them that no file has are gaps.
    if (columns && lines < g_page.step * HISTORY_POINTS) {
        const int64_t step = g_page.step;
        const int oldest = WalkOlderFiles(written);
        const int64_t lowest = written - step * HISTORY_POINTS + 1;
        const int64_t first = lowest + ((step - lowest % step) % step);
        const int before_current = static_cast<int>((0 - first) / step) + 1; // slots up to 0
        for (int slot = oldest; slot < before_current; ++slot) {
            HistoryPair pair = g_older.pair[slot];
            pair.gap = !g_older.present[slot];
            FoldIntoRange(pair);
            HISTORY_RingAppend(&g_page.ring, pair);
        }
    }

    DBG_Printf("DbSize: %d, Parsing from %d\n", written, lines);
    LOG_SeekLinesFromEnd(lines);
    g_page.line_counter = 0;
    for (;;) {
        ++g_page.line_counter;
        // Lines between the points are read too, so that the reader stays on line starts.
        const bool take = g_page.line_counter % g_page.step == 0;
        HistoryPair pair{};
        if (!ReadPair(&pair, take)) {
            --g_page.line_counter; // the end of the file is no line
            break;
        }
        if (!take) continue;
        FoldIntoRange(pair);
        HISTORY_RingAppend(&g_page.ring, pair);
    }

    for (Curve& c : g_page.curve)
        Rescale(&c);
    ReplayPending();
    CloseLog();
    ShowStatus(nullptr);
    return 0;
}

// ---- Readout cursor ----

void DrawReadout(const Curve& c, GUI_COLOUR colour, int16_t stored, int cx, int py,
                 const HistoryBox& box) {
    const int x1 = box.x + HISTORY_BOX_W - 1;
    const int y1 = box.y + HISTORY_BOX_H - 1;
    // The line meets the box at its corner nearest to the point.
    const int ax = box.x > cx ? box.x : x1;
    const int ay = box.y < py ? y1 : box.y;
    GUI_SetDrawColor(kDarkGrey);
    GUI_SetLineWidth(3);
    GUI_DrawLineAA(cx, py, ax, ay);
    GUI_DrawRoundFrame(box.x - 1, box.y - 1, x1 + 1, y1 + 1, 6, 3);
    GUI_SetDrawColor(colour);
    GUI_SetLineWidth(1);
    GUI_DrawLineAA(cx, py, ax, ay);
    GUI_FillRoundRectAA(box.x, box.y, x1, y1, 5);

    char text[32];
    HISTORY_FormatReadout(text, sizeof text, stored, c.factor, c.min, c.is_float);
    // Inverted colour bits; the alpha byte stays, so the text is never see-through.
    GUI_SetDrawColor(colour ^ 0xFFFFFF);
    GUI_SelectFont(FONT_FitText(text, HISTORY_BOX_W, HISTORY_BOX_H));
    const GUI_RECT rect{static_cast<int16_t>(box.x), static_cast<int16_t>(box.y),
                        static_cast<int16_t>(x1), static_cast<int16_t>(y1)};
    GUI_PrintInRect(text, &rect, GUI_ALIGN_HCENTER | GUI_ALIGN_VCENTER);
}

void DrawCursor(WM_HANDLE graph, int stage) {
    if (stage != GRAPH_STAGE_AFTER_ALL || graph != g_page.graph) return;
    const int w = WM_GetWindowSizeX(graph);
    const int h = WM_GetWindowSizeY(graph);
    const int cx = g_page.cursor_x;
    if (cx < kCursorMinX || cx >= w - kMarginRight) return;

    const uint8_t old_width = GUI_SetLineWidth(1);
    const int old_mode = GUI_SetTextDrawMode(GUI_TEXTMODE_TRANSPARENT);
    const GUI_FONTDEF* old_font = GUI_SelectFont(nullptr);
    GUI_SetDrawColor(kYellow);
    GUI_DrawLinePlain(cx, kMarginTop + 1, cx, h - kMarginBottom - 1);

    GUI_RECT data{};
    GRAPH_GetDataRect(graph, &data);
    const int column = cx - data.x0;
    const int stored = GRAPH_SERIES_Count(g_page.curve[0].series);
    const int index = HISTORY_CursorIndex(column, stored);
    if (stored < HISTORY_POINTS)
        DBG_Printf("\t\t\t\tGraph is not filled! First = %d, idx = %d\n", stored, index);
    int16_t value[2] = {0, 0};
    const bool read = index >= 0 &&
                      GRAPH_SERIES_ReadAt(g_page.curve[0].series, &value[0], index) == 0 &&
                      GRAPH_SERIES_ReadAt(g_page.curve[1].series, &value[1], index) == 0;
    if (read && value[0] != kNoValue && value[1] != kNoValue) {
        DBG_Printf("\t\tValue[0] = %d, Value[1] = %d\n", value[0], value[1]);
        const int py[2] = {data.y1 - value[0], data.y1 - value[1]};
        HistoryBox box[2];
        HISTORY_PlaceBoxes(cx, py[0], py[1], w, h, &box[0], &box[1]);
        for (int i = 1; i >= 0; --i)
            DrawReadout(g_page.curve[i], kCurveColour[i], value[i], cx, py[i], box[i]);
    }
    GUI_SelectFont(old_font);
    GUI_SetTextDrawMode(old_mode);
    GUI_SetLineWidth(old_width);
}

// The graph's procedure: a pointer on the graph places the cursor.
void GraphProc(WM_MSG_RECORD* msg) {
    if (msg->msg_id == WM_MSG_DELETE) {
        // The page goes (a rebuild of the main screen): nothing may reach its handles again.
        GRAPH_DefaultProc(msg);
        if (msg->target == g_page.graph) g_page = Page{};
        return;
    }
    if (msg->msg_id == WM_MSG_TIMER && WM_GetTimerId(msg->data.v) == kSaveBannerTimer) {
        WM_DeleteTimer(msg->data.v);
        STATUS_Hide();
        return;
    }
    if (msg->msg_id == WM_MSG_POINTER && msg->data.p != nullptr) {
        const auto* state = static_cast<const WM_POINTER_STATE*>(msg->data.p);
        g_page.cursor_x = state->x;
        g_page.cursor_y = state->y;
        WM_InvalidateWin(msg->target);
        return;
    }
    GRAPH_DefaultProc(msg);
}

// ---- Building ----

WM_HANDLE MakeLabel(int x, int y, int id, const char* text, GUI_COLOUR colour, WM_HANDLE page) {
    const WM_HANDLE label = TEXT_Make(x, y, 20, 23, page, WM_CF_VISIBLE, kLabelAlign, id, text);
    TEXT_PutColor(label, colour);
    // The labels are narrow: all three in the font in which "CH1" fits whole.
    const GUI_FONTDEF* selected = GUI_SelectFont(nullptr);
    TEXT_PutFont(label, FONT_FitText("CH1", 21, 24));
    GUI_SelectFont(selected);
    return label;
}

WM_HANDLE MakeList(int x, int y, int width, int id, int user_bytes, WM_HANDLE page) {
    const WM_HANDLE list =
        DROPDOWN_CreateUser(x, y, width, 150, page, WM_CF_VISIBLE, kListTypeFlags, id, user_bytes);
    DROPDOWN_PutFont(list, &FONT_20B);
    DROPDOWN_PutScrollbarWidth(list, kListScrollbarWidth);
    return list;
}

// Fills a curve list with the names of the first header line ("Time" left out).
void AppendColumnNames(WM_HANDLE list) {
    char name[kFieldSize];
    int result = LOG_GetLine(0, 1, name, kFieldSize);
    // The empty field before the line end closes the list (also when there is no column).
    while ((result == 0 || result == -2) && name[0] != '\0') {
        DROPDOWN_Append(list, name);
        while (result == -2) // the rest of a name too long for the buffer
            result = LOG_GetNextField(name, kFieldSize);
        if (result != 0) break;
        result = LOG_GetNextField(name, kFieldSize);
    }
}

void MakeGraph(WM_HANDLE page) {
    const WM_HANDLE graph =
        GRAPH_Make(kGraphX, kGraphY, kGraphW, kGraphH, page, WM_CF_VISIBLE, 0, HISTORY_ID_GRAPH);
    g_page.graph = graph;
    GRAPH_PutMargins(graph, kMarginLeft, kMarginTop, kMarginRight, kMarginBottom);
    GRAPH_PutColor(graph, 0x404040, GRAPH_CI_DATA);
    GRAPH_PutColor(graph, 0x808080, GRAPH_CI_BORDER);
    GRAPH_PutColor(graph, 0x000000, GRAPH_CI_FRAME);
    GRAPH_PutColor(graph, 0x808080, GRAPH_CI_GRID);
    GRAPH_ShowGrid(graph, 1);
    GRAPH_PutGridSpacingX(graph, 60);
    GRAPH_PutGridSpacingY(graph, 50);
    WM_ReplaceCallback(graph, GraphProc);
    GRAPH_PutOverlayFn(graph, DrawCursor);

    g_page.status = TEXT_Make(292, 137, 200, 50, graph, WM_CF_VISIBLE,
                              GUI_ALIGN_HCENTER | GUI_ALIGN_VCENTER, HISTORY_ID_STATUS, "");
    TEXT_PutColor(g_page.status, kWhite);
    WM_HideWin(g_page.status);

    // Time axis: the right edge is now, the labels to the left are hours back.
    g_page.time_axis = GRAPH_AXIS_Create(kGraphH - kMarginBottom, GUI_ALIGN_HCENTER, 0, 60);
    GRAPH_AXIS_PutDecimals(g_page.time_axis, 0);
    GRAPH_AXIS_PutFactor(g_page.time_axis, 1.0f / 60.0f);
    GRAPH_AXIS_PutOffset(g_page.time_axis, HISTORY_POINTS);
    GRAPH_AttachAxis(graph, g_page.time_axis);
}

void MakeCurve(int i, WM_HANDLE page) {
    static constexpr int kLabelX[2] = {10, 300};
    static constexpr int kLabelId[2] = {HISTORY_ID_CURVE1_LABEL, HISTORY_ID_CURVE2_LABEL};
    static constexpr int kListId[2] = {HISTORY_ID_CURVE1, HISTORY_ID_CURVE2};
    static constexpr int kAxisX[2] = {kMarginLeft, kGraphW};
    static const char* const kLabel[2] = {"CH1", "CH2"};
    Curve& c = g_page.curve[i];
    MakeLabel(kLabelX[i], 35, kLabelId[i], kLabel[i], kCurveColour[i], page);
    c.list = MakeList(kLabelX[i] + 30, 35, 250, kListId[i], sizeof(WM_HANDLE), page);
    AppendColumnNames(c.list);
    c.series = GRAPH_SERIES_Create(kCurveColour[i], HISTORY_POINTS, nullptr, 0);
    GRAPH_Attach(g_page.graph, c.series);
    c.axis = GRAPH_AXIS_Create(kAxisX[i], GUI_ALIGN_RIGHT, 1, 50);
    GRAPH_AXIS_PutTextColor(c.axis, kCurveColour[i]);
    GRAPH_AttachAxis(g_page.graph, c.axis);
}

// Enables the other curve's list again and disables in it the column this one shows.
void ExcludeFromOther(WM_HANDLE list) {
    WM_HANDLE other = 0;
    if (DROPDOWN_ReadUserBytes(list, &other, sizeof other) != sizeof other || other == 0) return;
    const int chosen = DROPDOWN_Selected(list);
    const int count = DROPDOWN_Count(other);
    for (int item = 0; item < count; ++item)
        if (DROPDOWN_IsItemDisabled(other, item)) DROPDOWN_PutItemDisabled(other, item, 0);
    DROPDOWN_PutItemDisabled(other, chosen, 1);
}

} // namespace

// ---- Arithmetic ----

void HISTORY_RoundRange(int32_t* min, int32_t* max) {
    int64_t lo = std::min<int64_t>(*min, 0);
    int64_t hi = *max < 1 ? 0 : *max;
    // A curve of zeros (or of nothing yet) gets the smallest range above 0, not an empty one.
    if (lo == 0 && hi == 0) hi = 1;
    int64_t c = 0;
    if (lo == 0) {
        if (FirstOnLadder(hi, 3, 9, false, &c)) hi = c;
    } else if (hi == 0) {
        if (FirstOnLadder(-lo, 3, 9, false, &c)) lo = -c;
    } else if (hi > -lo) {
        int64_t neg = -lo;
        if (!RoundWithShortSide(&hi, &neg) && FirstOnLadder(hi, 3, 10, true, &c)) {
            hi = c;
            if (c >= neg) neg = c;
        }
        lo = -neg;
    } else {
        int64_t neg = -lo;
        const bool done = neg > hi && RoundWithShortSide(&neg, &hi);
        if (!done && FirstOnLadder(neg, 3, 10, true, &c)) {
            neg = c;
            if (c >= hi) hi = c;
        }
        lo = -neg;
    }
    *min = ClampToInt32(lo);
    *max = ClampToInt32(hi);
}

HistoryScale HISTORY_ComputeScale(int32_t min, int32_t max, bool is_float) {
    HistoryScale s{};
    float span = static_cast<float>(static_cast<int64_t>(max) - min);
    if (!(span > 0.0f)) span = 1.0f;
    s.factor = static_cast<float>(kCurveHeight) / span;
    const float offset = -static_cast<float>(min) * s.factor;
    s.axis_offset = static_cast<int>(std::clamp(offset, -1.0e6f, 1.0e6f));
    s.axis_factor = is_float ? 1.0f / s.factor / 1000.0f : 1.0f / s.factor;
    if (is_float) {
        // Fewer decimals as the numbers the axis shows grow longer.
        const int32_t shown = max / 1000;
        s.decimals = shown <= 9999 ? 2 : shown <= 99999 ? 1 : 0;
    }
    return s;
}

int16_t HISTORY_ScaleValue(int32_t value, int32_t min, float factor) {
    return RoundToInt16(static_cast<float>(static_cast<int64_t>(value) - min) * factor);
}

int32_t HISTORY_ParseValue(const char* text, bool is_float) {
    if (text == nullptr) return 0;
    if (is_float) {
        const float v = static_cast<float>(std::strtod(text, nullptr)) * 1000.0f;
        if (std::isnan(v)) return 0;
        if (v >= 2147483648.0f) return INT32_MAX;
        if (v <= -2147483648.0f) return INT32_MIN;
        return static_cast<int32_t>(v);
    }
    return ClampToInt32(std::strtoll(text, nullptr, 10));
}

void HISTORY_FormatReadout(char* buffer, int size, int16_t stored, float factor, int32_t min,
                           bool is_float) {
    if (buffer == nullptr || size < 1) return;
    if (!(factor > 0.0f)) factor = 1.0f;
    const float value = static_cast<float>(stored) / factor + static_cast<float>(min);
    if (is_float) {
        std::snprintf(buffer, static_cast<size_t>(size), "%.1f",
                      static_cast<double>(value / 1000.0f));
    } else {
        // Rounded, not cut: the pixel may lie a little below the value it stands for.
        const double rounded =
            std::clamp(std::round(static_cast<double>(value)), static_cast<double>(INT32_MIN),
                       static_cast<double>(INT32_MAX));
        std::snprintf(buffer, static_cast<size_t>(size), "%d", static_cast<int32_t>(rounded));
    }
}

void HISTORY_RingClear(HistoryRing* ring) {
    ring->write = 0;
    ring->read = 0;
    ring->count = 0;
}

void HISTORY_RingAppend(HistoryRing* ring, HistoryPair pair) {
    ring->slot[ring->write] = pair;
    ring->write = (ring->write + 1) % HISTORY_RING_SLOTS;
    if (ring->count < INT32_MAX) ++ring->count;
    // A full ring would look empty: its oldest pending pair goes.
    if (ring->write == ring->read) ring->read = (ring->read + 1) % HISTORY_RING_SLOTS;
}

bool HISTORY_RingPending(const HistoryRing* ring) {
    return ring->read != ring->write;
}

HistoryPair HISTORY_RingRead(HistoryRing* ring) {
    const HistoryPair pair = ring->slot[ring->read];
    ring->read = (ring->read + 1) % HISTORY_RING_SLOTS;
    return pair;
}

void HISTORY_RingRewind(HistoryRing* ring) {
    ring->read = ring->count <= HISTORY_POINTS - 1 ? 0 : (ring->write + 1) % HISTORY_RING_SLOTS;
}

int HISTORY_CursorIndex(int column, int stored) {
    const int from_right = HISTORY_RING_SLOTS - column;
    if (from_right < 0 || from_right > HISTORY_POINTS - 1) return -1;
    // The newest value sits at column 720 whether the curve is full or not.
    const int end = std::min(stored, HISTORY_POINTS) + 1;
    const int index = end - from_right;
    return index >= 0 && index < stored ? index : -1;
}

void HISTORY_PlaceBoxes(int cursor_x, int y1, int y2, int graph_w, int graph_h, HistoryBox* box1,
                        HistoryBox* box2) {
    constexpr int kBeside = 20; // from the cursor
    constexpr int kAbove = 30;  // box top above the point
    constexpr int kAway = 75;   // 2.5 x 30, when the boxes would meet
    constexpr int kEdge = 13;   // least room left to the graph's top or bottom
    const int right_limit = graph_w - kMarginRight;
    const int w = HISTORY_BOX_W;
    const int h = HISTORY_BOX_H;

    const auto left_of_cursor = [&] { return cursor_x - kBeside - w; };
    const auto place = [&](int py) {
        HistoryBox b{cursor_x + kBeside, py - kAbove};
        if (b.x + w > right_limit) b.x = left_of_cursor();
        if (b.y < kMarginTop) b.y = py + kAbove - h; // below the point
        return b;
    };
    const auto inside = [&](const HistoryBox& b) {
        return b.x >= 0 && b.x + w <= graph_w && b.y >= 0 && b.y + h <= graph_h;
    };
    const auto clamp_in = [&](HistoryBox b) {
        b.x = std::clamp(b.x, 0, std::max(0, graph_w - w));
        b.y = std::clamp(b.y, 0, std::max(0, graph_h - h));
        return b;
    };
    const auto overlap = [&](const HistoryBox& a, const HistoryBox& b) {
        return a.x < b.x + w && b.x < a.x + w && a.y < b.y + h && b.y < a.y + h;
    };

    const HistoryBox first = clamp_in(place(y1));
    *box1 = first;
    const HistoryBox base = place(y2);
    const bool above = base.y < y2;
    const HistoryBox away{base.x, above ? y2 - kAway : y2 + kAway - h};
    const bool away_has_room = above ? away.y >= kEdge : away.y + h <= graph_h - kEdge;
    const HistoryBox beside{base.x > cursor_x ? left_of_cursor() : cursor_x + kBeside, base.y};
    const HistoryBox flipped{base.x, above ? y2 + kAbove - h : y2 - kAbove};
    const HistoryBox under{first.x, first.y + h + 2};
    const HistoryBox over{first.x, first.y - h - 2};
    const HistoryBox candidates[] = {base, away, beside, flipped, under, over};
    for (const HistoryBox& b : candidates) {
        if (&b == &candidates[1] && !away_has_room) continue;
        if (inside(b) && !overlap(b, first)) {
            *box2 = b;
            return;
        }
    }
    *box2 = clamp_in(base);
}

// ---- Page ----

int HISTORY_Build(WM_HANDLE page) {
    g_page = Page{};
    if (!OpenLog()) return -1;
    g_page.building = true;
    MakeGraph(page);
    for (int i = 0; i < 2; ++i)
        MakeCurve(i, page);

    const WM_HANDLE list1 = g_page.curve[0].list;
    const WM_HANDLE list2 = g_page.curve[1].list;
    DROPDOWN_WriteUserBytes(list1, &list2, sizeof list2);
    DROPDOWN_WriteUserBytes(list2, &list1, sizeof list1);
    DROPDOWN_Select(list1, 0);
    DROPDOWN_Select(list2, 1);
    DROPDOWN_PutItemDisabled(list1, 1, 1);
    DROPDOWN_PutItemDisabled(list2, 0, 1);

    MakeLabel(590, 35, HISTORY_ID_TIME_LABEL, "T", kWhite, page);
    g_page.range_list = MakeList(620, 35, 125, HISTORY_ID_RANGE, 0, page);
    for (const HistoryRange& r : HISTORY_Ranges)
        DROPDOWN_Append(g_page.range_list, r.text);
    DROPDOWN_Select(g_page.range_list, 0);
    g_page.building = false;
    CloseLog();
    return 0;
}

int HISTORY_Load() {
    if (!Built()) return -1;
    // A list changed while the toolkit runs inside a load: load again once this one is done.
    if (g_page.busy) {
        g_page.reload_wanted = true;
        return 0;
    }
    g_page.busy = true;
    int result;
    do {
        g_page.reload_wanted = false;
        result = LoadOnce();
    } while (result == 0 && g_page.reload_wanted);
    g_page.busy = false;
    return result;
}

void HISTORY_AddLine() {
    if (!Built() || g_page.busy || DROPDOWN_Count(g_page.curve[0].list) == 0) return;
    // The older files were placed by the clock before the current file had a line: place them
    // again by that line's own time stamp.
    if (g_walked_before_first_line && LOG_LinesWritten() == 1) {
        HISTORY_Load();
        return;
    }
    if (!OpenLog()) return;
    ++g_page.line_counter;
    if (g_page.line_counter % g_page.step != 0) {
        CloseLog();
        return;
    }
    int32_t before[2][2];
    for (int i = 0; i < 2; ++i) {
        before[i][0] = g_page.curve[i].min;
        before[i][1] = g_page.curve[i].max;
    }
    HistoryPair pair{};
    if (LOG_SeekLinesFromEnd(1) != 0 || !ReadPair(&pair, true)) {
        CloseLog();
        return;
    }
    FoldIntoRange(pair);
    HISTORY_RingAppend(&g_page.ring, pair);

    bool changed = false;
    for (int i = 0; i < 2; ++i)
        changed |= before[i][0] != g_page.curve[i].min || before[i][1] != g_page.curve[i].max;
    if (!changed) {
        PushPair(HISTORY_RingRead(&g_page.ring));
    } else {
        g_page.busy = true;
        ShowStatus(kStatusRescale);
        for (Curve& c : g_page.curve) {
            GRAPH_SERIES_Clear(c.series);
            Rescale(&c);
        }
        HISTORY_RingRewind(&g_page.ring);
        ReplayPending();
        ShowStatus(nullptr);
        g_page.busy = false;
    }
    CloseLog();
}

void processbuttonScrollLeft(int code) {
    if (code != WM_NOTIFICATION_CHANGED) return;
    DBG_Printf("processbuttonScrollLeft: WM_NOTIFICATION_CHANGED\n");
    HISTORY_Load();
}

int HISTORY_OnNotify(int id, int code) {
    if (id != HISTORY_ID_RANGE && id != HISTORY_ID_CURVE1 && id != HISTORY_ID_CURVE2) return 0;
    if (g_page.building || !Built()) return 1;
    processbuttonScrollLeft(code);
    if (code == WM_NOTIFICATION_CHANGED && id != HISTORY_ID_RANGE)
        ExcludeFromOther(g_page.curve[id == HISTORY_ID_CURVE1 ? 0 : 1].list);
    return 1;
}

GRAPH_HSERIES HISTORY_Series(int curve) {
    return curve == 0 || curve == 1 ? g_page.curve[curve].series : 0;
}

namespace {

// The page is on show when it and every window above it are visible.
bool OnShow() {
    for (WM_HANDLE w = g_page.graph; w != 0; w = WM_GetParentWin(w))
        if (!WM_IsVisible(w)) return false;
    return true;
}

// The time of the newest logged line, or the display unit's clock while there is none.
bool NewestTime(int64_t* seconds) {
    char text[kFieldSize];
    bool found = false;
    if (LOG_LinesWritten() > 0 && LOG_OpenRead() == 0) {
        found = LOG_SeekLinesFromEnd(1) == 0 && LOG_GetField(0, text, kFieldSize) == 0 &&
                LOGSCAN_ParseTime(text, seconds);
        LOG_CloseRead();
    }
    if (found) return true;
    return CurrentFileStart(0, seconds) && ((*seconds -= 60), true);
}

// A banner text from the language file, or the built-in words when the file has none.
const char* BannerWords(int number, bool german, const char* english_words,
                        const char* german_words) {
    const char* words = GUI_Lang_GetText(number);
    return words != nullptr ? words : german ? german_words : english_words;
}

void SaveBanner(const char* text) {
    STATUS_SetText(text);
    STATUS_Show();
    if (const WM_HTIMER timer = WM_CreateTimer(g_page.graph, kSaveBannerTimer, kSaveBannerMs))
        (void)timer;
    else
        STATUS_Hide(); // no timer left: do not leave the banner standing
}

} // namespace

int HISTORY_SaveSpan(bool shown_or_not) {
    if (!Built() || g_page.busy || (!shown_or_not && !OnShow())) return -1;
    const bool german = CONFIG_GetLanguage() == 1;
    int64_t newest = 0;
    std::vector<std::string> columns;
    for (const Curve& c : g_page.curve)
        if (c.name[0] != '\0') columns.emplace_back(c.name);
    if (columns.empty() || !NewestTime(&newest)) {
        SaveBanner(BannerWords(GUI_TEXT_NOTHING_TO_SAVE, german, "Nothing to save",
                               "Keine Daten zum Speichern"));
        return -1;
    }
    LogxSpan span;
    span.to = newest + 59;
    span.from = newest - (static_cast<int64_t>(g_page.step) * HISTORY_POINTS - 1) * 60;

    // Named like the screenshots, by the computer's clock.
    char name[sizeof g_last_save];
    std::snprintf(name, sizeof name, "%s", DATA_StampedName("history", "").c_str());
    const std::string csv_path = DATA_FilePath((std::string(name) + ".csv").c_str());
    const std::string png_path = DATA_FilePath((std::string(name) + ".png").c_str());

    ShowStatus(kStatusLoading);
    LogxReport report;
    report.quiet = true;
    std::vector<LogxFile> files;
    bool written = false;
    if (LOGX_ListFiles(DATA_Folder(), false, &report, &files)) {
        struct Outputs {
            LogxCsv csv;
            LogxPlot* plot;
        };
        Outputs out{};
        std::FILE* f = std::fopen(csv_path.c_str(), "wb");
        if (f != nullptr) {
            LOGX_CsvBegin(&out.csv, f, columns);
            out.plot = LOGX_PlotBegin(columns, span.from, span.to, 1, 800, 480);
            const auto both = [](void* context, const LogxRow& row) {
                auto* o = static_cast<Outputs*>(context);
                LOGX_PlotRow(o->plot, row);
                return LOGX_CsvRow(&o->csv, row);
            };
            const int64_t rows = LOGX_Export(files, columns, span, &report, both, &out);
            const bool csv_ok = std::fclose(f) == 0 && !out.csv.failed && rows >= 0;
            // The plot draws into its own buffer: the screen's drawing state is put back after.
            GUI_LockGuard lock;
            const GUI_CONTEXT saved = *GUI_pContext;
            const GUI_DISPLAY display = *GUI_GetDisplay();
            const bool png_ok = LOGX_PlotFinish(out.plot, png_path.c_str()) == 0;
            GUI_SetDrawTarget(display.pixels, display.width, display.height, display.stride,
                              display.changed);
            *GUI_pContext = saved;
            written = csv_ok && png_ok;
        }
    }
    ShowStatus(nullptr);
    char text[128];
    if (written) {
        std::snprintf(g_last_save, sizeof g_last_save, "%s", name);
        // The words are inserted as they are, never used as a format.
        std::snprintf(text, sizeof text, "%s %s .csv/.png",
                      BannerWords(GUI_TEXT_HISTORY_SAVED, german, "Saved", "Gespeichert:"), name);
        DBG_Printf("History written to %s and %s\n", csv_path.c_str(), png_path.c_str());
    } else {
        std::snprintf(text, sizeof text, "%s",
                      BannerWords(GUI_TEXT_HISTORY_NOT_SAVED, german, "History could not be saved",
                                  "Verlauf nicht gespeichert"));
        DBG_Printf("History could not be written to %s\n", csv_path.c_str());
    }
    SaveBanner(text);
    return written ? 0 : -1;
}

const char* HISTORY_LastSaveName() {
    return g_last_save;
}
