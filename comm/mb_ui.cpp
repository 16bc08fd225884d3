#include "comm/mb_ui.h"

#include "base/dbg.h"

#include <atomic>

namespace {

void DefaultShow() {
    DBG_Printf("status banner: shown\n");
}
void DefaultHide() {
    DBG_Printf("status banner: hidden\n");
}
void DefaultSetText(const char* text) {
    DBG_Printf("status banner: %s\n", text);
}
void DefaultAddLine(const char* text) {
    DBG_Printf("info: %s", text);
}
void DefaultSetTitle(int ip1, int ip2, int ip3, int ip4, int rev1, int rev2, int rev3) {
    DBG_Printf("info title: Rev. %02d.%02d.%02d, IP: %03d.%03d.%03d.%03d\n", rev1, rev2, rev3, ip1,
               ip2, ip3, ip4);
}
const char* DefaultGetText(int) {
    return nullptr;
}

constexpr MB_UiHooks kDefaults = {DefaultShow,    DefaultHide,     DefaultSetText,
                                  DefaultAddLine, DefaultSetTitle, DefaultGetText};

std::atomic<const MB_UiHooks*> g_hooks{&kDefaults};

const MB_UiHooks& Hooks() {
    return *g_hooks.load(std::memory_order_acquire);
}

} // namespace

void MB_SetUiHooks(const MB_UiHooks* hooks) {
    g_hooks.store(hooks != nullptr ? hooks : &kDefaults, std::memory_order_release);
}

void MB_StatusShow() {
    auto show = Hooks().status_show;
    (show != nullptr ? show : DefaultShow)();
}

void MB_StatusHide() {
    auto hide = Hooks().status_hide;
    (hide != nullptr ? hide : DefaultHide)();
}

void MB_StatusSetText(const char* text) {
    auto set_text = Hooks().status_set_text;
    (set_text != nullptr ? set_text : DefaultSetText)(text != nullptr ? text : "");
}

void MB_InfoAddLine(const char* text) {
    auto add_line = Hooks().info_add_line;
    (add_line != nullptr ? add_line : DefaultAddLine)(text != nullptr ? text : "");
}

void MB_InfoSetTitle(int ip1, int ip2, int ip3, int ip4, int rev1, int rev2, int rev3) {
    auto set_title = Hooks().info_set_title;
    (set_title != nullptr ? set_title : DefaultSetTitle)(ip1, ip2, ip3, ip4, rev1, rev2, rev3);
}

const char* MB_GetText(int number) {
    auto get_text = Hooks().get_text;
    const char* text = get_text != nullptr ? get_text(number) : nullptr;
    return text != nullptr ? text : "";
}
