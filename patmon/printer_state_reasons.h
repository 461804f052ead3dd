// What a printer of this family reports, in the words of a print queue:
// every engine status code becomes an IPP printer-state-reasons keyword
// with a severity suffix, and the toner codes give the marker levels.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace patmon {

enum class Severity { Report, Warning, Error };

// One row of the mapping: a code key, in which a lowercase letter stands
// for any one digit ("411yy" is 41100 to 41199), the keyword it means and
// how urgent it is. A null keyword: the code needs no reason (ready,
// printing, warming up).
struct ReasonRow {
    const char *key;
    const char *keyword;
    Severity severity;
};

// The whole mapping in match order: exact codes before the patterns that
// would also match them, the class fallbacks ("4yyyy" ...) last.
const std::vector<ReasonRow> &ReasonTable();

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
