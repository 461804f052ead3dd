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

// Text fit for a terminal: invalid UTF-8, control characters (escape
// sequences among them) and C1 controls each become U+FFFD, so a printer's
// model name or panel text can neither move the cursor nor forge a line;
// line ends are kept only when `keepLineEnds` (the library's own
// multi-line messages).
std::string TerminalText(const std::string &text, bool keepLineEnds = false);

}  // namespace patmon
