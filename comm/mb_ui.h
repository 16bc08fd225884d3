// What the master task shows on the screen during a device search: the status banner, the
// information list and its title, and the language texts it needs. The application installs
// the screen's functions at start; comm itself never includes GUI code. Until then the
// default writes the texts to the diagnostic output and has no language texts.
#pragma once

struct MB_UiHooks {
    void (*status_show)();
    void (*status_hide)();
    void (*status_set_text)(const char* text);
    void (*info_add_line)(const char* text);
    // The information window's title: the display unit's IP address and firmware revision.
    void (*info_set_title)(int ip1, int ip2, int ip3, int ip4, int rev1, int rev2, int rev3);
    // Language text by its number in the current language; nullptr when there is none.
    const char* (*get_text)(int number);
};

// Installs the table, which must outlive every task (nullptr restores the default). A null
// member falls back to the default of that call.
void MB_SetUiHooks(const MB_UiHooks* hooks);

void MB_StatusShow();
void MB_StatusHide();
void MB_StatusSetText(const char* text);
void MB_InfoAddLine(const char* text);
void MB_InfoSetTitle(int ip1, int ip2, int ip3, int ip4, int rev1, int rev2, int rev3);
// Never nullptr: a missing text gives "".
const char* MB_GetText(int number);
