#include "gui/toolkit/core/gui_init.h"

#include "gui/host/host.h"
#include "gui/toolkit/core/gui_lock.h"
#include "gui/toolkit/core/gui_report.h"
#include "gui/toolkit/draw/gui_context.h"
#include "gui/toolkit/wm/wm.h"
#include "gui/toolkit/wm/wm_internal.h"

void GUI_InitToolkit() {
    GUI_LockGuard lock;
    GUI_SetClock(HOST_GetTime);
    GUI_ResetDisplayConfig();
    GUI_SetDrawTarget(nullptr, 1, 1, 1, nullptr);
    GUI_SetDefaultFont(nullptr);
    GUI_ConfigureMemory();
    GUI_ConfigureDisplay();
    WM_ResetDrawTarget();
    GUITASK_Init();
    WM_Init();
}

int GUI_ExecAll() {
    GUI_LockGuard lock;
    int did = 0;
    // Bounded: a procedure that invalidates itself on every paint must not hang the GUI task.
    for (int pass = 0; pass < 100 && WM_ExecCycle(); ++pass)
        did = 1;
    return did;
}
