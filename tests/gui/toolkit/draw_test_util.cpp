#include "tests/gui/toolkit/draw_test_util.h"

#include "gui/toolkit/core/gui_report.h"

#include <array>

namespace drawtest {
namespace {

int g_changes = 0;
Reports* g_reports = nullptr;

void CountChange() {
    ++g_changes;
}
void OnReport(bool is_error, const char* text) {
    (is_error ? g_reports->errors : g_reports->warnings).emplace_back(text);
}

constexpr uint8_t kBlockRows[7] = {0x00, 0xE0, 0xE0, 0xE0, 0xE0, 0xE0, 0x00};
constexpr uint8_t kBlankRows[7] = {0, 0, 0, 0, 0, 0, 0};

constexpr int kLow = 0x7E - 0x20 + 1;
constexpr int kHigh = 0xFF - 0xA0 + 1;

template <int N> constexpr std::array<GUI_CHARINFO, N> Glyphs(bool first_blank) {
    std::array<GUI_CHARINFO, N> a{};
    for (int i = 0; i < N; ++i)
        a[i] = GUI_CHARINFO{3, 4, 1, (first_blank && i == 0) ? kBlankRows : kBlockRows};
    return a;
}

constexpr auto kLowGlyphs = Glyphs<kLow>(true);
constexpr auto kHighGlyphs = Glyphs<kHigh>(false);
constexpr GUI_FONT_RANGE kHighRange{0xA0, 0xFF, kHighGlyphs.data(), nullptr};
constexpr GUI_FONT_RANGE kLowRange{0x20, 0x7E, kLowGlyphs.data(), &kHighRange};

} // namespace

const GUI_FONTDEF kBlockFont = {GUI_FontProp_DrawChar,
                                GUI_FontProp_CharAdvance,
                                GUI_FontProp_FontInfo,
                                GUI_FontProp_CharPresent,
                                nullptr,
                                nullptr,
                                7,
                                8,
                                1,
                                1,
                                &kLowRange,
                                6,
                                3,
                                5};

Frame::Frame(int width, int height)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height, kFill) {
    g_changes = 0;
    GUI_SetDrawTarget(pixels_.data(), width, height, width, CountChange);
    GUI_SetDefaultFont(&kBlockFont);
    GUI_InitContext(GUI_pContext);
}

Frame::~Frame() {
    GUI_SetDrawTarget(nullptr, 0, 0, 0, nullptr);
}

void Frame::Fill(uint32_t v) {
    std::fill(pixels_.begin(), pixels_.end(), v);
}

int Frame::changes() const {
    return g_changes;
}

int Frame::CountNot(uint32_t v) const {
    int n = 0;
    for (uint32_t p : pixels_)
        n += p != v;
    return n;
}

bool Frame::UnchangedOutside(int x0, int y0, int x1, int y1, uint32_t v) const {
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) {
            const bool inside = x >= x0 && x <= x1 && y >= y0 && y <= y1;
            if (!inside && At(x, y) != v) return false;
        }
    return true;
}

Reports::Reports() {
    g_reports = this;
    GUI_SetReportHook(OnReport);
}

Reports::~Reports() {
    GUI_SetReportHook(nullptr);
    g_reports = nullptr;
}

int CountInRow(const Frame& f, int y, int x0, int x1, uint32_t v) {
    int n = 0;
    for (int x = x0; x <= x1; ++x)
        n += f.At(x, y) == v;
    return n;
}

} // namespace drawtest
