// The handle heap: every toolkit object (windows, widget texts, graph data) is a block of one
// fixed arena, addressed by a handle. A handle carries the block's slot and a generation
// count, so a freed, reused or invented handle is recognised and never dereferenced.
#pragma once

#include <cstddef>
#include <cstdint>

using GUI_HMEM = int32_t;

// Assigns the arena (once, from the memory configuration hook); the size is rounded down to a
// multiple of 4. Assigning again drops every block of the previous arena.
void GUI_ALLOC_SetArena(void* memory, uint32_t bytes);

// A new block of the given size (0 gives a minimal block), zero-filled; 0 when the arena or the
// block table is exhausted (reported as a warning) or the size is negative.
GUI_HMEM GUI_ALLOC_AllocZero(int32_t size);
// Frees a block; freeing a free or unknown block is reported and does nothing. A block that is
// still locked is reported and released when its last lock goes.
void GUI_ALLOC_Free(GUI_HMEM handle);

// The block's memory, counted as one lock; nullptr (reported) for 0 or a handle that is not a
// live block. Every successful call is paired with GUI_ALLOC_UnlockH.
void* GUI_ALLOC_h2p(GUI_HMEM handle);
void GUI_ALLOC_UnlockH(GUI_HMEM handle);

// True for a handle of a live block; never reports.
bool GUI_ALLOC_IsValid(GUI_HMEM handle);
// The requested size of a live block, 0 otherwise.
int32_t GUI_ALLOC_GetSize(GUI_HMEM handle);
// Arena bytes not taken by live blocks and their per-block overhead.
int32_t GUI_ALLOC_GetNumFreeBytes();
int32_t GUI_ALLOC_GetNumUsedBlocks();

// The toolkit's own access while it holds the toolkit lock and calls out to nothing: the
// pointer without a lock count, nullptr (no report) when the handle is not a live block; the
// block's size goes to *size when given.
void* GUI_ALLOC_Peek(GUI_HMEM handle, int32_t* size = nullptr);

// Each block costs its size rounded up to 8 plus this header in the arena.
inline constexpr int32_t GUI_ALLOC_BLOCK_OVERHEAD = 8;
// Blocks that can be live at once.
inline constexpr int32_t GUI_ALLOC_MAX_BLOCKS = 8191;
