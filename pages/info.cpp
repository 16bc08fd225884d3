#include "pages/info.h"

#include "elements/keyboard.h"
#include "gui/toolkit/core/gui_lock.h"
#include "gui/toolkit/draw/gui_draw.h"
#include "gui/toolkit/widgets/button.h"
#include "gui/toolkit/widgets/listbox.h"
#include "gui/toolkit/widgets/text.h"
#include "pages/mainscreen.h"

#include <atomic>
#include <cstdio>

namespace {


// Written by the GUI task at start, read by the master task as well.
std::atomic<WM_HANDLE> g_window{0};
std::atomic<WM_HANDLE> g_title{0};
std::atomic<WM_HANDLE> g_list{0};
char g_title_text[100] = {};

constexpr GUI_COLOUR kWhiteOnBlack[2] = {0x000000, 0xFFFFFF};
const GUI_LOGPALETTE kClosePalette = {2, 0, kWhiteOnBlack};

const GUI_PICTURE* ClosePicture() {
    static const GUI_PICTURE picture = {60, 60, 8, 1, KEYBOARD_BackArrowBits(), &kClosePalette,
                                        nullptr};
    return &picture;
}

void Callback(WM_MSG_RECORD* msg) {
    switch (msg->msg_id) {
        case WM_MSG_PAINT:
            MAINSCREEN_PaintBackground();
            return;
        case WM_MSG_NOTIFY_PARENT:
            if (WM_GetWinId(msg->source) == INFO_ID_CLOSE &&
                msg->data.v == WM_NOTIFICATION_RELEASED)
                INFO_Hide();
            return;
        default:
            WM_FallbackProc(msg);
            return;
    }
}

} // namespace

WM_HANDLE INFO_Create(WM_HANDLE desktop) {
    GUI_LockGuard lock;
    const WM_HANDLE win = WM_CreateWindowAsChild(0, 0, 800, 480, desktop, 0, Callback, 0);
    const WM_HANDLE title = TEXT_Make(5, 5, 790, 75, win, WM_CF_VISIBLE, GUI_ALIGN_LEFT,
                                      INFO_ID_TITLE, "");
    TEXT_PutFont(title, &FONT_24B);
    TEXT_PutColor(title, 0xFFFFFF);
    const WM_HANDLE list = LISTBOX_Make(2, 86, 796, 310, win, WM_CF_VISIBLE, 0, INFO_ID_LIST,
                                        nullptr);
    LISTBOX_AutoScrollV(list, 1);
    LISTBOX_PutFillColor(list, LISTBOX_CI_UNSEL, 0x000000);
    LISTBOX_PutTextColor(list, LISTBOX_CI_UNSEL, 0x00FF00);
    LISTBOX_PutFont(list, &FONT_16);
    const WM_HANDLE close = BUTTON_Make(5, 415, 60, 60, win, WM_CF_VISIBLE, 0, INFO_ID_CLOSE);
    BUTTON_PutImage(close, BUTTON_CI_UNPRESSED, ClosePicture());
    BUTTON_PutImage(close, BUTTON_CI_PRESSED, ClosePicture());
    BUTTON_PutFillColor(close, BUTTON_CI_PRESSED, 0x00FF00);
    g_title = title;
    g_list = list;
    g_window = win;
    return win;
}

void INFO_Show() {
    GUI_LockGuard lock;
    const WM_HANDLE win = g_window;
    if (win == 0) return;
    WM_ShowWin(win);
    WM_SetModalWin(win);
    WM_SetOnTop(win, 1);
}

void INFO_Hide() {
    GUI_LockGuard lock;
    const WM_HANDLE win = g_window;
    if (win == 0) return;
    WM_SetOnTop(win, 0);
    WM_HideWin(win);
    WM_SetModalWin(0);
}

void INFO_SetTitle(int ip1, int ip2, int ip3, int ip4, int rev1, int rev2, int rev3) {
    GUI_LockGuard lock;
    std::snprintf(g_title_text, sizeof g_title_text,
                  "Ovalo Veltra - Rev. %02d.%02d.%02d ,\nIP: %03d.%03d.%03d.%03d", rev1, rev2,
                  rev3, ip1, ip2, ip3, ip4);
    TEXT_PutText(g_title, g_title_text);
}

void INFO_AddLine(const char* text) {
    GUI_LockGuard lock;
    const WM_HANDLE list = g_list;
    if (list == 0 || text == nullptr) return;
    while (LISTBOX_Count(list) >= INFO_MAX_LINES) LISTBOX_DeleteItem(list, 0);
    LISTBOX_Append(list, text);
    LISTBOX_Select(list, LISTBOX_Count(list) - 1);
}

WM_HANDLE INFO_Window() { return g_window; }
WM_HANDLE INFO_List() { return g_list; }

const GUI_FONTDEF* FONT_FitText(const char* text, int max_width, int max_height) {
    static const GUI_FONTDEF* const kLargestFirst[] = {
        &FONT_32B, &FONT_32,  &FONT_24B, &FONT_24, &FONT_20B,  &FONT_20,  &FONT_16B, &FONT_16,
        &FONT_13HB, &FONT_13H, &FONT_13B, &FONT_13, &FONT_10B, &FONT_10, &FONT_8};
    GUI_LockGuard lock;
    for (const GUI_FONTDEF* font : kLargestFirst) {
        GUI_SelectFont(font);
        if (GUI_GetTextWidth(text) < max_width && GUI_GetFontHeight() < max_height) return font;
    }
    return &FONT_8;
}
