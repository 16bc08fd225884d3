#include "application/src/pending.h"

#include "application/src/queue.h"
#include "application/src/tools/lifecycle.h"

void PENDING_BuildMainScreen(bool) {}
void PENDING_HideStatusBanner() {}
void PENDING_ShowLossNotice() {}
void PENDING_DeletePages() {}

void PENDING_ShowDateTime(const char*, const char*) {}
int PENDING_SelectedPage() { return 0; }
void PENDING_SendPageMessage(int, int) {}
void PENDING_ScanEvents() {}

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
