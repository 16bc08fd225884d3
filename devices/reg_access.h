// Typed access to a device's register window.
#pragma once

#include <atomic>
#include <cstdint>

// One 16-bit register. The master task writes cells while the GUI task reads them, so each is
// atomic; relaxed loads and stores compile to plain moves.
using RegisterCell = std::atomic<uint16_t>;
static_assert(RegisterCell::is_always_lock_free && sizeof(RegisterCell) == sizeof(uint16_t));

// The value of register `index` read as register type `type` (REG_TYPE), widened to 64 bits.
// An index below 1 prints "No Valid Value Register\n", an unsupported type
// "UNKNOWN REG TYPE\n"; both give 0. The index is not checked against the window's size:
// callers pass indexes from their static tables.
int64_t Reg_GetValue(int32_t index, uint32_t type, const RegisterCell* window);

// The default for an index below 1 (no message), otherwise Reg_GetValue.
int64_t Reg_GetValueOr(int32_t index, uint32_t type, const RegisterCell* window,
                       int32_t default_value);

inline uint16_t Reg_Get(const RegisterCell* window, int32_t index) {
    return window[index].load(std::memory_order_relaxed);
}
inline void Reg_Set(RegisterCell* window, int32_t index, uint16_t value) {
    window[index].store(value, std::memory_order_relaxed);
}
// Stores a 32-bit number into two registers, low word first.
inline void Reg_Set32(RegisterCell* window, int32_t index, uint32_t value) {
    Reg_Set(window, index, static_cast<uint16_t>(value));
    Reg_Set(window, index + 1, static_cast<uint16_t>(value >> 16));
}
