#include "application/src/gui_task.h"

#include "application/src/gui_loop.h"
#include "application/src/lang.h"
#include "base/datafolder.h"
#include "base/lifecycle.h"
#include "config/settings.h"
#include "devices/derived.h"
#include "devices/device_list.h"
#include "elements/status.h"
#include "gui/host/host.h"
#include "gui/toolkit/core/gui_init.h"
#include "gui/toolkit/draw/gui_draw.h"
#include "gui/toolkit/widgets/widget.h"
#include "gui/toolkit/wm/wm.h"
#include "gui/toolkit/lang/gui_lang.h"
#include "log/log.h"
#include "mqtt/mqtt.h"
#include "pages/event.h"
#include "pages/history.h"
#include "pages/mainscreen.h"

#include <chrono>
#include <string>
#include <thread>

namespace {

void InitToolkit() {
    GUI_InitToolkit();
    WM_EnableBufferedUpdate(1);
    WM_EnableMotion(1);
    GUI_SetAAFactor(6);
    WIDGET_SetProgramDefaults();
}

// Draws the start picture at (0,0) and shows it at once; false when it cannot be read.
bool ShowStartPicture() {
    const std::string path = DATA_MediaPath("welcomeImage.jpg");
    if (GUI_DrawJPEGFile(path.c_str(), 0, 0) == -1) return false;
    WM_ExecCycle();
    return true;
}

void ExecGui() {
    // The save key of the Graph tab (it does nothing on the other pages).
    if (HOST_TakeSaveKey()) HISTORY_SaveSpan();
    GUI_ExecAll();
}

bool ReadClock(ClockBytes* clock) {
    DeviceClock device_clock{};
    if (!DEV_ReadClock(&device_clock)) return false;
    *clock = {device_clock.hour, device_clock.minute, device_clock.second,
              device_clock.day,  device_clock.month,  device_clock.year};
    return true;
}

// Once a second: the alarm words, and the shown names for the MQTT publisher (when it runs).
void CheckEvents() {
    Event_Check();
    MQTT_TakeNames();
}

void RealSleep(int ms) {
    APP_SleepMs(ms);
}
void (*g_sleep)(int) = RealSleep;

const GuiLoopActions kLoopActions = {
    ReadClock,
    MAINSCREEN_SetDateTime,
    LOG_Put,
    MAINSCREEN_SelectedPage,
    MAINSCREEN_SendPageMessage,
    DEV_UpdateAll,
    CheckEvents,
    GUITASK_ResetAfterLoss,
    ExecGui,
};

// A halted GUI task does no further work; the window stays open and can be closed.
void Halt(const char* text) {
    GUI_PrintAt(text, 300, 200);
    WM_ExecCycle();
    while (!APP_StopRequested())
        APP_SleepMs(20);
}

} // namespace

void GUITASK_Main() {
    APP_NameThread("gui-task");
    CONFIG_Init();
    InitToolkit();
    if (!ShowStartPicture()) return Halt("no Startup Picture");
    APP_SleepMs(2000);
    if (LANG_LoadFiles() != 0) return Halt("no Language Files Found");
    GUI_Lang_Select(CONFIG_GetLanguage());
    LOG_SetLineAddedHook(HISTORY_AddLine); // each logged minute reaches the history graph
    // Waits in the connect page until the gateway is connected and searched, then begins the
    // data log and builds the pages.
    MAINSCREEN_Create(WM_GetRootWin(), 0);
    STATUS_Hide();

    GuiLoopState state;
    while (!APP_StopRequested()) {
        GUILOOP_Pass(&state, kLoopActions);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void GUITASK_ResetAfterLoss() {
    STATUS_Show();
    const char* lost = GUI_Lang_GetText(GUI_TEXT_CONNECTION_LOST);
    STATUS_SetText(lost != nullptr ? lost : "");
    GUI_ExecAll();
    g_sleep(1000);
    STATUS_Hide();
    GUI_ExecAll();
    MAINSCREEN_DeletePages(); // the multipage with its pages, and the name-field table
    DEV_Clear();
    // Waits in the connect page for a new connection and search; begins a new log file.
    MAINSCREEN_Create(WM_GetRootWin(), 1);
}

void GUITASK_SetSleepForTests(void (*sleep_ms)(int)) {
    g_sleep = sleep_ms ? sleep_ms : RealSleep;
}
