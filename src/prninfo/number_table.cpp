#include "prninfo/number_table.h"

namespace patprn {

uint16_t NumberTableLookup(const NumberTableRow *table, uint32_t number) {
    const NumberTableRow *row = table;
    while (row->number != kNumberTableEnd && row->number != number) ++row;
    return row->code;
}

}  // namespace patprn
