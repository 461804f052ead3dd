#include "serve/schedule.h"

#include <algorithm>
#include <iterator>

namespace patmon {

std::chrono::milliseconds Milliseconds(double seconds) {
    return std::chrono::milliseconds(static_cast<long long>(seconds * 1000 + 0.5));
}

double NextDelay(double intervalSeconds, int failures) {
    const double cap = std::max(intervalSeconds, static_cast<double>(kBackOffCap.count()));
    double delay = intervalSeconds;
    for (int i = 0; i < failures && delay < cap; ++i) delay *= 2;
    return std::min(delay, cap);
}

ScheduleClock::time_point NextDue(ScheduleClock::time_point due, ScheduleClock::time_point now,
                                  double intervalSeconds, int failures) {
    const auto delay = Milliseconds(NextDelay(intervalSeconds, failures));
    return failures == 0 ? std::max(due + delay, now) : now + delay;
}

ScheduleClock::time_point FirstDue(ScheduleClock::time_point start, size_t index, size_t count,
                                   double intervalSeconds) {
    const size_t groups = std::min(count, std::max<size_t>(10, (count + kStartGroup - 1) / kStartGroup));
    const size_t group = index * groups / count;
    const double spread = std::min(intervalSeconds, 10.0) * static_cast<double>(group) / static_cast<double>(groups);
    return start + Milliseconds(spread);
}

void CountLag(FleetCounters &counters, double lag) {
    size_t bucket = 0;
    while (bucket < std::size(FleetCounters::kLagBuckets) && lag > FleetCounters::kLagBuckets[bucket]) ++bucket;
    ++counters.lagCounts[bucket];
    counters.lagSum += lag;
    counters.lagMax = std::max(counters.lagMax, lag);
}

std::vector<size_t> Schedule::TakeDue(ScheduleClock::time_point now) {
    std::vector<size_t> due;
    while (!queue_.empty() && queue_.top().first <= now + kEarlyStart) {
        due.push_back(queue_.top().second);
        queue_.pop();
    }
    return due;
}

}  // namespace patmon
