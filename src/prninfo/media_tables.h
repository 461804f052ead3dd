// Media of a tray as the printer-management record reports it, to media
// type codes (wMediaType) in the vocabulary of the PJL media table.
#pragma once

#include "prninfo/number_table.h"
#include "prninfo/prninfo.h"

namespace patprn {

// Media names: none is coded in this family, every name gives 0.
extern const CodeTableRow MediaNameTable[];
// One media bit each; unknown 0.
extern const NumberTableRow MediaNumberTable[];
// The extended media number of the long tray layout; unknown 0.
extern const NumberTableRow MediaNumberTableExt[];

}  // namespace patprn
