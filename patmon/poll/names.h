// Names people read for the codes a printer record holds: paper sizes,
// media types, emulations, trays, output bins and optional devices. Each is
// one table; the text report, the JSON, the metrics and the status page
// all take their names from here.
#pragma once

#include <cstdint>
#include <string>

namespace patmon {

// A paper size code's name ("A4", "Letter"); "custom" for 2, "unknown" for
// 0, 41 and codes without a name.
const char *PaperSizeName(uint16_t code);
// A media type code's name ("plain", "recycled"); "unknown" for 0 and codes
// without a name.
const char *MediaTypeName(uint16_t code);
// An emulation code's name ("PostScript 3", "PCL 5c"); nullptr when unknown.
const char *EmulationName(uint16_t code);
// An optional device's name ("duplex unit"); nullptr when unknown.
const char *OptionName(uint16_t code);

// An input tray or output bin: a stable id for programs ("bypass",
// "tray1", "bin1"), and the English name the library translates
// (PatGetDeviceName); `levelReported` is false for a tray whose paper level
// this family never reports (the bypass tray).
struct PlaceNames {
    uint16_t code;
    const char *id;
    const char *english;
    bool levelReported;
};
// nullptr for a code without a row; PlaceId then makes "tray<code>" or
// "bin<code>".
const PlaceNames *TrayNames(uint16_t code);
const PlaceNames *BinNames(uint16_t code);
std::string TrayId(uint16_t code);
std::string BinId(uint16_t code);

}  // namespace patmon
