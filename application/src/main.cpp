// Process entry: data folder, queues, the three tasks in order, then the event loop of the
// main thread until the window is closed or the process is asked to end.
#include "application/src/cmdline.h"
#include "application/src/gui_task.h"
#include "base/queue.h"
#include "base/datafolder.h"
#include "base/dbg.h"
#include "base/lifecycle.h"
#include "comm/gateway.h"
#include "comm/master.h"
#include "comm/mb_ui.h"
#include "elements/status.h"
#include "gui/host/host.h"
#include "gui/toolkit/lang/gui_lang.h"
#include "mqtt/mqtt.h"
#include "pages/event.h"
#include "pages/info.h"
#include "web/web.h"
#include "pages/mainscreen.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <thread>

namespace {

// The stop signal and its sender, for the line that says why the program ends.
std::atomic<int> g_stop_signal{0};
std::atomic<long> g_stop_sender{0};

void OnStopSignal(int number, siginfo_t* info, void*) {
    g_stop_sender.store(info != nullptr ? static_cast<long>(info->si_pid) : 0);
    g_stop_signal.store(number);
    APP_RequestStop();
}

// One line on the error output, so that an end nobody expected can be traced to its cause.
void SayWhyItEnds() {
    if (const int number = g_stop_signal.load())
        std::fprintf(stderr, "veltra-desktop: ending on signal %d from process %ld\n", number,
                     g_stop_sender.load());
    else
        std::fprintf(stderr, "veltra-desktop: ending, the window was closed\n");
}

// What the device search shows: the status banner, the information window's lines and title.
// They take the toolkit lock and do nothing before the main screen has made their windows.
const MB_UiHooks kSearchUi = {STATUS_Show,  STATUS_Hide,   STATUS_SetText,
                              INFO_AddLine, INFO_SetTitle, GUI_Lang_GetText};

// The MQTT publisher writes through the button's path and names devices as their tiles do.
const MqttHooks kMqttHooks = {Master_PostWrite, MAINSCREEN_DeviceName};

void InstallStopSignals() {
    struct sigaction action {};
    action.sa_sigaction = OnStopSignal;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

} // namespace

int main(int argc, char** argv) {
    // Help, version and bad command lines end here; the options take effect before the tasks.
    if (const int exit_code = CMDLINE_Start(argc, argv); exit_code >= 0) return exit_code;
    InstallStopSignals();
    // The window is created on the main thread, which then runs its event loop. Without a
    // window (no display, for example over ssh) the program would run on unseen and never end;
    // it says so and ends before any task starts.
    if (const char* warning = HOST_Init()) {
        std::fprintf(stderr, "veltra-desktop: %s; use --no-window for unattended logging\n",
                     warning);
        HOST_Exit();
        return CMDLINE_EXIT_NO_WINDOW;
    }
    DATA_CreateFolder();
    QUEUE_Init(); // a failure shows later as refused sends; start-up goes on
    MB_SetUiHooks(&kSearchUi);
    CMDLINE_StartWeb(); // only when asked for
    // Off unless a broker is configured: then the master task hands it each device's values
    // after its poll and the GUI task its alarm lines.
    if (CMDLINE_MqttConfig().enabled && MQTT_Start(CMDLINE_MqttConfig(), kMqttHooks) == 0) {
        Master_SetPollHook(MQTT_TakeDevices);
        Event_SetReportHook(MQTT_TakeEvent);
    }

    std::thread gui_task(GUITASK_Main);
    std::thread connection_task(GatewayTask);
    std::thread master_task(MasterTask);

    HOST_RunEventLoop(); // until the window is closed or a stop signal arrives
    APP_RequestStop();
    SayWhyItEnds();

    gui_task.join();
    connection_task.join();
    master_task.join();
    WEB_Stop();
    MQTT_Stop();
    HOST_Exit();
    return 0;
}
