// String catalogues: constant tables that turn a key (a status message key,
// an item code, a device number) into a string number, found by group and
// variant.
#pragma once

#include "platform/win32.h"

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
