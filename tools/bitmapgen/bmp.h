// Bitmap files: 8-bit device-independent bitmaps compressed with 8-bit
// run-length encoding (BI_RLE8), with the shared colour table.
#pragma once

#include "canvas.h"

#include <cstdint>
#include <vector>

namespace bitmapgen {

// The pixels as BI_RLE8 codes, bottom row first: encoded runs, absolute
// runs (padded to 16 bits), an end-of-line code after every row but the
// last and the end-of-bitmap code after the last.
std::vector<uint8_t> EncodeRle8(const Canvas &canvas);

// A complete .bmp file: file header, 40-byte info header, the shared
// 256-entry colour table and the RLE8 pixels.
std::vector<uint8_t> BmpFile(const Canvas &canvas);

}  // namespace bitmapgen
