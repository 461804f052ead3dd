// The global heap as the library and its hosts use it: fixed blocks whose
// size is the size asked for, zero-filled on request, grown with their
// contents kept under GMEM_MOVEABLE.
#include <gtest/gtest.h>

#include <cstring>

#include "platform_test.h"

namespace {

TEST(GlobalAlloc, SizeIsTheSizeAskedForAndZeroInitFills) {
    for (SIZE_T size : {SIZE_T{1}, SIZE_T{3}, SIZE_T{4097}}) {
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
    EXPECT_EQ(grown[3999], 0);
    EXPECT_EQ(GlobalFree(grown), nullptr);
}

}  // namespace
