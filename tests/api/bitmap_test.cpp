// The bitmap exports through the real library: every bitmap of the status
// picture is stored as a packed 8-bit RLE8 bitmap of its size with the
// shared colour table, decodes exactly, and its mask fits its image.
#include "patprn/patprn.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct BitmapSize {
    const char *name;
    int width, height;
    bool masked;
};
const BitmapSize kBitmaps[] = {
    {"BM_BASE", 320, 200, false}, {"BM_CAUTION", 320, 200, true}, {"BM_SERVICE", 320, 200, true},
    {"BM_POWEROFF", 320, 200, true}, {"BM_TRAY2", 320, 200, true}, {"BM_TRAY3", 320, 200, true},
    {"BM_POINT_1", 96, 32, true},    {"BM_POINT_2", 94, 58, true},   {"BM_POINT_3", 120, 62, true},
    {"BM_POINT_4", 85, 32, true},    {"BM_POINT_5", 33, 48, true},   {"BM_POINT_6", 107, 34, true},
    {"BM_POINT_7", 35, 27, true},    {"BM_POINT_8", 96, 36, true},
};

uint32_t Read32(const uint8_t *p) {
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
uint16_t Read16(const uint8_t *p) {
    uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// A stored packed bitmap: its header fields and decoded pixels.
struct Packed {
    int32_t width = 0, height = 0;
    uint16_t planes = 0, bits = 0;
    uint32_t compression = 0, imageSize = 0;
    const uint8_t *colours = nullptr;  // 256 RGBQUAD entries
    const uint8_t *codes = nullptr;    // RLE8 codes, imageSize bytes
};

Packed ReadPacked(const char *name) {
    Packed p;
    HGLOBAL resource = PatLoadDIBitmap(name);
    if (resource == nullptr) return p;
    const uint8_t *bytes = static_cast<const uint8_t *>(LockResource(resource));
    if (bytes == nullptr || Read32(bytes) != 40) return p;
    p.width = static_cast<int32_t>(Read32(bytes + 4));
    p.height = static_cast<int32_t>(Read32(bytes + 8));
    p.planes = Read16(bytes + 12);
    p.bits = Read16(bytes + 14);
    p.compression = Read32(bytes + 16);
    p.imageSize = Read32(bytes + 20);
    p.colours = bytes + 40;
    p.codes = bytes + 40 + 256 * 4;
    return p;
}

// Decodes RLE8 codes strictly: every row ends with an end-of-line code
// after exactly `width` pixels, the last with the end-of-bitmap code, and
// nothing is read past `size` bytes. Returns the pixels top row first, or
// an empty vector and the reason.
std::vector<uint8_t> DecodeRle8(const uint8_t *codes, uint32_t size, int width, int height, std::string *why) {
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height);
    uint32_t pos = 0;
    for (int row = 0; row < height; ++row) {
        uint8_t *line = &pixels[static_cast<size_t>(height - 1 - row) * width];  // bottom-up
        int x = 0;
        for (;;) {
            if (pos + 2 > size) return *why = "codes end inside row " + std::to_string(row), std::vector<uint8_t>();
            const uint8_t count = codes[pos], value = codes[pos + 1];
            pos += 2;
            if (count > 0) {
                if (x + count > width) return *why = "run overflows row " + std::to_string(row), std::vector<uint8_t>();
                std::memset(line + x, value, count);
                x += count;
            } else if (value == 0 || value == 1) {
                if (x != width) return *why = "row " + std::to_string(row) + " ends short", std::vector<uint8_t>();
                const bool last = row == height - 1;
                if ((value == 1) != last) return *why = "end code misplaced at row " + std::to_string(row), std::vector<uint8_t>();
                break;
            } else if (value == 2) {
                return *why = "delta code", std::vector<uint8_t>();
            } else {
                const uint32_t padded = value + (value & 1u);
                if (pos + padded > size || x + value > width) return *why = "absolute run overflows", std::vector<uint8_t>();
                std::memcpy(line + x, codes + pos, value);
                x += value;
                pos += padded;
            }
        }
    }
    if (pos != size) return *why = "bytes after the end of the bitmap", std::vector<uint8_t>();
    return pixels;
}

std::vector<uint8_t> Decode(const char *name, const Packed &p) {
    std::string why;
    std::vector<uint8_t> pixels = DecodeRle8(p.codes, p.imageSize, p.width, p.height, &why);
    EXPECT_FALSE(pixels.empty()) << name << ": " << why;
    return pixels;
}

TEST(PatLoadDIBitmap, BaseIsA320By200Rle8Bitmap) {
    pattest::PoisonLastError();
    HGLOBAL base = PatLoadDIBitmap("BM_BASE");
    ASSERT_NE(base, nullptr);
    EXPECT_EQ(GetLastError(), 0u);
    const Packed p = ReadPacked("BM_BASE");
    EXPECT_EQ(p.width, 320);
    EXPECT_EQ(p.height, 200);
    EXPECT_EQ(p.planes, 1u);
    EXPECT_EQ(p.bits, 8u);
    EXPECT_EQ(p.compression, 1u);  // BI_RLE8
    // The stored resource begins with the info header: no file header.
    EXPECT_EQ(Read32(static_cast<const uint8_t *>(LockResource(base))), 40u);
}

TEST(PatLoadDIBitmap, EveryBitmapHasItsSizeAndTheSharedColourTable) {
    const Packed base = ReadPacked("BM_BASE");
    ASSERT_NE(base.colours, nullptr);
    // The first and last ten entries are the static system colours.
    const uint8_t system[20][3] = {{0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},
                                   {0, 0, 128},     {128, 0, 128},   {0, 128, 128},   {192, 192, 192},
                                   {192, 220, 192}, {166, 202, 240}, {255, 251, 240}, {160, 160, 164},
                                   {128, 128, 128}, {255, 0, 0},     {0, 255, 0},     {255, 255, 0},
                                   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};
    for (int i = 0; i < 20; ++i) {
        const uint8_t *quad = base.colours + 4 * (i < 10 ? i : 236 + i);
        EXPECT_EQ(quad[2], system[i][0]) << i;
        EXPECT_EQ(quad[1], system[i][1]) << i;
        EXPECT_EQ(quad[0], system[i][2]) << i;
    }
    for (const BitmapSize &b : kBitmaps) {
        for (const std::string &name : {std::string(b.name), std::string(b.name) + "_B"}) {
            if (!b.masked && name.back() == 'B') continue;
            const Packed p = ReadPacked(name.c_str());
            ASSERT_NE(p.colours, nullptr) << name;
            EXPECT_EQ(p.width, b.width) << name;
            EXPECT_EQ(p.height, b.height) << name;
            EXPECT_EQ(p.bits, 8u) << name;
            EXPECT_EQ(p.compression, 1u) << name;
            EXPECT_EQ(std::memcmp(p.colours, base.colours, 256 * 4), 0) << name << ": colour table differs";
            Decode(name.c_str(), p);
        }
    }
}

TEST(PatLoadDIBitmap, MasksShowTheImageAndNothingElse) {
    for (const BitmapSize &b : kBitmaps) {
        if (!b.masked) continue;
        const std::string maskName = std::string(b.name) + "_B";
        const std::vector<uint8_t> image = Decode(b.name, ReadPacked(b.name));
        const std::vector<uint8_t> mask = Decode(maskName.c_str(), ReadPacked(maskName.c_str()));
        ASSERT_EQ(image.size(), mask.size()) << b.name;
        size_t shown = 0;
        for (size_t i = 0; i < mask.size(); ++i) {
            // Black (0) shows the image, white (255) keeps the background;
            // there the image must be black, or SRCPAINT would tint it.
            ASSERT_TRUE(mask[i] == 0 || mask[i] == 255) << maskName << " pixel " << i;
            if (mask[i] == 0) ++shown;
            if (mask[i] == 255) {
                ASSERT_EQ(image[i], 0) << b.name << " pixel " << i;
            }
        }
        EXPECT_GT(shown, 0u) << maskName << " shows nothing";
        EXPECT_LT(shown, mask.size()) << maskName << " hides the whole background";
    }
}

TEST(PatLoadDIBitmap, UnknownNameFailsWithTheLoadersError) {
    // BM_BASE is always drawn opaque: it has no mask.
    for (const char *name : {"BM_BASE_B", "BM_NONE"}) {
        pattest::PoisonLastError();
        EXPECT_EQ(PatLoadDIBitmap(name), nullptr) << name;
        EXPECT_EQ(GetLastError(), 1814u) << name;  // resource name not found
    }
    pattest::PoisonLastError();
    EXPECT_EQ(PatLoadDIBitmap(nullptr), nullptr);
    EXPECT_EQ(GetLastError(), 87u);
}

TEST(PatLoadBitmap, GivesABitmapTheCallerDeletes) {
    for (const BitmapSize &b : kBitmaps) {
        pattest::PoisonLastError();
        HBITMAP bitmap = PatLoadBitmap(b.name);
        ASSERT_NE(bitmap, nullptr) << b.name;
        EXPECT_EQ(GetLastError(), 0u) << b.name;
        EXPECT_NE(DeleteObject(bitmap), FALSE) << b.name;
    }
    pattest::PoisonLastError();
    EXPECT_EQ(PatLoadBitmap(nullptr), nullptr);
    EXPECT_EQ(GetLastError(), 87u);
    // A failed load reports why, never success.
    pattest::PoisonLastError();
    EXPECT_EQ(PatLoadBitmap("BM_BASE_B"), nullptr);
    EXPECT_NE(GetLastError(), 0u);
    EXPECT_NE(GetLastError(), pattest::kPoison);
}

TEST(PatGetPalette, NoPaletteInThisLibrary) {
    DWORD size = 0;
    pattest::PoisonLastError();
    EXPECT_EQ(PatGetPalette(nullptr, &size), FALSE);
    EXPECT_EQ(GetLastError(), PAT_ERROR_NO_PALETTE);
    EXPECT_EQ(size, 0u);
    uint8_t buffer[64];
    std::memset(buffer, 0xAA, sizeof buffer);
    size = sizeof buffer;
    EXPECT_EQ(PatGetPalette(buffer, &size), FALSE);
    EXPECT_EQ(GetLastError(), PAT_ERROR_NO_PALETTE);
    EXPECT_EQ(size, sizeof buffer);
    EXPECT_EQ(buffer[0], 0xAA);
    size = 16;
    EXPECT_EQ(PatGetPalette(nullptr, &size), FALSE);
    EXPECT_EQ(GetLastError(), 87u);
    EXPECT_EQ(PatGetPalette(nullptr, nullptr), FALSE);
    EXPECT_EQ(GetLastError(), 87u);
}

}  // namespace
