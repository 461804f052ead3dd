#include "fuzz_host.h"

#include "frame/locale.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifndef _WIN32
#include "platform/win32.h"  // the platform layer's heap hook and block count
#endif

namespace patfuzz {

uint8_t FuzzInput::Byte() { return position_ < size_ ? data_[position_++] : 0; }

uint16_t FuzzInput::U16() {
    const uint16_t low = Byte();
    return static_cast<uint16_t>(low | Byte() << 8);
}

uint32_t FuzzInput::U32() {
    const uint32_t low = U16();
    return low | static_cast<uint32_t>(U16()) << 16;
}

const uint8_t *FuzzInput::Bytes(size_t count, size_t *taken) {
    const size_t left = position_ < size_ ? size_ - position_ : 0;
    *taken = count < left ? count : left;
    const uint8_t *start = data_ + position_;
    position_ += *taken;
    return start;
}

const uint8_t *FuzzInput::Section(size_t *length) {
    const size_t separatorLength = sizeof kSectionSeparator - 1;
    const uint8_t *start = data_ + (position_ < size_ ? position_ : size_);
    for (size_t p = position_; p + separatorLength <= size_; ++p) {
        if (std::memcmp(data_ + p, kSectionSeparator, separatorLength) == 0) {
            *length = p - position_;
            position_ = p + separatorLength;
            return start;
        }
    }
    *length = position_ < size_ ? size_ - position_ : 0;
    position_ = size_;
    return start;
}

[[noreturn]] void Fail(const char *what, const char *detail) {
    std::fprintf(stderr, "patprn fuzz: %s: %s\n", what, detail);
    std::abort();
}

void *HostAlloc(size_t bytes) {
    void *block = GlobalAlloc(GPTR, bytes);
    if (block == nullptr) Fail("host", "GlobalAlloc failed outside an export call");
    return block;
}

char *HostText(const uint8_t *bytes, size_t length) {
    auto *text = static_cast<char *>(HostAlloc(length + 1));
    if (length != 0) std::memcpy(text, bytes, length);
    return text;
}

QueryNode *HostNode(int32_t type, const void *data, uint32_t length) {
    auto *node = static_cast<QueryNode *>(HostAlloc(QNODE_HEADER_SIZE + length));
    node->nType = type;
    node->dwLength = length;
    if (length != 0) std::memcpy(QNODE_DATA(node), data, length);
    return node;
}

QueryNode *HostBareNode(int32_t type, uint32_t length) {
    auto *node = static_cast<QueryNode *>(HostAlloc(QNODE_HEADER_SIZE));
    node->nType = type;
    node->dwLength = length;
    return node;
}

void HostAttach(QueryNode *parent, QueryNode *child) {
    child->pParent = parent;
    if (parent->pLastChild != nullptr) {
        parent->pLastChild->pNextSibling = child;
    } else {
        parent->pFirstChild = child;
    }
    parent->pLastChild = child;
}

void HostFreeTree(QueryNode *root) {
    if (root == nullptr) return;
    for (QueryNode *child = root->pFirstChild; child != nullptr;) {
        QueryNode *next = child->pNextSibling;
        HostFreeTree(child);
        child = next;
    }
    GlobalFree(root);
}

PrnInfoEx *HostRecord(uint32_t declared) {
    auto *record = static_cast<PrnInfoEx *>(HostAlloc(declared < sizeof(DWORD) ? sizeof(DWORD) : declared));
    record->dwSize = declared;
    return record;
}

uint32_t RecordSizeFrom(uint8_t selector) {
    // Sizes the library must reject (below 404, down to a bare dwSize) and
    // accepted sizes just at and above the limit.
    static const uint32_t kUnusualSizes[16] = {0, 4, 80, 279, 280, 281, 400, 403,
                                               404, 405, 408, 512, 1024, 2048, 403, 280};
    return selector < 0xF0 ? PAT_PRNINFOEX_MIN_SIZE : kUnusualSizes[selector & 0x0F];
}

bool RecordHasBody(const PrnInfoEx *record) {
    return GlobalSize(const_cast<PrnInfoEx *>(record)) >= sizeof(PrnInfoEx);
}

namespace {

// The record's lists: where each one's count and head are, and the size of
// the items the library makes for it (0: the host's own items).
struct ListSlot {
    const char *name;
    size_t countOffset;
    size_t headOffset;
    uint32_t itemSize;
};
constexpr ListSlot kListSlots[] = {
    {"pEngineStatus", offsetof(PrnInfoEx, nEngineStatus), offsetof(PrnInfoEx, pEngineStatus), sizeof(EngineStatusItem)},
    {"pLoadedEmul", offsetof(PrnInfoEx, nLoadedEmul), offsetof(PrnInfoEx, pLoadedEmul), sizeof(LoadedEmulItem)},
    {"pLoadedFont", offsetof(PrnInfoEx, nLoadedFont), offsetof(PrnInfoEx, pLoadedFont), sizeof(LoadedFontItem)},
    {"pTrayInfo", offsetof(PrnInfoEx, nTrayInfo), offsetof(PrnInfoEx, pTrayInfo), sizeof(TrayInfoItem)},
    {"pOutBinInfo", offsetof(PrnInfoEx, nOutBinInfo), offsetof(PrnInfoEx, pOutBinInfo), sizeof(OutBinInfoItem)},
    {"pDeviceInfo", offsetof(PrnInfoEx, nDeviceInfo), offsetof(PrnInfoEx, pDeviceInfo), sizeof(DeviceInfoItem)},
    {"pEmulUniqInfo", offsetof(PrnInfoEx, nEmulUniqInfo), offsetof(PrnInfoEx, pEmulUniqInfo), sizeof(EmulUniqInfoItem)},
    {"pCounterInfo", offsetof(PrnInfoEx, nCounterInfo), offsetof(PrnInfoEx, pCounterInfo), sizeof(CounterInfoItem)},
    {"pSupplyInfo", offsetof(PrnInfoEx, nSupplyInfo), offsetof(PrnInfoEx, pSupplyInfo), sizeof(SupplyInfoItem)},
    {"pColorCorrection", offsetof(PrnInfoEx, nColorCorrection), offsetof(PrnInfoEx, pColorCorrection), 0},
    {"pCustomMediaInfo", offsetof(PrnInfoEx, nCustomMediaInfo), offsetof(PrnInfoEx, pCustomMediaInfo), 0},
};
constexpr size_t kStringOffsets[] = {
    offsetof(PrnInfoEx, pModelName),  offsetof(PrnInfoEx, pMakerName),       offsetof(PrnInfoEx, pDescription),
    offsetof(PrnInfoEx, pSYSVersion), offsetof(PrnInfoEx, pMainProgVersion), offsetof(PrnInfoEx, pVPSVersion),
};

// Lists are short; a chain this long can only be a cycle.
constexpr uint32_t kLongestChain = 100000;

DWORD *CountAt(const PrnInfoEx *record, const ListSlot &slot) {
    return reinterpret_cast<DWORD *>(reinterpret_cast<uintptr_t>(record) + slot.countOffset);
}
InfoItem **HeadAt(const PrnInfoEx *record, size_t offset) {
    return reinterpret_cast<InfoItem **>(reinterpret_cast<uintptr_t>(record) + offset);
}

}  // namespace

void HostFreeRecord(PrnInfoEx *record) {
    if (record == nullptr) return;
    if (RecordHasBody(record)) {
        for (const ListSlot &slot : kListSlots) {
            for (InfoItem *item = *HeadAt(record, slot.headOffset); item != nullptr;) {
                InfoItem *next = item->next;
                GlobalFree(item);
                item = next;
            }
        }
        for (size_t offset : kStringOffsets) {
            if (void *text = *HeadAt(record, offset)) GlobalFree(text);
        }
    }
    GlobalFree(record);
}

void *HostAppendItem(void *head, DWORD *count, uint32_t size) {
    auto *item = static_cast<InfoItem *>(HostAlloc(size));
    item->cbItem = size;
    auto **slot = static_cast<InfoItem **>(head);
    while (*slot != nullptr) slot = &(*slot)->next;
    *slot = item;
    *count += 1;
    return item;
}

void CheckRecord(const PrnInfoEx *record, const char *after) {
    if (record == nullptr || !RecordHasBody(record)) return;
    char detail[160];
    for (const ListSlot &slot : kListSlots) {
        const DWORD count = *CountAt(record, slot);
        uint32_t length = 0;
        for (const InfoItem *item = *HeadAt(record, slot.headOffset); item != nullptr; item = item->next) {
            if (++length > kLongestChain) {
                std::snprintf(detail, sizeof detail, "list %s does not end (a cycle)", slot.name);
                Fail(after, detail);
            }
            const SIZE_T block = GlobalSize(const_cast<InfoItem *>(item));
            if (block != item->cbItem || (slot.itemSize != 0 && block != slot.itemSize)) {
                std::snprintf(detail, sizeof detail, "item %u of %s: block %llu bytes, cbItem %u", length, slot.name,
                              static_cast<unsigned long long>(block), static_cast<unsigned>(item->cbItem));
                Fail(after, detail);
            }
        }
        if (length != count) {
            std::snprintf(detail, sizeof detail, "list %s holds %u items but counts %u", slot.name, length,
                          static_cast<unsigned>(count));
            Fail(after, detail);
        }
    }
    for (size_t offset : kStringOffsets) {
        auto *text = reinterpret_cast<char *>(*HeadAt(record, offset));
        if (text == nullptr) continue;
        const SIZE_T block = GlobalSize(text);
        if (block == 0 || std::memchr(text, '\0', block) == nullptr) {
            std::snprintf(detail, sizeof detail, "string at offset %zu is not a terminated heap text", offset);
            Fail(after, detail);
        }
    }
}

RecordSnapshot SnapshotOf(const PrnInfoEx *record) {
    RecordSnapshot snapshot{};
    snapshot.taken = record != nullptr && RecordHasBody(record);
    if (snapshot.taken) std::memcpy(snapshot.bytes, record, sizeof snapshot.bytes);
    return snapshot;
}

void CheckUntouched(const PrnInfoEx *record, const RecordSnapshot &before, const char *after) {
    if (before.taken && std::memcmp(before.bytes, record, sizeof before.bytes) != 0) {
        Fail(after, "failed with a code that promises an untouched record, but changed it");
    }
}

void CheckResult(bool succeeded, const char *exportName) {
    const DWORD error = GetLastError();
    char detail[96];
    if (succeeded && error != 0) {
        std::snprintf(detail, sizeof detail, "succeeded with last error 0x%X", static_cast<unsigned>(error));
        Fail(exportName, detail);
    }
    if (!succeeded && (error == 0 || error == kPoison)) {
        std::snprintf(detail, sizeof detail, "failed with last error 0x%X", static_cast<unsigned>(error));
        Fail(exportName, detail);
    }
}

void CheckTextResult(bool succeeded, const char *output, DWORD capacity, DWORD needed, const char *exportName) {
    if (!succeeded) return;
    if (needed == 0 || needed > capacity) Fail(exportName, "succeeded with a needed size outside the buffer");
    if (std::memchr(output, '\0', needed) != output + needed - 1) {
        Fail(exportName, "the text written is not needed - 1 characters and its terminator");
    }
}

void HeapFailureFrom(uint8_t selector, uint8_t tag) {
#ifndef _WIN32
    if ((selector & 0xC0) == tag) patprn::platform::HeapFailAfter((selector & 0x3Fu) + 1);
#else
    (void)selector, (void)tag;
#endif
}

void HeapHealed() {
#ifndef _WIN32
    patprn::platform::HeapFailAfter(0);
#endif
}

void ResetLanguage() { patprn::SelectedLanguage.store(patprn::kUserDefaultLanguage, std::memory_order_relaxed); }

long LiveBlocks() {
#ifndef _WIN32
    return patprn::platform::HeapLiveBlocks();
#else
    return 0;
#endif
}

void CheckNoLeak(long before, const char *target) {
    const long after = LiveBlocks();
    if (after != before) {
        char detail[96];
        std::snprintf(detail, sizeof detail, "%ld global-heap blocks left behind", after - before);
        Fail(target, detail);
    }
}

}  // namespace patfuzz
