#include "tests/gui/toolkit/wm_test_util.h"

#include "gui/host/host.h"
#include "gui/toolkit/core/gui_alloc.h"
#include "gui/toolkit/core/gui_report.h"
#include "gui/toolkit/draw/gui_draw.h"
#include "gui/toolkit/gui_font.h"

#include <cstring>

// The program's configuration, as the application gives it.
void GUI_ConfigureMemory() {
    alignas(8) static uint8_t arena[0x28000];
    if (wmtest::config.arena) GUI_ALLOC_SetArena(arena, sizeof arena);
    if (wmtest::config.font) GUI_SetDefaultFont(&FONT_16);
}

void GUI_ConfigureDisplay() {
    if (wmtest::config.display) GUI_SetDisplayConfig(HOST_XSIZE, HOST_YSIZE, HOST_BUFFER_COUNT);
}

namespace wmtest {

Config config;
std::vector<Logged> WmTest::log;
std::vector<Report> WmTest::reports;
int WmTest::now_ms = 0;

namespace {
int FakeClock() {
    return WmTest::now_ms;
}
void Capture(bool is_error, const char* text) {
    WmTest::reports.push_back({is_error, text});
}
} // namespace

void RecordProc(WM_MSG_RECORD* msg) {
    Logged entry{};
    entry.win = msg->target;
    entry.msg_id = msg->msg_id;
    entry.source = msg->source;
    entry.value = msg->data.v;
    // Windows created without the test data (plain procedures chained here) have none.
    const TestData* data = nullptr;
    TestData own{};
    if (GUI_ALLOC_GetSize(msg->target) >= int32_t(sizeof(WM_Obj) + sizeof(TestData))) {
        if (void* p = GUI_ALLOC_h2p(msg->target)) {
            std::memcpy(&own, static_cast<uint8_t*>(p) + sizeof(WM_Obj), sizeof own);
            GUI_ALLOC_UnlockH(msg->target);
            data = &own;
        }
    }
    switch (msg->msg_id) {
        case WM_MSG_POINTER:
            entry.null_data = msg->data.p == nullptr;
            if (msg->data.p) entry.pointer = *static_cast<const WM_POINTER_STATE*>(msg->data.p);
            break;
        case WM_MSG_CHILD_POINTER: {
            const auto* inner = static_cast<const WM_MSG_RECORD*>(msg->data.p);
            entry.source = inner->target;
            entry.null_data = inner->data.p == nullptr;
            if (inner->data.p) entry.pointer = *static_cast<const WM_POINTER_STATE*>(inner->data.p);
            break;
        }
        case WM_MSG_WHEEL:
            entry.wheel = *static_cast<const WM_WHEEL_EVENT*>(msg->data.p);
            break;
        case WM_MSG_PAINT:
            entry.rect = *static_cast<const GUI_RECT*>(msg->data.p);
            if (data) {
                const uint32_t c = data->colour;
                GUI_SetBackColor(((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF));
                GUI_ClearWindow();
            }
            break;
        case WM_MSG_GET_ID:
            msg->data.v = data ? data->id : 0;
            break;
        default:
            WM_FallbackProc(msg);
            break;
    }
    WmTest::log.push_back(entry);
}

void WmTest::SetUp() {
    log.clear();
    reports.clear();
    now_ms = 1000;
    config = Config{};
    HOST_SetClock(FakeClock);
    GUI_SetReportHook(Capture);
    GUI_InitToolkit();
    WM_EnableBufferedUpdate(1);
    GUI_ExecAll();
    log.clear();
}

void WmTest::TearDown() {
    GUI_SetReportHook(nullptr);
    HOST_SetClock(nullptr);
}

WM_HANDLE WmTest::Create(int x0, int y0, int xs, int ys, WM_HANDLE parent, uint32_t flags,
                         GUI_COLOUR colour, int id) {
    const WM_HANDLE win =
        WM_CreateWindowAsChild(x0, y0, xs, ys, parent, flags, RecordProc, sizeof(TestData));
    if (void* p = GUI_ALLOC_h2p(win)) {
        // Stored as the frame buffer holds it, so tests compare pixels directly.
        const TestData data{((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF),
                            id};
        std::memcpy(static_cast<uint8_t*>(p) + sizeof(WM_Obj), &data, sizeof data);
        GUI_ALLOC_UnlockH(win);
    }
    return win;
}

void WmTest::Exec() {
    GUI_ExecAll();
}

std::vector<Logged> WmTest::Messages(WM_HANDLE win, int32_t msg_id) const {
    std::vector<Logged> out;
    for (const Logged& e : log) {
        if (e.win == win && e.msg_id == msg_id) out.push_back(e);
    }
    return out;
}

int WmTest::CountReports(const std::string& text) const {
    int n = 0;
    for (const Report& r : reports)
        n += r.text == text;
    return n;
}

std::vector<uint32_t> WmTest::Shown() const {
    const uint32_t* p = HOST_GetFrameBuffer(HOST_GetShownBuffer());
    return std::vector<uint32_t>(p, p + HOST_XSIZE * HOST_YSIZE);
}

uint32_t WmTest::ShownAt(int x, int y) const {
    return HOST_GetPixel(HOST_GetShownBuffer(), x, y);
}

void WmTest::Pointer(int x, int y, int pressed) {
    const WM_POINTER_STATE state{x, y, uint8_t(pressed), 0};
    GUI_PID_StoreState(&state);
    Exec();
}

void WmTest::Wheel(int x, int y, int dy, int dx) {
    HOST_MouseWheel(x, y, dx, dy);
    Exec();
}

} // namespace wmtest
