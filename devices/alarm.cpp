#include "devices/alarm.h"

#include "devices/device_types.h"

namespace {

// The display map's threshold selector and its records: 26 registers each from 522, the low
// threshold in the first two (low word first), the high one in the next two.
constexpr int32_t kRegisterSelector = 25;
constexpr int32_t kFirstRecord = 522;
constexpr int32_t kRecordSize = 26;

uint32_t Get32(const RegisterCell* map, int32_t index) {
    return uint32_t{Reg_Get(map, index)} | uint32_t{Reg_Get(map, index + 1)} << 16;
}

} // namespace

uint32_t ALARM_VoltageBits(uint32_t volts, const RegisterCell* display_map) {
    if (display_map == nullptr || Reg_Get(display_map, 0) != DEV_DISPLAY_TYPE_ID) return 0;
    const int32_t record = kFirstRecord + kRecordSize * Reg_Get(display_map, kRegisterSelector);
    if (record + 4 > DeviceTypeTable[DEV_TYPE_QUILL]->poll_count) return 0;
    const uint32_t low = Get32(display_map, record);
    const uint32_t high = Get32(display_map, record + 2);
    uint32_t bits = 0;
    if (volts >= high) bits |= ALARM_OVP;
    if (volts <= low) bits |= ALARM_LVP;
    return bits;
}
