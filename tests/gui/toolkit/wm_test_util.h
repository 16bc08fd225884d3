// The window manager tests' start: the program's configuration hooks as test doubles (the
// 160 KiB arena, a catalogue font, the 800 x 480 display with three buffers), a clock the test
// moves, captured reports, and windows that record their messages and paint a solid colour.
#pragma once

#include "gui/toolkit/core/gui_init.h"
#include "gui/toolkit/wm/wm.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace wmtest {

// What the configuration hooks configure; tests of a lacking configuration clear a part.
struct Config {
    bool arena = true;
    bool font = true;
    bool display = true;
};
extern Config config;

struct Report {
    bool is_error;
    std::string text;
};

struct Logged {
    WM_HANDLE win;
    int32_t msg_id;
    WM_HANDLE source;
    int32_t value;            // data.v for integer messages
    bool null_data;           // WM_MSG_POINTER with data null
    WM_POINTER_STATE pointer; // WM_MSG_POINTER / WM_MSG_CHILD_POINTER
    GUI_RECT rect;            // WM_MSG_PAINT
    WM_WHEEL_EVENT wheel;     // WM_MSG_WHEEL, as the window received it
};

// A window's extra bytes as the recording procedure reads them.
struct TestData {
    uint32_t colour; // 0x00RRGGBB painted over the whole clip area
    int32_t id;      // answered to WM_MSG_GET_ID
};

class WmTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // A recording window; colour is GUI_COLOUR (0xBBGGRR).
    WM_HANDLE Create(int x0, int y0, int xs, int ys, WM_HANDLE parent, uint32_t flags,
                     GUI_COLOUR colour = 0x000000, int id = 0);
    void Exec();
    std::vector<Logged> Messages(WM_HANDLE win, int32_t msg_id) const;
    int Count(WM_HANDLE win, int32_t msg_id) const { return int(Messages(win, msg_id).size()); }
    int CountReports(const std::string& text) const;
    // The frame on show, 800 x 480 pixels 0x00RRGGBB.
    std::vector<uint32_t> Shown() const;
    uint32_t ShownAt(int x, int y) const;
    void Pointer(int x, int y, int pressed);
    // A wheel turn through the host's input queue (dy notches away from the user).
    void Wheel(int x, int y, int dy, int dx = 0);

  public:
    static std::vector<Logged> log;
    static std::vector<Report> reports;
    static int now_ms;
};

// The recording procedure of Create().
void RecordProc(WM_MSG_RECORD* msg);

} // namespace wmtest
