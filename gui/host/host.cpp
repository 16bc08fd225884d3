// The display host's shared part: frame buffers, presenting, the input queue, time, the lock,
// the host log and the error output. The SDL window lives in host_sdl.cpp; without it (headless,
// or before HOST_Init) everything here works on its own.
#include "gui/host/host.h"

#include "base/lifecycle.h"
#include "gui/host/host_input.h"
#include "gui/host/host_sdl.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using Frame = std::array<uint32_t, HOST_XSIZE * HOST_YSIZE>;

std::atomic<HOST_Backend> g_backend{HOST_BACKEND_HEADLESS};
std::atomic<int> g_scale{1};
std::atomic<bool> g_force_headless{false};

// ---- Frame buffers and presenting
Frame g_buffers[HOST_BUFFER_COUNT];
Frame g_presented;
std::atomic<int> g_shown{0};
std::atomic<uint32_t> g_change_count{0};
std::atomic<uint32_t> g_presented_count_value{0}; // the change counter at the last present
std::atomic<int> g_present_count{0};

// ---- Time
std::atomic<Clock::rep> g_start{Clock::now().time_since_epoch().count()};
std::atomic<HOST_ClockFn> g_clock{nullptr};
Clock::time_point g_next_tick{}; // main thread only

// ---- Lock
std::recursive_mutex g_lock;
std::atomic<std::thread::id> g_lock_owner{};
std::atomic<int> g_lock_count{0};
constexpr const char* kLockError = "Error in GUITASK module ...";

// ---- Input
struct InputQueue {
    std::mutex mutex;
    std::array<HOST_InputEvent, HOST_INPUT_CAPACITY> events{};
    int head = 0;
    int count = 0;
    int dropped = 0;
    HOST_PointerState last_pointer = HOST_POINTER_NONE;
    HOST_PointerDelivery delivery;
    HOST_KeyTranslator keys;
};
InputQueue g_input;
std::atomic<int> g_save_keys{0}; // Ctrl+S presses not yet taken

// ---- Host log and error output
struct HostLog {
    std::mutex mutex;
    std::array<char, HOST_LOG_CAPACITY + 1> text{};
    int length = 0;
    FILE* error_file = nullptr;
    bool error_file_tried = false;
};
HostLog g_log;
std::atomic<int> g_error_count{0};

// Appends with the input mutex held. A full queue loses its oldest event.
void QueueLocked(const HOST_InputEvent& event) {
    if (g_input.count == HOST_INPUT_CAPACITY) {
        g_input.head = (g_input.head + 1) % HOST_INPUT_CAPACITY;
        --g_input.count;
        ++g_input.dropped;
    }
    g_input.events[(g_input.head + g_input.count) % HOST_INPUT_CAPACITY] = event;
    ++g_input.count;
}

// The toolkit's pointer entry drops a state equal to the one it received last.
void QueuePointerLocked(const HOST_PointerState& state) {
    if (state == g_input.last_pointer) return;
    g_input.last_pointer = state;
    HOST_InputEvent event{};
    event.kind = HOST_INPUT_POINTER;
    event.pointer = state;
    QueueLocked(event);
}

void QueueKeyLocked(int key, int pressed) {
    if (key == 0) return;
    HOST_InputEvent event{};
    event.kind = HOST_INPUT_KEY;
    event.key = key;
    event.pressed = pressed;
    QueueLocked(event);
}

// Turns at one place add up while the toolkit has not taken them yet, so a fast spin of the
// wheel takes one queue entry.
void QueueWheelLocked(int x, int y, int dx, int dy) {
    if (g_input.count > 0) {
        HOST_InputEvent& newest =
            g_input.events[(g_input.head + g_input.count - 1) % HOST_INPUT_CAPACITY];
        if (newest.kind == HOST_INPUT_WHEEL && newest.pointer.x == x && newest.pointer.y == y) {
            newest.wheel_x = std::clamp(newest.wheel_x + dx, -HOST_WHEEL_MAX, HOST_WHEEL_MAX);
            newest.wheel_y = std::clamp(newest.wheel_y + dy, -HOST_WHEEL_MAX, HOST_WHEEL_MAX);
            return;
        }
    }
    HOST_InputEvent event{};
    event.kind = HOST_INPUT_WHEEL;
    event.pointer = HOST_PointerState{x, y, 0};
    event.wheel_x = dx;
    event.wheel_y = dy;
    QueueLocked(event);
}

void DeliverPointerLocked() {
    HOST_PointerState states[2];
    const int count = HOST_DeliverPointer(&g_input.delivery, states);
    for (int i = 0; i < count; ++i)
        QueuePointerLocked(states[i]);
}

// Drops whole lines from the front of the log until `needed` more characters fit.
void MakeRoomLocked(int needed) {
    while (g_log.length > 0 && g_log.length + needed > HOST_LOG_CAPACITY) {
        const char* newline =
            static_cast<const char*>(std::memchr(g_log.text.data(), '\n', g_log.length));
        const int cut = newline ? static_cast<int>(newline - g_log.text.data()) + 1 : g_log.length;
        std::memmove(g_log.text.data(), g_log.text.data() + cut, g_log.length - cut);
        g_log.length -= cut;
    }
}

void AppendLog(const char* text) {
    char prefix[32];
    const int prefix_length = std::snprintf(prefix, sizeof prefix, "\n%d:   ", HOST_GetTime());
    const int text_length = static_cast<int>(std::strlen(text));
    std::lock_guard<std::mutex> guard(g_log.mutex);
    // An entry longer than the whole log keeps its beginning.
    const int entry_length = std::min(prefix_length + text_length, HOST_LOG_CAPACITY);
    MakeRoomLocked(entry_length);
    char* end = g_log.text.data() + g_log.length;
    const int from_prefix = std::min(prefix_length, entry_length);
    std::memcpy(end, prefix, from_prefix);
    std::memcpy(end + from_prefix, text, entry_length - from_prefix);
    g_log.length += entry_length;
    g_log.text[g_log.length] = '\0';
}

// The error log is opened (created afresh) at the first error and kept open; every entry is
// flushed so that it survives a crash.
void WriteErrorFile(const char* text) {
    std::lock_guard<std::mutex> guard(g_log.mutex);
    if (!g_log.error_file_tried) {
        g_log.error_file_tried = true;
        g_log.error_file = std::fopen("SimError.log", "wb");
    }
    if (g_log.error_file == nullptr) return; // the text is lost, nothing else happens
    std::fprintf(g_log.error_file, "\r\n%s", text);
    std::fflush(g_log.error_file);
}

bool MessageBoxWanted() {
    const char* suppress = std::getenv("VELTRA_NO_MESSAGE_BOX");
    return !(suppress && std::strcmp(suppress, "1") == 0);
}

int RealTime() {
    const Clock::rep start = g_start.load(std::memory_order_relaxed);
    const auto elapsed = Clock::now().time_since_epoch() - Clock::duration(start);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
    return static_cast<int>(static_cast<uint32_t>(ms)); // wraps like a 32-bit tick counter
}

} // namespace

// ---- Start, event loop, exit

const char* HOST_Init() {
    g_start.store(Clock::now().time_since_epoch().count(), std::memory_order_relaxed);
    g_next_tick = Clock::now() + std::chrono::milliseconds(HOST_REFRESH_MS);
    const char* choice = std::getenv("VELTRA_HOST");
    if (g_force_headless.load() || (choice && std::strcmp(choice, "headless") == 0)) {
        g_backend = HOST_BACKEND_HEADLESS;
        return nullptr;
    }
    const char* warning = HOSTSDL_Open();
    g_backend = warning ? HOST_BACKEND_HEADLESS : HOST_BACKEND_SDL;
    return warning;
}

void HOST_ForceHeadless(bool headless) {
    g_force_headless.store(headless);
}

void HOST_SetScale(int scale) {
    if (scale >= 1 && scale <= HOST_SCALE_MAX) g_scale.store(scale, std::memory_order_relaxed);
}

int HOST_GetScale() {
    return g_scale.load(std::memory_order_relaxed);
}

HOST_Backend HOST_GetBackend() {
    return g_backend;
}

void HOST_ProcessEvents(int wait_ms) {
    const auto now = Clock::now();
    if (g_next_tick == Clock::time_point{}) g_next_tick = now;
    const auto until_tick =
        std::chrono::duration_cast<std::chrono::milliseconds>(g_next_tick - now).count();
    // The tick has work only for a waiting frame (pointer states are delivered as they come),
    // so without one the wait need not end at the tick.
    long long wait = std::max(wait_ms, 0);
    if (HOST_FramePending()) wait = std::clamp<long long>(until_tick, 0, wait);
    if (g_backend == HOST_BACKEND_SDL) {
        HOSTSDL_HandleEvents(static_cast<int>(wait));
    } else if (wait > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(wait));
    }
    const auto after = Clock::now();
    if (after >= g_next_tick) {
        HOST_Tick();
        g_next_tick += std::chrono::milliseconds(HOST_REFRESH_MS);
        if (g_next_tick < after) g_next_tick = after + std::chrono::milliseconds(HOST_REFRESH_MS);
    }
}

void HOST_RunEventLoop() {
    while (!APP_StopRequested())
        HOST_ProcessEvents(g_backend == HOST_BACKEND_SDL ? HOST_IDLE_WAIT_MS : HOST_REFRESH_MS);
    if (g_backend == HOST_BACKEND_SDL) HOSTSDL_EndBoxes();
}

void HOST_Exit() {
    if (g_backend == HOST_BACKEND_SDL) HOSTSDL_Close();
    g_backend = HOST_BACKEND_HEADLESS;
    std::lock_guard<std::mutex> guard(g_log.mutex);
    if (g_log.error_file) std::fclose(g_log.error_file);
    g_log.error_file = nullptr;
}

void HOST_ResetForTests() {
    HOST_Exit();
    for (Frame& buffer : g_buffers)
        buffer.fill(0);
    g_presented.fill(0);
    g_shown = 0;
    g_change_count = 0;
    g_presented_count_value = 0;
    g_present_count = 0;
    g_clock = nullptr;
    {
        std::lock_guard<std::mutex> guard(g_input.mutex);
        g_input.head = g_input.count = g_input.dropped = 0;
        g_input.last_pointer = HOST_POINTER_NONE;
        g_input.delivery = HOST_PointerDelivery{};
        g_input.keys = HOST_KeyTranslator{};
    }
    {
        std::lock_guard<std::mutex> guard(g_log.mutex);
        g_log.length = 0;
        g_log.text[0] = '\0';
        g_log.error_file_tried = false;
    }
    g_error_count = 0;
}

// ---- Frame buffers

uint32_t* HOST_GetFrameBuffer(int index) {
    if (index < 0 || index >= HOST_BUFFER_COUNT) return nullptr;
    return g_buffers[index].data();
}

void HOST_SetShownBuffer(int index) {
    if (index >= 0 && index < HOST_BUFFER_COUNT) g_shown.store(index, std::memory_order_release);
}

int HOST_GetShownBuffer() {
    return g_shown.load(std::memory_order_acquire);
}

void HOST_IncrementChangeCount() {
    const uint32_t before = g_change_count.fetch_add(1, std::memory_order_acq_rel);
    // The first change since the last present wakes the sleeping event loop; later ones find
    // it awake already.
    if (before == g_presented_count_value.load(std::memory_order_acquire) &&
        g_backend == HOST_BACKEND_SDL)
        HOSTSDL_Wake();
}

uint32_t HOST_GetChangeCount() {
    return g_change_count.load(std::memory_order_acquire);
}

uint32_t HOST_GetPixel(int index, int x, int y) {
    if (index < 0 || index >= HOST_BUFFER_COUNT) return 0;
    if (x < 0 || y < 0 || x >= HOST_XSIZE || y >= HOST_YSIZE) return 0;
    return g_buffers[index][y * HOST_XSIZE + x];
}

uint32_t HOST_CopyShownFrame(uint32_t* out) {
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    const uint32_t count = g_change_count.load(std::memory_order_acquire);
    if (out != nullptr)
        std::memcpy(out, g_buffers[g_shown.load(std::memory_order_acquire)].data(), sizeof(Frame));
    return count;
}

// ---- Presenting

bool HOST_FramePending() {
    return g_change_count.load(std::memory_order_acquire) !=
           g_presented_count_value.load(std::memory_order_acquire);
}

void HOST_Tick() {
    {
        std::lock_guard<std::mutex> guard(g_input.mutex);
        DeliverPointerLocked();
    }
    if (!HOST_FramePending()) return;
    // The toolkit draws with this lock held; when it is busy the next tick tries again, so the
    // event loop never waits for a repaint.
    if (!g_lock.try_lock()) return;
    const uint32_t count = g_change_count.load(std::memory_order_acquire);
    const Frame& shown = g_buffers[g_shown.load(std::memory_order_acquire)];
    // Only the rows that changed are copied and shown again; a repaint that drew the same
    // pixels leaves the window as it is.
    const HOST_RowSpan rows = HOST_ChangedRows(shown.data(), g_presented.data());
    if (rows.first <= rows.last) {
        const size_t at = static_cast<size_t>(rows.first) * HOST_XSIZE;
        const size_t length = static_cast<size_t>(rows.last - rows.first + 1) * HOST_XSIZE;
        std::memcpy(g_presented.data() + at, shown.data() + at, length * sizeof(uint32_t));
    }
    g_lock.unlock();
    g_presented_count_value.store(count, std::memory_order_release);
    g_present_count.fetch_add(1, std::memory_order_relaxed);
    if (g_backend == HOST_BACKEND_SDL && rows.first <= rows.last)
        HOSTSDL_PresentRows(g_presented.data(), rows.first, rows.last);
}

HOST_RowSpan HOST_ChangedRows(const uint32_t* frame, const uint32_t* before) {
    constexpr size_t kRowBytes = sizeof(uint32_t) * HOST_XSIZE;
    HOST_RowSpan rows{0, -1};
    int first = 0;
    while (first < HOST_YSIZE &&
           std::memcmp(frame + first * HOST_XSIZE, before + first * HOST_XSIZE, kRowBytes) == 0)
        ++first;
    if (first == HOST_YSIZE) return rows;
    int last = HOST_YSIZE - 1;
    while (last > first &&
           std::memcmp(frame + last * HOST_XSIZE, before + last * HOST_XSIZE, kRowBytes) == 0)
        --last;
    return HOST_RowSpan{first, last};
}

int HOST_GetPresentCount() {
    return g_present_count.load(std::memory_order_relaxed);
}

const uint32_t* HOST_GetPresentedFrame() {
    return g_presented.data();
}

// ---- Input

bool HOST_PollInput(HOST_InputEvent* event) {
    if (event == nullptr) return false;
    std::lock_guard<std::mutex> guard(g_input.mutex);
    if (g_input.count == 0) return false;
    *event = g_input.events[g_input.head];
    g_input.head = (g_input.head + 1) % HOST_INPUT_CAPACITY;
    --g_input.count;
    return true;
}

HOST_PointerState HOST_GetPointerState() {
    std::lock_guard<std::mutex> guard(g_input.mutex);
    return g_input.last_pointer;
}

int HOST_GetDroppedInputCount() {
    std::lock_guard<std::mutex> guard(g_input.mutex);
    return g_input.dropped;
}

void HOST_MouseEvent(int client_x, int client_y, unsigned buttons, bool double_click) {
    std::lock_guard<std::mutex> guard(g_input.mutex);
    g_input.delivery.stored =
        HOST_TranslatePointer(client_x, client_y, buttons, double_click, HOST_XSIZE, HOST_YSIZE);
    DeliverPointerLocked();
}

void HOST_MouseWheel(int client_x, int client_y, int dx, int dy) {
    dx = std::clamp(dx, -HOST_WHEEL_MAX, HOST_WHEEL_MAX);
    dy = std::clamp(dy, -HOST_WHEEL_MAX, HOST_WHEEL_MAX);
    const HOST_PointerState at =
        HOST_TranslatePointer(client_x, client_y, 0, false, HOST_XSIZE, HOST_YSIZE);
    if (at.x < 0 || (dx == 0 && dy == 0)) return;
    std::lock_guard<std::mutex> guard(g_input.mutex);
    QueueWheelLocked(at.x, at.y, dx, dy);
}

void HOST_KeyDown(int scancode, int32_t keycode, uint16_t modifiers) {
    if (HOST_IsSaveKey(keycode, modifiers)) {
        g_save_keys.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    std::lock_guard<std::mutex> guard(g_input.mutex);
    QueueKeyLocked(HOST_TranslateKeyDown(&g_input.keys, scancode, keycode, modifiers), 1);
}

void HOST_KeyUp(int scancode, int32_t keycode, uint16_t modifiers) {
    std::lock_guard<std::mutex> guard(g_input.mutex);
    QueueKeyLocked(HOST_TranslateKeyUp(&g_input.keys, scancode, keycode, modifiers), 0);
}

bool HOST_TakeSaveKey() {
    int n = g_save_keys.load(std::memory_order_relaxed);
    while (n > 0)
        if (g_save_keys.compare_exchange_weak(n, n - 1, std::memory_order_relaxed)) return true;
    return false;
}

void HOST_TextInput(const char* utf8) {
    std::lock_guard<std::mutex> guard(g_input.mutex);
    bool release_now = false;
    const int code = HOST_TranslateText(&g_input.keys, utf8, &release_now);
    QueueKeyLocked(code, 1);
    if (release_now) QueueKeyLocked(code, 0);
}

// ---- Time

int HOST_GetTime() {
    const HOST_ClockFn clock = g_clock.load(std::memory_order_acquire);
    return clock ? clock() : RealTime(); // the time factor is 1
}

void HOST_Delay(int milliseconds) {
    if (milliseconds > 0) APP_SleepMs(milliseconds);
}

void HOST_Idle() {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void HOST_SetClock(HOST_ClockFn clock) {
    g_clock.store(clock, std::memory_order_release);
}

// ---- Lock

void HOST_Lock() {
    g_lock.lock();
    g_lock_owner.store(std::this_thread::get_id(), std::memory_order_relaxed);
    const int count = g_lock_count.fetch_add(1, std::memory_order_relaxed) + 1;
    if (count > 1) HOST_Error(kLockError);
}

void HOST_Unlock() {
    // Releasing a lock this thread does not hold would corrupt it; report and go on.
    if (g_lock_owner.load(std::memory_order_relaxed) != std::this_thread::get_id() ||
        g_lock_count.load(std::memory_order_relaxed) <= 0) {
        HOST_Error(kLockError);
        return;
    }
    if (g_lock_count.fetch_sub(1, std::memory_order_relaxed) == 1)
        g_lock_owner.store(std::thread::id(), std::memory_order_relaxed);
    g_lock.unlock();
}

int HOST_GetLockCount() {
    return g_lock_count.load(std::memory_order_relaxed);
}

// ---- Warnings and errors

void HOST_Warning(const char* text) {
    if (text) AppendLog(text);
}

void HOST_Error(const char* text) {
    if (text == nullptr) return;
    AppendLog(text);
    g_error_count.fetch_add(1, std::memory_order_relaxed);
    // Written before the box is shown, so the entry is kept even if the box is never answered.
    WriteErrorFile(text);
    if (g_backend == HOST_BACKEND_SDL && MessageBoxWanted()) HOSTSDL_ShowMessageBox(text);
}

int HOST_GetErrorCount() {
    return g_error_count.load(std::memory_order_relaxed);
}

int HOST_CopyLog(char* out, int size) {
    std::lock_guard<std::mutex> guard(g_log.mutex);
    if (out && size > 0) {
        const int copied = std::min(g_log.length, size - 1);
        std::memcpy(out, g_log.text.data(), copied);
        out[copied] = '\0';
    }
    return g_log.length;
}
