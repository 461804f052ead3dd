// JSON out (nlohmann-json): the result of a poll.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "poll/poll.h"

namespace patmon {

// What a poll's JSON says of where and when it was made.
struct PollContext {
    std::string target;
    // Left out when unset: a host that keeps the JSON of an unchanged
    // printer adds the time of each poll itself.
    std::optional<std::chrono::system_clock::time_point> time = std::chrono::system_clock::now();
};

// RFC 3339 in UTC, to the second: "2026-12-09T05:33:36Z".
std::string Rfc3339(std::chrono::system_clock::time_point time);

// The schema name and version every poll document carries; a change that
// breaks a reader changes the version.
constexpr const char *kPollSchema = "patmon.poll/1";

// The poll as one JSON object for people and programs (docs/json.md): its
// target and time, whether the printer answered and if not why, its
// severity, status text and codes with their own texts, the printer, trays,
// bins, supplies, options and the picture's draw list; the library's
// records as the header names their fields under "record". `indent` < 0:
// on one line.
std::string ResultJson(const PollResult &result, const PrinterRecord &record, const PollContext &context,
                       int indent = 2);
inline std::string ResultJson(const PollResult &result, const PrinterRecord &record, int indent = 2) {
    return ResultJson(result, record, PollContext{}, indent);
}

}  // namespace patmon
