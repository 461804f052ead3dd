#include "prninfo/media_tables.h"

namespace patprn {

const CodeTableRow MediaNameTable[] = {
    {nullptr, 0},
};

const NumberTableRow MediaNumberTable[] = {
    {0x1, 1},        // plain
    {0x2, 2},        // recycled
    {0x4, 5},        // special
    {0x8, 9},        // color
    {0x10, 10},      // letterhead
    {0x20, 11},      // preprinted
    {0x40, 12},      // prepunched
    {0x80, 13},      // labels
    {0x100, 14},     // bond
    {0x200, 15},     // cardstock
    {0x400, 8},      // tab stock
    {0x800, 3},      // transparency
    {0x1000, 6},     // thick
    {0x2000, 18},    // plain, duplex back side
    {0x4000, 19},    // thick, duplex back side
    {0x8000, 20},    // thin
    {0x10000, 21},   // glossy
    {0x20000, 4},    // translucent
    {0x40000, 35},   // used
    {0x80000, 22},   // user color 1
    {0x100000, 23},  // user color 2
    {0x200000, 24},  // Japanese postcard
    {0x400000, 25},  // Japanese postcard, duplex back side
    {kNumberTableEnd, 0},
};

const NumberTableRow MediaNumberTableExt[] = {
    {0x2, 26},       // yellow
    {0x4, 27},       // green
    {0x8, 28},       // blue
    {0x10, 29},      // purple
    {0x20, 30},      // ivory
    {0x40, 31},      // orange
    {0x80, 32},      // pink
    {0x100, 33},     // red
    {0x200, 34},     // gray
    {0x400, 17},     // thick 2
    {0x800, 7},      // film
    {0x1000, 36},    // envelope
    {0x2000, 37},    // inkjet Japanese postcard
    {0x4000, 38},    // high-grade plain
    {0x8000, 39},    // thick 3
    {0x10000, 40},   // special 2
    {0x20000, 41},   // special 3
    {0x40000, 42},   // middle thick
    {0x100000, 43},  // coated
    {0x200000, 44},  // thick, duplex back side 2
    {0x400000, 45},  // thick, duplex back side 3
    {kNumberTableEnd, 0},
};

}  // namespace patprn
