// JSON of the fleet service (nlohmann-json): its configuration file, and
// the documents of its HTTP API.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "serve/fleet.h"

namespace patmon {

struct ServeConfig {
    std::string listen;    // empty: the command line's or the default
    std::string language;  // empty: EN; the default of every printer
    std::vector<FleetPrinterConfig> printers;
};

// Reads and checks a configuration file: unknown keys, wrong types, bad
// names or targets and duplicate names are errors. nullopt with `error`
// naming the problem.
std::optional<ServeConfig> ReadServeConfig(const std::string &path, std::string *error);

// One printer as /api/printers/NAME shows it: the poll's JSON (`pollJson`,
// as ResultJson makes it) with the printer's name, the time of the poll and
// its error.
std::string PrinterDocument(const std::string &name, const std::string &pollJson, double lastPoll,
                            const std::string &lastError);

// What the status page needs of every printer, small enough to fetch often.
std::string CardsDocument(const std::vector<PrinterView> &views);

}  // namespace patmon
