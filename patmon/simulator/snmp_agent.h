// The virtual printer's SNMP agent (net-snmp): it answers the Printer Port
// Monitor MIB's device-ID column as a network printer does.
#pragma once

#include <atomic>
#include <functional>
#include <string>

namespace patmon {

// Serves `deviceId()` as the column's first row on `address` ("HOST:PORT",
// UDP) to the read community "public", until `stop` is set. Returns false
// with `error` set when the agent cannot start.
bool ServeDeviceId(const std::string &address, const std::function<std::string()> &deviceId,
                   const std::atomic<bool> &stop, const std::function<void()> &ready, std::string *error);

}  // namespace patmon
