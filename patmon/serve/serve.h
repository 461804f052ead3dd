// `patmon serve`: watches a fleet of printers and serves what it sees over
// HTTP: Prometheus metrics, a JSON API, status pictures and a status page.
#pragma once

#include <atomic>
#include <string>

namespace patmon {

struct ServeOptions {
    std::string config;         // the configuration file
    std::string listen;         // HOST:PORT; empty: the config's, else 127.0.0.1:9464
    int simulate = 0;           // instead of a config: this many virtual printers
    double intervalSeconds = 0; // with --simulate: the interval (0: 10 s)
    std::string language = "EN";  // with --simulate
    int workers = 2;            // threads for the library calls
};

// Serves until `stop` is set. Returns the exit status: 0, 1 when the port
// cannot be opened, 2 for a bad configuration or option.
int Serve(const ServeOptions &options, const std::atomic<bool> &stop);

}  // namespace patmon
