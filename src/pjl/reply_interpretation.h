// Interpretation of the printer's PJL replies: the answer-tree check, the
// check that every reply asked for came back, and the walk that hands each
// recognised reply key to its handler.
#pragma once

#include "pjl/pjl_scanner.h"

#include <cstddef>
#include <cstdint>

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
// item value. Tokens are at most 32 characters, so each word fits.
constexpr uint32_t kReplyKeyWordSize = 40;
struct ReplyKey {
    char words[kReplyKeyWords][kReplyKeyWordSize];
};

// The first row at or after `row` whose five words equal the key's five
// words exactly (an empty row word matches only an empty key word); stores
// its parameter. Null at the end row.
const ReplyKeyRow *KeyTableFind(const ReplyKeyRow *row, const ReplyKey *key, int32_t *parameter);

// Checks that the answer tree holds a reply for everything its attached
// query asked: 0, ERROR_INVALID_PARAMETER, ERROR_INVALID_DATA (the query
// text is malformed, or a child chain of the tree or of its query runs past
// kQueryChainLimit nodes) or PAT_ERROR_REPLY_MISSING.
uint32_t AnswerTreeCheck(const QueryNode *tree);

// Every category word of the query text (CONFIG, INTRAY1SIZE, ...) must
// have been echoed after a "@PJL" somewhere in the answer, with a form feed
// somewhere after it. 0, ERROR_INVALID_DATA or PAT_ERROR_REPLY_MISSING.
// Each text ends at its first zero or at its length.
uint32_t ReplyCoverageCheck(const char *query, size_t queryLength, const char *answer, size_t answerLength);

// Walks one reply text and calls the handlers of every key it meets: rows
// of `familyTable` first, then rows of the generic table. Returns 0,
// ERROR_INVALID_DATA when some reply of the text was malformed (the walk
// has then gone on with the next "@PJL"), or ERROR_NOT_ENOUGH_MEMORY when a
// handler could not store what it read (the walk stops there; what was
// stored before stays).
uint32_t ReplyDispatch(PrnInfoEx *info, const ReplyKeyRow *familyTable, const char *text, size_t length);

}  // namespace patprn
