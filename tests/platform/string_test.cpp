// The 8-bit string functions the library formats and copies texts with.
#include "platform_test.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(wsprintfA, UnsignedLongIs32BitsWide) {
    char out[64];
    EXPECT_EQ(wsprintfA(out, "%lu", static_cast<DWORD>(0xFFFFFF02u)), 10);
    EXPECT_STREQ(out, "4294967042");
    EXPECT_EQ(wsprintfA(out, "%lu-%lu", static_cast<DWORD>(0), static_cast<DWORD>(10001)), 7);
    EXPECT_STREQ(out, "0-10001");
    EXPECT_EQ(wsprintfA(out, "[%s]%%", "ab"), 5);
    EXPECT_STREQ(out, "[ab]%");
}

TEST(lstrcpynA, CopiesAtMostCountMinusOneAndTerminates) {
    char out[8];
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(lstrcpynA(out, "printer", 4), out);
    EXPECT_STREQ(out, "pri");
    EXPECT_EQ(out[4], 'x') << "nothing past count";
    EXPECT_EQ(lstrcpynA(out, "ab", 8), out);
    EXPECT_STREQ(out, "ab");
    std::memset(out, 'x', sizeof out);
    lstrcpynA(out, "abc", 1);
    EXPECT_EQ(out[0], '\0');
}

TEST(lstrcmpA, ComparesExactlyAndCaseSensitively) {
    EXPECT_EQ(lstrcmpA("EN", "EN"), 0);
    EXPECT_NE(lstrcmpA("EN", "en"), 0);
    EXPECT_NE(lstrcmpA("EN", "ENG"), 0);
    EXPECT_EQ(lstrlenA("Tray 1"), 6);
    EXPECT_EQ(lstrlenA(nullptr), 0);
    char joined[16] = "Tray";
    EXPECT_EQ(lstrcatA(joined, " 2"), joined);
    EXPECT_STREQ(joined, "Tray 2");
}

}  // namespace
