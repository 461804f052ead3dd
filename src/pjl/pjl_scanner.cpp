#include "pjl/pjl_scanner.h"

#include "platform/win32.h"

#include <cstring>

namespace patprn {

namespace {

constexpr char kBlank = ' ';
constexpr char kCr = '\r';
constexpr char kLf = '\n';
constexpr char kTab = '\t';
constexpr char kFf = '\f';
constexpr char kEsc = '\x1B';
constexpr char kPrefix[] = "@PJL";
constexpr size_t kPrefixLength = sizeof kPrefix - 1;

// The character at the position; the end of the text reads as a zero.
char Current(const PjlScanner *s) { return s->position < s->end ? *s->position : '\0'; }

// Steps past one character, never past the end.
void Consume(PjlScanner *s) {
    if (s->position < s->end) ++s->position;
}

void SkipBlanksAndCrs(PjlScanner *s) {
    while (s->position < s->end && (*s->position == kBlank || *s->position == kCr)) ++s->position;
}

void ConsumeAndSkip(PjlScanner *s) {
    Consume(s);
    SkipBlanksAndCrs(s);
}

// Copies `count` characters into the caller's buffer, cut to size - 1,
// zero-terminated, without trailing blanks.
void TokenCopy(char *buffer, uint32_t size, const char *begin, size_t count) {
    if (buffer == nullptr || size == 0) return;
    if (count > size - 1) count = size - 1;
    if (count != 0) std::memcpy(buffer, begin, count);
    while (count > 0 && buffer[count - 1] == kBlank) --count;
    buffer[count] = '\0';
}

// Characters that end a word. Blanks end it too, except in a body heading,
// where they belong to it ("IN TRAYS").
bool EndsWord(char c, bool blanksBelong) {
    switch (c) {
        case '\0':
        case kCr:
        case kLf:
        case '=':
        case ':':
        case '[':
        case ']': return true;
        case kBlank: return !blanksBelong;
        default: return false;
    }
}

// State 1: find the next "@PJL" from the position. Linear: every character
// is looked at a bounded number of times.
bool FindPrefix(PjlScanner *s) {
    const char *p = s->position;
    while (static_cast<size_t>(s->end - p) >= kPrefixLength) {
        const void *at = std::memchr(p, kPrefix[0], static_cast<size_t>(s->end - p) - (kPrefixLength - 1));
        if (at == nullptr) break;
        p = static_cast<const char *>(at);
        if (std::memcmp(p, kPrefix, kPrefixLength) == 0) {
            s->position = p + kPrefixLength;
            SkipBlanksAndCrs(s);
            return true;
        }
        ++p;
    }
    s->position = s->end;
    return false;
}

}  // namespace

void PjlScannerInit(PjlScanner *scanner, const char *text, size_t length) {
    if (text == nullptr) length = 0;
    const void *zero = length != 0 ? std::memchr(text, '\0', length) : nullptr;
    scanner->position = text;
    scanner->end = zero != nullptr ? static_cast<const char *>(zero) : text + length;
    scanner->state = 1;
}

int32_t PjlScanToken(PjlScanner *s, char *buffer, uint32_t size, int32_t expected) {
    const char c = Current(s);
    int32_t kind = expected;
    bool control = true;
    switch (c) {
        case kLf: kind = PJL_TOK_EOL; break;
        case kTab: kind = PJL_TOK_TAB; break;
        case kFf: kind = PJL_TOK_FORMFEED; break;
        case '\0': kind = PJL_TOK_END; break;
        default: control = false; break;
    }
    if (control) {
        // A control character is a token of its own; the end stays the end.
        TokenCopy(buffer, size, s->position, c == '\0' ? 0 : 1);
        Consume(s);
    } else if (c == '"') {
        // Everything up to the closing quote, line ends included.
        const char *begin = s->position + 1;
        const char *close = begin;
        while (close < s->end && *close != '"') ++close;
        TokenCopy(buffer, size, begin, static_cast<size_t>(close - begin));
        s->position = close;
        Consume(s);
    } else {
        const bool blanksBelong = expected == PJL_TOK_HEADING;
        const char *begin = s->position;
        while (!EndsWord(Current(s), blanksBelong)) ++s->position;
        TokenCopy(buffer, size, begin, static_cast<size_t>(s->position - begin));
    }
    SkipBlanksAndCrs(s);
    return kind;
}

uint32_t PjlScanNext(PjlScanner *s, char *buffer, uint32_t size, int32_t *kind) {
    if (s->state < 1 || s->state > 14) s->state = 1;  // not a state of the machine: start over
    const char *before = s->position;
    const int32_t state = s->state;
    int32_t next = state;
    int32_t k = PJL_TOK_END;
    bool error = false;

    // One case per state of the reply structure; each reads one token with
    // the kind the state expects and chooses the next state by the kind and
    // by the character after the token.
    switch (state) {
        default:
        case 1:  // look for a command line
            if (FindPrefix(s)) {
                TokenCopy(buffer, size, kPrefix, kPrefixLength);
                k = PJL_TOK_PREFIX;
                next = 2;
            } else {
                TokenCopy(buffer, size, "", 0);
                k = PJL_TOK_END;
            }
            break;
        case 2:  // command word
            k = PjlScanToken(s, buffer, size, PJL_TOK_COMMAND);
            next = k == PJL_TOK_EOL ? 1 : 3;  // an empty "@PJL" line
            break;
        case 3:  // command arguments
            k = PjlScanToken(s, buffer, size, PJL_TOK_CATEGORY);
            if (k == PJL_TOK_EOL) {
                next = 1;
            } else if (Current(s) == ':') {
                ConsumeAndSkip(s);
                k = PJL_TOK_LABEL;
                next = 4;
            } else if (Current(s) == '=') {
                ConsumeAndSkip(s);
                next = 5;
            } else {
                next = 6;
            }
            break;
        case 4:  // word after a colon
            k = PjlScanToken(s, buffer, size, PJL_TOK_LABEL_VALUE);
            if (k == PJL_TOK_LABEL_VALUE) next = 3;
            else error = true;
            break;
        case 5:  // value after "="
            k = PjlScanToken(s, buffer, size, PJL_TOK_ASSIGN_VALUE);
            next = k == PJL_TOK_EOL ? 1 : 6;
            break;
        case 6:  // end of the command line
            k = PjlScanToken(s, buffer, size, PJL_TOK_EOL);
            if (k != PJL_TOK_EOL) error = true;
            else next = (Current(s) == '@' || Current(s) == kEsc) ? 1 : 7;
            break;
        case 7:  // body line
            k = PjlScanToken(s, buffer, size, PJL_TOK_HEADING);
            if (k == PJL_TOK_HEADING && Current(s) == kLf) {
                next = 11;
            } else if (k == PJL_TOK_HEADING && Current(s) == '[') {
                Consume(s);
                next = 9;
            } else if (k == PJL_TOK_HEADING && Current(s) == '=') {
                Consume(s);
                next = 8;
            } else {
                error = true;
            }
            break;
        case 8:  // body value
            k = PjlScanToken(s, buffer, size, PJL_TOK_HEADING_VALUE);
            if (k != PJL_TOK_HEADING_VALUE) {
                error = true;
            } else if (Current(s) == '[') {
                Consume(s);
                next = 9;
            } else {
                next = 11;
            }
            break;
        case 9:  // first bracket word
            k = PjlScanToken(s, buffer, size, PJL_TOK_BRACKET_FIRST);
            if (k == PJL_TOK_BRACKET_FIRST) next = 10;
            else error = true;
            break;
        case 10:  // further bracket words
            k = PjlScanToken(s, buffer, size, PJL_TOK_BRACKET_WORD);
            if (k != PJL_TOK_BRACKET_WORD) {
                error = true;
            } else if (Current(s) == ']') {
                ConsumeAndSkip(s);
                next = 11;
            } else {
                next = 10;
            }
            break;
        case 11:  // end of a body line
            k = PjlScanToken(s, buffer, size, PJL_TOK_EOL);
            if (k != PJL_TOK_EOL) error = true;
            else if (Current(s) == '@') next = 1;
            else if (Current(s) == kTab || Current(s) == kFf) next = 12;
            else next = 7;
            break;
        case 12:  // start of an item line, or end of the reply
            k = PjlScanToken(s, buffer, size, PJL_TOK_TAB);
            if (k == PJL_TOK_FORMFEED) next = 1;
            else if (k == PJL_TOK_TAB) next = 13;
            else error = true;
            break;
        case 13:  // item word
            k = PjlScanToken(s, buffer, size, PJL_TOK_ITEM);
            if (k != PJL_TOK_ITEM) {
                error = true;
            } else if (Current(s) == '=') {
                ConsumeAndSkip(s);
                next = 14;
            } else {
                next = Current(s) == kLf ? 11 : 14;
            }
            break;
        case 14:  // item value
            k = PjlScanToken(s, buffer, size, PJL_TOK_ITEM_VALUE);
            if (k == PJL_TOK_ITEM_VALUE && Current(s) == kLf) next = 11;
            else error = true;
            break;
    }

    // A step that read nothing and stays where it was would repeat forever
    // (an empty bracket word before ":", "=" or "["): the text does not
    // follow the reply structure here.
    if (!error && k != PJL_TOK_END && next == state && s->position == before) error = true;
    // The text ended inside a reply.
    if (!error && k == PJL_TOK_END && next != 1) error = true;

    if (kind != nullptr) *kind = k;
    s->state = error ? 1 : next;
    return error ? ERROR_INVALID_DATA : ERROR_SUCCESS;
}

uint64_t PjlNumber(const char *text) {
    uint64_t value = 0;
    if (text == nullptr) return 0;
    for (; *text >= '0' && *text <= '9'; ++text) value = value * 10u + static_cast<uint64_t>(*text - '0');
    return value;
}

}  // namespace patprn
