#include "pages/event.h"

#include "base/dbg.h"
#include "gui/toolkit/lang/gui_lang.h"
#include "pages/info.h"
#include "pages/mainscreen.h"

#include <array>
#include <cstdio>

namespace {

struct BitText {
    uint32_t bit;
    const char* format;
    int second_text;
    const char* alarm; // the alarm's name for listeners, in English whatever the language
};
constexpr BitText kBitTexts[] = {
    {EVENT_OVP, "%s OVP %s %s", EVENT_TEXT_ALARM, "OVP"},
    {EVENT_LVP, "%s LVP %s %s", EVENT_TEXT_ALARM, "LVP"},
    {EVENT_MODBUS, "%s Modbus %s %s", EVENT_TEXT_ALARM, "Modbus"},
    {EVENT_TEMPERATURE_1, "%s Temperature %s %s", EVENT_TEXT_TEMPERATURE_1, "Temperature 1"},
    {EVENT_TEMPERATURE_4, "%s Temperature %s %s", EVENT_TEXT_TEMPERATURE_4, "Temperature 4"},
};

Event_ReportHook g_report_hook = nullptr; // GUI task only

// One pair per list index (the list's whole size, so no index falls outside).
std::array<AlarmState, DEV_LIST_SIZE> g_states;

const char* Text(int number) {
    const char* text = GUI_Lang_GetText(number);
    return text != nullptr ? text : "";
}

} // namespace

bool Event_IsWatched(const DeviceType* type) {
    return type != nullptr && type->alarm_word != nullptr;
}

uint32_t Event_AlarmWord(const DeviceEntry& entry, const RegisterCell* display_map) {
    const DeviceType* type = entry.type.load(std::memory_order_relaxed);
    uint32_t word = 0;
    if (entry.state.load(std::memory_order_relaxed) == 0) word |= EVENT_MODBUS;
    if (type != nullptr && type->alarm_word != nullptr) {
        const AlarmRegisters registers{entry.registers.load(std::memory_order_relaxed),
                                       entry.window_length.load(std::memory_order_relaxed)};
        word |= type->alarm_word(registers, display_map);
    }
    return word;
}

void Event_Check() {
    const RegisterCell* display_map = g_register_store.data();
    int32_t count = g_device_list.device_count.load(std::memory_order_acquire);
    if (count > DEV_LIST_SIZE) count = DEV_LIST_SIZE;
    for (int32_t i = 0; i < count; ++i) {
        const DeviceEntry& entry = g_device_list.entries[static_cast<size_t>(i)];
        if (!Event_IsWatched(entry.type.load(std::memory_order_relaxed))) continue;
        g_states[static_cast<size_t>(i)].current = Event_AlarmWord(entry, display_map);
        Event_Compare(entry, i);
    }
}

void Event_Compare(const DeviceEntry& entry, int32_t index) {
    PARAM_CHECK(index >= 0 && index < DEV_LIST_SIZE);
    AlarmState& state = g_states[static_cast<size_t>(index)];
    const int32_t unit_id = entry.unit_id.load(std::memory_order_relaxed);
    const DeviceType* type = entry.type.load(std::memory_order_relaxed);
    if (state.unit_id != unit_id || state.type != type) {
        // Another device at this index since the list was refilled: none of its alarms were
        // reported yet.
        state.unit_id = unit_id;
        state.type = type;
        state.previous = 0;
    }
    if (state.current == state.previous) return;
    const uint32_t came = state.current & ~state.previous;
    const uint32_t went = state.previous & ~state.current;
    state.previous = state.current;
    if (came != 0) Event_Report(true, came, index);
    if (went != 0) Event_Report(false, went, index);
}

void Event_Report(bool came, uint32_t bits, int32_t index) {
    PARAM_CHECK(index >= 0 && index < DEV_LIST_SIZE);
    // The language text is taken as it is, never as a format.
    const char* change = Text(came ? EVENT_TEXT_CAME : EVENT_TEXT_WENT);
    char name[48];
    if (MAINSCREEN_DeviceName(index, name, sizeof name) < 0) {
        const DeviceEntry& entry = g_device_list.entries[static_cast<size_t>(index)];
        std::snprintf(name, sizeof name, "%s", entry.name);
    }
    for (const BitText& text : kBitTexts) {
        if ((bits & text.bit) == 0) continue;
        char line[256];
        std::snprintf(line, sizeof line, text.format, name, Text(text.second_text), change);
        INFO_AddLine(line);
        DBG_Printf("%s\n", line);
        if (g_report_hook != nullptr) g_report_hook(index, text.alarm, came);
    }
}

void Event_SetReportHook(Event_ReportHook hook) {
    g_report_hook = hook;
}

const AlarmState* Event_State(int32_t index) {
    if (index < 0 || index >= DEV_LIST_SIZE) return nullptr;
    return &g_states[static_cast<size_t>(index)];
}

void Event_Reset() {
    g_states.fill(AlarmState{});
}
