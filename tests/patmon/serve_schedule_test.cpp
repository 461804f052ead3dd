// When the fleet service polls its printers: a printer that stops answering
// is asked less and less often, one that answers keeps its rhythm, and a
// loop that ran late polls each printer once rather than making up every
// missed interval. Time is simulated: no test waits.
#include "serve/schedule.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace patmon {
namespace {

using namespace std::chrono_literals;
using Time = ScheduleClock::time_point;

const Time kStart{};

double SecondsSinceStart(Time t) { return std::chrono::duration<double>(t - kStart).count(); }

TEST(Schedule, AFailingPrinterIsAskedLessOftenUpToFiveMinutesThenAtItsIntervalOnceItAnswers) {
    // A printer polled every 10 s stops answering: 20, 40, 80, 160 s, then 300 s for good.
    Time due = kStart;
    Time now = kStart;
    std::vector<double> gaps;
    for (int failures = 1; failures <= 7; ++failures) {
        now = due + 1s;  // each poll gives up after 1 s
        const Time next = NextDue(due, now, 10, failures);
        gaps.push_back(std::chrono::duration<double>(next - now).count());
        due = next;
    }
    EXPECT_EQ(gaps, (std::vector<double>{20, 40, 80, 160, 300, 300, 300}));
    // It answers again: back to every 10 s, counted from when that poll was due.
    EXPECT_EQ(NextDue(due, due + 1s, 10, 0), due + 10s);

    // A printer polled less often than the cap backs off no further than its interval.
    EXPECT_EQ(NextDelay(600, 0), 600);
    EXPECT_EQ(NextDelay(600, 5), 600);
    // A fraction of a second doubles as well.
    EXPECT_EQ(NextDelay(0.25, 3), 2);
    EXPECT_EQ(NextDelay(10, 1000), 300);
}

TEST(Schedule, AnAnsweringPrinterKeepsItsRhythmHoweverLongItsPollsTake) {
    Time due = kStart + 2s;
    for (int poll = 0; poll < 5; ++poll) {
        const Time ended = due + std::chrono::milliseconds(100 + 200 * poll);  // slower and slower answers
        due = NextDue(due, ended, 10, 0);
    }
    EXPECT_EQ(due, kStart + 52s);  // five intervals after the first, none of the poll times added
}

TEST(Schedule, AFleetStartsInGroupsSpreadOverTheInterval) {
    // The first polls of a fleet are spread over the interval, at most 10 s,
    // in at least ten groups of about a hundred printers.
    EXPECT_EQ(FirstDue(kStart, 0, 4, 2), kStart);
    EXPECT_EQ(FirstDue(kStart, 3, 4, 2), kStart + 1500ms);
    EXPECT_EQ(FirstDue(kStart, 99, 100, 3600), kStart + 9s);
    const auto groupsOf = [](size_t count, double interval) {
        std::map<Time, size_t> groups;
        for (size_t i = 0; i < count; ++i) ++groups[FirstDue(kStart, i, count, interval)];
        return groups;
    };
    const std::map<Time, size_t> thousand = groupsOf(1000, 10);
    EXPECT_EQ(thousand.size(), 10u);
    EXPECT_EQ(thousand.begin()->second, 100u);
    EXPECT_EQ(thousand.rbegin()->first, kStart + 9s);
    const std::map<Time, size_t> tenThousand = groupsOf(10000, 10);
    EXPECT_EQ(tenThousand.size(), 100u);
    EXPECT_EQ(tenThousand.rbegin()->first, kStart + 9900ms);
}

TEST(Schedule, PollsDueWithinAFewMillisecondsStartTogether) {
    Schedule schedule;
    schedule.Add(0, kStart + 10ms);
    schedule.Add(1, kStart + 12ms);
    schedule.Add(2, kStart + 15ms);
    schedule.Add(3, kStart + 16ms);
    EXPECT_EQ(schedule.Earliest(), kStart + 10ms);
    EXPECT_TRUE(schedule.TakeDue(kStart + 4ms).empty());
    EXPECT_EQ(schedule.TakeDue(kStart + 10ms), (std::vector<size_t>{0, 1, 2}));  // 3 is 6 ms away
    EXPECT_EQ(schedule.Earliest(), kStart + 16ms);
    EXPECT_EQ(schedule.TakeDue(kStart + 1s), (std::vector<size_t>{3}));
    EXPECT_TRUE(schedule.Empty());
}

// The fleet's loop, run on simulated time: it takes the printers due, each
// poll takes 50 ms, and a finished printer goes back into the schedule.
// From 0.8 s to 4.2 s the loop is held up (a slow machine, a debugger).
TEST(Schedule, ALateLoopPollsEachPrinterOnceInsteadOfMakingUpMissedPolls) {
    constexpr size_t kPrinters = 3;
    constexpr double kInterval = 1;
    Schedule schedule;
    std::map<size_t, Time> due;
    for (size_t i = 0; i < kPrinters; ++i) {
        due[i] = FirstDue(kStart, i, kPrinters, kInterval);
        schedule.Add(i, due[i]);
    }
    FleetCounters counters;
    std::map<size_t, std::vector<double>> starts;
    std::vector<std::pair<Time, size_t>> inFlight;  // when each poll ends
    for (Time now = kStart; now < kStart + 8s; now += 1ms) {
        if (now > kStart + 800ms && now < kStart + 4200ms) continue;  // held up
        for (auto it = inFlight.begin(); it != inFlight.end();) {
            if (it->first > now) {
                ++it;
                continue;
            }
            due[it->second] = NextDue(due[it->second], now, kInterval, 0);
            schedule.Add(it->second, due[it->second]);
            it = inFlight.erase(it);
        }
        for (size_t index : schedule.TakeDue(now)) {
            CountLag(counters, std::max(0.0, std::chrono::duration<double>(now - due[index]).count()));
            starts[index].push_back(SecondsSinceStart(now));
            inFlight.emplace_back(now + 50ms, index);
        }
    }
    for (size_t i = 0; i < kPrinters; ++i) {
        const std::vector<double> &s = starts[i];
        // Once when the loop wakes (the poll that was due), once more right
        // after it (its next one has passed too), then every second again.
        const auto afterStall = std::count_if(s.begin(), s.end(), [](double t) { return t >= 4.2 && t < 4.3; });
        EXPECT_LE(afterStall, 2) << "printer " << i;
        for (size_t k = 1; k < s.size(); ++k) {
            if (s[k - 1] >= 4.3) {
                EXPECT_NEAR(s[k] - s[k - 1], kInterval, 0.002) << "printer " << i;
            }
        }
        EXPECT_GE(s.size(), 6u) << "printer " << i;
        EXPECT_LE(s.size(), 8u) << "printer " << i;
    }
    // The late polls are counted as late: past the last bucket, the latest
    // one about 3.2 s after it was due.
    EXPECT_EQ(counters.lagCounts[std::size(FleetCounters::kLagBuckets)], 3u);
    EXPECT_NEAR(counters.lagMax, 3.2, 0.01);
    uint64_t counted = 0;
    for (uint64_t count : counters.lagCounts) counted += count;
    EXPECT_EQ(counted, starts[0].size() + starts[1].size() + starts[2].size());
}

}  // namespace
}  // namespace patmon
