// The fleet's readings of its printers' standard MIBs: a few threads of
// their own walk the agents (each walk bounded by the printer's timeout),
// at most one walk per printer at a time, so a slow agent never holds up a
// poll, the library's workers or another printer's walk beyond its turn. A
// poll takes the latest reading there is and asks for the next one.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "poll/supplies.h"
#include "transports/transport.h"

namespace patmon {

class MibReaders {
public:
    MibReaders(size_t printers, int threads);
    ~MibReaders();
    MibReaders(const MibReaders &) = delete;
    MibReaders &operator=(const MibReaders &) = delete;

    // Asks for a fresh reading of printer `index`, unless one is under way.
    void Request(size_t index, const SnmpSource &source, std::chrono::milliseconds timeout);
    // The latest reading of printer `index`; none before the first or after
    // a failed walk (whose sentence goes to `error`).
    std::optional<MibReadings> Latest(size_t index, std::string *error) const;

private:
    struct Slot {
        bool busy = false;
        std::optional<MibReadings> readings;
        std::string error;
    };
    struct Job {
        size_t index;
        SnmpSource source;
        std::chrono::milliseconds timeout;
    };
    void Run();

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<Slot> slots_;
    std::deque<Job> jobs_;  // at most one per printer
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace patmon
