#include "status/status_text.h"

#include "status/code_index.h"

#include "frame/localized_string.h"
#include "status/string_catalogue.h"
#include "platform/win32.h"
#include "status/code_index.h"
#include "status/pcl_emulation.h"

#include <cstring>

namespace patprn {

namespace {

// A message key of a code whose message differs when a PCL emulation runs:
// the code + this offset.
constexpr uint32_t kPclMessageOffset = 1000000;

// The codes whose message depends on a PCL emulation, and the item that
// message names (with PCL the unit is reached through a cover).
struct EmulationDependentCode {
    uint32_t code;
    uint32_t pclItem;
};
constexpr EmulationDependentCode kEmulationDependentCodes[] = {
    {30400, 0},  // maintenance kit
    {30409, 0},  // transfer unit to replace
    {40100, 6},  // fusing unit not detected: front cover unit
    {40141, 9},  // transfer unit not detected: left cover
};

// One record of BuildItemList's work list: an item to be named.
struct ItemRecord {
    uint32_t item;
    uint32_t position;  // 1-based row in the item catalogue: the listing order
    uint32_t number;    // string number of the item's name
};
static_assert(sizeof(ItemRecord) == 12, "an item record is 12 bytes");

// BuildItemList's work list, in catalogue order. Each item code (1-13, one
// catalogue row each) is held once, so it lives on the stack and never
// grows.
constexpr uint32_t kItemCodeCount = 13;
struct ItemWorkList {
    ItemRecord records[kItemCodeCount];
    uint32_t count = 0;
};

// Appends one entry; 8 when the list cannot grow.
DWORD AppendEntry(ElemList *entries, uint32_t key, uint32_t item, const char *text) {
    StatusEntry entry{};
    entry.key = key;
    entry.item = item;
    if (text != nullptr) lstrcpynA(entry.text, text, sizeof entry.text);
    return ElemListAppend(entries, &entry) ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY;
}

// The record's first status item with `code`, or null.
const EngineStatusItem *FindStatusItem(const PrnInfoEx *record, uint32_t code) {
    for (const EngineStatusItem *item = record->pEngineStatus; item != nullptr;
         item = reinterpret_cast<const EngineStatusItem *>(item->next)) {
        if (item->dwCode == code) return item;
    }
    return nullptr;
}

// The placeholder row of a message key, or null.
const uint32_t *FindPlaceholderRow(uint32_t key) {
    const uint32_t *word = PlaceholderItemTable;
    while (*word != 0) {
        if (*word == key) return word;
        ++word;
        // Step over the row's lists up to its empty list.
        while (*word != 0) {
            while (*word != 0) ++word;
            ++word;
        }
        ++word;
    }
    return nullptr;
}

// Whether `item` of an entry with message key `key` may fill placeholder
// `ordinal`: without a row every item may; with one, only the items of its
// ordinal-th list (none when the row has fewer lists).
bool ItemFillsPlaceholder(uint32_t key, uint32_t item, uint32_t ordinal) {
    const uint32_t *row = FindPlaceholderRow(key);
    if (row == nullptr) return true;
    const uint32_t *list = row + 1;
    for (uint32_t n = 1; *list != 0; ++n) {
        for (; *list != 0; ++list) {
            if (n == ordinal && *list == item) return true;
        }
        ++list;
    }
    return false;
}

bool WorkListHolds(const ItemWorkList &work, uint32_t item) {
    for (uint32_t i = 0; i < work.count; ++i) {
        if (work.records[i].item == item) return true;
    }
    return false;
}

// Inserts before the first record of a later catalogue position, else
// appends: the work list stays in catalogue order. 1, or 0 when it is full.
int InsertByPosition(ItemWorkList &work, const ItemRecord &record) {
    if (work.count == kItemCodeCount) return 0;
    uint32_t at = work.count;
    while (at > 0 && work.records[at - 1].position > record.position) {
        work.records[at] = work.records[at - 1];
        --at;
    }
    work.records[at] = record;
    ++work.count;
    return 1;
}

// Steps 3 of BuildItemList: the items of the entries that may fill
// placeholder `ordinal`, each once, in catalogue order.
DWORD CollectItems(ElemList *entries, uint32_t ordinal, const StringCatalogue *catalogue, ItemWorkList &work) {
    void *at;
    ListCursor cursor;
    for (ListCursorInit(entries, &cursor); ListCursorNextAt(&cursor, &at);) {
        const auto *entry = static_cast<const StatusEntry *>(at);
        if (entry->item == 0 || !ItemFillsPlaceholder(entry->key, entry->item, ordinal)) continue;
        if (WorkListHolds(work, entry->item)) continue;
        const StringCatalogue *row = FindCatalogueRow(catalogue, entry->item);
        if (row == nullptr) return PAT_ERROR_NOT_FOUND;
        const ItemRecord record{entry->item, static_cast<uint32_t>(row - catalogue) + 1, row->number};
        if (!InsertByPosition(work, record)) return ERROR_NOT_ENOUGH_MEMORY;
    }
    return ERROR_SUCCESS;
}

// The names of BuildItemList's work list joined by the separator. A name that cannot be loaded fails the list rather than
// leaving the user a list with a tray or colour missing.
DWORD JoinItemNames(const ItemWorkList &work, const char *separator, char *output, uint32_t capacity) {
    const uint32_t separatorLength = static_cast<uint32_t>(lstrlenA(separator));
    uint32_t written = 0;
    char name[kItemListSize];
    for (uint32_t i = 0; i < work.count; ++i) {
        const DWORD error = LoadLocalizedString(work.records[i].number, name, sizeof name);
        if (error != ERROR_SUCCESS) return error;
        const uint32_t gap = written == 0 ? 0 : separatorLength;
        const uint32_t nameLength = static_cast<uint32_t>(lstrlenA(name));
        if (written + gap + nameLength >= capacity) return ERROR_INSUFFICIENT_BUFFER;
        std::memcpy(output + written, separator, gap);
        std::memcpy(output + written + gap, name, nameLength);
        written += gap + nameLength;
        output[written] = '\0';
    }
    return ERROR_SUCCESS;
}

}  // namespace

DWORD BuildStatusEntries(const StatusContext &context, ElemList *entries) {
    LocalElemList<uint32_t, kResolvedCodesPerStep> codes;
    ElemListInitLocal(&codes, kResolvedCodesPerStep);
    DWORD error = ResolveStatusCodes(context, &codes.list);
    uint32_t code;
    uint32_t previous = 0;
    ListCursor cursor;
    for (ListCursorInit(&codes.list, &cursor); error == ERROR_SUCCESS && ListCursorNext(&cursor, &code);) {
        // A printer may report one code many times over; the codes are
        // sorted, so its repeats follow it and would only add the same
        // entries again, which the text never shows twice.
        if (cursor.visited > 1 && code == previous) continue;
        previous = code;
        error = ExpandStatusCode(context, code, entries);
    }
    ElemListRelease(&codes.list);
    return error;
}

DWORD ExpandStatusCode(const StatusContext &context, uint32_t code, ElemList *entries) {
    for (const EmulationDependentCode &dependent : kEmulationDependentCodes) {
        if (dependent.code != code) continue;
        if (HasPclEmulation(context.record)) {
            return AppendEntry(entries, code + kPclMessageOffset, dependent.pclItem, "");
        }
        return AppendEntry(entries, code, 0, "");
    }
    if (code == kServiceCallCode) {
        // The code came from the record's list, so its item is there.
        char serviceCode[sizeof StatusEntry::text] = "";
        const EngineStatusItem *item = FindStatusItem(context.record, code);
        if (item != nullptr) ExtractServiceCode(item->szText, sizeof item->szText, serviceCode, sizeof serviceCode);
        return AppendEntry(entries, code, 0, serviceCode);
    }
    return MatchMessageRows(context, code, entries);
}

DWORD MatchMessageRows(const StatusContext &context, uint32_t code, ElemList *entries) {
    const StatusMessageRow *table = StatusMessageTableFor(context.status);
    const CodeIndexView &index = StatusMessageIndexFor(context.status);
    // Exact keys first, every equal row in table order; patterns only for a
    // code that has none.
    uint32_t count = 0;
    if (const IndexedExactKey *exact = FindExactKeys(index, code, &count)) {
        for (uint32_t i = 0; i < count; ++i) {
            const StatusMessageRow &row = table[exact[i].row];
            if (AppendEntry(entries, row.messageKey, row.item, "") != ERROR_SUCCESS) return ERROR_NOT_ENOUGH_MEMORY;
        }
        return ERROR_SUCCESS;
    }
    const CodeDigits digits = DigitsOfCode(code);
    for (uint32_t i = 0; i < index.patternCount; ++i) {
        if (!PatternKeyMatches(index.patterns[i], digits)) continue;
        const StatusMessageRow &row = table[index.patterns[i].row];
        if (AppendEntry(entries, row.messageKey, row.item, "") != ERROR_SUCCESS) return ERROR_NOT_ENOUGH_MEMORY;
    }
    return ERROR_SUCCESS;
}

DWORD ExtractServiceCode(const char *text, uint32_t textSize, char *output, uint32_t capacity) {
    if (text == nullptr || output == nullptr || capacity == 0) return ERROR_INVALID_PARAMETER;
    output[0] = '\0';
    uint32_t length = 0;
    while (length < textSize && text[length] != '\0') ++length;
    for (uint32_t end = length; end >= 2; --end) {
        if (text[end - 2] != 'S' || text[end - 1] != 'C') continue;
        const uint32_t start = end - 2;
        uint32_t count = length - start;
        if (count > capacity - 1) count = capacity - 1;
        std::memcpy(output, text + start, count);
        output[count] = '\0';
        break;
    }
    return ERROR_SUCCESS;
}

DWORD ComposeStatusText(const StatusContext &context, ElemList *entries, uint32_t variant, char *output,
                        uint32_t capacity) {
    if (output == nullptr || capacity == 0) return ERROR_INVALID_PARAMETER;
    output[0] = '\0';
    const uint32_t group = (context.status & STATUS_ALT_SET) != 0 ? kCatalogueAltMessages : kCatalogueMessages;
    const StringCatalogue *catalogue = FindStringCatalogue(group, variant & 0xFFu);
    if (catalogue == nullptr) return PAT_ERROR_NOT_FOUND;
    StatusEntry first;
    if (!ElemListGet(entries, 1, &first)) return PAT_ERROR_NOT_FOUND;
    char message[kStatusTextSize];
    const DWORD error = LoadCatalogueString(catalogue, first.key, message, sizeof message);
    if (error != ERROR_SUCCESS) return error;
    return FillPlaceholders(message, entries, output, capacity);
}

DWORD FillPlaceholders(const char *message, ElemList *entries, char *output, uint32_t capacity) {
    if (output == nullptr || capacity == 0) return ERROR_INVALID_PARAMETER;
    uint32_t written = 0;
    uint32_t ordinal = 1;
    char list[kItemListSize];
    for (const char *c = message; *c != '\0'; ++c) {
        if (c[0] == '%' && c[1] == 's') {
            ++c;
            const DWORD error = BuildItemList(entries, ordinal, list, sizeof list);
            if (error == ERROR_INSUFFICIENT_BUFFER) continue;  // a list too long to build is dropped
            if (error != ERROR_SUCCESS) {
                output[0] = '\0';
                return error;
            }
            const uint32_t length = static_cast<uint32_t>(lstrlenA(list));
            if (written + length < capacity) {
                std::memcpy(output + written, list, length);
                written += length;
                ++ordinal;
            }
            continue;
        }
        if (written + 1 < capacity) output[written++] = *c;
    }
    output[written] = '\0';
    return ERROR_SUCCESS;
}

DWORD BuildItemList(ElemList *entries, uint32_t ordinal, char *output, uint32_t capacity) {
    if (output == nullptr || capacity == 0) return ERROR_INVALID_PARAMETER;
    output[0] = '\0';
    ItemWorkList work;
    DWORD error = ERROR_SUCCESS;
    char separator[kSeparatorSize];
    const StringCatalogue *catalogue = FindStringCatalogue(kCatalogueItems, kCatalogueShort);
    if (catalogue == nullptr || LoadLocalizedString(kSeparatorString, separator, sizeof separator) != ERROR_SUCCESS) {
        error = PAT_ERROR_NOT_FOUND;
    }
    if (error == ERROR_SUCCESS) error = CollectItems(entries, ordinal, catalogue, work);
    if (error == ERROR_SUCCESS) error = JoinItemNames(work, separator, output, capacity);
    if (error != ERROR_SUCCESS) output[0] = '\0';
    return error;
}

DWORD DeliverText(const char *text, char *output, DWORD *length) {
    const DWORD needed = static_cast<DWORD>(lstrlenA(text)) + 1;
    const DWORD given = *length;
    *length = needed;
    if (output == nullptr || given < needed) return ERROR_INSUFFICIENT_BUFFER;
    std::memcpy(output, text, needed);
    return ERROR_SUCCESS;
}

}  // namespace patprn
