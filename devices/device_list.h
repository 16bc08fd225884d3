// The device list and the register store: what a device search found and the registers that
// polling keeps. The master task fills both; the GUI task reads them and empties them after a
// lost gateway.
#pragma once

#include "devices/device_types.h"
#include "devices/reg_access.h"

#include <array>
#include <atomic>
#include <cstdint>

constexpr int32_t DEV_LIST_SIZE = 265;
constexpr int32_t REG_STORE_SIZE = 266000;
constexpr int32_t REG_STORE_ROW = 1000;
// Rows 0 to 11 are the display unit's register map; other devices' windows follow it.
constexpr int32_t REG_DISPLAY_MAP_SIZE = 12000;
constexpr int32_t DEV_GROUP_SIZE = 11;
// The names file's key of each display group member, in the group's order (section
// "CUSTOM_NAMES").
inline constexpr const char* DEV_GROUP_NAME_KEYS[DEV_GROUP_SIZE] = {
    "QUILL",  "HOME",   "GRAPH",  "AMPRX1", "AMPRX2", "AMPRX3",
    "AMPRX4", "LEVEL1", "LEVEL2", "LEVEL3", "LEVEL4"};
constexpr int32_t DEV_NAME_SIZE = 20;
constexpr int32_t DEV_CUSTOM_NAME_SIZE = 32;
constexpr int32_t DEV_TILE_WIDGETS = 5;

using RegisterStore = std::array<RegisterCell, REG_STORE_SIZE>;

struct DeviceEntry {
    // Written by the search or the reset and read by both tasks, hence atomic.
    std::atomic<int32_t> unit_id{0};
    std::atomic<int32_t> state{0}; // 1 while the last poll succeeded, 0 after a failed one
    std::atomic<const DeviceType*> type{nullptr};
    std::atomic<RegisterCell*> registers{nullptr}; // window index = register address
    // Registers reachable from `registers`: the type's window size for an ordinary device,
    // the block for a display group member, the whole display map for its "Quill" member
    // (polls of every block land through it).
    std::atomic<int32_t> window_length{0};
    char name[DEV_NAME_SIZE] = {};               // the type's label or the member's name
    char custom_name[DEV_CUSTOM_NAME_SIZE] = {}; // the user's name for the device
    // Used by the GUI task alone.
    int32_t widgets_made = 0;
    int32_t tile_widget_count = 0;
    int32_t tile_widgets[DEV_TILE_WIDGETS] = {};
    int8_t greyed = 0;
};

struct DeviceList {
    std::array<DeviceEntry, DEV_LIST_SIZE> entries;
    // Released by the search after the entries are filled; acquired by readers.
    std::atomic<int32_t> device_count{0};
    std::atomic<int32_t> polled_count{0};
};

extern RegisterStore g_register_store;
extern DeviceList g_device_list;

// Starts a new search: device count 0, next free window at register 12000 of the store. The
// entries and registers are overwritten as devices are found again.
void DEV_BeginSearch();

// Appends a found device of `type` (a search type) with state 1, the type's label as name and
// the next free window. Returns its index, or -1 with a diagnostic when the list or the store
// is full.
int32_t DEV_AppendDevice(int32_t unit_id, const DeviceType* type);

// Creates the 11 members of a display unit at unit id `unit_id`: initialises their register
// blocks and appends them. `level_names` are the names of the four level sensors (the
// language's texts); nullptr or a null entry gives "Levra k". Names are cut to 19 characters.
// Returns the index of the first member, or -1 with a diagnostic when fewer than 11 entries
// are free (nothing is changed then).
int32_t DEV_CreateDisplayGroup(int32_t unit_id, const char* const level_names[4] = nullptr);

// Empties everything after a lost gateway: the whole store, all 265 entries, the device count
// and the polled count.
void DEV_Clear();

// The first entry with the unit id in list order, or -1. For a display unit that is its
// "Quill" member, whose window is the whole display map.
int32_t DEV_FindUnit(int32_t unit_id);

// True for the members of a display group: their type id equals register 0 of the display map.
bool DEV_IsDisplayMember(const DeviceEntry& entry);

// The display unit's clock, read from its register map.
struct DeviceClock {
    uint8_t hour, minute, second, day, month, year;
};
// False, leaving *clock untouched, when no display unit is known (register 0 of the display
// map is not its type id).
bool DEV_ReadClock(DeviceClock* clock);
