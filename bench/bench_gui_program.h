// The toolkit's configuration hooks as the program gives them (the 160 KiB heap, the 800 x 480
// display), and the Graph tab built on a page window as the main screen builds it. Included by
// the one source file of a benchmark program that draws pages.
#pragma once

#include "gui/host/host.h"
#include "gui/toolkit/core/gui_alloc.h"
#include "gui/toolkit/core/gui_init.h"
#include "gui/toolkit/draw/gui_draw.h"
#include "gui/toolkit/gui_font.h"
#include "gui/toolkit/widgets/dropdown.h"
#include "gui/toolkit/wm/wm.h"
#include "pages/history.h"

#include <cstdint>

void GUI_ConfigureMemory() {
    alignas(8) static uint8_t arena[0x28000];
    GUI_ALLOC_SetArena(arena, sizeof arena);
    GUI_SetDefaultFont(&FONT_16);
}

void GUI_ConfigureDisplay() {
    GUI_SetDisplayConfig(HOST_XSIZE, HOST_YSIZE, HOST_BUFFER_COUNT);
}

namespace bench_gui {

inline void PageProc(WM_MSG_RECORD* msg) {
    if (msg->msg_id == WM_MSG_PAINT) {
        GUI_SetBackColor(0x000000);
        GUI_ClearWindow();
        return;
    }
    WM_FallbackProc(msg);
}

// The Graph tab on "32 Days" with its first two columns, drawn once.
inline bool BuildHistoryPage() {
    GUI_InitToolkit();
    WM_EnableBufferedUpdate(1);
    const WM_HANDLE page = WM_CreateWindowAsChild(2, 60, 796, 420, 0, WM_CF_VISIBLE, PageProc, 0);
    if (HISTORY_Build(page) != 0) return false;
    DROPDOWN_Select(WM_FindChildById(page, HISTORY_ID_RANGE), HISTORY_RANGE_COUNT - 1);
    GUI_ExecAll();
    return true;
}

} // namespace bench_gui
