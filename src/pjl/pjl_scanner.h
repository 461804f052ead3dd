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

// One walk over one text. The text ends at its first zero byte or at the
// length it was given, whichever comes first: a host's node whose text has
// no terminator is read no further than the node.
struct PjlScanner {
    const char *position;  // next character to read
    const char *end;       // first character past the text
    int32_t state;         // 1 to 14, see PjlScanNext
};

// Starts a walk at the beginning of `text` (at most `length` bytes), in
// state 1 (looking for "@PJL").
void PjlScannerInit(PjlScanner *scanner, const char *text, size_t length);

// Reads one token at the position into `buffer` (cut to size - 1
// characters, zero-terminated, trailing blanks removed) and returns its
// kind: the four control characters LF, TAB, FF and the end carry their
// own kinds, every word or quoted token takes `expected`.
int32_t PjlScanToken(PjlScanner *scanner, char *buffer, uint32_t size, int32_t expected);

// One step of the reply state machine: delivers the next token and its kind.
// Returns 0, or ERROR_INVALID_DATA (13) when the text does not follow the
// reply structure here; the scanner is then back in state 1 and looks for
// the next "@PJL". The token and kind are delivered in both cases.
uint32_t PjlScanNext(PjlScanner *scanner, char *buffer, uint32_t size, int32_t *kind);

// Decimal value of the leading digits of `text`, 0 if there are none.
// Wraps modulo 2^64 on absurdly long digit runs instead of overflowing.
uint64_t PjlNumber(const char *text);

}  // namespace patprn
