#include "status/status_resolution.h"

#include "containers/query_node.h"
#include "frame/result.h"
#include "platform/win32.h"
#include "status/code_index.h"
#include "prninfo/prninfo.h"

#include <algorithm>
#include <cstring>

namespace patprn {

namespace {

constexpr uint32_t kIndexEnd = 0xFFFFFFFFu;
// Child types of a status tree: the supplement record, and the main record
// of the PJL source.
constexpr int32_t kSupplementChildType = 2;
constexpr int32_t kPjlMainChildType = 1;

// The strings the supplement record overrides wherever it has one.
constexpr char *PrnInfoEx::*kMergedStrings[] = {
    &PrnInfoEx::pModelName,  &PrnInfoEx::pMakerName,       &PrnInfoEx::pDescription,
    &PrnInfoEx::pSYSVersion, &PrnInfoEx::pMainProgVersion, &PrnInfoEx::pVPSVersion,
};

// The lists the supplement record overrides, after the strings, wherever
// it has them; the engine-status list is merged first, on its own.
constexpr InfoList kMergedLists[] = {
    InfoList::LoadedEmul, InfoList::LoadedFont, InfoList::TrayInfo,
    InfoList::OutBinInfo, InfoList::DeviceInfo, InfoList::EmulUniqInfo,
};

// The record a status child points to: its exactly 8 data bytes, else null.
const PrnInfoEx *ChildRecord(const QueryNode *firstChild, int32_t type) {
    const PrnInfoEx *record = nullptr;
    QueryNodeCopyData(QueryNodeFindType(firstChild, type), &record, sizeof record, QNODE_LEN_EXACT);
    return record;
}

// Takes the named list (count and head together) from `supplement` when
// its head is non-null.
void MergeList(StatusView *view, const PrnInfoEx *supplement, InfoList list) {
    InfoListRef from;
    InfoListRef into;
    if (!InfoListResolve(const_cast<PrnInfoEx *>(supplement), list, &from) || from.head == nullptr) return;
    InfoListResolve(view, list, &into);
    *into.headSlot = from.head;
    *into.countSlot = *from.countSlot;
}

bool IsWildcard(char c) { return c >= 'a' && c <= 'z'; }

// Priorities of the first codes of a record, ranked by the first pass and
// read back by the second; codes past these are ranked again.
constexpr uint32_t kKeptPriorities = 64;
struct KeptPriorities {
    uint16_t priority[kKeptPriorities];
    bool filled = false;
};

// The priority of every code of the record in turn; `visit` sees (code,
// priority) in list order, then STATUS_NO_RESPONSE when bNoResponse is set.
template <typename Visit>
void ForEachRankedCode(const StatusPriorityRow *table, const PrnInfoEx *record, KeptPriorities &kept, Visit visit) {
    uint32_t position = 0;
    auto rank = [&](uint32_t code) {
        uint16_t priority;
        if (kept.filled && position < kKeptPriorities) {
            priority = kept.priority[position];
        } else {
            LookupStatusPriority(table, code, &priority);
            if (position < kKeptPriorities) kept.priority[position] = priority;
        }
        ++position;
        visit(code, priority);
    };
    uint32_t left = record->nEngineStatus;
    for (const EngineStatusItem *item = record->pEngineStatus; item != nullptr && left != 0;
         item = reinterpret_cast<const EngineStatusItem *>(item->next), --left) {
        rank(item->dwCode);
    }
    if (record->bNoResponse != 0) rank(STATUS_NO_RESPONSE);
    kept.filled = true;
}

// Ascending as 32-bit unsigned, duplicates kept. The codes lie back to
// back in the list's block; a record may hold many thousands of them, so
// the sort must stay O(n log n) (std::sort allocates nothing).
void SortAscending(ResolvedCodes *codes) {
    const uint32_t count = ElemListCount(codes);
    if (count < 2) return;
    auto *first = static_cast<uint32_t *>(ElemListAt(codes, 1));
    std::sort(first, first + count);
}

}  // namespace

void StatusCodeText(uint32_t code, char *text) {
    // DWORD is the 32-bit unsigned type "%lu" takes on both platforms.
    wsprintfA(text, "%lu", static_cast<DWORD>(code));
}

const StatusPriorityRow *PriorityTableFor(uint32_t status) {
    for (const PriorityIndexRow *row = PriorityTableIndex; row->status != kIndexEnd; ++row) {
        if (row->status == status) return row->table;
    }
    return nullptr;
}

DWORD BuildStatusView(uint32_t status, const QueryNode *root, StatusView *view) {
    if (!IsStatusSource(status)) return ERROR_INVALID_PARAMETER;
    int32_t rootType = 0;
    uint32_t rootLength = 0;
    if (!QueryNodeInfo(root, &rootType, &rootLength) || rootType != QNODE_STATUS_ROOT) return ERROR_INVALID_PARAMETER;
    if (view == nullptr) return ERROR_INVALID_PARAMETER;

    const QueryNode *firstChild = QueryNodeFirstChild(root);
    if (!QueryNodeChainBounded(firstChild)) return ERROR_INVALID_DATA;
    const PrnInfoEx *supplement = ChildRecord(firstChild, kSupplementChildType);
    // For the management source the host names the main child's type in
    // the root's data length.
    const bool pjlSource = (status & 0xFFFFu) == PAT_STATUS_SOURCE_PJL;
    const int32_t mainType = pjlSource ? kPjlMainChildType : static_cast<int32_t>(rootLength);
    const PrnInfoEx *main = ChildRecord(firstChild, mainType);
    if (supplement == nullptr || main == nullptr || !HostRecordSizeAtLeast(supplement, PAT_PRNINFOEX_MIN_SIZE) ||
        !HostRecordSizeAtLeast(main, PAT_PRNINFOEX_MIN_SIZE)) {
        return ERROR_INVALID_PARAMETER;
    }

    std::memcpy(view, main, sizeof(StatusView));
    MergeList(view, supplement, InfoList::EngineStatus);
    for (char *PrnInfoEx::*field : kMergedStrings) {
        if (supplement->*field != nullptr) view->*field = supplement->*field;
    }
    view->dwMemorySize = supplement->dwMemorySize;
    view->bModelCode = supplement->bModelCode;
    for (InfoList list : kMergedLists) MergeList(view, supplement, list);
    return ERROR_SUCCESS;
}

int CodePatternMatch(const char *text, const char *key) {
    if (text == nullptr || key == nullptr) return 0;
    for (; *text != '\0' && *key != '\0'; ++text, ++key) {
        if (*text != *key && !IsWildcard(*key)) return 0;
    }
    return *text == '\0' && *key == '\0' ? 1 : 0;
}

namespace {

// The first exact row, else the first pattern row, by the table's index.
const StatusPriorityRow *IndexedPriorityRow(uint32_t code) {
    uint32_t count = 0;
    if (const IndexedExactKey *exact = FindExactKeys(StatusPriorityIndex, code, &count)) {
        return &StatusPriorityTable[exact->row];
    }
    const CodeDigits digits = DigitsOfCode(code);
    for (uint32_t i = 0; i < StatusPriorityIndex.patternCount; ++i) {
        const IndexedPatternKey &key = StatusPriorityIndex.patterns[i];
        if (PatternKeyMatches(key, digits)) return &StatusPriorityTable[key.row];
    }
    return nullptr;
}

}  // namespace

int LookupStatusPriority(const StatusPriorityRow *table, uint32_t code, uint16_t *priority) {
    const StatusPriorityRow *match = nullptr;
    if (table == StatusPriorityTable) {
        match = IndexedPriorityRow(code);
    } else if (table != nullptr) {
        char text[kStatusCodeTextSize];
        StatusCodeText(code, text);
        // An exact key beats any pattern, wherever the pattern stands.
        for (const StatusPriorityRow *row = table; row->key != nullptr && match == nullptr; ++row) {
            if (std::strcmp(row->key, text) == 0) match = row;
        }
        for (const StatusPriorityRow *row = table; row->key != nullptr && match == nullptr; ++row) {
            if (CodePatternMatch(text, row->key)) match = row;
        }
    }
    if (priority != nullptr) *priority = match != nullptr ? match->priority : PRIORITY_NONE;
    return match != nullptr ? 1 : 0;
}

DWORD ResolveStatusCodes(const StatusContext &context, ResolvedCodes *result) {
    const StatusPriorityRow *table = PriorityTableFor(context.status);
    if (table == nullptr) return PAT_ERROR_NOT_FOUND;
    if (context.record == nullptr || result == nullptr) return ERROR_INVALID_PARAMETER;

    KeptPriorities kept;
    uint16_t best = PRIORITY_NONE;
    ForEachRankedCode(table, context.record, kept, [&](uint32_t, uint16_t priority) {
        if (priority < best) best = priority;
    });
    // A code that cannot be kept is reported: a partial list would show a
    // state that is not the printer's most urgent one.
    bool complete = true;
    ForEachRankedCode(table, context.record, kept, [&](uint32_t code, uint16_t priority) {
        if (priority == best && !ElemListAppend(result, &code)) complete = false;
    });
    SortAscending(result);
    return complete ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY;
}

}  // namespace patprn
