#include "pages/event.h"

#include "base/dbg.h"
#include "gui/toolkit/lang/gui_lang.h"
#include "pages/info.h"
#include "pages/mainscreen.h"

#include <array>
#include <cstdio>
#include <initializer_list>

namespace {

// The display map's threshold selector and its records: 26 registers each from 522, the low
// threshold in the first two (low word first), the high one in the next two.
constexpr int32_t kRegisterSelector = 25;
constexpr int32_t kFirstRecord = 522;
constexpr int32_t kRecordSize = 26;

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

bool Is(const DeviceType* type, int index) {
    return type == DeviceTypeTable[static_cast<size_t>(index)];
}

// A register of the device's window as an unsigned 16-bit value; 0 beyond the window.
uint32_t Register(const DeviceEntry& entry, int32_t index) {
    const RegisterCell* window = entry.registers.load(std::memory_order_relaxed);
    const int32_t length = entry.window_length.load(std::memory_order_relaxed);
    if (window == nullptr || index < 1 || index >= length) return 0;
    return static_cast<uint32_t>(Reg_GetValue(index, REG_TYPE_U16, window));
}

bool AnyIsOne(const DeviceEntry& entry, std::initializer_list<int32_t> registers) {
    for (const int32_t r : registers)
        if (Register(entry, r) == 1) return true;
    return false;
}

uint32_t Get32(const RegisterCell* map, int32_t index) {
    return uint32_t{Reg_Get(map, index)} | uint32_t{Reg_Get(map, index + 1)} << 16;
}

// OVP when V reaches the high threshold, LVP when it is down to the low one (both may be set).
uint32_t VoltageBits(uint32_t volts, const RegisterCell* map) {
    if (map == nullptr || Reg_Get(map, 0) != DEV_DISPLAY_TYPE_ID) return 0;
    const int32_t record = kFirstRecord + kRecordSize * Reg_Get(map, kRegisterSelector);
    if (record + 4 > DeviceTypeTable[DEV_TYPE_QUILL]->poll_count) return 0;
    const uint32_t low = Get32(map, record);
    const uint32_t high = Get32(map, record + 2);
    uint32_t bits = 0;
    if (volts >= high) bits |= EVENT_OVP;
    if (volts <= low) bits |= EVENT_LVP;
    return bits;
}

} // namespace

bool Event_IsWatched(const DeviceType* type) {
    for (int index = DEV_TYPE_RV100_30; index <= DEV_TYPE_BRANT_V2; ++index)
        if (Is(type, index)) return true;
    return false;
}

uint32_t Event_AlarmWord(const DeviceEntry& entry, const RegisterCell* display_map) {
    const DeviceType* type = entry.type.load(std::memory_order_relaxed);
    uint32_t word = 0;
    if (entry.state.load(std::memory_order_relaxed) == 0) word |= EVENT_MODBUS;
    if (Is(type, DEV_TYPE_RV100_30) || Is(type, DEV_TYPE_RV140_30) || Is(type, DEV_TYPE_RV75_40)) {
        if ((Register(entry, 519) & 0xF) == 1) word |= EVENT_TEMPERATURE_1;
    } else if (Is(type, DEV_TYPE_BRANT)) {
        if (Register(entry, 18) == 3) word |= EVENT_TEMPERATURE_1;
    } else if (Is(type, DEV_TYPE_BRANT_V2)) {
        if (Register(entry, 140) == 1) word |= EVENT_TEMPERATURE_4;
        if (Register(entry, 100) == 1) word |= EVENT_LVP;
        if (Register(entry, 101) == 1) word |= EVENT_OVP;
        if (AnyIsOne(entry, {141, 142, 143, 144, 149})) word |= EVENT_TEMPERATURE_1;
    } else if (Is(type, DEV_TYPE_CELTON)) {
        if (Register(entry, 9) == 1) word |= EVENT_TEMPERATURE_4;
        word |= VoltageBits(Register(entry, 7) * 4, display_map);
    } else if (Is(type, DEV_TYPE_CELTON_101)) {
        if (Register(entry, 9) == 1) word |= EVENT_TEMPERATURE_4;
        if (Register(entry, 13) == 7) word |= EVENT_TEMPERATURE_1;
        word |= VoltageBits(Register(entry, 7), display_map);
    } else if (Is(type, DEV_TYPE_CELTON_V2)) {
        if (Register(entry, 9) == 1) word |= EVENT_TEMPERATURE_4;
        word |= VoltageBits(Register(entry, 7), display_map);
    } else if (Is(type, DEV_TYPE_CELTON_103) || Is(type, DEV_TYPE_CELTON_104)) {
        if (AnyIsOne(entry, {103, 104, 105})) word |= EVENT_TEMPERATURE_4;
        if (Register(entry, 106) == 1) word |= EVENT_FLAG_8;
        if (Is(type, DEV_TYPE_CELTON_103) && Register(entry, 127) != 0) word |= EVENT_TEMPERATURE_1;
        word |= VoltageBits(Register(entry, 100), display_map);
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
