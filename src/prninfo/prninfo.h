// The host's PrnInfoEx record: its item lists and strings, reached through
// fixed slots.
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

// The item lists of the record, each a count and a chain of items.
enum class InfoList : uint8_t {
    EngineStatus,
    LoadedEmul,
    LoadedFont,
    TrayInfo,
    OutBinInfo,
    DeviceInfo,
    EmulUniqInfo,
    CounterInfo,
    SupplyInfo,
    ColorCorrection,
    CustomMediaInfo,
};

// The strings of the record, each a global-heap copy or null.
enum class InfoString : uint8_t {
    ModelName,
    MakerName,
    Description,
    SYSVersion,
    MainProgVersion,
    VPSVersion,
};

// Where one list lives inside one record.
struct InfoListRef {
    InfoItem *head;        // the list's current first item
    InfoItem **headSlot;   // address of the head inside the record
    uint32_t *countSlot;   // address of the count inside the record
};

// A zero-filled item of `size` bytes with its head set; null when the
// global heap is exhausted.
InfoItem *InfoItemAlloc(uint32_t size);

// Chain walks stop after `count` items (the list's count), so a host chain
// that loops back on itself is never followed past the items it declares.
// Releases the first `count` items of the chain.
void InfoItemChainFree(InfoItem *first, uint32_t count);
// First of the first `count` items whose 16-bit code at offset 12 (wCode,
// wTray, wDevice, ...) is `code`.
InfoItem *InfoItemChainFind(InfoItem *first, uint32_t count, uint16_t code);

// The code of the first row whose name equals `text` byte for byte, else
// the end row's code; 0xFFFFFFFF for a null text or table.
uint32_t CodeTableLookup(const char *text, const CodeTableRow *table);

// The list's slots in `record`; 0 for a null record or ref.
int InfoListResolve(PrnInfoEx *record, InfoList list, InfoListRef *ref);
// The list's item with `code`, within its count; null if none.
InfoItem *InfoListFind(const PrnInfoEx *record, InfoList list, uint16_t code);
// Links `item` behind the list's last counted item and counts it (a chain
// longer than its count loses the uncounted rest from the list). 0 for a
// null record or item.
int InfoListAppend(PrnInfoEx *record, InfoList list, InfoItem *item);
// Appends as InfoListAppend does, one item after another: `*last` is the
// item the previous call linked (null before the first, which finds the
// list's end), so a list of n items is built in n steps rather than n².
// Nothing else may change the list between the calls.
int InfoListAppendBehind(PrnInfoEx *record, InfoList list, InfoItem **last, InfoItem *item);
// Releases the list's counted items and empties its slots.
void InfoListClear(PrnInfoEx *record, InfoList list);
// Replaces the string with a copy of `text`; 0 for a null record or text,
// or when the copy cannot be allocated (the slot is then null). A slot that
// already holds exactly `text` keeps its block.
int InfoStringSet(PrnInfoEx *record, InfoString string, const char *text);
int InfoHasDevice(const PrnInfoEx *record, uint16_t device);
// The items of a list that is being rebuilt, taken out of the record so
// that the rebuild refills them instead of asking the heap for each: a
// printer lists the same status codes and versions poll after poll. A
// plain local value; InfoItemSparesFree releases what was not taken.
constexpr uint32_t kInfoItemSpareSlots = 16;
struct InfoItemSpares {
    InfoItem *items[kInfoItemSpareSlots];
    uint32_t count;  // items held
    uint32_t taken;  // items handed out or released so far
};

// Empties the list as InfoListClear does, keeping its first counted items
// (up to kInfoItemSpareSlots) as spares and releasing the rest. A chain
// that comes back to a spare it already passed ends there, so no block is
// held or released twice.
void InfoListTakeItems(PrnInfoEx *record, InfoList list, InfoItemSpares *spares);
// An item as InfoItemAlloc makes it (zero-filled, head set): the next spare
// whose cbItem is `size`, else a new block. Spares of another size met on
// the way are released. A null `spares` always allocates.
InfoItem *InfoItemTake(InfoItemSpares *spares, uint32_t size);
// Releases the spares not taken.
void InfoItemSparesFree(InfoItemSpares *spares);

// Appends an engine-status item for `code`, refilling a spare when
// `spares` holds one; 0 if it cannot be allocated.
int InfoAddEngineStatus(PrnInfoEx *record, uint32_t code, InfoItemSpares *spares = nullptr);

// Model name to bModelCode; the family has no coded models, so every name
// gives 255.
extern const CodeTableRow ModelNameTable[];

}  // namespace patprn
