#include "prninfo/paper_size_table.h"

#include <iterator>

namespace patprn {

namespace {
// Width of the rows for a tray whose paper width is not available.
constexpr uint32_t U = kPaperDimensionNotAvailable;
constexpr uint32_t kTolerance = 2;
}  // namespace

// Landscape and portrait orientations are separate rows; 148x100 appears
// twice as the printer's own table has it (the second row is never reached).
const PaperSizeRow PaperSizeTable[] = {
    {1189, 841, 90}, {841, 594, 91}, {594, 841, 88}, {594, 420, 72}, {420, 594, 86}, {420, 297, 5},
    {297, 420, 4}, {1030, 728, 92}, {728, 515, 93}, {515, 728, 89}, {515, 364, 73}, {364, 515, 87},
    {364, 257, 7}, {257, 364, 6}, {297, 210, 9}, {210, 297, 8}, {257, 182, 11}, {182, 257, 10},
    {210, 148, 13}, {148, 210, 12}, {148, 105, 17}, {105, 148, 16}, {182, 128, 15}, {128, 182, 14},
    {148, 100, 34}, {431, 279, 58}, {279, 431, 57}, {355, 215, 21}, {215, 355, 20}, {279, 215, 23},
    {215, 279, 22}, {215, 139, 27}, {139, 215, 26}, {266, 184, 25}, {184, 266, 24}, {330, 203, 60},
    {330, 215, 62}, {330, 209, 28}, {241, 104, 53}, {104, 241, 79}, {190, 98, 52}, {98, 190, 80},
    {229, 162, 31}, {162, 229, 81}, {162, 114, 33}, {114, 162, 82}, {220, 110, 32}, {110, 220, 83},
    {390, 267, 64}, {267, 195, 66}, {195, 267, 65}, {304, 228, 103}, {457, 304, 69}, {304, 457, 76},
    {609, 457, 104}, {457, 609, 105}, {863, 558, 106}, {558, 863, 107}, {914, 609, 108}, {609, 914, 109},
    {1066, 762, 110}, {1117, 863, 111}, {1219, 914, 112}, {148, 100, 34}, {148, 200, 71}, {200, 148, 70},
    {558, 431, 75}, {431, 558, 74}, {U, 841, 257}, {U, 594, 258}, {U, 420, 259}, {U, 297, 260},
    {U, 210, 261}, {U, 728, 270}, {U, 515, 271}, {U, 364, 272}, {U, 257, 273}, {U, 215, 274},
    {U, 228, 275}, {U, 279, 276}, {U, 304, 277}, {U, 431, 278}, {U, 457, 279}, {U, 558, 280},
    {U, 609, 281}, {U, 762, 282}, {U, 863, 283}, {U, 914, 284}, {U, 0, kPaperSizeCustom},
};
static_assert(std::size(PaperSizeTable) == 89, "the paper size table has 89 rows");

namespace {

bool IsEndRow(const PaperSizeRow &row) { return row.width == U && row.length == 0; }

// The bounds are unsigned 32-bit on purpose: below 0 they wrap, so a value
// of 0 or 1 has an empty range and matches no row.
bool WithinTolerance(uint32_t rowValue, uint32_t value) {
    const uint32_t tolerance = value != U ? kTolerance : 0;
    const uint32_t low = value - tolerance;
    const uint32_t high = value + tolerance;
    return rowValue >= low && rowValue <= high;
}

}  // namespace

uint16_t PaperSizeFind(uint32_t width, uint32_t length) {
    const PaperSizeRow *row = PaperSizeTable;
    while (!IsEndRow(*row) && !(WithinTolerance(row->width, width) && WithinTolerance(row->length, length))) ++row;
    return length == U ? kPaperSizeUnknown : row->code;
}

}  // namespace patprn
