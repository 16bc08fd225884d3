#include "application/src/gui_loop.h"

#include "base/queue.h"
#include "base/dbg.h"

#include <cstdio>

void GUILOOP_Pass(GuiLoopState* state, const GuiLoopActions& actions) {
    // Clock watch: the last minute seen starts at 0, so nothing happens while the display
    // unit's clock still reads minute 0 (before it has been polled).
    ClockBytes clock{};
    if (actions.read_clock(&clock) && clock.minute != state->last_minute) {
        std::snprintf(state->date_text, sizeof state->date_text, "%02d.%02d.%02d", clock.day,
                      clock.month, clock.year);
        std::snprintf(state->time_text, sizeof state->time_text, "%02d:%02d", clock.hour,
                      clock.minute);
        actions.show_date_time(state->date_text, state->time_text);
        state->last_minute = clock.minute;
        // The derived columns of the line come from the registers it logs, not from the
        // computation up to 10 passes before (a poll may have landed since).
        actions.update_devices();
        if (actions.write_log_line() != 0) DBG_Printf("ERROR WRITING LOGFILE\n");
    }

    // The tick goes to the page index as last stored, not re-read.
    if (--state->tick_countdown <= 0) {
        actions.send_page_message(state->current_page, MSG_PAGE_TICK);
        state->tick_countdown = GUILOOP_TICK_RELOAD;
    }

    if (--state->redraw_countdown == 0) {
        state->current_page = actions.selected_page();
        actions.send_page_message(state->current_page, MSG_PAGE_REFRESH);
        state->redraw_countdown = GUILOOP_REDRAW_RELOAD;
    }

    // Reloads also with an empty device list, so a new device is computed within 10 passes.
    if (--state->device_update_countdown == 0) {
        actions.update_devices();
        state->device_update_countdown = GUILOOP_DEVICE_UPDATE_RELOAD;
    }

    if (--state->event_scan_countdown == 0) {
        actions.scan_events();
        state->event_scan_countdown = GUILOOP_EVENT_SCAN_RELOAD;
    }

    // A lost gateway resets the screens; any other status is taken out and dropped.
    StatusMessage message{};
    if (QUEUE_Receive(&g_gui_queue, &message) == 0 && message.status == STATUS_FAILED)
        actions.reset_after_loss();

    actions.exec_gui();
}
