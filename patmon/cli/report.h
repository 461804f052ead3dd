// The terminal view of a poll: the status label and message, then a
// one-screen summary of the printer record, in UTF-8.
#pragma once

#include <string>
#include <vector>

#include "poll/poll.h"

namespace patmon {

// The summary as "name: value" lines (names fixed, so `watch` can tell
// which changed); tray and bin names in the selected language.
std::vector<std::string> SummaryLines(const PollResult &result, const PrinterRecord &record,
                                      const std::string &language);

}  // namespace patmon
