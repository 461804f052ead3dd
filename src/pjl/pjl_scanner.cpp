#include "pjl/pjl_scanner.h"

#include "platform/win32.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace patprn {

namespace {

constexpr char kLf = '\n';
constexpr char kTab = '\t';
constexpr char kFf = '\f';
constexpr char kEsc = '\x1B';
constexpr char kPrefix[] = "@PJL";
constexpr uint32_t kPrefixLength = sizeof kPrefix - 1;

// The characters that end a word, and those skipped after a token.
constexpr char kWordEnds[] = "\r\n=:[]";  // end every word
constexpr char kBlanks[] = " ";           // end a word except a body heading ("IN TRAYS")
constexpr char kSkippedChars[] = " \r";   // skipped after a token

// What each character is to the tokenizer.
enum CharClass : uint8_t {
    kEndsWord = 1,
    kBlank = 2,
    kSkipped = 4,
    kOwnToken = 8,  // LF, TAB, FF and '"': not the start of a plain word
};
constexpr auto kClasses = [] {
    struct {
        uint8_t of[256];
    } table{};
    for (const char *c = kWordEnds; *c != '\0'; ++c) table.of[static_cast<unsigned char>(*c)] |= kEndsWord;
    for (const char *c = kBlanks; *c != '\0'; ++c) table.of[static_cast<unsigned char>(*c)] |= kBlank;
    for (const char *c = kSkippedChars; *c != '\0'; ++c) table.of[static_cast<unsigned char>(*c)] |= kSkipped;
    for (const char *c = "\n\t\f\""; *c != '\0'; ++c) table.of[static_cast<unsigned char>(*c)] |= kOwnToken;
    return table;
}();

inline uint8_t ClassOf(char c) { return kClasses.of[static_cast<unsigned char>(c)]; }

// Words are short and end at unpredictable places: where the processor has
// 16-byte compares, the end of a word is found for 16 characters at a time,
// without a branch per character. The last 15 characters of a text, and
// other processors, go one by one.
#if defined(__SSE2__)
constexpr size_t kBlock = 16;

// Each character of `chars` repeated over a block, to compare a block with.
template <size_t N>
struct Splats {
    alignas(16) char of[N - 1][kBlock];
};
template <size_t N>
constexpr Splats<N> Splat(const char (&chars)[N]) {
    Splats<N> splats{};
    for (size_t i = 0; i + 1 < N; ++i) {
        for (char &c : splats.of[i]) c = chars[i];
    }
    return splats;
}
constexpr auto kWordEndSplats = Splat(kWordEnds);
constexpr auto kBlankSplats = Splat(kBlanks);

// Bit i set when character i of the block is one of the splatted characters.
template <size_t N>
inline uint32_t BlockMatches(__m128i block, const Splats<N> &splats) {
    __m128i any = _mm_setzero_si128();
    for (const auto &splat : splats.of)
        any = _mm_or_si128(any, _mm_cmpeq_epi8(block, _mm_load_si128(reinterpret_cast<const __m128i *>(splat))));
    return static_cast<uint32_t>(_mm_movemask_epi8(any));
}
#endif

// The first character at or after `p` of a class in `stops`, or `end`.
template <uint8_t Stops>
inline const char *FindStop(const char *p, const char *end) {
#if defined(__SSE2__)
    for (; static_cast<size_t>(end - p) >= kBlock; p += kBlock) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        uint32_t stops = BlockMatches(block, kWordEndSplats);
        if constexpr ((Stops & kBlank) != 0) stops |= BlockMatches(block, kBlankSplats);
        if (stops != 0) return p + __builtin_ctz(stops);
    }
#endif
    while (p < end && (ClassOf(*p) & Stops) == 0) ++p;
    return p;
}

// The first character at or after `p` that is not skipped, or `end`. Runs
// are short (a CR before the line end, a blank between words).
inline const char *SkipBlanksAndCrs(const char *p, const char *end) {
    while (p < end && (ClassOf(*p) & kSkipped) != 0) ++p;
    return p;
}

// The character at the position; the end of the text reads as a zero.
inline char Current(const PjlScanner *s) { return s->position < s->end ? *s->position : '\0'; }

// Steps past one character, never past the end.
inline void Consume(PjlScanner *s) {
    if (s->position < s->end) ++s->position;
}

inline void ConsumeAndSkip(PjlScanner *s) {
    Consume(s);
    s->position = SkipBlanksAndCrs(s->position, s->end);
}

// The first `cut` characters of a token without the blanks that then end it.
inline uint32_t CutLength(const char *text, uint32_t whole, uint32_t cut) {
    uint32_t length = whole < cut ? whole : cut;
    while (length > 0 && text[length - 1] == ' ') --length;
    return length;
}

inline void SetToken(PjlToken *token, const char *text, size_t whole, PjlTokenKind kind) {
    token->text = text;
    token->whole = static_cast<uint32_t>(whole);
    token->kind = kind;
    token->length = CutLength(text, token->whole, kPjlTokenChars);
}

// A token without blanks (a word outside a heading, a control character):
// cutting drops none.
inline void SetBlanklessToken(PjlToken *token, const char *text, size_t whole, PjlTokenKind kind) {
    token->text = text;
    token->whole = static_cast<uint32_t>(whole);
    token->kind = kind;
    token->length = token->whole < kPjlTokenChars ? token->whole : kPjlTokenChars;
}

// The kinds of the characters that are tokens of their own.
constexpr PjlTokenKind OwnTokenKind(char c) {
    return c == kLf ? PJL_TOK_EOL : c == kTab ? PJL_TOK_TAB : PJL_TOK_FORMFEED;
}

// Reads one token at the position: the control characters LF, TAB, FF and
// the end carry their own kinds, every word or quoted token takes
// `expected`. Blanks and CRs after it are skipped.
template <PjlTokenKind Expected>
[[gnu::always_inline]] inline PjlTokenKind ScanToken(PjlScanner *s, PjlToken *token) {
    const char *begin = s->position;
    if (begin == s->end) {  // the end stays the end
        SetBlanklessToken(token, begin, 0, PJL_TOK_END);
        return PJL_TOK_END;
    }
    const char c = *begin;
    if ((ClassOf(c) & kOwnToken) == 0) {
        // A heading keeps its inner blanks; every other word ends at one.
        constexpr uint8_t kStops = Expected == PJL_TOK_HEADING ? kEndsWord : kEndsWord | kBlank;
        const char *stop = FindStop<kStops>(begin, s->end);
        if constexpr (Expected == PJL_TOK_HEADING) SetToken(token, begin, static_cast<size_t>(stop - begin), Expected);
        else SetBlanklessToken(token, begin, static_cast<size_t>(stop - begin), Expected);
        s->position = stop;
    } else if (c == '"') {
        // Everything up to the closing quote, line ends included.
        ++begin;
        const void *close = std::memchr(begin, '"', static_cast<size_t>(s->end - begin));
        const char *stop = close != nullptr ? static_cast<const char *>(close) : s->end;
        SetToken(token, begin, static_cast<size_t>(stop - begin), Expected);
        s->position = stop;
        Consume(s);
    } else {
        SetBlanklessToken(token, begin, 1, OwnTokenKind(c));
        ++s->position;
    }
    s->position = SkipBlanksAndCrs(s->position, s->end);
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
            s->position = SkipBlanksAndCrs(p + kPrefixLength, s->end);
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

// One step of the machine: reads the token its state expects and chooses
// the next state by the token's kind and the character after it. A reply
// is a command line ("@PJL", the command word, its arguments), body lines
// (a heading, "=" and its value or "[" and its words), and item lines
// under a body line ("\tINTRAY1=LOCKED"), up to the form feed.
[[gnu::always_inline]] inline Step Advance(PjlScanner *s, PjlToken *t) {
    switch (s->state) {
        case PjlState::FindPrefix:
            if (!FindPrefix(s)) {
                SetToken(t, s->end, 0, PJL_TOK_END);
                return Go(PjlState::FindPrefix);
            }
            SetToken(t, kPrefix, kPrefixLength, PJL_TOK_PREFIX);
            return Go(PjlState::Command);
        case PjlState::Command:  // an empty "@PJL" line ends here
            return Go(ScanToken<PJL_TOK_COMMAND>(s, t) == PJL_TOK_EOL ? PjlState::FindPrefix : PjlState::Arguments);
        case PjlState::Arguments:
            if (ScanToken<PJL_TOK_CATEGORY>(s, t) == PJL_TOK_EOL) return Go(PjlState::FindPrefix);
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
            if (ScanToken<PJL_TOK_LABEL_VALUE>(s, t) != PJL_TOK_LABEL_VALUE) return kMalformed;
            return Go(PjlState::Arguments);
        case PjlState::AssignValue:
            return Go(ScanToken<PJL_TOK_ASSIGN_VALUE>(s, t) == PJL_TOK_EOL ? PjlState::FindPrefix : PjlState::CommandEnd);
        case PjlState::CommandEnd:
            // The query text's command lines end at the next "@" or ESC.
            if (ScanToken<PJL_TOK_EOL>(s, t) != PJL_TOK_EOL) return kMalformed;
            return Go(Current(s) == '@' || Current(s) == kEsc ? PjlState::FindPrefix : PjlState::Body);
        case PjlState::Body:
            if (ScanToken<PJL_TOK_HEADING>(s, t) != PJL_TOK_HEADING) return kMalformed;
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
            if (ScanToken<PJL_TOK_HEADING_VALUE>(s, t) != PJL_TOK_HEADING_VALUE) return kMalformed;
            if (Current(s) == '[') {
                Consume(s);
                return Go(PjlState::BracketFirst);
            }
            return Go(PjlState::BodyEnd);
        case PjlState::BracketFirst:
            if (ScanToken<PJL_TOK_BRACKET_FIRST>(s, t) != PJL_TOK_BRACKET_FIRST) return kMalformed;
            return Go(PjlState::BracketWords);
        case PjlState::BracketWords:
            if (ScanToken<PJL_TOK_BRACKET_WORD>(s, t) != PJL_TOK_BRACKET_WORD) return kMalformed;
            if (Current(s) == ']') {
                ConsumeAndSkip(s);
                return Go(PjlState::BodyEnd);
            }
            return Go(PjlState::BracketWords);
        case PjlState::BodyEnd:
            if (ScanToken<PJL_TOK_EOL>(s, t) != PJL_TOK_EOL) return kMalformed;
            if (Current(s) == '@') return Go(PjlState::FindPrefix);
            if (Current(s) == kTab || Current(s) == kFf) return Go(PjlState::ItemOrEnd);
            return Go(PjlState::Body);
        case PjlState::ItemOrEnd:
            switch (ScanToken<PJL_TOK_TAB>(s, t)) {
                case PJL_TOK_FORMFEED: return Go(PjlState::FindPrefix);
                case PJL_TOK_TAB: return Go(PjlState::Item);
                default: return kMalformed;
            }
        case PjlState::Item:
            if (ScanToken<PJL_TOK_ITEM>(s, t) != PJL_TOK_ITEM) return kMalformed;
            if (Current(s) == '=') {
                ConsumeAndSkip(s);
                return Go(PjlState::ItemValue);
            }
            return Go(Current(s) == kLf ? PjlState::BodyEnd : PjlState::ItemValue);
        case PjlState::ItemValue:
            if (ScanToken<PJL_TOK_ITEM_VALUE>(s, t) != PJL_TOK_ITEM_VALUE || Current(s) != kLf) return kMalformed;
            return Go(PjlState::BodyEnd);
    }
    return kMalformed;  // not reached: the caller starts over from any other state
}

constexpr bool IsState(PjlState state) { return state >= PjlState::FindPrefix && state <= PjlState::ItemValue; }

// One token of the walk, with the checks that keep every walk moving and
// every reply closed.
[[gnu::always_inline]] inline uint32_t Read(PjlScanner *s, PjlToken *token) {
    if (!IsState(s->state)) s->state = PjlState::FindPrefix;  // not a state of the machine: start over
    const char *before = s->position;
    const PjlState state = s->state;
    Step step = Advance(s, token);

    // A step that read nothing and stays where it was would repeat forever
    // (an empty bracket word before ":", "=" or "["): the text does not
    // follow the reply structure here.
    if (!step.error && token->kind != PJL_TOK_END && step.next == state && s->position == before) step = kMalformed;
    // The text ended inside a reply.
    if (!step.error && token->kind == PJL_TOK_END && step.next != PjlState::FindPrefix) step = kMalformed;

    s->state = step.error ? PjlState::FindPrefix : step.next;
    return step.error ? ERROR_INVALID_DATA : ERROR_SUCCESS;
}

// A category word read without error.
inline bool IsCategory(const PjlLoggedToken &read) { return read.token.kind == PJL_TOK_CATEGORY && read.result == 0; }

// Reads up to `capacity` tokens (at least one), the end token being the
// last. The walk's position and state stay in locals while it reads. With
// Marks, bit i of *categories tells whether token i is a category word.
template <bool Marks>
uint32_t ReadMany(PjlScanner *s, PjlLoggedToken *tokens, uint32_t capacity, uint64_t *categories = nullptr) {
    PjlScanner walk = *s;
    uint32_t count = 0;
    uint64_t marks = 0;
    do {
        PjlLoggedToken &read = tokens[count];
        read.result = Read(&walk, &read.token);
        if constexpr (Marks) marks |= uint64_t{IsCategory(read)} << count;
        ++count;
        if (read.token.kind == PJL_TOK_END) break;
    } while (count < capacity);
    if constexpr (Marks) *categories = marks;
    s->position = walk.position;
    s->state = walk.state;
    return count;
}

}  // namespace

void PjlScannerInit(PjlScanner *scanner, const char *text, size_t length) {
    if (text == nullptr) length = 0;
    const void *zero = length != 0 ? std::memchr(text, '\0', length) : nullptr;
    scanner->position = text;
    scanner->end = zero != nullptr ? static_cast<const char *>(zero) : text + length;
    scanner->state = PjlState::FindPrefix;
    scanner->ahead = nullptr;
    scanner->aheadCount = 0;
    scanner->aheadNext = 0;
    scanner->readAhead = nullptr;
}

void PjlScannerReadAhead(PjlScanner *scanner, PjlLoggedToken *buffer) { scanner->readAhead = buffer; }

void PjlTokenLogInit(PjlTokenLog *log) {
    log->text = nullptr;
    log->end = nullptr;
    log->count = 0;
}

void PjlScannerReplay(PjlScanner *scanner, const PjlTokenLog *log) {
    if (log == nullptr || log->count == 0 || log->text != scanner->position || log->end != scanner->end) return;
    scanner->position = log->afterPosition;
    scanner->state = log->afterState;
    scanner->ahead = log->tokens;
    scanner->aheadCount = log->count;
    scanner->aheadNext = 0;
}

uint32_t PjlScanRead(PjlScanner *s, PjlToken *token) {
    if (s->aheadNext < s->aheadCount) return PjlScanNext(s, token);
    if (s->readAhead == nullptr) return Read(s, token);
    s->aheadCount = ReadMany<false>(s, s->readAhead, kPjlReadAhead);
    s->aheadNext = 1;
    s->ahead = s->readAhead;
    *token = s->readAhead[0].token;
    return s->readAhead[0].result;
}

uint32_t PjlScanTokens(PjlScanner *scanner, PjlLoggedToken *tokens, uint32_t capacity, uint64_t *categories) {
    if (capacity == 0) return 0;
    if (categories != nullptr) {
        *categories = 0;
        if (capacity > 64) capacity = 64;
    }
    // Tokens read ahead come first.
    uint32_t count = 0;
    while (scanner->aheadNext < scanner->aheadCount && count < capacity) {
        tokens[count] = scanner->ahead[scanner->aheadNext++];
        if (categories != nullptr) *categories |= uint64_t{IsCategory(tokens[count])} << count;
        if (tokens[count++].token.kind == PJL_TOK_END) return count;
    }
    if (count == capacity) return count;
    if (categories == nullptr) return count + ReadMany<false>(scanner, tokens + count, capacity - count);
    uint64_t read;
    const uint32_t first = count;
    count += ReadMany<true>(scanner, tokens + first, capacity - first, &read);
    *categories |= read << first;
    return count;
}

uint32_t PjlTokenCut(const PjlToken *token, uint32_t cut) { return CutLength(token->text, token->whole, cut); }

void PjlTokenCopy(const PjlToken *token, char *buffer, uint32_t size) {
    if (buffer == nullptr || size == 0) return;
    const uint32_t count = token->length < size - 1 ? token->length : size - 1;
    if (count != 0) std::memcpy(buffer, token->text, count);
    buffer[count] = '\0';
}

uint64_t PjlNumber(const char *text) {
    uint64_t value = 0;
    if (text == nullptr) return 0;
    for (; *text >= '0' && *text <= '9'; ++text) value = value * 10u + static_cast<uint64_t>(*text - '0');
    return value;
}

}  // namespace patprn
