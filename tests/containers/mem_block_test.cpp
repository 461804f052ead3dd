// Memory blocks: growth by whole steps from the heap's block size, the
// cursor, insert and delete that move overlapping bytes, detach, and
// blocks left exactly as they were when the heap is exhausted.
#include "containers/mem_block.h"
#include "platform/win32.h"
#include "support/heap_hook.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace patprn;

namespace {

SIZE_T Capacity(const MemBlock *block) { return block->data != nullptr ? GlobalSize(block->data) : 0; }

std::string Contents(const MemBlock *block) {
    return std::string(reinterpret_cast<const char *>(block->data), block->length);
}

// A block of `step` holding `text`, with its cursor at the end.
MemBlock *BlockWith(uint32_t step, const std::string &text) {
    MemBlock *block = MemBlockCreate(step, 0);
    MemBlockWrite(block, text.data(), static_cast<uint32_t>(text.size()));
    return block;
}

// Writes bytes until the length reaches the capacity.
void FillToCapacity(MemBlock *block) {
    MemBlockSeek(block, 0, kSeekFromEnd);
    while (block->length < Capacity(block)) MemBlockWrite(block, "f", 1);
}

}  // namespace

TEST(MemBlock, CreateWithAndWithoutBuffer) {
    MemBlock *drawEntries = MemBlockCreate(960, 1);
    ASSERT_NE(drawEntries, nullptr);
    EXPECT_EQ(drawEntries->length, 0u);
    EXPECT_EQ(drawEntries->cursor, 0u);
    ASSERT_NE(drawEntries->data, nullptr);
    EXPECT_GE(Capacity(drawEntries), 960u);
    MemBlockFree(drawEntries);

    MemBlock *bare = MemBlockCreate(16, 0);
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(bare->data, nullptr);
    EXPECT_EQ(MemBlockWrite(bare, std::string(40, 'x').data(), 40), 1);
    EXPECT_EQ(Capacity(bare), 48u);  // three whole steps
    MemBlockFree(bare);

    EXPECT_EQ(MemBlockCreate(0, 1), nullptr);  // a block that could never grow
}

TEST(MemBlock, GrowsByWholeStepsFromTheHeapSize) {
    MemBlock *block = MemBlockCreate(8, 1);
    FillToCapacity(block);
    const SIZE_T full = Capacity(block);
    ASSERT_EQ(block->length, full);

    EXPECT_EQ(MemBlockWrite(block, "1", 1), 1);
    EXPECT_EQ(Capacity(block), full + 8);

    FillToCapacity(block);
    EXPECT_EQ(MemBlockWrite(block, "123456789", 9), 1);  // step + 1 bytes
    EXPECT_EQ(Capacity(block), full + 8 + 16);
    EXPECT_EQ(Contents(block).substr(full), std::string(1, '1') + std::string(7, 'f') + "123456789");
    MemBlockFree(block);

    // Steps count from the capacity, not from the length in use.
    block = MemBlockCreate(8, 1);
    MemBlockWrite(block, "abc", 3);
    EXPECT_EQ(MemBlockInsert(block, "123456", 6), 1);
    EXPECT_EQ(Capacity(block), 16u);
    MemBlockFree(block);
}

TEST(MemBlock, CursorSeekWriteBeyondLengthAndRead) {
    MemBlock *block = BlockWith(32, "abcdef");
    MemBlockSeek(block, -2, kSeekFromEnd);
    EXPECT_EQ(block->cursor, 4u);
    MemBlockSeek(block, -3, kSeekFromCursor);
    EXPECT_EQ(block->cursor, 1u);

    MemBlockSeek(block, 10, kSeekFromStart);
    EXPECT_EQ(MemBlockWrite(block, "XY", 2), 1);
    EXPECT_EQ(block->length, 12u);
    EXPECT_EQ(std::memcmp(block->data + 10, "XY", 2), 0);

    MemBlockSeek(block, 8, kSeekFromStart);
    const void *tail = MemBlockRead(block, 4);
    ASSERT_EQ(tail, block->data + 8);  // a pointer into the block, nothing copied
    EXPECT_EQ(block->cursor, 12u);
    EXPECT_EQ(MemBlockRead(block, 1), nullptr);
    EXPECT_EQ(block->cursor, 12u);

    // Ranges whose end wraps past 32 bits are refused.
    MemBlockSeek(block, 4, kSeekFromStart);
    EXPECT_EQ(MemBlockRead(block, 0xFFFFFFFEu), nullptr);
    EXPECT_EQ(MemBlockDelete(block, 0xFFFFFFFEu), 0);
    MemBlockSeek(block, -1, kSeekFromStart);
    EXPECT_EQ(MemBlockWrite(block, "xy", 2), 0);
    EXPECT_EQ(MemBlockInsert(block, "xy", 2), 0);
    EXPECT_EQ(block->length, 12u);
    MemBlockFree(block);
}

TEST(MemBlock, InsertAndDeleteMoveOverlappingBytes) {
    MemBlock *block = BlockWith(8, "abcdefgh");  // capacity == length: the insert grows
    MemBlockSeek(block, 2, kSeekFromStart);
    EXPECT_EQ(MemBlockInsert(block, "XYZ", 3), 1);
    EXPECT_EQ(Contents(block), "abXYZcdefgh");
    EXPECT_EQ(block->cursor, 5u);
    EXPECT_EQ(Capacity(block), 16u);

    MemBlockSeek(block, 1, kSeekFromStart);
    EXPECT_EQ(MemBlockDelete(block, 5), 1);
    EXPECT_EQ(Contents(block), "adefgh");
    EXPECT_EQ(block->cursor, 1u);

    MemBlockSeek(block, -2, kSeekFromEnd);
    EXPECT_EQ(MemBlockDelete(block, 2), 1);  // the last bytes: nothing moves
    EXPECT_EQ(Contents(block), "adef");
    EXPECT_EQ(MemBlockDelete(block, 1), 0);  // would run past the length
    EXPECT_EQ(Contents(block), "adef");

    // Past the length there is nothing to move up: the bytes land at the
    // cursor and the length covers them.
    MemBlockSeek(block, 6, kSeekFromStart);
    EXPECT_EQ(MemBlockInsert(block, "QR", 2), 1);
    EXPECT_EQ(block->length, 8u);
    EXPECT_EQ(std::memcmp(block->data + 6, "QR", 2), 0);
    MemBlockFree(block);
}

TEST(MemBlock, DetachHandsOverTheBuffer) {
    const long before = pattest::LiveHeapBlocks();
    MemBlock *block = BlockWith(8, "abc");
    void *buffer = MemBlockDetach(block);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(std::memcmp(buffer, "abc", 3), 0);
    EXPECT_EQ(MemBlockLength(block), 0u);
    EXPECT_EQ(block->cursor, 0u);
    EXPECT_EQ(block->step, 8u);
    EXPECT_EQ(block->data, nullptr);

    EXPECT_EQ(MemBlockWrite(block, "z", 1), 1);  // a fresh buffer
    EXPECT_NE(block->data, buffer);
    MemBlockFree(block);
    if (before >= 0) {
        EXPECT_EQ(pattest::LiveHeapBlocks(), before + 1);  // only the detached buffer
    }
    EXPECT_EQ(GlobalFree(buffer), nullptr);

    // Filled a byte at a time, the buffer grows ahead of its steps; it is
    // handed out with the size the steps give, as the host may read it.
    block = MemBlockCreate(8, 1);
    for (int i = 0; i < 1000; ++i) MemBlockWrite(block, "x", 1);
    buffer = MemBlockDetach(block);
    EXPECT_EQ(GlobalSize(buffer), 1000u);
    EXPECT_EQ(std::string(static_cast<const char *>(buffer), 1000), std::string(1000, 'x'));
    GlobalFree(buffer);
    MemBlockFree(block);
    block = MemBlockCreate(24, 0);
    for (int i = 0; i < 1001; ++i) MemBlockWrite(block, "y", 1);
    buffer = MemBlockDetach(block);
    EXPECT_EQ(GlobalSize(buffer), 1008u) << "42 whole steps";
    GlobalFree(buffer);
    MemBlockFree(block);
}

TEST(MemBlock, FailedGrowthLeavesTheBlockAsItWas) {
    SKIP_WITHOUT_HEAP_HOOK();
    pattest::HeapHookGuard guard;
    const long before = pattest::LiveHeapBlocks();
    pattest::FailNthAllocation(1);
    EXPECT_EQ(MemBlockCreate(8, 1), nullptr);
    pattest::FailNthAllocation(2);  // the header succeeds, the buffer fails
    EXPECT_EQ(MemBlockCreate(8, 1), nullptr);
    EXPECT_EQ(pattest::LiveHeapBlocks(), before);

    MemBlock *block = BlockWith(8, "abcdefgh");
    uint8_t *const data = block->data;
    MemBlockSeek(block, 3, kSeekFromStart);
    pattest::FailNthAllocation(1);
    EXPECT_EQ(MemBlockInsert(block, "X", 1), 0);
    pattest::FailNthAllocation(1);
    EXPECT_EQ(MemBlockWrite(block, "XXXXXXX", 7), 0);
    EXPECT_EQ(block->data, data);
    EXPECT_EQ(Contents(block), "abcdefgh");
    EXPECT_EQ(block->cursor, 3u);
    EXPECT_EQ(Capacity(block), 8u);

    MemBlock *bare = MemBlockCreate(8, 0);
    pattest::FailNthAllocation(1);
    EXPECT_EQ(MemBlockWrite(bare, "a", 1), 0);
    EXPECT_EQ(bare->data, nullptr);
    EXPECT_EQ(bare->length, 0u);
    EXPECT_EQ(bare->cursor, 0u);
    MemBlockFree(bare);
    MemBlockFree(block);
}

// A block in the caller's buffer asks the heap for nothing until it
// outgrows it, then moves to a heap buffer of whole steps counted from the
// buffer's size; a failed move leaves it as it was; detaching it hands out
// a heap copy of whole steps.
TEST(MemBlock, LocalBufferMovesToTheHeapOnlyWhenOutgrown) {
    SKIP_WITHOUT_HEAP_HOOK();
    pattest::HeapHookGuard guard;
    const long before = pattest::LiveHeapBlocks();
    uint8_t buffer[16];
    MemBlock block;
    MemBlockInitLocal(&block, 8, buffer, sizeof buffer);
    pattest::FailNthAllocation(1);
    EXPECT_EQ(MemBlockWrite(&block, "0123456789abcdef", 16), 1);
    EXPECT_EQ(block.data, buffer);
    EXPECT_EQ(MemBlockWrite(&block, "g", 1), 0) << "the move fails";
    EXPECT_EQ(block.data, buffer);
    EXPECT_EQ(Contents(&block), "0123456789abcdef");
    pattest::FailNthAllocation(0);
    MemBlockSeek(&block, 4, kSeekFromStart);
    EXPECT_EQ(MemBlockInsert(&block, "XY", 2), 1);
    EXPECT_NE(block.data, buffer);
    EXPECT_EQ(GlobalSize(block.data), 24u) << "16 + one step";
    EXPECT_EQ(Contents(&block), "0123XY456789abcdef");
    MemBlockRelease(&block);
    EXPECT_EQ(pattest::LiveHeapBlocks(), before);

    for (uint32_t length : {0u, 5u, 8u, 9u}) {
        MemBlockInitLocal(&block, 8, buffer, sizeof buffer);
        MemBlockWrite(&block, "abcdefghi", length);
        pattest::FailNthAllocation(1);
        EXPECT_EQ(MemBlockDetach(&block), nullptr) << "the copy fails";
        EXPECT_EQ(block.length, length);
        void *copy = MemBlockDetach(&block);
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(GlobalSize(copy), length <= 8 ? 8u : 16u) << length;
        EXPECT_EQ(std::memcmp(copy, "abcdefghi", length), 0);
        EXPECT_EQ(block.data, nullptr);
        GlobalFree(copy);
    }
    EXPECT_EQ(pattest::LiveHeapBlocks(), before);
}
