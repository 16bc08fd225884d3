#include "pages/connect.h"

#include "base/palette.h"
#include "base/dbg.h"
#include "base/lifecycle.h"
#include "base/queue.h"
#include "config/settings.h"
#include "elements/status.h"
#include "gui/toolkit/core/gui_init.h"
#include "gui/toolkit/core/gui_lock.h"
#include "gui/toolkit/draw/gui_draw.h"
#include "gui/toolkit/gui_font.h"
#include "gui/toolkit/lang/gui_lang.h"
#include "gui/toolkit/widgets/button.h"
#include "gui/toolkit/widgets/edit.h"
#include "gui/toolkit/widgets/text.h"
#include "pages/mainscreen.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr GUI_COLOUR kBlack = PALETTE_BLACK;
constexpr GUI_COLOUR kGrey = PALETTE_GREY;
constexpr int kKeyBackspace = 8;
constexpr int kKeyEnter = 13;
constexpr int kAddressMaxLen = 16;

enum class Phase { Connect, Search, Done };

char g_address[CONNECT_ADDRESS_SIZE] = {};
bool g_pending = false;
bool g_connected = false;
bool g_search_done = false;
// A close sent after a failed search: the connection task reports it as a failure, which is
// no answer to anything the user did.
bool g_close_sent = false;
Phase g_phase = Phase::Connect;

WM_HANDLE g_window = 0;
WM_HANDLE g_edit = 0;
WM_HANDLE g_hint = 0;
WM_HANDLE g_caption = 0;
WM_HANDLE g_buttons[3] = {}; // CONNECT, DEUTSCH, ENGLISH

// Reconnecting by itself: what was asked for, and the countdown of this page run.
bool g_auto_after_loss = false;
bool g_auto_at_start = false;
bool g_auto_armed = false;
int g_auto_due_ms = 0;
int g_auto_shown_seconds = -1;

void RealSleep(int ms) { APP_SleepMs(ms); }
void (*g_sleep)(int) = RealSleep;

const char* Text(int number) {
    const char* text = GUI_Lang_GetText(number);
    return text != nullptr ? text : "";
}

void Exec() { GUI_ExecAll(); }

void EnableControls(bool with_address) {
    for (WM_HANDLE b : g_buttons) WM_EnableWin(b);
    if (with_address) WM_EnableWin(g_edit);
}

void SendSearch() {
    MasterMessage search{};
    search.kind = MB_CMD_SEARCH_BUS;
    search.max_devices = CONNECT_MAX_SEARCH_DEVICES;
    QUEUE_Send(&g_master_queue, &search);
}

void ConnectAction() {
    if (!g_pending) {
        GatewayMessage request{};
        request.origin = 1;
        request.command = GW_CMD_CONNECT;
        std::snprintf(request.host, sizeof request.host, "%s", g_address);
        std::snprintf(request.service, sizeof request.service, "502");
        QUEUE_Send(&g_connection_queue, &request);
        EnableControls(false);
        WM_DisableWin(g_edit);
        g_pending = true;
        STATUS_Show();
        STATUS_SetText(Text(CONNECT_TEXT_CONNECTING));
        Exec();
        g_sleep(500);
    } else if (g_connected) {
        // A search is running: search once more. The running search's answer then counts as
        // the connection's, and the repeated search's answer starts one more search.
        g_connected = false;
        SendSearch();
    }
}

void ArmRetry(int delay_ms) {
    g_auto_due_ms = GUI_NowMs() + delay_ms;
    g_auto_shown_seconds = -1;
}

// While armed and idle: the countdown in the banner, then the connect.
void AutoConnectTick() {
    const int left = g_auto_due_ms - GUI_NowMs();
    if (left <= 0) return ConnectAction();
    const int seconds = (left + 999) / 1000;
    if (seconds == g_auto_shown_seconds) return;
    g_auto_shown_seconds = seconds;
    char text[64];
    CONNECT_FormatCountdown(GUI_Lang_GetSelected(), seconds, text, sizeof text);
    STATUS_Show();
    STATUS_SetText(text);
}

void SelectLanguage(int language) {
    GUI_Lang_Select(language);
    CONFIG_SetLanguage(language);
    TEXT_PutText(g_caption, Text(CONNECT_TEXT_CAPTION));
    TEXT_PutText(g_hint, Text(CONNECT_TEXT_HINT));
}

void OnNotify(int id, int code) {
    if (code == WM_NOTIFICATION_CLICKED &&
        (id == CONNECT_ID_CONNECT || id == CONNECT_ID_GERMAN || id == CONNECT_ID_ENGLISH))
        DBG_Printf("processbuttonLog: WM_NOTIFICATION_CLICKED\n");
    if (code != WM_NOTIFICATION_RELEASED) return;
    if (id == CONNECT_ID_CONNECT) {
        DBG_Printf("processbuttonLog: WM_NOTIFICATION_RELEASED\n");
        ConnectAction();
    } else if (id == CONNECT_ID_GERMAN) {
        SelectLanguage(GUI_LANG_GERMAN);
    } else if (id == CONNECT_ID_ENGLISH) {
        SelectLanguage(GUI_LANG_ENGLISH);
    }
}

void Callback(WM_MSG_RECORD* msg) {
    switch (msg->msg_id) {
        case WM_MSG_PAINT:
            MAINSCREEN_PaintBackground();
            GUI_SetDrawColor(kGrey);
            return;
        case WM_MSG_KEY: {
            const auto* key = static_cast<const WM_KEY_EVENT*>(msg->data.p);
            if (key != nullptr && key->pressed_cnt > 0 && key->key == kKeyEnter) ConnectAction();
            return;
        }
        case WM_MSG_NOTIFY_PARENT:
            OnNotify(WM_GetWinId(msg->source), msg->data.v);
            return;
        default:
            WM_FallbackProc(msg);
            return;
    }
}

void AddressFilter(WM_HANDLE win, int key) {
    if (g_auto_armed) {
        // The user takes over: no more attempts of our own, and the countdown goes.
        g_auto_armed = false;
        if (!g_pending) STATUS_Hide();
    }
    const CONNECT_FilterResult result = CONNECT_FilterKey(g_address, key);
    if (result.touched_complete) g_pending = false;
    EDIT_PutText(win, g_address);
}

WM_HANDLE MakeButton(int x, int y, int id, const char* text) {
    const WM_HANDLE button =
        BUTTON_Make(x, y, 150, 50, g_window, WM_CF_VISIBLE | WM_CF_SEE_THROUGH, 0, id);
    BUTTON_UseFlexLook(button);
    BUTTON_PutTextColor(button, BUTTON_CI_UNPRESSED, kBlack);
    BUTTON_PutText(button, text);
    BUTTON_PutFont(button, &FONT_24B);
    return button;
}

WM_HANDLE MakeText(int y, int h, int id, const char* text, GUI_COLOUR colour) {
    const WM_HANDLE label = TEXT_Make(20, y, 320, h, g_window, WM_CF_VISIBLE, GUI_ALIGN_LEFT, id,
                                      text);
    TEXT_PutColor(label, colour);
    return label;
}

} // namespace

CONNECT_FilterResult CONNECT_FilterKey(char* buffer, int key) {
    CONNECT_FilterResult result{true, false};
    int len = 0;
    while (len < CONNECT_ADDRESS_SIZE && buffer[len] != '\0') ++len;
    if (len == CONNECT_ADDRESS_SIZE) {
        // No terminator in the buffer: it counts as empty.
        len = 0;
        buffer[0] = '\0';
    }
    int dots = 0, group_digits = 0;
    for (int i = 0; i < len; ++i) {
        if (buffer[i] == '.') {
            ++dots;
            group_digits = 0;
        } else if (buffer[i] >= '0' && buffer[i] <= '9') {
            ++group_digits;
        }
    }
    const bool last = dots >= 3;
    const bool auto_dot = !last && group_digits >= 2;
    auto remove_last = [&] {
        if (len > 0) buffer[--len] = '\0';
    };
    // Appends when the text and its terminator still fit.
    auto append = [&](char c) {
        if (len + 1 >= CONNECT_ADDRESS_SIZE) return;
        buffer[len++] = c;
        buffer[len] = '\0';
    };

    bool backspace_done = false;
    if (last && group_digits >= 1) {
        result.touched_complete = true;
        if (key == kKeyBackspace) {
            remove_last();
            backspace_done = true;
        }
        if (group_digits > 2) {
            result.accepted = key == kKeyBackspace;
            return result;
        }
    }
    if (key >= '0' && key <= '9') {
        append(char(key));
        if (auto_dot) append('.');
    } else if (key == '.' && group_digits >= 1 && !last) {
        append('.');
    } else if (key == kKeyBackspace && !backspace_done) {
        remove_last();
    }
    return result;
}

void CONNECT_SetAutoConnect(bool after_loss, bool at_start) {
    g_auto_after_loss = after_loss;
    g_auto_at_start = at_start;
}

void CONNECT_FormatCountdown(int language, int seconds, char* text, int size) {
    if (text == nullptr || size <= 0) return;
    // The file's words are those of the selected language only.
    const char* words =
        language == GUI_Lang_GetSelected() ? GUI_Lang_GetText(GUI_TEXT_RECONNECTING_IN) : nullptr;
    if (words == nullptr)
        words = language == GUI_LANG_GERMAN ? "Neuer Verbindungsversuch in" : "Reconnecting in";
    // The text is inserted as it is, never used as a format.
    std::snprintf(text, static_cast<size_t>(size), "%s %d s", words, seconds);
}

void CONNECT_SetSleepForTests(void (*sleep_ms)(int)) { g_sleep = sleep_ms ? sleep_ms : RealSleep; }

WM_HANDLE CONNECT_Window() { return g_window; }

void CONNECT_Begin(WM_HANDLE main_window, int rebuild) {
    g_pending = g_connected = g_search_done = g_close_sent = false;
    g_phase = Phase::Connect;
    g_window = WM_CreateWindowAsChild(0, 0, 800, 480, main_window,
                                      WM_CF_VISIBLE | WM_CF_SEE_THROUGH, Callback, 0);
    MAINSCREEN_SetPageWindow(MAIN_CONNECT_SLOT, g_window);
    if (rebuild == 1) {
        // The banner stays until the next connect action changes it.
        STATUS_Show();
        STATUS_SetText(Text(CONNECT_TEXT_LOST));
        Exec();
        g_sleep(1000);
    }
    CONFIG_GetIpAddress(g_address, sizeof g_address);

    GUI_LockGuard lock;
    g_edit = EDIT_Make(20, 185, 320, 50, g_window, WM_CF_VISIBLE, 0, CONNECT_ID_ADDRESS,
                       kAddressMaxLen);
    EDIT_PutFont(g_edit, &FONT_24B);
    EDIT_PutAlign(g_edit, GUI_ALIGN_HCENTER | GUI_ALIGN_VCENTER);
    EDIT_PutKeyFilter(g_edit, AddressFilter);
    EDIT_PutText(g_edit, g_address);
    g_hint = MakeText(240, 15, CONNECT_ID_HINT, Text(CONNECT_TEXT_HINT), 0xFFFFFF);
    g_buttons[0] = MakeButton(370, 185, CONNECT_ID_CONNECT, "CONNECT");
    g_caption = MakeText(260, 25, CONNECT_ID_CAPTION, Text(CONNECT_TEXT_CAPTION), 0x00FF00);
    TEXT_PutFont(g_caption, &FONT_24);
    g_buttons[1] = MakeButton(370, 260, CONNECT_ID_GERMAN, "DEUTSCH");
    g_buttons[2] = MakeButton(540, 260, CONNECT_ID_ENGLISH, "ENGLISH");
    WM_GiveFocus(g_edit);
    g_auto_armed = rebuild == 1 ? g_auto_after_loss : g_auto_at_start;
    if (g_auto_armed) ArmRetry(0); // a gateway that only dropped the line is back at once
}

bool CONNECT_Step() {
    Exec();
    if (g_auto_armed && !g_pending && g_phase == Phase::Connect) AutoConnectTick();
    StatusMessage reply{};
    const bool got = QUEUE_Receive(&g_gui_queue, &reply) == 0;
    if (g_phase == Phase::Done) return true;
    if (!got) return false;

    if (g_phase == Phase::Connect) {
        if (reply.status == STATUS_OK) {
            g_connected = true;
            STATUS_Show();
            STATUS_SetText(Text(CONNECT_TEXT_CONNECTED));
            Exec();
            g_sleep(500);
            // Only an address that connected is kept.
            CONFIG_SetIpAddress(g_address);
            STATUS_Hide();
            SendSearch();
            g_search_done = false;
            g_phase = Phase::Search;
        } else if (reply.status == STATUS_FAILED && g_close_sent && !g_pending) {
            g_close_sent = false;
        } else if (reply.status == STATUS_FAILED) {
            g_close_sent = false;
            const bool answered_attempt = g_pending; // the connection task reports twice
            g_pending = false;
            STATUS_SetText(Text(CONNECT_TEXT_FAILED));
            EnableControls(true);
            Exec();
            g_sleep(1000);
            STATUS_Hide();
            Exec();
            if (g_auto_armed && answered_attempt) ArmRetry(CONNECT_RETRY_MS);
            g_auto_shown_seconds = -1; // the countdown comes back over the failure text
        }
        return false;
    }

    // Search phase.
    if (reply.status == STATUS_OK) {
        g_search_done = true;
        // A CONNECT during the search cleared the connected flag: wait for the repeated one.
        g_phase = g_connected ? Phase::Done : Phase::Connect;
    } else if (reply.status == STATUS_FAILED) {
        // The search may have hidden the banner; the failure must be seen.
        STATUS_Show();
        STATUS_SetText(Text(CONNECT_TEXT_SEARCH_FAILED));
        Exec();
        g_sleep(1000);
        STATUS_Hide();
        EnableControls(true);
        Exec();
        g_connected = false;
        g_pending = false;
        g_phase = Phase::Connect;
        // The connection is still open, and a connect command would then be ignored and the
        // page wait for ever: the next CONNECT starts from a closed one.
        GatewayMessage close{};
        close.origin = 1;
        close.command = GW_CMD_CLOSE;
        if (QUEUE_Send(&g_connection_queue, &close) == 0) g_close_sent = true;
        if (g_auto_armed) ArmRetry(CONNECT_RETRY_MS);
    }
    return g_phase == Phase::Done;
}

void CONNECT_End() {
    g_auto_armed = false;
    g_connected = false;
    g_pending = false;
    STATUS_Hide();
    if (g_window != 0) WM_DeleteWindow(g_window);
    g_window = g_edit = g_hint = g_caption = 0;
    for (WM_HANDLE& b : g_buttons) b = 0;
    MAINSCREEN_SetPageWindow(MAIN_CONNECT_SLOT, 0);
}

int CONNECT_StepSleepMs() {
    return g_pending ? CONNECT_BUSY_SLEEP_MS : CONNECT_IDLE_SLEEP_MS;
}

bool CONNECT_Run(WM_HANDLE main_window, int rebuild) {
    CONNECT_Begin(main_window, rebuild);
    bool done = false;
    while (!(done = CONNECT_Step()) && !APP_StopRequested()) APP_SleepMs(CONNECT_StepSleepMs());
    CONNECT_End();
    return done;
}
