// The tokenizer as it read replies one character at a time: the model the
// library's tokenizer is compared with.
#pragma once

#include "pjl/pjl_scanner.h"

namespace patprn::reference {

// One step over a scanner started with PjlScannerInit (no replay): the same
// contract as PjlScanNext.
uint32_t ScanNext(PjlScanner *scanner, PjlToken *token);

}  // namespace patprn::reference
