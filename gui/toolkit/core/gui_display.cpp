// The display configuration: the size and the number of the host's frame buffers in use.
#include "gui/host/host.h"
#include "gui/toolkit/core/gui_init.h"
#include "gui/toolkit/core/gui_lock.h"

namespace {
int g_x_size = 0;
int g_y_size = 0;
int g_num_buffers = 0;
} // namespace

int GUI_SetDisplayConfig(int x_size, int y_size, int num_buffers) {
    if (x_size < 1 || y_size < 1 || x_size > HOST_XSIZE || y_size > HOST_YSIZE) return -1;
    if (num_buffers < 1 || num_buffers > HOST_BUFFER_COUNT) return -1;
    GUI_LockGuard lock;
    g_x_size = x_size;
    g_y_size = y_size;
    g_num_buffers = num_buffers;
    return 0;
}

void GUI_ResetDisplayConfig() {
    GUI_LockGuard lock;
    g_x_size = g_y_size = g_num_buffers = 0;
}

int GUI_GetXSize() {
    return g_x_size;
}
int GUI_GetYSize() {
    return g_y_size;
}
int GUI_GetNumBuffers() {
    return g_num_buffers;
}
