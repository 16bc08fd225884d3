#include "gui/toolkit/widgets/gui_array.h"

#include "gui/toolkit/core/gui_lock.h"
#include "gui/toolkit/core/gui_report.h"

#include <cstring>

namespace {

// Block layout: int32 count, then per item a flag byte and the text with its zero.
uint8_t* Data(GUI_HMEM array, int32_t* size) {
    *size = 0;
    if (array == 0) return nullptr;
    auto* p = static_cast<uint8_t*>(GUI_ALLOC_Peek(array, size));
    return (p != nullptr && *size >= 4) ? p : nullptr;
}

int32_t Count(const uint8_t* p) {
    int32_t n;
    std::memcpy(&n, p, 4);
    return n;
}

// Offset of the item's flag byte, -1 for a bad index.
int32_t Find(const uint8_t* p, int32_t size, int index) {
    if (p == nullptr || index < 0 || index >= Count(p)) return -1;
    int32_t off = 4;
    for (int i = 0; i < index; ++i) {
        const void* end = std::memchr(p + off + 1, 0, size_t(size - off - 1));
        if (end == nullptr) return -1;
        off = int32_t(static_cast<const uint8_t*>(end) - p) + 1;
    }
    return off < size ? off : -1;
}

} // namespace

int GUI_ARRAY_AddItem(GUI_HMEM* array, const char* text, uint8_t flags) {
    if (array == nullptr) return 1;
    if (text == nullptr) text = "";
    GUI_LockGuard lock;
    int32_t old_size = 0;
    const uint8_t* old = Data(*array, &old_size);
    const size_t len = std::strlen(text);
    const int64_t used = old ? old_size : 4;
    const int64_t size = used + 1 + int64_t(len) + 1;
    const GUI_HMEM grown = size <= INT32_MAX ? GUI_ALLOC_AllocZero(int32_t(size)) : 0;
    if (grown == 0) {
        GUI_ReportWarning("GUI_ARRAY:\nFailed to alloc buffer in GUI_ARRAY_AddItem()");
        return 1;
    }
    auto* p = static_cast<uint8_t*>(GUI_ALLOC_Peek(grown));
    old = Data(*array, &old_size); // the failed-allocation path may not have run; re-read
    if (old != nullptr) std::memcpy(p, old, size_t(old_size));
    const int32_t n = (old ? Count(old) : 0) + 1;
    std::memcpy(p, &n, 4);
    p[used] = flags;
    std::memcpy(p + used + 1, text, len + 1);
    if (*array != 0) GUI_ALLOC_Free(*array);
    *array = grown;
    return 0;
}

int GUI_ARRAY_DeleteItem(GUI_HMEM* array, int index) {
    if (array == nullptr) return 1;
    GUI_LockGuard lock;
    int32_t size = 0;
    const uint8_t* p = Data(*array, &size);
    const int32_t off = Find(p, size, index);
    if (off < 0) return 1;
    const int32_t item = int32_t(std::strlen(reinterpret_cast<const char*>(p + off + 1))) + 2;
    const GUI_HMEM shrunk = GUI_ALLOC_AllocZero(size - item);
    if (shrunk == 0) return 1;
    auto* q = static_cast<uint8_t*>(GUI_ALLOC_Peek(shrunk));
    p = Data(*array, &size);
    std::memcpy(q, p, size_t(off));
    std::memcpy(q + off, p + off + item, size_t(size - off - item));
    const int32_t n = Count(p) - 1;
    std::memcpy(q, &n, 4);
    GUI_ALLOC_Free(*array);
    *array = shrunk;
    return 0;
}

int GUI_ARRAY_GetCount(GUI_HMEM array) {
    GUI_LockGuard lock;
    int32_t size = 0;
    const uint8_t* p = Data(array, &size);
    return p ? Count(p) : 0;
}

const char* GUI_ARRAY_GetText(GUI_HMEM array, int index) {
    GUI_LockGuard lock;
    int32_t size = 0;
    const uint8_t* p = Data(array, &size);
    const int32_t off = Find(p, size, index);
    return off < 0 ? nullptr : reinterpret_cast<const char*>(p + off + 1);
}

uint8_t GUI_ARRAY_GetFlags(GUI_HMEM array, int index) {
    GUI_LockGuard lock;
    int32_t size = 0;
    const uint8_t* p = Data(array, &size);
    const int32_t off = Find(p, size, index);
    return off < 0 ? 0 : p[off];
}

void GUI_ARRAY_SetFlags(GUI_HMEM array, int index, uint8_t flags) {
    GUI_LockGuard lock;
    int32_t size = 0;
    uint8_t* p = Data(array, &size);
    const int32_t off = Find(p, size, index);
    if (off >= 0) p[off] = flags;
}

GUI_HMEM GUI_ARRAY_Copy(GUI_HMEM array) {
    GUI_LockGuard lock;
    int32_t size = 0;
    if (Data(array, &size) == nullptr) return 0;
    const GUI_HMEM copy = GUI_ALLOC_AllocZero(size);
    if (copy == 0) return 0;
    std::memcpy(GUI_ALLOC_Peek(copy), Data(array, &size), size_t(size));
    return copy;
}

void GUI_ARRAY_Free(GUI_HMEM* array) {
    if (array == nullptr || *array == 0) return;
    GUI_LockGuard lock;
    GUI_ALLOC_Free(*array);
    *array = 0;
}
