// The tokenizer as it read replies one character at a time, kept as the
// model the library's tokenizer must agree with token for token.
#include "pjl/scanner_reference.h"

#include "platform/win32.h"

#include <cstring>

namespace patprn::reference {

namespace {
uint32_t Cut(const PjlToken *token) {
    uint32_t length = token->whole < kPjlTokenChars ? token->whole : kPjlTokenChars;
    while (length > 0 && token->text[length - 1] == ' ') --length;
    return length;
}
}  // namespace

namespace {

constexpr char kLf = '\n';
constexpr char kTab = '\t';
constexpr char kFf = '\f';
constexpr char kEsc = '\x1B';
constexpr char kPrefix[] = "@PJL";
constexpr uint32_t kPrefixLength = sizeof kPrefix - 1;

// What each character is to the tokenizer.
enum CharClass : uint8_t {
    kEndsWord = 1,   // ends every word: CR, LF, "=", ":", "[", "]"
    kBlank = 2,      // ends a word except a body heading ("IN TRAYS")
    kSkipped = 4,    // skipped after a token: blank, CR
};
constexpr auto kClasses = [] {
    struct {
        uint8_t of[256];
    } table{};
    for (const char *c = "\r\n=:[]"; *c != '\0'; ++c) table.of[static_cast<unsigned char>(*c)] |= kEndsWord;
    table.of[static_cast<unsigned char>(' ')] |= kBlank | kSkipped;
    table.of[static_cast<unsigned char>('\r')] |= kSkipped;
    return table;
}();

uint8_t ClassOf(char c) { return kClasses.of[static_cast<unsigned char>(c)]; }

// The character at the position; the end of the text reads as a zero.
char Current(const PjlScanner *s) { return s->position < s->end ? *s->position : '\0'; }

// Steps past one character, never past the end.
void Consume(PjlScanner *s) {
    if (s->position < s->end) ++s->position;
}

void SkipBlanksAndCrs(PjlScanner *s) {
    while (s->position < s->end && (ClassOf(*s->position) & kSkipped) != 0) ++s->position;
}

void ConsumeAndSkip(PjlScanner *s) {
    Consume(s);
    SkipBlanksAndCrs(s);
}

void SetToken(PjlToken *token, const char *text, size_t whole, PjlTokenKind kind) {
    token->text = text;
    token->whole = static_cast<uint32_t>(whole);
    token->kind = kind;
    token->length = Cut(token);
}

// Reads one token at the position: the four control characters LF, TAB, FF
// and the end carry their own kinds, every word or quoted token takes
// `expected`. Blanks and CRs after it are skipped.
PjlTokenKind ScanToken(PjlScanner *s, PjlToken *token, PjlTokenKind expected) {
    const char *begin = s->position;
    const char c = Current(s);
    if (c == kLf || c == kTab || c == kFf || c == '\0') {
        // A control character is a token of its own; the end stays the end.
        const PjlTokenKind kind = c == kLf ? PJL_TOK_EOL : c == kTab ? PJL_TOK_TAB : c == kFf ? PJL_TOK_FORMFEED : PJL_TOK_END;
        SetToken(token, begin, c == '\0' ? 0 : 1, kind);
        Consume(s);
    } else if (c == '"') {
        // Everything up to the closing quote, line ends included.
        ++begin;
        const void *close = std::memchr(begin, '"', static_cast<size_t>(s->end - begin));
        s->position = close != nullptr ? static_cast<const char *>(close) : s->end;
        SetToken(token, begin, static_cast<size_t>(s->position - begin), expected);
        Consume(s);
    } else {
        const uint8_t stops = expected == PJL_TOK_HEADING ? kEndsWord : kEndsWord | kBlank;
        const char *p = begin;
        while (p < s->end && (ClassOf(*p) & stops) == 0) ++p;
        s->position = p;
        SetToken(token, begin, static_cast<size_t>(p - begin), expected);
    }
    SkipBlanksAndCrs(s);
    return token->kind;
}

// Finds the next "@PJL" from the position. Linear: every character is
// looked at a bounded number of times.
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

// The outcome of one step: the next state, or a text that does not follow
// the reply structure here.
struct Step {
    PjlState next;
    bool error;
};
constexpr Step Go(PjlState next) { return {next, false}; }
constexpr Step kMalformed = {PjlState::FindPrefix, true};

// The command line: "@PJL", the command word, its arguments up to the line end.
Step StepCommandLine(PjlScanner *s, PjlToken *t) {
    switch (s->state) {
        case PjlState::FindPrefix:
            if (!FindPrefix(s)) {
                SetToken(t, s->end, 0, PJL_TOK_END);
                return Go(PjlState::FindPrefix);
            }
            SetToken(t, kPrefix, kPrefixLength, PJL_TOK_PREFIX);
            return Go(PjlState::Command);
        case PjlState::Command:  // an empty "@PJL" line ends here
            return Go(ScanToken(s, t, PJL_TOK_COMMAND) == PJL_TOK_EOL ? PjlState::FindPrefix : PjlState::Arguments);
        case PjlState::Arguments:
            if (ScanToken(s, t, PJL_TOK_CATEGORY) == PJL_TOK_EOL) return Go(PjlState::FindPrefix);
            if (Current(s) == ':') {
                ConsumeAndSkip(s);
                t->kind = PJL_TOK_LABEL;
                return Go(PjlState::LabelValue);
            }
            if (Current(s) == '=') {
                ConsumeAndSkip(s);
                return Go(PjlState::AssignValue);
            }
            return Go(PjlState::CommandEnd);
        case PjlState::LabelValue:
            if (ScanToken(s, t, PJL_TOK_LABEL_VALUE) != PJL_TOK_LABEL_VALUE) return kMalformed;
            return Go(PjlState::Arguments);
        case PjlState::AssignValue:
            return Go(ScanToken(s, t, PJL_TOK_ASSIGN_VALUE) == PJL_TOK_EOL ? PjlState::FindPrefix : PjlState::CommandEnd);
        case PjlState::CommandEnd:
            // The query text's command lines end at the next "@" or ESC.
            if (ScanToken(s, t, PJL_TOK_EOL) != PJL_TOK_EOL) return kMalformed;
            return Go(Current(s) == '@' || Current(s) == kEsc ? PjlState::FindPrefix : PjlState::Body);
        default: return kMalformed;
    }
}

// A body line: a heading, "=" and its value or "[" and its words, the line end.
Step StepBodyLine(PjlScanner *s, PjlToken *t) {
    switch (s->state) {
        case PjlState::Body:
            if (ScanToken(s, t, PJL_TOK_HEADING) != PJL_TOK_HEADING) return kMalformed;
            if (Current(s) == kLf) return Go(PjlState::BodyEnd);
            if (Current(s) == '[') {
                Consume(s);
                return Go(PjlState::BracketFirst);
            }
            if (Current(s) == '=') {
                Consume(s);
                return Go(PjlState::BodyValue);
            }
            return kMalformed;
        case PjlState::BodyValue:
            if (ScanToken(s, t, PJL_TOK_HEADING_VALUE) != PJL_TOK_HEADING_VALUE) return kMalformed;
            if (Current(s) == '[') {
                Consume(s);
                return Go(PjlState::BracketFirst);
            }
            return Go(PjlState::BodyEnd);
        case PjlState::BracketFirst:
            if (ScanToken(s, t, PJL_TOK_BRACKET_FIRST) != PJL_TOK_BRACKET_FIRST) return kMalformed;
            return Go(PjlState::BracketWords);
        case PjlState::BracketWords:
            if (ScanToken(s, t, PJL_TOK_BRACKET_WORD) != PJL_TOK_BRACKET_WORD) return kMalformed;
            if (Current(s) == ']') {
                ConsumeAndSkip(s);
                return Go(PjlState::BodyEnd);
            }
            return Go(PjlState::BracketWords);
        case PjlState::BodyEnd:
            if (ScanToken(s, t, PJL_TOK_EOL) != PJL_TOK_EOL) return kMalformed;
            if (Current(s) == '@') return Go(PjlState::FindPrefix);
            if (Current(s) == kTab || Current(s) == kFf) return Go(PjlState::ItemOrEnd);
            return Go(PjlState::Body);
        default: return kMalformed;
    }
}

// An item line under a body line ("\tINTRAY1=LOCKED"), or the reply's form feed.
Step StepItemLine(PjlScanner *s, PjlToken *t) {
    switch (s->state) {
        case PjlState::ItemOrEnd:
            switch (ScanToken(s, t, PJL_TOK_TAB)) {
                case PJL_TOK_FORMFEED: return Go(PjlState::FindPrefix);
                case PJL_TOK_TAB: return Go(PjlState::Item);
                default: return kMalformed;
            }
        case PjlState::Item:
            if (ScanToken(s, t, PJL_TOK_ITEM) != PJL_TOK_ITEM) return kMalformed;
            if (Current(s) == '=') {
                ConsumeAndSkip(s);
                return Go(PjlState::ItemValue);
            }
            return Go(Current(s) == kLf ? PjlState::BodyEnd : PjlState::ItemValue);
        case PjlState::ItemValue:
            if (ScanToken(s, t, PJL_TOK_ITEM_VALUE) != PJL_TOK_ITEM_VALUE || Current(s) != kLf) return kMalformed;
            return Go(PjlState::BodyEnd);
        default: return kMalformed;
    }
}

}  // namespace

uint32_t ScanNext(PjlScanner *s, PjlToken *token) {
    const char *before = s->position;
    const PjlState state = s->state;
    // Each step reads one token with the kind its state expects and chooses
    // the next state by the kind and by the character after the token.
    Step step;
    if (state >= PjlState::FindPrefix && state <= PjlState::CommandEnd) {
        step = StepCommandLine(s, token);
    } else if (state >= PjlState::Body && state <= PjlState::BodyEnd) {
        step = StepBodyLine(s, token);
    } else if (state >= PjlState::ItemOrEnd && state <= PjlState::ItemValue) {
        step = StepItemLine(s, token);
    } else {  // not a state of the machine: start over
        s->state = PjlState::FindPrefix;
        step = StepCommandLine(s, token);
    }

    // A step that read nothing and stays where it was would repeat forever
    // (an empty bracket word before ":", "=" or "["): the text does not
    // follow the reply structure here.
    if (!step.error && token->kind != PJL_TOK_END && step.next == state && s->position == before) step = kMalformed;
    // The text ended inside a reply.
    if (!step.error && token->kind == PJL_TOK_END && step.next != PjlState::FindPrefix) step = kMalformed;

    s->state = step.error ? PjlState::FindPrefix : step.next;
    return step.error ? ERROR_INVALID_DATA : ERROR_SUCCESS;
}

}  // namespace patprn::reference
