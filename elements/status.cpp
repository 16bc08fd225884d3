#include "elements/status.h"

#include "gui/toolkit/core/gui_lock.h"
#include "gui/toolkit/draw/gui_draw.h"
#include "gui/toolkit/gui_font.h"
#include "gui/toolkit/widgets/text.h"

namespace {

WM_HANDLE g_banner = 0;
constexpr int kWidth = 300;

// The banner's font is FONT_24B; a text too wide for it takes the next smaller bold font, so
// a message is never cut at both ends.
const GUI_FONTDEF* FontFor(const char* text) {
    static const GUI_FONTDEF* const kFonts[] = {&FONT_24B, &FONT_20B, &FONT_16B, &FONT_13B};
    const GUI_FONTDEF* previous = GUI_SelectFont(nullptr);
    const GUI_FONTDEF* chosen = kFonts[3];
    for (const GUI_FONTDEF* font : kFonts) {
        GUI_SelectFont(font);
        if (GUI_GetTextWidth(text) <= kWidth) {
            chosen = font;
            break;
        }
    }
    GUI_SelectFont(previous);
    return chosen;
}

} // namespace

WM_HANDLE STATUS_Create() {
    GUI_LockGuard lock;
    // The main screen makes the banner at every build; the earlier one would stay in the heap.
    if (g_banner != 0 && WM_IsWindow(g_banner)) WM_DeleteWindow(g_banner);
    g_banner = TEXT_Make(200, 5, kWidth, 40, WM_GetRootWin(), WM_CF_VISIBLE,
                         GUI_ALIGN_HCENTER | GUI_ALIGN_VCENTER, STATUS_ID, nullptr);
    TEXT_PutFont(g_banner, &FONT_24B);
    TEXT_PutColor(g_banner, 0xFFFFFF);
    WM_HideWin(g_banner);
    return g_banner;
}

void STATUS_Show() {
    GUI_LockGuard lock;
    if (!WM_IsWindow(g_banner)) return;
    WM_ShowWin(g_banner);
    WM_SetOnTop(g_banner, 1);
}

void STATUS_Hide() {
    GUI_LockGuard lock;
    if (!WM_IsWindow(g_banner)) return;
    WM_HideWin(g_banner);
    WM_SetOnTop(g_banner, 0);
}

void STATUS_SetText(const char* text) {
    GUI_LockGuard lock;
    if (!WM_IsWindow(g_banner)) return;
    TEXT_PutFont(g_banner, FontFor(text != nullptr ? text : ""));
    TEXT_PutText(g_banner, text);
}

WM_HANDLE STATUS_Handle() { return g_banner; }
