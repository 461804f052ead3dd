// The fleet service's HTTP side (cpp-httplib): the metrics, the JSON API,
// the status pictures and the status page, all read from the fleet's views.
#pragma once

#include <memory>
#include <string>

#include "serve/fleet.h"

namespace patmon {

class HttpService {
public:
    HttpService(Fleet &fleet);
    ~HttpService();
    // Binds HOST:PORT (port 0: a free one); false with `error` set.
    bool Bind(const std::string &host, uint16_t port, std::string *error);
    uint16_t Port() const;
    // Serves on its own threads until Stop.
    void Start();
    void Stop();

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace patmon
