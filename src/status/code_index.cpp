#include "status/code_index.h"

#include <algorithm>

namespace patprn {

const IndexedExactKey *FindExactKeys(const CodeIndexView &index, uint32_t code, uint32_t *count) {
    const IndexedExactKey *end = index.exact + index.exactCount;
    const IndexedExactKey *first =
        std::lower_bound(index.exact, end, code, [](const IndexedExactKey &key, uint32_t c) { return key.code < c; });
    const IndexedExactKey *last = first;
    while (last != end && last->code == code) ++last;
    *count = static_cast<uint32_t>(last - first);
    return first != last ? first : nullptr;
}

bool PatternKeyMatches(const IndexedPatternKey &key, const CodeDigits &digits) {
    if (key.length != digits.length) return false;
    for (uint32_t i = 0; i < key.length; ++i) {
        if (key.digit[i] != kAnyDigit && key.digit[i] != digits.digit[i]) return false;
    }
    return true;
}

}  // namespace patprn
