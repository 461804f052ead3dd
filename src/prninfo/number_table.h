// Tables keyed by a 32-bit number of the printer-management record (media
// bits, device numbers), giving a 16-bit code of PrnInfoEx.
#pragma once

#include <cstdint>

namespace patprn {

// Rows are searched in order; the table ends with the row whose number is
// kNumberTableEnd, carrying the default code.
struct NumberTableRow {
    uint32_t number;
    uint16_t code;
};
constexpr uint32_t kNumberTableEnd = 0xFFFFFFFFu;

// The code of the first row whose number equals `number` as a whole (a
// number with several bits set matches no single-bit row), else the end
// row's code.
uint16_t NumberTableLookup(const NumberTableRow *table, uint32_t number);

}  // namespace patprn
