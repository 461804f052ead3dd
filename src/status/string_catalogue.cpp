#include "status/string_catalogue.h"

#include "frame/localized_string.h"
#include "patprn/patprn.h"

#include <array>
#include <cstddef>

namespace patprn {
namespace {

// Group 3, item codes in the order their names are listed in a message:
// black before cyan, magenta and yellow although its code is 13.
constexpr std::array<uint32_t, 13> kItemCodes = {
    1,   // 3000 Tray 1
    2,   // 3001 Tray 2
    3,   // 3002 Tray 3
    4,   // 3003 Bypass Tray
    5,   // 3004 Standard Tray
    6,   // 3005 Front Cover Unit
    7,   // 3006 Front Cover Shell
    8,   // 3007 Top Cover
    9,   // 3008 Left Cover
    13,  // 3009 Black
    10,  // 3010 Cyan
    11,  // 3011 Magenta
    12,  // 3012 Yellow
};

constexpr auto kItemNames = NumberedCatalogue(kItemCodes, 3000);

// Group 4, optional devices by the device numbers of the printer-management
// records. The duplex unit (628) has no row although string 4002 holds its
// name.
constexpr StringCatalogue kDeviceNames[] = {
    {626, 4000},  // Tray 2
    {627, 4001},  // Tray 3
    {629, 4003},  // Hard Disk Unit
    {630, 4004},  // NVRAM
    {633, 4005},  // IEEE1284 Board
    {635, 4006},  // Wireless Comm. Card
    {636, 4007},  // Bluetooth Interface
    {872, 4008},  // USB Board
    {910, 4009},  // Gigabit Ethernet Board
    {kCatalogueEnd, 0},
};

}  // namespace

constinit const StringCatalogueIndexRow StringCatalogueIndex[] = {
    {kCatalogueMessages, kCatalogueDetailed, MessageDetailedCatalogue.data()},
    {kCatalogueMessages, kCatalogueShort, MessageShortCatalogue.data()},
    {kCatalogueAltMessages, kCatalogueDetailed, AltMessageDetailedCatalogue.data()},
    {kCatalogueAltMessages, kCatalogueShort, AltMessageShortCatalogue.data()},
    {kCatalogueItems, kCatalogueShort, kItemNames.data()},
    {kCatalogueDevices, kCatalogueShort, kDeviceNames},
    {0, 0, nullptr},
};

const StringCatalogue *FindStringCatalogue(uint32_t group, uint32_t variant) {
    for (const StringCatalogueIndexRow *row = StringCatalogueIndex; row->group != 0; ++row) {
        if (row->group == group && row->variant == (variant & 0xFFu)) return row->catalogue;
    }
    return nullptr;
}

const StringCatalogue *FindCatalogueRow(const StringCatalogue *catalogue, uint32_t key) {
    if (catalogue == nullptr) return nullptr;
    for (const StringCatalogue *row = catalogue; row->key != kCatalogueEnd; ++row) {
        if (row->key == key) return row;
    }
    return nullptr;
}

DWORD LoadCatalogueString(const StringCatalogue *catalogue, uint32_t key, char *output, DWORD capacity) {
    if (capacity == 0) return PAT_ERROR_NOT_FOUND;
    output[0] = '\0';
    const StringCatalogue *row = FindCatalogueRow(catalogue, key);
    if (row == nullptr) return PAT_ERROR_NOT_FOUND;
    // The loader leaves the output untouched when it fails, so it stays "".
    return LoadLocalizedString(row->number, output, capacity);
}

}  // namespace patprn
