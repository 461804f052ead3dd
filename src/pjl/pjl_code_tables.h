// The words of the printer's PJL replies and the codes they stand for in
// PrnInfoEx. Each table ends with a null-name row carrying its default.
#pragma once

#include "prninfo/prninfo.h"

namespace patprn {

extern const CodeTableRow PjlPaperSizeTable[];   // INTRAYxSIZE value -> wPaperSize
extern const CodeTableRow PjlMediaTypeTable[];   // INTRAYxMEDIA value -> wMediaType
extern const CodeTableRow PjlPaperLevelTable[];  // INTRAYxQUANT value -> wPaperLevel (percent)
extern const CodeTableRow PjlTrayNameTable[];    // FRONTCOVERPRINTTRAY value -> tray code
extern const CodeTableRow PjlVersionTable[];     // CONFIG VERSION item -> emulation code
extern const CodeTableRow MemoryUsageTable[];    // TOLV MEMORYUSAGE -> dwMemoryUsage
extern const CodeTableRow ImageRotationTable[];  // TOLV IMAGEROTATION -> dwImageRotation

// Emulation code of the FIRMWARE version item: the system version, not an
// emulation.
constexpr uint32_t kPjlVersionFirmware = 0xFFFFFFFFu;

// A punch unit recognised by the item words listed under CONFIG PUNCH (in
// any order), and the device code it is recorded as. Unused word pointers
// are null; a row whose first word is null ends the table.
constexpr int kPunchUnitWords = 5;
struct PunchUnitRow {
    const char *words[kPunchUnitWords];
    uint16_t device;
};
extern const PunchUnitRow PunchUnitTable[];

}  // namespace patprn
