// The English names of the printer's input trays and output bins, as the
// printer-management records and the host spell them, with the code the
// library stores for each in PrnInfoEx (wTray, wBin) and the number of its
// localized display string.
//
// Contract for every user of these tables:
// - Rows are constant and matched with NameTableFind: byte for byte, first
//   match wins.
// - Each table ends with a row whose name is null. That end row carries the
//   code for a name without a row (tray 0 "unknown", bin 255 "unknown") and
//   string number 0: there is no display string for an unknown name.
// - The device-name export takes the row's string number; the configuration
//   conversion of the printer-management record takes the row's code. Both
//   build on the record's data, so the tables live with the record.
#pragma once

#include <cstdint>

namespace patprn {

struct NameTableRow {
    const char *name;       // English name; null in the end row
    uint32_t code;          // tray or bin code stored in PrnInfoEx
    uint32_t stringNumber;  // localized display string; 0 in the end row
};

// "Tray 1" 3, "Tray 2" 4, "Tray 3" 5, "Bypass Tray" 1; end row code 0.
extern const NameTableRow TrayNameTable[];
// "Standard Tray" 1; end row code 255.
extern const NameTableRow OutBinNameTable[];

// The first row whose name equals `name` exactly, else the end row (also
// for a null name). Never null.
const NameTableRow *NameTableFind(const NameTableRow *table, const char *name);

}  // namespace patprn
