#include "containers/mem_block.h"

#include "platform/win32.h"

#include <cstring>

namespace patprn {

namespace {

// Bytes the buffer holds: the caller's buffer, or the heap block's size.
uint64_t BufferSize(const MemBlock *block) {
    if (block->local != 0) return block->local;
    return block->data != nullptr ? GlobalSize(block->data) : 0;
}

// Moves the caller's buffer's bytes into a new heap block of `size` bytes.
int MoveToHeap(MemBlock *block, SIZE_T size) {
    auto *data = static_cast<uint8_t *>(GlobalAlloc(GMEM_FIXED, size));
    if (data == nullptr) return 0;
    std::memcpy(data, block->data, block->length);
    block->data = data;
    block->local = 0;
    return 1;
}

// Resizes the heap buffer to `size` bytes, moving it when it must. 0 on
// failure, with the buffer untouched.
int ResizeHeapBuffer(MemBlock *block, SIZE_T size) {
    HGLOBAL moved = GlobalReAlloc(block->data, size, GMEM_MOVEABLE);
    if (moved == nullptr) return 0;
    // The block stays fixed memory, whose handle is its address; GlobalLock
    // gives that address.
    void *address = GlobalLock(moved);
    block->data = static_cast<uint8_t *>(address != nullptr ? address : moved);
    return 1;
}

// The growth rule: when `needed` exceeds the capacity, the capacity grows
// to capacity + step x k with the smallest whole k that reaches `needed`.
// When that passes the buffer, the buffer grows to the new capacity or by
// half its size, whichever is more, and may move, so every pointer handed
// out earlier is invalid afterwards. 0 on failure, with the block untouched.
int MemBlockGrowTo(MemBlock *block, uint32_t needed) {
    if (needed <= block->capacity) return 1;
    const uint64_t steps = (needed - block->capacity + block->step - 1) / block->step;
    const uint64_t capacity = block->capacity + steps * block->step;
    const uint64_t buffer = BufferSize(block);
    if (capacity > buffer) {
        const uint64_t grown = buffer + buffer / 2;
        const auto size = static_cast<SIZE_T>(grown > capacity ? grown : capacity);
        if (block->local != 0) {
            if (!MoveToHeap(block, size)) return 0;
        } else if (block->data == nullptr) {
            auto *data = static_cast<uint8_t *>(GlobalAlloc(GMEM_FIXED, size));
            if (data == nullptr) return 0;
            block->data = data;
        } else if (!ResizeHeapBuffer(block, size)) {
            return 0;
        }
    }
    block->capacity = capacity;
    return 1;
}

// True when [offset, offset + n) fits within `limit`, without 32-bit wrap.
bool RangeWithin(uint32_t offset, uint32_t n, uint32_t limit) { return n <= limit && offset <= limit - n; }

}  // namespace

MemBlock *MemBlockCreate(uint32_t step, uint32_t initialSteps) {
    // Step 0 could never grow the buffer (and would divide by zero).
    if (step == 0) return nullptr;
    auto *block = static_cast<MemBlock *>(GlobalAlloc(GMEM_FIXED, sizeof(MemBlock)));
    if (block == nullptr) return nullptr;
    block->step = step;
    block->length = 0;
    block->cursor = 0;
    block->local = 0;
    block->data = nullptr;
    block->capacity = 0;
    if (initialSteps != 0) {
        block->capacity = uint64_t{step} * initialSteps;
        block->data = static_cast<uint8_t *>(GlobalAlloc(GMEM_FIXED, static_cast<SIZE_T>(block->capacity)));
        if (block->data == nullptr) {
            GlobalFree(block);
            return nullptr;
        }
    }
    return block;
}

void MemBlockFree(MemBlock *block) {
    if (block == nullptr) return;
    MemBlockRelease(block);
    GlobalFree(block);
}

void MemBlockInitLocal(MemBlock *block, uint32_t step, void *buffer, uint32_t size) {
    const bool hasBuffer = buffer != nullptr && size != 0;
    block->step = step != 0 ? step : 1;
    block->length = 0;
    block->cursor = 0;
    block->local = hasBuffer ? size : 0;
    block->data = hasBuffer ? static_cast<uint8_t *>(buffer) : nullptr;
    block->capacity = block->local;
}

void MemBlockRelease(MemBlock *block) {
    if (block->data != nullptr && block->local == 0) GlobalFree(block->data);
    block->data = nullptr;
    block->local = 0;
    block->capacity = 0;
    block->length = 0;
    block->cursor = 0;
}

void MemBlockSeek(MemBlock *block, int32_t offset, uint8_t mode) {
    const auto delta = static_cast<uint32_t>(offset);
    switch (mode) {
        case kSeekFromStart: block->cursor = delta; break;
        case kSeekFromCursor: block->cursor += delta; break;
        case kSeekFromEnd: block->cursor = block->length + delta; break;
        default: break;
    }
}

uint32_t MemBlockLength(const MemBlock *block) { return block->length; }

int MemBlockWrite(MemBlock *block, const void *source, uint32_t n) {
    if (n == 0) return 1;
    // A cursor + n past 32 bits would wrap below the cursor and the copy
    // would run beyond the buffer.
    if (n > UINT32_MAX - block->cursor) return 0;
    const uint32_t needed = block->cursor + n;
    if (!MemBlockGrowTo(block, needed)) return 0;
    std::memmove(block->data + block->cursor, source, n);
    if (needed > block->length) block->length = needed;
    block->cursor = needed;
    return 1;
}

int MemBlockInsert(MemBlock *block, const void *source, uint32_t n) {
    if (n == 0) return 1;
    // Beyond the length there is nothing to move up; counting length + n
    // there would leave the new bytes outside the length and the buffer.
    if (block->cursor > block->length) return MemBlockWrite(block, source, n);
    if (n > UINT32_MAX - block->length) return 0;
    if (!MemBlockGrowTo(block, block->length + n)) return 0;
    uint8_t *at = block->data + block->cursor;
    std::memmove(at + n, at, block->length - block->cursor);
    std::memcpy(at, source, n);
    block->length += n;
    block->cursor += n;
    return 1;
}

void *MemBlockRead(MemBlock *block, uint32_t n) {
    if (!RangeWithin(block->cursor, n, block->length) || block->data == nullptr) return nullptr;
    uint8_t *at = block->data + block->cursor;
    block->cursor += n;
    return at;
}

int MemBlockDelete(MemBlock *block, uint32_t n) {
    if (!RangeWithin(block->cursor, n, block->length)) return 0;
    const uint32_t after = block->length - block->cursor - n;
    if (after != 0) std::memmove(block->data + block->cursor, block->data + block->cursor + n, after);
    block->length -= n;
    return 1;
}

void *MemBlockDetach(MemBlock *block) {
    if (block->local != 0) {
        const uint64_t steps = block->length != 0 ? (uint64_t{block->length} + block->step - 1) / block->step : 1;
        if (!MoveToHeap(block, static_cast<SIZE_T>(steps * block->step))) return nullptr;
    } else if (block->data != nullptr && GlobalSize(block->data) != block->capacity) {
        // The host may read the size of what it is handed: the capacity,
        // never the room the buffer grew beyond it.
        if (!ResizeHeapBuffer(block, static_cast<SIZE_T>(block->capacity))) return nullptr;
    }
    void *data = block->data;
    block->data = nullptr;
    block->capacity = 0;
    block->length = 0;
    block->cursor = 0;
    return data;
}

}  // namespace patprn
