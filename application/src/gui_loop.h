// One pass of the GUI task's main loop, as a function of explicit state so that it can be
// driven pass by pass. Every period is counted in passes, not in clock time.
#pragma once

#include "pages/mainscreen.h" // MSG_PAGE_REFRESH, MSG_PAGE_TICK

#include <cstdint>

constexpr int GUILOOP_TICK_RELOAD = 200;
constexpr int GUILOOP_REDRAW_RELOAD = 10;
constexpr int GUILOOP_DEVICE_UPDATE_RELOAD = 10;
constexpr int GUILOOP_EVENT_SCAN_RELOAD = 1000;

// The display unit's clock bytes.
struct ClockBytes {
    uint8_t hour, minute, second, day, month, year;
};

struct GuiLoopState {
    int32_t tick_countdown = 0; // fires on the first pass, then every 200 passes
    int32_t redraw_countdown = GUILOOP_REDRAW_RELOAD;
    int32_t device_update_countdown = GUILOOP_DEVICE_UPDATE_RELOAD;
    int32_t event_scan_countdown = GUILOOP_EVENT_SCAN_RELOAD;
    uint8_t last_minute = 0;
    int32_t current_page = 0;
    char date_text[20] = {};
    char time_text[20] = {};
};

// What a pass does to the rest of the program. The application installs the real modules;
// tests install recorders.
struct GuiLoopActions {
    // Reads the display unit's clock; false when no display unit is known.
    bool (*read_clock)(ClockBytes* clock);
    // Sets the texts of the date and time widgets of the main screen.
    void (*show_date_time)(const char* date, const char* time);
    // Writes one data-log line; 0 on success.
    int (*write_log_line)();
    // The main multipage's selected page.
    int (*selected_page)();
    // Sends a page message to the page window at the index.
    void (*send_page_message)(int page_index, int message);
    // Runs the derived-register computations over the whole device list.
    void (*update_devices)();
    // Runs the event scan over all devices.
    void (*scan_events)();
    // Everything a lost gateway brings: notice, page deletion, clearing, rebuild.
    void (*reset_after_loss)();
    // Executes all pending GUI work.
    void (*exec_gui)();
};

// Steps 1 to 7 of a pass (the 1 ms sleep is the caller's).
void GUILOOP_Pass(GuiLoopState* state, const GuiLoopActions& actions);
