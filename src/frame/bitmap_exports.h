// The bitmap and palette exports: PatLoadBitmap, PatLoadDIBitmap and
// PatGetPalette, and the palette table behind the last.
#pragma once

#include "platform/win32.h"

#include <cstdint>

namespace patprn {

// One palette colour in the Windows PALETTEENTRY layout.
struct PaletteEntry {
    uint8_t red;
    uint8_t green;
    uint8_t blue;
    uint8_t flags;
};
// Flags value of the entry that ends a palette table.
inline constexpr uint8_t kPaletteEnd = 0xFF;

// The library's palette. It holds only its end entry: the library defines
// no palette, and PatGetPalette reports PAT_ERROR_NO_PALETTE.
extern const PaletteEntry PaletteTable[];

// PatGetPalette over any palette table: writes the LOGPALETTE layout
// (version 0x0300, 16-bit entry count, the entries before the end entry)
// into `buffer` and returns 0, or returns the export's error code:
//   87 for a null `size`, or a non-zero *size with a null buffer;
//   PAT_ERROR_NO_PALETTE when the table is empty (*size not written);
//   122 when *size is below 4 + 4 x count (*size set to that).
// *size is otherwise left as the caller set it. A *size of 0 with a null
// buffer is the size query.
DWORD GetPaletteFrom(const PaletteEntry *table, void *buffer, DWORD *size);

}  // namespace patprn
