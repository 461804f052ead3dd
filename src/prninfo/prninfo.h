// The host's PrnInfoEx record: its item lists and strings, reached by name.
#pragma once

#include "patprn/patprn.h"

namespace patprn {

// Item sizes of the lists the library fills.
constexpr uint32_t kEngineStatusItemSize = sizeof(EngineStatusItem);
constexpr uint32_t kTrayInfoItemSize = sizeof(TrayInfoItem);
constexpr uint32_t kOutBinInfoItemSize = sizeof(OutBinInfoItem);
constexpr uint32_t kLoadedEmulItemSize = sizeof(LoadedEmulItem);
constexpr uint32_t kLoadedFontItemSize = sizeof(LoadedFontItem);
constexpr uint32_t kDeviceInfoItemSize = sizeof(DeviceInfoItem);
constexpr uint32_t kEmulUniqInfoItemSize = sizeof(EmulUniqInfoItem);
constexpr uint32_t kCounterInfoItemSize = sizeof(CounterInfoItem);
constexpr uint32_t kSupplyInfoItemSize = sizeof(SupplyInfoItem);

// A (name, code) row of a constant code table; the table ends with a row
// whose name is null and whose code is the table's default.
struct CodeTableRow {
    const char *name;
    uint32_t code;
};

// Where a named list lives inside one record.
struct InfoListRef {
    InfoItem *head;        // the list's current first item
    InfoItem **headSlot;   // address of the head inside the record
    uint32_t *countSlot;   // address of the count inside the record
};

// A zero-filled item of `size` bytes with its head set; null when the
// global heap is exhausted.
InfoItem *InfoItemAlloc(uint32_t size);
void InfoItemChainFree(InfoItem *first);
// First item whose 16-bit code at offset 12 (wCode, wTray, wDevice, ...) is `code`.
InfoItem *InfoItemChainFind(InfoItem *first, uint16_t code);
// Appends `item` at the end of the chain; returns the chain's first item.
InfoItem *InfoItemChainAppend(InfoItem *first, InfoItem *item);

// The code of the first row whose name equals `text` exactly, else the end
// row's code; 0xFFFFFFFF for a null text or table.
uint32_t CodeTableLookup(const char *text, const CodeTableRow *table);

int InfoListResolve(PrnInfoEx *record, const char *name, InfoListRef *ref);
int InfoListAppend(PrnInfoEx *record, const char *name, InfoItem *item);
int InfoListClear(PrnInfoEx *record, const char *name);
// Replaces the named string with a copy of `text`; 0 for an unknown name or
// when the copy cannot be allocated (the slot is then null).
int InfoStringSet(PrnInfoEx *record, const char *name, const char *text);
int InfoHasDevice(const PrnInfoEx *record, uint16_t device);
// Appends an engine-status item for `code`; 0 if it cannot be allocated.
int InfoAddEngineStatus(PrnInfoEx *record, uint32_t code);

// Model name to bModelCode; the family has no coded models, so every name
// gives 255.
extern const CodeTableRow ModelNameTable[];

}  // namespace patprn
