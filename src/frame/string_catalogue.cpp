#include "frame/string_catalogue.h"

#include "frame/localized_string.h"
#include "patprn/patprn.h"

#include <array>
#include <cstddef>

namespace patprn {
namespace {

// The two variants of a message group list the same keys in the same
// order, and items are numbered in catalogue order, so each key list is
// written once and numbered from its variant's first string: the n-th key
// names string first + n - 1.
template <size_t N>
constexpr std::array<StringCatalogue, N + 1> NumberedCatalogue(const uint32_t (&keys)[N], uint32_t first) {
    std::array<StringCatalogue, N + 1> rows{};
    for (size_t n = 0; n < N; ++n) rows[n] = {keys[n], first + static_cast<uint32_t>(n)};
    rows[N] = {kCatalogueEnd, 0};
    return rows;
}

// Group 1, the message keys of the primary set; the comment gives the short
// texts' and the detailed messages' numbers of each line.
constexpr uint32_t kMessageKeys[] = {
    10001, 0xFFFFFF02, 10002, 10033, 10023, 10047, 10035, 10003, 10036, 10037,  // 1000-1009, 2000-2009
    10004, 50101, 50102, 50115, 50108, 50110, 50111, 50112, 50113, 50109,  // 1010-1019, 2010-2019
    50105, 50114, 30136, 30608, 30617, 30616, 30330, 13200, 13300, 13400,  // 1020-1029, 2020-2029
    12201, 12301, 12401, 30428, 30427, 30440, 30429, 30426, 30405, 10075,  // 1030-1039, 2030-2039
    10074, 10073, 10072, 30991, 30992, 30993, 30994, 10032, 30610, 30607,  // 1040-1049, 2040-2049
    30400, 30409, 30407, 30403, 30015, 30014, 30013, 30609, 40979, 40991,  // 1050-1059, 2050-2059
    40992, 40993, 40994, 46100, 46200, 46300, 46400, 47100, 47200, 47300,  // 1060-1069, 2060-2069
    47400, 48100, 48200, 48300, 48400, 45000, 41100, 41200, 41300, 41400,  // 1070-1079, 2070-2079
    1041100, 1041200, 1041300, 1041400, 40300, 40015, 40014, 40013, 40012, 40028,  // 1080-1089, 2080-2089
    40020, 40041, 40042, 40011, 40903, 40208, 40206, 40159, 40135, 40134,  // 1090-1099, 2090-2099
    40133, 40132, 40155, 40154, 40153, 40152, 40141, 40100, 42000, 42001,  // 1100-1109, 2100-2109
    42004, 42009, 40800, 1030400, 1030409, 1040141, 1040100, 30619, 30620, 30621,  // 1110-1119, 2110-2119
};
static_assert(sizeof kMessageKeys / sizeof kMessageKeys[0] == 120);

// Group 2, the message keys of the alternate set (STATUS_ALT_SET). Its
// first key names the empty strings 1500 and 2500.
constexpr uint32_t kAltMessageKeys[] = {
    10001, 0xFFFFFF02, 50101, 50102, 50115, 50108, 50112, 50113, 50109, 50105,  // 1500-1509, 2500-2509
    50114, 30428, 30427, 30440, 10075, 10074, 10073, 10072, 10032, 30610,  // 1510-1519, 2510-2519
    30607, 30400, 30409, 30015, 30014, 30013, 30609, 40015, 40014, 40013,  // 1520-1529, 2520-2529
    40012, 40028, 40020, 40011, 40141, 40100, 40800, 1030400, 1030409, 1040141,  // 1530-1539, 2530-2539
    1040100,  // 1540-1540, 2540-2540
};
static_assert(sizeof kAltMessageKeys / sizeof kAltMessageKeys[0] == 41);

// Group 3, item codes in the order their names are listed in a message:
// black before cyan, magenta and yellow although its code is 13.
constexpr uint32_t kItemCodes[] = {
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

constexpr auto kMessageShort = NumberedCatalogue(kMessageKeys, 1000);
constexpr auto kMessageDetailed = NumberedCatalogue(kMessageKeys, 2000);
constexpr auto kAltMessageShort = NumberedCatalogue(kAltMessageKeys, 1500);
constexpr auto kAltMessageDetailed = NumberedCatalogue(kAltMessageKeys, 2500);
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

const StringCatalogueIndexRow StringCatalogueIndex[] = {
    {kCatalogueMessages, kCatalogueDetailed, kMessageDetailed.data()},
    {kCatalogueMessages, kCatalogueShort, kMessageShort.data()},
    {kCatalogueAltMessages, kCatalogueDetailed, kAltMessageDetailed.data()},
    {kCatalogueAltMessages, kCatalogueShort, kAltMessageShort.data()},
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
