// The SDL2 window: an 802 x 482 window, not resizable, centred on the screen, with the
// 800 x 480 display drawn at (1,1) inside a one-pixel grey frame from a streaming texture; at scale
// N all of it N times as large, with sharp pixels. Mouse, keyboard and text input go to the host's
// translation; F12 writes the frame on show as a PNG into the data folder.
#include "gui/host/host_sdl.h"

#include "base/datafolder.h"
#include "base/dbg.h"
#include "base/lifecycle.h"
#include "gui/host/host.h"
#include "gui/host/host_icon.h"
#include "gui/host/host_input.h"

#include <SDL.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <thread>

namespace {

SDL_Window* g_window = nullptr;
SDL_Renderer* g_renderer = nullptr;
SDL_Texture* g_texture = nullptr;
std::thread::id g_main_thread;
unsigned g_buttons = 0;              // the mouse buttons held, as HOST_BUTTON_* bits
std::atomic<Uint32> g_wake_event{0}; // registered once the window opens; read by other threads
char g_warning[256];

// A warning box asked for by another thread, shown by the event loop.
struct BoxRequest {
    std::mutex mutex;
    std::condition_variable done;
    std::array<char, 1024> text{};
    bool pending = false;
    bool accepted = false; // from the window's opening to the end of the event loop
    uint64_t shown = 0;    // boxes shown so far, so a waiter knows its own went by
};
BoxRequest g_box;

// The grey around the display, as the desktop build's application workspace colour.
constexpr Uint8 kBorderGrey = 171;

int g_scale = 1; // fixed when the window opens

void Redraw() {
    SDL_SetRenderDrawColor(g_renderer, kBorderGrey, kBorderGrey, kBorderGrey, 255);
    SDL_RenderClear(g_renderer);
    const SDL_Rect display{HOST_DISPLAY_X0 * g_scale, HOST_DISPLAY_Y0 * g_scale,
                           HOST_XSIZE * g_scale, HOST_YSIZE * g_scale};
    SDL_RenderCopy(g_renderer, g_texture, nullptr, &display);
    SDL_RenderPresent(g_renderer);
}

// Draws only display rows first..last again. The software renderer draws into the window's
// own surface, which keeps the rest of the last picture; an exposed window gets Redraw.
void RedrawRows(int first, int last) {
    const SDL_Rect rows{0, first, HOST_XSIZE, last - first + 1};
    const SDL_Rect place{HOST_DISPLAY_X0 * g_scale, (HOST_DISPLAY_Y0 + first) * g_scale,
                         HOST_XSIZE * g_scale, rows.h * g_scale};
    SDL_RenderCopy(g_renderer, g_texture, &rows, &place);
    SDL_RenderPresent(g_renderer);
}

unsigned ButtonBit(Uint8 button) {
    switch (button) {
        case SDL_BUTTON_LEFT:
            return HOST_BUTTON_LEFT;
        case SDL_BUTTON_RIGHT:
            return HOST_BUTTON_RIGHT;
        case SDL_BUTTON_MIDDLE:
            return HOST_BUTTON_MIDDLE;
        default:
            return 0;
    }
}

void WriteScreenshot() {
    const std::string path = DATA_FilePath(DATA_StampedName("screenshot", ".png").c_str());
    if (HOST_WritePNGPixels(path.c_str(), HOST_GetPresentedFrame(), HOST_XSIZE, HOST_YSIZE,
                            HOST_XSIZE) == 0) {
        DBG_Printf("Screenshot written to %s\n", path.c_str());
    } else {
        DBG_Printf("Screenshot could not be written to %s\n", path.c_str());
    }
}

void MouseEvent(int window_x, int window_y, bool double_click) {
    HOST_MouseEvent(HOST_WindowToDisplay(window_x, HOST_DISPLAY_X0, g_scale),
                    HOST_WindowToDisplay(window_y, HOST_DISPLAY_Y0, g_scale), g_buttons,
                    double_click);
}

void HandleEvent(const SDL_Event& event) {
    switch (event.type) {
        case SDL_QUIT:
            APP_RequestStop();
            break;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_EXPOSED) Redraw();
            if (event.window.event == SDL_WINDOWEVENT_CLOSE) APP_RequestStop();
            break;
        case SDL_MOUSEMOTION:
            MouseEvent(event.motion.x, event.motion.y, false);
            break;
        case SDL_MOUSEBUTTONDOWN: {
            // While the left button is held the window keeps the mouse, so a drag beyond it
            // still reports positions (outside the display: -1, -1 with the button bit).
            if (event.button.button == SDL_BUTTON_LEFT) SDL_CaptureMouse(SDL_TRUE);
            g_buttons |= ButtonBit(event.button.button);
            const bool double_click =
                event.button.button == SDL_BUTTON_LEFT && event.button.clicks == 2;
            MouseEvent(event.button.x, event.button.y, double_click);
            break;
        }
        case SDL_MOUSEBUTTONUP:
            g_buttons &= ~ButtonBit(event.button.button);
            MouseEvent(event.button.x, event.button.y, false);
            if (event.button.button == SDL_BUTTON_LEFT) SDL_CaptureMouse(SDL_FALSE);
            break;
        case SDL_MOUSEWHEEL: {
            // X11 reports each notch of buttons 4 to 7 as one step; "natural scrolling"
            // devices report the steps reversed.
            const int sign = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -1 : 1;
            HOST_MouseWheel(HOST_WindowToDisplay(event.wheel.mouseX, HOST_DISPLAY_X0, g_scale),
                            HOST_WindowToDisplay(event.wheel.mouseY, HOST_DISPLAY_Y0, g_scale),
                            sign * event.wheel.x, sign * event.wheel.y);
            break;
        }
        case SDL_KEYDOWN:
            if (event.key.keysym.sym == SDLK_F12) {
                if (!event.key.repeat) WriteScreenshot();
                break;
            }
            // A held save key saves once.
            if (event.key.repeat && HOST_IsSaveKey(event.key.keysym.sym, event.key.keysym.mod))
                break;
            HOST_KeyDown(event.key.keysym.scancode, event.key.keysym.sym, event.key.keysym.mod);
            break;
        case SDL_KEYUP:
            if (event.key.keysym.sym == SDLK_F12) break;
            HOST_KeyUp(event.key.keysym.scancode, event.key.keysym.sym, event.key.keysym.mod);
            break;
        case SDL_TEXTINPUT:
            HOST_TextInput(event.text.text);
            break;
        default:
            break;
    }
}

std::atomic<HOST_MessageBoxFn> g_box_hook{nullptr};

void ShowBox(const char* text) {
    if (const HOST_MessageBoxFn hook = g_box_hook.load(std::memory_order_acquire))
        return hook(HOST_PROGRAM_NAME, text);
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, HOST_PROGRAM_NAME, text, g_window);
}

// Shows a box another thread handed over, if any.
void ShowRequestedBox() {
    std::unique_lock<std::mutex> lock(g_box.mutex);
    if (!g_box.pending) return;
    const std::array<char, 1024> text = g_box.text;
    lock.unlock();
    ShowBox(text.data());
    lock.lock();
    g_box.pending = false;
    ++g_box.shown;
    g_box.done.notify_all();
}

// SDL falls back to drivers that open a window nobody can see when no screen is reachable (no
// DISPLAY, for example over ssh). A program that runs on unseen is of no use to anyone and
// looks hung, so those count as no window - unless the user asked for one by SDL_VIDEODRIVER.
bool ShowsAWindow(const char* driver) {
    const char* asked = std::getenv("SDL_VIDEODRIVER");
    if (asked && asked[0] != '\0') return true;
    if (driver == nullptr) return false;
    for (const char* unseen : {"offscreen", "dummy", "evdev"})
        if (std::strcmp(driver, unseen) == 0) return false;
    return true;
}

// The task bar and the window switcher show the program's icon; without one they show a
// generic picture, so a failure here only costs the icon.
void SetIcon() {
    HOSTICON_Image icon;
    if (!HOSTICON_Get(&icon)) {
        DBG_Printf("The window icon could not be decoded\n");
        return;
    }
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
        icon.rgba.data(), icon.width, icon.height, 32, icon.width * 4, SDL_PIXELFORMAT_RGBA32);
    if (surface == nullptr) return;
    SDL_SetWindowIcon(g_window, surface); // SDL copies the pixels
    SDL_FreeSurface(surface);
}

} // namespace

const char* HOSTSDL_Open() {
    g_main_thread = std::this_thread::get_id();
    // The program's own SIGINT and SIGTERM handlers stay in place.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // The window's pixels go to the X server directly; no OpenGL driver is loaded for them.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // A click that brings the window to the front is a touch like any other.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::snprintf(g_warning, sizeof g_warning, "Could not open the display window: %s",
                      SDL_GetError());
        return g_warning;
    }
    if (const char* driver = SDL_GetCurrentVideoDriver(); !ShowsAWindow(driver)) {
        std::snprintf(g_warning, sizeof g_warning,
                      "Could not open the display window: no screen to show it on (DISPLAY "
                      "is %s)",
                      std::getenv("DISPLAY") ? "not reachable" : "not set");
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return g_warning;
    }
    g_scale = HOST_GetScale();
    g_window = SDL_CreateWindow(HOST_WINDOW_TITLE, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                HOST_WINDOW_XSIZE * g_scale, HOST_WINDOW_YSIZE * g_scale,
                                SDL_WINDOW_SHOWN);
    // One 800 x 480 copy per changed frame needs no GPU; the software renderer keeps the
    // process small and works on every X server.
    if (g_window) g_renderer = SDL_CreateRenderer(g_window, -1, SDL_RENDERER_SOFTWARE);
    if (g_renderer)
        g_texture = SDL_CreateTexture(g_renderer, SDL_PIXELFORMAT_RGB888,
                                      SDL_TEXTUREACCESS_STREAMING, HOST_XSIZE, HOST_YSIZE);
    if (g_texture == nullptr) {
        std::snprintf(g_warning, sizeof g_warning, "Could not open the display window: %s",
                      SDL_GetError());
        HOSTSDL_Close();
        return g_warning;
    }
    SetIcon();
    SDL_SetTextureBlendMode(g_texture, SDL_BLENDMODE_NONE);
    // An enlarged display repeats each pixel; smoothing would blur the bitmap fonts.
    SDL_SetTextureScaleMode(g_texture, SDL_ScaleModeNearest);
    g_wake_event = SDL_RegisterEvents(1);
    SDL_StartTextInput();
    {
        std::lock_guard<std::mutex> guard(g_box.mutex);
        g_box.accepted = true;
    }
    HOSTSDL_Present(HOST_GetPresentedFrame());
    return nullptr;
}

void HOSTSDL_Close() {
    HOSTSDL_EndBoxes();
    if (g_texture) SDL_DestroyTexture(g_texture);
    if (g_renderer) SDL_DestroyRenderer(g_renderer);
    if (g_window) SDL_DestroyWindow(g_window);
    g_texture = nullptr;
    g_renderer = nullptr;
    g_window = nullptr;
    // No SDL_Quit: the process ends right after, and unloading the X libraries SDL opened
    // would only turn their remaining memory into leaks.
}

void HOSTSDL_HandleEvents(int wait_ms) {
    SDL_Event event;
    if (SDL_WaitEventTimeout(&event, wait_ms)) {
        HandleEvent(event);
        while (SDL_PollEvent(&event))
            HandleEvent(event);
    }
    ShowRequestedBox();
}

void HOSTSDL_Wake() {
    const Uint32 type = g_wake_event.load(std::memory_order_acquire);
    if (type == 0 || type == static_cast<Uint32>(-1)) return;
    SDL_Event wake{};
    wake.type = type;
    SDL_PushEvent(&wake);
}

void HOSTSDL_Present(const uint32_t* frame) {
    if (g_texture == nullptr) return;
    SDL_UpdateTexture(g_texture, nullptr, frame, HOST_XSIZE * static_cast<int>(sizeof *frame));
    Redraw();
}

void HOSTSDL_PresentRows(const uint32_t* frame, int first, int last) {
    if (g_texture == nullptr) return;
    if (first < 0 || last >= HOST_YSIZE || first > last) return HOSTSDL_Present(frame);
    const SDL_Rect rows{0, first, HOST_XSIZE, last - first + 1};
    SDL_UpdateTexture(g_texture, &rows, frame + first * HOST_XSIZE,
                      HOST_XSIZE * static_cast<int>(sizeof *frame));
    RedrawRows(first, last);
}

void HOSTSDL_ShowMessageBox(const char* text) {
    if (std::this_thread::get_id() == g_main_thread) return ShowBox(text);
    std::unique_lock<std::mutex> lock(g_box.mutex);
    // Once the event loop has ended no one would show it; the error file has the text.
    if (!g_box.accepted) return;
    g_box.done.wait(lock, [] { return !g_box.pending || !g_box.accepted; });
    if (!g_box.accepted) return;
    std::snprintf(g_box.text.data(), g_box.text.size(), "%s", text);
    g_box.pending = true;
    const uint64_t mine = g_box.shown + 1;
    SDL_Event wake{};
    wake.type = g_wake_event;
    SDL_PushEvent(&wake);
    // Like a modal box, the calling thread goes on once the user has closed it.
    g_box.done.wait(lock, [mine] { return g_box.shown >= mine || !g_box.accepted; });
}

void HOSTSDL_EndBoxes() {
    std::lock_guard<std::mutex> guard(g_box.mutex);
    g_box.accepted = false;
    g_box.pending = false;
    g_box.done.notify_all();
}

void HOST_SetMessageBoxHook(HOST_MessageBoxFn hook) {
    g_box_hook.store(hook, std::memory_order_release);
}
