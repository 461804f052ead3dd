// PatSetCentroDataTo: the printer's PJL replies and device ID, checked
// against the query they answer and interpreted into PrnInfoEx.
#include "pjl/reply_interpretation.h"

#include "containers/query_node.h"
#include "frame/result.h"
#include "pjl/device_id.h"
#include "pjl/reply_handlers.h"

#include <cstring>

namespace patprn {

namespace {

// What each token kind does to the current key while a reply is walked:
// which word it becomes, from which word on the key is cleared, and whether
// the key is then looked up. Kinds not listed leave the key as it is.
struct KeyUpdateRow {
    PjlTokenKind kind;
    int word;       // word the token becomes; -1 for none
    int clearFrom;  // first word cleared; kReplyKeyWords for none
    bool dispatch;
};
constexpr KeyUpdateRow kKeyUpdateTable[] = {
    {PJL_TOK_COMMAND, 0, 1, true},
    {PJL_TOK_EOL, -1, 3, false},
    {PJL_TOK_CATEGORY, 1, kReplyKeyWords, true},
    {PJL_TOK_HEADING, 2, kReplyKeyWords, true},
    {PJL_TOK_ITEM, 3, kReplyKeyWords, true},
    {PJL_TOK_ITEM_VALUE, 4, kReplyKeyWords, true},
};

constexpr ReplyKeyWord kEmptyWord = {"", 0, WordHash("", 0)};

// Empties the key. With a plan, `passing` follows each word through the
// plan's filters.
void KeyClear(ReplyKey *key, const ReplyPlanIndex *plan) {
    for (ReplyKeyWord &word : key->words) word = kEmptyWord;
    key->passing = plan != nullptr ? plan->emptyPassing : kAllKeyWords;
    key->set = 0;
}

// The table's row of each token kind (by kind number), or -1.
constexpr auto kKeyUpdateOfKind = [] {
    struct {
        int8_t row[PJL_TOK_END + 1];
    } index{};
    for (int8_t &row : index.row) row = -1;
    for (size_t r = 0; r < sizeof kKeyUpdateTable / sizeof kKeyUpdateTable[0]; ++r)
        index.row[kKeyUpdateTable[r].kind] = static_cast<int8_t>(r);
    return index;
}();

// Applies one token to the key; true when the key is to be looked up. The
// word keeps pointing into the reply text, which outlives the walk.
bool KeyUpdate(ReplyKey *key, const PjlToken *token, const ReplyPlanIndex *plan) {
    const int r = static_cast<uint32_t>(token->kind) <= PJL_TOK_END ? kKeyUpdateOfKind.row[token->kind] : -1;
    if (r < 0) return false;
    const KeyUpdateRow &row = kKeyUpdateTable[r];
    if (row.word >= 0) {
        const uint32_t hash = WordHash(token->text, token->length);
        key->words[row.word] = {token->text, token->length, hash};
        key->set |= 1u << row.word;
        const bool passes = plan == nullptr || WordFilterHolds(plan->filters[row.word], hash);
        key->passing = passes ? key->passing | (1u << row.word) : key->passing & ~(1u << row.word);
    }
    // Most line ends find the words they clear empty already.
    const uint32_t cleared = key->set & (kAllKeyWords << row.clearFrom);
    if (cleared != 0) {
        for (int w = row.clearFrom; w < kReplyKeyWords; ++w) key->words[w] = kEmptyWord;
        key->passing = (key->passing & ~cleared) | ((plan != nullptr ? plan->emptyPassing : kAllKeyWords) & cleared);
        key->set &= ~cleared;
    }
    return row.dispatch;
}

// The kinds of token that can change the key's word at each place: those
// that set a word at or before it, and those that empty it.
constexpr auto kKindsChangingPlace = [] {
    struct {
        uint32_t kinds[kReplyKeyWords];
    } index{};
    for (int place = 0; place < kReplyKeyWords; ++place) {
        for (const KeyUpdateRow &row : kKeyUpdateTable) {
            if ((row.word >= 0 && row.word <= place) || row.clearFrom <= place) index.kinds[place] |= 1u << row.kind;
        }
    }
    return index;
}();
static_assert(PJL_TOK_TAB < 32, "token kinds other than the end fit a 32-bit set");

// The kinds of token the walk must apply to the key. A key holding a word
// that is at its place in no planned key is looked up again only after a
// token changes that word; until then the walk passes tokens by unapplied.
// What they would have set beyond that place is emptied again before any
// lookup reads it: a reply's command line has one category, a body line
// starts after a line end, an item's value is followed by a line end.
uint32_t KindsToApply(const ReplyKey *key) {
    const uint32_t failing = ~key->passing & kAllKeyWords;
    return failing == 0 ? ~0u : kKindsChangingPlace.kinds[std::countr_zero(failing)];
}

uint32_t KeyHash(const ReplyKey *key) {
    uint32_t hashes[kReplyKeyWords];
    for (int w = 0; w < kReplyKeyWords; ++w) hashes[w] = key->words[w].hash;
    return KeyHashOf(hashes);
}

// Key words are compared byte for byte: exact and case-sensitive on every
// platform.
bool KeyMatches(const ReplyKeyRow *row, const ReplyKey *key) {
    for (int w = 0; w < kReplyKeyWords; ++w) {
        const char *word = row->words[w] != nullptr ? row->words[w] : "";
        const ReplyKeyWord &have = key->words[w];
        if (std::strncmp(word, have.text, have.length) != 0 || word[have.length] != '\0') return false;
    }
    return true;
}

// The same comparison against a key of the plan, whose word lengths are known.
bool PlanKeyMatches(const ReplyPlanKey *entry, const ReplyKey *key) {
    for (int w = 0; w < kReplyKeyWords; ++w) {
        const ReplyKeyWord &have = key->words[w];
        if (have.length != entry->lengths[w]) return false;
        if (have.length != 0 && std::memcmp(entry->words->words[w], have.text, have.length) != 0) return false;
    }
    return true;
}

// A handler's result only matters when memory ran out: a malformed value
// is the printer's and the walk goes on past it, but a record missing what
// the printer reported must not pass for the printer's state.
uint32_t HandlerOutcome(uint32_t result) {
    return result == ERROR_NOT_ENOUGH_MEMORY ? result : ERROR_SUCCESS;
}

// Every matching family row first, in table order, each with the first
// matching generic row as its fallback; then every matching generic row.
// 0, or ERROR_NOT_ENOUGH_MEMORY from the handler that stopped.
uint32_t KeySearchDispatch(PrnInfoEx *info, const ReplyKeyRow *familyTable, const ReplyKey *key,
                           PjlScanner *scanner) {
    const ReplyKeyRow *family = familyTable;
    const ReplyKeyRow *generic = GenericReplyTable;
    for (;;) {
        int32_t familyParameter = 0;
        int32_t genericParameter = 0;
        const ReplyKeyRow *f = KeyTableFind(family, key, &familyParameter);
        const ReplyKeyRow *g = KeyTableFind(generic, key, &genericParameter);
        uint32_t outcome = ERROR_SUCCESS;
        if (f != nullptr) {
            if (f->handler != nullptr) outcome = HandlerOutcome(f->handler(scanner, info, g, familyParameter));
            family = f + 1;
        } else if (g != nullptr) {
            if (g->handler != nullptr) outcome = HandlerOutcome(g->handler(scanner, info, g, genericParameter));
            generic = g + 1;
        } else {
            return ERROR_SUCCESS;
        }
        if (outcome != ERROR_SUCCESS) return outcome;
    }
}

// The same calls as KeySearchDispatch, read from the plan.
uint32_t KeyPlanDispatch(PrnInfoEx *info, const ReplyPlanIndex *plan, const ReplyKey *key, PjlScanner *scanner) {
    if (key->passing != kAllKeyWords) return ERROR_SUCCESS;  // some word is in no key at its place
    const uint32_t hash = KeyHash(key);
    for (uint32_t at = hash & plan->slotMask; plan->slots[at] >= 0; at = (at + 1) & plan->slotMask) {
        const ReplyPlanKey &entry = plan->keys[plan->slots[at]];
        if (entry.hash != hash || !PlanKeyMatches(&entry, key)) continue;
        for (const ReplyPlanStep *step = plan->steps + entry.first; step != plan->steps + entry.first + entry.count; ++step) {
            if (step->row->handler == nullptr) continue;
            const uint32_t outcome = HandlerOutcome(step->row->handler(scanner, info, step->fallback, step->row->parameter));
            if (outcome != ERROR_SUCCESS) return outcome;
        }
        return ERROR_SUCCESS;
    }
    return ERROR_SUCCESS;
}

// The coverage check compares category words of up to this many
// characters, and checks the query's category words against the answer in
// batches: one pass over the answer per batch keeps a long answer linear.
constexpr uint32_t kCoverageWordChars = 99;
constexpr int kCoverageBatch = 64;
struct CategoryWord {
    const char *text;  // in the query text
    uint32_t length;
};
constexpr uint32_t kBatchSlots = 2 * kCoverageBatch;  // a power of two
struct CategoryBatch {
    CategoryWord words[kCoverageBatch];
    uint32_t hashes[kCoverageBatch];
    bool decided[kCoverageBatch];
    bool present[kCoverageBatch];
    int count;
    int8_t slots[kBatchSlots];  // word numbers by WordHash, -1 for none
};

bool SameWord(const CategoryWord &word, const char *text, uint32_t length) {
    return word.length == length && std::memcmp(word.text, text, length) == 0;
}

void BatchClear(CategoryBatch *batch) {
    batch->count = 0;
    for (int8_t &slot : batch->slots) slot = -1;
}

// The number of the batch's word equal to the text, or -1.
int BatchFind(const CategoryBatch *batch, const char *text, uint32_t length, uint32_t hash) {
    for (uint32_t at = hash % kBatchSlots; batch->slots[at] >= 0; at = (at + 1) % kBatchSlots) {
        const int w = batch->slots[at];
        if (batch->hashes[w] == hash && SameWord(batch->words[w], text, length)) return w;
    }
    return -1;
}

// Adds a word the batch does not hold; false when the batch is full.
bool BatchAdd(CategoryBatch *batch, const char *text, uint32_t length, uint32_t hash) {
    if (batch->count == kCoverageBatch) return false;
    const int w = batch->count++;
    batch->words[w] = {text, length};
    batch->hashes[w] = hash;
    batch->decided[w] = false;
    batch->present[w] = false;
    uint32_t at = hash % kBatchSlots;
    while (batch->slots[at] >= 0) at = (at + 1) % kBatchSlots;
    batch->slots[at] = static_cast<int8_t>(w);
    return true;
}

// One pass over the answer: a category word is present when its first echo
// after a "@PJL" command has a form feed somewhere after it. A malformed
// reply does not hide the replies after it: the scanner goes on at the
// next "@PJL". The tokens are read in runs, straight into the log while it
// has room for a whole run.
void BatchFindReplies(CategoryBatch *batch, const char *answer, size_t answerLength, PjlTokenLog *log) {
    PjlScanner scanner;
    PjlScannerInit(&scanner, answer, answerLength);
    if (log != nullptr) {
        log->text = scanner.position;
        log->end = scanner.end;
    }
    const char *lastFormFeed = nullptr;
    for (const char *p = scanner.end; p > scanner.position;) {
        if (*--p == '\f') {
            lastFormFeed = p;
            break;
        }
    }
    static_assert(kPjlReadAhead <= 64, "a run's category words are marked in 64 bits");
    PjlLoggedToken unlogged[kPjlReadAhead];
    int undecided = batch->count;
    bool ended = false;
    while (undecided > 0 && !ended) {
        const bool logging = log != nullptr && log->count + kPjlReadAhead <= kPjlTokenLogSize;
        PjlLoggedToken *run = logging ? log->tokens + log->count : unlogged;
        uint64_t categories = 0;
        const uint32_t count = PjlScanTokens(&scanner, run, kPjlReadAhead, &categories);
        if (logging) {
            log->count += count;
            log->afterPosition = scanner.position;
            log->afterState = scanner.state;
        } else {
            log = nullptr;  // a log holds the tokens from the start of the text, without gaps
        }
        // A run ends with the end token, if it came.
        ended = run[count - 1].token.kind == PJL_TOK_END;
        for (; categories != 0; categories &= categories - 1) {
            const PjlToken &token = run[std::countr_zero(categories)].token;
            // The walk's position after the token: a form feed is never
            // skipped after one, so it stands at or after the token's end.
            const char *after = token.text + token.whole;
            const uint32_t length = PjlTokenCut(&token, kCoverageWordChars);
            const int w = BatchFind(batch, token.text, length, WordHash(token.text, length));
            if (w < 0 || batch->decided[w]) continue;
            batch->decided[w] = true;
            batch->present[w] = lastFormFeed != nullptr && lastFormFeed >= after;
            if (--undecided == 0) break;
        }
    }
}

// A node's data as a text bounded by the node.
const char *NodeText(const QueryNode *node, size_t *length) {
    uint32_t stored = 0;
    QueryNodeInfo(node, nullptr, &stored);
    *length = stored;
    return static_cast<const char *>(QueryNodeData(node, stored, QNODE_LEN_EXACT));
}

// Finds the first child of `parent` of `type`; true when there is one and
// it holds data.
bool HasNonEmptyFirst(const QueryNode *parent, int32_t type, const QueryNode **found) {
    *found = QueryNodeFindType(QueryNodeFirstChild(parent), type);
    uint32_t length = 0;
    QueryNodeInfo(*found, nullptr, &length);
    return *found != nullptr && length != 0;
}

}  // namespace

const ReplyKeyRow *KeyTableFind(const ReplyKeyRow *row, const ReplyKey *key, int32_t *parameter) {
    if (row == nullptr || key == nullptr) return nullptr;
    for (; row->words[0] != nullptr; ++row) {
        if (!KeyMatches(row, key)) continue;
        if (parameter != nullptr) *parameter = row->parameter;
        return row;
    }
    return nullptr;
}

uint32_t ReplyCoverageCheck(const char *query, size_t queryLength, const char *answer, size_t answerLength,
                            PjlTokenLog *log) {
    PjlScanner scanner;
    PjlScannerInit(&scanner, query, queryLength);
    PjlLoggedToken readAhead[kPjlReadAhead];
    PjlScannerReadAhead(&scanner, readAhead);
    PjlToken token;
    uint32_t result = PjlScanNext(&scanner, &token);
    if (result != 0) return result;

    CategoryBatch batch;
    for (;;) {
        // The query's category words in order, up to a malformed spot.
        BatchClear(&batch);
        uint32_t queryResult = 0;
        while (token.kind != PJL_TOK_END) {
            if (token.kind == PJL_TOK_CATEGORY) {
                const uint32_t length = PjlTokenCut(&token, kCoverageWordChars);
                const uint32_t hash = WordHash(token.text, length);
                // A full batch: the next batch starts with this word.
                if (BatchFind(&batch, token.text, length, hash) < 0 && !BatchAdd(&batch, token.text, length, hash)) break;
            }
            queryResult = PjlScanNext(&scanner, &token);
            if (queryResult != 0) break;
        }
        // Only the first pass over the answer is logged.
        if (batch.count != 0) BatchFindReplies(&batch, answer, answerLength, log);
        log = nullptr;
        for (int i = 0; i < batch.count; ++i) {
            if (!batch.present[i]) return PAT_ERROR_REPLY_MISSING;
        }
        if (queryResult != 0) return queryResult;
        if (token.kind == PJL_TOK_END) return ERROR_SUCCESS;
    }
}

uint32_t AnswerTreeCheck(const QueryNode *tree, PjlTokenLog *log) {
    if (!QueryNodeChainBounded(QueryNodeFirstChild(tree))) return ERROR_INVALID_DATA;
    const QueryNode *query = QueryNodeFindType(QueryNodeFirstChild(tree), QNODE_QUERY_ROOT);
    if (query == nullptr) return ERROR_SUCCESS;
    if (!QueryNodeChainBounded(QueryNodeFirstChild(query))) return ERROR_INVALID_DATA;

    const QueryNode *found = nullptr;
    if (QueryNodeFindType(QueryNodeFirstChild(query), QNODE_DEVICE_ID) != nullptr &&
        !HasNonEmptyFirst(tree, QNODE_DEVICE_ID, &found)) {
        return PAT_ERROR_REPLY_MISSING;
    }
    const QueryNode *asked = QueryNodeFindType(QueryNodeFirstChild(query), QNODE_PJL_TEXT);
    if (asked == nullptr) return ERROR_SUCCESS;
    const QueryNode *replies = nullptr;
    if (!HasNonEmptyFirst(tree, QNODE_PJL_TEXT, &replies)) return PAT_ERROR_REPLY_MISSING;

    size_t queryLength = 0;
    size_t answerLength = 0;
    const char *queryText = NodeText(asked, &queryLength);
    const char *answerText = NodeText(replies, &answerLength);
    return ReplyCoverageCheck(queryText, queryLength, answerText, answerLength, log);
}

uint32_t ReplyDispatch(PrnInfoEx *info, const ReplyKeyRow *familyTable, const char *text, size_t length,
                       const PjlTokenLog *log) {
    const ReplyPlanIndex *plan =
        familyTable == FamilyReplyPlan.family && GenericReplyTable == FamilyReplyPlan.generic ? &FamilyReplyPlan : nullptr;
    ReplyKey key;
    KeyClear(&key, plan);
    PjlScanner scanner;
    PjlScannerInit(&scanner, text, length);
    PjlScannerReplay(&scanner, log);
    PjlLoggedToken readAhead[kPjlReadAhead];
    PjlScannerReadAhead(&scanner, readAhead);
    uint32_t walk = ERROR_SUCCESS;
    uint32_t applied = ~0u;  // the kinds of token applied to the key now
    PjlToken token;
    for (;;) {
        const uint32_t result = PjlScanNext(&scanner, &token);
        if (result != 0) walk = result;
        if (token.kind == PJL_TOK_END) break;
        // A malformed reply: the scanner is back looking for the next "@PJL",
        // and the next command word starts a fresh key.
        if (result != 0 || ((applied >> (token.kind & 31)) & 1) == 0) continue;
        if (KeyUpdate(&key, &token, plan)) {
            const uint32_t handled = plan != nullptr ? KeyPlanDispatch(info, plan, &key, &scanner)
                                                     : KeySearchDispatch(info, familyTable, &key, &scanner);
            if (handled != ERROR_SUCCESS) return handled;
        }
        applied = KindsToApply(&key);
    }
    return walk;
}

}  // namespace patprn

extern "C" BOOL WINAPI PatSetCentroDataTo(QueryNode *tree, DWORD /*reserved*/, PrnInfoEx *info, DWORD revision) {
    using namespace patprn;
    int32_t rootType = 0;
    if (tree == nullptr || info == nullptr || !RevisionMatches(revision, PAT_REVISION_PJL) ||
        !QueryNodeInfo(tree, &rootType, nullptr) ||
        (rootType != QNODE_ANSWER_ROOT && rootType != QNODE_EMUL_ANSWER_ROOT)) {
        return ExportResult(ERROR_INVALID_PARAMETER);
    }
    if (!HostRecordSizeAtLeast(info, PAT_PRNINFOEX_MIN_SIZE)) return ExportResult(ERROR_INVALID_PARAMETER);
    // The coverage check's tokens of the replies, replayed by their
    // interpretation: the text is read once.
    static_assert(sizeof(PjlTokenLog) <= 48 * 1024, "the token log lives on the stack");
    PjlTokenLog log;
    PjlTokenLogInit(&log);
    const uint32_t check = AnswerTreeCheck(tree, &log);
    if (check != 0) return ExportResult(check);
    if (rootType == QNODE_EMUL_ANSWER_ROOT) {
        uint32_t kind = 0;
        if (!QueryNodeCopyData(tree, &kind, sizeof kind, QNODE_LEN_EXACT) || kind != PAT_EMUL_QUERY_TOLV) {
            return ExportResult(ERROR_INVALID_PARAMETER);
        }
    }

    for (const QueryNode *child = QueryNodeFirstChild(tree); child != nullptr; child = QueryNodeNextSibling(child)) {
        int32_t type = 0;
        uint32_t length = 0;
        QueryNodeInfo(child, &type, &length);
        if (type != QNODE_PJL_TEXT && type != QNODE_DEVICE_ID) continue;
        if (length == 0) return ExportResult(ERROR_INVALID_PARAMETER);
        const auto *text = static_cast<const char *>(QueryNodeData(child, length, QNODE_LEN_EXACT));
        if (type == QNODE_PJL_TEXT) {
            // A malformed reply is not a failure; running out of memory is.
            const uint32_t walked = ReplyDispatch(info, FamilyReplyTable, text, length, &log);
            if (walked == ERROR_NOT_ENOUGH_MEMORY) return ExportResult(walked);
        } else {
            const uint32_t parsed = DeviceIdParse(text, length, info);
            if (parsed != 0) return ExportResult(parsed);
        }
    }
    return ExportResult(ERROR_SUCCESS);
}
