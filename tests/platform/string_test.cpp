// The 8-bit string functions the library formats and copies texts with.
#include <gtest/gtest.h>

#include <cstring>

#include "platform_test.h"

namespace {

TEST(wsprintfA, UnsignedLongIs32BitsWide) {
    char out[64];
    EXPECT_EQ(wsprintfA(out, "%lu", static_cast<DWORD>(0xFFFFFF02u)), 10);
    EXPECT_STREQ(out, "4294967042");
    EXPECT_EQ(wsprintfA(out, "[%s]%lu", "ab", static_cast<DWORD>(0)), 5);
    EXPECT_STREQ(out, "[ab]0");
}

TEST(lstrcpynA, CopiesAtMostCountMinusOneAndTerminates) {
    char out[8];
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(lstrcpynA(out, "printer", 4), out);
    EXPECT_STREQ(out, "pri");
    EXPECT_EQ(out[4], 'x') << "nothing past count";
    lstrcpynA(out, "abc", 1);
    EXPECT_EQ(out[0], '\0');
}

}  // namespace
