#include "poll/names.h"

namespace patmon {

namespace {

struct CodeName {
    uint16_t code;
    const char *name;
};

// Paper size codes of the library's size tables. A size fed short edge
// first has a code of its own; people call both by the paper's name.
constexpr CodeName kPaperSizes[] = {
    {2, "custom"},        {4, "A3"},           {5, "A3"},           {6, "B4 (JIS)"},     {7, "B4 (JIS)"},
    {8, "A4"},            {9, "A4"},           {10, "B5 (JIS)"},    {11, "B5 (JIS)"},    {12, "A5"},
    {13, "A5"},           {14, "B6 (JIS)"},    {15, "B6 (JIS)"},    {16, "A6"},          {17, "A6"},
    {20, "Legal"},        {21, "Legal"},       {22, "Letter"},      {23, "Letter"},      {24, "Executive"},
    {25, "Executive"},    {26, "Half Letter"}, {27, "Half Letter"}, {28, "Folio"},       {31, "C5 envelope"},
    {32, "DL envelope"},  {33, "C6 envelope"}, {34, "Postcard"},    {52, "Monarch envelope"},
    {53, "Com10 envelope"}, {57, "Tabloid"},   {58, "Tabloid"},     {60, "Government Legal"},
    {62, "Foolscap"},     {64, "8K"},          {65, "16K"},         {66, "16K"},         {69, "12 x 18 in"},
    {70, "Double Postcard"}, {71, "Double Postcard"}, {72, "A2"},   {73, "B3 (JIS)"},    {74, "17 x 22 in"},
    {75, "17 x 22 in"},   {76, "12 x 18 in"},  {79, "Com10 envelope"}, {80, "Monarch envelope"},
    {81, "C5 envelope"},  {82, "C6 envelope"}, {83, "DL envelope"}, {86, "A2"},          {87, "B3 (JIS)"},
    {88, "A1"},           {89, "B2 (JIS)"},    {90, "A0"},          {91, "A1"},          {92, "B1 (JIS)"},
    {93, "B2 (JIS)"},     {103, "9 x 12 in"},  {104, "18 x 24 in"}, {105, "18 x 24 in"}, {106, "22 x 34 in"},
    {107, "22 x 34 in"},  {108, "24 x 36 in"}, {109, "24 x 36 in"}, {110, "30 x 42 in"}, {111, "34 x 44 in"},
    {112, "36 x 48 in"},
};

// Media type codes of the printer's PJL media words.
constexpr CodeName kMediaTypes[] = {
    {1, "plain"},        {2, "recycled"},      {3, "transparency"},  {4, "translucent"},
    {5, "special"},      {6, "thick"},         {7, "film"},          {8, "tab stock"},
    {9, "colour"},       {10, "letterhead"},   {11, "preprinted"},   {12, "prepunched"},
    {13, "labels"},      {14, "bond"},         {15, "cardstock"},    {17, "thick 2"},
    {18, "plain (duplex back side)"},          {19, "thick (duplex back side)"},
    {20, "thin"},        {21, "glossy"},       {22, "user colour 1"}, {23, "user colour 2"},
    {24, "postcard"},    {25, "postcard (duplex back side)"},      {26, "yellow"},
    {27, "green"},       {28, "blue"},         {29, "purple"},       {30, "ivory"},
    {31, "orange"},      {32, "pink"},         {33, "red"},          {34, "grey"},
    {35, "used"},        {36, "envelope"},     {37, "inkjet postcard"}, {38, "high-grade plain"},
    {39, "thick 3"},     {40, "special 2"},    {41, "special 3"},    {42, "middle thick"},
    {43, "coated"},      {44, "thick 2 (duplex back side)"},       {45, "thick 3 (duplex back side)"},
};

// Emulation codes of the record's emulation list.
constexpr CodeName kEmulations[] = {
    {1, "WENK"},         {2, "PostScript 3"}, {3, "PC-PR201H"}, {4, "ESC/P"},  {7, "IBM 5577"},
    {12, "GL/2"},        {13, "TIFF"},        {15, "TOLV"},     {16, "PCL 5e"}, {17, "PCL 6"},
    {18, "PCL 5c"},
};

// Optional devices (DeviceInfoItem.wDevice).
constexpr CodeName kOptions[] = {
    {1, "duplex unit"}, {3, "hard disk"}, {16, "manual feed"}, {105, "tray 2 unit"}, {106, "tray 3 unit"},
};

constexpr PlaceNames kTrays[] = {
    {1, "bypass", "Bypass Tray", false},
    {3, "tray1", "Tray 1", true},
    {4, "tray2", "Tray 2", true},
    {5, "tray3", "Tray 3", true},
};
constexpr PlaceNames kBins[] = {
    {1, "standard", "Standard Tray", false},
};

template <size_t N>
const char *Find(const CodeName (&table)[N], uint16_t code) {
    for (const CodeName &row : table) {
        if (row.code == code) return row.name;
    }
    return nullptr;
}

template <size_t N>
const PlaceNames *FindPlace(const PlaceNames (&table)[N], uint16_t code) {
    for (const PlaceNames &row : table) {
        if (row.code == code) return &row;
    }
    return nullptr;
}

}  // namespace

const char *PaperSizeName(uint16_t code) {
    const char *name = Find(kPaperSizes, code);
    return name != nullptr ? name : "unknown";
}

const char *MediaTypeName(uint16_t code) {
    const char *name = Find(kMediaTypes, code);
    return name != nullptr ? name : "unknown";
}

const char *EmulationName(uint16_t code) { return Find(kEmulations, code); }
const char *OptionName(uint16_t code) { return Find(kOptions, code); }
const PlaceNames *TrayNames(uint16_t code) { return FindPlace(kTrays, code); }
const PlaceNames *BinNames(uint16_t code) { return FindPlace(kBins, code); }

std::string TrayId(uint16_t code) {
    const PlaceNames *names = TrayNames(code);
    return names != nullptr ? names->id : "tray" + std::to_string(code);
}

std::string BinId(uint16_t code) {
    const PlaceNames *names = BinNames(code);
    return names != nullptr ? names->id : "bin" + std::to_string(code);
}

}  // namespace patmon
