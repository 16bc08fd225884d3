// First-fit allocator over the arena. Blocks never move (pointers handed out by h2p stay
// valid); the descriptors live outside the arena in a fixed table, and the live blocks form a
// list in address order so the gaps between them are the free space.
#include "gui/toolkit/core/gui_alloc.h"

#include "gui/toolkit/core/gui_lock.h"
#include "gui/toolkit/core/gui_report.h"

#include <array>
#include <cstring>

// Under AddressSanitizer a freed block's memory is marked unusable until it is handed out
// again, so code that keeps using an object after its window was deleted stops at once
// instead of quietly reading or writing the arena.
#if defined(__SANITIZE_ADDRESS__)
#define VELTRA_ALLOC_POISON 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELTRA_ALLOC_POISON 1
#endif
#endif
#ifdef VELTRA_ALLOC_POISON
#include <sanitizer/asan_interface.h>
#define ALLOC_POISON(p, n) ASAN_POISON_MEMORY_REGION((p), (n))
#define ALLOC_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION((p), (n))
#else
#define ALLOC_POISON(p, n) ((void)(p), (void)(n))
#define ALLOC_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace {

constexpr int kIndexBits = 13;
constexpr uint32_t kIndexMask = (1u << kIndexBits) - 1;
constexpr uint32_t kGenerationLimit = 1u << (31 - kIndexBits); // keeps handles positive
constexpr uint32_t kAlign = 8;
constexpr uint32_t kHeaderMagic = 0x564C4B42; // stored beside the handle in each block header

enum class State : uint8_t { Free, Used, Zombie }; // Zombie: freed while locked

struct Descriptor {
    uint32_t offset = 0; // of the block header, from the aligned arena start
    uint32_t footprint = 0;
    int32_t size = 0;
    uint32_t generation = 0;
    uint32_t locks = 0;
    State state = State::Free;
    int32_t prev = 0; // neighbours in address order, 0 = none
    int32_t next = 0;
};

std::array<Descriptor, GUI_ALLOC_MAX_BLOCKS + 1> g_blocks; // slot 0 is never used
std::array<int32_t, GUI_ALLOC_MAX_BLOCKS> g_free_slots;
int32_t g_num_free_slots = 0;
uint8_t* g_arena = nullptr;
uint32_t g_arena_size = 0;
uint32_t g_used_bytes = 0;
int32_t g_used_blocks = 0;
int32_t g_first = 0; // lowest live block
uint32_t g_total_locks = 0;

uint32_t RoundUp(uint32_t value) {
    return (value + kAlign - 1) & ~(kAlign - 1);
}

GUI_HMEM MakeHandle(int32_t slot) {
    return static_cast<GUI_HMEM>((g_blocks[slot].generation << kIndexBits) | uint32_t(slot));
}

// The slot of a handle whose generation matches, else 0. States are left to the caller.
int32_t SlotOf(GUI_HMEM handle) {
    if (handle <= 0) return 0;
    const uint32_t raw = static_cast<uint32_t>(handle);
    const int32_t slot = static_cast<int32_t>(raw & kIndexMask);
    if (slot == 0 || slot > GUI_ALLOC_MAX_BLOCKS) return 0;
    if (g_blocks[slot].generation != (raw >> kIndexBits)) return 0;
    return slot;
}

int32_t LiveSlot(GUI_HMEM handle) {
    const int32_t slot = SlotOf(handle);
    return (slot != 0 && g_blocks[slot].state == State::Used) ? slot : 0;
}

void Release(int32_t slot) {
    Descriptor& d = g_blocks[slot];
    if (d.prev)
        g_blocks[d.prev].next = d.next;
    else
        g_first = d.next;
    if (d.next) g_blocks[d.next].prev = d.prev;
    ALLOC_POISON(g_arena + d.offset + GUI_ALLOC_BLOCK_OVERHEAD,
                 d.footprint - GUI_ALLOC_BLOCK_OVERHEAD);
    g_used_bytes -= d.footprint;
    --g_used_blocks;
    d.state = State::Free;
    d.locks = 0;
    d.prev = d.next = 0;
    // A new generation makes every copy of the old handle stale.
    d.generation = (d.generation + 1) % kGenerationLimit;
    if (d.generation == 0) d.generation = 1;
    g_free_slots[g_num_free_slots++] = slot;
}

} // namespace

void GUI_ALLOC_SetArena(void* memory, uint32_t bytes) {
    GUI_LockGuard lock;
    // The previous arena goes back to its owner whole.
    if (g_arena != nullptr) ALLOC_UNPOISON(g_arena, g_arena_size);
    g_num_free_slots = 0;
    for (int32_t slot = GUI_ALLOC_MAX_BLOCKS; slot >= 1; --slot) {
        Descriptor& d = g_blocks[slot];
        if (d.state != State::Free) {
            d.generation = (d.generation + 1) % kGenerationLimit;
        }
        if (d.generation == 0) d.generation = 1;
        d.state = State::Free;
        d.locks = 0;
        d.prev = d.next = 0;
        g_free_slots[g_num_free_slots++] = slot;
    }
    g_first = 0;
    g_used_bytes = 0;
    g_used_blocks = 0;
    g_total_locks = 0;
    bytes &= ~3u;
    // Blocks hold pointers, so the usable arena starts on an 8-byte boundary.
    uint8_t* base = static_cast<uint8_t*>(memory);
    const uintptr_t misalign = reinterpret_cast<uintptr_t>(base) & (kAlign - 1);
    const uint32_t skip = misalign ? kAlign - static_cast<uint32_t>(misalign) : 0;
    if (base == nullptr || bytes <= skip) {
        g_arena = nullptr;
        g_arena_size = 0;
        return;
    }
    g_arena = base + skip;
    g_arena_size = (bytes - skip) & ~(kAlign - 1);
}

GUI_HMEM GUI_ALLOC_AllocZero(int32_t size) {
    if (size < 0) return 0;
    GUI_LockGuard lock;
    const uint64_t wanted = uint64_t(GUI_ALLOC_BLOCK_OVERHEAD) + RoundUp(uint32_t(size ? size : 1));
    if (g_arena == nullptr || wanted > g_arena_size - g_used_bytes) {
        GUI_ReportWarning("GUI_Alloc:\nNot enough memory available in _Alloc().");
        return 0;
    }
    if (g_num_free_slots == 0) {
        GUI_ReportWarning("GUI_Alloc:\nNo memory block available in _Alloc().");
        return 0;
    }
    const uint32_t footprint = static_cast<uint32_t>(wanted);
    // First gap that fits, walking the live blocks in address order.
    uint32_t start = 0;
    int32_t before = 0;
    int32_t after = g_first;
    while (after != 0 && g_blocks[after].offset - start < footprint) {
        start = g_blocks[after].offset + g_blocks[after].footprint;
        before = after;
        after = g_blocks[after].next;
    }
    if (after == 0 && g_arena_size - start < footprint) {
        GUI_ReportWarning("GUI_Alloc:\nNot enough memory available in _Alloc().");
        return 0;
    }
    const int32_t slot = g_free_slots[--g_num_free_slots];
    Descriptor& d = g_blocks[slot];
    d.offset = start;
    d.footprint = footprint;
    d.size = size;
    d.locks = 0;
    d.state = State::Used;
    d.prev = before;
    d.next = after;
    if (before)
        g_blocks[before].next = slot;
    else
        g_first = slot;
    if (after) g_blocks[after].prev = slot;
    g_used_bytes += footprint;
    ++g_used_blocks;
    const GUI_HMEM handle = MakeHandle(slot);
    uint8_t* header = g_arena + start;
    ALLOC_UNPOISON(header, footprint);
    std::memcpy(header, &handle, sizeof handle);
    std::memcpy(header + 4, &kHeaderMagic, sizeof kHeaderMagic);
    std::memset(header + GUI_ALLOC_BLOCK_OVERHEAD, 0, footprint - GUI_ALLOC_BLOCK_OVERHEAD);
    return handle;
}

void GUI_ALLOC_Free(GUI_HMEM handle) {
    if (handle == 0) return;
    GUI_LockGuard lock;
    const int32_t slot = LiveSlot(handle);
    if (slot == 0) {
        GUI_ReportError("GUI_Alloc:\nBlock already free in _Free().");
        return;
    }
    if (g_blocks[slot].locks != 0) {
        // A pointer to the block is still in use: keep the memory until its last unlock.
        GUI_ReportError("GUI_Alloc:\nBlock to be deleted is already locked in _Free().");
        g_blocks[slot].state = State::Zombie;
        return;
    }
    Release(slot);
}

void* GUI_ALLOC_h2p(GUI_HMEM handle) {
    GUI_LockGuard lock;
    if (handle == 0) {
        GUI_ReportError(
            "GUI_Alloc:\nGUI_ALLOC_h2p: illegal argument (0 handle) in GUI_ALLOC_h2p().");
        return nullptr;
    }
    const int32_t slot = LiveSlot(handle);
    if (slot == 0) {
        GUI_ReportError("GUI_Alloc:\nDereferencing free block in GUI_ALLOC_h2p().");
        return nullptr;
    }
    ++g_blocks[slot].locks;
    ++g_total_locks;
    return g_arena + g_blocks[slot].offset + GUI_ALLOC_BLOCK_OVERHEAD;
}

void GUI_ALLOC_UnlockH(GUI_HMEM handle) {
    if (handle == 0) return;
    GUI_LockGuard lock;
    if (g_total_locks == 0) {
        GUI_ReportError("GUI_Alloc:\nUnderflow of locked handles in GUI_ALLOC_UnlockH().");
        return;
    }
    const int32_t slot = SlotOf(handle);
    if (slot == 0 || g_blocks[slot].state == State::Free || g_blocks[slot].locks == 0) {
        GUI_ReportError("GUI_Alloc:\nBlock is already unlocked in GUI_ALLOC_UnlockH().");
        return;
    }
    --g_total_locks;
    if (--g_blocks[slot].locks == 0 && g_blocks[slot].state == State::Zombie) Release(slot);
}

bool GUI_ALLOC_IsValid(GUI_HMEM handle) {
    GUI_LockGuard lock;
    return LiveSlot(handle) != 0;
}

int32_t GUI_ALLOC_GetSize(GUI_HMEM handle) {
    GUI_LockGuard lock;
    const int32_t slot = LiveSlot(handle);
    return slot ? g_blocks[slot].size : 0;
}

int32_t GUI_ALLOC_GetNumFreeBytes() {
    GUI_LockGuard lock;
    return static_cast<int32_t>(g_arena_size - g_used_bytes);
}

int32_t GUI_ALLOC_GetNumUsedBlocks() {
    GUI_LockGuard lock;
    return g_used_blocks;
}

void* GUI_ALLOC_Peek(GUI_HMEM handle, int32_t* size) {
    const int32_t slot = LiveSlot(handle);
    if (slot == 0) return nullptr;
    if (size) *size = g_blocks[slot].size;
    return g_arena + g_blocks[slot].offset + GUI_ALLOC_BLOCK_OVERHEAD;
}
