// Code index: finds the rows of a code-keyed table (priority, message and
// picture tables) by number instead of formatting the code as text and
// comparing it with every key.
//
// A key is a code text: decimal digits, a lowercase letter matching any one
// character. The index is built at compile time from the table itself:
//   - exact keys (digits only) become their value, sorted by value and then
//     row, so rows sharing a key stay in table order;
//   - pattern keys keep their length and fixed digits, in table order;
//   - a key no code text can equal (a leading zero, more than 10 digits, a
//     value past 32 bits, any other character) is left out: it never
//     matched.
// The lookup then gives exactly what the text comparisons gave: the rows
// whose key equals the code's "%lu" text, and separately the rows whose
// pattern matches it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace patprn {

constexpr uint32_t kCodeTextDigits = 10;  // 4294967295

// The decimal text of a code as digits, most significant first.
struct CodeDigits {
    uint32_t length;
    uint8_t digit[kCodeTextDigits];
};

constexpr CodeDigits DigitsOfCode(uint32_t code) {
    uint8_t reversed[kCodeTextDigits] = {};
    uint32_t length = 0;
    do {
        reversed[length++] = static_cast<uint8_t>(code % 10);
        code /= 10;
    } while (code != 0);
    CodeDigits digits{length, {}};
    for (uint32_t i = 0; i < length; ++i) digits.digit[i] = reversed[length - 1 - i];
    return digits;
}

// An exact key: the code it names and its row in the table.
struct IndexedExactKey {
    uint32_t code;
    uint32_t row;
};

// A pattern key: its length, and per position a digit or kAnyDigit.
constexpr uint8_t kAnyDigit = 0xFF;
struct IndexedPatternKey {
    uint32_t length;
    uint8_t digit[kCodeTextDigits];
    uint32_t row;
};

// What a lookup reads, whatever the table's size.
struct CodeIndexView {
    const IndexedExactKey *exact;  // sorted by (code, row)
    uint32_t exactCount;
    const IndexedPatternKey *patterns;  // in table order
    uint32_t patternCount;
};

template <size_t N>
struct CodeIndex {
    std::array<IndexedExactKey, N> exact{};
    uint32_t exactCount = 0;
    std::array<IndexedPatternKey, N> patterns{};
    uint32_t patternCount = 0;

    constexpr CodeIndexView View() const { return {exact.data(), exactCount, patterns.data(), patternCount}; }
};

// Builds the index of a table whose rows have a `key` member and whose
// last row's key is null.
template <typename Row, size_t N>
constexpr CodeIndex<N> BuildCodeIndex(const Row (&table)[N]) {
    CodeIndex<N> index{};
    for (uint32_t row = 0; row < N && table[row].key != nullptr; ++row) {
        const char *key = table[row].key;
        uint32_t length = 0;
        bool pattern = false;
        bool usable = true;
        uint64_t value = 0;
        IndexedPatternKey entry{0, {}, row};
        for (; key[length] != '\0'; ++length) {
            const char c = key[length];
            if (length == kCodeTextDigits) {
                usable = false;
                break;
            }
            if (c >= '0' && c <= '9') {
                entry.digit[length] = static_cast<uint8_t>(c - '0');
                value = value * 10 + static_cast<uint64_t>(c - '0');
            } else if (c >= 'a' && c <= 'z') {
                entry.digit[length] = kAnyDigit;
                pattern = true;
            } else {
                usable = false;
                break;
            }
        }
        // A code text has no leading zero unless it is "0".
        if (!usable || length == 0 || (length > 1 && entry.digit[0] == 0)) continue;
        if (pattern) {
            entry.length = length;
            index.patterns[index.patternCount++] = entry;
        } else if (value <= 0xFFFFFFFFu) {
            // Insertion keeps (code, row) order; rows arrive in table order.
            uint32_t at = index.exactCount++;
            while (at > 0 && index.exact[at - 1].code > value) {
                index.exact[at] = index.exact[at - 1];
                --at;
            }
            index.exact[at] = {static_cast<uint32_t>(value), row};
        }
    }
    return index;
}

// The exact keys equal to `code`: `*count` rows starting at the result, in
// table order; null with 0 when there are none.
const IndexedExactKey *FindExactKeys(const CodeIndexView &index, uint32_t code, uint32_t *count);

// True when the pattern key matches the code's digits.
bool PatternKeyMatches(const IndexedPatternKey &key, const CodeDigits &digits);

}  // namespace patprn
