// The reply words of this printer family, as the printer spells them
// (exact, case-sensitive), and the codes PrnInfoEx carries for them. The
// rows are in the order in which they are searched; the first match wins.
#include "pjl/pjl_code_tables.h"

namespace patprn {

// Paper sizes that the trays report. Sizes not listed are stored as 0.
const CodeTableRow PjlPaperSizeTable[] = {
    {"A4SRT", 9},        {"JISB5SRT", 11},    {"A5SRT", 13},   {"JISB6", 15},       {"A6", 17},
    {"JPOST", 34},       {"JPOSTDSRT", 70},   {"LEGAL", 21},   {"LETTERSRT", 23},   {"HALFLETTERS", 27},
    {"EXECUTIVES", 25},  {"FGL", 60},         {"FOOLSCAP", 62}, {"FOLIO", 28},      {"COM10", 53},
    {"MONARCH", 52},     {"C6", 33},          {"C5", 31},      {"DL", 32},          {"K16SRT", 66},
    {"CUSTOM", 2},
    {nullptr, 0},
};

// Media types that the trays report. Types not listed are stored as 0.
const CodeTableRow PjlMediaTypeTable[] = {
    {"PLAIN", 1},
    {"RECYCLED", 2},
    {"SPECIAL", 5},
    {"THICK", 6},
    {"THICK2", 17},
    {"THIN", 20},
    {"TABSTOCK", 8},
    {"TRANSPARENCY", 3},
    {"COLOR", 9},
    {"LETTERHEAD", 10},
    {"PREPRINTED", 11},
    {"PREPUNCHED", 12},
    {"LABELS", 13},
    {"BOND", 14},
    {"CARDSTOCK", 15},
    {"THICKDUPLEXBACKSIDE", 19},
    {"PLAINDUPLEXBACKSIDE", 18},
    {"USED", 35},
    {"USERCOLOR1", 22},
    {"USERCOLOR2", 23},
    {"JPOST", 24},
    {"JPOSTDUPLEXBACKSIDE", 25},
    {"YELLOW", 26},
    {"GREEN", 27},
    {"BLUE", 28},
    {"PURPLE", 29},
    {"IVORY", 30},
    {"ORANGE", 31},
    {"PINK", 32},
    {"RED", 33},
    {"GRAY", 34},
    {"TRANSLUCENT", 4},
    {"GLOSSY", 21},
    {"FILM", 7},
    {"ENVELOPE", 36},
    {"INKJETJPOST", 37},
    {"HGPLAIN", 38},
    {"THICK3", 39},
    {"SPECIAL2", 40},
    {"SPECIAL3", 41},
    {"MIDDLETHICK", 42},
    {"COATED", 43},
    {"THICKDUPLEXBACKSIDE2", 44},
    {"THICKDUPLEXBACKSIDE3", 45},
    {nullptr, 0},
};

// The printer reports the paper left in a tray in fifths.
const CodeTableRow PjlPaperLevelTable[] = {
    {"END", 0}, {"1/5", 20}, {"2/5", 40}, {"3/5", 60}, {"4/5", 80}, {"FULL", 100},
    {nullptr, 0},
};

// Trays that front-cover printing can take its paper from; anything else
// (NONE) is no tray.
const CodeTableRow PjlTrayNameTable[] = {
    {"TRAY1", 3}, {"TRAY2", 4}, {"TRAY3", 5}, {"BYPASS", 1},
    {nullptr, 0},
};

// Items of the CONFIG VERSION list: the firmware, or an emulation code.
const CodeTableRow PjlVersionTable[] = {
    {"FIRMWARE", kPjlVersionFirmware},
    {"TOLV", 15},
    {"PCL", 18},
    {"POSTSCRIPT", 2},
    {"WENK", 1},
    {"V16", 4},
    {"V55", 7},
    {"V98", 3},
    {"PCLXL", 17},
    {nullptr, 0},
};

// Settings of the printer's own page-description language (INFO TOLV).
const CodeTableRow MemoryUsageTable[] = {
    {"USER", 2}, {"PAGE", 1},
    {nullptr, 0},
};
const CodeTableRow ImageRotationTable[] = {
    {"POSSIBLE", 1}, {"IMPOSSIBLE", 2},
    {nullptr, 0},
};

// No punch unit of this family is reported under CONFIG PUNCH: the table
// holds only its end row, so the punch lines are read and nothing is recorded.
const PunchUnitRow PunchUnitTable[] = {
    {{nullptr, nullptr, nullptr, nullptr, nullptr}, 0},
};

}  // namespace patprn
