// Configuration shape of the printer-management record (source 0x8000):
// general data, paper trays in two layouts, output bins and installed
// devices, converted into PrnInfoEx with the same codes the PJL path stores.
#pragma once

#include "patprn/patprn.h"
#include "prninfo/prninfo.h"

namespace patprn {

// Paper level bits to percent: the first row with a bit in common wins;
// the end row (mask 0) carries the level of a tray with no level bit.
struct PaperLevelRow {
    uint32_t mask;
    uint16_t level;
};
extern const PaperLevelRow PaperLevelTable[];
// Level bits that are not available read as a full tray.
uint16_t PaperLevelFromBits(DWORD bits);

// Converts the categories selected by `flags` (PAT_PMINFO_GENERAL, ...) into
// `info`. Returns 0; 87 when a tray item cannot be allocated; 8 when an
// output-bin or device item or a general-data string cannot be allocated.
// What was converted before a failure stays in the record.
DWORD PMConfigToPrnInfoEx(const PMInfoConfig *pm, DWORD flags, PrnInfoEx *info);

}  // namespace patprn
