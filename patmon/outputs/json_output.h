// JSON out (nlohmann-json): the result of a poll.
#pragma once

#include <optional>
#include <string>

#include "poll/poll.h"

namespace patmon {

// The poll as one JSON object: "printer" (the PrnInfoEx record), "short"
// (the PrnInfo record), "status" and "picture". `indent` < 0: on one line.
std::string ResultJson(const PollResult &result, const PrinterRecord &record, int indent = 2);

}  // namespace patmon
