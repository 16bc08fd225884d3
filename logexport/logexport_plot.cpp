// The plot of an export, in the colours of the display's Graph tab: a dark grey data area with
// a grey grid, the curves in green, red, yellow and blue, labels in the display's fonts.
#include "gui/host/host.h"
#include "gui/toolkit/draw/gui_draw.h"
#include "gui/toolkit/gui_font.h"
#include "logexport/logexport.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr GUI_COLOUR kCurveColour[LOGX_PLOT_MAX_CURVES] = {0x00FF00, 0x0000FF, 0x00FFFF, 0xFFA040};
constexpr GUI_COLOUR kBackground = 0x000000;
constexpr GUI_COLOUR kDataArea = 0x404040;
constexpr GUI_COLOUR kGrid = 0x808080;
constexpr GUI_COLOUR kText = 0xFFFFFF;
constexpr int kAxisWidth = 58; // one value axis with its labels
constexpr int kLegendHeight = 28;
constexpr int kTimeHeight = 36; // two lines of time labels

// One pixel column of one curve: the range and the last value of the rows that fell into it.
struct Slot {
    float lo = 0;
    float hi = 0;
    float last = 0;
    int64_t first_time = 0;
    int64_t last_time = 0;
    int32_t first_file = 0;
    int32_t last_file = 0;
    bool present = false;
};

struct Axis {
    std::string unit;
    double lo = 0;
    double hi = 0;
    double step = 1;
    bool any = false;
    int curves = 0;
    int first_curve = 0;
};

} // namespace

struct LogxPlot {
    std::vector<std::string> columns;
    int64_t from = 0;
    int64_t to = 0;
    int every = 1;
    int width = 0;
    int height = 0;
    GUI_RECT data{};
    std::vector<Axis> axes;
    std::vector<int> axis_of; // per curve
    std::vector<std::vector<Slot>> slots;
};

namespace {

int AxisX(const LogxPlot& p, size_t axis) {
    // Axes 0 and 2 left of the data area, 1 and 3 right of it.
    const int k = static_cast<int>(axis / 2);
    return axis % 2 == 0 ? p.data.x0 - 1 - k * kAxisWidth : p.data.x1 + 1 + k * kAxisWidth;
}

// A round step so that about `lines` grid lines cover the span.
double NiceStep(double span, int lines) {
    if (!(span > 0)) return 1;
    const double raw = span / std::max(1, lines);
    const double decade = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (m * decade >= raw) return m * decade;
    return 10 * decade;
}

void Decimals(double step, char* format, size_t size) {
    int decimals = 0;
    while (decimals < 4 && std::fabs(step * std::pow(10.0, decimals) -
                                     std::round(step * std::pow(10.0, decimals))) > 1e-6)
        ++decimals;
    std::snprintf(format, size, "%%.%df", decimals);
}

void FinishAxes(LogxPlot* p) {
    const int lines = std::max(2, (p->data.y1 - p->data.y0) / 60);
    for (Axis& a : p->axes) {
        if (!a.any) {
            a.lo = 0;
            a.hi = 1;
        }
        if (a.hi - a.lo < 1e-9) {
            a.lo -= 1;
            a.hi += 1;
        }
        a.step = NiceStep(a.hi - a.lo, lines);
        a.lo = std::floor(a.lo / a.step) * a.step;
        a.hi = std::ceil(a.hi / a.step) * a.step;
    }
}

int YOf(const LogxPlot& p, const Axis& a, double v) {
    const double f = (v - a.lo) / (a.hi - a.lo);
    return p.data.y1 - static_cast<int>(std::lround(f * (p.data.y1 - p.data.y0)));
}

void DrawValueAxes(const LogxPlot& p) {
    GUI_SelectFont(&FONT_13);
    for (size_t i = 0; i < p.axes.size(); ++i) {
        const Axis& a = p.axes[i];
        const int x = AxisX(p, i);
        const GUI_COLOUR colour = a.curves == 1 ? kCurveColour[a.first_curve] : kText;
        GUI_SetDrawColor(colour);
        GUI_FillRectangle(x, p.data.y0, x, p.data.y1);
        char format[8];
        Decimals(a.step, format, sizeof format);
        const bool left = i % 2 == 0;
        for (double v = a.lo; v <= a.hi + a.step / 2; v += a.step) {
            const int y = YOf(p, a, v);
            if (i == 0) { // the grid follows the first axis
                GUI_SetDrawColor(kGrid);
                GUI_FillRectangle(p.data.x0, y, p.data.x1, y);
                GUI_SetDrawColor(colour);
            }
            GUI_FillRectangle(left ? x - 4 : x, y, left ? x : x + 4, y);
            char text[32];
            std::snprintf(text, sizeof text, format, std::fabs(v) < a.step / 1e6 ? 0.0 : v);
            const int w = GUI_GetTextWidth(text);
            GUI_PrintAt(text, left ? x - 6 - w : x + 7, y - GUI_GetFontHeight() / 2);
        }
        // The unit above its axis.
        const char* unit = a.unit.empty() ? "-" : a.unit.c_str();
        const int w = GUI_GetTextWidth(unit);
        GUI_PrintAt(unit, left ? x - 6 - w : x + 7, p.data.y0 - GUI_GetFontHeight() - 2);
    }
}

void DrawTimeAxis(const LogxPlot& p) {
    static constexpr int64_t kSteps[] = {60,     120,    300,     600,    900,   1800,
                                         3600,   7200,   10800,   21600,  43200, 86400,
                                         172800, 604800, 1209600, 2592000};
    const int64_t span = std::max<int64_t>(1, p.to - p.from);
    const int pixels = p.data.x1 - p.data.x0;
    int64_t step = kSteps[sizeof kSteps / sizeof kSteps[0] - 1];
    for (int64_t s : kSteps)
        if (static_cast<double>(s) / static_cast<double>(span) * pixels >= 90) {
            step = s;
            break;
        }
    GUI_SelectFont(&FONT_13);
    const int64_t first = (p.from + step - 1) / step * step;
    for (int64_t t = first; t <= p.to; t += step) {
        const int x = p.data.x0 + static_cast<int>((t - p.from) * pixels / span);
        GUI_SetDrawColor(kGrid);
        GUI_FillRectangle(x, p.data.y0, x, p.data.y1);
        GUI_SetDrawColor(kText);
        GUI_FillRectangle(x, p.data.y1 + 1, x, p.data.y1 + 4);
        char stamp[24];
        LOGSCAN_FormatTime(t, stamp, sizeof stamp); // "YYYY-MM-DD HH:MM:SS"
        char date[8], clock[8];
        std::snprintf(date, sizeof date, "%.5s", stamp + 5);
        std::snprintf(clock, sizeof clock, "%.5s", stamp + 11);
        GUI_PrintCenteredAt(clock, x, p.data.y1 + 6);
        GUI_PrintCenteredAt(date, x, p.data.y1 + 6 + GUI_GetFontHeight());
    }
}

void DrawLegend(const LogxPlot& p) {
    GUI_SelectFont(&FONT_16);
    int x = 10;
    const int y = 6;
    for (size_t c = 0; c < p.columns.size(); ++c) {
        GUI_SetDrawColor(kCurveColour[c]);
        GUI_FillRectangle(x, y + 7, x + 18, y + 9);
        char text[96];
        const std::string& unit = p.axes[static_cast<size_t>(p.axis_of[c])].unit;
        std::snprintf(text, sizeof text, unit.empty() ? "%s" : "%s (%s)", p.columns[c].c_str(),
                      unit.c_str());
        GUI_SetDrawColor(kText);
        GUI_PrintAt(text, x + 24, y);
        x += 24 + GUI_GetTextWidth(text) + 24;
    }
}

void DrawCurves(const LogxPlot& p) {
    // The minutes without a connection are a gap: two rows of different files more than a
    // step and a half apart. Inside a file the lines follow one another as the program wrote
    // them (a slow poll may skip a minute); only a stall of a quarter of an hour breaks them.
    const int64_t every = std::max(1, p.every);
    const auto joined = [&](const Slot& a, const Slot& b) {
        const int64_t apart = b.first_time - a.last_time;
        return a.last_file == b.first_file ? apart <= 15 * 60 * every : apart <= 90 * every;
    };
    GUI_SetClipRect(&p.data);
    for (size_t c = 0; c < p.columns.size(); ++c) {
        const Axis& a = p.axes[static_cast<size_t>(p.axis_of[c])];
        GUI_SetDrawColor(kCurveColour[c]);
        const std::vector<Slot>& s = p.slots[c];
        const Slot* prev = nullptr;
        int prev_x = 0;
        for (size_t i = 0; i < s.size(); ++i) {
            if (!s[i].present) continue;
            const int x = p.data.x0 + static_cast<int>(i);
            GUI_FillRectangle(x, YOf(p, a, s[i].hi), x, YOf(p, a, s[i].lo));
            if (prev != nullptr && joined(*prev, s[i]))
                GUI_DrawLinePlain(prev_x, YOf(p, a, prev->last), x, YOf(p, a, s[i].lo));
            prev = &s[i];
            prev_x = x;
        }
    }
    GUI_SetClipRect(nullptr);
}

} // namespace

LogxPlot* LOGX_PlotBegin(const std::vector<std::string>& columns, int64_t from, int64_t to,
                         int every, int width, int height) {
    auto* p = new LogxPlot;
    p->columns.assign(columns.begin(),
                      columns.begin() + std::min<size_t>(columns.size(), LOGX_PLOT_MAX_CURVES));
    p->from = from;
    p->to = std::max(to, from + 60);
    p->every = every;
    p->width = std::clamp(width, 320, GUI_MAX_TARGET_SIZE);
    p->height = std::clamp(height, 200, GUI_MAX_TARGET_SIZE);
    for (size_t c = 0; c < p->columns.size(); ++c) {
        const std::string unit = LOGX_UnitOf(p->columns[c]);
        size_t a = 0;
        while (a < p->axes.size() && p->axes[a].unit != unit)
            ++a;
        if (a == p->axes.size()) {
            Axis axis;
            axis.unit = unit;
            axis.first_curve = static_cast<int>(c);
            p->axes.push_back(axis);
        }
        ++p->axes[a].curves;
        p->axis_of.push_back(static_cast<int>(a));
    }
    const int left = std::max<int>(1, static_cast<int>((p->axes.size() + 1) / 2));
    const int right = std::max<int>(1, static_cast<int>(p->axes.size() / 2));
    p->data = {static_cast<int16_t>(left * kAxisWidth), static_cast<int16_t>(kLegendHeight + 20),
               static_cast<int16_t>(p->width - 1 - right * kAxisWidth),
               static_cast<int16_t>(p->height - 1 - kTimeHeight)};
    p->slots.assign(p->columns.size(),
                    std::vector<Slot>(static_cast<size_t>(p->data.x1 - p->data.x0 + 1)));
    return p;
}

bool LOGX_PlotRow(void* plot, const LogxRow& row) {
    auto* p = static_cast<LogxPlot*>(plot);
    const int64_t span = p->to - p->from;
    const int64_t pixels = p->data.x1 - p->data.x0;
    if (row.time < p->from || row.time > p->to) return true;
    const auto x = static_cast<size_t>((row.time - p->from) * pixels / span);
    for (size_t c = 0; c < p->columns.size() && c < row.cells.size(); ++c) {
        double v = 0;
        if (!row.present[c] || !LOGX_Number(row.cells[c], &v) || !std::isfinite(v)) continue;
        Slot& s = p->slots[c][x];
        const float f = static_cast<float>(v);
        if (!s.present) {
            s = Slot{f, f, f, row.time, row.time, row.file, row.file, true};
        } else {
            s.lo = std::min(s.lo, f);
            s.hi = std::max(s.hi, f);
            s.last = f;
            s.last_time = row.time;
            s.last_file = row.file;
        }
        Axis& a = p->axes[static_cast<size_t>(p->axis_of[c])];
        if (!a.any) {
            a.lo = a.hi = v;
            a.any = true;
        }
        a.lo = std::min(a.lo, v);
        a.hi = std::max(a.hi, v);
    }
    return true;
}

int LOGX_PlotFinish(LogxPlot* p, const char* path) {
    std::vector<uint32_t> pixels(static_cast<size_t>(p->width) * static_cast<size_t>(p->height));
    GUI_SetDrawTarget(pixels.data(), p->width, p->height, p->width, nullptr);
    GUI_InitContext(GUI_pContext);
    GUI_SelectFont(&FONT_13);
    GUI_SetTextDrawMode(GUI_TEXTMODE_TRANSPARENT);
    GUI_SetBackColor(kBackground);
    GUI_ClearWindow();
    GUI_SetDrawColor(kDataArea);
    GUI_FillRectangleR(&p->data);
    FinishAxes(p);
    DrawTimeAxis(*p);
    DrawValueAxes(*p);
    DrawCurves(*p);
    DrawLegend(*p);
    GUI_SetDrawTarget(nullptr, 1, 1, 1, nullptr);
    const int result =
        std::strcmp(path, "-") == 0
            ? HOST_WritePNGPixelsToStream(stdout, pixels.data(), p->width, p->height, p->width)
            : HOST_WritePNGPixels(path, pixels.data(), p->width, p->height, p->width);
    delete p;
    return result;
}
