// The device ID of a network printer over SNMP (net-snmp): the client's
// GET-NEXT on the Printer Port Monitor MIB column ppmPrinterIEEE1284DeviceId,
// and the simulator's agent that answers it.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "transport.h"

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

// Serves `deviceId()` as the column's first row on `address` ("HOST:PORT",
// UDP) to the read community "public", until `stop` is set. Returns false
// with `error` set when the agent cannot start.
bool ServeDeviceId(const std::string &address, const std::function<std::string()> &deviceId,
                   const std::atomic<bool> &stop, const std::function<void()> &ready, std::string *error);

}  // namespace patmon
