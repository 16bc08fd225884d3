// The device types: the records every family file fills in (register window, page layout,
// log columns, derived computation, alarm word) and the one list of all 21 types. Each
// family's types live in its own file (devices/family_*.cpp); the list is DEV_TYPE_LIST below.
// Everything here is constant data, built at compile time.
#pragma once

#include "devices/reg_access.h"

#include <array>
#include <cstdint>

// Register type numbers, the way Reg_GetValue reads one to four registers.
enum REG_TYPE : uint32_t {
    REG_TYPE_S32 = 1,     // i, i+1: signed 32 bits, low word first
    REG_TYPE_S32_ALT = 2, // the same as REG_TYPE_S32
    REG_TYPE_U16 = 3,     // i: unsigned 16 bits
    REG_TYPE_S16 = 4,     // i: signed 16 bits
    REG_TYPE_U8_HIGH = 5, // high byte of i, unsigned
    REG_TYPE_U8_LOW = 6,  // low byte of i, unsigned
    REG_TYPE_S8_HIGH = 7, // high byte of i, signed
    REG_TYPE_S8_LOW = 8,  // low byte of i, signed
    REG_TYPE_FLOAT = 12,  // i, i+1: single precision x 1000, truncated to 32 bits
    REG_TYPE_U64 = 13,    // i .. i+3: 64 bits, lowest word first
};

// Registers a value of this register type spans: 2 for the 32-bit types and the float, 4 for
// the 64-bit type, 1 for the others (and for a number that is no register type).
constexpr int32_t REG_TypeWidth(uint32_t type) {
    switch (type) {
        case REG_TYPE_S32:
        case REG_TYPE_S32_ALT:
        case REG_TYPE_FLOAT:
            return 2;
        case REG_TYPE_U64:
            return 4;
        default:
            return 1;
    }
}

// What a page element draws (only the kinds the layouts use).
enum PE_KIND : int32_t {
    PE_KIND_THERMO_BOTTOM = 0,
    PE_KIND_THERMO_SIDE = 1,
    PE_KIND_LED = 2,
    PE_KIND_BATTERY = 3,
    PE_KIND_GAUGE = 5,
    PE_KIND_GAUGE_SOLAR = 7,
    PE_KIND_GAUGE_BULB = 8,
    PE_KIND_GAUGE_CHARGE = 9,
    PE_KIND_SECTION = 10,
    PE_KIND_BUTTON = 11,
    PE_KIND_TEXT = 13,
    PE_KIND_LEVEL = 14,
    PE_KIND_GAUGE_SIGNED = 15,
    PE_KIND_SWITCH = 16,
};

// LED states: 0 off, 1 on (colour 1), 2 alarm (blinks with colour 2).
struct LedPair {
    int32_t value = 0;
    int32_t state = 0;
};
constexpr int LED_TABLE_SIZE = 16;
struct LedTable {
    int32_t count = 0; // pairs in use, at most LED_TABLE_SIZE
    LedPair pairs[LED_TABLE_SIZE] = {};
};

// One element of a device tile. A value source is a register (index above 0, read with its
// type) or, where the index is 0 or below, its constant.
struct PageElement {
    int32_t number = 0; // position in the list; a button keeps it as its user word
    char label[60] = {};
    int32_t value_register = 0;
    int32_t second_register = -1; // button enable, kind 9 charge flag, kind 16 current; -1 none
    char format[20] = {};
    int32_t low_register = 0;
    int32_t high_register = 0;
    int32_t low_type = 0;
    int32_t high_type = 0;
    int32_t low_constant = 0;
    int32_t high_constant = 0;
    int32_t offset = 0;
    int32_t divisor = 1;
    int32_t hidden = 0;
    int32_t kind = 0;
    int32_t value_type = 0; // register type of the value and of the second register
    const LedTable* led_table = nullptr;
    int32_t x = 0, y = 0, width = 0, height = 0;
    // Limits in the order lower alarm, upper alarm, lower warning, upper warning.
    int32_t limit_constants[4] = {-1, -1, -1, -1};
    int32_t limit_registers[4] = {};
    int32_t limit_types[4] = {};
    int32_t colour1 = -1;     // LED: on colour; value text: box colour, -1 for a text widget
    int32_t colour2 = -1;     // LED: alarm colour; value text: text colour
    int32_t button_value = 0; // button: the 16-bit value written; switch: current threshold
    int32_t button_id = 0;    // button: the widget id
};

struct PageLayout {
    char short_name[32] = {}; // the type's label
    int32_t tile_width = 0;   // 0: no tile on the main screen
    int32_t tile_height = 0;
    int32_t element_count = 0;
    const PageElement* elements = nullptr;
};

// One column of the data log. unit, device_class and state_class are for consumers that
// publish the values (Home Assistant's names; empty: none); the log itself does not write them.
struct LogColumn {
    int32_t index = 0;
    char name[32] = {};
    int32_t reg = 0;              // the register read
    int32_t second_register = -1; // next register of a two-register value; -1 none
    char format[12] = {};
    int32_t offset = 0;
    int32_t display_factor = 1; // not used by the log
    int32_t divisor = 1;        // 1: integer output
    int32_t register_type = 0;
    const char* unit = "";
    const char* device_class = "";
    const char* state_class = ""; // "measurement", "total"; empty for states and codes
};

struct LogLayout {
    char long_name[32] = {};
    int32_t column_count = 0;
    const LogColumn* columns = nullptr;
};

struct AlarmRegisters;
struct DeviceType;

// Values computed from a device's polled registers into its own window (see devices/derived.h).
using DeriveFunction = void (*)(RegisterCell* window, const DeviceType* type);
// A device's alarm bits (ALARM_ in devices/alarm.h) from its registers; the display unit's map
// gives the voltage thresholds (nullptr: none known).
using AlarmWordFunction = uint32_t (*)(const AlarmRegisters& registers,
                                       const RegisterCell* display_map);

struct DeviceType {
    uint32_t type_id = 0;     // register 0 of a slave of this type
    uint16_t poll_count = 0;  // registers 0 .. poll_count - 1 are read on every poll
    uint16_t window_size = 0; // registers reserved in the store
    const PageLayout* page_layout = nullptr;
    const LogLayout* log_columns = nullptr;
    DeriveFunction derive = nullptr;        // nullptr: nothing derived
    AlarmWordFunction alarm_word = nullptr; // nullptr: the type raises no alarms
};

// Every device type, one line each, in table order: X(index name, record name). A line gives
// the index DEV_TYPE_<index name>, declares the record DEVTYPE_<record name> that the type's
// family file defines, and puts it into DeviceTypeTable; DEV_TYPE_COUNT follows from the list.
// 0 to 4 form the display group; a search looks at 5 to the end. A new type is a family file
// and one line at the end here.
#define DEV_TYPE_LIST(X)                                                                           \
    X(HOME, Home)                                                                                  \
    X(QUILL, Quill)                                                                                \
    X(GRAPH, Graph)                                                                                \
    X(AMPRIX, Amprix)                                                                              \
    X(LEVRA, Levra)                                                                                \
    X(RV100_30, Rv100)                                                                             \
    X(RV140_30, Rv140)                                                                             \
    X(RV75_40, Rv75)                                                                               \
    X(CELTON, Celton100)                                                                           \
    X(CELTON_V2, Celton102)                                                                        \
    X(CELTON_101, Celton101)                                                                       \
    X(CELTON_103, Celton103)                                                                       \
    X(CELTON_104, Celton104)                                                                       \
    X(BRANT, Brant)                                                                                \
    X(BRANT_V2, BrantV2)                                                                           \
    X(CORVO_502, Corvo502)                                                                         \
    X(CORVO_501, Corvo501)                                                                         \
    X(CORVO_500, Corvo500)                                                                         \
    X(CORVO_510, Corvo510)                                                                         \
    X(CORVO_511, Corvo511)                                                                         \
    X(CORVO_512, Corvo512)

// What a line of a type list stands for: the record's declaration (a family file defines it
// with `extern constexpr DeviceType DEVTYPE_<record name>{...}`), its index, its table entry.
#define DEV_TYPE_DECLARE(index, record) extern const DeviceType DEVTYPE_##record;
#define DEV_TYPE_INDEX_OF(index, record) DEV_TYPE_##index,
#define DEV_TYPE_ENTRY(index, record) &DEVTYPE_##record,

DEV_TYPE_LIST(DEV_TYPE_DECLARE)

// Indexes into DeviceTypeTable.
enum DEV_TYPE_INDEX : int {
    DEV_TYPE_LIST(DEV_TYPE_INDEX_OF) DEV_TYPE_COUNT,
    DEV_TYPE_FIRST_SEARCHED = DEV_TYPE_RV100_30,
};

// Type id of the display unit, shared by the five display group types.
constexpr uint32_t DEV_DISPLAY_TYPE_ID = 2048;

extern const std::array<const DeviceType*, DEV_TYPE_COUNT> DeviceTypeTable;

// The first of table entries 5 to 20 with this type id, or nullptr (the display unit's 2048
// is not among them).
const DeviceType* DEV_FindSearchType(uint32_t type_id);
