// Memory blocks: a growable byte buffer on the global heap with a cursor,
// used like a memory stream by the status subsystem.
//
// The buffer is fixed global-heap memory, so a buffer handed out by
// MemBlockDetach can travel to the host, which releases it with GlobalFree.
//
// Two sizes are kept apart. The capacity is what the block holds by its
// growth rule: whole steps, counted from the first buffer, as many as the
// largest length ever needed; it is the size MemBlockDetach hands the
// buffer out with. The buffer itself (its size what GlobalSize reports, 0
// without one) is at least the capacity and, when it must grow, grows to
// the new capacity or by half its size, whichever is more: a block filled
// one element at a time moves and copies its bytes only a logarithmic
// number of times, not once per step. A failed growth returns 0 and leaves
// buffer, capacity, length and cursor exactly as they were. Nothing here
// touches the last-error value.
//
// A block that lives for one call may instead be a local: its header and
// its first buffer the caller's (on the stack, say), set up by
// MemBlockInitLocal. Such a block asks the heap for nothing until it
// outgrows that buffer; it then moves to a heap buffer by the same rule,
// counted from the local buffer's size.
#pragma once

#include <cstdint>

namespace patprn {

struct MemBlock {
    uint32_t step;    // growth step in bytes, never 0
    uint32_t length;  // bytes in use from the start of the buffer
    uint32_t cursor;  // where the next read, write, insert or delete happens; may lie beyond length
    uint32_t local;   // bytes of the caller's buffer while `data` is that buffer, else 0
    uint8_t *data;    // the buffer, a separate global-heap block (or the caller's); null until something is allocated
    uint64_t capacity;  // bytes the growth rule gives (see above), never more than the buffer's size
};

// Seek modes of MemBlockSeek.
constexpr uint8_t kSeekFromStart = 1;
constexpr uint8_t kSeekFromCursor = 2;
constexpr uint8_t kSeekFromEnd = 3;

// A block with length 0 and cursor 0; with `initialSteps` nonzero its buffer
// of step x initialSteps bytes is allocated at once, else it stays null.
// Null if an allocation fails (nothing is left allocated) or `step` is 0.
MemBlock *MemBlockCreate(uint32_t step, uint32_t initialSteps);

// Frees the buffer (if any) and the header; a null block is ignored.
void MemBlockFree(MemBlock *block);

// Sets up the caller's `block` with length 0, cursor 0 and the caller's
// `buffer` of `size` bytes (which must outlive the block's use). A null
// buffer or a size of 0 leaves it without a buffer. Allocates nothing; a
// step of 0 is taken as 1.
void MemBlockInitLocal(MemBlock *block, uint32_t step, void *buffer, uint32_t size);

// Releases the heap buffer of a block set up by MemBlockInitLocal (the
// caller's buffer and header stay the caller's) and leaves it empty.
void MemBlockRelease(MemBlock *block);

// Moves the cursor: from the start, from the cursor, or from the length
// (kSeekFrom...); any other mode leaves it. No bounds check; 32-bit
// arithmetic that wraps.
void MemBlockSeek(MemBlock *block, int32_t offset, uint8_t mode);

uint32_t MemBlockLength(const MemBlock *block);

// Overwrites n bytes at the cursor, growing the buffer as needed; the length
// becomes cursor + n if that is larger (bytes of a gap left by a cursor
// beyond the length are undefined); the cursor advances by n. 1, or 0 with
// the block unchanged when growing fails or cursor + n passes 32 bits.
// n = 0 does nothing and returns 1. `source` must not point into the block.
int MemBlockWrite(MemBlock *block, const void *source, uint32_t n);

// Moves the bytes from the cursor to the end up by n and copies n new bytes
// into the gap; length grows by n, the cursor advances by n. A cursor
// beyond the length moves nothing and acts as MemBlockWrite. 1, or 0 with
// the block unchanged as for MemBlockWrite. `source` must not point into
// the block.
int MemBlockInsert(MemBlock *block, const void *source, uint32_t n);

// A pointer to the n bytes at the cursor, advancing the cursor by n, when
// they lie within the length; else null and the cursor stays. Nothing is
// copied: the pointer is valid only until the block next grows.
void *MemBlockRead(MemBlock *block, uint32_t n);

// Removes the n bytes at the cursor when they lie within the length; the
// bytes after them move down, the cursor stays, the buffer never shrinks.
// 1, else 0 with nothing changed.
int MemBlockDelete(MemBlock *block, uint32_t n);

// Hands out the buffer (null if none), cut to the block's capacity, and
// leaves the block empty, without a buffer, cursor 0, step kept. The caller
// owns the buffer (release with GlobalFree) and still frees the header with
// MemBlockFree. A block still in the caller's buffer hands out a copy of
// its length in a heap block of whole steps (at least one), the size a
// heap block that had grown to that length would have; null, with the
// block unchanged, when that copy cannot be allocated or the buffer cannot
// be cut.
void *MemBlockDetach(MemBlock *block);

}  // namespace patprn
