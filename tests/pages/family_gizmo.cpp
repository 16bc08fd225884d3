// A made-up device family, written the way a new family file in devices/ is: the Gizmo, a
// meter with a power gauge and an OVP lamp (register 11: 1 while over-voltage), one log column
// and an alarm word. Its one table line is in the test (the program's list stays without it,
// so the program never shows it).
#include "devices/catalogue.h"

using namespace catalogue;

namespace {

constexpr std::array kGizmoElements{
    Scaled(0, "Power", PE_KIND_GAUGE, {10, 40, 85, 109}, R(10, 3), "%dW", 1, 0, K(0), K(5000),
           {kDash, K(4500), kDash, K(4000)}),
    Led(1, "OVP", {10, 160, 30, 25}, R(11, 3), kLedAlarm, kGreen, kRed),
};
constexpr PageLayout kGizmoPage = Page("Gizmo", 120, 382, kGizmoElements);

constexpr std::array kGizmoColumns{Col(0, "POWER", R(10, 3), "%d", 1, kWatts)};
constexpr LogLayout kGizmoLog = Log("Gizmo", kGizmoColumns);

uint32_t GizmoAlarms(const AlarmRegisters& reg, const RegisterCell*) {
    return reg(11) == 1 ? ALARM_OVP : 0;
}

} // namespace

extern constexpr DeviceType DEVTYPE_Gizmo{777,        20,      20,         &kGizmoPage,
                                          &kGizmoLog, nullptr, GizmoAlarms};
