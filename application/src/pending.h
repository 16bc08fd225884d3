// Steps of the start sequence and the main loop whose modules have not been built yet.
// Each is a no-op named after what it will do; the issue that builds the module replaces the
// call with the real one and removes the entry here.
#pragma once

#include "application/src/gui_loop.h"

void PENDING_BuildMainScreen(bool first_time); // includes the connect page's wait
void PENDING_HideStatusBanner();
void PENDING_ShowLossNotice(); // status banner with text 188, then the pending GUI work
void PENDING_DeletePages();    // the main multipage with all its pages, the name-field table

void PENDING_ShowDateTime(const char* date, const char* time);
int PENDING_SelectedPage();
void PENDING_SendPageMessage(int page_index, int message);
void PENDING_ScanEvents();
