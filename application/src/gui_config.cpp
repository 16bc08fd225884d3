// The program's two toolkit configuration hooks, called by GUI_InitToolkit.
#include "gui/host/host.h"
#include "gui/toolkit/core/gui_alloc.h"
#include "gui/toolkit/core/gui_init.h"
#include "gui/toolkit/draw/gui_context.h"
#include "gui/toolkit/gui_font.h"

namespace {

constexpr int kArenaBytes = 0x28000; // 160 KiB for every window, widget and text
alignas(8) unsigned char g_arena[kArenaBytes];

} // namespace

void GUI_ConfigureMemory() {
    GUI_ALLOC_SetArena(g_arena, kArenaBytes);
    GUI_SetDefaultFont(&FONT_13);
}

// One display of 800 x 480 with three frame buffers for the buffered update.
void GUI_ConfigureDisplay() { GUI_SetDisplayConfig(HOST_XSIZE, HOST_YSIZE, HOST_BUFFER_COUNT); }
