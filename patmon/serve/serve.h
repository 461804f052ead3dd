// `patmon serve`: watches a fleet of printers and serves what it sees over
// HTTP: Prometheus metrics, a JSON API, status pictures and a status page.
#pragma once

#include <atomic>
#include <string>

namespace patmon {

struct ServeOptions {
    std::string config;         // the configuration file
    std::string listen;         // HOST:PORT; empty: the config's, else 127.0.0.1:9464
    int simulate = 0;           // instead of a config: this many virtual printers (1 to 100000)
    double intervalSeconds = 0; // with --simulate: the interval, 0.1 to 86400 s (0: 10 s)
    std::string language = "EN";  // with --simulate
    int workers = 2;            // threads for the library calls (1 to 64)
};

// Serves until `stop` is set. Returns the exit status: 0; 2 for a bad
// configuration or option, or an address it cannot listen on (in use, say);
// 1 when the HTTP service cannot start on the open socket.
int Serve(const ServeOptions &options, const std::atomic<bool> &stop);

}  // namespace patmon
