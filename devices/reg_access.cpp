#include "devices/reg_access.h"

#include "base/dbg.h"
#include "devices/device_types.h"

#include <bit>
#include <limits>

namespace {

uint32_t Word32(const RegisterCell* window, int32_t index) {
    return static_cast<uint32_t>(Reg_Get(window, index)) |
           static_cast<uint32_t>(Reg_Get(window, index + 1)) << 16;
}

// Single precision x 1000, truncated toward zero. A NaN or a product outside the 32-bit range
// gives the lowest 32-bit number, as the hardware conversion does, instead of undefined
// behaviour.
int32_t FloatTimes1000(uint32_t bits) {
    const float product = std::bit_cast<float>(bits) * 1000.0f;
    if (!(product >= -2147483648.0f && product < 2147483648.0f))
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(product);
}

} // namespace

int64_t Reg_GetValue(int32_t index, uint32_t type, const RegisterCell* window) {
    if (index < 1) {
        DBG_Printf("No Valid Value Register\n");
        return 0;
    }
    switch (type) {
        case REG_TYPE_S32:
        case REG_TYPE_S32_ALT:
            return static_cast<int32_t>(Word32(window, index));
        case REG_TYPE_U16:
            return Reg_Get(window, index);
        case REG_TYPE_S16:
            return static_cast<int16_t>(Reg_Get(window, index));
        case REG_TYPE_U8_HIGH:
            return Reg_Get(window, index) >> 8;
        case REG_TYPE_U8_LOW:
            return Reg_Get(window, index) & 0xFF;
        case REG_TYPE_S8_HIGH:
            return static_cast<int8_t>(Reg_Get(window, index) >> 8);
        case REG_TYPE_S8_LOW:
            return static_cast<int8_t>(Reg_Get(window, index) & 0xFF);
        case REG_TYPE_FLOAT:
            return FloatTimes1000(Word32(window, index));
        case REG_TYPE_U64:
            return static_cast<int64_t>(static_cast<uint64_t>(Word32(window, index)) |
                                        static_cast<uint64_t>(Word32(window, index + 2)) << 32);
        default:
            DBG_Printf("UNKNOWN REG TYPE\n");
            return 0;
    }
}

int64_t Reg_GetValueOr(int32_t index, uint32_t type, const RegisterCell* window,
                       int32_t default_value) {
    if (index < 1) return default_value;
    return Reg_GetValue(index, type, window);
}
