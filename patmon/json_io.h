// JSON in and out (nlohmann-json): scenario files of the virtual printer,
// and the result of a poll.
#pragma once

#include <optional>
#include <string>

#include "polling.h"
#include "printer_model.h"

namespace patmon {

// Reads a scenario file: any of the printer model's values, starting from
// the built-in scenario named by "base" (default "ready"). nullopt with
// `error` naming the problem for a missing or malformed file.
std::optional<PrinterModel> ReadScenarioFile(const std::string &path, std::string *error);

// The poll as one JSON object: "printer" (the PrnInfoEx record), "short"
// (the PrnInfo record), "status" and "picture". `indent` < 0: on one line.
std::string ResultJson(const PollResult &result, const PrinterRecord &record, int indent = 2);

}  // namespace patmon
