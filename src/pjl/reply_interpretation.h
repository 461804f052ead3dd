// Interpretation of the printer's PJL replies: the answer-tree check, the
// check that every reply asked for came back, and the walk that hands each
// recognised reply key to its handler.
#pragma once

#include "pjl/pjl_scanner.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace patprn {

struct ReplyKeyRow;

// Reads what it needs of one reply key from `scanner` (positioned just after
// the token that completed the key) into `info`. `fallback` is the generic
// row matched by the same key, whose handler stands behind this one, or null
// (no handler of this system uses it). Returns 0 or an error code; the walk
// goes on after any code but ERROR_NOT_ENOUGH_MEMORY, which ends it.
using ReplyHandler = uint32_t (*)(PjlScanner *scanner, PrnInfoEx *info, const ReplyKeyRow *fallback,
                                  int32_t parameter);

// A reply key of up to five words (unused trailing words are "") and what
// to do with it. A table ends with a row whose first word is null.
constexpr int kReplyKeyWords = 5;
struct ReplyKeyRow {
    const char *words[kReplyKeyWords];
    ReplyHandler handler;
    int32_t parameter;  // a tray, bin or device code
};

// The key being read: command word, category word, body heading, item word,
// item value, each the characters of a token in the reply text (at most
// kPjlTokenChars) and the hash of those characters, kept up to date as the
// words change.
struct ReplyKeyWord {
    const char *text;
    uint32_t length;
    uint32_t hash;
};
struct ReplyKey {
    ReplyKeyWord words[kReplyKeyWords];
    uint32_t passing;  // with a plan: bit w set when word w passes the plan's filter of that word
    uint32_t set;      // bit w set when word w was set since it was last emptied
};

// A word's hash from its length and its first and last characters (at
// most eight of each): words are short, and a hit is confirmed by comparing
// the words. The same hash is computed at compile time for the tables and
// at run time for the replies.
static_assert(std::endian::native == std::endian::little, "word hashes read characters as little-endian numbers");
namespace hash_detail {
// `count` (at most 8) characters from `text` as a little-endian number.
constexpr uint64_t Load(const char *text, uint32_t count) {
    uint64_t value = 0;
    if (std::is_constant_evaluated()) {
        for (uint32_t i = 0; i < count; ++i) value |= static_cast<uint64_t>(static_cast<uint8_t>(text[i])) << (8 * i);
    } else {
        std::memcpy(&value, text, count);
    }
    return value;
}
}  // namespace hash_detail
constexpr uint32_t WordHash(const char *text, uint32_t length) {
    using hash_detail::Load;
    uint64_t head = 0;
    uint64_t tail = 0;
    if (length >= 8) {
        head = Load(text, 8);
        tail = Load(text + length - 8, 8);
    } else if (length >= 4) {
        head = Load(text, 4);
        tail = Load(text + length - 4, 4);
    } else if (length > 0) {
        head = static_cast<uint8_t>(text[0]) | static_cast<uint64_t>(static_cast<uint8_t>(text[length / 2])) << 8 |
               static_cast<uint64_t>(static_cast<uint8_t>(text[length - 1])) << 16;
    }
    const uint64_t mixed = (head ^ (tail * 0x9E3779B97F4A7C15u) ^ length) * 0xBF58476D1CE4E5B9u;
    return static_cast<uint32_t>(mixed >> 32) ^ static_cast<uint32_t>(mixed);
}
// The hash of a key: each word's hash times a factor of its place, summed
// (the five products do not wait for each other).
constexpr uint32_t kKeyWordFactors[kReplyKeyWords] = {0x9E3779B1u, 0x85EBCA77u, 0xC2B2AE3Du, 0x27D4EB2Fu, 0x165667B1u};
constexpr uint32_t KeyHashOf(const uint32_t (&wordHashes)[kReplyKeyWords]) {
    uint32_t sum = 0;
    for (int w = 0; w < kReplyKeyWords; ++w) sum += wordHashes[w] * kKeyWordFactors[w];
    return sum ^ (sum >> 16);
}

// A filter of the words a plan's keys hold at one place: a bit for each
// word hash's filter position. A word whose bit is clear is at that place
// in no key, so a key holding it needs no lookup.
constexpr uint32_t kWordFilterBits = 256;
struct WordFilter {
    uint64_t bits[kWordFilterBits / 64] = {};
};
constexpr uint32_t WordFilterPosition(uint32_t wordHash) { return (wordHash >> 8) % kWordFilterBits; }
constexpr bool WordFilterHolds(const WordFilter &filter, uint32_t wordHash) {
    const uint32_t at = WordFilterPosition(wordHash);
    return ((filter.bits[at / 64] >> (at % 64)) & 1u) != 0;
}
constexpr uint32_t kAllKeyWords = (1u << kReplyKeyWords) - 1;

// The first row at or after `row` whose five words equal the key's five
// words exactly (an empty row word matches only an empty key word); stores
// its parameter. Null at the end row.
const ReplyKeyRow *KeyTableFind(const ReplyKeyRow *row, const ReplyKey *key, int32_t *parameter);

// ---- The dispatch plan of a family table and the generic table ----
// For every distinct key of the two tables, the handlers the key calls, in
// the order a search of the tables would call them: every matching family
// row with the first matching generic row as its fallback, then every
// matching generic row with itself as fallback. Found by the key's hash;
// the words are compared only on a hit.

struct ReplyPlanStep {
    const ReplyKeyRow *row = nullptr;       // whose handler and parameter are used
    const ReplyKeyRow *fallback = nullptr;  // passed to the handler
};
struct ReplyPlanKey {
    const ReplyKeyRow *words = nullptr;  // a row holding the key's words
    uint8_t lengths[kReplyKeyWords] = {};  // of those words
    uint32_t hash = 0;
    uint16_t first = 0;  // its steps
    uint16_t count = 0;
};
// What the dispatch reads; `family` and `generic` name the tables the plan
// was built for.
struct ReplyPlanIndex {
    const ReplyKeyRow *family;
    const ReplyKeyRow *generic;
    const ReplyPlanKey *keys;
    const ReplyPlanStep *steps;
    const int16_t *slots;  // key numbers by hash, -1 for none; a power of two long
    uint32_t slotMask;
    const WordFilter *filters;  // of each place's words
    uint32_t emptyPassing;      // the places where some key has an empty word
};

namespace plan_detail {
constexpr uint32_t Length(const char *word) {
    uint32_t n = 0;
    while (word != nullptr && word[n] != '\0') ++n;
    return n;
}
constexpr bool SameWords(const ReplyKeyRow &a, const ReplyKeyRow &b) {
    for (int w = 0; w < kReplyKeyWords; ++w) {
        const uint32_t n = Length(a.words[w]);
        if (n != Length(b.words[w])) return false;
        for (uint32_t i = 0; i < n; ++i) {
            if (a.words[w][i] != b.words[w][i]) return false;
        }
    }
    return true;
}
constexpr uint32_t RowWordHash(const ReplyKeyRow &row, int w) {
    return WordHash(row.words[w] != nullptr ? row.words[w] : "", Length(row.words[w]));
}
constexpr uint32_t RowHash(const ReplyKeyRow &row) {
    uint32_t hashes[kReplyKeyWords] = {};
    for (int w = 0; w < kReplyKeyWords; ++w) hashes[w] = RowWordHash(row, w);
    return KeyHashOf(hashes);
}
constexpr size_t SlotCount(size_t rows) {
    size_t n = 1;
    while (n < 2 * rows) n *= 2;
    return n;
}
}  // namespace plan_detail

// The plan of `family` and `generic`, which hold `Rows` rows together
// (end rows not counted). Built at compile time.
template <size_t Rows>
struct ReplyPlan {
    ReplyPlanKey keys[Rows];
    ReplyPlanStep steps[Rows];
    int16_t slots[plan_detail::SlotCount(Rows)] = {};
    size_t keyCount = 0;
    WordFilter filters[kReplyKeyWords] = {};
    uint32_t emptyPassing = 0;

    constexpr ReplyPlan(const ReplyKeyRow *family, const ReplyKeyRow *generic)
        : keys(), steps(), slots(), keyCount(0), filters(), emptyPassing(0) {
        using namespace plan_detail;
        const ReplyKeyRow *tables[2] = {family, generic};
        for (const ReplyKeyRow *table : tables) {
            for (const ReplyKeyRow *row = table; row->words[0] != nullptr; ++row) {
                bool known = false;
                for (size_t k = 0; k < keyCount && !known; ++k) known = SameWords(*keys[k].words, *row);
                if (known) continue;
                ReplyPlanKey &key = keys[keyCount++];
                key.words = row;
                for (int w = 0; w < kReplyKeyWords; ++w) key.lengths[w] = static_cast<uint8_t>(Length(row->words[w]));
                key.hash = RowHash(*row);
                for (int w = 0; w < kReplyKeyWords; ++w) {
                    const uint32_t at = WordFilterPosition(RowWordHash(*row, w));
                    filters[w].bits[at / 64] |= uint64_t{1} << (at % 64);
                    if (key.lengths[w] == 0) emptyPassing |= 1u << w;
                }
            }
        }
        uint16_t step = 0;
        for (size_t k = 0; k < keyCount; ++k) {
            const ReplyKeyRow *fallback = nullptr;
            for (const ReplyKeyRow *g = generic; g->words[0] != nullptr && fallback == nullptr; ++g) {
                if (SameWords(*g, *keys[k].words)) fallback = g;
            }
            keys[k].first = step;
            for (const ReplyKeyRow *f = family; f->words[0] != nullptr; ++f) {
                if (SameWords(*f, *keys[k].words)) steps[step++] = {f, fallback};
            }
            for (const ReplyKeyRow *g = generic; g->words[0] != nullptr; ++g) {
                if (SameWords(*g, *keys[k].words)) steps[step++] = {g, g};
            }
            keys[k].count = static_cast<uint16_t>(step - keys[k].first);
        }
        const size_t mask = SlotCount(Rows) - 1;
        for (int16_t &slot : slots) slot = -1;
        for (size_t k = 0; k < keyCount; ++k) {
            size_t at = keys[k].hash & mask;
            while (slots[at] >= 0) at = (at + 1) & mask;
            slots[at] = static_cast<int16_t>(k);
        }
    }
    constexpr ReplyPlanIndex Index(const ReplyKeyRow *family, const ReplyKeyRow *generic) const {
        return {family, generic, keys, steps, slots, static_cast<uint32_t>(plan_detail::SlotCount(Rows) - 1), filters,
                emptyPassing};
    }
};

// Checks that the answer tree holds a reply for everything its attached
// query asked: 0, ERROR_INVALID_PARAMETER, ERROR_INVALID_DATA (the query
// text is malformed, or a child chain of the tree or of its query runs past
// kQueryChainLimit nodes) or PAT_ERROR_REPLY_MISSING.
// `log`, when not null, receives the tokens of the replies node as the
// check read them.
uint32_t AnswerTreeCheck(const QueryNode *tree, PjlTokenLog *log = nullptr);

// Every category word of the query text (CONFIG, INTRAY1SIZE, ...) must
// have been echoed after a "@PJL" somewhere in the answer, with a form feed
// somewhere after it. 0, ERROR_INVALID_DATA or PAT_ERROR_REPLY_MISSING.
// Each text ends at its first zero or at its length.
// The answer's tokens that the first pass over it read go to `log` when it
// is not null.
uint32_t ReplyCoverageCheck(const char *query, size_t queryLength, const char *answer, size_t answerLength,
                            PjlTokenLog *log = nullptr);

// Walks one reply text and calls the handlers of every key it meets: rows
// of `familyTable` first, then rows of the generic table. Returns 0,
// ERROR_INVALID_DATA when some reply of the text was malformed (the walk
// has then gone on with the next "@PJL"), or ERROR_NOT_ENOUGH_MEMORY when a
// handler could not store what it read (the walk stops there; what was
// stored before stays).
// A family table with a plan (FamilyReplyTable) is dispatched through it;
// any other table by searching the rows.
// The walk hands out the tokens of `log` first when it logged this text.
uint32_t ReplyDispatch(PrnInfoEx *info, const ReplyKeyRow *familyTable, const char *text, size_t length,
                       const PjlTokenLog *log = nullptr);

}  // namespace patprn
