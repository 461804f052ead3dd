#include "status/status_picture.h"

#include "platform/win32.h"
#include "status/pcl_emulation.h"

#include <cstdint>
#include <cstring>

namespace patprn {

namespace {

// Drawing levels that only apply to some printers: the emulation rule
// removes one group by whether a PCL emulation runs, the set rule another
// by STATUS_ALT_SET. Together they keep 220 without PCL, 224/226 with it,
// 230/232 without PCL and without the alternate set, 234/236 with PCL and
// without it, 240/242 without PCL and with it, 244 with both, 248 with the
// alternate set, and 246 never.
constexpr uint8_t kPclRemovedLevels[] = {240, 242, 230, 232, 220};
constexpr uint8_t kNoPclRemovedLevels[] = {244, 246, 234, 236, 224, 226};
constexpr uint8_t kAltSetClearRemovedLevels[] = {248, 240, 242, 244, 246};
constexpr uint8_t kAltSetRemovedLevels[] = {246, 230, 232, 234, 236};

constexpr uint32_t kEntrySize = sizeof(BitmapEntry);
constexpr uint8_t kLastLevel = 255;

// Mask names are the image's name followed by this; the mask of a name of
// kMaxMaskedNameLength characters still fits the name field.
constexpr char kMaskSuffix[] = "_B";
constexpr uint32_t kMaxMaskedNameLength = PAT_BITMAP_NAME_SIZE - sizeof kMaskSuffix;

int AppendEntry(MemBlock *block, const BitmapEntry &entry) {
    MemBlockSeek(block, 0, kSeekFromEnd);
    return MemBlockWrite(block, &entry, kEntrySize);
}

// Length of an entry's name, read no further than its field.
uint32_t NameLength(const BitmapEntry &entry) {
    uint32_t length = 0;
    while (length < PAT_BITMAP_NAME_SIZE && entry.szName[length] != '\0') ++length;
    return length;
}

bool SameEntry(const BitmapEntry &a, const BitmapEntry &b) {
    return a.bLevel == b.bLevel && a.nX == b.nX && a.nY == b.nY &&
           std::strncmp(a.szName, b.szName, PAT_BITMAP_NAME_SIZE) == 0;
}

// The smallest level of the layer above `previous` and below 255, else 255.
uint8_t NextLevel(MemBlock *layer, uint8_t previous) {
    uint8_t next = kLastLevel;
    MemBlockSeek(layer, 0, kSeekFromStart);
    while (const auto *entry = static_cast<const BitmapEntry *>(MemBlockRead(layer, kEntrySize))) {
        if (entry->bLevel > previous && entry->bLevel < next) next = entry->bLevel;
    }
    return next;
}

// Appends the draw steps of one entry to `out`: opaque for an odd level,
// mask then image for an even one. False when an append fails or the
// name cannot take the mask suffix.
bool AppendDrawSteps(MemBlock *out, BitmapEntry entry) {
    if (entry.bLevel % 2 != 0) {
        entry.dwRop = PAT_ROP_SRCCOPY;
        return AppendEntry(out, entry) != 0;
    }
    const uint32_t length = NameLength(entry);
    if (length > kMaxMaskedNameLength) return false;
    BitmapEntry mask = entry;
    std::memcpy(mask.szName + length, kMaskSuffix, sizeof kMaskSuffix);
    mask.dwRop = PAT_ROP_SRCAND;
    entry.dwRop = PAT_ROP_SRCPAINT;
    return AppendEntry(out, mask) != 0 && AppendEntry(out, entry) != 0;
}

template <size_t N>
void RemoveLevels(MemBlock *layer, const uint8_t (&levels)[N]) {
    for (uint8_t level : levels) RemoveLevel(layer, level);
}

}  // namespace

const PictureRecord *FindPictureSet(uint16_t key) {
    for (const PictureSet *set = PictureSetTable; set->key != kPictureSetEnd; ++set) {
        if (set->key == key) return set->records;
    }
    return nullptr;
}

namespace {

const IndexedPictureSet *IndexOfRecords(const PictureRecord *records) {
    for (const IndexedPictureSet *set = IndexedPictureSets; set->records != nullptr; ++set) {
        if (set->records == records) return set;
    }
    return nullptr;
}

// The first record whose key equals the code text, or that matches it as a
// pattern when `pattern` is set (an exact key is also a pattern matching
// only itself): the earliest of both in table order.
const PictureRecord *IndexedPictureRecord(const IndexedPictureSet &set, uint32_t code, int pattern) {
    uint32_t count = 0;
    const IndexedExactKey *exact = FindExactKeys(set.index, code, &count);
    uint32_t row = exact != nullptr ? exact->row : UINT32_MAX;
    if (pattern) {
        const CodeDigits digits = DigitsOfCode(code);
        for (uint32_t i = 0; i < set.index.patternCount && set.index.patterns[i].row < row; ++i) {
            if (PatternKeyMatches(set.index.patterns[i], digits)) row = set.index.patterns[i].row;
        }
    }
    return row != UINT32_MAX ? &set.records[row] : set.fallback;
}

}  // namespace

int IsExactPictureKey(uint32_t code) {
    char text[kStatusCodeTextSize];
    text[0] = '\0';
    for (const PictureSet *set = PictureSetTable; set->key != kPictureSetEnd; ++set) {
        if (const IndexedPictureSet *indexed = IndexOfRecords(set->records)) {
            uint32_t count = 0;
            if (FindExactKeys(indexed->index, code, &count) != nullptr) return 1;
            continue;
        }
        if (text[0] == '\0') StatusCodeText(code, text);
        for (const PictureRecord *record = set->records; record->key != nullptr; ++record) {
            if (std::strcmp(record->key, text) == 0) return 1;
        }
    }
    return 0;
}

const PictureRecord *FindPictureRecord(const PictureRecord *records, uint32_t code, int pattern) {
    if (records == nullptr) return nullptr;
    if (const IndexedPictureSet *indexed = IndexOfRecords(records)) return IndexedPictureRecord(*indexed, code, pattern);
    char text[kStatusCodeTextSize];
    StatusCodeText(code, text);
    const PictureRecord *fallback = nullptr;
    for (const PictureRecord *record = records; record->key != nullptr; ++record) {
        const bool match = pattern ? CodePatternMatch(text, record->key) != 0 : std::strcmp(record->key, text) == 0;
        if (match) return record;
        if (std::strcmp(record->key, kDefaultPictureKey) == 0) fallback = record;
    }
    return fallback;
}

DWORD AddUniqueEntry(MemBlock *layer, const BitmapEntry &entry) {
    MemBlockSeek(layer, 0, kSeekFromStart);
    while (const auto *present = static_cast<const BitmapEntry *>(MemBlockRead(layer, kEntrySize))) {
        if (SameEntry(*present, entry)) return ERROR_SUCCESS;
    }
    return AppendEntry(layer, entry) ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY;
}

DWORD AddRecordEntries(MemBlock *layer, const PictureRecord *record) {
    if (record == nullptr) return ERROR_SUCCESS;
    for (const BitmapEntry &slot : record->slots) {
        if (slot.szName[0] == '\0') break;
        const DWORD code = AddUniqueEntry(layer, slot);
        if (code != ERROR_SUCCESS) return code;
    }
    return ERROR_SUCCESS;
}

void RemoveLevel(MemBlock *layer, uint8_t level) {
    MemBlockSeek(layer, 0, kSeekFromStart);
    while (const auto *entry = static_cast<const BitmapEntry *>(MemBlockRead(layer, kEntrySize))) {
        if (entry->bLevel != level) continue;
        // Back onto the entry and delete it: the next one moves into its
        // place and is read at the same position.
        MemBlockSeek(layer, -static_cast<int32_t>(kEntrySize), kSeekFromCursor);
        MemBlockDelete(layer, kEntrySize);
    }
}

int OrderLayerInto(MemBlock *layer, MemBlock *out) {
    uint8_t level = 0;
    do {
        level = NextLevel(layer, level);
        MemBlockSeek(layer, 0, kSeekFromStart);
        while (const auto *entry = static_cast<const BitmapEntry *>(MemBlockRead(layer, kEntrySize))) {
            if (entry->bLevel == level && !AppendDrawSteps(out, *entry)) return 0;
        }
    } while (level != kLastLevel);
    return 1;
}

DWORD ComposeStatusEntries(const StatusContext &context, ResolvedCodes *codes, MemBlock *layer) {
    const PictureRecord *body = FindPictureSet(kBodyPictureSet);
    uint32_t code;
    uint32_t previous = 0;
    ListCursor cursor;
    for (ListCursorInit(codes, &cursor); ListCursorNext(&cursor, &code);) {
        // A code right after itself would add only entries the layer holds
        // already; the codes are sorted, so every repeat is such a code.
        if (cursor.visited > 1 && code == previous) continue;
        previous = code;
        const int pattern = IsExactPictureKey(code) ? 0 : 1;
        DWORD error = body != nullptr ? AddRecordEntries(layer, FindPictureRecord(body, code, pattern)) : 0;
        uint32_t left = context.record->nDeviceInfo;
        for (const InfoItem *item = reinterpret_cast<const InfoItem *>(context.record->pDeviceInfo);
             item != nullptr && left != 0 && error == ERROR_SUCCESS; item = item->next, --left) {
            const PictureRecord *set = FindPictureSet(reinterpret_cast<const DeviceInfoItem *>(item)->wDevice);
            if (set != nullptr) error = AddRecordEntries(layer, FindPictureRecord(set, code, pattern));
        }
        // A picture without some of its entries would show the printer in
        // a state it is not in: the caller reports the failure instead.
        if (error != ERROR_SUCCESS) return error;
    }
    return ERROR_SUCCESS;
}

DWORD ComposePicture(const StatusContext &context, ResolvedCodes *codes, ElemList *layers) {
    MemBlock *layer = nullptr;
    if (!ElemListGet(layers, 1, &layer)) return ERROR_INVALID_PARAMETER;
    const DWORD error = ComposeStatusEntries(context, codes, layer);
    if (error != ERROR_SUCCESS) return error;
    if (HasPclEmulation(context.record)) {
        RemoveLevels(layer, kPclRemovedLevels);
    } else {
        RemoveLevels(layer, kNoPclRemovedLevels);
    }
    if ((context.status & STATUS_ALT_SET) == 0) {
        RemoveLevels(layer, kAltSetClearRemovedLevels);
    } else {
        RemoveLevels(layer, kAltSetRemovedLevels);
    }
    return ERROR_SUCCESS;
}

}  // namespace patprn
