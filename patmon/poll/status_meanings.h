// What each status code of this family means to the people and programs
// that watch a printer: how urgent it is, the print system's word for it
// (an IPP printer-state-reasons keyword), and the supply or part it
// concerns with its colour. One table; the command line, the fleet
// service's metrics, API and page, and the print queue's backend all read
// it, so they cannot disagree about a code.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace patmon {

// ok: nothing to do; warning: the printer prints on but wants attention;
// critical: the printer has stopped.
enum class Severity { Ok, Warning, Critical };

// "ok", "warning", "critical".
const char *SeverityName(Severity severity);

// One row: a code key, in which a lowercase letter stands for any one digit
// ("411yy" is 41100 to 41199), and what the code means.
struct StatusMeaning {
    const char *key;
    Severity severity;
    const char *reason;  // IPP keyword without its severity suffix; nullptr: no reason (ready, printing)
    const char *part;    // the supply or part concerned ("toner", "drum", "paper" ...); nullptr: none
    const char *colour;  // "black", "cyan", "magenta", "yellow"; nullptr: none or several
};

// The whole table in match order: exact codes before the patterns that
// would also match them, the class fallbacks ("4yyyy" ...) last.
std::span<const StatusMeaning> StatusMeanings();

// The row of a code; a code no row names (not of this family) gets the
// meaning of an unknown code: a warning with the reason "other".
const StatusMeaning &MeaningOf(uint32_t code);

// The most urgent severity of a printer's codes; ok for none.
Severity SeverityOf(const std::vector<uint32_t> &codes);

// The toners in the order of their status codes.
constexpr const char *kTonerColours[4] = {"black", "cyan", "magenta", "yellow"};

// What the codes say of each toner, in kTonerColours order.
enum class TonerState { Fine = 0, Low = 1, Empty = 2 };
std::array<TonerState, 4> TonerStatesOf(const std::vector<uint32_t> &codes);

}  // namespace patmon
