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

#include "poll/readings.h"
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
    std::string name;
    std::string colour;  // "#RRGGBB", or "none"
    int level;           // percent; -1 not available, -2 unknown, -3 some left
    bool low;
    std::string type = "toner";  // the print system's marker type: "toner", "waste-toner", "opc" ...
    int lowLevel = 0;            // below this the marker is low (a waste receptacle: never)
    int highLevel = 100;         // above this it is nearly full (a supply: never)
};
std::vector<Marker> MarkersOf(const std::vector<uint32_t> &codes);

// The markers of the supplies a printer's standard MIB lists, with their
// levels in percent (a waste receptacle's level is how full it is).
std::vector<Marker> MarkersOfSupplies(const std::vector<PollSupply> &supplies);

// The MIB's printer-state-reasons of a poll, with the severity suffix of
// the printer's state ("media-empty-error").
std::set<std::string> MibReasonsOf(const PollReadings &readings);

}  // namespace patmon
