// PatGetPalette's protocol over a palette table with entries (the
// library's own table is empty; tests/api checks the export).
#include "frame/bitmap_exports.h"

#include "support/support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using namespace patprn;

constexpr PaletteEntry kThreeColours[] = {
    {0x10, 0x20, 0x30, 0x00}, {0xFF, 0x00, 0x80, 0x01}, {0x00, 0x00, 0x00, 0x04}, {0, 0, 0, kPaletteEnd}};

TEST(GetPaletteFrom, SizeQueryThenCopy) {
    DWORD size = 0;
    EXPECT_EQ(GetPaletteFrom(kThreeColours, nullptr, &size), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(size, 16u);

    std::vector<uint8_t> buffer(24, 0xAA);
    size = 15;
    EXPECT_EQ(GetPaletteFrom(kThreeColours, buffer.data(), &size), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(size, 16u);
    EXPECT_EQ(buffer, std::vector<uint8_t>(24, 0xAA)) << "a short buffer is not written";

    EXPECT_EQ(GetPaletteFrom(kThreeColours, buffer.data(), &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 16u);
    const std::vector<uint8_t> expected = {0x00, 0x03, 0x03, 0x00, 0x10, 0x20, 0x30, 0x00,
                                           0xFF, 0x00, 0x80, 0x01, 0x00, 0x00, 0x00, 0x04};
    EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 16), expected);
    EXPECT_EQ(std::vector<uint8_t>(buffer.begin() + 16, buffer.end()), std::vector<uint8_t>(8, 0xAA));

    // A larger buffer keeps the size the caller gave.
    size = 24;
    EXPECT_EQ(GetPaletteFrom(kThreeColours, buffer.data(), &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 24u);
}

TEST(GetPaletteFrom, InvalidArguments) {
    std::vector<uint8_t> buffer(16, 0xAA);
    EXPECT_EQ(GetPaletteFrom(kThreeColours, buffer.data(), nullptr), ERROR_INVALID_PARAMETER);
    DWORD size = 16;
    EXPECT_EQ(GetPaletteFrom(kThreeColours, nullptr, &size), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(size, 16u);
    EXPECT_EQ(GetPaletteFrom(PaletteTable, nullptr, &size), ERROR_INVALID_PARAMETER);
}

}  // namespace
