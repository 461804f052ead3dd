// Scenario files of the virtual printer (JSON): any of the printer model's
// values, starting from a built-in scenario.
#pragma once

#include <optional>
#include <string>

#include "simulator/printer_model.h"

namespace patmon {

// Reads a scenario file: any of the printer model's values, starting from
// the built-in scenario named by "base" (default "ready"). nullopt with
// `error` naming the problem for a missing or malformed file.
std::optional<PrinterModel> ReadScenarioFile(const std::string &path, std::string *error);

// A printer as a scenario file that sets every value (see
// docs/scenarios.md), starting from the built-in scenario `base`.
std::string ScenarioFileOf(const PrinterModel &printer, const std::string &base);

}  // namespace patmon
