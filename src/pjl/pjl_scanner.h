// The reply tokenizer: walks the printer's PJL replies (and the library's
// own query text) one token at a time and labels every token with the place
// in the reply structure where it stood.
#pragma once

#include "patprn/patprn.h"

#include <cstddef>
#include <cstdint>

namespace patprn {

// Token kinds, delivered with every token.
enum PjlTokenKind : int32_t {
    PJL_TOK_PREFIX = 1,           // "@PJL", the start of a command line
    PJL_TOK_COMMAND = 2,          // the command word: INFO, INQUIRE
    PJL_TOK_EOL = 3,              // end of line; also a word read where a line end is expected
    PJL_TOK_CATEGORY = 4,         // the word after the command: CONFIG, INTRAY1SIZE
    PJL_TOK_LABEL = 5,            // a command-line word followed by ":"
    PJL_TOK_LABEL_VALUE = 6,      // the word after that ":"
    PJL_TOK_ASSIGN_VALUE = 7,     // the value after "=" on the command line
    PJL_TOK_HEADING = 8,          // first word group of a body line, inner blanks kept ("IN TRAYS")
    PJL_TOK_HEADING_VALUE = 9,    // the value after "=" on a body line
    PJL_TOK_BRACKET_FIRST = 10,   // first word inside "[ ]": the count of "[3 ENUMERATED]"
    PJL_TOK_BRACKET_WORD = 11,    // each further word inside the brackets
    PJL_TOK_ITEM = 12,            // the word after the tab of an item line
    PJL_TOK_ITEM_VALUE = 13,      // the value of an item line
    PJL_TOK_FORMFEED = 14,        // form feed: the end of one reply
    PJL_TOK_TAB = 15,             // the tab that opens an item line
    PJL_TOK_END = 255,            // the end of the text
};

// The states of the reply machine, in the order a reply passes them: a
// command line, its body lines, the item lines under a body line.
enum class PjlState : uint8_t {
    FindPrefix = 1,     // looking for the next "@PJL"
    Command,            // the command word
    Arguments,          // the words after it: category, labels, "="
    LabelValue,         // the word after a ":"
    AssignValue,        // the value after a command-line "="
    CommandEnd,         // the end of the command line
    Body,               // a body line's heading
    BodyValue,          // the value after a body line's "="
    BracketFirst,       // the first word inside "[ ]"
    BracketWords,       // further words inside "[ ]"
    BodyEnd,            // the end of a body line
    ItemOrEnd,          // an item line's tab, or the form feed ending the reply
    Item,               // the item word
    ItemValue,          // the item's value
};

// Tokens are cut to this many characters (then blanks at the cut end are
// dropped): reply words and values are no longer.
constexpr uint32_t kPjlTokenChars = 32;

// One token: its characters in the text (or in constant storage for "@PJL"
// and the end), never zero-terminated. `length` is cut to kPjlTokenChars
// and has no trailing blanks; `whole` is the uncut length as read.
struct PjlToken {
    const char *text;
    uint32_t length;
    uint32_t whole;
    PjlTokenKind kind;
};

struct PjlTokenLog;

// One walk over one text. The text ends at its first zero byte or at the
// length it was given, whichever comes first: a host's node whose text has
// no terminator is read no further than the node.
struct PjlScanner {
    const char *position;  // next character to read
    const char *end;       // first character past the text
    PjlState state;
    const PjlTokenLog *replay;  // tokens handed out before reading the text, or null
    uint32_t replayed;          // how many of them were handed out
};

// The tokens one walk read from the start of a text, so that a second walk
// of the same text hands them out again instead of reading it twice. A
// log holds the first kPjlTokenLogSize tokens; the replaying walk goes on
// reading the text where the logged walk stood after its last token.
constexpr uint32_t kPjlTokenLogSize = 1024;
struct PjlLoggedToken {
    PjlToken token;
    uint32_t result;
};
struct PjlTokenLog {
    const char *text;  // the text and its end as the logged walk saw them; null: nothing logged
    const char *end;
    uint32_t count;
    PjlScanner after;  // the walk after its last logged token
    PjlLoggedToken tokens[kPjlTokenLogSize];
};

// Starts an empty log.
void PjlTokenLogInit(PjlTokenLog *log);
// Logs a token that `scanner` (which walks the whole text from its start)
// just delivered with `result`; tokens beyond the log's size are not kept.
inline void PjlTokenLogAdd(PjlTokenLog *log, const PjlScanner *scanner, const PjlToken *token, uint32_t result) {
    if (log->count == kPjlTokenLogSize) return;
    log->tokens[log->count++] = {*token, result};
    if (log->count == kPjlTokenLogSize) log->after = *scanner;
}
// Ends the logging walk at the position of `scanner`.
inline void PjlTokenLogClose(PjlTokenLog *log, const PjlScanner *scanner) {
    if (log->count < kPjlTokenLogSize) log->after = *scanner;
}

// Makes a walk just started at the logged text's beginning hand out the
// logged tokens first. A log of another text is ignored.
void PjlScannerReplay(PjlScanner *scanner, const PjlTokenLog *log);

// Starts a walk at the beginning of `text` (at most `length` bytes),
// looking for "@PJL".
void PjlScannerInit(PjlScanner *scanner, const char *text, size_t length);

// One step of the reply state machine: delivers the next token and its kind.
// Returns 0, or ERROR_INVALID_DATA (13) when the text does not follow the
// reply structure here; the scanner then looks for the next "@PJL". The
// token is delivered in both cases.
uint32_t PjlScanNext(PjlScanner *scanner, PjlToken *token);

// The token's first `cut` characters without the blanks that then end it.
uint32_t PjlTokenCut(const PjlToken *token, uint32_t cut);

// Copies the token into `buffer`, zero-terminated: at most size - 1 of its
// `length` characters.
void PjlTokenCopy(const PjlToken *token, char *buffer, uint32_t size);

// True when the token's characters are exactly `word`.
bool PjlTokenIs(const PjlToken *token, const char *word);

// Decimal value of the token's leading digits (0 if none), or of a
// zero-terminated text's. Wraps modulo 2^64 on absurdly long digit runs
// instead of overflowing.
uint64_t PjlTokenNumber(const PjlToken *token);
uint64_t PjlNumber(const char *text);

}  // namespace patprn
