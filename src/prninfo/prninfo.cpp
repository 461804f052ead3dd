#include "prninfo/prninfo.h"

#include "platform/win32.h"

#include <cstddef>
#include <iterator>
#include <cstring>

namespace patprn {

namespace {

// Count and head offsets of every list, indexed by InfoList.
struct ListSlotRow {
    size_t countOffset;
    size_t headOffset;
};
constexpr ListSlotRow kListSlots[] = {
    {offsetof(PrnInfoEx, nEngineStatus), offsetof(PrnInfoEx, pEngineStatus)},
    {offsetof(PrnInfoEx, nLoadedEmul), offsetof(PrnInfoEx, pLoadedEmul)},
    {offsetof(PrnInfoEx, nLoadedFont), offsetof(PrnInfoEx, pLoadedFont)},
    {offsetof(PrnInfoEx, nTrayInfo), offsetof(PrnInfoEx, pTrayInfo)},
    {offsetof(PrnInfoEx, nOutBinInfo), offsetof(PrnInfoEx, pOutBinInfo)},
    {offsetof(PrnInfoEx, nDeviceInfo), offsetof(PrnInfoEx, pDeviceInfo)},
    {offsetof(PrnInfoEx, nEmulUniqInfo), offsetof(PrnInfoEx, pEmulUniqInfo)},
    {offsetof(PrnInfoEx, nCounterInfo), offsetof(PrnInfoEx, pCounterInfo)},
    {offsetof(PrnInfoEx, nSupplyInfo), offsetof(PrnInfoEx, pSupplyInfo)},
    {offsetof(PrnInfoEx, nColorCorrection), offsetof(PrnInfoEx, pColorCorrection)},
    {offsetof(PrnInfoEx, nCustomMediaInfo), offsetof(PrnInfoEx, pCustomMediaInfo)},
};
static_assert(std::size(kListSlots) == static_cast<size_t>(InfoList::CustomMediaInfo) + 1);

// Offset of every string, indexed by InfoString.
constexpr size_t kStringSlots[] = {
    offsetof(PrnInfoEx, pModelName),  offsetof(PrnInfoEx, pMakerName),       offsetof(PrnInfoEx, pDescription),
    offsetof(PrnInfoEx, pSYSVersion), offsetof(PrnInfoEx, pMainProgVersion), offsetof(PrnInfoEx, pVPSVersion),
};
static_assert(std::size(kStringSlots) == static_cast<size_t>(InfoString::VPSVersion) + 1);

template <typename T>
T *FieldAt(PrnInfoEx *record, size_t offset) {
    return reinterpret_cast<T *>(reinterpret_cast<uint8_t *>(record) + offset);
}

uint16_t ItemCode(const InfoItem *item) {
    uint16_t code;
    std::memcpy(&code, reinterpret_cast<const uint8_t *>(item) + sizeof(InfoItem::next) + sizeof(uint32_t),
                sizeof code);
    return code;
}

bool SpareHeld(const InfoItemSpares &spares, const InfoItem *item) {
    for (uint32_t i = 0; i < spares.count; ++i) {
        if (spares.items[i] == item) return true;
    }
    return false;
}

}  // namespace

const CodeTableRow ModelNameTable[] = {
    {nullptr, 255},
};

InfoItem *InfoItemAlloc(uint32_t size) {
    auto *item = static_cast<InfoItem *>(GlobalAlloc(GPTR, size));
    if (item == nullptr) return nullptr;
    item->next = nullptr;
    item->cbItem = size;
    return item;
}

void InfoItemChainFree(InfoItem *first, uint32_t count) {
    for (; first != nullptr && count != 0; --count) {
        InfoItem *next = first->next;
        GlobalFree(first);
        first = next;
    }
}

InfoItem *InfoItemChainFind(InfoItem *first, uint32_t count, uint16_t code) {
    for (InfoItem *item = first; item != nullptr && count != 0; item = item->next, --count) {
        if (ItemCode(item) == code) return item;
    }
    return nullptr;
}

// Printer texts are matched byte for byte on every platform: the Windows
// lstrcmpA compares by the user's locale, where some characters weigh
// nothing, so the DLL and the .so would tell different printers apart.
uint32_t CodeTableLookup(const char *text, const CodeTableRow *table) {
    if (text == nullptr || table == nullptr) return 0xFFFFFFFFu;
    const CodeTableRow *row = table;
    for (; row->name != nullptr; ++row) {
        // The first byte settles most rows without a call.
        if (row->name[0] == text[0] && std::strcmp(row->name, text) == 0) return row->code;
    }
    return row->code;
}

int InfoListResolve(PrnInfoEx *record, InfoList list, InfoListRef *ref) {
    if (record == nullptr || ref == nullptr) return 0;
    const ListSlotRow &row = kListSlots[static_cast<size_t>(list)];
    ref->headSlot = FieldAt<InfoItem *>(record, row.headOffset);
    ref->countSlot = FieldAt<uint32_t>(record, row.countOffset);
    ref->head = *ref->headSlot;
    return 1;
}

InfoItem *InfoListFind(const PrnInfoEx *record, InfoList list, uint16_t code) {
    InfoListRef ref;
    if (!InfoListResolve(const_cast<PrnInfoEx *>(record), list, &ref)) return nullptr;
    return InfoItemChainFind(ref.head, *ref.countSlot, code);
}

int InfoListAppend(PrnInfoEx *record, InfoList list, InfoItem *item) {
    InfoListRef ref;
    if (item == nullptr || !InfoListResolve(record, list, &ref)) return 0;
    uint32_t counted = *ref.countSlot;
    if (ref.head == nullptr || counted == 0) {
        *ref.headSlot = item;
        *ref.countSlot = 1;
        return 1;
    }
    InfoItem *last = ref.head;
    uint32_t reached = 1;
    while (last->next != nullptr && reached < counted) {
        last = last->next;
        ++reached;
    }
    last->next = item;
    *ref.countSlot = reached + 1;
    return 1;
}

int InfoListAppendBehind(PrnInfoEx *record, InfoList list, InfoItem **last, InfoItem *item) {
    if (*last == nullptr) {
        if (!InfoListAppend(record, list, item)) return 0;
    } else {
        InfoListRef ref;
        if (item == nullptr || !InfoListResolve(record, list, &ref)) return 0;
        (*last)->next = item;
        *ref.countSlot += 1;
    }
    *last = item;
    return 1;
}

void InfoListClear(PrnInfoEx *record, InfoList list) {
    InfoListRef ref;
    if (!InfoListResolve(record, list, &ref)) return;
    InfoItemChainFree(ref.head, *ref.countSlot);
    *ref.headSlot = nullptr;
    *ref.countSlot = 0;
}

int InfoStringSet(PrnInfoEx *record, InfoString string, const char *text) {
    if (record == nullptr || text == nullptr) return 0;
    char **slot = FieldAt<char *>(record, kStringSlots[static_cast<size_t>(string)]);
    const SIZE_T size = std::strlen(text) + 1;
    // A printer's names and versions rarely change between polls: the same
    // text keeps its block. The held text is read no further than the new
    // one's terminator.
    if (*slot != nullptr && std::strncmp(*slot, text, size) == 0) return 1;
    // Copy first: the text may lie inside the string the slot holds.
    auto *copy = static_cast<char *>(GlobalAlloc(GMEM_FIXED, size));
    if (copy != nullptr) std::memcpy(copy, text, size);
    if (*slot != nullptr) GlobalFree(*slot);
    *slot = copy;
    return copy != nullptr ? 1 : 0;
}

int InfoHasDevice(const PrnInfoEx *record, uint16_t device) {
    return InfoListFind(record, InfoList::DeviceInfo, device) != nullptr ? 1 : 0;
}

void InfoListTakeItems(PrnInfoEx *record, InfoList list, InfoItemSpares *spares) {
    spares->count = 0;
    spares->taken = 0;
    InfoListRef ref;
    if (!InfoListResolve(record, list, &ref)) return;
    InfoItem *item = ref.head;
    uint32_t left = *ref.countSlot;
    // A chain that comes back to an item already passed only repeats from
    // there: each block is held or released once.
    for (; item != nullptr && left != 0 && !SpareHeld(*spares, item); --left) {
        InfoItem *next = item->next;
        if (spares->count < kInfoItemSpareSlots) spares->items[spares->count++] = item;
        else GlobalFree(item);
        item = next;
    }
    *ref.headSlot = nullptr;
    *ref.countSlot = 0;
}

InfoItem *InfoItemTake(InfoItemSpares *spares, uint32_t size) {
    while (spares != nullptr && spares->taken < spares->count) {
        InfoItem *item = spares->items[spares->taken++];
        if (item->cbItem != size) {
            GlobalFree(item);
            continue;
        }
        std::memset(item, 0, size);
        item->cbItem = size;
        return item;
    }
    return InfoItemAlloc(size);
}

void InfoItemSparesFree(InfoItemSpares *spares) {
    while (spares->taken < spares->count) GlobalFree(spares->items[spares->taken++]);
}

int InfoAddEngineStatus(PrnInfoEx *record, uint32_t code, InfoItemSpares *spares) {
    auto *item = reinterpret_cast<EngineStatusItem *>(InfoItemTake(spares, kEngineStatusItemSize));
    if (item == nullptr) return 0;
    item->wCode = static_cast<uint16_t>(code & 0xFFFFu);
    item->dwCode = code;
    if (!InfoListAppend(record, InfoList::EngineStatus, reinterpret_cast<InfoItem *>(item))) {
        GlobalFree(item);
        return 0;
    }
    return 1;
}

}  // namespace patprn
