// When each printer of the fleet is polled: the first polls spread out,
// the rhythm of a printer that answers, the back-off of one that does not,
// and how late polls start. Plain time arithmetic and a queue of due
// times, used by the fleet's event loop and its workers.
#pragma once

#include <chrono>
#include <cstddef>
#include <queue>
#include <utility>
#include <vector>

#include "serve/fleet.h"

namespace patmon {

using ScheduleClock = std::chrono::steady_clock;

// A printer that keeps failing is polled at twice the interval after each
// failure, up to this (or its own interval, if that is longer).
constexpr std::chrono::seconds kBackOffCap{300};

// How early a poll may start when the loop is awake for something else.
constexpr std::chrono::milliseconds kEarlyStart{5};

// Seconds as the schedule counts them, rounded to the millisecond.
std::chrono::milliseconds Milliseconds(double seconds);

// The delay until a printer's next poll: its interval, doubled for each
// failure in a row up to the cap.
double NextDelay(double intervalSeconds, int failures);

// When the next poll is due, for a poll that was due at `due` and ended
// at `now`. A printer that answered keeps its rhythm (one interval after
// the last poll was due) unless that has passed already, so a loop that
// ran late does not make up the polls it missed; one that failed is
// polled again a whole back-off delay from now.
ScheduleClock::time_point NextDue(ScheduleClock::time_point due, ScheduleClock::time_point now,
                                  double intervalSeconds, int failures);

// The first polls of a fleet are spread over the interval (at most 10 s)
// in groups of about this many printers, at least ten groups an interval:
// a group starts together, with one wake-up of the loop and the workers
// for all of its printers, and a wake-up after the machine sat idle costs
// more than a virtual printer's whole poll (its caches are cold). Each
// printer keeps its group's rhythm while it answers.
constexpr size_t kStartGroup = 100;

// The first poll of printer `index` of `count`: its group's start.
ScheduleClock::time_point FirstDue(ScheduleClock::time_point start, size_t index, size_t count,
                                   double intervalSeconds);

// Counts a poll that started `lag` seconds after it was due.
void CountLag(FleetCounters &counters, double lag);

// The printers waiting for their next poll, earliest first. A printer is
// in it at most once: it is added again only when its poll has ended.
class Schedule {
public:
    void Add(size_t index, ScheduleClock::time_point due) { queue_.push({due, index}); }
    bool Empty() const { return queue_.empty(); }
    ScheduleClock::time_point Earliest() const { return queue_.top().first; }
    // Takes the printers due by `now`, and those due within kEarlyStart
    // after it: they start while the loop is awake anyway, rather than
    // each waking it on its own.
    std::vector<size_t> TakeDue(ScheduleClock::time_point now);

private:
    using Due = std::pair<ScheduleClock::time_point, size_t>;
    std::priority_queue<Due, std::vector<Due>, std::greater<Due>> queue_;
};

}  // namespace patmon
