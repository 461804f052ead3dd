// Bitmap objects of the platform layer: what LoadBitmapA makes of a stored
// packed bitmap, and what DeleteObject releases.
#pragma once

#include <cstddef>

#include "platform/win32.h"

// An 8-bit indexed bitmap: the colour table as stored and the decoded
// pixels, top row first, `width` bytes a row, in the same heap block.
struct PatBitmapObject {
    PatBitmapObject *nextLive;  // the live objects, so DeleteObject can tell its own handles
    LONG width;
    LONG height;
    DWORD colorCount;
    RGBQUAD colors[256];
    BYTE *pixels;
};

namespace patprn::platform {

// Makes a bitmap object of a packed DIB (BITMAPINFOHEADER, colour table,
// pixels) of `size` bytes: 8 bits per pixel, BI_RGB or BI_RLE8. Returns 0
// and the object (released with DeleteObject), ERROR_INVALID_DATA for a
// header or colour table that does not describe such a bitmap within
// `size`, or ERROR_NOT_ENOUGH_MEMORY.
DWORD CreateBitmapFromDib(const void *dib, size_t size, PatBitmapObject **bitmap);

// Decodes `size` bytes of BI_RLE8 data into `pixels` (width x height, top
// row first; the RLE rows run bottom-up). Pixels the data skips keep their
// value. Reads nothing past `size` and writes nothing outside the image;
// runs past a row's end are clipped, and decoding stops at the end of the
// bitmap, at the end of the data, or above the top row.
void DecodeRle8(const BYTE *data, size_t size, LONG width, LONG height, BYTE *pixels);

}  // namespace patprn::platform
