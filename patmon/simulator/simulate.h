// `patmon simulate`: the virtual printer on the network — PJL over TCP as a
// printer's raw port answers it, and its device ID over SNMP.
#pragma once

#include <atomic>
#include <string>

namespace patmon {

struct SimulateOptions {
    std::string scenario = "ready";  // a built-in name or a scenario file
    std::string listen = "127.0.0.1:9100";
    std::string snmp = "127.0.0.1:16161";  // empty: no SNMP agent
    std::string jobFile;  // where print data that is not PJL goes; empty: dropped
};

// Serves until `stop` is set. Returns the process exit status: 0, 1 when
// a socket cannot be opened, 2 for a bad scenario or address.
int Simulate(const SimulateOptions &options, std::atomic<bool> &stop);

}  // namespace patmon
