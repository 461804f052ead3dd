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

struct sockaddr_in;

namespace patmon {

// False in builds without net-snmp (Windows).
bool SnmpAvailable();

// Reads the first device ID of the column before `deadline`; nullopt with
// `error` set when the agent does not answer or answers something else.
std::optional<std::string> ReadDeviceId(const SnmpSource &source, std::chrono::steady_clock::time_point deadline,
                                        std::string *error);

// One GET-NEXT for the device ID, sent without waiting, for an event loop
// that watches many printers: wait until Socket() can be read, then call
// Read(); the loop keeps the deadline (dropping the query gives up).
class DeviceIdQuery {
public:
    ~DeviceIdQuery();
    DeviceIdQuery(const DeviceIdQuery &) = delete;
    DeviceIdQuery &operator=(const DeviceIdQuery &) = delete;
    // nullptr with `error` set when the request cannot be sent.
    static std::unique_ptr<DeviceIdQuery> Send(const SnmpSource &source, std::string *error);
    int Socket() const;
    // Takes what arrived; true once the answer is in (deviceId or error).
    bool Read();

    std::optional<std::string> deviceId;
    std::string error;

private:
    DeviceIdQuery() = default;
    void *session_ = nullptr;
    std::string where_;
    bool done_ = false;
    friend struct DeviceIdQueryAccess;
};

// Device-ID requests to many agents through one SNMP socket, for an event
// loop that watches a whole fleet: every request carries the caller's token
// and its answer comes back with it, matched by the request's id. IPv4
// agents only (the address is given resolved). A request left unanswered
// is given up after its timeout; the loop keeps its own deadlines as well.
class DeviceIdClient {
public:
    struct Answer {
        uint64_t token = 0;
        std::optional<std::string> deviceId;
        std::string error;  // when there is no device ID: what follows the agent's name
    };
    // nullptr with `error` set when the socket cannot be opened.
    static std::unique_ptr<DeviceIdClient> Open(std::string *error);
    ~DeviceIdClient();
    DeviceIdClient(const DeviceIdClient &) = delete;
    DeviceIdClient &operator=(const DeviceIdClient &) = delete;
    int Socket() const;
    // Sends a GET-NEXT to `address`; false with `error` set when it cannot.
    bool Send(const sockaddr_in &address, const SnmpSource &source, std::chrono::milliseconds timeout,
              uint64_t token, std::string *error);
    // Reads what arrived; the answers in it.
    std::vector<Answer> Read();
    // Gives up the requests past their timeout (their answers say so).
    std::vector<Answer> Expire();

private:
    DeviceIdClient() = default;
    void *session_ = nullptr;
    std::vector<Answer> answers_;
    friend struct DeviceIdClientAccess;
};

// No MIB files, no configuration files and no state kept on disk: numeric
// OIDs only, nothing written outside the temporary directory, no notes on
// stderr. Every user of net-snmp in patmon calls it first.
void QuietSnmpLibrary();

}  // namespace patmon
