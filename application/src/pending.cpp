#include "application/src/pending.h"

void PENDING_BuildMainScreen(bool) {}
void PENDING_HideStatusBanner() {}
void PENDING_ShowLossNotice() {}
void PENDING_DeletePages() {}

void PENDING_ShowDateTime(const char*, const char*) {}
int PENDING_SelectedPage() { return 0; }
void PENDING_SendPageMessage(int, int) {}
void PENDING_ScanEvents() {}
