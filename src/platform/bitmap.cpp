// Bitmaps: LoadBitmapA decodes a stored RT_BITMAP resource into a bitmap
// object on the global heap; DeleteObject releases it.
#include "platform/bitmap.h"

#include <cstring>
#include <mutex>

namespace {

// RLE8 escapes: a zero count followed by one of these.
constexpr BYTE kRleEndOfLine = 0;
constexpr BYTE kRleEndOfBitmap = 1;
constexpr BYTE kRleDelta = 2;

constexpr DWORD kMaxColors = 256;
// Larger bitmaps are refused as Windows refuses what it cannot allocate.
constexpr unsigned long long kMaxPixels = 1ull << 26;

// Every bitmap object not yet deleted; DeleteObject releases only these.
std::mutex g_liveLock;
PatBitmapObject *g_live = nullptr;

void AddLive(PatBitmapObject *bitmap) {
    std::lock_guard<std::mutex> lock(g_liveLock);
    bitmap->nextLive = g_live;
    g_live = bitmap;
}

bool IsLive(const void *object) {
    std::lock_guard<std::mutex> lock(g_liveLock);
    for (const PatBitmapObject *live = g_live; live != nullptr; live = live->nextLive) {
        if (live == object) return true;
    }
    return false;
}

bool RemoveLive(const void *object) {
    std::lock_guard<std::mutex> lock(g_liveLock);
    for (PatBitmapObject **link = &g_live; *link != nullptr; link = &(*link)->nextLive) {
        if (*link == object) {
            *link = (*link)->nextLive;
            return true;
        }
    }
    return false;
}

// The decoder's pen: x grows to the right, y upwards from the bottom row.
struct RlePen {
    BYTE *pixels;
    LONG width;
    LONG height;
    LONG x;
    LONG y;
};

void Put(RlePen *pen, BYTE index) {
    if (pen->x >= pen->width) return;  // clipped at the row's end
    pen->pixels[static_cast<size_t>(pen->height - 1 - pen->y) * static_cast<size_t>(pen->width) +
                static_cast<size_t>(pen->x)] = index;
    ++pen->x;
}

// Bytes of one row of a device-independent bitmap: padded to four bytes.
size_t DibStride(LONG width, WORD bitCount) {
    return ((static_cast<size_t>(width) * bitCount + 31) / 32) * 4;
}

// Writes one top-down source row as a 24- or 32-bit BGR row of `width`
// pixels; pixels past the source's width are black.
void WriteDibRow(const PatBitmapObject *bitmap, LONG sourceRow, LONG width, WORD bitCount, BYTE *out) {
    const size_t bytesPerPixel = bitCount / 8u;
    std::memset(out, 0, DibStride(width, bitCount));
    const LONG copied = width < bitmap->width ? width : bitmap->width;
    const BYTE *indices = bitmap->pixels + static_cast<size_t>(sourceRow) * static_cast<size_t>(bitmap->width);
    for (LONG x = 0; x < copied; ++x) {
        // An index beyond the stored colour table shows black.
        const RGBQUAD colour = indices[x] < bitmap->colorCount ? bitmap->colors[indices[x]] : RGBQUAD{0, 0, 0, 0};
        BYTE *pixel = out + static_cast<size_t>(x) * bytesPerPixel;
        pixel[0] = colour.rgbBlue;
        pixel[1] = colour.rgbGreen;
        pixel[2] = colour.rgbRed;
    }
}

// Decodes uncompressed rows (padded to four bytes, bottom-up unless the
// height was negative) into top-down pixels.
void CopyRgbRows(const BYTE *data, LONG width, LONG rows, bool topDown, BYTE *pixels) {
    const size_t stride = (static_cast<size_t>(width) + 3) & ~size_t{3};
    for (LONG row = 0; row < rows; ++row) {
        const LONG target = topDown ? row : rows - 1 - row;
        std::memcpy(pixels + static_cast<size_t>(target) * static_cast<size_t>(width),
                    data + static_cast<size_t>(row) * stride, static_cast<size_t>(width));
    }
}

}  // namespace

namespace patprn::platform {

void DecodeRle8(const BYTE *data, size_t size, LONG width, LONG height, BYTE *pixels) {
    RlePen pen{pixels, width, height, 0, 0};
    size_t pos = 0;
    while (pen.y < pen.height && size - pos >= 2) {
        const BYTE count = data[pos];
        const BYTE value = data[pos + 1];
        pos += 2;
        if (count > 0) {
            for (BYTE i = 0; i < count; ++i) Put(&pen, value);
            continue;
        }
        switch (value) {
            case kRleEndOfLine:
                pen.x = 0;
                ++pen.y;
                break;
            case kRleEndOfBitmap:
                return;
            case kRleDelta:
                if (size - pos < 2) return;
                pen.x = pen.x + data[pos] < pen.width ? pen.x + data[pos] : pen.width;
                pen.y += data[pos + 1];
                pos += 2;
                break;
            default: {
                // Absolute run of `value` indices, padded to 16 bits.
                const size_t run = value <= size - pos ? value : size - pos;
                for (size_t i = 0; i < run; ++i) Put(&pen, data[pos + i]);
                const size_t advance = static_cast<size_t>(value) + (value & 1u);
                pos = advance <= size - pos ? pos + advance : size;
                break;
            }
        }
    }
}

DWORD CreateBitmapFromDib(const void *dib, size_t size, PatBitmapObject **bitmap) {
    const auto *bytes = static_cast<const BYTE *>(dib);
    BITMAPINFOHEADER header;
    if (dib == nullptr || size < sizeof header) return ERROR_INVALID_DATA;
    std::memcpy(&header, bytes, sizeof header);
    if (header.biSize < sizeof header || header.biSize > size || header.biPlanes != 1 || header.biBitCount != 8 ||
        header.biWidth <= 0 || header.biHeight == 0 || header.biHeight == INT32_MIN) {
        return ERROR_INVALID_DATA;
    }
    const bool rle = header.biCompression == BI_RLE8;
    const bool topDown = header.biHeight < 0;
    if ((!rle && header.biCompression != BI_RGB) || (rle && topDown)) return ERROR_INVALID_DATA;
    const LONG rows = topDown ? -header.biHeight : header.biHeight;

    const DWORD colorCount = header.biClrUsed != 0 ? header.biClrUsed : kMaxColors;
    if (colorCount > kMaxColors || colorCount * sizeof(RGBQUAD) > size - header.biSize) return ERROR_INVALID_DATA;
    const size_t pixelStart = header.biSize + colorCount * sizeof(RGBQUAD);
    size_t pixelBytes = size - pixelStart;

    const unsigned long long pixelCount =
        static_cast<unsigned long long>(header.biWidth) * static_cast<unsigned long long>(rows);
    if (pixelCount > kMaxPixels) return ERROR_NOT_ENOUGH_MEMORY;
    if (rle) {
        if (header.biSizeImage != 0 && header.biSizeImage < pixelBytes) pixelBytes = header.biSizeImage;
    } else {
        const unsigned long long stride = (static_cast<unsigned long long>(header.biWidth) + 3) & ~3ull;
        if (stride * static_cast<unsigned long long>(rows) > pixelBytes) return ERROR_INVALID_DATA;
    }

    auto *object = static_cast<PatBitmapObject *>(GlobalAlloc(GPTR, sizeof(PatBitmapObject) + pixelCount));
    if (object == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
    object->width = header.biWidth;
    object->height = rows;
    object->colorCount = colorCount;
    std::memcpy(object->colors, bytes + header.biSize, colorCount * sizeof(RGBQUAD));
    object->pixels = reinterpret_cast<BYTE *>(object + 1);
    if (rle) {
        DecodeRle8(bytes + pixelStart, pixelBytes, object->width, rows, object->pixels);
    } else {
        CopyRgbRows(bytes + pixelStart, object->width, rows, topDown, object->pixels);
    }
    AddLive(object);
    *bitmap = object;
    return ERROR_SUCCESS;
}

}  // namespace patprn::platform

/* LoadBitmapA */
extern "C" HBITMAP LoadBitmapA(HINSTANCE instance, LPCSTR name) {
    HRSRC res = FindResourceA(instance, name, RT_BITMAP);
    if (res == nullptr) return nullptr;
    HGLOBAL data = LoadResource(instance, res);
    if (data == nullptr) return nullptr;
    PatBitmapObject *bitmap = nullptr;
    const DWORD error =
        patprn::platform::CreateBitmapFromDib(LockResource(data), SizeofResource(instance, res), &bitmap);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return nullptr;
    }
    return bitmap;
}

/* DeleteObject */
extern "C" BOOL DeleteObject(HGDIOBJ object) {
    if (object == nullptr || !RemoveLive(object)) return FALSE;
    GlobalFree(object);
    return TRUE;
}

/* GetObjectA */
extern "C" int GetObjectA(HGDIOBJ object, int size, LPVOID buffer) {
    if (object == nullptr || !IsLive(object)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (buffer == nullptr) return static_cast<int>(sizeof(BITMAP));
    if (size < static_cast<int>(sizeof(BITMAP))) return 0;
    const auto *bitmap = static_cast<const PatBitmapObject *>(object);
    BITMAP info{};
    info.bmWidth = bitmap->width;
    info.bmHeight = bitmap->height;
    info.bmWidthBytes = (bitmap->width + 1) & ~1;  // device rows are word-aligned
    info.bmPlanes = 1;
    info.bmBitsPixel = 8;
    std::memcpy(buffer, &info, sizeof info);
    return static_cast<int>(sizeof(BITMAP));
}

/* GetDIBits */
// Only 24- and 32-bit BI_RGB results are made; the device context is not
// needed, since the bitmap carries its own colour table.
extern "C" int GetDIBits(HDC, HBITMAP bitmap, UINT start, UINT lines, LPVOID bits, BITMAPINFO *info, UINT usage) {
    if (bitmap == nullptr || !IsLive(bitmap) || info == nullptr || usage != DIB_RGB_COLORS) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    BITMAPINFOHEADER &header = info->bmiHeader;
    if (header.biSize < sizeof(BITMAPINFOHEADER)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (bits == nullptr && header.biBitCount == 0) {
        // Asked for the bitmap's own format.
        header.biWidth = bitmap->width;
        header.biHeight = bitmap->height;
        header.biPlanes = 1;
        header.biBitCount = 8;
        header.biCompression = BI_RGB;
        header.biSizeImage = static_cast<DWORD>(DibStride(bitmap->width, 8) * static_cast<size_t>(bitmap->height));
        return 1;
    }
    if ((header.biBitCount != 24 && header.biBitCount != 32) || header.biCompression != BI_RGB ||
        header.biWidth <= 0 || header.biHeight == 0 || header.biHeight == INT32_MIN) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const bool topDown = header.biHeight < 0;
    const LONG height = bitmap->height;
    const size_t stride = DibStride(header.biWidth, header.biBitCount);
    header.biSizeImage = static_cast<DWORD>(stride * static_cast<size_t>(topDown ? -header.biHeight : header.biHeight));
    if (bits == nullptr) return static_cast<int>(height);
    // Scan lines are numbered from the bottom row of the bitmap up; the
    // result rows follow the order the header asks for.
    if (start >= static_cast<UINT>(height)) return 0;
    const UINT copied = lines < static_cast<UINT>(height) - start ? lines : static_cast<UINT>(height) - start;
    auto *out = static_cast<BYTE *>(bits);
    for (UINT i = 0; i < copied; ++i) {
        const LONG fromBottom = static_cast<LONG>(start + i);
        const LONG sourceRow = height - 1 - fromBottom;
        const size_t target = topDown ? copied - 1 - i : i;
        WriteDibRow(bitmap, sourceRow, header.biWidth, header.biBitCount, out + target * stride);
    }
    return static_cast<int>(copied);
}
