// String catalogues: constant tables that turn a key (a status message key,
// an item code, a device number) into a string number, found by group and
// variant.
#pragma once

#include "platform/win32.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace patprn {

// One row of a catalogue. A catalogue is its array of rows, addressed by
// the first; it ends with a row whose key is kCatalogueEnd. A row's 1-based
// position counts: item names are listed in catalogue order.
struct StringCatalogue {
    uint32_t key;
    uint32_t number;  // string number for LoadLocalizedString
};
inline constexpr uint32_t kCatalogueEnd = 0xFFFFFFFFu;

// The two variants of a message group list the same keys in the same
// order, and items are numbered in catalogue order, so each key list is
// kept once and numbered from its variant's first string: the n-th key
// names string first + n - 1.
template <size_t N>
constexpr std::array<StringCatalogue, N + 1> NumberedCatalogue(const std::array<uint32_t, N> &keys, uint32_t first) {
    std::array<StringCatalogue, N + 1> rows{};
    for (size_t n = 0; n < N; ++n) rows[n] = {keys[n], first + static_cast<uint32_t>(n)};
    rows[N] = {kCatalogueEnd, 0};
    return rows;
}

// The message catalogues, numbered from the message keys of the message
// tables (status_message_tables.cpp): a key's position fixes its strings,
// so the key counts are those of the stored strings.
inline constexpr size_t kMessageKeyCount = 120;    // strings 1000-1119, 2000-2119
inline constexpr size_t kAltMessageKeyCount = 41;  // strings 1500-1540, 2500-2540
extern const std::array<StringCatalogue, kMessageKeyCount + 1> MessageShortCatalogue;
extern const std::array<StringCatalogue, kMessageKeyCount + 1> MessageDetailedCatalogue;
extern const std::array<StringCatalogue, kAltMessageKeyCount + 1> AltMessageShortCatalogue;
extern const std::array<StringCatalogue, kAltMessageKeyCount + 1> AltMessageDetailedCatalogue;

// Catalogue groups.
inline constexpr uint32_t kCatalogueMessages = 1;     // message keys, primary set
inline constexpr uint32_t kCatalogueAltMessages = 2;  // message keys, STATUS_ALT_SET
inline constexpr uint32_t kCatalogueItems = 3;        // item codes 1-13
inline constexpr uint32_t kCatalogueDevices = 4;      // device numbers
// Catalogue variants.
inline constexpr uint32_t kCatalogueShort = 1;     // short label (items, devices: the name)
inline constexpr uint32_t kCatalogueDetailed = 2;  // detailed message

// One row of StringCatalogueIndex; the index ends with a row whose group
// is 0.
struct StringCatalogueIndexRow {
    uint32_t group;
    uint8_t variant;
    const StringCatalogue *catalogue;
};
extern const StringCatalogueIndexRow StringCatalogueIndex[];

// The catalogue of (group, variant), comparing only the low 8 bits of
// `variant`; null when there is none (group 0 never matches).
const StringCatalogue *FindStringCatalogue(uint32_t group, uint32_t variant);

// The first row of `catalogue` whose key is `key`, or null (also for a null
// catalogue). Its 1-based position is row - catalogue + 1.
const StringCatalogue *FindCatalogueRow(const StringCatalogue *catalogue, uint32_t key);

// Loads the string that `key` names in `catalogue` into `output` (capacity
// bytes) with LoadLocalizedString. Returns 0, or:
//   PAT_ERROR_NOT_FOUND for a null catalogue, a capacity of 0 or a key that
//   is not in the catalogue; otherwise the loader's code.
// On every failure with a non-zero capacity `output` is set to "".
DWORD LoadCatalogueString(const StringCatalogue *catalogue, uint32_t key, char *output, DWORD capacity);

}  // namespace patprn
