#include "application/src/pending.h"

#include "application/src/queue.h"
#include "application/src/tools/lifecycle.h"

void PENDING_InitToolkit() {}
bool PENDING_ShowStartPicture() { return true; }
bool PENDING_LoadLanguages() { return true; }
void PENDING_SelectStoredLanguage() {}
void PENDING_BuildMainScreen(bool) {}
void PENDING_HideStatusBanner() {}
void PENDING_DrawHaltText(const char*) {}

bool PENDING_ReadClock(ClockBytes*) { return false; }
void PENDING_ShowDateTime(const char*, const char*) {}
int PENDING_WriteLogLine() { return 0; }
int PENDING_SelectedPage() { return 0; }
void PENDING_SendPageMessage(int, int) {}
void PENDING_UpdateDevices() {}
void PENDING_ScanEvents() {}
void PENDING_ResetAfterLoss() {}
void PENDING_ExecGui() {}

void PENDING_ConnectionTask() {
    GatewayMessage message{};
    while (!APP_StopRequested()) {
        QUEUE_Receive(&g_connection_queue, &message);
        APP_SleepMs(10);
    }
}

void PENDING_MasterTask() {
    MasterMessage message{};
    while (!APP_StopRequested()) {
        QUEUE_Receive(&g_master_queue, &message);
        APP_SleepMs(100);
    }
}
