#include "devices/device_list.h"

#include "base/dbg.h"

#include <cstdio>

RegisterStore g_register_store;
DeviceList g_device_list;

namespace {

// Store index of the next ordinary device's window. Only the search moves it; the reset puts
// it back.
std::atomic<int32_t> g_next_window{REG_DISPLAY_MAP_SIZE};

RegisterCell* DisplayMap() {
    return g_register_store.data();
}

// Common header of every display group block.
void InitBlockHeader(RegisterCell* block, int32_t unit_id) {
    Reg_Set(block, 0, static_cast<uint16_t>(DEV_DISPLAY_TYPE_ID));
    for (int32_t r = 2; r <= 7; ++r)
        Reg_Set(block, r, 0);
    Reg_Set(block, 9, 1);
    Reg_Set(block, 10, 6);
    Reg_Set(block, 11, 0);
    Reg_Set32(block, 12, 19200);
    Reg_Set(block, 14, 101);
    Reg_Set(block, 15, 1);
    Reg_Set(block, 16, static_cast<uint16_t>(unit_id));
}

// Full-scale current of a current sensor by its kind; 0 for an unknown kind.
int32_t SensorFullScale(uint8_t kind) {
    switch (kind) {
        case 2:
        case 7:
            return 100000;
        case 3:
        case 8:
            return 200000;
        case 4:
        case 9:
            return 400000;
        case 5:
        case 10:
            return 600000;
        default:
            return 0;
    }
}

// Registers 20 to 33 of a sensor block: value, range low and high, then the four limits
// (lower warning, upper warning, lower alarm, upper alarm), 32 bits each.
void InitSensorBlock(RegisterCell* block, const int32_t (&values)[7]) {
    for (int32_t i = 0; i < 7; ++i)
        Reg_Set32(block, 20 + 2 * i, static_cast<uint32_t>(values[i]));
}

void InitAmprixBlock(RegisterCell* block, int32_t sensor) {
    const uint8_t kind = static_cast<uint8_t>(Reg_Get(DisplayMap(), 64 + 10 * sensor) & 0xFF);
    const int32_t full = SensorFullScale(kind);
    const int32_t warning = full != 0 ? full / 100 * 90 : 1;
    const int32_t alarm = full != 0 ? full / 100 * 95 : 1;
    InitSensorBlock(block, {0, 0, full, -1, warning, -1, alarm});
}

void InitHomeBlock(RegisterCell* block) {
    // The 64-bit counter at 52 starts from the 32-bit counter at 50, in seconds, not hours.
    const int64_t hours = Reg_GetValue(50, REG_TYPE_S32, block);
    const uint64_t seconds = static_cast<uint64_t>(hours * 3600);
    Reg_Set32(block, 52, static_cast<uint32_t>(seconds));
    Reg_Set32(block, 54, static_cast<uint32_t>(seconds >> 32));
}

// Copies a name, cut to the field's size less its terminator.
void CopyName(char (&field)[DEV_NAME_SIZE], const char* name) {
    int32_t i = 0;
    for (; i < DEV_NAME_SIZE - 1 && name[i] != '\0'; ++i)
        field[i] = name[i];
    field[i] = '\0';
}

void ResetEntry(DeviceEntry& entry) {
    entry.unit_id.store(0, std::memory_order_relaxed);
    entry.state.store(0, std::memory_order_relaxed);
    entry.type.store(nullptr, std::memory_order_relaxed);
    entry.registers.store(nullptr, std::memory_order_relaxed);
    entry.window_length.store(0, std::memory_order_relaxed);
    for (char& c : entry.custom_name)
        c = '\0';
    for (char& c : entry.name)
        c = '\0';
    entry.widgets_made = 0;
    entry.tile_widget_count = 0;
    for (int32_t& widget : entry.tile_widgets)
        widget = 0;
    entry.greyed = 0;
}

// Fills the entry at the device count and publishes it by counting it.
int32_t AppendEntry(int32_t unit_id, const DeviceType* type, RegisterCell* window,
                    int32_t window_length, const char* name) {
    const int32_t index = g_device_list.device_count.load(std::memory_order_relaxed);
    DeviceEntry& entry = g_device_list.entries[index];
    ResetEntry(entry);
    entry.unit_id.store(unit_id, std::memory_order_relaxed);
    entry.state.store(1, std::memory_order_relaxed);
    entry.type.store(type, std::memory_order_relaxed);
    entry.registers.store(window, std::memory_order_relaxed);
    entry.window_length.store(window_length, std::memory_order_relaxed);
    CopyName(entry.name, name);
    g_device_list.device_count.store(index + 1, std::memory_order_release);
    return index;
}

} // namespace

void DEV_BeginSearch() {
    g_device_list.device_count.store(0, std::memory_order_release);
    g_next_window.store(REG_DISPLAY_MAP_SIZE, std::memory_order_relaxed);
}

int32_t DEV_AppendDevice(int32_t unit_id, const DeviceType* type) {
    PARAM_CHECK(type != nullptr, -1);
    if (g_device_list.device_count.load(std::memory_order_relaxed) >= DEV_LIST_SIZE) {
        DBG_Printf("Device list full, slave id:%d not added\n", unit_id);
        return -1;
    }
    const int32_t start = g_next_window.load(std::memory_order_relaxed);
    if (type->window_size > REG_STORE_SIZE - start) {
        DBG_Printf("Register store full, slave id:%d not added\n", unit_id);
        return -1;
    }
    const int32_t index = AppendEntry(unit_id, type, g_register_store.data() + start,
                                      type->window_size, type->page_layout->short_name);
    g_next_window.store(start + type->window_size, std::memory_order_relaxed);
    return index;
}

int32_t DEV_CreateDisplayGroup(int32_t unit_id, const char* const level_names[4]) {
    const int32_t first = g_device_list.device_count.load(std::memory_order_relaxed);
    if (first > DEV_LIST_SIZE - DEV_GROUP_SIZE) {
        DBG_Printf("Device list full, slave id:%d not added\n", unit_id);
        return -1;
    }
    struct Member {
        int32_t type_index;
        int32_t block; // start address in the display map
    };
    constexpr Member kMembers[DEV_GROUP_SIZE] = {
        {DEV_TYPE_QUILL, 0},     {DEV_TYPE_HOME, 2000},   {DEV_TYPE_GRAPH, 3000},
        {DEV_TYPE_AMPRIX, 4000}, {DEV_TYPE_AMPRIX, 5000}, {DEV_TYPE_AMPRIX, 6000},
        {DEV_TYPE_AMPRIX, 7000}, {DEV_TYPE_LEVRA, 8000},  {DEV_TYPE_LEVRA, 9000},
        {DEV_TYPE_LEVRA, 10000}, {DEV_TYPE_LEVRA, 11000},
    };
    for (int32_t k = 0; k < DEV_GROUP_SIZE; ++k) {
        const Member& member = kMembers[k];
        RegisterCell* block = DisplayMap() + member.block;
        InitBlockHeader(block, unit_id);
        const char* name = DeviceTypeTable[member.type_index]->page_layout->short_name;
        char numbered[DEV_NAME_SIZE];
        if (member.type_index == DEV_TYPE_HOME) InitHomeBlock(block);
        if (member.type_index == DEV_TYPE_AMPRIX) {
            const int32_t sensor = (member.block - 4000) / REG_STORE_ROW;
            InitAmprixBlock(block, sensor);
            std::snprintf(numbered, sizeof numbered, "Amprix %d", sensor + 1);
            name = numbered;
        }
        if (member.type_index == DEV_TYPE_LEVRA) {
            const int32_t sensor = (member.block - 8000) / REG_STORE_ROW;
            InitSensorBlock(block, {0, 0, 10000, 10, 90, 5, 95});
            std::snprintf(numbered, sizeof numbered, "Levra %d", sensor + 1);
            name = numbered;
            if (level_names != nullptr && level_names[sensor] != nullptr)
                name = level_names[sensor];
        }
        // The "Quill" member's window reaches the whole map: polls of every block go to the
        // first entry with the unit id.
        const int32_t length = k == 0 ? REG_DISPLAY_MAP_SIZE : REG_STORE_ROW;
        AppendEntry(unit_id, DeviceTypeTable[member.type_index], block, length, name);
    }
    return first;
}

void DEV_Clear() {
    for (RegisterCell& cell : g_register_store)
        cell.store(0, std::memory_order_relaxed);
    for (DeviceEntry& entry : g_device_list.entries)
        ResetEntry(entry);
    g_device_list.device_count.store(0, std::memory_order_release);
    g_device_list.polled_count.store(0, std::memory_order_release);
    g_next_window.store(REG_DISPLAY_MAP_SIZE, std::memory_order_relaxed);
}

int32_t DEV_FindUnit(int32_t unit_id) {
    const int32_t count = g_device_list.device_count.load(std::memory_order_acquire);
    for (int32_t i = 0; i < count; ++i)
        if (g_device_list.entries[i].unit_id.load(std::memory_order_relaxed) == unit_id) return i;
    return -1;
}

bool DEV_IsDisplayMember(const DeviceEntry& entry) {
    const DeviceType* type = entry.type.load(std::memory_order_relaxed);
    return type != nullptr && type->type_id == Reg_Get(DisplayMap(), 0);
}

bool DEV_ReadClock(DeviceClock* clock) {
    PARAM_CHECK(clock != nullptr, false);
    const RegisterCell* map = DisplayMap();
    if (Reg_Get(map, 0) != DEV_DISPLAY_TYPE_ID) return false;
    const uint16_t r144 = Reg_Get(map, 144);
    const uint16_t r145 = Reg_Get(map, 145);
    const uint16_t r154 = Reg_Get(map, 154);
    const uint16_t r155 = Reg_Get(map, 155);
    clock->hour = static_cast<uint8_t>(r144 & 0xFF);
    clock->minute = static_cast<uint8_t>(r144 >> 8);
    clock->second = static_cast<uint8_t>(r145 & 0xFF);
    clock->month = static_cast<uint8_t>(r154 >> 8);
    clock->day = static_cast<uint8_t>(r155 & 0xFF);
    clock->year = static_cast<uint8_t>(r155 >> 8);
    return true;
}
