// Whether a printer runs a PCL emulation: the status text and the status
// picture both choose their variants by it.
#pragma once

#include "patprn/patprn.h"

namespace patprn {

// 1 if the record's "pLoadedEmul" list holds an item with emulation code
// 16, 18 or 17 (the PCL emulations), else 0. `record` is a status view or
// a host PrnInfoEx; a null record has none.
int HasPclEmulation(const PrnInfoEx *record);

}  // namespace patprn
