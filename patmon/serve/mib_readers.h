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
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "poll/mib_reading.h"
#include "transports/transport.h"

namespace patmon {

class MibReaders {
public:
    // `read` is called on a reader's thread after each walk of a printer.
    MibReaders(size_t printers, int threads, std::function<void(size_t)> read);
    ~MibReaders();
    MibReaders(const MibReaders &) = delete;
    MibReaders &operator=(const MibReaders &) = delete;

    // Ends the walks under way and asks for no more (their callbacks have
    // returned when it does). The destructor stops too.
    void Stop();
    // Asks for a fresh reading of printer `index`, unless one is under way.
    void Request(size_t index, const SnmpSource &source, std::chrono::milliseconds timeout);
    // The latest reading of printer `index`; none before the first or after
    // a failed walk (whose sentence goes to `error`).
    std::optional<MibReading> Latest(size_t index, std::string *error) const;

private:
    struct Slot {
        bool busy = false;
        std::optional<MibReading> reading;
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
    std::function<void(size_t)> read_;
    std::vector<std::thread> threads_;
};

}  // namespace patmon
