// The global heap as the library and its hosts use it: fixed blocks whose
// size is the size asked for, zero-filled on request, grown in place of
// their contents with GMEM_MOVEABLE.
#include "platform_test.h"
#include "support/heap_hook.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(GlobalAlloc, SizeIsTheSizeAskedForAndZeroInitFills) {
    for (SIZE_T size : {SIZE_T{1}, SIZE_T{3}, SIZE_T{48}, SIZE_T{4097}}) {
        auto *block = static_cast<unsigned char *>(GlobalAlloc(GPTR, size));
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(GlobalSize(block), size);
        for (SIZE_T i = 0; i < size; ++i) ASSERT_EQ(block[i], 0) << size << " byte " << i;
        EXPECT_EQ(GlobalLock(block), block) << "a fixed block is its own address";
        EXPECT_EQ(GlobalFree(block), nullptr);
    }
}

TEST(GlobalReAlloc, MoveableGrowthKeepsTheContents) {
    auto *block = static_cast<char *>(GlobalAlloc(GMEM_FIXED, 8));
    ASSERT_NE(block, nullptr);
    std::memcpy(block, "patprn!", 8);
    auto *grown = static_cast<char *>(GlobalReAlloc(block, 4000, GMEM_MOVEABLE | GMEM_ZEROINIT));
    ASSERT_NE(grown, nullptr);
    EXPECT_EQ(GlobalSize(grown), 4000u);
    EXPECT_STREQ(grown, "patprn!");
    for (int i = 8; i < 4000; ++i) ASSERT_EQ(grown[i], 0) << "byte " << i;
    auto *shrunk = static_cast<char *>(GlobalReAlloc(grown, 4, GMEM_MOVEABLE));
    ASSERT_NE(shrunk, nullptr);
    EXPECT_EQ(GlobalSize(shrunk), 4u);
    EXPECT_EQ(std::memcmp(shrunk, "patp", 4), 0);
    EXPECT_EQ(GlobalFree(shrunk), nullptr);
}

TEST(GlobalFree, NullIsNothingToFree) { EXPECT_EQ(GlobalFree(nullptr), nullptr); }

TEST(HeapFailureHook, NthAllocationFailsWithNotEnoughMemory) {
    SKIP_WITHOUT_HEAP_HOOK();
    pattest::HeapHookGuard guard;
    const long live = pattest::LiveHeapBlocks();
    pattest::FailNthAllocation(2);
    HGLOBAL first = GlobalAlloc(GPTR, 16);
    ASSERT_NE(first, nullptr);
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(GlobalAlloc(GPTR, 16), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
    HGLOBAL third = GlobalAlloc(GPTR, 16);
    EXPECT_NE(third, nullptr) << "only the n-th fails";
    EXPECT_EQ(pattest::LiveHeapBlocks(), live + 2);
    // A failed growth keeps the block as it was.
    pattest::FailNthAllocation(1);
    EXPECT_EQ(GlobalReAlloc(first, 64, GMEM_MOVEABLE), nullptr);
    EXPECT_EQ(GlobalSize(first), 16u);
    GlobalFree(first);
    GlobalFree(third);
    EXPECT_EQ(pattest::LiveHeapBlocks(), live);
}

}  // namespace
