// Global heap: fixed blocks with a size header, as the library and its
// hosts use them (GlobalAlloc / GlobalFree, GlobalSize reporting the size
// asked for, GMEM_ZEROINIT, GlobalReAlloc with GMEM_MOVEABLE).
#include "platform/win32.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

// Every block starts with this header; the caller's bytes follow it,
// 16-byte aligned like the Windows heap's.
struct alignas(16) BlockHeader {
    uint64_t size;
    uint64_t magic;
};
constexpr uint64_t kBlockMagic = 0x70617468656170ull;  // "pat heap"

#ifdef PATPRN_TEST_HOOKS
std::atomic<unsigned> g_failCountdown{0};
std::atomic<long> g_liveBlocks{0};
#endif

BlockHeader *HeaderOf(HGLOBAL mem) {
    if (mem == nullptr) return nullptr;
    auto *header = static_cast<BlockHeader *>(mem) - 1;
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
    auto *header = static_cast<BlockHeader *>(std::malloc(sizeof(BlockHeader) + bytes));
    if (header == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    header->size = bytes;
    header->magic = kBlockMagic;
    if (flags & GMEM_ZEROINIT) std::memset(header + 1, 0, bytes);
    CountBlock(1);
    return header + 1;
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
    auto *moved = static_cast<BlockHeader *>(std::realloc(header, sizeof(BlockHeader) + bytes));
    if (moved == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    moved->size = bytes;
    if ((flags & GMEM_ZEROINIT) && bytes > old) std::memset(reinterpret_cast<char *>(moved + 1) + old, 0, bytes - old);
    return moved + 1;
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
    std::free(header);
    CountBlock(-1);
    return nullptr;
}
