#include "application/src/gui_task.h"

#include "application/src/gui_loop.h"
#include "application/src/pending.h"
#include "application/src/tools/lifecycle.h"

#include <chrono>
#include <thread>

namespace {

const GuiLoopActions kLoopActions = {
    PENDING_ReadClock,      PENDING_ShowDateTime,    PENDING_WriteLogLine,
    PENDING_SelectedPage,   PENDING_SendPageMessage, PENDING_UpdateDevices,
    PENDING_ScanEvents,     PENDING_ResetAfterLoss,  PENDING_ExecGui,
};

// A halted GUI task does no further work; the window stays open and can be closed.
void Halt(const char* text) {
    PENDING_DrawHaltText(text);
    while (!APP_StopRequested()) APP_SleepMs(20);
}

} // namespace

void GUITASK_Main() {
    PENDING_InitToolkit();
    if (!PENDING_ShowStartPicture()) return Halt("no Startup Picture");
    APP_SleepMs(2000);
    if (!PENDING_LoadLanguages()) return Halt("no Language Files Found");
    PENDING_SelectStoredLanguage();
    PENDING_BuildMainScreen(true);
    PENDING_HideStatusBanner();

    GuiLoopState state;
    while (!APP_StopRequested()) {
        GUILOOP_Pass(&state, kLoopActions);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}
