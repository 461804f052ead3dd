// Global heap: fixed blocks with a size header, as the library and its
// hosts use them (GlobalAlloc / GlobalFree, GlobalSize reporting the size
// asked for, GMEM_ZEROINIT, GlobalReAlloc with GMEM_MOVEABLE).
#include "platform/win32.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace {

// Every block starts with this header; the caller's bytes follow it,
// 16-byte aligned like the Windows heap's. The caller's first byte is never
// placed on a page boundary, and the magic word lies just before it, in the
// same memory page. So a pointer on a page boundary (the first byte of a
// mapping, say) or off the 16-byte grid is refused without reading anything
// before it, and any other pointer into readable memory has its 8 bytes
// before it in a page that is mapped too.
struct alignas(16) BlockHeader {
    void *allocation;  // what malloc returned, 0 or 16 bytes before the header
    uint64_t reserved;
    uint64_t size;
    uint64_t magic;    // last: the only word read of a pointer not yet known
};
constexpr uint64_t kBlockMagic = 0x70617468656170ull;  // "pat heap"
constexpr uintptr_t kPageSize = 4096;                  // the smallest page of any target
static_assert(alignof(std::max_align_t) >= alignof(BlockHeader), "malloc must align blocks like the header");

// Room malloc must give for a block of `bytes`: the header, the bytes, and
// one header alignment step to move them off a page boundary.
size_t AllocationSize(SIZE_T bytes) { return sizeof(BlockHeader) + alignof(BlockHeader) + bytes; }

// Lays out a block of `bytes` in `allocation` and returns its data.
HGLOBAL PlaceBlock(void *allocation, SIZE_T bytes) {
    uintptr_t data = reinterpret_cast<uintptr_t>(allocation) + sizeof(BlockHeader);
    if (data % kPageSize == 0) data += alignof(BlockHeader);
    auto *header = reinterpret_cast<BlockHeader *>(data) - 1;
    header->allocation = allocation;
    header->reserved = 0;
    header->size = bytes;
    header->magic = kBlockMagic;
    return header + 1;
}

#ifdef PATPRN_TEST_HOOKS
std::atomic<unsigned> g_failCountdown{0};
std::atomic<long> g_liveBlocks{0};
#endif

// The header of a block this heap handed out, or null for anything else.
// A host may pass a pointer it got elsewhere: only the magic word before it
// is read (within its own page, see above), and those bytes may belong to
// another allocator, so the address sanitizer must not take the read for a
// fault.
__attribute__((no_sanitize("address"))) BlockHeader *HeaderOf(HGLOBAL mem) {
    const auto data = reinterpret_cast<uintptr_t>(mem);
    if (data == 0 || data % alignof(BlockHeader) != 0 || data % kPageSize == 0) return nullptr;
    auto *header = reinterpret_cast<BlockHeader *>(data) - 1;
    return header->magic == kBlockMagic ? header : nullptr;
}

// The failure hook and the block counter exist only in test builds
// (PATPRN_TEST_HOOKS); the shipped library neither fails on purpose nor
// counts.
#ifdef PATPRN_TEST_HOOKS
// True when the test hook says this allocation is the one to fail.
bool InjectFailure() {
    unsigned n = g_failCountdown.load(std::memory_order_relaxed);
    while (n != 0) {
        if (g_failCountdown.compare_exchange_weak(n, n - 1, std::memory_order_relaxed)) return n == 1;
    }
    return false;
}
void CountBlock(long change) { g_liveBlocks.fetch_add(change, std::memory_order_relaxed); }
#else
constexpr bool InjectFailure() { return false; }
void CountBlock(long) {}
#endif

}  // namespace

#ifdef PATPRN_TEST_HOOKS
namespace patprn::platform {

void HeapFailAfter(unsigned n) { g_failCountdown.store(n, std::memory_order_relaxed); }

long HeapLiveBlocks() { return g_liveBlocks.load(std::memory_order_relaxed); }

}  // namespace patprn::platform
#endif

/* GlobalAlloc */
extern "C" HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) {
    if (InjectFailure() || bytes > (SIZE_T{1} << 40)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    void *allocation = std::malloc(AllocationSize(bytes));
    if (allocation == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    HGLOBAL mem = PlaceBlock(allocation, bytes);
    if (flags & GMEM_ZEROINIT) std::memset(mem, 0, bytes);
    CountBlock(1);
    return mem;
}

/* GlobalReAlloc */
extern "C" HGLOBAL GlobalReAlloc(HGLOBAL mem, SIZE_T bytes, UINT flags) {
    BlockHeader *header = HeaderOf(mem);
    if (header == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    const uint64_t old = header->size;
    // A fixed block may only change size in place; without GMEM_MOVEABLE
    // Windows refuses to grow it.
    if (bytes > old && !(flags & GMEM_MOVEABLE)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (bytes > old && (InjectFailure() || bytes > (SIZE_T{1} << 40))) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    // A smaller block stays where it is.
    if (bytes <= old) {
        header->size = bytes;
        return mem;
    }
    // A larger one moves: the new place may need the other header offset.
    void *allocation = std::malloc(AllocationSize(bytes));
    if (allocation == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    HGLOBAL moved = PlaceBlock(allocation, bytes);
    std::memcpy(moved, mem, old);
    if (flags & GMEM_ZEROINIT) std::memset(static_cast<char *>(moved) + old, 0, bytes - old);
    header->magic = 0;
    std::free(header->allocation);
    return moved;
}

/* GlobalLock */
extern "C" LPVOID GlobalLock(HGLOBAL mem) {
    if (HeaderOf(mem) == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return mem;
}

/* GlobalUnlock */
extern "C" BOOL GlobalUnlock(HGLOBAL mem) {
    // A fixed block has no lock count: Windows reports FALSE with no error.
    if (HeaderOf(mem) == nullptr) SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

/* GlobalSize */
extern "C" SIZE_T GlobalSize(HGLOBAL mem) {
    BlockHeader *header = HeaderOf(mem);
    if (header == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return header->size;
}

/* GlobalFree */
extern "C" HGLOBAL GlobalFree(HGLOBAL mem) {
    if (mem == nullptr) return nullptr;
    BlockHeader *header = HeaderOf(mem);
    if (header == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return mem;
    }
    header->magic = 0;
    std::free(header->allocation);
    CountBlock(-1);
    return nullptr;
}
