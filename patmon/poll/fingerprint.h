// What a printer record held at one poll, as a 128-bit hash: the caches of
// its code texts and of its JSON are kept while it stays the same, without
// keeping a copy of the record's bytes per printer.
#pragma once

#include <cstdint>
#include <string_view>

#include "patprn/patprn.h"

namespace patmon {

struct Fingerprint {
    uint64_t low = 0;
    uint64_t high = 0;
    bool operator==(const Fingerprint &) const = default;
};

// The hash of everything of `record` that its texts and JSON can read (the
// fixed part without the addresses of its lists and strings, which change
// from poll to poll, then the lists' items and the strings), followed by
// `also`. Keyed with a secret drawn once per process, so no printer can
// choose replies whose fingerprint matches another content's; two
// contents share one by chance about once in 2^128.
Fingerprint FingerprintOf(const PrnInfoEx &record, std::string_view also = {});

}  // namespace patmon
