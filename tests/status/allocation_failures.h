// Runs an export with every global-heap allocation it makes failing in
// turn (the 1st, the 2nd, ... until a run makes no failing allocation):
// each such run must report the failure and leave no block behind, and the
// run without a failure must succeed.
#pragma once

#include "support/heap_hook.h"
#include "support/support.h"

#include <gtest/gtest.h>

namespace pattest {

// `call` makes the export call and returns its flag. Returns the number of
// runs (the allocations made plus one).
template <typename Call>
unsigned ExpectEveryAllocationFailureReported(const char *what, Call call) {
    HeapHookGuard guard;
    unsigned n = 1;
    for (;; ++n) {
        const long before = LiveHeapBlocks();
        FailNthAllocation(n);
        PoisonLastError();
        const BOOL ok = call();
        const DWORD error = GetLastError();
        const bool struck = ArmedFailureStruck(n);
        EXPECT_EQ(LiveHeapBlocks(), before) << what << ", allocation " << n;
        if (!struck) {
            EXPECT_EQ(ok, TRUE) << what;
            return n;
        }
        EXPECT_EQ(ok, FALSE) << what << ", allocation " << n;
        EXPECT_TRUE(error == PAT_ERROR_NOT_ENOUGH_MEMORY || error == PAT_ERROR_NOT_FOUND)
            << what << ", allocation " << n << ": " << error;
    }
}

}  // namespace pattest
