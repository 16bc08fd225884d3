#include "application/src/gui_task.h"

#include "application/src/gui_loop.h"
#include "application/src/lang.h"
#include "application/src/pending.h"
#include "base/datafolder.h"
#include "base/lifecycle.h"
#include "config/settings.h"
#include "devices/derived.h"
#include "devices/device_list.h"
#include "gui/toolkit/core/gui_init.h"
#include "gui/toolkit/draw/gui_draw.h"
#include "gui/toolkit/widgets/widget.h"
#include "gui/toolkit/wm/wm.h"
#include "gui/toolkit/lang/gui_lang.h"
#include "log/log.h"

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

void ExecGui() { GUI_ExecAll(); }

bool ReadClock(ClockBytes* clock) {
    DeviceClock device_clock{};
    if (!DEV_ReadClock(&device_clock)) return false;
    *clock = {device_clock.hour, device_clock.minute, device_clock.second,
              device_clock.day,  device_clock.month,  device_clock.year};
    return true;
}

// A lost gateway: notice, pages deleted, everything the search found cleared, and the main
// screen built again (which waits in the connect page for a new connection and search).
void ResetAfterLoss() {
    PENDING_ShowLossNotice();
    APP_SleepMs(1000);
    PENDING_HideStatusBanner();
    PENDING_DeletePages();
    DEV_Clear();
    PENDING_BuildMainScreen(false);
    LOG_Init(); // a new log file once the devices are found again
}

const GuiLoopActions kLoopActions = {
    ReadClock,            PENDING_ShowDateTime,    LOG_Put,
    PENDING_SelectedPage, PENDING_SendPageMessage, DEV_UpdateAll,
    PENDING_ScanEvents,   ResetAfterLoss,          ExecGui,
};

// A halted GUI task does no further work; the window stays open and can be closed.
void Halt(const char* text) {
    GUI_PrintAt(text, 300, 200);
    WM_ExecCycle();
    while (!APP_StopRequested()) APP_SleepMs(20);
}

} // namespace

void GUITASK_Main() {
    CONFIG_Init();
    InitToolkit();
    if (!ShowStartPicture()) return Halt("no Startup Picture");
    APP_SleepMs(2000);
    if (LANG_LoadFiles() != 0) return Halt("no Language Files Found");
    GUI_Lang_Select(CONFIG_GetLanguage());
    PENDING_BuildMainScreen(true);
    LOG_Init();
    PENDING_HideStatusBanner();

    GuiLoopState state;
    while (!APP_StopRequested()) {
        GUILOOP_Pass(&state, kLoopActions);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}
