// The device ID of a network printer over SNMP (net-snmp): the client's
// GET-NEXT on the Printer Port Monitor MIB column ppmPrinterIEEE1284DeviceId.
#pragma once

#include <atomic>
#include <cstdint>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "transports/transport.h"

struct sockaddr;

namespace patmon {

// False in builds without net-snmp (Windows).
bool SnmpAvailable();

// Reads the first device ID of the column before `deadline`; nullopt with
// `error` set when the agent does not answer or answers something else.
std::optional<std::string> ReadDeviceId(const SnmpSource &source, std::chrono::steady_clock::time_point deadline,
                                        std::string *error);

// Device-ID requests to many agents through one pair of UDP sockets (IPv4
// and IPv6), for an event loop that watches a whole fleet. Each request has
// an unpredictable request ID of its own, and an answer is taken only when
// it comes from the very address and port the request went to and carries
// that ID: an agent cannot answer for another agent's printer, nor guess
// the next ID. A request left unanswered is given up after its timeout;
// the loop keeps its own deadlines as well.
class DeviceIdClient {
public:
    struct Answer {
        uint64_t token = 0;
        std::optional<std::string> deviceId;
        std::string error;  // when there is no device ID: what follows the agent's name
    };
    // nullptr with `error` set when no socket can be opened.
    static std::unique_ptr<DeviceIdClient> Open(std::string *error);
    ~DeviceIdClient();
    DeviceIdClient(const DeviceIdClient &) = delete;
    DeviceIdClient &operator=(const DeviceIdClient &) = delete;
    // The sockets to watch for reading (one or two).
    std::vector<int> Sockets() const;
    // Sends a GET-NEXT to the agent at `address` (IPv4 or IPv6, with its
    // port); false with `error` set when it cannot. `token` comes back with
    // the answer; a token has at most one request at a time.
    bool Send(const sockaddr *address, size_t addressLength, const std::string &community,
              std::chrono::milliseconds timeout, uint64_t token, std::string *error);
    // Drops the request of `token`: its answer, if it still comes, is ignored.
    void Forget(uint64_t token);
    // Reads what arrived (a bounded number of datagrams a call, so that a
    // flood cannot hold up the caller); the answers in it.
    std::vector<Answer> Read();
    // Gives up the requests past their timeout (their answers say so).
    std::vector<Answer> Expire();
    // Requests sent and neither answered, given up nor forgotten.
    size_t Pending() const;

    struct State;

private:
    DeviceIdClient();
    int sockets_[2] = {-1, -1};  // IPv4, IPv6
    std::unique_ptr<State> state_;
};

// No MIB files, no configuration files and no state kept on disk: numeric
// OIDs only, nothing written outside the temporary directory, no notes on
// stderr. Every user of net-snmp in patmon calls it first.
void QuietSnmpLibrary();

}  // namespace patmon
