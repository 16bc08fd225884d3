// Event and alarm texts: once a second the GUI task forms an alarm word for every battery
// protector, charge controller and switch unit, compares it with the word of the previous
// evaluation and, for every alarm that came or went, adds one line to the information list and
// to the diagnostic output: "<name> OVP <alarm> <came>", in the selected language, with the
// name the device's tile shows.
#pragma once

#include "devices/alarm.h"
#include "devices/device_list.h"
#include "gui/toolkit/lang/gui_lang.h"

#include <cstdint>

// Alarm bits, reported in this order: OVP, LVP, Modbus, temperature 1, temperature 4. Bit 8
// (a protector's own flag) changes the word but forms no line. Each family's file says which
// of its registers set them.
constexpr uint32_t EVENT_OVP = ALARM_OVP;
constexpr uint32_t EVENT_LVP = ALARM_LVP;
constexpr uint32_t EVENT_MODBUS = ALARM_MODBUS;
constexpr uint32_t EVENT_TEMPERATURE_1 = ALARM_TEMPERATURE_1;
constexpr uint32_t EVENT_TEMPERATURE_4 = ALARM_TEMPERATURE_4;
constexpr uint32_t EVENT_FLAG_8 = ALARM_FLAG_8;

// Language texts of the lines.
constexpr int EVENT_TEXT_CAME = GUI_TEXT_EVENT_CAME;
constexpr int EVENT_TEXT_WENT = GUI_TEXT_EVENT_WENT;
constexpr int EVENT_TEXT_ALARM = GUI_TEXT_EVENT_ALARM;
constexpr int EVENT_TEXT_TEMPERATURE_1 = GUI_TEXT_EVENT_TEMPERATURE_1;
constexpr int EVENT_TEXT_TEMPERATURE_4 = GUI_TEXT_EVENT_TEMPERATURE_4;

// The words of one device list index, and which device they belong to, so that after the
// list is refilled an index held by another device starts without alarms while the same
// device keeps its word (a reconnection does not report its alarms again).
struct AlarmState {
    uint32_t current = 0;
    uint32_t previous = 0;
    int32_t unit_id = 0;
    const DeviceType* type = nullptr;
};

// The GUI task's loop calls this once every 1000 passes: every watched device of the list is
// evaluated and compared.
void Event_Check();

// True for the types that have alarms (an alarm word function in their record): charge
// controllers, battery protectors, switch units.
bool Event_IsWatched(const DeviceType* type);

// The alarm word of a watched device now: Modbus when it does not answer, then its family's
// bits from its registers; the voltage bits against the threshold record that register 25 of
// the display unit's map selects. No voltage bits without a display unit or when the selected
// record lies beyond the registers polled from it (the thresholds are then unknown).
uint32_t Event_AlarmWord(const DeviceEntry& entry, const RegisterCell* display_map);

// Takes the word just evaluated for index i: the bits set now and not before came, the bits
// set before and not now went; each group is reported.
void Event_Compare(const DeviceEntry& entry, int32_t index);

// One line per bit of `bits`, in the order above, for the device at list index `index`.
void Event_Report(bool came, uint32_t bits, int32_t index);

// Called on the GUI task for every line Event_Report forms: the list index, the alarm's name
// in English ("OVP", "LVP", "Modbus", "Temperature 1", "Temperature 4") and whether it came.
// For listeners beside the display (the application installs them); nullptr removes it.
using Event_ReportHook = void (*)(int32_t index, const char* alarm, bool came);
void Event_SetReportHook(Event_ReportHook hook);

// The words of a list index (nullptr beyond the list); for tests.
const AlarmState* Event_State(int32_t index);
// Forgets every word, as at start.
void Event_Reset();
