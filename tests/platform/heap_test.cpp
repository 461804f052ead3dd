// The global heap as the library and its hosts use it: fixed blocks whose
// size is the size asked for, zero-filled on request, grown with their
// contents kept under GMEM_MOVEABLE.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform_test.h"

#ifndef _WIN32
#include <sys/mman.h>
#include <unistd.h>
#endif

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

TEST(GlobalReAlloc, ShrinkingKeepsTheBlockInPlace) {
    auto *block = static_cast<char *>(GlobalAlloc(GMEM_FIXED, 64));
    ASSERT_NE(block, nullptr);
    std::memcpy(block, "tray", 5);
    EXPECT_EQ(GlobalReAlloc(block, 16, GMEM_MOVEABLE), block);
    EXPECT_EQ(GlobalSize(block), 16u);
    EXPECT_STREQ(block, "tray");
    EXPECT_EQ(GlobalFree(block), nullptr);
}

#ifndef _WIN32
// Pointers the heap never handed out, as a host may pass them by mistake:
// each is refused with ERROR_INVALID_HANDLE and left alone.
TEST(GlobalFree, RefusesPointersItNeverAllocated) {
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    // Two pages, the first unreadable: a block starting at the second must
    // be refused without a look at the bytes before it.
    auto *pages = static_cast<char *>(mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE,
                                           MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(pages, MAP_FAILED);
    ASSERT_EQ(mprotect(pages, page, PROT_NONE), 0);
    void *hostBlock = std::malloc(48);
    static char hostStatic[64];
    auto *ours = static_cast<char *>(GlobalAlloc(GPTR, 64));
    ASSERT_NE(ours, nullptr);

    for (void *foreign : {static_cast<void *>(pages + page), static_cast<void *>(pages + page + 32), hostBlock,
                          static_cast<void *>(hostStatic + 16), static_cast<void *>(ours + 16),
                          static_cast<void *>(ours + 1)}) {
        SetLastError(0xdeadbeef);
        EXPECT_EQ(GlobalFree(foreign), foreign) << foreign;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE) << foreign;
        SetLastError(0xdeadbeef);
        EXPECT_EQ(GlobalSize(foreign), 0u) << foreign;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE) << foreign;
        EXPECT_EQ(GlobalReAlloc(foreign, 128, GMEM_MOVEABLE), nullptr) << foreign;
    }
    EXPECT_EQ(GlobalFree(ours), nullptr) << "the real block is still whole";
    std::free(hostBlock);
    munmap(pages, 2 * page);
}

// The heap's own blocks never start on a page boundary, whatever their
// size: that is what lets it refuse such pointers unread.
TEST(GlobalAlloc, BlocksNeverStartOnAPageBoundary) {
    std::vector<void *> blocks;
    for (SIZE_T size = 1; size < 3 * 4096 + 64; size += 16) {
        void *block = GlobalAlloc(GMEM_FIXED, size);
        ASSERT_NE(block, nullptr);
        EXPECT_NE(reinterpret_cast<uintptr_t>(block) % 4096, 0u) << size;
        blocks.push_back(block);
    }
    void *large = GlobalAlloc(GMEM_FIXED, 1 << 20);
    ASSERT_NE(large, nullptr);
    EXPECT_NE(reinterpret_cast<uintptr_t>(large) % 4096, 0u);
    blocks.push_back(large);
    for (void *block : blocks) EXPECT_EQ(GlobalFree(block), nullptr);
}
#endif

}  // namespace
