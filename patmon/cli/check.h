// `patmon check`: one poll as a monitoring plugin reports it, for the
// schedulers that run such plugins: one status line with performance data,
// and the exit status 0 OK, 1 WARNING, 2 CRITICAL, 3 UNKNOWN.
#pragma once

#include <string>
#include <vector>

#include "cli/commands.h"
#include "poll/poll.h"

namespace patmon {

constexpr int kCheckOk = 0;
constexpr int kCheckWarning = 1;
constexpr int kCheckCritical = 2;
constexpr int kCheckUnknown = 3;

struct CheckCommand {
    PollCommand poll;
    int warningLevel = 10;   // a paper or supply level at or below this is a warning (percent)
    int criticalLevel = -1;  // at or below this it is critical; below 0: never
};

// The plugin's state and line for a poll's result.
struct CheckOutcome {
    int status = kCheckUnknown;
    std::string line;
};
CheckOutcome CheckOf(const PollResult &result, const CheckCommand &command);

int RunCheck(const CheckCommand &command);

}  // namespace patmon
