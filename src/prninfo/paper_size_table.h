// Paper dimensions in millimetres to paper size codes (wPaperSize), as the
// printer-management record reports a tray's paper.
#pragma once

#include <cstdint>

namespace patprn {

// Width or length the record gave as not available.
constexpr uint32_t kPaperDimensionNotAvailable = 0xFFFFFFFFu;
constexpr uint16_t kPaperSizeCustom = 2;
constexpr uint16_t kPaperSizeUnknown = 41;

struct PaperSizeRow {
    uint32_t width;   // millimetres; not available in the rows for trays without a width
    uint32_t length;  // millimetres
    uint16_t code;
};
// Searched in row order; ends with the row (not available, 0) carrying the
// default code kPaperSizeCustom.
extern const PaperSizeRow PaperSizeTable[];

// The code of the first row within 2 mm of width and length (no tolerance
// on a dimension that is not available), else the end row's code; a length
// that is not available gives kPaperSizeUnknown.
uint16_t PaperSizeFind(uint32_t width, uint32_t length);

}  // namespace patprn
