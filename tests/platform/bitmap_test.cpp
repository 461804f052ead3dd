// Bitmaps: LoadBitmapA over the stored RT_BITMAP resources, and (in this
// layer) the decoder of packed 8-bit bitmaps that it uses.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform_test.h"
#include "support/heap_hook.h"
#include "support/stored_bitmap.h"

#ifndef _WIN32
#include "platform/bitmap.h"
#endif

namespace {

bool HaveBaseBitmap() { return FindResourceA(pattest::ResourceModule(), "BM_BASE", RT_BITMAP) != nullptr; }

TEST(LoadBitmapA, MissingBitmapLeavesTheLookupError) {
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(LoadBitmapA(pattest::ResourceModule(), "BM_BASE_B"), nullptr);
    // Until the first bitmap is stored there is no RT_BITMAP type at all.
    EXPECT_EQ(GetLastError(), HaveBaseBitmap() ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
}

TEST(LoadBitmapA, BaseBitmapLoadsByNameInAnyCase) {
    if (!HaveBaseBitmap()) GTEST_SKIP() << "BM_BASE is not stored yet";
    for (const char *name : {"BM_BASE", "bm_base"}) {
        HBITMAP bitmap = LoadBitmapA(pattest::ResourceModule(), name);
        ASSERT_NE(bitmap, nullptr) << name << " error " << GetLastError();
#ifndef _WIN32
        EXPECT_EQ(bitmap->width, 320);
        EXPECT_EQ(bitmap->height, 200);
#endif
        EXPECT_TRUE(DeleteObject(bitmap));
    }
}

TEST(FindResourceA, BitmapsStoredInOneLanguageAreFoundWithoutOne) {
    if (!HaveBaseBitmap()) GTEST_SKIP() << "BM_BASE is not stored yet";
    // Stored under 0x0411 only: with no language named the loader's last
    // resort finds it; named in another language it is not found.
    EXPECT_NE(FindResourceExA(pattest::ResourceModule(), RT_BITMAP, "BM_BASE", 0x0411), nullptr);
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(FindResourceExA(pattest::ResourceModule(), RT_BITMAP, "BM_BASE", 0x0409), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_LANG_NOT_FOUND);
}

TEST(DeleteObject, NullIsNoObject) { EXPECT_FALSE(DeleteObject(nullptr)); }

// A host reads a loaded bitmap's pixels as a Windows host does: its size
// from GetObjectA, then 24- or 32-bit rows from GetDIBits. The pixels must
// be the stored file's colours, bottom-up or top-down as the header asks.
class BitmapPixels : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveBaseBitmap()) GTEST_SKIP() << "BM_BASE is not stored yet";
        stored = pattest::ReadStoredBitmap(pattest::HostPath(PATPRN_SOURCE_DIR), "BM_BASE");
        ASSERT_EQ(stored.width, 320);
        bitmap = LoadBitmapA(pattest::ResourceModule(), "BM_BASE");
        ASSERT_NE(bitmap, nullptr);
#ifdef _WIN32
        dc = CreateCompatibleDC(nullptr);
#endif
    }
    void TearDown() override {
        if (bitmap != nullptr) DeleteObject(bitmap);
#ifdef _WIN32
        if (dc != nullptr) DeleteDC(dc);
#endif
    }
    // Reads `lines` rows from scan line `start` into a fresh buffer.
    std::vector<BYTE> Read(WORD bitCount, LONG height, UINT start, UINT lines, int *copied) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = 320;
        info.bmiHeader.biHeight = height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = bitCount;
        info.bmiHeader.biCompression = BI_RGB;
        std::vector<BYTE> bits(320u * (bitCount / 8u) * 200u, 0xEE);
        *copied = GetDIBits(dc, bitmap, start, lines, bits.data(), &info, DIB_RGB_COLORS);
        return bits;
    }
    pattest::Rgb Pixel(const std::vector<BYTE> &bits, WORD bitCount, size_t row, size_t x) {
        const BYTE *p = bits.data() + row * 320u * (bitCount / 8u) + x * (bitCount / 8u);
        return pattest::Rgb{p[2], p[1], p[0]};
    }
    pattest::StoredBitmap stored;
    HBITMAP bitmap = nullptr;
    HDC dc = nullptr;
};

TEST_F(BitmapPixels, SizeFromGetObject) {
    BITMAP info;
    std::memset(&info, 0xEE, sizeof info);
    EXPECT_EQ(GetObjectA(bitmap, 0, nullptr), static_cast<int>(sizeof(BITMAP)));
    ASSERT_EQ(GetObjectA(bitmap, sizeof info, &info), static_cast<int>(sizeof(BITMAP)));
    EXPECT_EQ(info.bmWidth, 320);
    EXPECT_EQ(info.bmHeight, 200);
    EXPECT_EQ(info.bmPlanes, 1);
    EXPECT_EQ(info.bmBits, nullptr);
    EXPECT_EQ(GetObjectA(bitmap, sizeof info - 1, &info), 0) << "a buffer too small for BITMAP";
}

TEST_F(BitmapPixels, EveryPixelInBothOrdersAndDepths) {
    for (WORD bitCount : {WORD{24}, WORD{32}}) {
        for (LONG height : {200L, -200L}) {
            int copied = -1;
            const std::vector<BYTE> bits = Read(bitCount, height, 0, 200, &copied);
            ASSERT_EQ(copied, 200) << bitCount << " bits, height " << height;
            size_t wrong = 0;
            for (int y = 0; y < 200; ++y) {
                const size_t row = height > 0 ? static_cast<size_t>(199 - y) : static_cast<size_t>(y);
                for (int x = 0; x < 320; ++x) wrong += !(Pixel(bits, bitCount, row, x) == stored.At(x, y));
            }
            EXPECT_EQ(wrong, 0u) << bitCount << " bits, height " << height;
        }
    }
}

TEST_F(BitmapPixels, ScanLinesCountFromTheBottom) {
    int copied = -1;
    // Ten lines from scan line 5: the rows 185 to 194 from the top.
    const std::vector<BYTE> bits = Read(24, 200, 5, 10, &copied);
    ASSERT_EQ(copied, 10);
    for (int i = 0; i < 10; ++i) EXPECT_TRUE(Pixel(bits, 24, i, 160) == stored.At(160, 194 - i)) << i;
    EXPECT_EQ(bits[10u * 960u], 0xEE) << "nothing written past the lines asked for";
    EXPECT_EQ(Read(24, 200, 190, 50, &copied).size(), 192000u);
    EXPECT_EQ(copied, 10) << "cut at the top row";
}

TEST_F(BitmapPixels, RefusedRequests) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 320;
    info.bmiHeader.biHeight = 200;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    std::vector<BYTE> bits(320u * 3u * 200u);
    EXPECT_EQ(GetDIBits(dc, nullptr, 0, 200, bits.data(), &info, DIB_RGB_COLORS), 0) << "no bitmap";
    EXPECT_EQ(GetDIBits(dc, bitmap, 0, 200, bits.data(), nullptr, DIB_RGB_COLORS), 0) << "no header";
    HBITMAP gone = LoadBitmapA(pattest::ResourceModule(), "BM_CAUTION");
    ASSERT_NE(gone, nullptr);
    ASSERT_TRUE(DeleteObject(gone));
    BITMAP size;
    EXPECT_EQ(GetObjectA(gone, sizeof size, &size), 0) << "a deleted bitmap";
}

#ifndef _WIN32

using patprn::platform::CreateBitmapFromDib;
using patprn::platform::DecodeRle8;

constexpr BYTE kUntouched = 0xEE;

// Decodes `rle` (in a buffer of exactly its size) into a width x height
// image pre-filled with kUntouched.
std::vector<BYTE> Decode(std::vector<BYTE> rle, LONG width, LONG height) {
    std::vector<BYTE> pixels(static_cast<size_t>(width * height), kUntouched);
    DecodeRle8(rle.data(), rle.size(), width, height, pixels.data());
    return pixels;
}

constexpr BYTE E = kUntouched;

TEST(DecodeRle8, RunsAbsoluteRunsAndEscapesBottomUp) {
    // Bottom row: three 1s and a 2; next row: absolute 5 6 7 (padded).
    EXPECT_EQ(Decode({3, 1, 1, 2, 0, 0, 0, 3, 5, 6, 7, 0, 0, 1}, 4, 2), (std::vector<BYTE>{5, 6, 7, E, 1, 1, 1, 2}));
    // Delta right 1, up 1, then one pixel; the rest is skipped.
    EXPECT_EQ(Decode({0, 2, 1, 1, 1, 9, 0, 1}, 4, 3), (std::vector<BYTE>{E, E, E, E, E, 9, E, E, E, E, E, E}));
    // An even absolute run has no padding byte.
    EXPECT_EQ(Decode({0, 4, 1, 2, 3, 4, 1, 8, 0, 1}, 5, 1), (std::vector<BYTE>{1, 2, 3, 4, 8}));
    // No end-of-bitmap marker: decoding ends with the data.
    EXPECT_EQ(Decode({2, 3}, 2, 1), (std::vector<BYTE>{3, 3}));
}

TEST(DecodeRle8, RunsPastTheRowAreClipped) {
    EXPECT_EQ(Decode({5, 4, 0, 1}, 3, 1), (std::vector<BYTE>{4, 4, 4}));
    EXPECT_EQ(Decode({0, 3, 1, 2, 3, 0, 1, 9}, 2, 1), (std::vector<BYTE>{1, 2}));
    // A delta past the row's end leaves the pen there until the next line.
    EXPECT_EQ(Decode({0, 2, 255, 0, 1, 8, 0, 0, 1, 4}, 3, 2), (std::vector<BYTE>{4, E, E, E, E, E}));
}

TEST(DecodeRle8, MalformedDataStopsInsideBothBuffers) {
    EXPECT_EQ(Decode({3}, 2, 1), (std::vector<BYTE>{E, E})) << "half a pair";
    EXPECT_EQ(Decode({0, 5, 1, 2}, 4, 1), (std::vector<BYTE>{1, 2, E, E})) << "absolute run past the data";
    EXPECT_EQ(Decode({0, 3, 1, 2, 3}, 4, 1), (std::vector<BYTE>{1, 2, 3, E})) << "padding past the data";
    EXPECT_EQ(Decode({1, 7, 0, 2, 1}, 2, 1), (std::vector<BYTE>{7, E})) << "delta cut short";
    EXPECT_EQ(Decode({0, 2, 0, 5, 1, 7}, 2, 1), (std::vector<BYTE>{E, E})) << "delta above the top";
    EXPECT_EQ(Decode({1, 1, 0, 0, 1, 2, 0, 0, 0, 0, 2, 3}, 2, 2), (std::vector<BYTE>{2, E, 1, E}))
        << "lines past the top";
    EXPECT_EQ(Decode({}, 2, 1), (std::vector<BYTE>{E, E}));
}

// A packed bitmap: BITMAPINFOHEADER, `colors` colour-table entries (entry i
// is (i, 2i, 3i)), then `pixels`.
std::vector<BYTE> PackedDib(LONG width, LONG height, DWORD compression, const std::vector<BYTE> &pixels,
                            DWORD colors = 4) {
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 8;
    header.biCompression = compression;
    header.biSizeImage = static_cast<DWORD>(pixels.size());
    header.biClrUsed = colors;
    // Sized once and written in place: growing the vector by inserts makes
    // GCC 12 at -O3 report a false out-of-bounds copy.
    std::vector<BYTE> dib(sizeof header + 4 * size_t{colors} + pixels.size());
    std::memcpy(dib.data(), &header, sizeof header);
    BYTE *entry = dib.data() + sizeof header;
    for (DWORD i = 0; i < colors; ++i, entry += 4) {
        const BYTE c = static_cast<BYTE>(i);
        entry[0] = c;
        entry[1] = static_cast<BYTE>(2 * c);
        entry[2] = static_cast<BYTE>(3 * c);
        entry[3] = 0;
    }
    if (!pixels.empty()) std::memcpy(entry, pixels.data(), pixels.size());
    return dib;
}

std::vector<BYTE> Pixels(const PatBitmapObject *bitmap) {
    return std::vector<BYTE>(bitmap->pixels, bitmap->pixels + bitmap->width * bitmap->height);
}

TEST(CreateBitmapFromDib, RunLengthEncodedBitmapWithColourTable) {
    const std::vector<BYTE> dib = PackedDib(4, 2, BI_RLE8, {3, 1, 1, 2, 0, 0, 0, 3, 3, 0, 2, 0, 0, 1});
    PatBitmapObject *bitmap = nullptr;
    ASSERT_EQ(CreateBitmapFromDib(dib.data(), dib.size(), &bitmap), 0u);
    EXPECT_EQ(bitmap->width, 4);
    EXPECT_EQ(bitmap->height, 2);
    EXPECT_EQ(bitmap->colorCount, 4u);
    EXPECT_EQ(bitmap->colors[3].rgbBlue, 3);
    EXPECT_EQ(bitmap->colors[3].rgbGreen, 6);
    EXPECT_EQ(bitmap->colors[3].rgbRed, 9);
    EXPECT_EQ(Pixels(bitmap), (std::vector<BYTE>{3, 0, 2, 0, 1, 1, 1, 2})) << "skipped pixels are index 0";
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_FALSE(DeleteObject(bitmap)) << "a deleted object is no object";
    int notAnObject = 0;
    EXPECT_FALSE(DeleteObject(&notAnObject));
}

TEST(CreateBitmapFromDib, UncompressedRowsBottomUpOrTopDown) {
    const std::vector<BYTE> rows = {1, 2, 3, 0, 4, 5, 6, 0};  // padded to four bytes
    for (LONG height : {2, -2}) {
        const std::vector<BYTE> dib = PackedDib(3, height, BI_RGB, rows);
        PatBitmapObject *bitmap = nullptr;
        ASSERT_EQ(CreateBitmapFromDib(dib.data(), dib.size(), &bitmap), 0u);
        EXPECT_EQ(bitmap->height, 2);
        EXPECT_EQ(Pixels(bitmap),
                  height > 0 ? (std::vector<BYTE>{4, 5, 6, 1, 2, 3}) : (std::vector<BYTE>{1, 2, 3, 4, 5, 6}));
        EXPECT_TRUE(DeleteObject(bitmap));
    }
}

TEST(CreateBitmapFromDib, RefusesWhatIsNoEightBitBitmapWithinItsSize) {
    const std::vector<BYTE> good = PackedDib(3, 2, BI_RGB, {1, 2, 3, 0, 4, 5, 6, 0});
    auto with = [&](size_t offset, std::vector<BYTE> bytes) {
        std::vector<BYTE> dib = good;
        std::memcpy(dib.data() + offset, bytes.data(), bytes.size());
        return dib;
    };
    const struct {
        const char *what;
        std::vector<BYTE> dib;
    } cases[] = {
        {"shorter than a header", std::vector<BYTE>(good.begin(), good.begin() + 39)},
        {"width 0", with(4, {0, 0, 0, 0})},
        {"4 bits per pixel", with(14, {4, 0})},
        {"BI_RLE4", with(16, {2, 0, 0, 0})},
        {"run-length encoded top-down", PackedDib(3, -2, BI_RLE8, {0, 1})},
        {"257 colours", with(32, {1, 1, 0, 0})},
        {"colour table past the data", std::vector<BYTE>(good.begin(), good.begin() + 40 + 15)},
        {"rows past the data", std::vector<BYTE>(good.begin(), good.end() - 1)},
    };
    for (const auto &c : cases) {
        PatBitmapObject *bitmap = nullptr;
        EXPECT_EQ(CreateBitmapFromDib(c.dib.data(), c.dib.size(), &bitmap), ERROR_INVALID_DATA) << c.what;
        EXPECT_EQ(bitmap, nullptr) << c.what;
    }
}

TEST(CreateBitmapFromDib, CompressedSizeBoundsTheReader) {
    std::vector<BYTE> dib = PackedDib(2, 1, BI_RLE8, {1, 5, 1, 6});
    dib[20] = 2;  // biSizeImage: only the first pair
    PatBitmapObject *bitmap = nullptr;
    ASSERT_EQ(CreateBitmapFromDib(dib.data(), dib.size(), &bitmap), 0u);
    EXPECT_EQ(Pixels(bitmap), (std::vector<BYTE>{5, 0}));
    DeleteObject(bitmap);
}

TEST(CreateBitmapFromDib, HugeOrUnallocatableBitmapsFailWithNotEnoughMemory) {
    PatBitmapObject *bitmap = nullptr;
    const std::vector<BYTE> huge = PackedDib(100000, 100000, BI_RLE8, {0, 1});
    EXPECT_EQ(CreateBitmapFromDib(huge.data(), huge.size(), &bitmap), ERROR_NOT_ENOUGH_MEMORY);

    SKIP_WITHOUT_HEAP_HOOK();
    pattest::HeapHookGuard guard;
    const long live = pattest::LiveHeapBlocks();
    const std::vector<BYTE> dib = PackedDib(2, 1, BI_RLE8, {2, 1, 0, 1});
    pattest::FailNthAllocation(1);
    EXPECT_EQ(CreateBitmapFromDib(dib.data(), dib.size(), &bitmap), ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(bitmap, nullptr);
    EXPECT_EQ(pattest::LiveHeapBlocks(), live);
}

#endif  // _WIN32

}  // namespace
