// The virtual printer's SNMP agent (net-snmp): it answers the Printer Port
// Monitor MIB's device-ID column, and the Printer MIB (RFC 3805) and Host
// Resources MIB (RFC 2790) printer tables, as a network printer does.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "poll/mib_reading.h"

namespace patmon {

// Serves `deviceId()` as the column's first row on `address` ("HOST:PORT",
// UDP) to the read community "public", until `stop` is set. Returns false
// with `error` set when the agent cannot start.
// Serves `deviceId()` as above and the MIB `mib()` describes (its tables
// walkable with GETNEXT and GETBULK), asked again between requests so that
// a changing printer is served as it is now.
bool ServePrinter(const std::string &address, const std::function<std::string()> &deviceId,
                  const std::function<MibReading()> &mib, const std::atomic<bool> &stop,
                  const std::function<void()> &ready, std::string *error);

bool ServeDeviceId(const std::string &address, const std::function<std::string()> &deviceId,
                   const std::atomic<bool> &stop, const std::function<void()> &ready, std::string *error);

}  // namespace patmon
