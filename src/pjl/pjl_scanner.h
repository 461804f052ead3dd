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

// A token as a walk read it, with the result of its step.
struct PjlLoggedToken {
    PjlToken token;
    uint32_t result;
};

// How many tokens a walk with a read-ahead buffer reads at a time.
constexpr uint32_t kPjlReadAhead = 64;

// One walk over one text. The text ends at its first zero byte or at the
// length it was given, whichever comes first: a host's node whose text has
// no terminator is read no further than the node.
// A walk may hand out tokens read before (a log of an earlier walk of the
// same text, or its own read-ahead) before it reads on at `position`.
struct PjlScanner {
    const char *position;  // next character to read
    const char *end;       // first character past the text
    PjlState state;
    const PjlLoggedToken *ahead;  // tokens read but not handed out yet: ahead[aheadNext..aheadCount)
    uint32_t aheadCount;
    uint32_t aheadNext;
    PjlLoggedToken *readAhead;  // kPjlReadAhead tokens of room to read into, or null: one token at a time
};

// The tokens one walk read from the start of a text, so that a second walk
// of the same text hands them out again instead of reading it twice. A log
// holds the first tokens of the text, up to kPjlTokenLogSize; the replaying
// walk goes on reading the text where the logged walk stood after its last
// logged token.
constexpr uint32_t kPjlTokenLogSize = 16 * kPjlReadAhead;
struct PjlTokenLog {
    const char *text;  // the text and its end as the logged walk saw them; null: nothing logged
    const char *end;
    uint32_t count;
    const char *afterPosition;  // the logged walk after its last logged token
    PjlState afterState;
    PjlLoggedToken tokens[kPjlTokenLogSize];
};

// Starts an empty log.
void PjlTokenLogInit(PjlTokenLog *log);

// Makes a walk just started at the logged text's beginning hand out the
// logged tokens first. A log of another text is ignored.
void PjlScannerReplay(PjlScanner *scanner, const PjlTokenLog *log);

// Lets the walk read kPjlReadAhead tokens at a time into `buffer` (which
// outlives the walk) whenever it has handed out all it read: the same
// tokens, read faster.
void PjlScannerReadAhead(PjlScanner *scanner, PjlLoggedToken *buffer);

// Starts a walk at the beginning of `text` (at most `length` bytes),
// looking for "@PJL".
void PjlScannerInit(PjlScanner *scanner, const char *text, size_t length);

// Reads the next tokens of the walk into `tokens`: at most `capacity`, the
// end token being the last. Returns how many; each comes with the result
// PjlScanNext would have given. With `categories`, at most 64 are read
// and bit i of *categories is set when token i is a category word read
// without error (what the coverage check looks for).
uint32_t PjlScanTokens(PjlScanner *scanner, PjlLoggedToken *tokens, uint32_t capacity, uint64_t *categories = nullptr);

// One step of the reply state machine: delivers the next token and its kind.
// Returns 0, or ERROR_INVALID_DATA (13) when the text does not follow the
// reply structure here; the scanner then looks for the next "@PJL". The
// token is delivered in both cases.
// A token read before is handed out here; reading is out of line.
uint32_t PjlScanRead(PjlScanner *scanner, PjlToken *token);
inline uint32_t PjlScanNext(PjlScanner *scanner, PjlToken *token) {
    if (scanner->aheadNext < scanner->aheadCount) {
        const PjlLoggedToken &read = scanner->ahead[scanner->aheadNext++];
        *token = read.token;
        return read.result;
    }
    return PjlScanRead(scanner, token);
}

// The token's first `cut` characters without the blanks that then end it.
uint32_t PjlTokenCut(const PjlToken *token, uint32_t cut);

// Copies the token into `buffer`, zero-terminated: at most size - 1 of its
// `length` characters.
void PjlTokenCopy(const PjlToken *token, char *buffer, uint32_t size);

// Decimal value of a zero-terminated text's leading digits (0 if none).
// Wraps modulo 2^64 on absurdly long digit runs instead of overflowing.
uint64_t PjlNumber(const char *text);

}  // namespace patprn
