// Status shape of the printer-management record (source 1): the printer
// status word, the engine status list, installed emulations and fonts,
// converted into PrnInfoEx with the same codes the PJL path stores.
#pragma once

#include "patprn/patprn.h"
#include "prninfo/prninfo.h"

namespace patprn {

// A status-word condition: rows whose word mask shares a bit with the word
// add their status code. Suppressible rows are transient states that the
// host's alternate rule set (STATUS_ALT_SET) does not want to see.
struct StatusBitRow {
    uint32_t groupMask;  // the word is always evaluated as group 1
    uint32_t wordMask;
    uint32_t code;
    bool suppressible;
};
// Ends with the row whose group mask is kStatusBitTableEnd.
constexpr uint32_t kStatusBitTableEnd = 0xFFFFFFFFu;
extern const StatusBitRow StatusBitTable[];

// Emulation names of the record to emulation codes (wEmul); unknown 0.
extern const CodeTableRow EmulNameTable[];
// Font names to font codes; the family has no coded fonts, so every name gives 0.
extern const CodeTableRow FontNameTable[];

// Converts the categories selected by `flags` (PAT_PMINFO_STATUS_WORD, ...)
// into `info`. `altSet` skips the suppressible status-word rows. Returns 0,
// or 8 when a list item or string cannot be allocated; what was converted
// before the failure stays in the record.
DWORD PMStatusToPrnInfoEx(const PMInfoStatus *pm, DWORD flags, bool altSet, PrnInfoEx *info);

}  // namespace patprn
