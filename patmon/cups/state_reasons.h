// What a printer of this family reports, in the words of a print queue:
// every engine status code becomes an IPP printer-state-reasons keyword
// with a severity suffix, and the toner codes give the marker levels; both
// read from the one table of what each status code means.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "poll/status_meanings.h"

namespace patmon {

// The reason of one status code: "toner-empty-error", "media-empty-warning";
// empty for a code that needs none; "other-..." for a code without a row.
std::string ReasonOf(uint32_t code);

// The reasons of all the codes a printer reports at once.
std::set<std::string> ReasonsOf(const std::vector<uint32_t> &codes);

// Every reason the mapping can give, so that a queue can be cleared of the
// ones a printer no longer reports.
std::set<std::string> AllReasons();

// True for a reason that stops the printer ("...-error").
bool IsError(const std::string &reason);

// The printer's toners as a queue shows its markers, in the order black,
// cyan, magenta, yellow. A level is 0 for a toner the printer reports run
// out and -3 ("some remains, amount unknown") otherwise: a printer of this
// family tells only whether a toner is low or out, never how much is left.
struct Marker {
    const char *name;
    const char *colour;  // "#RRGGBB"
    int level;
    bool low;
};
std::vector<Marker> MarkersOf(const std::vector<uint32_t> &codes);

}  // namespace patmon
