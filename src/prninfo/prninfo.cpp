#include "prninfo/prninfo.h"

#include "platform/win32.h"

#include <cstddef>
#include <cstring>

namespace patprn {

namespace {

// Every list of the record by name, with its count and head slots. Names
// are matched exactly and case-sensitively, in this order.
struct ListNameRow {
    const char *name;
    size_t countOffset;
    size_t headOffset;
};
constexpr ListNameRow kListNameTable[] = {
    {"pEngineStatus", offsetof(PrnInfoEx, nEngineStatus), offsetof(PrnInfoEx, pEngineStatus)},
    {"pLoadedEmul", offsetof(PrnInfoEx, nLoadedEmul), offsetof(PrnInfoEx, pLoadedEmul)},
    {"pLoadedFont", offsetof(PrnInfoEx, nLoadedFont), offsetof(PrnInfoEx, pLoadedFont)},
    {"pTrayInfo", offsetof(PrnInfoEx, nTrayInfo), offsetof(PrnInfoEx, pTrayInfo)},
    {"pOutBinInfo", offsetof(PrnInfoEx, nOutBinInfo), offsetof(PrnInfoEx, pOutBinInfo)},
    {"pDeviceInfo", offsetof(PrnInfoEx, nDeviceInfo), offsetof(PrnInfoEx, pDeviceInfo)},
    {"pEmulUniqInfo", offsetof(PrnInfoEx, nEmulUniqInfo), offsetof(PrnInfoEx, pEmulUniqInfo)},
    {"pCounterInfo", offsetof(PrnInfoEx, nCounterInfo), offsetof(PrnInfoEx, pCounterInfo)},
    {"pSupplyInfo", offsetof(PrnInfoEx, nSupplyInfo), offsetof(PrnInfoEx, pSupplyInfo)},
    {"pColorCorrection", offsetof(PrnInfoEx, nColorCorrection), offsetof(PrnInfoEx, pColorCorrection)},
    {"pCustomMediaInfo", offsetof(PrnInfoEx, nCustomMediaInfo), offsetof(PrnInfoEx, pCustomMediaInfo)},
};

// Every string of the record by name, in matching order.
struct StringNameRow {
    const char *name;
    size_t offset;
};
constexpr StringNameRow kStringNameTable[] = {
    {"pModelName", offsetof(PrnInfoEx, pModelName)},
    {"pMakerName", offsetof(PrnInfoEx, pMakerName)},
    {"pDescription", offsetof(PrnInfoEx, pDescription)},
    {"pSYSVersion", offsetof(PrnInfoEx, pSYSVersion)},
    {"pMainProgVersion", offsetof(PrnInfoEx, pMainProgVersion)},
    {"pVPSVersion", offsetof(PrnInfoEx, pVPSVersion)},
};

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

void InfoItemChainFree(InfoItem *first) {
    while (first != nullptr) {
        InfoItem *next = first->next;
        GlobalFree(first);
        first = next;
    }
}

InfoItem *InfoItemChainFind(InfoItem *first, uint16_t code) {
    for (InfoItem *item = first; item != nullptr; item = item->next) {
        if (ItemCode(item) == code) return item;
    }
    return nullptr;
}

InfoItem *InfoItemChainAppend(InfoItem *first, InfoItem *item) {
    if (first == nullptr) return item;
    InfoItem *last = first;
    while (last->next != nullptr) last = last->next;
    last->next = item;
    return first;
}

uint32_t CodeTableLookup(const char *text, const CodeTableRow *table) {
    if (text == nullptr || table == nullptr) return 0xFFFFFFFFu;
    const CodeTableRow *row = table;
    for (; row->name != nullptr; ++row) {
        if (lstrcmpA(row->name, text) == 0) return row->code;
    }
    return row->code;
}

int InfoListResolve(PrnInfoEx *record, const char *name, InfoListRef *ref) {
    if (record == nullptr || name == nullptr || ref == nullptr) return 0;
    for (const ListNameRow &row : kListNameTable) {
        if (lstrcmpA(row.name, name) != 0) continue;
        ref->headSlot = FieldAt<InfoItem *>(record, row.headOffset);
        ref->countSlot = FieldAt<uint32_t>(record, row.countOffset);
        ref->head = *ref->headSlot;
        return 1;
    }
    return 0;
}

int InfoListAppend(PrnInfoEx *record, const char *name, InfoItem *item) {
    InfoListRef ref;
    if (item == nullptr || !InfoListResolve(record, name, &ref)) return 0;
    *ref.headSlot = InfoItemChainAppend(ref.head, item);
    *ref.countSlot += 1;
    return 1;
}

int InfoListClear(PrnInfoEx *record, const char *name) {
    InfoListRef ref;
    if (!InfoListResolve(record, name, &ref)) return 0;
    InfoItemChainFree(ref.head);
    *ref.headSlot = nullptr;
    *ref.countSlot = 0;
    return 1;
}

int InfoStringSet(PrnInfoEx *record, const char *name, const char *text) {
    if (record == nullptr || name == nullptr || text == nullptr) return 0;
    for (const StringNameRow &row : kStringNameTable) {
        if (lstrcmpA(row.name, name) != 0) continue;
        char **slot = FieldAt<char *>(record, row.offset);
        // Copy first: the text may be the very string the slot holds.
        const SIZE_T size = static_cast<SIZE_T>(lstrlenA(text)) + 1;
        auto *copy = static_cast<char *>(GlobalAlloc(GMEM_FIXED, size));
        if (copy != nullptr) std::memcpy(copy, text, size);
        if (*slot != nullptr) GlobalFree(*slot);
        *slot = copy;
        return copy != nullptr ? 1 : 0;
    }
    return 0;
}

int InfoHasDevice(const PrnInfoEx *record, uint16_t device) {
    InfoListRef ref;
    if (!InfoListResolve(const_cast<PrnInfoEx *>(record), "pDeviceInfo", &ref)) return 0;
    return InfoItemChainFind(ref.head, device) != nullptr ? 1 : 0;
}

int InfoAddEngineStatus(PrnInfoEx *record, uint32_t code) {
    auto *item = reinterpret_cast<EngineStatusItem *>(InfoItemAlloc(kEngineStatusItemSize));
    if (item == nullptr) return 0;
    item->wCode = static_cast<uint16_t>(code & 0xFFFFu);
    item->dwCode = code;
    if (!InfoListAppend(record, "pEngineStatus", reinterpret_cast<InfoItem *>(item))) {
        GlobalFree(item);
        return 0;
    }
    return 1;
}

}  // namespace patprn
