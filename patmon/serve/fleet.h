// The fleet service's poller: every printer on its own schedule, without a
// thread per printer. One event loop thread keeps the schedule and does the
// network part of every tcp poll with non-blocking sockets (PJL over TCP,
// the device ID by asynchronous SNMP); a small pool of workers makes the
// library calls (the query before, the replies into the record after).
// A printer has at most one poll in flight, so its record is never used by
// two threads at once; different printers' polls run in parallel.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "poll/poll.h"
#include "poll/status_meanings.h"

namespace patmon {

class PackedText;

struct FleetPrinterConfig {
    std::string name;
    std::string target;  // as `patmon poll` takes it
    double intervalSeconds = 10;
    double timeoutSeconds = 5;
    double mibIntervalSeconds = 60;  // tcp: how often its standard MIB is walked for supplies, at most
    std::string language = "EN";
    std::string snmp;  // HOST[:PORT] of the device-ID agent; empty: the target's host, port 161
    std::string community = "public";
    int snmpVersion = 2;  // 1, 2 (v2c) or 3
    std::string user;     // SNMP v3
    std::string auth;     // SNMP v3: PROTOCOL:PASSPHRASE
    std::string priv;     // SNMP v3: PROTOCOL:PASSPHRASE
    std::optional<std::string> deviceId;  // used instead of asking the printer
};

// What the outputs know of one printer, taken from its last poll: the
// outputs never read the record itself.
struct PrinterView {
    std::string name;
    bool polled = false;
    bool responded = false;
    std::string label;
    std::string message;
    std::string lastError;
    std::vector<uint32_t> codes;
    std::vector<DrawStep> picture;
    uint64_t pictureVersion = 0;  // changes whenever the picture does
    bool attention = false;
    std::optional<uint32_t> pageCount;
    std::string severity = "unknown";  // "ok", "warning", "critical"; "unknown" when not answering
    std::vector<PollTray> trays;       // by id and name, the level unknown where not reported
    std::vector<PollBin> bins;
    std::vector<PollSupply> supplies;  // from the printer's standard MIB, when read
    std::vector<std::string> reasons;  // the MIB's printer-state-reasons, when read
    int toner[4] = {0, 0, 0, 0};  // kTonerColours order: a TonerState (0 fine, 1 low, 2 empty)
    double lastPoll = 0;       // seconds since 1970
    double pollSeconds = 0;    // how long the poll took
    double nextPollIn = 0;     // seconds from lastPoll to the next poll
    std::string document;      // the API's JSON of the printer (made when asked: see Fleet::View)
    // The last poll's JSON, shared with the printer's cache until a poll
    // makes another: the document is made from it only when asked for.
    std::shared_ptr<const PackedText> pollJson;
};

// Process-wide counts. Lag is how late a poll starts against its schedule.
struct FleetCounters {
    uint64_t polls = 0;
    uint64_t errors = 0;
    static constexpr double kLagBuckets[] = {0.001, 0.005, 0.01, 0.05, 0.1, 0.25, 0.5, 1, 2.5};
    uint64_t lagCounts[sizeof kLagBuckets / sizeof kLagBuckets[0] + 1] = {};  // the last one is +Inf
    double lagSum = 0;
    double lagMax = 0;
};

class Fleet {
public:
    // Checks every printer (target, scenario, language, addresses); nullptr
    // with `error` naming the first bad one.
    static std::unique_ptr<Fleet> Create(const std::vector<FleetPrinterConfig> &printers, int workers,
                                         std::string *error);
    ~Fleet();
    Fleet(const Fleet &) = delete;
    Fleet &operator=(const Fleet &) = delete;

    void Start();
    void Stop();

    // Every printer's view; with `documents`, each with its API document
    // (which only /api/printers needs: made for each call, not per poll).
    std::vector<PrinterView> Views(bool documents = true) const;
    std::optional<PrinterView> View(const std::string &name) const;
    // The printer's status picture as PNG, composed again only when the
    // picture changed; nullopt for an unknown printer.
    std::optional<std::vector<uint8_t>> Picture(const std::string &name);
    FleetCounters Counters() const;

    struct Impl;

private:
    explicit Fleet(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace patmon
