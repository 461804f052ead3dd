// The fleet service's HTTP side: the metrics, the JSON API, the status
// pictures and the status page, all read from the fleet's views. One
// event-driven thread (libmicrohttpd under epoll) serves every connection,
// so idle, slow or hostile clients hold a connection slot, never a thread;
// connections, their memory and their idle time are bounded.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "serve/fleet.h"

namespace patmon {

struct HttpLimits {
    unsigned connections = 4096;       // open connections at once; more are closed on arrival
    unsigned idleSeconds = 10;         // a connection with nothing to read or write is closed
    size_t connectionMemory = 16384;   // request line and headers of one connection (more: 414 or 431)
};

class HttpService {
public:
    HttpService(Fleet &fleet, const HttpLimits &limits);
    ~HttpService();
    HttpService(const HttpService &) = delete;
    HttpService &operator=(const HttpService &) = delete;

    // Opens the listening socket on HOST:PORT (port 0: a free one); false
    // with `error` naming the address and the reason.
    bool Listen(const std::string &host, uint16_t port, std::string *error);
    uint16_t Port() const;
    // Serves on its own thread until Stop; false with `error` set.
    bool Start(std::string *error);
    void Stop();

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace patmon
