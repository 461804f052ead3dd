// The library's heap failure hook, for tests linked with the library's own
// objects. Only the library's platform layer has it: on Windows the real
// heap cannot be told to fail, and these tests skip.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#ifndef _WIN32
#include "platform/win32.h"
#define PATPRN_HAVE_HEAP_HOOK 1
#else
#define PATPRN_HAVE_HEAP_HOOK 0
#endif

#define SKIP_WITHOUT_HEAP_HOOK()                                                          \
    do {                                                                                  \
        if (!PATPRN_HAVE_HEAP_HOOK) GTEST_SKIP() << "heap failure hook is not available"; \
    } while (0)

namespace pattest {

// The n-th global-heap allocation from now on fails (1 = the next one).
inline void FailNthAllocation(unsigned n) {
#if PATPRN_HAVE_HEAP_HOOK
    patprn::platform::HeapFailAfter(n);
#else
    (void)n;
#endif
}

// Global-heap blocks currently allocated, or -1 where it cannot be counted.
inline long LiveHeapBlocks() {
#if PATPRN_HAVE_HEAP_HOOK
    return patprn::platform::HeapLiveBlocks();
#else
    return -1;
#endif
}

// After a run armed with FailNthAllocation(n): whether the run made the
// failing allocation. If it did not, the failure is still pending and one
// of up to n probe allocations takes it. Switches the hook off either way.
inline bool ArmedFailureStruck(unsigned n) {
#if PATPRN_HAVE_HEAP_HOOK
    bool pending = false;
    std::vector<HGLOBAL> probes;
    for (unsigned i = 0; i < n && !pending; ++i) {
        HGLOBAL probe = GlobalAlloc(GMEM_FIXED, 1);
        if (probe == nullptr) pending = true;
        else probes.push_back(probe);
    }
    for (HGLOBAL probe : probes) GlobalFree(probe);
    FailNthAllocation(0);
    return !pending;
#else
    (void)n;
    return false;
#endif
}

// Switches the hook off when a test ends, whatever happened.
struct HeapHookGuard {
    ~HeapHookGuard() { FailNthAllocation(0); }
};

}  // namespace pattest
